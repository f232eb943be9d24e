#include "tests/support/RecordingUi.h"

#include "store/ToolFiles.h"

#include <QDialog>
#include <QFile>

namespace zra::test {

RecordingUi::RecordingUi() {
    zra::ui::InstallUi(this);
    // Every test starts as at a first start: without the settings an earlier
    // test's windows wrote.
    QFile::remove(zra::store::ToolFilePath(zra::store::SettingsFileName));
}

RecordingUi::~RecordingUi() {
    zra::ui::InstallUi(nullptr);
}

void RecordingUi::showMessage(QWidget* parent, const QString& text, zra::ui::MessageIcon icon) {
    messages << text;
    parents << parent;
    icons << icon;
    if (onMessage)
        onMessage(text);
}

int RecordingUi::execDialog(QDialog* dialog) {
    ++dialogsShown;
    if (dialogScripts.empty())
        return QDialog::Rejected;
    DialogScript script = std::move(dialogScripts.front());
    dialogScripts.pop_front();
    return script(dialog);
}

QString RecordingUi::openFileName(QWidget*, const QString&, const QString& dir,
                                  const QString& filter) {
    fileDialogDir = dir;
    fileDialogFilter = filter;
    if (fileNames.empty())
        return {};
    QString name = fileNames.front();
    fileNames.pop_front();
    return name;
}

QString RecordingUi::saveFileName(QWidget* parent, const QString& caption, const QString& dir,
                                  const QString& filter) {
    return openFileName(parent, caption, dir, filter);
}

} // namespace zra::test
