#pragma once
#include "link/RegisterData.h"

#include <QDateTime>
#include <QString>
#include <QStringList>
#include <array>
#include <cstdint>
#include <optional>

namespace zra::main {

// Row titles of the system table, rows 1 to 20.
const QStringList& SystemRowTitles();
// The 20 value texts of the system table, rows 1 to 20, from the 30 data
// bytes of the system block.
QStringList SystemBlockValues(const link::RegisterData& data);
// The number of alarm rows: byte 12 of the system block.
inline int AlarmCount(const link::RegisterData& data) {
    return data.byte(12);
}

// The installation's clock from its 8 bytes. The summer-time flag is byte 5
// whatever the rest holds; the date and time are nothing when they form no
// valid date and time.
struct InstallationClock {
    std::optional<QDateTime> dateTime;
    bool summerTime = false;
};
InstallationClock DecodeClock(const link::RegisterData& bytes);
// The message for a clock that forms no valid date and time.
QString InvalidClockText(const link::RegisterData& bytes);
// The 8 data bytes of the clock write.
std::array<std::uint8_t, 8> EncodeClock(const QDate& date, const QTime& time, bool summerTime);

} // namespace zra::main
