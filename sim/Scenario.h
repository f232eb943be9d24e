#pragma once
#include <QByteArray>
#include <QDateTime>
#include <QList>
#include <QMap>
#include <QString>
#include <optional>

namespace zra::sim {

// How a text shorter than its field is filled up. 0xFF is never used: a name byte 0xFF marks an
// absent configuration variable.
enum class Padding { Blank, Zero };

// One power module. Numbers of phases and groups count from 1; 0 means not assigned.
struct ModuleSpec {
    int address = 0; // configured address
    int phase = 1;
    int acGroup = 1;
    int dcGroup = 1;
    bool present = true;    // seen by the controller
    bool on = true;         // false: switched off by a module command
    bool failed = false;    // not delivering output because of a failure
    bool fanFailed = false; // cleared by the "fan replaced" command
    bool hasAcInput = true;
    int acInputStatus = 0; // 0 OK, 1 SAFE, 2 NOT_SYNC, 3 OFF, 4 unknown
    int dcInputStatus = 0; // 0 OK, 1 FAIL, 2 unknown
    double load = 0.5;     // output power as a fraction of the nominal power in watts
    int nominalW = 2000;
    int nominalVA = 2500;
    double nominalAcVoltage = 230.0;
    double nominalDcVoltage = 48.0;
    double nominalFrequency = 50.0;
    int softwareVersion = 312;
    qint32 serialNumber = 0;
    qint32 busErrors = 0;
};

struct PhaseSpec {
    double voltage = 230.0; // output voltage the modules regulate to
    double frequency = 50.0;
    int redundancy = 1;
};

struct AcGroupSpec {
    double voltage = 230.0; // mains voltage at the inputs; 0 is a mains failure
    double frequency = 50.0;
};

struct DcGroupSpec {
    double voltage = 54.0; // 0 is a failed DC source
};

// An active alarm or an event log record. Source: 0 controller, 1 to 32 module, 33 system.
// Level: 0 none, 1 minor, 2 major.
struct AlarmSpec {
    int source = 0;
    int level = 1;
    int code = 0;
};

struct EventSpec {
    int source = 0;
    int level = 0;
    int code = 0;
    QDateTime time;
};

// A configuration variable. Values are raw: the displayed value times 10^decimals.
struct VariableSpec {
    int number = 0; // 1 to 500
    int id = 0;
    QString name;
    int decimals = 0;
    int unit = 0;
    int raw = 0;
    int min = -32768;
    int max = 32767;
    int validity = 0;       // validity code reported until the next commit judges the value
    bool mustBeOff = false; // a change is refused while the installation is on
    QList<int> allowed;     // when not empty, the only values accepted
    int below = 0;          // when set, the value must lie at least gap below this variable
    int gap = 0;
    std::optional<Padding> padding; // overrides Scenario::namePadding
    std::optional<int> verdict;     // when set, a commit refuses the value with this code
};

// Everything that describes one installation: what a scenario file holds, and the built-in
// default. Limits (see validateScenario): 1 to 8 phases, up to 6 AC and 8 DC groups, up to 32
// modules, 64 active alarms, 255 event records, 500 variables, alarm and event codes 0 to 300.
struct Scenario {
    QString name;
    quint32 serialNumber = 100000;
    int mainRevision = 1;
    int subRevision = 0;
    int saturationLimit = 90; // %
    int configVersion = 1;
    int eventVersion = 1;
    bool running = true;
    std::optional<QDateTime> clock; // none: the PC's local time when the simulator starts
    std::optional<bool> summerTime; // none: from the clock's time zone
    QByteArray password = "Vortex_P8L";
    bool passwordRequired = false;
    int commitBusyPolls = 2; // reads of 1488 that report a running commit before its verdict
    quint32 seed = 1;        // of the live values' random walk
    Padding namePadding = Padding::Blank;
    Padding descriptionPadding = Padding::Blank;

    QList<PhaseSpec> phases;
    QList<AcGroupSpec> acGroups;
    QList<DcGroupSpec> dcGroups;
    QList<ModuleSpec> modules;
    QList<AlarmSpec> alarms;
    QList<EventSpec> events;
    QMap<int, QString> descriptions; // alarm and event code -> text, at most 16 characters
    QList<VariableSpec> variables;
    // Runs of absent variables whose records are filled with 0xFF, first and last number.
    QList<QPair<int, int>> absentFilled;
};

// Adds a plain variable for every number from first to last that has none yet ("Proměnná n",
// ID 1000 + n, one decimal, volts, 10.0 + n / 10, range 0 to 3000.0).
void addGeneratedVariables(Scenario& scenario, int first, int last);

namespace limits {
constexpr int Phases = 8;
constexpr int AcGroups = 6;
constexpr int DcGroups = 8;
constexpr int Modules = 32;
constexpr int Alarms = 64;
constexpr int Events = 255;
constexpr int Variables = 500;
constexpr int MaxCode = 300;
constexpr int NameBytes = 32;
constexpr int DescriptionBytes = 16;
constexpr int PasswordBytes = 10;
constexpr int CommitBusyPolls = 100;
} // namespace limits

// The installation that the simulator serves without a scenario file.
Scenario defaultScenario();

// Checks the limits and the cross references; the first problem found goes to error.
bool validateScenario(const Scenario& scenario, QString* error);

// A scenario from JSON text (the scenario file format, see docs/simulator.md), validated.
std::optional<Scenario> parseScenario(const QByteArray& json, QString* error);
std::optional<Scenario> loadScenarioFile(const QString& path, QString* error);

// A name or description in its field: Windows-1250, cut or padded to size bytes.
QByteArray fieldText(const QString& text, int size, Padding padding);

} // namespace zra::sim
