#pragma once
#include <QDateTime>
#include <QString>
#include <QStringList>
#include <array>
#include <cstdint>
#include <optional>

namespace zra::main {

// Registers of the system values, alarms and clock.
inline constexpr std::uint16_t SystemBlockAddress = 1980;
inline constexpr int SystemBlockRegisters = 15;
inline constexpr std::uint16_t ClockReadAddress = 2002;
inline constexpr std::uint16_t ClockWriteAddress = 1500;
inline constexpr std::uint16_t DescriptionBase = 16660;
inline constexpr int DescriptionRegisters = 8;
inline constexpr std::uint16_t SystemCommandRegister = 1700;

// Row titles of the system table, rows 1 to 20.
const QStringList& SystemRowTitles();
// The 20 value texts of the system table, rows 1 to 20, from the 30 data
// bytes of the system block.
QStringList SystemBlockValues(const std::uint8_t* data);
// The number of alarm rows: byte 12 of the system block.
inline int AlarmCount(const std::uint8_t* data) {
    return data[12];
}

// First register of alarm entry n (n from 1).
inline std::uint16_t AlarmEntryAddress(int n) {
    return std::uint16_t(2008 + 2 * n);
}
// First register of the description of alarm code k.
inline std::uint16_t DescriptionAddress(int code) {
    return std::uint16_t(DescriptionBase + DescriptionRegisters * code);
}

// Column texts of an alarm or event: source, level. Values without a name of
// their own are shown as their number.
QString AlarmSourceText(int source);
QString AlarmLevelText(int level);
// The 16 description bytes as text: one Windows-1250 character per byte, up to
// the first zero byte (zero bytes only pad; blanks stay).
QString DescriptionText(const std::uint8_t* bytes);
// "code description".
inline QString AlarmCellText(int code, const QString& description) {
    return QString::number(code) + QLatin1Char(' ') + description;
}

// The installation's clock from its 8 bytes; nothing when they form no valid
// date and time.
struct InstallationClock {
    QDateTime dateTime;
    bool summerTime = false;
};
std::optional<InstallationClock> DecodeClock(const std::uint8_t* bytes);
// The 8 data bytes of the clock write.
std::array<std::uint8_t, 8> EncodeClock(const QDate& date, const QTime& time, bool summerTime);

// The alarm description texts, one per code 0 to 300, fetched once per run.
class AlarmDescriptions {
public:
    static constexpr int Size = 301;
    bool has(int code) const { return code >= 0 && code < Size && known[code]; }
    QString text(int code) const { return has(code) ? texts[code] : QString(); }
    // Codes above 300 have no place and are not kept.
    void store(int code, const QString& text);
    void clear();

private:
    std::array<QString, Size> texts;
    std::array<bool, Size> known{};
};

} // namespace zra::main
