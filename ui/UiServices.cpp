#include "ui/UiServices.h"

#include <QAbstractEventDispatcher>
#include <QApplication>
#include <QDialog>
#include <QElapsedTimer>
#include <QFileDialog>
#include <QFileInfo>
#include <QMessageBox>
#include <QPointer>
#include <exception>
#include <vector>

namespace zra::ui {

namespace {
QtUiServices& realServices() {
    static QtUiServices services;
    return services;
}
UiServices* installed = nullptr;
bool commandRunning = false;
// Windows of the running command and of the handlers nested in it, innermost last.
std::vector<QPointer<QWidget>> commandWindows;

// Pushes a window for the lifetime of a scope, also when an error leaves it.
class WindowScope {
public:
    explicit WindowScope(QWidget* window) { commandWindows.emplace_back(window); }
    ~WindowScope() { commandWindows.pop_back(); }
    WindowScope(const WindowScope&) = delete;
    WindowScope& operator=(const WindowScope&) = delete;
};

// The command guard: set for the lifetime of a scope, whatever way it is left.
class RunningScope {
public:
    RunningScope() {
        commandRunning = true;
        emit Commands().runningChanged(true);
    }
    ~RunningScope() {
        commandRunning = false;
        Ui().resetCursor();
        emit Commands().runningChanged(false);
    }
    RunningScope(const RunningScope&) = delete;
    RunningScope& operator=(const RunningScope&) = delete;
};

// A person answering a dialog sees the normal cursor: the busy cursors pushed
// so far are lifted for the scope and pushed again afterwards.
class NormalCursorScope {
public:
    NormalCursorScope() {
        while (QApplication::overrideCursor()) {
            QApplication::restoreOverrideCursor();
            ++lifted;
        }
    }
    ~NormalCursorScope() {
        for (int i = 0; i < lifted; ++i)
            QApplication::setOverrideCursor(Qt::WaitCursor);
    }
    NormalCursorScope(const NormalCursorScope&) = delete;
    NormalCursorScope& operator=(const NormalCursorScope&) = delete;

private:
    int lifted = 0;
};
} // namespace

UiServices& Ui() {
    return installed ? *installed : realServices();
}

void InstallUi(UiServices* services) {
    installed = services;
}

QString WithExtension(const QString& name, const QString& extension) {
    if (name.isEmpty() || !QFileInfo(name).suffix().isEmpty())
        return name;
    return name + QLatin1Char('.') + extension;
}

QString AskSaveFile(QWidget* parent, const QString& caption, const QString& dir,
                    const QString& filter, const QString& extension) {
    return WithExtension(Ui().saveFileName(parent, caption, dir, filter), extension);
}

CommandState& Commands() {
    static CommandState state;
    return state;
}

void QtUiServices::showMessage(QWidget* parent, const QString& text, MessageIcon icon) {
    const NormalCursorScope normal;
    QMessageBox box(icon == MessageIcon::Warning ? QMessageBox::Warning : QMessageBox::Information,
                    QApplication::applicationDisplayName(), text, QMessageBox::Ok, parent);
    box.exec();
}

int QtUiServices::execDialog(QDialog* dialog) {
    const NormalCursorScope normal;
    return dialog->exec();
}

QString QtUiServices::openFileName(QWidget* parent, const QString& caption, const QString& dir,
                                   const QString& filter) {
    const NormalCursorScope normal;
    return QFileDialog::getOpenFileName(parent, caption, dir, filter);
}

QString QtUiServices::saveFileName(QWidget* parent, const QString& caption, const QString& dir,
                                   const QString& filter) {
    const NormalCursorScope normal;
    return QFileDialog::getSaveFileName(parent, caption, dir, filter);
}

QString QtUiServices::appendFileName(QWidget* parent, const QString& caption, const QString& dir,
                                     const QString& filter) {
    const NormalCursorScope normal;
    return QFileDialog::getSaveFileName(parent, caption, dir, filter, nullptr,
                                        QFileDialog::DontConfirmOverwrite);
}

void QtUiServices::pushBusyCursor() {
    QApplication::setOverrideCursor(Qt::WaitCursor);
}

void QtUiServices::popBusyCursor() {
    if (QApplication::overrideCursor())
        QApplication::restoreOverrideCursor();
}

void QtUiServices::resetCursor() {
    while (QApplication::overrideCursor())
        QApplication::restoreOverrideCursor();
}

bool CommandRunning() {
    return commandRunning;
}

QWidget* CommandWindow() {
    return commandWindows.empty() ? nullptr : commandWindows.back().data();
}

void WindowReporter::warning(const QString& text) {
    ShowWarning(CommandWindow(), text);
}

void WindowReporter::exchangeFailure(const QString& text) {
    Ui().resetCursor();
    warning(text);
}

void InstallWindowReporter() {
    static WindowReporter reporter;
    link::SetReporter(&reporter);
}

bool ShowErrors(QWidget* window, const std::function<void()>& action) {
    const WindowScope scope(window);
    try {
        action();
        return true;
    } catch (const std::exception& e) {
        Ui().resetCursor();
        ShowWarning(window, QString::fromUtf8(e.what()));
        return false;
    }
}

bool RunCommand(QWidget* window, const std::function<void()>& command) {
    if (commandRunning)
        return false;
    const RunningScope running;
    return ShowErrors(window, command);
}

namespace {

// When the events were last handled: by a pass made by LetPendingEventsRun,
// or by an event loop that waited (an exchange's wait for a slow reply does).
QElapsedTimer& EventsHandled() {
    static QElapsedTimer handled;
    static QPointer<QAbstractEventDispatcher> watched;
    if (QAbstractEventDispatcher* d = QAbstractEventDispatcher::instance(); d && d != watched) {
        watched = d;
        QObject::connect(d, &QAbstractEventDispatcher::aboutToBlock, d, [] { handled.start(); });
        handled.invalidate();
    }
    return handled;
}

} // namespace

bool EventPassDue() {
    const QElapsedTimer& handled = EventsHandled();
    return !handled.isValid() || handled.elapsed() >= EventPassEveryMs;
}

void LetPendingEventsRun() {
    if (!EventPassDue())
        return;
    QCoreApplication::processEvents();
    EventsHandled().start();
}

} // namespace zra::ui
