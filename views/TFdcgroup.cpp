#include "views/TFdcgroup.h"

namespace zra::views {

TFdcgroup::TFdcgroup() : ToolWindow(QStringLiteral("Fdcgroup"), QStringLiteral("DC group")) {}

} // namespace zra::views
