#include "main/SystemReads.h"

#include "link/AlarmTexts.h"
#include "link/DeviceClient.h"
#include "link/RegisterMap.h"
#include "main/SystemDecode.h"
#include "store/TableSink.h"

namespace zra::main {

const QStringList& SystemColumnTitles() {
    static const QStringList titles = {QStringLiteral("Popis"), QStringLiteral("Hodnota")};
    return titles;
}

const QStringList& AlarmColumnTitles() {
    static const QStringList titles = {QStringLiteral("#"), QStringLiteral("Dev"),
                                       QStringLiteral("Typ"), QStringLiteral("Alarm")};
    return titles;
}

bool ReadSystemAndAlarms(link::DeviceClient& client, link::AlarmDescriptions& descriptions,
                         store::TableSink& system, store::TableSink& alarms) {
    const auto block = client.readInput(reg::SystemBlockAddress, reg::SystemBlockRegisters);
    if (!block)
        return false;
    const QStringList values = SystemBlockValues(*block);
    for (int r = 0; r < values.size(); ++r)
        system.setCell(1, r + 1, values[r]);

    const int count = AlarmCount(*block);
    alarms.setRowCount(count + 1);
    for (int n = 1; n <= count; ++n) {
        alarms.setCell(0, n, QString::number(n));
        const auto entry = client.readInput(reg::AlarmEntryAddress(n), reg::AlarmEntryRegisters);
        if (!entry)
            return false;
        const int code = entry->u16(2);
        alarms.setCell(1, n, link::AlarmSourceText(entry->byte(0)));
        alarms.setCell(2, n, link::AlarmLevelText(entry->byte(1)));
        const auto description = descriptions.describeAlarm(code);
        if (!description)
            return false;
        alarms.setCell(3, n, link::AlarmCellText(code, *description));
        alarms.itemDone();
    }
    return true;
}

} // namespace zra::main
