#include "cli/ViewReads.h"

#include "config/ConfigReads.h"
#include "link/DeviceClient.h"
#include "link/DeviceLink.h"
#include "log/EventReads.h"
#include "main/SystemDecode.h"
#include "main/SystemReads.h"
#include "views/ModuleDecode.h"
#include "views/ViewReads.h"

#include <algorithm>

namespace zra::cli {

namespace {

struct Named {
    View view;
    const char* name;
    store::ViewKind kind;
};
constexpr Named Names[] = {
    {View::Main, "main", store::ViewKind::Main},
    {View::Alarms, "alarms", store::ViewKind::Alarm},
    {View::Modules, "modules", store::ViewKind::Moduly},
    {View::Phases, "phases", store::ViewKind::Faze},
    {View::Ac, "ac", store::ViewKind::AcGroup},
    {View::Dc, "dc", store::ViewKind::DcGroup},
    {View::Log, "log", store::ViewKind::Log},
    {View::Config, "config", store::ViewKind::Konfig},
};

const Named& named(View view) {
    return *std::find_if(std::begin(Names), std::end(Names),
                         [view](const Named& n) { return n.view == view; });
}

// A table of one column with these row titles from row 1 on, as a window of
// one column per item starts.
store::SnapshotTable WithRowTitles(const QStringList& titles) {
    store::SnapshotTable table(1, int(titles.size()) + 1);
    for (int r = 0; r < titles.size(); ++r)
        table.set(0, r + 1, titles[r]);
    return table;
}

// A table whose title row holds these titles, with rows - 1 rows below it.
store::SnapshotTable WithColumnTitles(const QStringList& titles, int rows) {
    store::SnapshotTable table(int(titles.size()), rows);
    for (int c = 0; c < titles.size(); ++c)
        table.set(c, 0, titles[c]);
    return table;
}

std::optional<store::SnapshotTable> readModules(link::DeviceClient& client) {
    store::SnapshotTable table = WithRowTitles(views::ModuleRowTitles());
    store::SnapshotTableSink sink(table);
    if (!views::ReadModules(client, sink))
        return std::nullopt;
    return table;
}

std::optional<store::SnapshotTable> readGroups(link::DeviceClient& client,
                                               const views::GroupLayout& layout) {
    store::SnapshotTable table = WithRowTitles(layout.rowTitles());
    store::SnapshotTableSink sink(table);
    if (!views::ReadGroups(client, layout, sink))
        return std::nullopt;
    return table;
}

std::optional<store::SnapshotTable> readLog(link::DeviceClient& client,
                                            link::AlarmDescriptions& descriptions) {
    store::SnapshotTable table = WithColumnTitles(log::EventColumnTitles(), 2);
    store::SnapshotTableSink sink(table);
    if (!log::ReadEvents(client, descriptions, log::MaxEvents, sink))
        return std::nullopt;
    return table;
}

// The configuration window's read without its filter.
std::optional<store::SnapshotTable> readConfig(link::DeviceClient& client) {
    // Unsaved changes only warn, as in the window; a failed exchange ends the read.
    if (!config::ConfigSaved(client, nullptr) && client.link().exchangeFailed())
        return std::nullopt;
    QList<QStringList> rows;
    const bool read = config::ReadVariables(
        client, [](int) { return true; }, [](int) {},
        [&](const config::ConfigVariable& variable) { rows << config::VariableRow(variable); });
    if (!read)
        return std::nullopt;
    // Without any variable the window keeps one empty row below the titles.
    store::SnapshotTable table = WithColumnTitles(config::ConfigColumnTitles(),
                                                  int(std::max<qsizetype>(rows.size(), 1)) + 1);
    for (int r = 0; r < rows.size(); ++r)
        for (int c = 0; c < config::ConfigColumns; ++c)
            table.set(c, r + 1, rows[r][c]);
    return table;
}

// The system table and the alarm table from one read of the system block.
struct MainTables {
    store::SnapshotTable main;
    store::SnapshotTable alarms;
};

// The main window's read.
std::optional<MainTables> readMainTables(link::DeviceClient& client,
                                         link::AlarmDescriptions& descriptions) {
    MainTables tables;
    tables.main =
        WithColumnTitles(main::SystemColumnTitles(), int(main::SystemRowTitles().size()) + 1);
    for (int r = 0; r < main::SystemRowTitles().size(); ++r)
        tables.main.set(0, r + 1, main::SystemRowTitles()[r]);
    tables.alarms = WithColumnTitles(main::AlarmColumnTitles(), 1);
    store::SnapshotTableSink system(tables.main), alarms(tables.alarms);
    if (!main::ReadSystemAndAlarms(client, descriptions, system, alarms))
        return std::nullopt;
    return tables;
}

// Any view but main and alarms.
std::optional<store::SnapshotTable> readView(link::DeviceClient& client,
                                             link::AlarmDescriptions& descriptions, View view) {
    switch (view) {
    case View::Modules:
        return readModules(client);
    case View::Phases:
        return readGroups(client, views::PhaseLayout);
    case View::Ac:
        return readGroups(client, views::AcGroupLayout);
    case View::Dc:
        return readGroups(client, views::DcGroupLayout);
    case View::Log:
        return readLog(client, descriptions);
    case View::Config:
        return readConfig(client);
    case View::Main:
    case View::Alarms:
        break;
    }
    return std::nullopt;
}

} // namespace

QString ViewName(View view) {
    return QString::fromLatin1(named(view).name);
}

std::optional<View> ViewOfName(const QString& name) {
    for (const Named& n : Names)
        if (name == QLatin1String(n.name))
            return n.view;
    return std::nullopt;
}

store::ViewKind KindOf(View view) {
    return named(view).kind;
}

std::optional<QList<ViewTable>> ReadViews(link::DeviceClient& client,
                                          link::AlarmDescriptions& descriptions,
                                          const QList<View>& views) {
    QList<ViewTable> out;
    std::optional<MainTables> mainTables;
    for (const View view : views) {
        if (view == View::Main || view == View::Alarms) {
            // The alarm count is a byte of the system block: one read serves both.
            if (!mainTables && !(mainTables = readMainTables(client, descriptions)))
                return std::nullopt;
            out.append({view, view == View::Main ? mainTables->main : mainTables->alarms});
            continue;
        }
        auto table = readView(client, descriptions, view);
        if (!table)
            return std::nullopt;
        out.append({view, std::move(*table)});
    }
    return out;
}

} // namespace zra::cli
