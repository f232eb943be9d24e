// zra-cli: its command line, its reads beside the windows' own, and the
// program itself against the simulator.
#include "cli/CommandLine.h"
#include "cli/Output.h"
#include "cli/ViewReads.h"
#include "config/TFkonfig.h"
#include "link/AlarmTexts.h"
#include "log/TFlog.h"
#include "main/Snapshots.h"
#include "main/Startup.h"
#include "main/TFmain.h"
#include "tests/support/SimFixture.h"
#include "ui/TextGrid.h"
#include "views/TFacgroup.h"
#include "views/TFdcgroup.h"
#include "views/TFfaze.h"
#include "views/TFmoduly.h"

#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QTemporaryDir>
#include <csignal>

using namespace zra;
using namespace zra::cli;
using namespace zra::test;

namespace {

QStringList Args(std::initializer_list<const char*> words) {
    QStringList out{"zra-cli"};
    for (const char* w : words)
        out << QString::fromUtf8(w);
    return out;
}

TEST(CliCommandLine, TheDocumentedForm) {
    CommandLine l;
    QString error;
    ASSERT_TRUE(ParseCommandLine(
        Args({"--address", "127.0.0.9", "--unit", "7", "--login", "servis:ta:jn", "read", "modules",
              "main", "modules", "--format", "json", "--append", "f.ZRD", "--every", "60"}),
        &l, &error))
        << error.toStdString();
    EXPECT_EQ(l.address, "127.0.0.9");
    EXPECT_EQ(l.unit, 7);
    ASSERT_TRUE(l.login);
    EXPECT_EQ(l.login->user, "servis");
    EXPECT_EQ(l.login->password, "ta:jn") << "the first colon ends the name";
    EXPECT_EQ(l.views, (QList<View>{View::Modules, View::Main})) << "each view once";
    EXPECT_EQ(l.format, Format::Json);
    EXPECT_EQ(l.appendFile, "f.ZRD");
    EXPECT_EQ(l.everySeconds, 60);

    ASSERT_TRUE(
        ParseCommandLine(Args({"read", "log", "all", "--address", "10.0.0.1"}), &l, &error));
    EXPECT_EQ(l.views, (QList<View>{View::Log, View::Main, View::Alarms, View::Modules,
                                    View::Phases, View::Ac, View::Dc, View::Config}));
    EXPECT_EQ(l.unit, 1);
    EXPECT_EQ(l.format, Format::Text);
    EXPECT_FALSE(l.login);
    EXPECT_EQ(l.everySeconds, 0);
}

TEST(CliCommandLine, BadUsageSaysWhy) {
    const std::pair<QStringList, const char*> cases[] = {
        {Args({"--address", "127.0.0.9"}), "nothing to do"},
        {Args({"--address", "127.0.0.9", "write", "main"}), "unknown command \"write\""},
        {Args({"--address", "127.0.0.9", "read"}), "name at least one view"},
        {Args({"--address", "127.0.0.9", "read", "moduly"}), "unknown view \"moduly\""},
        {Args({"read", "main"}), "--address is missing"},
        {Args({"--address", "localhost", "read", "main"}), "is not an IPv4 address"},
        {Args({"--address", "127.0.0.9", "--unit", "0", "read", "main"}), "--unit"},
        {Args({"--address", "127.0.0.9", "--unit", "256", "read", "main"}), "--unit"},
        {Args({"--address", "127.0.0.9", "--login", "servis", "read", "main"}), "USER:PASSWORD"},
        {Args({"--address", "127.0.0.9", "--login", "devitiznaku:x", "read", "main"}), "at most 8"},
        {Args({"--address", "127.0.0.9", "--format", "xml", "read", "main"}), "--format"},
        {Args({"--address", "127.0.0.9", "--every", "0", "read", "main"}), "--every"},
        {Args({"--address", "127.0.0.9", "--unit", "2", "--unit", "3", "read", "main"}),
         "more than once"},
        {Args({"--address", "127.0.0.9", "--bogus", "read", "main"}), "bogus"},
    };
    for (const auto& [arguments, reason] : cases) {
        CommandLine l;
        QString error;
        EXPECT_FALSE(ParseCommandLine(arguments, &l, &error)) << arguments.join(' ').toStdString();
        EXPECT_TRUE(error.contains(QString::fromUtf8(reason)))
            << arguments.join(' ').toStdString() << ": " << error.toStdString();
    }
}

TEST(CliOutput, JsonTextAndCsvOfARound) {
    store::SnapshotTable modules(3, 3);
    const QStringList cells = {"", "Modul 1", "Modul 2", "Stav", "ON", "OFF", "Výkon", "1,5", "0"};
    modules.cells = cells;
    store::SnapshotTable config(10, 2);
    for (const auto& [c, text] : std::vector<std::pair<int, QString>>{
             {0, "12"}, {1, "Napětí  "}, {2, "54,5"}, {3, "OK"}, {4, "3"}, {5, "V"}, {9, "10"}})
        config.set(c, 1, text);
    const Round round{"127.0.0.9",
                      2,
                      QDateTime(QDate(2026, 12, 9), QTime(10, 0)),
                      {{View::Modules, modules}, {View::Config, config}}};

    const QJsonObject o = QJsonDocument::fromJson(JsonRound(round)).object();
    EXPECT_EQ(o["address"], "127.0.0.9");
    EXPECT_EQ(o["unit"], 2);
    EXPECT_TRUE(o["time"].toString().startsWith("2026-12-09T10:00:00"));
    const QJsonObject m = o["views"]["modules"].toObject();
    EXPECT_EQ(m["columns"], (QJsonArray{"Modul 1", "Modul 2"}));
    EXPECT_EQ(m["rows"], (QJsonArray{"Stav", "Výkon"}));
    EXPECT_EQ(m["cells"], (QJsonArray{QJsonArray{"ON", "OFF"}, QJsonArray{"1,5", "0"}}));
    const QJsonObject v = o["views"]["config"][0].toObject();
    EXPECT_EQ(v["number"], 12);
    EXPECT_EQ(v["name"], "Napětí") << "trailing blanks cut";
    EXPECT_EQ(v["value"].toDouble(), 54.5) << "a Czech decimal comma read as a number";
    EXPECT_EQ(v["valueText"], "54,5");
    EXPECT_EQ(v["unit"], "V");
    EXPECT_EQ(v["multiplier"], 10);

    const QString text = QString::fromUtf8(TextRound(round));
    EXPECT_TRUE(text.startsWith("== modules (127.0.0.9, unit 2, 2026-12-09T10:00:00"))
        << text.toStdString();
    EXPECT_TRUE(text.contains("\nStav   ON       OFF\n")) << "columns aligned";

    const QByteArray first = CsvRound(round, true), later = CsvRound(round, false);
    EXPECT_TRUE(first.startsWith("\xEF\xBB\xBF;Modul 1;Modul 2\r\n")) << first.toStdString();
    EXPECT_TRUE(later.startsWith("\r\n;Modul 1")) << "no second byte-order mark";
}

// The tables the program reads are the tables the windows show after their
// own reads of the same installation.
TEST(CliReads, EveryViewAsItsWindowShowsIt) {
    RecordingUi ui;
    sim::Options o;
    o.frozen = true;
    auto simulator = StartSimulator(o);
    std::map<View, store::SnapshotTable> shown;
    {
        main::Windows w;
        w.link.hostText = [&] { return simulator->address(); };
        w.link.ConnectCommand();
        ASSERT_TRUE(w.link.connectedState());
        w.Fmain->TBXnactivseClick();
        w.Flog->TBXnactiClick();
        ASSERT_TRUE(ui.messages.isEmpty()) << ui.messages.join(" | ").toStdString();
        const std::pair<View, ui::TextGrid*> grids[] = {
            {View::Main, w.Fmain->SG_main},     {View::Alarms, w.Fmain->SG_alarm},
            {View::Modules, w.Fmoduly->SG_mod}, {View::Phases, w.Ffaze->SG_faze},
            {View::Ac, w.Facgroup->SG_AC},      {View::Dc, w.Fdcgroup->SG_DC},
            {View::Log, w.Flog->SG_log},        {View::Config, w.Fkonfig->SG_konfig}};
        for (const auto& [view, grid] : grids)
            shown[view] = main::SnapshotCommands::TableOf(*grid);
    }
    link::DeviceLink link;
    link::DeviceClient client(link);
    link::AlarmDescriptions descriptions(client);
    link.hostText = [&] { return simulator->address(); };
    link.ConnectCommand();
    ASSERT_TRUE(link.connectedState());
    const auto tables =
        ReadViews(client, descriptions, QList<View>(std::begin(AllViews), std::end(AllViews)));
    ASSERT_TRUE(tables);
    ASSERT_EQ(tables->size(), 8);
    for (const ViewTable& t : *tables) {
        EXPECT_EQ(t.table, shown[t.view]) << ViewName(t.view).toStdString();
        EXPECT_GT(t.table.rows, 1) << ViewName(t.view).toStdString() << " holds rows";
    }
    EXPECT_TRUE(ui.messages.isEmpty()) << ui.messages.join(" | ").toStdString();
}

// The program as scripts run it: a child process with a time limit.
struct Ran {
    int status = -1;
    QByteArray out, err;
};

Ran RunCli(const QStringList& arguments, int limitMs = 20000) {
    QProcess p;
    p.start(QStringLiteral(ZRA_CLI_PROGRAM), arguments);
    Ran r;
    if (!p.waitForStarted(5000)) {
        ADD_FAILURE() << "zra-cli did not start";
        return r;
    }
    if (!p.waitForFinished(limitMs)) {
        ADD_FAILURE() << "zra-cli did not end within " << limitMs << " ms";
        p.kill();
        p.waitForFinished(2000);
    }
    r.status = p.exitStatus() == QProcess::NormalExit ? p.exitCode() : -1;
    r.out = p.readAllStandardOutput();
    r.err = p.readAllStandardError();
    return r;
}

class CliProgram : public ::testing::Test {
protected:
    void start(sim::Options o = {}) {
        o.frozen = true;
        simulator = StartSimulator(o);
    }
    QStringList to(std::initializer_list<const char*> words) const {
        QStringList out{"--address", simulator->address()};
        for (const char* w : words)
            out << QString::fromUtf8(w);
        return out;
    }
    QString file(const char* name) const { return dir.filePath(QString::fromLatin1(name)); }
    std::unique_ptr<sim::Simulator> simulator;
    QTemporaryDir dir;
};

TEST_F(CliProgram, ReadsPrintsAndAppendsASnapshotTheToolOpens) {
    start();
    const QString snapshots = file("log.ZRD");
    const Ran r =
        RunCli(to({"read", "main", "modules", "--format", "json", "--append"}) << snapshots);
    ASSERT_EQ(r.status, Success) << r.err.toStdString();
    EXPECT_TRUE(r.err.isEmpty()) << r.err.toStdString();
    ASSERT_TRUE(r.out.endsWith('\n'));
    EXPECT_EQ(r.out.count('\n'), 1) << "one line per round";
    const QJsonObject o = QJsonDocument::fromJson(r.out).object();
    EXPECT_EQ(o["address"], simulator->address());
    EXPECT_EQ(o["views"].toObject().keys(), (QStringList{"main", "modules"}));
    EXPECT_EQ(o["views"]["main"]["columns"], QJsonArray{"Hodnota"});

    std::vector<store::ViewKind> kinds;
    QString error;
    ASSERT_TRUE(store::LoadSnapshots(
        snapshots, 0, std::nullopt,
        [&](store::ViewKind kind, double, const store::SnapshotTable& t) {
            kinds.push_back(kind);
            if (kind == store::ViewKind::Moduly) {
                EXPECT_EQ(t.at(1, 0), "Modul 1");
            }
        },
        &error))
        << error.toStdString();
    EXPECT_EQ(kinds, (std::vector{store::ViewKind::Main, store::ViewKind::Moduly}));

    const Ran text = RunCli(to({"read", "phases"}));
    ASSERT_EQ(text.status, Success) << text.err.toStdString();
    EXPECT_TRUE(text.out.startsWith("== phases (" + simulator->address().toUtf8() + ", unit 1, "))
        << text.out.toStdString();
}

TEST_F(CliProgram, EachKindOfFailureHasItsExitStatus) {
    sim::Options o;
    o.loginRequired = true;
    start(o);
    QFile notSnapshots(file("poznamky.txt"));
    ASSERT_TRUE(notSnapshots.open(QIODevice::WriteOnly));
    notSnapshots.write("poznámky\n");
    notSnapshots.close();
    const QStringList nobody = {"--address", NextLoopbackAddress(), "read", "main"};
    const std::pair<QStringList, int> cases[] = {
        {to({"read"}), BadUsage},
        {nobody, NoConnection},
        {to({"read", "main"}), LoginRefused},
        {to({"--login", "admin:spatne", "read", "main"}), LoginRefused},
        {to({"--login", "admin:zra", "read", "main", "--append"}) << notSnapshots.fileName(),
         BadFile},
        {to({"--login", "admin:zra", "read", "main", "--append"}) << file("chybi/x.ZRD"), BadFile},
        {to({"--login", "admin:zra", "--unit", "1", "read", "modules"}), Success},
    };
    for (const auto& [arguments, status] : cases) {
        const Ran r = RunCli(arguments);
        EXPECT_EQ(r.status, status) << arguments.join(' ').toStdString();
        if (status != Success) {
            EXPECT_TRUE(r.err.startsWith("zra-cli: ")) << r.err.toStdString();
        }
    }
    simulator->clearRecords();
    RunCli(to({"--login", "admin:zra", "read", "main", "--append"}) << notSnapshots.fileName());
    EXPECT_TRUE(simulator->modbusFrames().isEmpty()) << "a bad file fails before any read";

    sim::Fault refused;
    refused.kind = sim::FaultKind::Exception;
    refused.exceptionCode = 2;
    simulator->addFault(refused);
    const Ran failed = RunCli(to({"--login", "admin:zra", "read", "main"}));
    EXPECT_EQ(failed.status, ExchangeFailed);
    EXPECT_TRUE(failed.out.isEmpty()) << "nothing printed of a round that failed";
    EXPECT_TRUE(failed.err.contains("Chyba v komunikaci")) << failed.err.toStdString();
}

TEST_F(CliProgram, RepeatsEveryNSecondsUntilItIsStopped) {
    start();
    QProcess p;
    p.start(QStringLiteral(ZRA_CLI_PROGRAM),
            to({"read", "alarms", "--format", "csv", "--every", "1", "--append"})
                << file("trend.ZRD"));
    ASSERT_TRUE(p.waitForStarted(5000));
    QByteArray out;
    QElapsedTimer t;
    t.start();
    while (out.count("\xEF\xBB\xBF#;Dev;Typ;Alarm") + out.count("\r\n\r\n#;Dev;Typ;Alarm") < 2 &&
           t.elapsed() < 10000) {
        p.waitForReadyRead(500);
        out += p.readAllStandardOutput();
    }
    EXPECT_GE(t.elapsed(), 900) << "the second round waits its second";
    ::kill(pid_t(p.processId()), SIGTERM);
    ASSERT_TRUE(p.waitForFinished(5000));
    EXPECT_EQ(p.exitCode(), Success);
    EXPECT_EQ(out.count("\xEF\xBB\xBF"), 1) << "one byte-order mark at the start";
    int records = 0;
    QString error;
    ASSERT_TRUE(store::LoadSnapshots(
        file("trend.ZRD"), 0, std::nullopt,
        [&](store::ViewKind, double, const store::SnapshotTable&) { ++records; }, &error));
    EXPECT_GE(records, 2);
}

} // namespace
