// The table of views: every table has one row, and a table added through it
// reaches the menu, the snapshots, the CSV export, the report and zra-cli
// without a line elsewhere.
#include "reads/ViewTable.h"
#include "app/Startup.h"
#include "cli/CommandLine.h"
#include "cli/ViewReads.h"
#include "insight/Extras.h"
#include "link/DeviceClient.h"
#include "link/RegisterMap.h"
#include "main/TFmain.h"
#include "report/CommissioningReport.h"
#include "store/CsvExport.h"
#include "tests/support/SimFixture.h"
#include "ui/TextGrid.h"
#include "ui/ViewWindow.h"

#include <QAction>
#include <QFile>
#include <QMenu>
#include <QTemporaryDir>
#include <QToolButton>
#include <set>

using namespace zra;
using namespace zra::test;
using store::ViewKind;

namespace {

TEST(ViewTable, EveryTableHasOneRowWithItsOwnNames) {
    std::set<int> kinds;
    std::set<QString> names;
    for (const reads::TableView& v : reads::TableViews()) {
        EXPECT_TRUE(kinds.insert(int(v.kind)).second) << int(v.kind);
        EXPECT_TRUE(names.insert(v.cliName).second) << v.cliName.toStdString();
        EXPECT_TRUE(v.read) << v.cliName.toStdString();
    }
    EXPECT_EQ(kinds, (std::set<int>{1, 2, 3, 4, 5, 6, 7, 8}));
    const QString path = QStringLiteral("/tmp/a.ZRD");
    EXPECT_EQ(reads::SnapshotCaption(ViewKind::Faze, path), "Fáze " + path);
    EXPECT_EQ(reads::SnapshotCaption(ViewKind::Alarm, path), "Nastevení ZRA " + path);
    QStringList reportTitles, steps;
    for (const reads::TableView* v : reads::ReportOrder())
        reportTitles << v->reportTitle;
    for (const reads::TableView* v : reads::ReadAllOrder())
        steps << v->readAllStep;
    EXPECT_EQ(reportTitles, (QStringList{"Systémové hodnoty", "Aktivní alarmy", "Moduly", "Fáze",
                                         "AC skupiny", "DC skupiny", "Konfigurace", "Event log"}));
    EXPECT_EQ(steps,
              (QStringList{"Main", "Moduly", "Konfigurace", "Fáze", "AC Group", "DC Group"}));
}

// A table that only this test knows: the first two bytes of the system block.
constexpr auto ProbeKind = ViewKind(42);

reads::TableView ProbeView() {
    reads::TableView v;
    v.kind = ProbeKind;
    v.cliName = QStringLiteral("probe");
    v.windowCaption = QStringLiteral("Sonda");
    v.snapshotCaption = QStringLiteral("Sonda ");
    v.reportTitle = QStringLiteral("Sonda");
    v.trendName = QStringLiteral("Sonda");
    v.reportPosition = 9;
    v.read = [](reads::ReadContext& c, reads::ReadTables& into) {
        const auto data = c.client.readInput(reg::SystemBlockAddress, 1);
        if (!data)
            return false;
        store::SnapshotTable t =
            reads::WithColumnTitles({QStringLiteral("Bajt"), QStringLiteral("Hodnota")}, 3);
        for (int b = 0; b < 2; ++b) {
            t.set(0, b + 1, QString::number(b));
            t.set(1, b + 1, QString::number(data->byte(b)));
        }
        into[ProbeKind] = t;
        return true;
    };
    return v;
}

class AddedView : public ::testing::Test {
protected:
    AddedView() { reads::AddTableView(ProbeView()); }
    ~AddedView() override { reads::RemoveAddedTableViews(); }
    QString file(const char* name) const { return dir.filePath(QString::fromLatin1(name)); }

    RecordingUi ui;
    QTemporaryDir dir;
    std::unique_ptr<sim::Simulator> simulator = StartSimulator();
};

TEST_F(AddedView, ReachesTheMenuSnapshotsCsvReportAndZraCli) {
    app::Windows w;
    insight::Extras extras(w);
    w.link.setAddress(simulator->address());
    w.link.ConnectCommand();
    ASSERT_TRUE(w.link.connectedState());

    // Its "Zobraz" item comes after the documented ones and shows its window.
    QAction* item = w.Fmain->zobrazButton->menu()->actions().back();
    EXPECT_EQ(item->text(), "Sonda");
    item->trigger();
    ui::ViewWindow* window = w.viewWindow(ProbeKind);
    EXPECT_TRUE(window->isVisible());
    EXPECT_EQ(window->windowTitle(), "Sonda");

    // "Načti" fills its grid from the installation.
    window->TBXnacti->trigger();
    ui::TextGrid& grid = *window->grid(ProbeKind);
    ASSERT_EQ(grid.rowCount(), 3);
    EXPECT_EQ(grid.cell(1, 0), "Hodnota");
    const QString value = grid.cell(1, 2);
    EXPECT_FALSE(value.isEmpty());

    // "Ulož" and "Otevři": its records come back into its window.
    const QString snapshots = file("sonda.ZRD");
    ui.answerNextFileName(snapshots);
    window->TBXuloz->trigger();
    grid.setCell(1, 2, QStringLiteral("x"));
    ui.answerNextFileName(snapshots);
    window->TBXotevri->trigger();
    EXPECT_EQ(grid.cell(1, 2), value);
    EXPECT_EQ(window->windowTitle(), "Sonda " + snapshots);
    EXPECT_TRUE(ui.messages.isEmpty()) << ui.messages.join(" | ").toStdString();

    // Its "Soubor" menu has the extra items; the CSV export writes its rows.
    EXPECT_FALSE(extras.menuItems(ProbeKind).isEmpty());
    const QString csv = file("sonda.csv");
    ui.answerNextFileName(csv);
    extras.exportCsv(ProbeKind);
    QFile written(csv);
    ASSERT_TRUE(written.open(QIODevice::ReadOnly));
    EXPECT_EQ(written.readAll(),
              store::RowsCsv({{"Bajt", "Hodnota"}, {"0", grid.cell(1, 1)}, {"1", value}}));

    // The report has its section, with its title.
    EXPECT_EQ(report::SectionTitle(ProbeKind), "Sonda");

    // zra-cli names it, reads it as the window shows it and lists it in its help.
    cli::CommandLine line;
    QString error;
    ASSERT_TRUE(cli::ParseCommandLine(
        {"zra-cli", "--address", simulator->address(), "read", "probe"}, &line, &error))
        << error.toStdString();
    EXPECT_EQ(line.views, QList<ViewKind>{ProbeKind});
    const auto tables = cli::ReadViews(w.client, w.descriptions, line.views);
    ASSERT_TRUE(tables);
    EXPECT_EQ(tables->front().table, ui::TableOfGrid(grid));
    EXPECT_FALSE(
        cli::ParseCommandLine({"zra-cli", "--address", "127.0.0.1", "read", "x"}, &line, &error));
    EXPECT_TRUE(error.contains("config, probe, all")) << error.toStdString();
}

} // namespace
