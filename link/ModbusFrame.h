#pragma once
#include <QByteArray>
#include <QString>
#include <array>
#include <cstdint>
#include <optional>

namespace zra::link {

// Sizes fixed by the protocol and by the shared buffer.
inline constexpr int FrameBufferSize = 81;
inline constexpr int MaxTailLength = 21;    // byte count + 20 data bytes (10 registers)
inline constexpr int MaxReadRegisters = 38; // 5 + 2 * 38 = 81 bytes of reply

// The one request record every caller fills before an exchange.
struct ModbusRequest {
    std::uint8_t unitId = 1;
    std::uint8_t function = 3;
    std::uint16_t address = 0;
    std::uint16_t quantity = 0; // registers for 3, 4, 16; the value written for 6
    std::uint8_t tailLength = 0;
    std::array<std::uint8_t, MaxTailLength> tail{}; // function 16: byte count, then data
};

using FrameBuffer = std::array<std::uint8_t, FrameBufferSize>;

// CRC-16 of the MODBUS serial line: start 0xFFFF, reflected polynomial 0xA001,
// no final XOR; sent low byte first. The count is 8 bits wide: every frame of
// the tool is shorter than 256 bytes.
std::uint16_t Crc16Modbus(const std::uint8_t* data, std::uint8_t count);
static_assert(FrameBufferSize - 2 <= 255, "a frame's CRC range must fit the 8-bit count");

// The four bytes of a word in reverse order: turns two registers read from the
// buffer as a little-endian word into their big-endian value.
std::uint32_t ReverseBytes32(std::uint32_t word);

// Signed 32-bit value of two registers, high register first, at data byte k.
std::int32_t Int32At(const std::uint8_t* data, int k);
// Unsigned 16-bit register value, high byte first, at data byte k.
inline int Reg16At(const std::uint8_t* data, int k) {
    return data[k] * 256 + data[k + 1];
}

// True when the last two bytes of a frame are the CRC of the bytes before them.
bool CrcMatches(const std::uint8_t* frame, int length);

// Writes the RTU frame of the request into out (unit, function, address,
// quantity, function 16's tail, CRC low then high); returns its length.
// Only function 16 carries the tail, whatever the record holds.
int BuildRequestFrame(const ModbusRequest& request, std::uint8_t* out);

// True for the functions that exchange anything: 3, 4, 6 and 16.
bool IsSupportedFunction(std::uint8_t function);

// Fills the tail as the access-password write sends it: byte count = number of
// characters, then the characters (8-bit codes); no fill, no terminator.
// Texts longer than 20 characters are cut to 20 (they would not fit).
void FillPasswordTail(ModbusRequest& request, const QByteArray& text);

// The access password text the console starts with; it fills the five
// password registers exactly.
inline constexpr char DefaultPasswordText[] = "Vortex_P8L";
// The access-password write: function 16, register 2100, always 5 registers.
ModbusRequest PasswordRequest(std::uint8_t unitId, const QByteArray& text);

// A trace line: prefix, then "0xHH " for every byte (so it ends in a blank).
QString TraceLine(const char* prefix, const std::uint8_t* bytes, int count);

// Checks a complete reply against its request. Returns an error text for a
// reply that must not be decoded (CRC, unit id, function, byte count or echo
// mismatch), nothing for a good reply. Exception replies are told apart
// earlier, from their first bytes (see ExceptionText).
std::optional<QString> CheckReply(const ModbusRequest& request, const std::uint8_t* reply,
                                  int length);

// The message for an exception reply of the given function and code.
QString ExceptionText(std::uint8_t function, std::uint8_t code);

} // namespace zra::link
