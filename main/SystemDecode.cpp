#include "main/SystemDecode.h"

namespace zra::main {

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

QStringList SystemBlockValues(const link::RegisterData& d) {
    const auto n = [](long long v) { return QString::number(v); };
    return {
        n(d[1]),      // phases
        n(d.s32(2)),  // serial number
        n(d.u16(6)),  // major alarm relay
        n(d.u16(8)),  // minor alarm relay
        n(d[10]),     // major alarms
        n(d[11]),     // minor alarms
        n(d[12]),     // all alarms
        n(d[13]),     // AC flag
        n(d[14]),     // saturation alarm limit
        n(d[15]),     // DC groups
        n(d[16]),     // AC groups
        n(d[17]),     // alarm relay
        n(d.u16(18)), // main SW revision
        n(d.u16(20)), // sub SW revision
        n(d[22]),     // system load position
        n(d[23]),     // configuration version
        n(d.u16(24)), // event version
        n(d[26]),     // modules configured
        n(d[27]),     // modules seen
        n(d[28]),     // events in the log
    };
}

InstallationClock DecodeClock(const link::RegisterData& b) {
    InstallationClock clock;
    clock.summerTime = b[5] != 0;
    const QDate date(b.u16(6), b[4], b[3]);
    const QTime time(b[2], b[1], b[0], 0);
    if (date.isValid() && time.isValid())
        clock.dateTime = QDateTime(date, time);
    return clock;
}

QString InvalidClockText(const link::RegisterData& c) {
    return QStringLiteral("Hodiny zařízení neudávají platné datum a čas (%1.%2.%3 %4:%5:%6)")
        .arg(c[3])
        .arg(c[4])
        .arg(c.u16(6))
        .arg(c[2])
        .arg(c[1], 2, 10, QLatin1Char('0'))
        .arg(c[0], 2, 10, QLatin1Char('0'));
}

std::array<std::uint8_t, 8> EncodeClock(const QDate& date, const QTime& time, bool summerTime) {
    return {std::uint8_t(time.second()),    std::uint8_t(time.minute()),
            std::uint8_t(time.hour()),      std::uint8_t(date.day()),
            std::uint8_t(date.month()),     std::uint8_t(summerTime ? 1 : 0),
            std::uint8_t(date.year() >> 8), std::uint8_t(date.year() & 0xFF)};
}

} // namespace zra::main
