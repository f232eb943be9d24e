#include "views/ViewReads.h"

#include "link/DeviceClient.h"
#include "link/RegisterMap.h"
#include "store/TableSink.h"
#include "text/CellText.h"
#include "views/ModuleDecode.h"

namespace zra::views {

bool ReadModules(link::DeviceClient& client, store::TableSink& table) {
    const auto count = client.readCount(reg::ModuleCount);
    if (!count)
        return false;
    table.setColumnCount(*count + 1);
    for (int n = 1; n <= *count; ++n) {
        // The title comes before the module's request: a failure leaves it.
        table.setCell(n, 0, QStringLiteral("Modul %1").arg(n));
        const auto record =
            client.readInput(reg::ModuleStatusRecord.address(n), reg::ModuleStatusRecord.size);
        if (!record)
            return false;
        const QStringList values = ModuleStatusValues(*record);
        for (int r = 0; r < values.size(); ++r)
            table.setCell(n, r + 1, values[r]);
        table.itemDone();
    }
    return true;
}

bool ReadGroups(link::DeviceClient& client, const GroupLayout& layout, store::TableSink& table) {
    const auto count = client.readCount(layout.count);
    if (!count)
        return false;
    table.setColumnCount(*count + 1);
    for (int n = 1; n <= *count; ++n) {
        const auto data = client.readInput(layout.block.address(n), layout.block.size);
        if (!data)
            return false;
        const std::vector<CellValue> values = layout.decode(*data);
        for (int r = 0; r < int(values.size()); ++r) {
            if (const auto* integer = std::get_if<qint64>(&values[r]))
                table.setCell(n, r + 1, QString::number(*integer));
            else
                table.setCell(n, r + 1,
                              text::DecimalText(std::get<double>(values[r]), layout.decimals));
        }
        table.itemDone();
    }
    return true;
}

} // namespace zra::views
