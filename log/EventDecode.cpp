#include "log/EventDecode.h"

#include "link/AlarmTexts.h"

namespace zra::log {

int EventCode(const link::RegisterData& record) {
    return record.u16(2);
}

QString EventTimeText(const link::RegisterData& r) {
    return QStringLiteral("%1.%2.%3 %4:%5:%6")
        .arg(r[7])
        .arg(r[6])
        .arg(r.u16(4))
        .arg(r[8])
        .arg(r[9])
        .arg(r[10]);
}

EventRow DecodeEvent(const link::RegisterData& record) {
    EventRow row;
    row.source = link::AlarmSourceText(record[0]);
    row.level = link::AlarmLevelText(record[1]);
    row.code = EventCode(record);
    row.time = EventTimeText(record);
    return row;
}

} // namespace zra::log
