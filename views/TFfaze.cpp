#include "views/TFfaze.h"

namespace zra::views {

TFfaze::TFfaze(link::DeviceClient& client)
    : GroupView(QStringLiteral("Ffaze"), store::ViewKind::Faze, client, PhaseLayout),
      SG_faze(m_grid) {}

} // namespace zra::views
