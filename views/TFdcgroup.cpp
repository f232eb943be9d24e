#include "views/TFdcgroup.h"

namespace zra::views {

TFdcgroup::TFdcgroup(link::DeviceClient& client)
    : GroupView(QStringLiteral("Fdcgroup"), store::ViewKind::DcGroup, client, DcGroupLayout),
      SG_DC(m_grid) {}

} // namespace zra::views
