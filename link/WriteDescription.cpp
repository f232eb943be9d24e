#include "link/WriteDescription.h"

#include "link/RegisterMap.h"

#include <QStringList>
#include <algorithm>
#include <array>
#include <optional>

namespace zra::link {

namespace {

// The data bytes of function 16's tail: at most what the byte count names and
// the tail holds.
QByteArray TailData(const ModbusRequest& r) {
    if (r.tailLength == 0)
        return {};
    const int count = std::min<int>(r.tail[0], std::min<int>(r.tailLength, MaxTailLength) - 1);
    return QByteArray(reinterpret_cast<const char*>(r.tail.data() + 1), count);
}

// The registers a write reaches: function 16 as many as its data fill (at
// least its quantity), function 6 one.
std::pair<int, int> WrittenRange(const ModbusRequest& r) {
    if (r.function != reg::WriteMultiple)
        return {r.address, r.address};
    const int registers = std::max<int>(r.quantity, int((TailData(r).size() + 1) / 2));
    return {r.address, r.address + std::max(registers, 1) - 1};
}

QString Hex4(int value) {
    return QStringLiteral("0x") +
           QStringLiteral("%1").arg(value, 4, 16, QLatin1Char('0')).toUpper();
}

QString Two(int n) {
    return QStringLiteral("%1").arg(n, 2, 10, QLatin1Char('0'));
}

QString SystemCommandText(std::uint16_t value) {
    switch (value) {
    case reg::OnCommand:
        return QStringLiteral("ON");
    case reg::OffCommand:
        return QStringLiteral("OFF");
    case reg::ClearLogCommand:
        return QStringLiteral("vymazání logu");
    case reg::NumberModulesCommand:
        return QStringLiteral("číslování modulů");
    default:
        return Hex4(value);
    }
}

// The clock write's 8 bytes: second, minute, hour, day, month, summer time,
// year high and low byte. Shown as sent, also when they form no valid date.
QString ClockText(const QByteArray& b) {
    const auto at = [&b](int i) { return int(std::uint8_t(b[i])); };
    QString text = QStringLiteral("Nastavení hodin %1.%2.%3 %4:%5:%6")
                       .arg(Two(at(3)), Two(at(4)))
                       .arg(at(6) * 256 + at(7))
                       .arg(Two(at(2)), Two(at(1)), Two(at(0)));
    if (at(5) != 0)
        text += QStringLiteral(" (letní čas)");
    return text;
}

QString ModuleCommandText(std::uint16_t value) {
    static const std::pair<int, const char*> bits[] = {
        {reg::ModuleCommandOn, "ON"},
        {reg::ModuleCommandOff, "OFF"},
        {reg::ModuleCommandIdentify, "identifikace"},
        {reg::ModuleCommandFanReplaced, "výměna ventilátoru"},
        {reg::ModuleCommandBusErrorClear, "vymazání chyby sběrnice"}};
    const int high = value >> 8;
    QStringList names;
    int known = 0;
    for (const auto& [bit, name] : bits)
        if (high & bit) {
            names << QString::fromUtf8(name);
            known |= bit;
        }
    if (const int rest = value & ~(known << 8); rest != 0 || names.isEmpty())
        names << Hex4(rest);
    return names.join(QStringLiteral(", "));
}

// Module n's registers: address and phase, input groups, command.
std::optional<QString> ModuleWriteText(std::uint16_t address, std::uint16_t value) {
    const int first = reg::ModuleRegisters.start;
    const int size = reg::ModuleRegisters.size;
    if (address < first || address >= first + size * reg::MaxModuleRegisters)
        return std::nullopt;
    const int n = (address - first) / size + 1;
    const QString module = QStringLiteral("Modul %1: ").arg(n);
    if (address == reg::ModuleAddressRegister(n))
        return module + QStringLiteral("adresa %1, fáze %2").arg(value >> 8).arg(value & 0xFF);
    if (address == reg::ModuleGroupsRegister(n))
        return module +
               QStringLiteral("skupina AC %1, skupina DC %2").arg(value >> 8).arg(value & 0xFF);
    return module + QStringLiteral("příkaz ") + ModuleCommandText(value);
}

QString GenericText(const ModbusRequest& r) {
    const auto [first, last] = WrittenRange(r);
    if (first == last)
        return QStringLiteral("Zápis do registru %1").arg(first);
    return QStringLiteral("Zápis do registrů %1 až %2").arg(first).arg(last);
}

// A function 16 whose data is the access password text (the console sends
// its "Heslo" text as the data of any function 16).
bool CarriesPasswordText(const ModbusRequest& r, const QByteArray& accessPassword) {
    return r.function == reg::WriteMultiple && !accessPassword.isEmpty() &&
           TailData(r) == accessPassword.left(MaxTailLength - 1);
}

} // namespace

bool WritesPasswordRegisters(const ModbusRequest& r) {
    if (r.function != reg::WriteSingle && r.function != reg::WriteMultiple)
        return false;
    const auto [first, last] = WrittenRange(r);
    return first <= reg::PasswordRegister + reg::PasswordRegisters - 1 &&
           last >= reg::PasswordRegister;
}

QList<quint16> WrittenValues(const ModbusRequest& r) {
    if (r.function == reg::WriteSingle)
        return {r.quantity};
    QList<quint16> values;
    const QByteArray data = TailData(r);
    for (qsizetype i = 0; i < data.size(); i += 2)
        values.append(quint16(std::uint8_t(data[i]) << 8 |
                              (i + 1 < data.size() ? std::uint8_t(data[i + 1]) : 0)));
    return values;
}

QString DescribeWrite(const ModbusRequest& r) {
    if (WritesPasswordRegisters(r))
        return QStringLiteral("Heslo přístupu (skryto)");
    if (r.function == reg::WriteMultiple) {
        const QByteArray data = TailData(r);
        if (r.address == reg::ClockWriteAddress && r.quantity == reg::ClockRegisters &&
            data.size() == 2 * reg::ClockRegisters)
            return ClockText(data);
        return GenericText(r);
    }
    if (r.function != reg::WriteSingle)
        return GenericText(r);
    const std::uint16_t value = r.quantity;
    if (r.address == reg::SystemCommandRegister)
        return QStringLiteral("Systémový příkaz: ") + SystemCommandText(value);
    if (r.address == reg::ConfigControlRegister) {
        if (value == reg::ConfigCommit)
            return QStringLiteral("Potvrzení změn konfigurace");
        if (value == reg::ConfigCancel)
            return QStringLiteral("Zrušení změn konfigurace");
        return QStringLiteral("Řízení změn konfigurace: hodnota %1").arg(value);
    }
    if (r.address < reg::ConfigVariables)
        return QStringLiteral("Proměnná %1: surová hodnota %2").arg(r.address + 1).arg(value);
    if (const auto module = ModuleWriteText(r.address, value))
        return *module;
    return GenericText(r);
}

WriteRecord RecordOfWrite(const ModbusRequest& r, const QByteArray& accessPassword) {
    if (WritesPasswordRegisters(r))
        return {{}, DescribeWrite(r)};
    if (CarriesPasswordText(r, accessPassword))
        return {{}, DescribeWrite(r) + QStringLiteral(" (data: heslo přístupu, skryto)")};
    return {WrittenValues(r), DescribeWrite(r)};
}

QString HidePasswordInTrace(const QString& line, const QByteArray& accessPassword) {
    // "->" and five characters a byte; only writes are looked at closer.
    constexpr int Prefix = 2, Byte = 5, Header = 6, Crc = 2;
    const qsizetype count = (line.size() - Prefix) / Byte;
    if (!line.startsWith(QLatin1String("->0x")) || (line.size() - Prefix) % Byte != 0 ||
        count < Header + Crc)
        return {};
    const QStringView view(line);
    const QStringView function = view.mid(Prefix + Byte + 2, 2);
    if (function != u"06" && function != u"10")
        return {};
    std::array<std::uint8_t, FrameBufferSize> bytes{};
    if (count > qsizetype(bytes.size()))
        return {};
    for (qsizetype i = 0; i < count; ++i) {
        bool ok = false;
        bytes[i] = std::uint8_t(view.mid(Prefix + Byte * i + 2, 2).toUInt(&ok, 16));
        if (!ok)
            return {};
    }
    ModbusRequest r;
    r.unitId = bytes[0];
    r.function = bytes[1];
    r.address = std::uint16_t(bytes[2] << 8 | bytes[3]);
    r.quantity = std::uint16_t(bytes[4] << 8 | bytes[5]);
    int hiddenFrom = 4; // function 6: the value
    if (r.function == reg::WriteMultiple) {
        r.tailLength = std::uint8_t(std::min<qsizetype>(count - Header - Crc, MaxTailLength));
        std::copy_n(bytes.begin() + Header, r.tailLength, r.tail.begin());
        hiddenFrom = Header + 1;
    } else if (r.function != reg::WriteSingle) {
        return {};
    }
    if (!WritesPasswordRegisters(r) && !CarriesPasswordText(r, accessPassword))
        return {};
    QString hidden = line;
    for (qsizetype i = hiddenFrom; i < count; ++i)
        hidden.replace(Prefix + Byte * i + 2, 2, QStringLiteral("**"));
    return hidden;
}

} // namespace zra::link
