#pragma once
#include "link/RegisterData.h"

#include <QString>

namespace zra::log {

// The cells of one event log row, decoded from the 12 data bytes of an event
// record: source, level, event code, date and time.
struct EventRow {
    QString source; // "Dev"
    QString level;  // "Typ"
    int code = 0;   // the event code; its text is the alarm description of the code
    QString time;   // "Datum a čas"
};

// Byte 0 source, 1 level, 2-3 code, 4-5 year, 6 month, 7 day, 8 hour,
// 9 minute, 10 second; byte 11 is not used.
EventRow DecodeEvent(const link::RegisterData& record);
// The event code, bytes 2 and 3.
int EventCode(const link::RegisterData& record);
// "day.month.year hour:minute:second", plain decimal numbers without leading
// zeros and without any check of their range (5.3.2017 8:7:9).
QString EventTimeText(const link::RegisterData& record);

} // namespace zra::log
