#include "reads/ViewTable.h"

#include "config/ConfigReads.h"
#include "link/DeviceClient.h"
#include "link/DeviceLink.h"
#include "link/Reporter.h"
#include "log/EventReads.h"
#include "main/SystemDecode.h"
#include "main/SystemReads.h"
#include "views/ModuleDecode.h"
#include "views/ViewReads.h"

#include <algorithm>

namespace zra::reads {

using store::SnapshotTable;
using store::SnapshotTableSink;
using store::ViewKind;

namespace {

// The system table and the alarm table from one read of the system block.
bool ReadMain(ReadContext& c, ReadTables& into) {
    SnapshotTable system =
        WithColumnTitles(main::SystemColumnTitles(), int(main::SystemRowTitles().size()) + 1);
    for (int r = 0; r < main::SystemRowTitles().size(); ++r)
        system.set(0, r + 1, main::SystemRowTitles()[r]);
    SnapshotTable alarms = WithColumnTitles(main::AlarmColumnTitles(), 1);
    SnapshotTableSink systemSink(system), alarmSink(alarms);
    if (!main::ReadSystemAndAlarms(c.client, c.descriptions, systemSink, alarmSink))
        return false;
    into[ViewKind::Main] = std::move(system);
    into[ViewKind::Alarm] = std::move(alarms);
    return true;
}

bool ReadModules(ReadContext& c, ReadTables& into) {
    SnapshotTable table = WithRowTitles(views::ModuleRowTitles());
    SnapshotTableSink sink(table);
    if (!views::ReadModules(c.client, sink))
        return false;
    into[ViewKind::Moduly] = std::move(table);
    return true;
}

std::function<bool(ReadContext&, ReadTables&)> GroupRead(ViewKind kind,
                                                         const views::GroupLayout& layout) {
    return [kind, &layout](ReadContext& c, ReadTables& into) {
        SnapshotTable table = WithRowTitles(layout.rowTitles());
        SnapshotTableSink sink(table);
        if (!views::ReadGroups(c.client, layout, sink))
            return false;
        into[kind] = std::move(table);
        return true;
    };
}

bool ReadLog(ReadContext& c, ReadTables& into) {
    SnapshotTable table = WithColumnTitles(log::EventColumnTitles(), 2);
    SnapshotTableSink sink(table);
    if (!log::ReadEvents(c.client, c.descriptions, log::MaxEvents, sink))
        return false;
    into[ViewKind::Log] = std::move(table);
    return true;
}

// The configuration window's read without its filter.
bool ReadConfig(ReadContext& c, ReadTables& into) {
    // Unsaved changes only warn, as in the window; a failed exchange ends the read.
    const auto warn = [](const QString& text) { link::Report().warning(text); };
    if (!config::ConfigSaved(c.client, warn) && c.client.link().exchangeFailed())
        return false;
    QList<QStringList> rows;
    const bool read = config::ReadVariables(
        c.client, [](int) { return true; }, [](int) {},
        [&](const config::ConfigVariable& variable) { rows << config::VariableRow(variable); });
    if (!read)
        return false;
    // Without any variable the window keeps one empty row below the titles.
    SnapshotTable table = WithColumnTitles(config::ConfigColumnTitles(),
                                           int(std::max<qsizetype>(rows.size(), 1)) + 1);
    for (int r = 0; r < rows.size(); ++r)
        for (int c = 0; c < config::ConfigColumns; ++c)
            table.set(c, r + 1, rows[r][c]);
    into[ViewKind::Konfig] = std::move(table);
    return true;
}

std::vector<TableView>& Table() {
    // kind, zra-cli, window caption, snapshot caption, report title, trend
    // name, report position, "Načti vše" step and position, read. The alarm
    // table comes with the system table's read.
    static std::vector<TableView> table = {
        {ViewKind::Main, QStringLiteral("main"), QStringLiteral("Nastevení ZRA"),
         QStringLiteral("Nastevení ZRA "), QStringLiteral("Systémové hodnoty"),
         QStringLiteral("Main"), 1, QStringLiteral("Main"), 1, &ReadMain},
        {ViewKind::Alarm,
         QStringLiteral("alarms"),
         QStringLiteral("Nastevení ZRA"),
         QStringLiteral("Nastevení ZRA "),
         QStringLiteral("Aktivní alarmy"),
         QStringLiteral("Alarmy"),
         2,
         {},
         0,
         &ReadMain},
        {ViewKind::Moduly, QStringLiteral("modules"), QStringLiteral("Moduly"),
         QStringLiteral("Moduly "), QStringLiteral("Moduly"), QStringLiteral("Moduly"), 3,
         QStringLiteral("Moduly"), 2, &ReadModules},
        {ViewKind::Faze, QStringLiteral("phases"), QStringLiteral("Fáze"), QStringLiteral("Fáze "),
         QStringLiteral("Fáze"), QStringLiteral("Fáze"), 4, QStringLiteral("Fáze"), 4,
         GroupRead(ViewKind::Faze, views::PhaseLayout)},
        {ViewKind::AcGroup, QStringLiteral("ac"), QStringLiteral("AC group"),
         QStringLiteral("AC group "), QStringLiteral("AC skupiny"), QStringLiteral("AC group"), 5,
         QStringLiteral("AC Group"), 5, GroupRead(ViewKind::AcGroup, views::AcGroupLayout)},
        {ViewKind::DcGroup, QStringLiteral("dc"), QStringLiteral("DC group"),
         QStringLiteral("DC group "), QStringLiteral("DC skupiny"), QStringLiteral("DC group"), 6,
         QStringLiteral("DC Group"), 6, GroupRead(ViewKind::DcGroup, views::DcGroupLayout)},
        {ViewKind::Log,
         QStringLiteral("log"),
         QStringLiteral("Event log"),
         QStringLiteral("Event log "),
         QStringLiteral("Event log"),
         QStringLiteral("Event log"),
         8,
         {},
         0,
         &ReadLog},
        {ViewKind::Konfig, QStringLiteral("config"), QStringLiteral("Konfigurace"),
         QStringLiteral("Konfigurace "), QStringLiteral("Konfigurace"),
         QStringLiteral("Konfigurace"), 7, QStringLiteral("Konfigurace"), 3, &ReadConfig},
    };
    return table;
}

constexpr std::size_t BuiltInViews = 8;

std::vector<const TableView*> SortedBy(int TableView::*position) {
    std::vector<const TableView*> rows;
    for (const TableView& v : Table())
        if (v.*position > 0)
            rows.push_back(&v);
    std::stable_sort(rows.begin(), rows.end(), [position](const TableView* a, const TableView* b) {
        return a->*position < b->*position;
    });
    return rows;
}

} // namespace

const std::vector<TableView>& TableViews() {
    return Table();
}

void AddTableView(TableView view) {
    store::AllowViewKind(view.kind);
    Table().push_back(std::move(view));
}

void RemoveAddedTableViews() {
    auto& table = Table();
    for (std::size_t n = BuiltInViews; n < table.size(); ++n)
        store::AllowViewKind(table[n].kind, false);
    table.resize(BuiltInViews);
}

const TableView* FindView(ViewKind kind) {
    for (const TableView& v : Table())
        if (v.kind == kind)
            return &v;
    return nullptr;
}

const TableView* FindView(const QString& cliName) {
    for (const TableView& v : Table())
        if (v.cliName == cliName)
            return &v;
    return nullptr;
}

std::vector<const TableView*> ReportOrder() {
    return SortedBy(&TableView::reportPosition);
}

std::vector<const TableView*> ReadAllOrder() {
    return SortedBy(&TableView::readAllPosition);
}

QString SnapshotCaption(ViewKind kind, const QString& file) {
    const TableView* view = FindView(kind);
    return view ? view->snapshotCaption + file : file;
}

SnapshotTable WithRowTitles(const QStringList& titles) {
    SnapshotTable table(1, int(titles.size()) + 1);
    for (int r = 0; r < titles.size(); ++r)
        table.set(0, r + 1, titles[r]);
    return table;
}

SnapshotTable WithColumnTitles(const QStringList& titles, int rows) {
    SnapshotTable table(int(titles.size()), rows);
    for (int c = 0; c < titles.size(); ++c)
        table.set(c, 0, titles[c]);
    return table;
}

} // namespace zra::reads
