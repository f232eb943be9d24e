// Every window operation against every transport fault of the in-process
// simulator: the failure is reported once over the operation's window, the
// tool ends in the disconnected state with the normal cursor and the table it
// had, sends nothing after the failing request, and a reconnect works again.
#include "app/Startup.h"
#include "config/ConfigDecode.h"
#include "config/TFkonfig.h"
#include "config/TFnastaveni.h"
#include "console/TFext.h"
#include "log/TFlog.h"
#include "main/TFmain.h"
#include "tests/support/SimFixture.h"
#include "ui/TextGrid.h"
#include "views/TFacgroup.h"
#include "views/TFdcgroup.h"
#include "views/TFfaze.h"
#include "views/TFmodul_akce.h"
#include "views/TFmoduly.h"

#include <QAction>
#include <QComboBox>
#include <QDoubleSpinBox>
#include <QLocale>
#include <QPushButton>
#include <QSpinBox>
#include <QTest>
#include <functional>
#include <optional>
#include <ostream>
#include <string>
#include <string_view>
#include <tuple>

using namespace zra;
using namespace zra::test;

namespace {

constexpr const char* CommunicationError = "Chyba v komunikaci";

// What an operation works with.
struct Context {
    app::Windows& w;
    RecordingUi& ui;
};

// The request a fault hits: the first one of this function (nullopt: any)
// whose registers overlap [first, last].
struct Target {
    std::optional<quint8> function;
    quint16 first = 0;
    quint16 last = 0xFFFF;
};

bool Matches(const QByteArray& frame, const Target& t) {
    if (frame.size() < 6)
        return false;
    const quint8 function = quint8(frame[1]);
    if (t.function && *t.function != function)
        return false;
    const int address = quint8(frame[2]) << 8 | quint8(frame[3]);
    const int quantity = function == 6 ? 1 : qMax(1, quint8(frame[4]) << 8 | quint8(frame[5]));
    return address <= t.last && address + quantity - 1 >= t.first;
}

struct Operation {
    const char* name;
    bool write;         // needs the login
    bool transportOnly; // shows the link's own text only
    Target target;
    std::function<void(Context&)> prepare; // fault free, before the fault is added
    std::function<void(Context&)> run;
    std::function<void(Context&)> readAgain; // after the reconnect, without faults
    std::function<QWidget*(app::Windows&)> window;
    std::function<QAction*(app::Windows&)> readItem;
    std::function<ui::TextGrid*(app::Windows&)> table;
    int keptColumn = -1;      // the one column the table must keep (-1: every column)
    bool clearsFirst = false; // the read empties its table before its first request
};

struct FaultCase {
    const char* name;
    std::optional<sim::FaultKind> kind; // nullopt: the simulator is stopped
    int delayMs = 0;
};

// ---- operations ----

void Nothing(Context&) {}

void ReadConfig(Context& c) {
    c.w.Fkonfig->TBXnactiClick();
}

// Opens the editor of row 1 and enters a value other than the one shown.
void EditFirstVariable(Context& c) {
    c.ui.answerNextDialog([&c](QDialog*) {
        config::TFnastaveni& d = *c.w.Fnastaveni;
        const double v = d.PBval->value();
        d.PBval->setValue(v + 1 <= d.PBval->maximum() ? v + 1 : v - 1);
        d.LMDButton1->click();
        return d.result();
    });
    c.w.Fkonfig->OpenVariableEditor(1);
}

// After a write that may have reached the installation: its changes cancelled
// (with a new login: the failure cleared it), then the configuration read.
void CancelAndReadConfig(Context& c) {
    c.w.link.setLoginGranted(true);
    c.w.Fkonfig->applyLogin(true);
    c.w.Fkonfig->CancelChanges();
    ReadConfig(c);
}

// A commit whose reply failed may have reached the installation, which then
// reports its configuration as changed (and refuses a cancel as busy) for a
// while: the configuration read would warn rightly. The main read shows the
// reconnected link instead.
void ReadMainAfterCommit(Context& c) {
    c.w.Fmain->TBXnactiClick();
}

void ReadModulesAndShowButtons(Context& c) {
    c.w.Fmoduly->TBXnactiClick();
    c.w.Fmoduly->TBXedit->trigger();
}

// Module 1's dialog, its configured address changed, OK clicked.
void ModuleDialog(Context& c) {
    c.ui.answerNextDialog([&c](QDialog*) {
        views::TFmodul_akce& d = *c.w.Fmodul_akce;
        const int v = d.PBhod1->value();
        d.PBhod1->setValue(v < d.PBhod1->maximum() ? v + 1 : v - 1);
        d.LMDButton1->click();
        return d.result();
    });
    auto* button = qobject_cast<QPushButton*>(c.w.Fmoduly->SG_mod->titleButton(1));
    ASSERT_NE(button, nullptr) << "no edit button over module 1";
    button->click();
}

// Row 1's value one higher than the installation's.
void ChangeFirstValue(Context& c) {
    ReadConfig(c);
    ui::TextGrid& g = *c.w.Fkonfig->SG_konfig;
    const QString text = g.cell(config::ValueColumn, 1);
    const qsizetype point = text.indexOf(QLocale::system().decimalPoint());
    const auto value = g.decimalAt(config::ValueColumn, 1);
    ASSERT_TRUE(value.has_value()) << text.toStdString();
    g.setDecimal(config::ValueColumn, 1, *value + 1, point < 0 ? 0 : int(text.size() - point - 1));
}

QWidget* MainWindow(app::Windows& w) {
    return w.Fmain.get();
}
QAction* MainRead(app::Windows& w) {
    return w.Fmain->TBXnacti;
}
ui::TextGrid* MainTable(app::Windows& w) {
    return w.Fmain->SG_main;
}
QWidget* ConfigWindow(app::Windows& w) {
    return w.Fkonfig.get();
}
QAction* ConfigRead(app::Windows& w) {
    return w.Fkonfig->TBXnacti;
}
ui::TextGrid* ConfigTable(app::Windows& w) {
    return w.Fkonfig->SG_konfig;
}
QAction* ModulesRead(app::Windows& w) {
    return w.Fmoduly->TBXnacti;
}
ui::TextGrid* ModulesTable(app::Windows& w) {
    return w.Fmoduly->SG_mod;
}

// A read: prepared by itself without faults, repeated after the reconnect.
Operation Read(const char* name, std::function<void(Context&)> read,
               std::function<QWidget*(app::Windows&)> window,
               std::function<QAction*(app::Windows&)> item,
               std::function<ui::TextGrid*(app::Windows&)> table) {
    return {name, false, false, {}, read, read, read, window, item, table};
}

Operation SystemCommand(const char* name, void (main::TFmain::*handler)()) {
    const auto run = [handler](Context& c) { (c.w.Fmain.get()->*handler)(); };
    const auto read = [](Context& c) { c.w.Fmain->TBXnactiClick(); };
    return {name, true, true, {6, 1700, 1700}, read, run, read, MainWindow, MainRead, MainTable};
}

Operation ConfigWrite(const char* name, Target target, std::function<void(Context&)> prepare,
                      std::function<void(Context&)> run,
                      std::function<QWidget*(app::Windows&)> window = ConfigWindow,
                      int keptColumn = -1,
                      std::function<void(Context&)> readAgain = CancelAndReadConfig) {
    return {name,      true,   false,      target,      prepare,   run,
            readAgain, window, ConfigRead, ConfigTable, keptColumn};
}

const Operation Operations[] = {
    Read(
        "ReadMain", [](Context& c) { c.w.Fmain->TBXnactiClick(); }, MainWindow, MainRead,
        MainTable),
    Read(
        "ReadModules", [](Context& c) { c.w.Fmoduly->TBXnactiClick(); },
        [](app::Windows& w) -> QWidget* { return w.Fmoduly.get(); }, ModulesRead, ModulesTable),
    [] {
        Operation o = Read("ReadConfig", ReadConfig, ConfigWindow, ConfigRead, ConfigTable);
        o.clearsFirst = true;
        return o;
    }(),
    Read(
        "ReadPhases", [](Context& c) { c.w.Ffaze->TBXnactiClick(); },
        [](app::Windows& w) -> QWidget* { return w.Ffaze.get(); },
        [](app::Windows& w) { return w.Ffaze->TBXnacti; },
        [](app::Windows& w) { return w.Ffaze->SG_faze; }),
    Read(
        "ReadAcGroups", [](Context& c) { c.w.Facgroup->TBXnactiClick(); },
        [](app::Windows& w) -> QWidget* { return w.Facgroup.get(); },
        [](app::Windows& w) { return w.Facgroup->TBXnacti; },
        [](app::Windows& w) { return w.Facgroup->SG_AC; }),
    Read(
        "ReadDcGroups", [](Context& c) { c.w.Fdcgroup->TBXnactiClick(); },
        [](app::Windows& w) -> QWidget* { return w.Fdcgroup.get(); },
        [](app::Windows& w) { return w.Fdcgroup->TBXnacti; },
        [](app::Windows& w) { return w.Fdcgroup->SG_DC; }),
    Read(
        "ReadEventLog", [](Context& c) { c.w.Flog->TBXnactiClick(); },
        [](app::Windows& w) -> QWidget* { return w.Flog.get(); },
        [](app::Windows& w) { return w.Flog->TBXnacti; },
        [](app::Windows& w) { return w.Flog->SG_log; }),
    Read(
        "ReadAll", [](Context& c) { c.w.Fmain->TBXnactivseClick(); }, MainWindow, MainRead,
        MainTable),
    SystemCommand("CommandOn", &main::TFmain::TBXonClick),
    SystemCommand("CommandOff", &main::TFmain::TBXoffClick),
    SystemCommand("CommandClearLog", &main::TFmain::TBXvymazlogClick),
    SystemCommand("CommandNumberModules", &main::TFmain::TBXcislujClick),
    {"SendClock",
     true,
     false,
     {16, 1500, 1503},
     [](Context& c) { c.w.Fmain->TBXnactiClick(); },
     [](Context& c) { c.w.Fmain->bdateClick(); },
     [](Context& c) { c.w.Fmain->TBXnactiClick(); },
     MainWindow,
     MainRead,
     MainTable},
    ConfigWrite("EditVariable", {6}, ReadConfig, EditFirstVariable,
                [](app::Windows& w) -> QWidget* { return w.Fnastaveni.get(); }),
    // Change-all writes the verdict of its comparison into the state column
    // before it writes: only the values must stay.
    ConfigWrite(
        "ChangeAll", {6}, ChangeFirstValue, [](Context& c) { c.w.Fkonfig->ApplyLoadedValues(); },
        ConfigWindow, config::ValueColumn),
    ConfigWrite(
        "Commit", {6, 1488, 1488},
        [](Context& c) {
            ReadConfig(c);
            EditFirstVariable(c);
            c.w.Fkonfig->commitPollWaitMs = 10;
        },
        [](Context& c) { c.w.Fkonfig->CommitChanges(); }, ConfigWindow, -1, ReadMainAfterCommit),
    ConfigWrite(
        "Cancel", {6, 1488, 1488},
        [](Context& c) {
            ReadConfig(c);
            EditFirstVariable(c);
        },
        [](Context& c) { c.w.Fkonfig->CancelChanges(); }),
    {"ModuleDialog",
     true,
     false,
     {6, 1510, 1512},
     ReadModulesAndShowButtons,
     ModuleDialog,
     [](Context& c) { c.w.Fmoduly->TBXnactiClick(); },
     [](app::Windows& w) -> QWidget* { return w.Fmodul_akce.get(); },
     ModulesRead,
     ModulesTable},
    {"ConsoleSend",
     false,
     false,
     {},
     Nothing,
     [](Context& c) { c.w.Fext->Button1Click(); },
     [](Context& c) { c.w.Fext->Button1Click(); },
     [](app::Windows& w) -> QWidget* { return w.Fext.get(); },
     MainRead,
     [](app::Windows&) -> ui::TextGrid* { return nullptr; }},
};

const FaultCase Faults[] = {
    {"DelayPastTimeout", sim::FaultKind::Delay, 2300},
    {"Silence", sim::FaultKind::Silence},
    {"Exception", sim::FaultKind::Exception},
    {"Truncated", sim::FaultKind::Truncate},
    {"BadCrc", sim::FaultKind::BadCrc},
    {"OversizedByteCount", sim::FaultKind::OversizedByteCount},
    {"ClosedMidReply", sim::FaultKind::Close},
    {"SimulatorStopped", std::nullopt},
};

// The checks of a cell, in the order the test makes them.
enum class Check { Messages, Table, Frames, Reconnect };

// Faults of the tool this matrix found: the cell stops (skipped) at the check
// that fails, after every check before it has passed.
struct KnownFault {
    const char* operation;
    const char* fault; // nullptr: every fault
    Check check;
    const char* what;
};

// None at present; an entry stops its cells (skipped) with the reason.
const std::vector<KnownFault> KnownFaults = {};

std::optional<std::string> Known(const char* operation, const char* fault, Check check) {
    for (const KnownFault& k : KnownFaults)
        if (k.check == check && std::string_view(k.operation) == operation &&
            (!k.fault || std::string_view(k.fault) == fault))
            return std::string("known fault: ") + k.what;
    return std::nullopt;
}

void PrintTo(const Operation& op, std::ostream* os) {
    *os << op.name;
}
void PrintTo(const FaultCase& fault, std::ostream* os) {
    *os << fault.name;
}

// Every cell of a table (or of one column), row by row; each row as
// "row: cell | cell | ...".
QStringList Cells(const ui::TextGrid* g, int onlyColumn) {
    QStringList out;
    if (!g)
        return out;
    for (int row = 0; row < g->rowCount(); ++row) {
        QStringList cells;
        for (int column = 0; column < g->columnCount(); ++column)
            if (onlyColumn < 0 || column == onlyColumn)
                cells << g->cell(column, row);
        out << QString::number(row) + ": " + cells.join(" | ");
    }
    return out;
}

// The rows that differ, at most five, for the failure text.
std::string RowsChanged(const QStringList& before, const QStringList& after) {
    QStringList out;
    if (before.size() != after.size())
        out << QStringLiteral("%1 rows, were %2").arg(after.size()).arg(before.size());
    for (qsizetype i = 0; i < qMin(before.size(), after.size()) && out.size() < 5; ++i)
        if (before[i] != after[i])
            out << "was " + before[i] << "now " + after[i];
    return out.join('\n').toStdString();
}

using Cell = std::tuple<Operation, FaultCase>;

class FaultMatrix : public ::testing::TestWithParam<Cell> {
protected:
    void SetUp() override {
        sim::Options o;
        o.frozen = true;
        o.commitBusyPolls = 1;
        simulator = StartSimulator(o);
        connectTool();
        ASSERT_TRUE(w.link.connectedState());
    }
    void connectTool() {
        w.Fmain->TIP_adr->setEditText(simulator->address());
        w.Fmain->TIP_adrAccept();
        w.Fmain->TBXItem2Click();
    }
    QString messageList() const { return ui.messages.join(" | "); }

