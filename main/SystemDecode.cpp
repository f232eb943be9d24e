#include "main/SystemDecode.h"

#include "link/ModbusFrame.h"
#include "ui/Cp1250.h"

namespace zra::main {

using link::Int32At;
using link::Reg16At;

const QStringList& SystemRowTitles() {
    static const QStringList titles = {
        QStringLiteral("Počet fází"),
        QStringLiteral("Sériové číslo"),
        QStringLiteral("Major alarm relé"),
        QStringLiteral("Minor alarm relé"),
        QStringLiteral("Počet majoritních alarmů"),
        QStringLiteral("Počet minoritních alarmů"),
        QStringLiteral("Celkový počet alarmů"),
        QStringLiteral("AC flag"),
        QStringLiteral("Mez alarmu saturace[%]"),
        QStringLiteral("Počet DC skupin"),
        QStringLiteral("Počet AC skupin"),
        QStringLiteral("Alarm relé"),
        QStringLiteral("Main rev. SW"),
        QStringLiteral("Sub rev. SW"),
        QStringLiteral("System load pos."),
        QStringLiteral("Vers. num. ZRA conf."),
        QStringLiteral("Vers. num. ZRA event."),
        QStringLiteral("ModConf."),
        QStringLiteral("ModSeen."),
        QStringLiteral("Počet událostí v logu"),
    };
    return titles;
}

QStringList SystemBlockValues(const std::uint8_t* d) {
    const auto n = [](long long v) { return QString::number(v); };
    return {
        n(d[1]),           // phases
        n(Int32At(d, 2)),  // serial number
        n(Reg16At(d, 6)),  // major alarm relay
        n(Reg16At(d, 8)),  // minor alarm relay
        n(d[10]),          // major alarms
        n(d[11]),          // minor alarms
        n(d[12]),          // all alarms
        n(d[13]),          // AC flag
        n(d[14]),          // saturation alarm limit
        n(d[15]),          // DC groups
        n(d[16]),          // AC groups
        n(d[17]),          // alarm relay
        n(Reg16At(d, 18)), // main SW revision
        n(Reg16At(d, 20)), // sub SW revision
        n(d[22]),          // system load position
        n(d[23]),          // configuration version
        n(Reg16At(d, 24)), // event version
        n(d[26]),          // modules configured
        n(d[27]),          // modules seen
        n(d[28]),          // events in the log
    };
}

QString AlarmSourceText(int source) {
    if (source == 0)
        return QStringLiteral("K3D");
    if (source >= 1 && source <= 32)
        return QStringLiteral("Mod.%1").arg(source);
    if (source == 33)
        return QStringLiteral("SYSTEM");
    return QString::number(source);
}

QString AlarmLevelText(int level) {
    switch (level) {
    case 0:
        return QStringLiteral("NO_ALARM");
    case 1:
        return QStringLiteral("MINOR");
    case 2:
        return QStringLiteral("MAJOR");
    default:
        return QString::number(level);
    }
}

QString DescriptionText(const std::uint8_t* bytes) {
    int length = 0;
    while (length < 16 && bytes[length] != 0)
        ++length;
    return ui::FromCp1250(reinterpret_cast<const char*>(bytes), length);
}

std::optional<InstallationClock> DecodeClock(const std::uint8_t* b) {
    const QDate date(Reg16At(b, 6), b[4], b[3]);
    const QTime time(b[2], b[1], b[0], 0);
    if (!date.isValid() || !time.isValid())
        return std::nullopt;
    return InstallationClock{QDateTime(date, time), b[5] != 0};
}

std::array<std::uint8_t, 8> EncodeClock(const QDate& date, const QTime& time, bool summerTime) {
    return {std::uint8_t(time.second()),    std::uint8_t(time.minute()),
            std::uint8_t(time.hour()),      std::uint8_t(date.day()),
            std::uint8_t(date.month()),     std::uint8_t(summerTime ? 1 : 0),
            std::uint8_t(date.year() >> 8), std::uint8_t(date.year() & 0xFF)};
}

void AlarmDescriptions::store(int code, const QString& text) {
    if (code < 0 || code >= Size)
        return;
    texts[code] = text;
    known[code] = true;
}

void AlarmDescriptions::clear() {
    texts.fill(QString());
    known.fill(false);
}

} // namespace zra::main
