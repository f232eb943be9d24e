#include "config/TFkonfig.h"

namespace zra::config {

TFkonfig::TFkonfig() : ToolWindow(QStringLiteral("Fkonfig"), QStringLiteral("Konfigurace")) {}

} // namespace zra::config
