#pragma once
#include <QByteArray>

namespace zra::sim {

// Management frames: '#', two command letters, a status byte, a 16-bit payload length (low byte
// first) and the payload.
namespace management {
constexpr int HeaderSize = 6;
// Requests with a longer payload are not frames of this protocol; the connection is dropped.
constexpr int MaxRequestPayload = 1024;
constexpr int OversizedPayload = 200;
} // namespace management

// Length of the management frame that starts the buffer: 0 while more bytes are needed, -1 when
// the buffer does not start with a frame ('#' missing or an impossible length).
qsizetype managementFrameLength(const QByteArray& buffer);

// The two command letters of a frame, e.g. "XR".
QByteArray managementCommand(const QByteArray& frame);

QByteArray managementFrame(const QByteArray& command, quint8 status, const QByteArray& payload);

// What the installation reports and accepts on its management channel.
struct ManagementIdentity {
    quint16 modbusPort = 0;
    bool loginRequired = false;
    QByteArray user;
    QByteArray password;
    quint8 firmware = 0;
};

// Answers one complete request frame: XR (MODBUS port and login flag), GS (firmware generation),
// IA (login: status 1 granted, 0 refused); any other command gets status 0xFF and no payload.
QByteArray serveManagementRequest(const ManagementIdentity& identity, const QByteArray& frame);

// The same reply announcing and carrying a payload of OversizedPayload bytes (the real payload
// first, then zeros).
QByteArray oversizedManagementReply(const QByteArray& reply);

} // namespace zra::sim
