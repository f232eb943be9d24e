#pragma once
#include "link/ModbusFrame.h"

#include <QByteArray>
#include <array>
#include <cstdint>
#include <stdexcept>

namespace zra::link {

// A decoder asked for a byte that its reply does not hold: a fault of the
// program, not of the installation. It ends the running command loudly.
class ReplyOverrun : public std::logic_error {
public:
    ReplyOverrun(int position, int size);
};

// The data of one read reply: exactly the 2 x quantity bytes that the request
// asked for, copied out of the shared frame buffer. Every access is checked,
// so no decoder reads stale bytes of the buffer past what arrived.
class RegisterData {
public:
    RegisterData() = default;
    RegisterData(const std::uint8_t* bytes, int count);
    explicit RegisterData(const QByteArray& bytes);

    int size() const { return m_size; }
    // Reply data byte d.
    std::uint8_t byte(int d) const {
        check(d, 1);
        return m_bytes[d];
    }
    std::uint8_t operator[](int d) const { return byte(d); }
    // Unsigned 16-bit register value, high byte first, at data byte d.
    int u16(int d) const {
        check(d, 2);
        return Reg16At(m_bytes.data(), d);
    }
    // Signed 16-bit value at data byte d.
    int s16(int d) const { return static_cast<std::int16_t>(u16(d)); }
    // Signed 32-bit value of two registers, high register first (ReverseBytes32).
    std::int32_t s32(int d) const {
        check(d, 4);
        return Int32At(m_bytes.data(), d);
    }
    // count bytes from data byte d.
    QByteArray bytes(int d, int count) const {
        check(d, count);
        return QByteArray(reinterpret_cast<const char*>(m_bytes.data() + d), count);
    }

private:
    void check(int d, int count) const {
        if (d < 0 || count < 0 || d + count > m_size)
            throw ReplyOverrun(d + count - 1, m_size);
    }
    std::array<std::uint8_t, 2 * MaxReadRegisters> m_bytes{};
    int m_size = 0;
};

} // namespace zra::link
