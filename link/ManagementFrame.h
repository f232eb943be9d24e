#pragma once
#include <QByteArray>
#include <QString>
#include <algorithm>
#include <array>
#include <cstdint>

namespace zra::link {

// The management channel's frame: '#', two letters, status, 16-bit payload
// length (low byte first), payload. One buffer serves request and reply.
struct ManagementFrame {
    static constexpr int Size = 128;
    static constexpr int HeaderSize = 6;
    static constexpr int MaxPayload = Size - HeaderSize; // 122
    static constexpr int FieldSize = 9; // login name or password: 8 characters and a zero byte

    std::array<std::uint8_t, Size> bytes{};

    std::uint8_t status() const { return bytes[3]; }
    int payloadLength() const { return bytes[4] | (bytes[5] << 8); }
    // Payload byte i; 0 for a byte the frame does not carry, since a short
    // reply leaves bytes of earlier frames in the buffer.
    std::uint8_t payload(int i) const {
        return i < std::min(payloadLength(), MaxPayload) ? bytes[HeaderSize + i] : 0;
    }
    // The bytes a request sends: header and payload.
    int requestLength() const { return HeaderSize + payloadLength(); }

    // XR: asks for the MODBUS port, the login requirement.
    void writeXR();
    // GS: letters and status over the XR reply; length and payload stay as received.
    void turnIntoGS();
    // IA: the login; name and password of at most 8 characters each, every
    // field ends with a zero byte (longer texts are cut to 8).
    void writeLoginRequest(const QByteArray& name, const QByteArray& password);

    // The first count bytes as a console line: the prefix, then "0xHH " for
    // every byte. In an IA frame the password field's bytes read "0x** " and
    // the login name follows as text: (jméno "servis").
    QString traceLine(const char* prefix, int count) const;

    // Reply fields; one the reply does not carry reads 0 (port 0, no login,
    // firmware 0).
    std::uint16_t xrModbusPort() const { return payload(0) | (payload(1) << 8); }
    bool xrLoginRequired() const { return payload(3) == 1; }
    std::uint8_t gsFirmware() const { return payload(1); }
    bool loginGranted() const { return status() == 1; }
};

} // namespace zra::link
