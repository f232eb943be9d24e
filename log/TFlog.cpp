#include "log/TFlog.h"

namespace zra::log {

TFlog::TFlog() : ToolWindow(QStringLiteral("Flog"), QStringLiteral("Event log")) {}

} // namespace zra::log
