#include "views/ModuleDecode.h"

#include "link/RegisterMap.h"
#include "text/CellText.h"

namespace zra::views {

const QStringList& ModuleRowTitles() {
    static const QStringList titles = {
        QStringLiteral("AC output status"),
        QStringLiteral("AC input status"),
        QStringLiteral("DC Input status"),
        QStringLiteral("Configured address"),
        QStringLiteral("Position of the load regarding input power sources"),
        QStringLiteral("Loading ratio regarding power in watts (%)"),
        QStringLiteral("Loading ratio regarding power in VA (%)"),
        QStringLiteral("Phase number"),
        QStringLiteral("Output voltage value (0.1V)"),
        QStringLiteral("Output current value (0.1A)"),
        QStringLiteral("Output power value (W)"),
        QStringLiteral("Output power value (VA)"),
        QStringLiteral("AC input voltage value (0.1V)"),
        QStringLiteral("AC input current value (0.1A)"),
        QStringLiteral("AC input power value (W)"),
        QStringLiteral("AC input power value (VA)"),
        QStringLiteral("AC input frequency value (0.1Hz)"),
        QStringLiteral("DC input voltage value (0.1V)"),
        QStringLiteral("DC input current value (0.1A)"),
        QStringLiteral("DC input power value (W)"),
        QStringLiteral("Temperature value (K)"),
        QStringLiteral("Software version number"),
        QStringLiteral("Serial number"),
        QStringLiteral("Bus error counter"),
        QStringLiteral("Status mod."),
        QStringLiteral("Status AC"),
        QStringLiteral("Status DC"),
        QStringLiteral("Present"),
        QStringLiteral("AC input group number"),
        QStringLiteral("DC input group number"),
        QStringLiteral("Restrained"),
        QStringLiteral("module has an AC input (EPC)"),
        QStringLiteral("Nominal output power (W)"),
        QStringLiteral("Nominal output power (VA)"),
        QStringLiteral("Nominal AC input voltage (0.1V)"),
        QStringLiteral("Nominal DC input voltage (0.1V)"),
        QStringLiteral("Nominal AC frequency (0.1Hz)"),
    };
    return titles;
}

namespace {
QString statusText(const QStringList& texts, int code) {
    return code >= 0 && code < texts.size() ? texts[code] : QString::number(code);
}
} // namespace

QString AcOutputStatusText(int code) {
    static const QStringList texts = {"SBR", "SB", "SBWE", "SBWRE", "UNKNOVN"};
    return statusText(texts, code);
}
QString AcInputStatusText(int code) {
    static const QStringList texts = {"OK", "SAFE", "NOT_SYNC", "OFF", "UNKNOVN"};
    return statusText(texts, code);
}
QString DcInputStatusText(int code) {
    static const QStringList texts = {"OK", "FAIL", "UNKNOVN"};
    return statusText(texts, code);
}

QStringList ModuleStatusValues(const link::RegisterData& d) {
    const auto n = [](long long v) { return QString::number(v); };
    const auto tenths = [&d](int k) { return text::DecimalText(d.u16(k) / 10.0, 1); };
    QStringList v = {AcOutputStatusText(d[0]), AcInputStatusText(d[1]), DcInputStatusText(d[2])};
    for (int k = 3; k <= 7; ++k) // address, load position, loading ratios, phase
        v << n(d[k]);
    v << tenths(8) << tenths(10) << n(d.u16(12)) << n(d.u16(14));                // output
    v << tenths(16) << tenths(18) << n(d.u16(20)) << n(d.u16(22)) << tenths(24); // AC input
    v << tenths(26) << tenths(28) << n(d.u16(30));                               // DC input
    v << n(d.u16(32)) << n(d.u16(34)) << n(d.s32(36)) << n(d.s32(40));
    for (int k = 44; k <= 51; ++k) // states, present, groups, restrained, EPC
        v << n(d[k]);
    v << n(d.u16(52)) << n(d.u16(54)) << tenths(56) << tenths(58) << tenths(60); // nominal
    return v;
}

std::vector<ModuleWrite> ModuleActionWrites(int module, const ModulePlacement& table,
                                            const ModulePlacement& entered, int commandBits) {
    std::vector<ModuleWrite> writes;
    if (!reg::ModuleWritable(module))
        return writes;
    if (table.address != entered.address || table.phase != entered.phase)
        writes.push_back(
            {reg::ModuleAddressRegister(module), RegisterOfBytes(entered.address, entered.phase)});
    if (table.acGroup != entered.acGroup || table.dcGroup != entered.dcGroup)
        writes.push_back(
            {reg::ModuleGroupsRegister(module), RegisterOfBytes(entered.acGroup, entered.dcGroup)});
    if (commandBits > 0)
        writes.push_back({reg::ModuleCommandRegister(module), RegisterOfBytes(commandBits, 0)});
    return writes;
}

QString ModuleNotWritableText(int module) {
    return QStringLiteral("Modul %1 nelze měnit: registry modulů stačí jen pro moduly 1 až %2.")
        .arg(module)
        .arg(reg::MaxModuleRegisters);
}

} // namespace zra::views