    RecordingUi ui;
    std::unique_ptr<sim::Simulator> simulator;
    app::Windows w;
    Context c{w, ui};
};

TEST_P(FaultMatrix, FailsOnceAndReconnects) {
    const auto& [op, fault] = GetParam();
    if (op.write) {
        w.link.setLoginGranted(true);
        w.Fkonfig->applyLogin(true);
    }
    op.prepare(c);
    ASSERT_TRUE(ui.messages.isEmpty()) << "preparation: " << messageList().toStdString();
    ASSERT_TRUE(w.link.connectedState());
    ASSERT_TRUE(op.readItem(w)->isEnabled());
    const QStringList before = Cells(op.table(w), op.keptColumn);
    if (op.table(w)) {
        ASSERT_GT(op.table(w)->columnCount(), 1) << "the fault-free read filled no column";
    }

    simulator->clearRecords();
    if (fault.kind) {
        sim::Fault f;
        f.kind = *fault.kind;
        f.delayMs = fault.delayMs;
        f.times = 1;
        f.function = op.target.function;
        f.firstRegister = op.target.first;
        f.lastRegister = op.target.last;
        simulator->addFault(f);
    } else {
        simulator->stop();
    }
    op.run(c);
    QTest::qWait(50); // a request sent at the end has arrived

    const auto stopIfKnown = [&](Check check) { return Known(op.name, fault.name, check); };
    // One failure, reported over the operation's window.
    if (const auto known = stopIfKnown(Check::Messages))
        GTEST_SKIP() << *known;
    ASSERT_FALSE(ui.messages.isEmpty()) << "the failure went unreported";
    if (op.transportOnly && !fault.kind) {
        // The password write before the command fails first: it adds the
        // communication error, and the command is not sent.
        EXPECT_EQ(ui.messages.size(), 2) << messageList().toStdString();
        EXPECT_EQ(ui.messages.last(), CommunicationError);
    } else if (op.transportOnly) {
        EXPECT_EQ(ui.messages.size(), 1) << messageList().toStdString();
        EXPECT_NE(ui.messages.last(), CommunicationError);
    } else {
        EXPECT_GE(ui.messages.size(), 1);
        EXPECT_EQ(ui.messages.last(), CommunicationError) << messageList().toStdString();
    }
    for (QWidget* parent : ui.parents)
        EXPECT_EQ(parent, op.window(w)) << messageList().toStdString();
    EXPECT_FALSE(w.link.connectedState());
    EXPECT_FALSE(op.readItem(w)->isEnabled());
    if (const auto known = stopIfKnown(Check::Table))
        GTEST_SKIP() << *known;
    const QStringList after = Cells(op.table(w), op.keptColumn);
    if (op.clearsFirst) {
        // The configuration read starts from an empty table: after a failure
        // it keeps the titles and one empty row.
        ui::TextGrid& g = *op.table(w);
        EXPECT_EQ(g.rowCount(), 2);
        EXPECT_EQ(g.cell(0, 1), "");
    } else {
        EXPECT_TRUE(after == before) << "the table changed:\n" << RowsChanged(before, after);
    }
    EXPECT_EQ(ui.busyDepth, 0);

    // Nothing after the failing request.
    if (const auto known = stopIfKnown(Check::Frames))
        GTEST_SKIP() << *known;
    const QList<QByteArray> frames = simulator->modbusFrames();
    if (fault.kind) {
        qsizetype failing = -1;
        for (qsizetype i = 0; i < frames.size() && failing < 0; ++i)
            if (Matches(frames[i], op.target))
                failing = i;
        ASSERT_GE(failing, 0) << "the fault hit no request";
        EXPECT_EQ(failing, frames.size() - 1)
            << (frames.size() - 1 - failing) << " request(s) after the failing one, the first "
            << frames[qMin(failing + 1, frames.size() - 1)].toHex(' ').toStdString();
    } else {
        EXPECT_TRUE(frames.isEmpty());
    }

    // A reconnect, and the window's read works again.
    if (const auto known = stopIfKnown(Check::Reconnect))
        GTEST_SKIP() << *known;
    simulator->clearFaults();
    if (!fault.kind) {
        const sim::Options o = simulator->options();
        simulator.reset();
        simulator = std::make_unique<sim::Simulator>(o);
        QString error;
        ASSERT_TRUE(simulator->start(&error)) << error.toStdString();
    }
    connectTool();
    ASSERT_TRUE(w.link.connectedState()) << messageList().toStdString();
    ui.clearMessages();
    op.readAgain(c);
    EXPECT_TRUE(ui.messages.isEmpty()) << messageList().toStdString();
    EXPECT_TRUE(w.link.connectedState());
    EXPECT_TRUE(op.readItem(w)->isEnabled());
    EXPECT_EQ(ui.busyDepth, 0);
}

std::string CellName(const ::testing::TestParamInfo<Cell>& info) {
    return std::string(std::get<0>(info.param).name) + "_" + std::get<1>(info.param).name;
}

INSTANTIATE_TEST_SUITE_P(Windows, FaultMatrix,
                         ::testing::Combine(::testing::ValuesIn(Operations),
                                            ::testing::ValuesIn(Faults)),
                         CellName);

} // namespace
