#include "views/TFacgroup.h"

namespace zra::views {

TFacgroup::TFacgroup(link::DeviceClient& client)
    : GroupView(QStringLiteral("Facgroup"), store::ViewKind::AcGroup, client, AcGroupLayout),
      SG_AC(m_grid) {}

} // namespace zra::views
