#pragma once
#include "link/Reporter.h"

#include <QObject>
#include <QString>
#include <functional>

class QDialog;
class QWidget;

namespace zra::ui {

// The icon of a message box: a failure or a warning, or plain information.
enum class MessageIcon { Warning, Information };

// Every message box, modal dialog answer, file dialog and busy cursor of the
// tool goes through this seam. The application installs the real one; tests
// install a recorder that answers from a script and keeps every message.
class UiServices {
public:
    virtual ~UiServices() = default;

    // A modal message box with one OK button.
    virtual void showMessage(QWidget* parent, const QString& text, MessageIcon icon) = 0;
    // Shows a dialog modally and returns its result code (QDialog::Accepted...).
    virtual int execDialog(QDialog* dialog) = 0;
    virtual QString openFileName(QWidget* parent, const QString& caption, const QString& dir,
                                 const QString& filter) = 0;
    virtual QString saveFileName(QWidget* parent, const QString& caption, const QString& dir,
                                 const QString& filter) = 0;
    // A save dialog for a file that is appended to (a snapshot file): an
    // existing file is no reason to ask about replacing it.
    virtual QString appendFileName(QWidget* parent, const QString& caption, const QString& dir,
                                   const QString& filter) {
        return saveFileName(parent, caption, dir, filter);
    }
    // Busy cursor, nested: each push is undone by one pop.
    virtual void pushBusyCursor() = 0;
    virtual void popBusyCursor() = 0;
    // Back to the normal cursor at once, whatever was pushed (after a failure).
    virtual void resetCursor() = 0;
};

// The installed services (the real ones unless a test installed others).
UiServices& Ui();
// Installs services; nullptr puts the real ones back. The caller keeps ownership.
void InstallUi(UiServices* services);

// The name with the extension (without its dot) added when it has none
// ("protokol" becomes "protokol.pdf"); an empty name stays empty.
QString WithExtension(const QString& name, const QString& extension);
// A save dialog's file, with the extension added as above; empty when cancelled.
QString AskSaveFile(QWidget* parent, const QString& caption, const QString& dir,
                    const QString& filter, const QString& extension);

// A failure or warning, and a plain information, over a window.
inline void ShowWarning(QWidget* parent, const QString& text) {
    Ui().showMessage(parent, text, MessageIcon::Warning);
}
inline void ShowInformation(QWidget* parent, const QString& text) {
    Ui().showMessage(parent, text, MessageIcon::Information);
}

// The real services: QMessageBox, QFileDialog, QApplication's override cursor.
// While a message box or a dialog waits for its answer the normal cursor is
// shown; the busy cursor comes back when it closes.
class QtUiServices : public UiServices {
public:
    void showMessage(QWidget* parent, const QString& text, MessageIcon icon) override;
    int execDialog(QDialog* dialog) override;
    QString openFileName(QWidget* parent, const QString& caption, const QString& dir,
                         const QString& filter) override;
    QString saveFileName(QWidget* parent, const QString& caption, const QString& dir,
                         const QString& filter) override;
    QString appendFileName(QWidget* parent, const QString& caption, const QString& dir,
                           const QString& filter) override;
    void pushBusyCursor() override;
    void popBusyCursor() override;
    void resetCursor() override;
};

// Lets the window system handle the messages that are pending, between
// the requests of a long operation: a pass when none was made, and no event
// loop waited, for EventPassEveryMs. Replies that come at once would
// otherwise cost a pass each, more than their exchanges.
constexpr int EventPassEveryMs = 2;
void LetPendingEventsRun();
// Whether LetPendingEventsRun would make a pass now: a progress text set
// only then is as current on the screen and costs no update in between.
bool EventPassDue();

// Busy cursor for the lifetime of a scope.
class BusyCursor {
public:
    BusyCursor() { Ui().pushBusyCursor(); }
    ~BusyCursor() { Ui().popBusyCursor(); }
    BusyCursor(const BusyCursor&) = delete;
    BusyCursor& operator=(const BusyCursor&) = delete;
};

// Runs one user command of a window: refuses to start while another command
// is running (exchanges block in a nested event loop, so clicks still arrive),
// and is the top-level error handler: an error thrown by the command (a failed
// send) ends it and is shown over the window; the normal cursor always comes
// back. Returns false when the command did not start or ended with an error.
bool RunCommand(QWidget* window, const std::function<void()>& command);
// The top-level error handler alone, for handlers that run inside a command
// (a dialog's button while the dialog is shown by a running command).
bool ShowErrors(QWidget* window, const std::function<void()>& action);
// True while a command started by RunCommand is running.
bool CommandRunning();
// The window of the innermost running command or handler: messages that the
// link shows during it appear over that window. Null outside of any.
QWidget* CommandWindow();

// The windows' reporter of the link's failures: a warning over the window of
// the running command (CommandWindow), the busy cursor gone first after a
// failed exchange. The windows' start-up installs it (InstallWindowReporter).
class WindowReporter : public link::Reporter {
public:
    void warning(const QString& text) override;
    void exchangeFailure(const QString& text) override;
};
void InstallWindowReporter();

// Tells when a command starts and ends, so windows can lock the inputs that
// must not change while one runs (the address and the unit id).
class CommandState : public QObject {
    Q_OBJECT
signals:
    void runningChanged(bool running);
};
CommandState& Commands();

} // namespace zra::ui
