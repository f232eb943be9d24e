// The command guard, the window that messages appear over, the real message
// boxes and dialogs with the normal cursor, and Qt's Czech texts.
#include "ui/UiServices.h"

#include "tests/support/QtPrinters.h"
#include "tests/support/RecordingUi.h"

#include <QAbstractButton>
#include <QApplication>
#include <QDialog>
#include <QFile>
#include <QFileDialog>
#include <QMessageBox>
#include <QTemporaryDir>
#include <QTimer>
#include <QWidget>
#include <gtest/gtest.h>
#include <stdexcept>

using namespace zra;

namespace {

TEST(RunCommand, GuardAndWindowAreResetOnEveryExitPath) {
    test::RecordingUi ui;
    QWidget window;
    QList<bool> changes;
    const auto watch = QObject::connect(&ui::Commands(), &ui::CommandState::runningChanged,
                                        [&](bool running) { changes << running; });

    // A normal end; inside, a second command is refused and the window is known.
    bool inner = true;
    EXPECT_TRUE(ui::RunCommand(&window, [&] {
        EXPECT_TRUE(ui::CommandRunning());
        EXPECT_EQ(ui::CommandWindow(), &window);
        inner = ui::RunCommand(nullptr, [] {});
        // A handler inside the command has its own window for its messages.
        QWidget dialog;
        ui::ShowErrors(&dialog, [&] { EXPECT_EQ(ui::CommandWindow(), &dialog); });
        EXPECT_EQ(ui::CommandWindow(), &window);
    }));
    EXPECT_FALSE(inner);
    EXPECT_EQ(changes, (QList<bool>{true, false}));

    // An error ends the command and is shown as a warning over its window.
    ui.pushBusyCursor();
    EXPECT_FALSE(ui::RunCommand(&window, [] { throw std::runtime_error("Spojení spadlo"); }));
    EXPECT_EQ(ui.messages, QStringList{"Spojení spadlo"});
    EXPECT_EQ(ui.parents, QList<QWidget*>{&window});
    EXPECT_EQ(ui.icons, QList<ui::MessageIcon>{ui::MessageIcon::Warning});
    EXPECT_EQ(ui.busyDepth, 0);

    // Something that is no error of ours passes through, and still leaves
    // neither the guard nor the window behind.
    EXPECT_ANY_THROW(ui::RunCommand(&window, [] { throw 42; }));
    EXPECT_FALSE(ui::CommandRunning());
    EXPECT_EQ(ui::CommandWindow(), nullptr);
    EXPECT_TRUE(ui::RunCommand(&window, [] {}));
    EXPECT_EQ(changes.size(), 8);
    QObject::disconnect(watch);
}

// The real services: a message box or a dialog waiting for its answer shows
// the normal cursor; the busy cursor is back once it has closed.
TEST(QtUiServices, AnsweringADialogShowsTheNormalCursor) {
    ui::QtUiServices services;
    services.pushBusyCursor();
    services.pushBusyCursor();

    bool busyWhileShown = true;
    QMessageBox::Icon icon = QMessageBox::NoIcon;
    QString okText;
    QTimer::singleShot(0, [&] {
        auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
        ASSERT_NE(box, nullptr);
        busyWhileShown = QApplication::overrideCursor() != nullptr;
        icon = box->icon();
        okText = box->button(QMessageBox::Ok)->text();
        box->accept();
    });
    services.showMessage(nullptr, QStringLiteral("Chyba v komunikaci"), ui::MessageIcon::Warning);
    EXPECT_FALSE(busyWhileShown);
    EXPECT_EQ(icon, QMessageBox::Warning);
    EXPECT_EQ(okText, "OK");

    QDialog dialog;
    QTimer::singleShot(0, [&] {
        busyWhileShown = QApplication::overrideCursor() != nullptr;
        dialog.accept();
    });
    busyWhileShown = true;
    EXPECT_EQ(services.execDialog(&dialog), QDialog::Accepted);
    EXPECT_FALSE(busyWhileShown);

    ASSERT_NE(QApplication::overrideCursor(), nullptr);
    EXPECT_EQ(QApplication::overrideCursor()->shape(), Qt::WaitCursor);
    services.popBusyCursor();
    EXPECT_NE(QApplication::overrideCursor(), nullptr) << "both pushes came back";
    services.popBusyCursor();
    EXPECT_EQ(QApplication::overrideCursor(), nullptr);
}

// Saving a snapshot appends to the file chosen: an existing file takes no
// "replace?" question, while other saves keep it.
TEST(QtUiServices, AnAppendedFileIsNotOfferedForReplacing) {
    ui::QtUiServices services;
    QTemporaryDir dir;
    const QString existing = dir.filePath("historie.ZRD");
    QFile(existing).open(QIODevice::WriteOnly);
    bool asksToReplace[2] = {false, true};
    for (int append = 0; append < 2; ++append) {
        QTimer::singleShot(0, [&, append] {
            auto* d = qobject_cast<QFileDialog*>(QApplication::activeModalWidget());
            ASSERT_NE(d, nullptr);
            asksToReplace[append] = !d->testOption(QFileDialog::DontConfirmOverwrite);
            if (append) {
                d->selectFile(existing);
                QMetaObject::invokeMethod(d, "accept");
            } else {
                d->reject();
            }
        });
        const QString got =
            append ? services.appendFileName(nullptr, "Ulož", dir.path(), "Soubor ZRA (*.ZRD)")
                   : services.saveFileName(nullptr, "Export CSV", dir.path(), "CSV (*.csv)");
        EXPECT_EQ(got, append ? existing : QString());
    }
    EXPECT_TRUE(asksToReplace[0]);
    EXPECT_FALSE(asksToReplace[1]);
}

TEST(QtUiServices, InformationCarriesItsIcon) {
    ui::QtUiServices services;
    QMessageBox::Icon icon = QMessageBox::NoIcon;
    QTimer::singleShot(0, [&] {
        auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
        ASSERT_NE(box, nullptr);
        icon = box->icon();
        box->accept();
    });
    services.showMessage(nullptr, QStringLiteral("Není co měnit"), ui::MessageIcon::Information);
    EXPECT_EQ(icon, QMessageBox::Information);
}

// The test main loads Qt's Czech translation as the tool does.
TEST(QtTranslation, QtsOwnTextsAreCzech) {
    EXPECT_EQ(QCoreApplication::translate("QPlatformTheme", "Cancel"), "Zrušit");
    EXPECT_EQ(QCoreApplication::translate("QAbstractSocket", "Connection refused"),
              "Spojení bylo odmítnuto");
}

} // namespace
