#include "log/EventReads.h"

#include "link/AlarmTexts.h"
#include "link/DeviceClient.h"
#include "link/RegisterMap.h"
#include "log/EventDecode.h"
#include "store/TableSink.h"

#include <algorithm>

namespace zra::log {

const QStringList& EventColumnTitles() {
    static const QStringList titles = {QStringLiteral("#"), QStringLiteral("Dev"),
                                       QStringLiteral("Typ"), QStringLiteral("Událost"),
                                       QStringLiteral("Datum a čas")};
    return titles;
}

bool ReadEvents(link::DeviceClient& client, link::AlarmDescriptions& descriptions, int limit,
                store::TableSink& table, const std::function<void(int left)>& left) {
    const auto count = client.readCount(reg::EventCount);
    if (!count)
        return false;
    const int n = std::min(*count, limit);
    table.setRowCount(n + 1);
    for (int i = 1; i <= n; ++i) {
        if (left)
            left(n - i);
        table.setCell(Number, i, QString::number(i));
        const auto record = client.readInput(reg::EventRecord.address(i), reg::EventRecord.size);
        if (!record)
            return false;
        const EventRow row = DecodeEvent(*record);
        table.setCell(Source, i, row.source);
        table.setCell(Level, i, row.level);
        table.setCell(Time, i, row.time);
        const auto description = descriptions.describeAlarm(row.code);
        if (!description)
            return false;
        table.setCell(Event, i, link::AlarmCellText(row.code, *description));
        table.itemDone();
    }
    return true;
}

} // namespace zra::log
