#include "views/TFacgroup.h"

namespace zra::views {

namespace {
const GroupLayout Layout{.count = reg::AcGroupCount,
                         .block = reg::AcGroupStatusRecord,
                         .rowTitles = &AcGroupRowTitles,
                         .decode = &AcGroupStatusValues,
                         .decimals = 2,
                         .tableName = "SG_AC",
                         .titleColumnWidth = 400};
} // namespace

TFacgroup::TFacgroup(link::DeviceClient& client)
    : GroupView(QStringLiteral("Facgroup"), QStringLiteral("AC group"), client, Layout),
      SG_AC(m_grid) {}

} // namespace zra::views
