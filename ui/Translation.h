#pragma once

namespace zra::ui {

// Qt's own texts (socket errors, the buttons of the standard dialogs, the
// file dialogs) in Czech, from Qt's translations folder, so that the Czech
// tool shows no English message. False when the translation is not installed.
bool InstallCzechQtTranslation();

} // namespace zra::ui
