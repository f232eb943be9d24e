#include "export/Metrics.h"

#include "text/CellText.h"

#include <QHash>
#include <charconv>
#include <cmath>

namespace zra::exporter {

using store::ViewKind;

namespace {

// How a cell's number becomes the metric's base unit: as it stands (the
// decoders already divided the tenths), a percent as a ratio, Kelvin as
// degrees Celsius.
enum class Scale { Plain, Percent, Kelvin };

struct RowMetric {
    ViewKind view;
    const char* rowTitle; // as the view's read writes it in column 0
    const char* name;
    const char* help;
    Scale scale = Scale::Plain;
    MetricType type = MetricType::Gauge;
};

constexpr auto P = Scale::Percent;
constexpr auto K = Scale::Kelvin;
constexpr auto Counter = MetricType::Counter;
constexpr auto Gauge = MetricType::Gauge;

// Every table row that becomes a metric. The system table holds one value
// per row (column 1); the modules, phases and group tables one column per
// item, labelled module, phase or group by its column.
const RowMetric RowMetrics[] = {
    {ViewKind::Main, "Počet fází", "zra_phases", "Number of output phases."},
    {ViewKind::Main, "Major alarm relé", "zra_major_alarm_relay",
     "State of the major alarm relay."},
    {ViewKind::Main, "Minor alarm relé", "zra_minor_alarm_relay",
     "State of the minor alarm relay."},
    {ViewKind::Main, "Počet majoritních alarmů", "zra_major_alarms",
     "Number of active major alarms."},
    {ViewKind::Main, "Počet minoritních alarmů", "zra_minor_alarms",
     "Number of active minor alarms."},
    {ViewKind::Main, "Celkový počet alarmů", "zra_alarms", "Number of active alarms."},
    {ViewKind::Main, "AC flag", "zra_ac_flag", "AC flag of the system block."},
    {ViewKind::Main, "Mez alarmu saturace[%]", "zra_saturation_alarm_limit_ratio",
     "Output load at which the saturation alarm is raised.", P},
    {ViewKind::Main, "Počet DC skupin", "zra_dc_groups", "Number of DC input groups."},
    {ViewKind::Main, "Počet AC skupin", "zra_ac_groups", "Number of AC input groups."},
    {ViewKind::Main, "Alarm relé", "zra_alarm_relay", "State of the alarm relay."},
    {ViewKind::Main, "System load pos.", "zra_system_load_position",
     "Position of the system load regarding the input power sources."},
    {ViewKind::Main, "Vers. num. ZRA conf.", "zra_configuration_version",
     "Version number of the configuration."},
    {ViewKind::Main, "Vers. num. ZRA event.", "zra_event_version",
     "Version number of the event log."},
    {ViewKind::Main, "ModConf.", "zra_modules_configured", "Number of modules configured."},
    {ViewKind::Main, "ModSeen.", "zra_modules_seen", "Number of modules seen."},
    {ViewKind::Main, "Počet událostí v logu", "zra_log_events",
     "Number of records in the event log."},

    {ViewKind::Moduly, "Configured address", "zra_module_address",
     "Configured address of the module."},
    {ViewKind::Moduly, "Position of the load regarding input power sources",
     "zra_module_load_position",
     "Position of the module's load regarding the input power sources."},
    {ViewKind::Moduly, "Loading ratio regarding power in watts (%)", "zra_module_load_watts_ratio",
     "Loading of the module regarding its power in watts.", P},
    {ViewKind::Moduly, "Loading ratio regarding power in VA (%)",
     "zra_module_load_voltamperes_ratio", "Loading of the module regarding its apparent power.", P},
    {ViewKind::Moduly, "Phase number", "zra_module_phase_number", "Output phase the module feeds."},
    {ViewKind::Moduly, "Output voltage value (0.1V)", "zra_module_output_volts", "Output voltage."},
    {ViewKind::Moduly, "Output current value (0.1A)", "zra_module_output_amperes",
     "Output current."},
    {ViewKind::Moduly, "Output power value (W)", "zra_module_output_watts", "Output active power."},
    {ViewKind::Moduly, "Output power value (VA)", "zra_module_output_voltamperes",
     "Output apparent power."},
    {ViewKind::Moduly, "AC input voltage value (0.1V)", "zra_module_ac_input_volts",
     "AC input voltage."},
    {ViewKind::Moduly, "AC input current value (0.1A)", "zra_module_ac_input_amperes",
     "AC input current."},
    {ViewKind::Moduly, "AC input power value (W)", "zra_module_ac_input_watts",
     "AC input active power."},
    {ViewKind::Moduly, "AC input power value (VA)", "zra_module_ac_input_voltamperes",
     "AC input apparent power."},
    {ViewKind::Moduly, "AC input frequency value (0.1Hz)", "zra_module_ac_input_hertz",
     "AC input frequency."},
    {ViewKind::Moduly, "DC input voltage value (0.1V)", "zra_module_dc_input_volts",
     "DC input voltage."},
    {ViewKind::Moduly, "DC input current value (0.1A)", "zra_module_dc_input_amperes",
     "DC input current."},
    {ViewKind::Moduly, "DC input power value (W)", "zra_module_dc_input_watts", "DC input power."},
    {ViewKind::Moduly, "Temperature value (K)", "zra_module_temperature_celsius",
     "Temperature of the module.", K},
    {ViewKind::Moduly, "Bus error counter", "zra_module_bus_errors_total",
     "Bus errors the module counted.", Scale::Plain, Counter},
    {ViewKind::Moduly, "Status mod.", "zra_module_state", "State code of the module."},
    {ViewKind::Moduly, "Status AC", "zra_module_ac_state", "State code of the module's AC part."},
    {ViewKind::Moduly, "Status DC", "zra_module_dc_state", "State code of the module's DC part."},
    {ViewKind::Moduly, "Present", "zra_module_present", "Whether the module is present."},
    {ViewKind::Moduly, "AC input group number", "zra_module_ac_group_number",
     "AC input group of the module."},
    {ViewKind::Moduly, "DC input group number", "zra_module_dc_group_number",
     "DC input group of the module."},
    {ViewKind::Moduly, "Restrained", "zra_module_restrained", "Whether the module is restrained."},
    {ViewKind::Moduly, "module has an AC input (EPC)", "zra_module_has_ac_input",
     "Whether the module has an AC input."},
    {ViewKind::Moduly, "Nominal output power (W)", "zra_module_nominal_output_watts",
     "Nominal output active power."},
    {ViewKind::Moduly, "Nominal output power (VA)", "zra_module_nominal_output_voltamperes",
     "Nominal output apparent power."},
    {ViewKind::Moduly, "Nominal AC input voltage (0.1V)", "zra_module_nominal_ac_input_volts",
     "Nominal AC input voltage."},
    {ViewKind::Moduly, "Nominal DC input voltage (0.1V)", "zra_module_nominal_dc_input_volts",
     "Nominal DC input voltage."},
    {ViewKind::Moduly, "Nominal AC frequency (0.1Hz)", "zra_module_nominal_ac_hertz",
     "Nominal AC frequency."},

    {ViewKind::Faze, "Ratio between output load and available power in watts (%)",
     "zra_phase_load_available_watts_ratio", "Output load against the available active power.", P},
    {ViewKind::Faze, "Ratio between output load and available power in VA (%)",
     "zra_phase_load_available_voltamperes_ratio",
     "Output load against the available apparent power.", P},
    {ViewKind::Faze, "Ratio between output load and installed power  in watts (%)",
     "zra_phase_load_installed_watts_ratio", "Output load against the installed active power.", P},
    {ViewKind::Faze, "Ratio between output load and installed power in VA (%)",
     "zra_phase_load_installed_voltamperes_ratio",
     "Output load against the installed apparent power.", P},
    {ViewKind::Faze, "Output voltage value (0.1V)", "zra_phase_output_volts", "Output voltage."},
    {ViewKind::Faze, "Output current value (0.1A)", "zra_phase_output_amperes", "Output current."},
    {ViewKind::Faze, "Number of modules configured in the phase", "zra_phase_modules_configured",
     "Modules configured in the phase."},
    {ViewKind::Faze, "Amount of redundancy configured in the phase", "zra_phase_redundancy_modules",
     "Redundancy configured in the phase, in modules."},
    {ViewKind::Faze, "AC output frequency value (0.1Hz)", "zra_phase_output_hertz",
     "Output frequency."},
    {ViewKind::Faze, "DC input power value (W)", "zra_phase_dc_input_watts", "DC input power."},
    {ViewKind::Faze, "AC input power value (W)", "zra_phase_ac_input_watts",
     "AC input active power."},
    {ViewKind::Faze, "AC input power value (VA)", "zra_phase_ac_input_voltamperes",
     "AC input apparent power."},
    {ViewKind::Faze, "Output power value (VA)", "zra_phase_output_voltamperes",
     "Output apparent power."},
    {ViewKind::Faze, "Output power value (W)", "zra_phase_output_watts", "Output active power."},
    {ViewKind::Faze, "Installed power value (W)", "zra_phase_installed_watts",
     "Installed active power."},
    {ViewKind::Faze, "Installed power value (VA)", "zra_phase_installed_voltamperes",
     "Installed apparent power."},
    {ViewKind::Faze, "Available power value (W)", "zra_phase_available_watts",
     "Available active power."},
    {ViewKind::Faze, "Available power value (VA)", "zra_phase_available_voltamperes",
     "Available apparent power."},
    {ViewKind::Faze, "Number of module seen by K3D in that phase", "zra_phase_modules_seen",
     "Modules of the phase seen by the controller."},
    {ViewKind::Faze, "Number of modules that are delivering output in the phase",
     "zra_phase_modules_delivering", "Modules of the phase delivering output."},
    {ViewKind::Faze, "Number of modules manually off in the phase", "zra_phase_modules_off",
     "Modules of the phase switched off by hand."},
    {ViewKind::Faze, "Number of modules that are not delivering output ",
     "zra_phase_modules_failed", "Modules of the phase not delivering output."},
    {ViewKind::Faze, "Number of modules not seen by K3D in the phase", "zra_phase_modules_unseen",
     "Modules of the phase not seen by the controller."},

    {ViewKind::AcGroup, "Number of modules that are delivering output in the group",
     "zra_ac_group_modules_delivering", "Modules of the AC input group delivering output."},
    {ViewKind::AcGroup, "Number of modules manually off in the group", "zra_ac_group_modules_off",
     "Modules of the AC input group switched off by hand."},
    {ViewKind::AcGroup,
     "Number of modules that are not delivering output due to a failure in the group",
     "zra_ac_group_modules_failed", "Modules of the AC input group failing to deliver output."},
    {ViewKind::AcGroup, "Number of module seen by K3D in that group", "zra_ac_group_modules_seen",
     "Modules of the AC input group seen by the controller."},
    {ViewKind::AcGroup, "AC input power value (W)", "zra_ac_group_input_watts",
     "AC input active power of the group."},
    {ViewKind::AcGroup, "AC input power value (VA)", "zra_ac_group_input_voltamperes",
     "AC input apparent power of the group."},
    {ViewKind::AcGroup, "AC input voltage value (0.1V)", "zra_ac_group_input_volts",
     "AC input voltage of the group."},
    {ViewKind::AcGroup, "AC input current value (0.1A)", "zra_ac_group_input_amperes",
     "AC input current of the group."},
    {ViewKind::AcGroup, "AC input frequency value (0.1Hz)", "zra_ac_group_input_hertz",
     "AC input frequency of the group."},
    {ViewKind::AcGroup, "Number of modules stating that their AC input stage is fully functional ",
     "zra_ac_group_modules_input_ok", "Modules of the group whose AC input stage works."},

    {ViewKind::DcGroup, "Number of modules that are delivering output in the group",
     "zra_dc_group_modules_delivering", "Modules of the DC input group delivering output."},
    {ViewKind::DcGroup, "Number of modules manually off in the group", "zra_dc_group_modules_off",
     "Modules of the DC input group switched off by hand."},
    {ViewKind::DcGroup,
     "Number of modules that are not delivering output due to a failure in the group",
     "zra_dc_group_modules_failed", "Modules of the DC input group failing to deliver output."},
    {ViewKind::DcGroup, "Number of module seen by K3D in that group", "zra_dc_group_modules_seen",
     "Modules of the DC input group seen by the controller."},
    {ViewKind::DcGroup, "DC input power value (W)", "zra_dc_group_input_watts",
     "DC input power of the group."},
    {ViewKind::DcGroup, "DC input voltage value (0.1V)", "zra_dc_group_input_volts",
     "DC input voltage of the group."},
    // The decoder's title says 0.1V; the row holds the group's current.
    {ViewKind::DcGroup, "DC input current value (0.1V)", "zra_dc_group_input_amperes",
     "DC input current of the group."},
    {ViewKind::DcGroup, "Number of modules stating that their DC input stage is fully functional ",
     "zra_dc_group_modules_input_ok", "Modules of the group whose DC input stage works."},
};

// The families that no table row gives: the round's own, then the texts.
const Family OwnFamilies[] = {
    {"zra_up", "Whether the last round read the installation (1) or failed (0).", Gauge},
    {"zra_last_read_timestamp_seconds", "When the last successful round ended, in Unix time.",
     Gauge},
    {"zra_read_duration_seconds", "How long the last round took.", Gauge},
    {"zra_read_failures_total", "Rounds that failed since the exporter started.", Counter},
    {"zra_installation_info", "Identity of the installation: serial number and software.", Gauge},
    {"zra_alarm_active", "An active alarm of the installation.", Gauge},
    {"zra_module_status_info", "Status texts of a module's AC output, AC input and DC input.",
     Gauge},
};
constexpr int OwnInfo = 4, OwnAlarm = 5, OwnModuleStatus = 6;

struct Catalog {
    std::vector<Family> families;
    QHash<QByteArray, int> index;
    // Per table, the row metrics it feeds with their family.
    std::vector<std::pair<const RowMetric*, int>> rows;
};

const Catalog& TheCatalog() {
    static const Catalog catalog = [] {
        Catalog c;
        for (const Family& f : OwnFamilies) {
            c.index.insert(f.name, int(c.families.size()));
            c.families.push_back(f);
        }
        for (const RowMetric& r : RowMetrics) {
            const int n = int(c.families.size());
            c.index.insert(r.name, n);
            c.families.push_back({r.name, r.help, r.type});
            c.rows.emplace_back(&r, n);
        }
        return c;
    }();
    return catalog;
}

double Scaled(double value, Scale scale) {
    switch (scale) {
    case Scale::Percent:
        return value / 100.0;
    case Scale::Kelvin:
        // Whole Kelvin from the installation: hundredths keep 273.15 exact.
        return std::round((value - 273.15) * 100.0) / 100.0;
    case Scale::Plain:
        break;
    }
    return value;
}

// The item label of a table of one column per item.
const char* ItemLabel(ViewKind view) {
    switch (view) {
    case ViewKind::Moduly:
        return "module";
    case ViewKind::Faze:
        return "phase";
    case ViewKind::AcGroup:
    case ViewKind::DcGroup:
        return "group";
    default:
        return nullptr;
    }
}

int RowOf(const store::SnapshotTable& table, const QString& title) {
    for (int r = 1; r < table.rows; ++r)
        if (table.at(0, r) == title)
            return r;
    return -1;
}

void AddRows(ViewKind view, const store::SnapshotTable& table, const Labels& base,
             FamilyLines& out) {
    const char* item = ItemLabel(view);
    for (const auto& [metric, family] : TheCatalog().rows) {
        if (metric->view != view)
            continue;
        const int row = RowOf(table, QString::fromUtf8(metric->rowTitle));
        if (row < 0)
            continue;
        // The system table's values stand in column 1; an item table has
        // one column per item from column 1 on.
        const int last = item ? table.columns - 1 : 1;
        for (int column = 1; column <= last; ++column) {
            const auto value = text::DecimalValue(table.at(column, row));
            if (!value)
                continue;
            Labels labels = base;
            if (item)
                labels.emplace_back(item, QString::number(column));
            out.add(family, labels, Scaled(*value, metric->scale));
        }
    }
}

void AddInfo(const store::SnapshotTable& system, const Labels& base, FamilyLines& out) {
    const auto at = [&](const char* title) {
        const int row = RowOf(system, QString::fromUtf8(title));
        return row < 0 ? QString() : system.at(1, row).trimmed();
    };
    Labels labels = base;
    labels.emplace_back("serial_number", at("Sériové číslo"));
    labels.emplace_back("software", at("Main rev. SW") + QLatin1Char('.') + at("Sub rev. SW"));
    out.add(OwnInfo, labels, 1);
}

void AddModuleStatus(const store::SnapshotTable& modules, const Labels& base, FamilyLines& out) {
    const int rows[3] = {RowOf(modules, QStringLiteral("AC output status")),
                         RowOf(modules, QStringLiteral("AC input status")),
                         RowOf(modules, QStringLiteral("DC Input status"))};
    const char* names[3] = {"ac_output", "ac_input", "dc_input"};
    for (int column = 1; column < modules.columns; ++column) {
        Labels labels = base;
        labels.emplace_back("module", QString::number(column));
        for (int k = 0; k < 3; ++k)
            labels.emplace_back(names[k], rows[k] < 0 ? QString() : modules.at(column, rows[k]));
        out.add(OwnModuleStatus, labels, 1);
    }
}

// The alarm table: "#", source, level, "code description".
void AddAlarms(const store::SnapshotTable& alarms, const Labels& base, FamilyLines& out) {
    for (int row = 1; row < alarms.rows; ++row) {
        const QString alarm = alarms.at(3, row);
        const qsizetype space = alarm.indexOf(QLatin1Char(' '));
        Labels labels = base;
        labels.emplace_back("code", space < 0 ? alarm : alarm.left(space));
        labels.emplace_back("source", alarms.at(1, row));
        labels.emplace_back("level", alarms.at(2, row));
        labels.emplace_back("description", space < 0 ? QString() : alarm.mid(space + 1));
        out.add(OwnAlarm, labels, 1);
    }
}

} // namespace

const std::vector<Family>& Families() {
    return TheCatalog().families;
}

int FamilyIndex(const QByteArray& name) {
    return TheCatalog().index.value(name, -1);
}

QString EscapeLabelValue(const QString& value) {
    QString out;
    out.reserve(value.size());
    for (const QChar c : value) {
        if (c == QLatin1Char('\\'))
            out += QLatin1String("\\\\");
        else if (c == QLatin1Char('"'))
            out += QLatin1String("\\\"");
        else if (c == QLatin1Char('\n'))
            out += QLatin1String("\\n");
        else
            out += c;
    }
    return out;
}

QByteArray EscapeHelp(const QByteArray& help) {
    QByteArray out = help;
    out.replace('\\', "\\\\").replace('\n', "\\n");
    return out;
}

QByteArray ValueText(double value) {
    if (std::isnan(value))
        return "NaN";
    if (std::isinf(value))
        return value > 0 ? "+Inf" : "-Inf";
    char text[32];
    const auto end = std::to_chars(text, text + sizeof text, value).ptr;
    return QByteArray(text, int(end - text));
}

FamilyLines::FamilyLines() : m_lines(Families().size()) {}

void FamilyLines::add(int family, const Labels& labels, double value) {
    QByteArray& out = m_lines[std::size_t(family)];
    out += Families()[std::size_t(family)].name;
    if (!labels.empty()) {
        out += '{';
        for (std::size_t n = 0; n < labels.size(); ++n) {
            if (n > 0)
                out += ',';
            out += labels[n].first;
            out += "=\"";
            out += EscapeLabelValue(labels[n].second).toUtf8();
            out += '"';
        }
        out += '}';
    }
    out += ' ';
    out += ValueText(value);
    out += '\n';
    ++m_samples;
}

void AddTableMetrics(const reads::ReadTables& tables, const Labels& base, FamilyLines& out) {
    for (const auto& [view, table] : tables) {
        AddRows(view, table, base, out);
        if (view == ViewKind::Main)
            AddInfo(table, base, out);
        else if (view == ViewKind::Moduly)
            AddModuleStatus(table, base, out);
        else if (view == ViewKind::Alarm)
            AddAlarms(table, base, out);
    }
}

std::vector<RowSource> RowSources() {
    std::vector<RowSource> sources;
    for (const RowMetric& r : RowMetrics)
        sources.push_back({r.view, QString::fromUtf8(r.rowTitle), r.name});
    return sources;
}

QByteArray Exposition(const std::vector<const FamilyLines*>& installations) {
    const std::vector<Family>& families = Families();
    // Sized once: the text of a hundred installations is megabytes.
    qsizetype size = 0;
    for (std::size_t f = 0; f < families.size(); ++f)
        for (const FamilyLines* lines : installations)
            size += lines->lines(int(f)).size();
    QByteArray out;
    out.reserve(size + qsizetype(families.size()) * 256);
    for (std::size_t f = 0; f < families.size(); ++f) {
        bool any = false;
        for (const FamilyLines* lines : installations)
            any = any || !lines->lines(int(f)).isEmpty();
        if (!any)
            continue;
        out += "# HELP " + families[f].name + ' ' + EscapeHelp(families[f].help) + '\n';
        out += "# TYPE " + families[f].name +
               (families[f].type == MetricType::Counter ? " counter\n" : " gauge\n");
        for (const FamilyLines* lines : installations)
            out += lines->lines(int(f));
    }
    return out;
}

} // namespace zra::exporter
