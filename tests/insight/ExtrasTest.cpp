// What the windows offer beyond their documented commands: comparisons with
// snapshots that follow the table, the CSV export, the list of changed
// configuration variables, and live watching against the simulator.
#include "insight/Extras.h"
#include "app/Startup.h"
#include "config/ConfigDecode.h"
#include "config/TFkonfig.h"
#include "insight/CompareMarks.h"
#include "insight/LiveWatch.h"
#include "log/TFlog.h"
#include "main/Snapshots.h"
#include "main/TFmain.h"
#include "report/ReportCommands.h"
#include "store/CsvExport.h"
#include "store/TableCompare.h"
#include "tests/support/SimFixture.h"
#include "ui/TextGrid.h"
#include "ui/UiServices.h"

#include <QAction>
#include <QClipboard>
#include <QComboBox>
#include <QFile>
#include <QGuiApplication>
#include <QLabel>
#include <QMenu>
#include <QPushButton>
#include <QTemporaryDir>
#include <QThread>
#include <QToolButton>

using namespace zra;
using namespace zra::test;
using store::ViewKind;

namespace {

QByteArray ReadAll(const QString& path) {
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

class ExtrasTest : public ::testing::Test {
protected:
    QString file(const char* name) { return dir.filePath(QString::fromLatin1(name)); }
    ui::TextGrid& log() { return *w.Flog->SG_log; }
    // Appends the log table as it stands to path through "Ulož".
    void saveLog(const QString& path) {
        // Snapshots are told apart by their stamps, to the millisecond.
        QThread::msleep(2);
        ui.answerNextFileName(path);
        w.Flog->TBXuloz->trigger();
    }
    std::optional<QColor> mark(ui::TextGrid& g, int c, int r) { return g.cellHighlight(c, r); }

    RecordingUi ui;
    app::Windows w;
    insight::Extras extras{w};
    QTemporaryDir dir;
};

TEST_F(ExtrasTest, ItemsFollowTheDocumentedOnesInEverySouborMenu) {
    for (const ViewKind kind : {ViewKind::Main, ViewKind::Konfig, ViewKind::Moduly, ViewKind::Faze,
                                ViewKind::AcGroup, ViewKind::DcGroup, ViewKind::Log}) {
        const QList<QAction*> items = extras.menuItems(kind);
        ASSERT_GE(items.size(), 5);
        QMenu* menu = qobject_cast<QMenu*>(items.first()->parent());
        ASSERT_NE(menu, nullptr);
        const QList<QAction*> all = menu->actions();
        // The documented items first, then a separator, then these together.
        const qsizetype first = all.indexOf(items.first());
        EXPECT_EQ(all.mid(first, items.size()), items);
        ASSERT_GE(first, 2);
        EXPECT_TRUE(all[first - 1]->isSeparator());
        EXPECT_EQ(all[0]->text(), "Otevři") << "the documented items stay first";
    }
    EXPECT_EQ(extras.menuItems(ViewKind::Konfig).last()->text(), "Změněné proměnné…");
    const QList<QAction*> main = w.Fmain->souborButton->menu()->actions();
    EXPECT_EQ(main.last(), extras.TBXtrendy) << "the report's items and the trends come last";
    EXPECT_EQ(main[main.size() - 2], extras.reports->fileItem);
}

TEST_F(ExtrasTest, ComparisonWithAFileMarksChangesAndFollowsTheTable) {
    log().setCell(1, 1, "první");
    log().setCell(2, 1, "stejné");
    saveLog(file("log.ZRD"));
    log().setCell(1, 1, "změněné");

    ui.answerNextFileName(file("log.ZRD"));
    extras.compareWithFile(ViewKind::Log);
    ASSERT_EQ(ui.messages.size(), 1);
    EXPECT_TRUE(ui.messages[0].startsWith("Porovnání se snímkem „log.ZRD“ ("));
    EXPECT_TRUE(ui.messages[0].endsWith(": Změněné buňky: 1, přidané řádky: 0, chybějící řádky: 0, "
                                        "přidané sloupce: 0, chybějící sloupce: 0"))
        << ui.messages[0].toStdString();
    EXPECT_EQ(mark(log(), 1, 1), insight::ChangedCellColor);
    EXPECT_EQ(mark(log(), 2, 1), std::nullopt);
    EXPECT_EQ(log().cellToolTip(1, 1), "Ve snímku: první");
    EXPECT_EQ(log().model()->data(log().model()->index(0, 0), Qt::BackgroundRole).value<QColor>(),
              insight::ChangedCellColor)
        << "the mark is what the grid paints";

    // A later change of the table is compared again once the events ran.
    log().setCell(1, 1, "první");
    log().setRowCount(log().rowCount() + 1);
    QCoreApplication::processEvents();
    EXPECT_EQ(mark(log(), 1, 1), std::nullopt);
    EXPECT_EQ(mark(log(), 1, log().rowCount() - 1), insight::AddedCellColor)
        << "an added row is marked as added";

    extras.clearComparison(ViewKind::Log);
    log().setCell(1, 1, "jiné");
    QCoreApplication::processEvents();
    EXPECT_EQ(mark(log(), 1, 1), std::nullopt);
    EXPECT_TRUE(log().cellToolTip(1, 1).isEmpty());
}

TEST_F(ExtrasTest, ComparisonsThatFindNothingSaySo) {
    log().setCell(1, 1, "x");
    saveLog(file("log.ZRD"));
    ui.answerNextFileName(file("log.ZRD"));
    extras.compareWithFile(ViewKind::Moduly);
    extras.compareWithHistory(ViewKind::Log);
    ui.answerNextFileName(file("log.ZRD"));
    extras.compareTwo(ViewKind::Log);
    extras.changedVariables();
    EXPECT_EQ(ui.messages,
              QStringList({"Soubor \"" + file("log.ZRD") + "\" neobsahuje snímek této tabulky.",
                           "Historie snímků je prázdná: nejdřív otevřete soubor se snímky této "
                           "tabulky.",
                           "Soubor \"" + file("log.ZRD") + "\" neobsahuje dva snímky této tabulky.",
                           "Nejdřív porovnejte tabulku se snímkem konfigurace."}));
    EXPECT_FALSE(extras.marks(ViewKind::Moduly).active());
}

TEST_F(ExtrasTest, TwoSnapshotsAndTheHistoryPick) {
    for (const char* text : {"první", "druhý", "třetí"}) {
        log().setCell(1, 1, QString::fromUtf8(text));
        saveLog(file("log.ZRD"));
    }
    // Two snapshots of one file: the later one into the window, marked
    // against the earlier one.
    ui.answerNextFileName(file("log.ZRD"));
    ui.answerNextDialog([](QDialog* d) {
        d->findChild<QComboBox*>("prvni")->setCurrentIndex(0);
        d->findChild<QComboBox*>("druhy")->setCurrentIndex(1);
        return int(QDialog::Accepted);
    });
    extras.compareTwo(ViewKind::Log);
    EXPECT_EQ(log().cell(1, 1), "druhý");
    EXPECT_EQ(w.Flog->windowTitle(), "Event log " + file("log.ZRD"));
    EXPECT_EQ(log().cellToolTip(1, 1), "Ve snímku: první");

    // The history of an opened file: the entry selected is the baseline.
    ui.answerNextFileName(file("log.ZRD"));
    w.Flog->TBXotevri->trigger();
    w.Flog->historie->setCurrentIndex(1);
    ui.clearMessages();
    extras.compareWithHistory(ViewKind::Log);
    ASSERT_EQ(ui.messages.size(), 1);
    EXPECT_EQ(log().cell(1, 1), "třetí");
    EXPECT_EQ(log().cellToolTip(1, 1), "Ve snímku: druhý");
}

TEST_F(ExtrasTest, TheMainWindowExportsAndComparesBothTables) {
    main::TFmain& m = *w.Fmain;
    m.SG_main->setCell(1, 1, "54,0");
    m.SG_alarm->setRowCount(2);
    m.SG_alarm->setCell(1, 1, "Porucha; modul 3");
    ui.answerNextFileName(file("tabulky"));
    extras.exportCsv(ViewKind::Main);
    QList<QStringList> rows;
    for (const ui::TextGrid* g : {m.SG_main, m.SG_alarm}) {
        if (!rows.isEmpty())
            rows << QStringList();
        const store::SnapshotTable t = main::SnapshotCommands::TableOf(*g);
        for (int r = 0; r < t.rows; ++r) {
            QStringList row;
            for (int c = 0; c < t.columns; ++c)
                row << t.at(c, r);
            rows << row;
        }
    }
    EXPECT_EQ(ReadAll(file("tabulky.csv")), store::RowsCsv(rows)) << "the extension is added";
    EXPECT_EQ(ui.fileDialogFilter, "CSV (*.csv)");

    ui.answerNextFileName(file("main"));
    m.TBXuloz->trigger();
    m.SG_alarm->setCell(1, 1, "jiný alarm");
    ui.answerNextFileName(file("main.ZRD"));
    extras.compareWithFile(ViewKind::Main);
    ASSERT_EQ(ui.messages.size(), 1);
    EXPECT_EQ(ui.messages[0].count("Porovnání se snímkem"), 2) << "one summary per table";
    EXPECT_EQ(mark(*m.SG_alarm, 1, 1), insight::ChangedCellColor);
    EXPECT_EQ(mark(*m.SG_main, 1, 1), std::nullopt);

    // The history pick: the alarm snapshot saved with the picked status one.
    extras.clearComparison(ViewKind::Main);
    ui.answerNextFileName(file("main.ZRD"));
    m.TBXotevri->trigger();
    m.SG_alarm->setCell(1, 1, "další alarm");
    ui.clearMessages();
    extras.compareWithHistory(ViewKind::Main);
    ASSERT_EQ(ui.messages.size(), 1);
    EXPECT_EQ(ui.messages[0].count("Porovnání se snímkem"), 2) << ui.messages[0].toStdString();
    EXPECT_EQ(mark(*m.SG_alarm, 1, 1), insight::ChangedCellColor);
    EXPECT_EQ(m.SG_alarm->cellToolTip(1, 1), "Ve snímku: Porucha; modul 3");

    ui.answerNextFileName(dir.filePath("chybí/x.csv"));
    ui.clearMessages();
    extras.exportCsv(ViewKind::Main);
    ASSERT_EQ(ui.messages.size(), 1);
    EXPECT_TRUE(
        ui.messages[0].startsWith("Soubor \"" + dir.filePath("chybí/x.csv") + "\" nelze uložit."));
}

TEST_F(ExtrasTest, ChangedVariablesAreListedCopiedAndExported) {
    ui::TextGrid& k = *w.Fkonfig->SG_konfig;
    k.setRowCount(3);
    const QStringList first = {"12", "Napětí", "54,0", "", "", "V"};
    const QStringList second = {"13", "Proud", "10", "", "", "A"};
    for (int c = 0; c < first.size(); ++c) {
        k.setCell(c, 1, first[c]);
        k.setCell(c, 2, second[c]);
    }
    ui.answerNextFileName(file("konfig.ZRD"));
    w.Fkonfig->TBXuloz->trigger();
    k.setCell(config::ValueColumn, 1, "55,5");
    ui.answerNextFileName(file("konfig.ZRD"));
    extras.compareWithFile(ViewKind::Konfig);

    QStringList shown;
    ui.answerNextFileName(file("zmeny"));
    ui.answerNextDialog([&](QDialog* d) {
        auto* g = d->findChild<ui::TextGrid*>("SG_zmenene");
        for (int c = 0; c < g->columnCount(); ++c)
            shown << g->cell(c, 1);
        EXPECT_EQ(g->rowCount(), 2) << "the title row and one changed variable";
        d->findChild<QPushButton*>("kopirovat")->click();
        d->findChild<QPushButton*>("exportcsv")->click();
        return int(QDialog::Rejected);
    });
    extras.changedVariables();
    EXPECT_EQ(shown, QStringList({"12", "Napětí", "54,0", "55,5", "V"}));
    const QList<store::ChangedVariable> expected = {
        {store::ChangedVariable::Changed, "12", "Napětí", "54,0", "55,5", "V"}};
    EXPECT_EQ(QGuiApplication::clipboard()->text(), store::ChangedVariablesText(expected));
    EXPECT_EQ(ReadAll(file("zmeny.csv")), store::ChangedVariablesCsv(expected));
}

class LiveWatchTest : public ExtrasTest {
protected:
    void SetUp() override {
        simulator = StartSimulator();
        w.link.setAddress(simulator->address());
        w.link.ConnectCommand();
        ASSERT_TRUE(w.link.connectedState());
        simulator->clearRecords();
    }
    QAction& toggle() { return *extras.watchToggle(w.Flog.get()); }
    insight::LiveWatch& watch() { return extras.watch(w.Flog.get()); }
    std::unique_ptr<sim::Simulator> simulator;
};

TEST_F(LiveWatchTest, RepeatsTheReadWaitsForACommandAndStopsAtAFailure) {
    EXPECT_EQ(extras.watchIntervalMs(), 5000) << "the default interval";
    w.settings.setInteger(insight::Extras::WatchSection, insight::Extras::WatchKey, 0);
    EXPECT_EQ(extras.watchIntervalMs(), 1000) << "at least a second";

    toggle().setChecked(true);
    // While another command runs the watch sends nothing and tries again.
    ui::RunCommand(w.Fmain.get(), [&] { watch().tick(); });
    EXPECT_TRUE(simulator->modbusFrames().isEmpty());
    watch().tick();
    const qsizetype oneRead = simulator->modbusFrames().size();
    EXPECT_GT(oneRead, 0);
    watch().tick();
    EXPECT_GT(simulator->modbusFrames().size(), oneRead);
    EXPECT_TRUE(watch().running());

    sim::Fault f;
    f.kind = sim::FaultKind::Exception;
    simulator->addFault(f);
    watch().tick();
    EXPECT_FALSE(watch().running()) << "the first failure ends the watch";
    EXPECT_FALSE(ui.messages.isEmpty()) << "with the read's own messages";
    EXPECT_FALSE(toggle().isEnabled()) << "the failure disconnected";
    const qsizetype sent = simulator->modbusFrames().size();
    watch().tick();
    EXPECT_EQ(simulator->modbusFrames().size(), sent);
}

TEST_F(LiveWatchTest, TheConfigurationWaitsWhileItsChangesAreOpen) {
    config::TFkonfig& k = *w.Fkonfig;
    insight::LiveWatch& watch = extras.watch(&k);
    extras.watchToggle(&k)->setChecked(true);
    watch.tick();
    ASSERT_GT(k.SG_konfig->rowCount(), 2);
    const QString paused = "Sledování pozastaveno: neuložené změny";
    const struct {
        int state;
        bool waits;
    } cases[] = {{config::Differs, true},     {config::Pending, true},
                 {config::Rejected, true},    {config::Accepted, false},
                 {config::IdMismatch, false}, {config::Unchanged, false}};
    for (const auto& c : cases) {
        k.SG_konfig->setInteger(config::StateColumn, 2, c.state);
        k.SG_konfig->setCell(config::PreviousColumn, 2, "7");
        simulator->clearRecords();
        watch.tick();
        EXPECT_EQ(simulator->modbusFrames().isEmpty(), c.waits) << c.state;
        EXPECT_EQ(k.statusPanel3->text(), c.waits ? paused : QString()) << c.state;
        EXPECT_EQ(k.SG_konfig->cell(config::PreviousColumn, 2), c.waits ? "7" : "") << c.state;
        EXPECT_TRUE(watch.running());
    }
    // A cancel settles the change set: the next tick reads.
    k.SG_konfig->setInteger(config::StateColumn, 1, config::Pending);
    watch.tick();
    EXPECT_EQ(k.statusPanel3->text(), paused);
    w.link.setLoginGranted(true);
    k.CancelChanges();
    simulator->clearRecords();
    watch.tick();
    EXPECT_FALSE(simulator->modbusFrames().isEmpty());
    EXPECT_EQ(k.statusPanel3->text(), "");
    EXPECT_TRUE(ui.messages.isEmpty()) << ui.messages.join(" | ").toStdString();
}

} // namespace
