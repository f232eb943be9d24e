#pragma once
#include "store/SnapshotFile.h"

#include <QString>
#include <functional>
#include <map>
#include <vector>

namespace zra::link {
class AlarmDescriptions;
class DeviceClient;
} // namespace zra::link

namespace zra::reads {

// What a view's read talks through.
struct ReadContext {
    link::DeviceClient& client;
    link::AlarmDescriptions& descriptions;
};

// Tables read in one round, by kind. One read may fill more than its own
// table: the system block's read gives the system table and the alarm table.
using ReadTables = std::map<store::ViewKind, store::SnapshotTable>;

// One table of the tool: everything that start-up, the snapshot commands,
// the extra menu items, the report, the trends and zra-cli need to know of
// it. The windows that show the documented tables claim their kinds (see
// ui::ViewWindow); a table no window claims gets a plain view window.
struct TableView {
    store::ViewKind kind;
    QString cliName;         // zra-cli's name of the view ("modules")
    QString windowCaption;   // the caption of the window that shows it
    QString snapshotCaption; // the window's caption after a load: this + the file name
    QString reportTitle;     // its section title in the commissioning report
    QString trendName;       // its name in the trends window's table list
    int reportPosition = 0;  // its place in the report (1 first)
    QString readAllStep;     // its step's name in "Načti vše"; empty: not read there
    int readAllPosition = 0; // its place in "Načti vše" (1 first)
    // The read into tables, the view's own one at least, each with its titles
    // as the window starts it. False when an exchange failed (the link and
    // the client have said why). A failed send (LinkError) and a decoder
    // fault (ReplyOverrun) are thrown.
    std::function<bool(ReadContext& context, ReadTables& into)> read;
};

// Every table, in zra-cli's "all" order: the built-in ones, then any added.
const std::vector<TableView>& TableViews();
// Adds a table to the run (a view without a documented window); its kind and
// name must be new. Start-up, snapshots, the extra items, the report, the
// trends and zra-cli then treat it as one of theirs.
void AddTableView(TableView view);
// Takes the added tables out again (tests).
void RemoveAddedTableViews();

const TableView* FindView(store::ViewKind kind);
// The window's caption after a snapshot of kind was loaded from file.
QString SnapshotCaption(store::ViewKind kind, const QString& file);
const TableView* FindView(const QString& cliName);
// The table's rows in report order, and in "Načti vše" order (those it reads).
std::vector<const TableView*> ReportOrder();
std::vector<const TableView*> ReadAllOrder();

// A table of one column with these row titles from row 1 on, as a window of
// one column per item starts; and one whose title row holds these titles,
// with rows - 1 rows below it.
store::SnapshotTable WithRowTitles(const QStringList& titles);
store::SnapshotTable WithColumnTitles(const QStringList& titles, int rows);

} // namespace zra::reads
