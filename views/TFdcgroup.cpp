#include "views/TFdcgroup.h"

namespace zra::views {

TFdcgroup::TFdcgroup(link::DeviceClient& client)
    : GroupView(QStringLiteral("Fdcgroup"), QStringLiteral("DC group"), client, DcGroupLayout),
      SG_DC(m_grid) {}

} // namespace zra::views
