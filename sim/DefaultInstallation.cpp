// The installation that zra-sim serves without a scenario file: three phases of three modules,
// two AC and two DC groups, with the mains of AC group 2 failed so that its modules run from DC,
// one module switched off and one with a failed fan, three active alarms, twenty event records
// and sixty configuration variables.
#include "sim/RegisterMap.h"
#include "sim/Scenario.h"

namespace zra::sim {

namespace {
QDateTime at(const char* text) {
    return QDateTime::fromString(QString::fromLatin1(text), QStringLiteral("yyyy-MM-dd HH:mm:ss"));
}

struct VariableRow {
    int number;
    const char* name; // UTF-8
    double value;
    int decimals;
    int unit;
    double min;
    double max;
};

int raw(double value, int decimals) {
    double scaled = value;
    for (int i = 0; i < decimals; ++i)
        scaled *= 10;
    return static_cast<int>(scaled < 0 ? scaled - 0.5 : scaled + 0.5);
}

// Units: 1 V, 3 Hz, 4 s, 5 and 9 degrees, 6 W, 7 VA, 8 %, 10 Ohm.
const VariableRow Variables[] = {
    {1, "Jmenovité výstupní napětí", 230.0, 1, 1, 200.0, 250.0},
    {2, "Jmenovitá výstupní frekvence", 50.0, 1, 3, 45.0, 65.0},
    {3, "Přepětí výstupu - vypnutí", 253.0, 1, 1, 235.0, 270.0},
    {4, "Přepětí výstupu - návrat", 248.0, 1, 1, 230.0, 265.0},
    {5, "Podpětí výstupu - vypnutí", 207.0, 1, 1, 180.0, 225.0},
    {6, "Podpětí výstupu - návrat", 212.0, 1, 1, 185.0, 230.0},
    {7, "Zpoždění alarmu přepětí", 5, 0, 4, 0, 600},
    {8, "Zpoždění alarmu podpětí", 5, 0, 4, 0, 600},
    {10, "Mez přetížení fáze", 105, 0, 8, 50, 150},
    {11, "Mez alarmu saturace", 90, 0, 8, 50, 100},
    {12, "Redundance fáze 1", 1, 0, 0, 0, 4},
    {13, "Redundance fáze 2", 1, 0, 0, 0, 4},
    {14, "Redundance fáze 3", 1, 0, 0, 0, 4},
    {15, "Max. teplota modulu", 75.0, 1, 5, 40.0, 90.0},
    {16, "Teplota zapnutí ventilátoru", 35.0, 1, 9, 20.0, 60.0},
    {19, "DC vstup - min. napětí", 42.00, 2, 1, 36.00, 48.00},
    {20, "DC vstup - max. napětí", 58.00, 2, 1, 52.00, 64.00},
    {21, "DC vstup - návrat napětí", 44.00, 2, 1, 38.00, 50.00},
    {22, "AC vstup - min. napětí", 184.0, 1, 1, 150.0, 220.0},
    {23, "AC vstup - max. napětí", 264.0, 1, 1, 240.0, 280.0},
    {24, "AC vstup - min. frekvence", 47.0, 1, 3, 45.0, 50.0},
    {25, "AC vstup - max. frekvence", 53.0, 1, 3, 50.0, 55.0},
    {26, "Priorita vstupu (0=AC, 1=DC)", 0, 0, 0, 0, 1},
    {27, "Zpoždění přepnutí na AC", 30, 0, 4, 0, 3600},
    {28, "Synchronizace s AC sítí", 1, 0, 0, 0, 1},
    {29, "Rychlost synchronizace", 0.500, 3, 3, 0.100, 2.000},
    {30, "Jmenovitý výkon modulu", 2000, 0, 6, 500, 3000},
    {31, "Jmenovitý zdánlivý výkon", 2500, 0, 7, 500, 3500},
    {32, "Odpor kabelu DC", 0.015, 3, 10, 0.000, 1.000},
    {33, "Korekce napětí fáze 1", 0.0, 1, 1, -5.0, 5.0},
    {34, "Korekce napětí fáze 2", -0.5, 1, 1, -5.0, 5.0},
    {35, "Korekce napětí fáze 3", 0.3, 1, 1, -5.0, 5.0},
    {36, "Posun fáze 2", 120, 0, 5, 0, 359},
    {37, "Posun fáze 3", 240, 0, 5, 0, 359},
    {38, "Počet pokusů o restart", 3, 0, 0, 0, 10},
    {39, "Interval restartu", 60, 0, 4, 10, 600},
    {40, "Doba podsvícení displeje", 120, 0, 4, 0, 3600},
    {45, "MODBUS adresa", 1, 0, 0, 1, 247},
    {46, "Rychlost RS485 (x100 Bd)", 96, 0, 0, 12, 1152},
    {47, "Parita RS485 (0=N, 1=L, 2=S)", 0, 0, 0, 0, 2},
    {48, "Relé major - zpoždění", 2, 0, 4, 0, 300},
    {49, "Relé minor - zpoždění", 10, 0, 4, 0, 300},
    {50, "Relé major - invertovat", 0, 0, 0, 0, 1},
    {51, "Relé minor - invertovat", 0, 0, 0, 0, 1},
    {55, "Letní čas automaticky", 1, 0, 0, 0, 1},
    {56, "Časové pásmo (h)", 1, 0, 0, -12, 14},
    {57, "Interval záznamu měření", 15, 0, 4, 1, 3600},
    {58, "Alarm při vypnutí modulu", 1, 0, 0, 0, 1},
    {59, "Ventilátor - min. otáčky", 30, 0, 8, 20, 100},
    {60, "Ventilátor - max. teplota", 55.0, 1, 9, 30.0, 80.0},
    {61, "Kalibrace proudu fáze 1", 1.000, 3, 0, 0.900, 1.100},
    {62, "Kalibrace proudu fáze 2", 1.002, 3, 0, 0.900, 1.100},
    {63, "Kalibrace proudu fáze 3", 0.998, 3, 0, 0.900, 1.100},
    {64, "Kalibrace napětí DC", 1.000, 3, 0, 0.900, 1.100},
    {65, "Kontrola střídačů", 1, 0, 0, 0, 1},
    {66, "Servisní kód", 1234, 0, 0, 0, 9999},
    {67, "Počet fází", 3, 0, 0, 1, 3},
    {68, "Počet AC skupin", 2, 0, 0, 0, 6},
    {69, "Počet DC skupin", 2, 0, 0, 0, 8},
    {70, "Doba identifikace modulu", 30, 0, 4, 5, 600},
};
} // namespace

Scenario defaultScenario() {
    Scenario s;
    s.name = QStringLiteral("built-in default");
    s.serialNumber = 100234;
    s.mainRevision = 1;
    s.subRevision = 19;
    s.saturationLimit = 90;
    s.configVersion = 7;
    s.eventVersion = 3;
    s.phases = {{230.0, 50.0, 1}, {230.0, 50.0, 1}, {230.0, 50.0, 1}};
    s.acGroups = {{231.0, 50.0}, {0.0, 50.0}}; // mains of group 2 failed
    s.dcGroups = {{54.2}, {53.8}};

    const double loads[9] = {0.62, 0.58, 0.60, 0.71, 0.69, 0.74, 0.45, 0.48, 0.0};
    for (int i = 0; i < 9; ++i) {
        ModuleSpec m;
        m.address = i + 1;
        m.phase = i / 3 + 1;
        m.acGroup = i < 5 ? 1 : 2;
        m.dcGroup = i < 4 ? 1 : 2;
        m.load = loads[i];
        m.serialNumber = 2310001 + i;
        m.softwareVersion = i == 8 ? 310 : 312;
        m.busErrors = (i * 7) % 5;
        if (m.acGroup == 2)
            m.acInputStatus = 3; // OFF: no mains
        s.modules.append(m);
    }
    s.modules[4].fanFailed = true;
    s.modules[8].on = false; // switched off for service

    s.alarms = {
        {source::Controller, 2, 31},   // mains failure, AC group 2
        {5, 1, eventCode::FanFailure}, // module 5
        {source::System, 1, 46},       // phase 3 without redundancy
    };
    s.descriptions = {
        {0, QStringLiteral("Bez alarmu")},
        {12, QStringLiteral("Přepětí výstupu")},
        {13, QStringLiteral("Podpětí výstupu")},
        {17, QStringLiteral("Přepětí DC")},
        {23, QStringLiteral("Podpětí DC")},
        {31, QStringLiteral("Výpadek sítě AC")},
        {32, QStringLiteral("Návrat sítě AC")},
        {45, QStringLiteral("Přetížení fáze")},
        {46, QStringLiteral("Bez redundance")},
        {57, QStringLiteral("Vysoká teplota")},
        {64, QStringLiteral("Chyba komunikace")},
        {88, QStringLiteral("Síť AC mimo tol.")},
        {eventCode::FanFailure, QStringLiteral("Porucha ventil.")},
        {150, QStringLiteral("Start řídicí j.")},
        {eventCode::SystemOn, QStringLiteral("ZRA zapnuta")},
        {eventCode::SystemOff, QStringLiteral("ZRA vypnuta")},
        {eventCode::ModulesNumbered, QStringLiteral("Moduly očíslov.")},
        {eventCode::ClockSet, QStringLiteral("Nastaven čas")},
        {eventCode::ConfigSaved, QStringLiteral("Konfig. uložena")},
        {eventCode::ConfigRefused, QStringLiteral("Konfig.odmítnuta")},
        {eventCode::ModuleOn, QStringLiteral("Modul zapnut")},
        {eventCode::ModuleOff, QStringLiteral("Modul vypnut")},
        {eventCode::FanReplaced, QStringLiteral("Výměna ventil.")},
        {eventCode::BusErrorsCleared, QStringLiteral("Nul. chyb sběr.")},
    };

    const struct {
        int source, level, code;
        const char* time;
    } events[] = {
        {0, 0, 150, "2024-04-02 07:58:12"},  {33, 0, 200, "2024-04-02 07:58:40"},
        {33, 0, 204, "2024-04-02 08:03:05"}, {33, 0, 205, "2024-04-02 08:15:51"},
        {0, 1, 88, "2024-04-09 13:22:07"},   {0, 0, 32, "2024-04-09 13:22:49"},
        {7, 1, 57, "2024-04-17 15:40:33"},   {7, 0, 0, "2024-04-17 16:02:10"},
        {0, 2, 31, "2024-04-23 02:11:58"},   {0, 0, 32, "2024-04-23 02:47:19"},
        {3, 2, 64, "2024-04-30 09:05:44"},   {3, 0, 0, "2024-04-30 09:06:01"},
        {33, 1, 45, "2024-05-06 18:30:27"},  {33, 0, 0, "2024-05-06 18:34:02"},
        {9, 1, 208, "2024-05-10 10:12:45"},  {33, 1, 46, "2024-05-10 10:12:46"},
        {5, 1, 120, "2024-05-12 21:48:03"},  {0, 1, 88, "2024-05-13 06:01:37"},
        {0, 2, 31, "2024-05-13 06:02:15"},   {33, 1, 206, "2024-05-13 11:27:09"},
    };
    for (const auto& e : events)
        s.events.append({e.source, e.level, e.code, at(e.time)});

    for (const VariableRow& row : Variables) {
        VariableSpec v;
        v.number = row.number;
        v.id = 100 + row.number;
        v.name = QString::fromUtf8(row.name);
        v.decimals = row.decimals;
        v.unit = row.unit;
        v.raw = raw(row.value, row.decimals);
        v.min = raw(row.min, row.decimals);
        v.max = raw(row.max, row.decimals);
        s.variables.append(v);
    }
    auto var = [&s](int number) -> VariableSpec& {
        for (VariableSpec& v : s.variables) {
            if (v.number == number)
                return v;
        }
        Q_UNREACHABLE();
    };
    var(1).mustBeOff = true;
    var(2).mustBeOff = true;
    var(2).allowed = {500, 600};
    var(4).below = 3; // the return threshold lies at least 2 V below the trip threshold
    var(4).gap = 20;
    var(30).mustBeOff = true;
    var(31).mustBeOff = true;
    var(45).mustBeOff = true;
    var(46).allowed = {12, 24, 48, 96, 192, 384, 576, 1152};
    var(65).validity = validity::InverterMismatch;
    for (int n = 45; n <= 51; ++n)
        var(n).padding = Padding::Zero;
    // Gaps 9, 17-18 and 52-54 are plain absent records; 41-44 and 71-500 are filled with 0xFF,
    // which lets the tool skip every second request of those runs.
    s.absentFilled = {{41, 44}, {71, 500}};
    return s;
}

} // namespace zra::sim
