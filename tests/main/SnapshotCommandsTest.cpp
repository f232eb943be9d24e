// The snapshot commands of every window, without a connection: saving
// appends, opening loads the file's snapshots with their history, a pick
// brings back an earlier one, and the main window's commands cover its two
// tables or every table.
#include "app/Startup.h"
#include "config/TFkonfig.h"
#include "log/TFlog.h"
#include "main/TFmain.h"
#include "tests/support/SimFixture.h"
#include "ui/TextGrid.h"
#include "views/TFacgroup.h"
#include "views/TFdcgroup.h"
#include "views/TFfaze.h"
#include "views/TFmoduly.h"

#include <QAction>
#include <QComboBox>
#include <QFile>
#include <QLabel>
#include <QTemporaryDir>
#include <QToolBar>

using namespace zra;
using namespace zra::test;
using store::ViewKind;

namespace {

class SnapshotCommandsTest : public ::testing::Test {
protected:
    QString file(const char* name) { return dir.filePath(QString::fromLatin1(name)); }
    // Saves through the window's "Ulož" into path.
    void save(QAction* item, const QString& path) {
        ui.answerNextFileName(path);
        item->trigger();
    }
    void open(QAction* item, const QString& path) {
        ui.answerNextFileName(path);
        item->trigger();
    }
    static bool shown(QComboBox* list) {
        auto* bar = qobject_cast<QToolBar*>(list->parentWidget());
        for (QAction* a : bar->actions())
            if (bar->widgetForAction(a) == list)
                return a->isVisible();
        return false;
    }
    ui::TextGrid& log() { return *w.Flog->SG_log; }

