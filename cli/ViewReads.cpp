#include "cli/ViewReads.h"

#include "config/ConfigDecode.h"
#include "link/AlarmTexts.h"
#include "link/DeviceClient.h"
#include "link/DeviceLink.h"
#include "link/RegisterMap.h"
#include "log/EventDecode.h"
#include "main/SystemDecode.h"
#include "ui/TextGrid.h"
#include "ui/UiServices.h"
#include "views/GroupDecode.h"
#include "views/ModuleDecode.h"

#include <algorithm>

namespace zra::cli {

namespace {

// The event log window reads at most this many events (its "Kolik" field at
// its highest, where it starts).
constexpr int MaxEvents = 300;

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

// A table of columns x rows with the titles of column 0 from row 1 on.
store::SnapshotTable WithRowTitles(int columns, const QStringList& titles) {
    store::SnapshotTable table(columns, int(titles.size()) + 1);
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

// ---- the modules window ----

std::optional<store::SnapshotTable> readModules(link::DeviceClient& client) {
    const auto count = client.readCount(reg::ModuleCount);
    if (!count)
        return std::nullopt;
    store::SnapshotTable table = WithRowTitles(*count + 1, views::ModuleRowTitles());
    for (int n = 1; n <= *count; ++n) {
        table.set(n, 0, QStringLiteral("Modul %1").arg(n));
        const auto record =
            client.readInput(reg::ModuleStatusRecord.address(n), reg::ModuleStatusRecord.size);
        if (!record)
            return std::nullopt;
        const QStringList values = views::ModuleStatusValues(*record);
        for (int r = 0; r < values.size(); ++r)
            table.set(n, r + 1, values[r]);
    }
    return table;
}

// ---- the phases, AC group and DC group windows: no column titles ----

struct Group {
    reg::CountByte count;
    reg::RecordBlock block;
    const QStringList& (*rowTitles)();
    std::vector<views::CellValue> (*decode)(const link::RegisterData&);
    int decimals; // of the tenths values, as each window shows them
};
const Group Phases{reg::PhaseCount, reg::PhaseStatusRecord, &views::PhaseRowTitles,
                   &views::PhaseStatusValues, 1};
const Group AcGroups{reg::AcGroupCount, reg::AcGroupStatusRecord, &views::AcGroupRowTitles,
                     &views::AcGroupStatusValues, 2};
const Group DcGroups{reg::DcGroupCount, reg::DcGroupStatusRecord, &views::DcGroupRowTitles,
                     &views::DcGroupStatusValues, 2};

std::optional<store::SnapshotTable> readGroup(link::DeviceClient& client, const Group& group) {
    const auto count = client.readCount(group.count);
    if (!count)
        return std::nullopt;
    store::SnapshotTable table = WithRowTitles(*count + 1, group.rowTitles());
    for (int n = 1; n <= *count; ++n) {
        const auto data = client.readInput(group.block.address(n), group.block.size);
        if (!data)
            return std::nullopt;
        const std::vector<views::CellValue> values = group.decode(*data);
        for (int r = 0; r < int(values.size()); ++r) {
            if (const auto* integer = std::get_if<qint64>(&values[r]))
                table.set(n, r + 1, QString::number(*integer));
            else
                table.set(n, r + 1, ui::DecimalText(std::get<double>(values[r]), group.decimals));
        }
    }
    return table;
}

// ---- the event log window ----

std::optional<store::SnapshotTable> readLog(link::DeviceClient& client,
                                            link::AlarmDescriptions& descriptions) {
    const auto count = client.readCount(reg::EventCount);
    if (!count)
        return std::nullopt;
    const int n = std::min(*count, MaxEvents);
    store::SnapshotTable table =
        WithColumnTitles({QStringLiteral("#"), QStringLiteral("Dev"), QStringLiteral("Typ"),
                          QStringLiteral("Událost"), QStringLiteral("Datum a čas")},
                         n + 1);
    for (int i = 1; i <= n; ++i) {
        table.set(0, i, QString::number(i));
        const auto record = client.readInput(reg::EventRecord.address(i), reg::EventRecord.size);
        if (!record)
            return std::nullopt;
        const log::EventRow row = log::DecodeEvent(*record);
        table.set(1, i, row.source);
        table.set(2, i, row.level);
        table.set(4, i, row.time);
        const auto description = descriptions.describeAlarm(row.code);
        if (!description)
            return std::nullopt;
        table.set(3, i, link::AlarmCellText(row.code, *description));
    }
    return table;
}

// ---- the configuration window, without its filter ----

std::optional<store::SnapshotTable> readConfig(link::DeviceClient& client) {
    // Unsaved changes only warn, as in the window; a failed exchange ends the read.
    const auto control = client.readHolding(reg::ConfigControlRegister, 1);
    if (!control)
        return std::nullopt;
    if (control->byte(0) != reg::ConfigSaved)
        ui::ShowWarning(nullptr, QStringLiteral("Konfig byl změněn, ale změny nebyly uloženy. "
                                                "Proveďte <Zruš změny> nebo <Prověď změny>, jinak "
                                                "výpis nemusí být pravdivý"));
    const QStringList titles = {
        QStringLiteral("#"),          QStringLiteral("Popis"), QStringLiteral("Hodnota"),
        QStringLiteral("Platnost"),   QStringLiteral("ID"),    QStringLiteral("Jednotka"),
        QStringLiteral("P. hodnota"), QStringLiteral("stav"),  QString(),
        QStringLiteral("desm")};
    QList<QStringList> rows;
    bool skipNext = false;
    for (int n = 1; n <= reg::ConfigVariables; ++n) {
        if (skipNext) {
            skipNext = false;
            emit client.link().trace(QStringLiteral("Vynechat %1").arg(n));
            continue;
        }
        // 21 registers: the last is the first of the next variable's record,
        // which tells whether that one exists.
        const int quantity = reg::ConfigVariableRecord.size + (n < reg::ConfigVariables ? 1 : 0);
        const auto data =
            client.readInput(reg::ConfigVariableRecord.address(n), std::uint16_t(quantity));
        if (!data)
            return std::nullopt;
        if (n < reg::ConfigVariables && config::AnnouncesAbsentNext(*data))
            skipNext = true;
        if (const auto variable = config::DecodeVariable(n, *data))
            rows << config::VariableRow(*variable);
    }
    // Without any variable the window keeps one empty row below the titles.
    store::SnapshotTable table =
        WithColumnTitles(titles, int(std::max<qsizetype>(rows.size(), 1)) + 1);
    for (int r = 0; r < rows.size(); ++r)
        for (int c = 0; c < config::ConfigColumns; ++c)
            table.set(c, r + 1, rows[r][c]);
    return table;
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

// The main window's read: system table and alarm table.
std::optional<MainTables> ReadMainTables(link::DeviceClient& client,
                                         link::AlarmDescriptions& descriptions) {
    const auto system = client.readInput(reg::SystemBlockAddress, reg::SystemBlockRegisters);
    if (!system)
        return std::nullopt;
    MainTables tables;
    tables.main = WithRowTitles(2, main::SystemRowTitles());
    tables.main.set(0, 0, QStringLiteral("Popis"));
    tables.main.set(1, 0, QStringLiteral("Hodnota"));
    const QStringList values = main::SystemBlockValues(*system);
    for (int r = 0; r < values.size(); ++r)
        tables.main.set(1, r + 1, values[r]);

    const int alarms = main::AlarmCount(*system);
    tables.alarms = WithColumnTitles({QStringLiteral("#"), QStringLiteral("Dev"),
                                      QStringLiteral("Typ"), QStringLiteral("Alarm")},
                                     alarms + 1);
    for (int n = 1; n <= alarms; ++n) {
        tables.alarms.set(0, n, QString::number(n));
        const auto entry = client.readInput(reg::AlarmEntryAddress(n), reg::AlarmEntryRegisters);
        if (!entry)
            return std::nullopt;
        const int code = entry->u16(2);
        tables.alarms.set(1, n, link::AlarmSourceText(entry->byte(0)));
        tables.alarms.set(2, n, link::AlarmLevelText(entry->byte(1)));
        const auto description = descriptions.describeAlarm(code);
        if (!description)
            return std::nullopt;
        tables.alarms.set(3, n, link::AlarmCellText(code, *description));
    }
    return tables;
}

std::optional<store::SnapshotTable> ReadView(link::DeviceClient& client,
                                             link::AlarmDescriptions& descriptions, View view) {
    switch (view) {
    case View::Main:
    case View::Alarms: {
        const auto tables = ReadMainTables(client, descriptions);
        if (!tables)
            return std::nullopt;
        return view == View::Main ? tables->main : tables->alarms;
    }
    case View::Modules:
        return readModules(client);
    case View::Phases:
        return readGroup(client, Phases);
    case View::Ac:
        return readGroup(client, AcGroups);
    case View::Dc:
        return readGroup(client, DcGroups);
    case View::Log:
        return readLog(client, descriptions);
    case View::Config:
        return readConfig(client);
    }
    return std::nullopt;
}

std::optional<QList<ViewTable>> ReadViews(link::DeviceClient& client,
                                          link::AlarmDescriptions& descriptions,
                                          const QList<View>& views) {
    QList<ViewTable> out;
    std::optional<MainTables> mainTables;
    for (const View view : views) {
        if (view == View::Main || view == View::Alarms) {
            // The alarm count is a byte of the system block: one read serves both.
            if (!mainTables && !(mainTables = ReadMainTables(client, descriptions)))
                return std::nullopt;
            out.append({view, view == View::Main ? mainTables->main : mainTables->alarms});
            continue;
        }
        auto table = ReadView(client, descriptions, view);
        if (!table)
            return std::nullopt;
        out.append({view, std::move(*table)});
    }
    return out;
}

} // namespace zra::cli
