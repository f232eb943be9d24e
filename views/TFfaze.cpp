#include "views/TFfaze.h"

namespace zra::views {

const GroupLayout PhaseLayout{.count = reg::PhaseCount,
                              .block = reg::PhaseStatusRecord,
                              .rowTitles = &PhaseRowTitles,
                              .decode = &PhaseStatusValues,
                              .decimals = 1,
                              .tableName = "SG_faze",
                              .titleColumnWidth = 300};

TFfaze::TFfaze(link::DeviceClient& client)
    : GroupView(QStringLiteral("Ffaze"), QStringLiteral("Fáze"), client, PhaseLayout),
      SG_faze(m_grid) {}

} // namespace zra::views
