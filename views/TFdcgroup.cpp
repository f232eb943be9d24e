#include "views/TFdcgroup.h"

namespace zra::views {

namespace {
const GroupLayout Layout{.count = reg::DcGroupCount,
                         .block = reg::DcGroupStatusRecord,
                         .rowTitles = &DcGroupRowTitles,
                         .decode = &DcGroupStatusValues,
                         .decimals = 2,
                         .tableName = "SG_DC",
                         .titleColumnWidth = 400};
} // namespace

TFdcgroup::TFdcgroup(link::DeviceClient& client)
    : GroupView(QStringLiteral("Fdcgroup"), QStringLiteral("DC group"), client, Layout),
      SG_DC(m_grid) {}

} // namespace zra::views
