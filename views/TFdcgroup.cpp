#include "views/TFdcgroup.h"

namespace zra::views {

const GroupLayout DcGroupLayout{.count = reg::DcGroupCount,
                                .block = reg::DcGroupStatusRecord,
                                .rowTitles = &DcGroupRowTitles,
                                .decode = &DcGroupStatusValues,
                                .decimals = 2,
                                .tableName = "SG_DC",
                                .titleColumnWidth = 400};

TFdcgroup::TFdcgroup(link::DeviceClient& client)
    : GroupView(QStringLiteral("Fdcgroup"), QStringLiteral("DC group"), client, DcGroupLayout),
      SG_DC(m_grid) {}

} // namespace zra::views