    RecordingUi ui;
    app::Windows w;
    QTemporaryDir dir;
};

TEST_F(SnapshotCommandsTest, AWindowSavesAppendsAndPicksItsHistory) {
    log().setCell(1, 1, "první");
    save(w.Flog->TBXuloz, file("log"));
    EXPECT_EQ(ui.fileDialogFilter, "Soubor ZRA (*.ZRD)");
    EXPECT_EQ(ui.fileDialogDir, w.snapshots.startDirectory);
    EXPECT_TRUE(ui.fileDialogDir.endsWith('/'));
    EXPECT_TRUE(QFile::exists(file("log.ZRD"))) << "the default extension is added";
    log().setCell(1, 1, "druhý °");
    save(w.Flog->TBXuloz, file("log.ZRD"));
    EXPECT_EQ(w.Flog->windowTitle(), "Event log") << "saving changes nothing in the window";
    EXPECT_FALSE(shown(w.Flog->historie));

    log().setCell(1, 1, "");
    open(w.Flog->TBXotevri, file("log.ZRD"));
    ASSERT_TRUE(ui.messages.isEmpty()) << ui.messages.join(" | ").toStdString();
    EXPECT_EQ(log().cell(1, 1), "druhý °") << "the file's last snapshot";
    EXPECT_EQ(w.Flog->windowTitle(), "Event log " + file("log.ZRD"));
    QComboBox& history = *w.Flog->historie;
    EXPECT_EQ(history.count(), 2);
    EXPECT_EQ(history.currentIndex(), 1);
    EXPECT_TRUE(shown(&history));

    history.setCurrentIndex(0);
    emit history.activated(0);
    EXPECT_EQ(log().cell(1, 1), "první");
    EXPECT_EQ(history.count(), 2) << "a pick changes nothing in the history";

    // A file without a snapshot of the log changes nothing.
    w.Ffaze->SG_faze->setCell(1, 1, "230");
    save(w.Ffaze->TBXuloz, file("faze.ZRD"));
    open(w.Flog->TBXotevri, file("faze.ZRD"));
    EXPECT_EQ(log().cell(1, 1), "první");
    EXPECT_EQ(w.Flog->windowTitle(), "Event log " + file("log.ZRD"));
    EXPECT_EQ(history.count(), 2);

    // Saved once and opened: one entry, and the list stays hidden.
    open(w.Ffaze->TBXotevri, file("faze.ZRD"));
    EXPECT_EQ(w.Ffaze->historie->count(), 1);
    EXPECT_FALSE(shown(w.Ffaze->historie));
    EXPECT_EQ(w.Ffaze->windowTitle(), "Fáze " + file("faze.ZRD"));
}

TEST_F(SnapshotCommandsTest, SaveAllThenOpenAllBringsBackEveryTable) {
    const std::pair<ViewKind, ui::TextGrid*> tables[] = {
        {ViewKind::Konfig, w.Fkonfig->SG_konfig}, {ViewKind::Moduly, w.Fmoduly->SG_mod},
        {ViewKind::Faze, w.Ffaze->SG_faze},       {ViewKind::AcGroup, w.Facgroup->SG_AC},
        {ViewKind::DcGroup, w.Fdcgroup->SG_DC},   {ViewKind::Log, w.Flog->SG_log},
        {ViewKind::Main, w.Fmain->SG_main},       {ViewKind::Alarm, w.Fmain->SG_alarm}};
    w.Fkonfig->SG_konfig->setCell(0, 1, "7");
    for (const auto& [kind, grid] : tables)
        grid->setCell(1, 0, QStringLiteral("tabulka %1").arg(int(kind)));
    const std::vector<store::SnapshotTable> saved = [&] {
        std::vector<store::SnapshotTable> out;
        for (const auto& t : tables)
            out.push_back(main::SnapshotCommands::TableOf(*t.second));
        return out;
    }();
    save(w.Fmain->TBXulozvse, file("vse.ZRD"));
    for (const auto& [kind, grid] : tables) {
        grid->setRowCount(3);
        grid->setCell(1, 0, "změněno");
    }
    open(w.Fmain->TBXotevrivse, file("vse.ZRD"));
    ASSERT_TRUE(ui.messages.isEmpty()) << ui.messages.join(" | ").toStdString();
    for (std::size_t i = 0; i < saved.size(); ++i)
        EXPECT_EQ(main::SnapshotCommands::TableOf(*tables[i].second), saved[i]) << i;
    EXPECT_EQ(w.Fmain->windowTitle(), "Nastevení ZRA " + file("vse.ZRD"));
    EXPECT_EQ(w.Fkonfig->windowTitle(), "Konfigurace " + file("vse.ZRD"));
    EXPECT_EQ(w.Fkonfig->statusPanel0->text(), "Řádků: 1");
    for (QComboBox* list :
         {w.Fkonfig->historie, w.Fmoduly->historie, w.Flog->historie, w.Fmain->historie}) {
        EXPECT_EQ(list->count(), 1);
        EXPECT_FALSE(shown(list));
    }
}

TEST_F(SnapshotCommandsTest, TheMainWindowKeepsItsTwoTablesTogether) {
    w.Fmain->SG_alarm->setRowCount(2);
    for (int i = 1; i <= 3; ++i) {
        w.Fmain->SG_main->setCell(1, 1, QStringLiteral("stav %1").arg(i));
        w.Fmain->SG_alarm->setCell(1, 1, QStringLiteral("alarm %1").arg(i));
        save(w.Fmain->TBXuloz, file("main.ZRD"));
    }
    open(w.Fmain->TBXotevri, file("main.ZRD"));
    EXPECT_EQ(w.Fmain->SG_alarm->cell(1, 1), "alarm 3");
    QComboBox& history = *w.Fmain->historie;
    ASSERT_EQ(history.count(), 3) << "the status table's snapshots";
    emit history.activated(1);
    EXPECT_EQ(w.Fmain->SG_main->cell(1, 1), "stav 2");
    EXPECT_EQ(w.Fmain->SG_alarm->cell(1, 1), "alarm 2") << "the alarms saved with it";
    EXPECT_TRUE(ui.messages.isEmpty()) << ui.messages.join(" | ").toStdString();
}

TEST_F(SnapshotCommandsTest, ModulesColumnsFollowTheFirstAndFileErrorsAreShown) {
    ui::TextGrid& mod = *w.Fmoduly->SG_mod;
    mod.setColumnCount(10);
    mod.setColumnWidthPx(1, 90);
    save(w.Fmoduly->TBXuloz, file("mod.ZRD"));
    mod.setColumnCount(2);
    open(w.Fmoduly->TBXotevri, file("mod.ZRD"));
    ASSERT_EQ(mod.columnCount(), 10);
    for (int c = 2; c < 10; ++c)
        EXPECT_EQ(mod.columnWidthPx(c), 90) << c;

    open(w.Fmoduly->TBXotevri, file("missing.ZRD"));
    ASSERT_EQ(ui.messages.size(), 1);
    EXPECT_TRUE(ui.messages[0].startsWith("Cannot open file \"" + file("missing.ZRD") + "\". "))
        << ui.messages[0].toStdString();
    EXPECT_EQ(ui.parents[0], w.Fmoduly.get());
    save(w.Fmoduly->TBXuloz, file("no/such/folder/mod.ZRD"));
    ASSERT_EQ(ui.messages.size(), 2);
    EXPECT_TRUE(ui.messages[1].startsWith("Cannot create file")) << ui.messages[1].toStdString();

    // A table that does not fit a record is named, and nothing is written.
    mod.setCell(1, 1, QString(256, 'x'));
    save(w.Fmoduly->TBXuloz, file("long.ZRD"));
    ASSERT_EQ(ui.messages.size(), 3);
    EXPECT_TRUE(ui.messages[2].startsWith("Tabulku SG_mod okna „Moduly " + file("mod.ZRD") +
                                          "“ nelze uložit: buňka (1, 1)"))
        << ui.messages[2].toStdString();
    EXPECT_FALSE(QFile::exists(file("long.ZRD")));

    // A cancelled dialog does nothing.
    w.Fmoduly->TBXotevri->trigger();
    EXPECT_EQ(ui.messages.size(), 3);

    // The main window's "Otevři" of a missing file: one message for its two tables.
    ui.clearMessages();
    open(w.Fmain->TBXotevri, file("missing.ZRD"));
    QFile missing(file("missing.ZRD"));
    ASSERT_FALSE(missing.open(QIODevice::ReadOnly));
    EXPECT_EQ(ui.messages, QStringList{"Cannot open file \"" + file("missing.ZRD") + "\". " +
                                       missing.errorString()});
}

} // namespace
