#pragma once
#include "ui/UiServices.h"

#include <QStringList>
#include <deque>
#include <functional>

namespace zra::test {

// UI services for tests: records every message in order and answers modal
// dialogs and file dialogs from a script, so no test blocks on a window.
// Installs itself for its lifetime.
class RecordingUi : public zra::ui::UiServices {
public:
    using DialogScript = std::function<int(QDialog*)>;

    RecordingUi();
    ~RecordingUi() override;

    // Every message in order, with the window it appeared over and its icon.
    QStringList messages;
    QList<QWidget*> parents;
    QList<zra::ui::MessageIcon> icons;
    void clearMessages() {
        messages.clear();
        parents.clear();
        icons.clear();
    }
    // Runs while a message is up, after it is recorded (what a crash then would leave).
    std::function<void(const QString&)> onMessage;
    int busyDepth = 0;    // pushes minus pops, never below 0
    int cursorResets = 0; // calls of resetCursor
    int dialogsShown = 0;

    // The next modal dialog runs this script (it may fill fields and click
    // buttons) and returns its result; without a script a dialog is rejected.
    void answerNextDialog(DialogScript script) { dialogScripts.push_back(std::move(script)); }
    void answerNextFileName(const QString& name) { fileNames.push_back(name); }
    // The start folder and filter the last file dialog was given.
    QString fileDialogDir;
    QString fileDialogFilter;

    void showMessage(QWidget* parent, const QString& text, zra::ui::MessageIcon icon) override;
    int execDialog(QDialog* dialog) override;
    QString openFileName(QWidget*, const QString&, const QString&, const QString&) override;
    QString saveFileName(QWidget*, const QString&, const QString&, const QString&) override;
    void pushBusyCursor() override { ++busyDepth; }
    void popBusyCursor() override {
        if (busyDepth > 0)
            --busyDepth;
    }
    void resetCursor() override {
        busyDepth = 0;
        ++cursorResets;
    }

private:
    std::deque<DialogScript> dialogScripts;
    std::deque<QString> fileNames;
};

} // namespace zra::test
