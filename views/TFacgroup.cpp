#include "views/TFacgroup.h"

namespace zra::views {

const GroupLayout AcGroupLayout{.count = reg::AcGroupCount,
                                .block = reg::AcGroupStatusRecord,
                                .rowTitles = &AcGroupRowTitles,
                                .decode = &AcGroupStatusValues,
                                .decimals = 2,
                                .tableName = "SG_AC",
                                .titleColumnWidth = 400};

TFacgroup::TFacgroup(link::DeviceClient& client)
    : GroupView(QStringLiteral("Facgroup"), QStringLiteral("AC group"), client, AcGroupLayout),
      SG_AC(m_grid) {}

} // namespace zra::views
