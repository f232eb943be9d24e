#include "views/TFfaze.h"

namespace zra::views {

namespace {
const GroupLayout Layout{.count = reg::PhaseCount,
                         .block = reg::PhaseStatusRecord,
                         .rowTitles = &PhaseRowTitles,
                         .decode = &PhaseStatusValues,
                         .decimals = 1,
                         .tableName = "SG_faze",
                         .titleColumnWidth = 300};
} // namespace

TFfaze::TFfaze(link::DeviceClient& client)
    : GroupView(QStringLiteral("Ffaze"), QStringLiteral("Fáze"), client, Layout), SG_faze(m_grid) {}

} // namespace zra::views
