#include "link/ModbusFrame.h"

#include "link/RegisterMap.h"

#include <algorithm>
#include <cstring>

namespace zra::link {

namespace {

// The CRC of every byte value, for a byte at a time instead of a bit.
constexpr std::array<std::uint16_t, 256> CrcTable = [] {
    std::array<std::uint16_t, 256> table{};
    for (int value = 0; value < 256; ++value) {
        auto crc = static_cast<std::uint16_t>(value);
        for (int bit = 0; bit < 8; ++bit)
            crc = (crc & 1) ? static_cast<std::uint16_t>((crc >> 1) ^ 0xA001)
                            : static_cast<std::uint16_t>(crc >> 1);
        table[value] = crc;
    }
    return table;
}();

} // namespace

std::uint16_t Crc16Modbus(const std::uint8_t* data, std::uint8_t count) {
    std::uint16_t crc = 0xFFFF;
    for (int i = 0; i < count; ++i)
        crc = static_cast<std::uint16_t>((crc >> 8) ^ CrcTable[(crc ^ data[i]) & 0xFF]);
    return crc;
}

std::uint32_t ReverseBytes32(std::uint32_t word) {
    return ((word & 0xFFu) << 24) | ((word & 0xFF00u) << 8) | ((word >> 8) & 0xFF00u) |
           (word >> 24);
}

std::int32_t Int32At(const std::uint8_t* data, int k) {
    const std::uint32_t le = std::uint32_t(data[k]) | std::uint32_t(data[k + 1]) << 8 |
                             std::uint32_t(data[k + 2]) << 16 | std::uint32_t(data[k + 3]) << 24;
    return static_cast<std::int32_t>(ReverseBytes32(le));
}

bool CrcMatches(const std::uint8_t* frame, int length) {
    // Lengths the 8-bit count would cut are no frame of this protocol.
    if (length < 2 || length - 2 > 255)
        return false;
    const std::uint16_t crc = Crc16Modbus(frame, static_cast<std::uint8_t>(length - 2));
    return frame[length - 2] == (crc & 0xFF) && frame[length - 1] == (crc >> 8);
}

bool IsSupportedFunction(std::uint8_t function) {
    return function == reg::ReadHolding || function == reg::ReadInput ||
           function == reg::WriteSingle || function == reg::WriteMultiple;
}

int BuildRequestFrame(const ModbusRequest& request, std::uint8_t* out) {
    int n = 0;
    out[n++] = request.unitId;
    out[n++] = request.function;
    out[n++] = static_cast<std::uint8_t>(request.address >> 8);
    out[n++] = static_cast<std::uint8_t>(request.address & 0xFF);
    out[n++] = static_cast<std::uint8_t>(request.quantity >> 8);
    out[n++] = static_cast<std::uint8_t>(request.quantity & 0xFF);
    if (request.function == reg::WriteMultiple) {
        const int tail = std::min<int>(request.tailLength, MaxTailLength);
        std::copy_n(request.tail.begin(), tail, out + n);
        n += tail;
    }
    const std::uint16_t crc = Crc16Modbus(out, static_cast<std::uint8_t>(n));
    out[n++] = static_cast<std::uint8_t>(crc & 0xFF);
    out[n++] = static_cast<std::uint8_t>(crc >> 8);
    return n;
}

void FillPasswordTail(ModbusRequest& request, const QByteArray& text) {
    const int count = std::min<int>(text.size(), MaxTailLength - 1);
    request.tail[0] = static_cast<std::uint8_t>(count);
    for (int i = 0; i < count; ++i)
        request.tail[1 + i] = static_cast<std::uint8_t>(text[i]);
    request.tailLength = static_cast<std::uint8_t>(count + 1);
}

ModbusRequest PasswordRequest(std::uint8_t unitId, const QByteArray& text) {
    ModbusRequest r;
    r.unitId = unitId;
    r.function = reg::WriteMultiple;
    r.address = reg::PasswordRegister;
    r.quantity = reg::PasswordRegisters;
    FillPasswordTail(r, text);
    return r;
}

QString TraceLine(const char* prefix, const std::uint8_t* bytes, int count) {
    // Written into place: two lines per exchange, so this is on the hot path.
    const int prefixLength = int(std::strlen(prefix));
    QString line(prefixLength + 5 * count, Qt::Uninitialized);
    QChar* out = line.data();
    for (int i = 0; i < prefixLength; ++i)
        *out++ = QLatin1Char(prefix[i]);
    static const char digits[] = "0123456789ABCDEF";
    for (int i = 0; i < count; ++i) {
        *out++ = QLatin1Char('0');
        *out++ = QLatin1Char('x');
        *out++ = QLatin1Char(digits[bytes[i] >> 4]);
        *out++ = QLatin1Char(digits[bytes[i] & 0xF]);
        *out++ = QLatin1Char(' ');
    }
    return line;
}

QString ExceptionText(std::uint8_t function, std::uint8_t code) {
    QString name;
    switch (code) {
    case 1:
        name = QStringLiteral("nepodporovaná funkce");
        break;
    case 2:
        name = QStringLiteral("neplatná adresa registru");
        break;
    case 3:
        name = QStringLiteral("neplatná hodnota");
        break;
    case 4:
        name = QStringLiteral("chyba zařízení");
        break;
    case 5:
        name = QStringLiteral("požadavek přijat, zpracovává se");
        break;
    case 6:
        name = QStringLiteral("zařízení je zaneprázdněné");
        break;
    default:
        name = QStringLiteral("neznámý kód");
        break;
    }
    return QStringLiteral("Zařízení odmítlo požadavek funkce %1: MODBUS výjimka %2 (%3)")
        .arg(function)
        .arg(code)
        .arg(name);
}

std::optional<QString> CheckReply(const ModbusRequest& request, const std::uint8_t* reply,
                                  int length) {
    if (length < 4)
        return QStringLiteral("Odpověď je příliš krátká (%1 B)").arg(length);
    if (!CrcMatches(reply, length))
        return QStringLiteral("Chybný CRC odpovědi");
    if (reply[0] != request.unitId)
        return QStringLiteral("Odpověď od jiného zařízení (ID %1 místo %2)")
            .arg(reply[0])
            .arg(request.unitId);
    if (reply[1] != request.function)
        return QStringLiteral("Odpověď jiné funkce (%1 místo %2)")
            .arg(reply[1])
            .arg(request.function);
    if (request.function == reg::ReadHolding || request.function == reg::ReadInput) {
        if (reply[2] != 2 * request.quantity)
            return QStringLiteral("Chybná délka odpovědi (%1 B dat místo %2 B)")
                .arg(reply[2])
                .arg(2 * request.quantity);
    } else if (length >= 6) {
        const int address = reply[2] * 256 + reply[3];
        const int value = reply[4] * 256 + reply[5];
        if (address != request.address || value != request.quantity)
            return QStringLiteral("Odpověď nepotvrdila zápis (registr %1, hodnota %2)")
                .arg(address)
                .arg(value);
    }
    return std::nullopt;
}

} // namespace zra::link
