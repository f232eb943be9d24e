// zra-cli: its command line, its reads beside the windows' own, and the
// program itself against the simulator.
#include "app/Startup.h"
#include "cli/CommandLine.h"
#include "cli/Output.h"
#include "cli/Session.h"
#include "cli/ViewReads.h"
#include "config/TFkonfig.h"
#include "link/AlarmTexts.h"
#include "log/TFlog.h"
#include "main/Snapshots.h"
#include "main/TFmain.h"
#include "store/ToolFiles.h"
#include "tests/support/RunProgram.h"
#include "tests/support/SimFixture.h"
#include "ui/TextGrid.h"
#include "views/TFacgroup.h"
#include "views/TFdcgroup.h"
#include "views/TFfaze.h"
#include "views/TFmoduly.h"

#include <QBuffer>
#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <csignal>

using namespace zra;
using namespace zra::cli;
using namespace zra::test;
using zra::store::ViewKind;

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
    ASSERT_TRUE(
        ParseCommandLine(Args({"--address", "127.0.0.9", "--unit", "7", "--login", "servis:ta:jn",
                               "read", "modules", "main", "modules", "--format", "json", "--append",
                               "f.ZRD", "--every", "60", "--max-failures", "3"}),
                         &l, &error))
        << error.toStdString();
    EXPECT_EQ(l.address, "127.0.0.9");
    EXPECT_EQ(l.unit, 7);
    ASSERT_TRUE(l.login);
    EXPECT_EQ(l.login->user, "servis");
    EXPECT_EQ(l.login->password, "ta:jn") << "the first colon ends the name";
    EXPECT_EQ(l.views, (QList<ViewKind>{ViewKind::Moduly, ViewKind::Main})) << "each view once";
    EXPECT_EQ(l.format, Format::Json);
    EXPECT_EQ(l.appendFile, "f.ZRD");
    EXPECT_EQ(l.everySeconds, 60);
    EXPECT_EQ(l.maxFailures, 3);

    ASSERT_TRUE(
        ParseCommandLine(Args({"read", "log", "all", "--address", "10.0.0.1"}), &l, &error));
    EXPECT_EQ(l.views, (QList<ViewKind>{ViewKind::Log, ViewKind::Main, ViewKind::Alarm,
                                        ViewKind::Moduly, ViewKind::Faze, ViewKind::AcGroup,
                                        ViewKind::DcGroup, ViewKind::Konfig}));
    EXPECT_EQ(l.unit, 1);
    EXPECT_EQ(l.format, Format::Text);
    EXPECT_FALSE(l.login);
    EXPECT_EQ(l.everySeconds, 0);
    EXPECT_EQ(l.maxFailures, 0) << "no limit";

    const QString help = UsageText();
    for (const char* documented : {"--login-file FILE", "--max-failures N", "\n  7  "})
        EXPECT_TRUE(help.contains(documented)) << documented;
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
        {Args({"--address", "127.0.0.9", "--login", "a:b", "--login-file", "f", "read", "main"}),
         "not both"},
        {Args({"--address", "127.0.0.9", "--max-failures", "2", "read", "main"}), "with --every"},
        {Args({"--address", "127.0.0.9", "--every", "5", "--max-failures", "0", "read", "main"}),
         "--max-failures"},
    };
    for (const auto& [arguments, reason] : cases) {
        CommandLine l;
        QString error;
        EXPECT_FALSE(ParseCommandLine(arguments, &l, &error)) << arguments.join(' ').toStdString();
        EXPECT_TRUE(error.contains(QString::fromUtf8(reason)))
            << arguments.join(' ').toStdString() << ": " << error.toStdString();
    }
}

TEST(CliCommandLine, TheLoginFileHoldsUserAndPasswordOnItsFirstLine) {
    // The content, and the name/password read or the reason of the refusal.
    const std::tuple<QByteArray, bool, const char*> cases[] = {
        {"servis:ta:jn\n", true, "servis/ta:jn"},
        {"servis:heslo\r\nadmin:zra\n", true, "servis/heslo"},
        {"servis: heslo ", true, "servis/ heslo "}, // no line end; blanks belong to the password
        {"servis:\n", true, "servis/"},
        {"", false, "the first line is not USER:PASSWORD"},
        {"\nservis:heslo\n", false, "the first line is not USER:PASSWORD"},
        {"servis\n", false, "the first line is not USER:PASSWORD"},
        {"devitiznaku:x\n", false, "at most 8"},
        {"servis:\xFF\n", false, "not UTF-8"},
    };
    for (const auto& [content, valid, expected] : cases) {
        QByteArray bytes = content;
        QBuffer buffer(&bytes);
        buffer.open(QIODevice::ReadOnly);
        Login login;
        QString error;
        const bool read = ReadLogin(buffer, "login.txt", &login, &error);
        EXPECT_EQ(read, valid) << content.toStdString();
        if (read) {
            EXPECT_EQ(login.user + '/' + login.password, QString::fromUtf8(expected));
        } else {
            EXPECT_TRUE(error.startsWith("--login-file \"login.txt\": ")) << error.toStdString();
            EXPECT_TRUE(error.contains(QString::fromUtf8(expected))) << error.toStdString();
        }
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
                      {{ViewKind::Moduly, modules}, {ViewKind::Konfig, config}}};

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

    // Each CSV row begins with the round's time and the view.
    const QByteArray first = CsvRound(round, true), later = CsvRound(round, false);
    const QByteArray time = IsoLocalTime(round.time).toUtf8();
    EXPECT_TRUE(first.startsWith("\xEF\xBB\xBF" + time + ";modules;;Modul 1;Modul 2\r\n" + time +
                                 ";modules;Stav;ON;OFF\r\n"))
        << first.toStdString();
    EXPECT_TRUE(first.contains("\r\n\r\n" + time + ";config;")) << "a blank line between tables";
    EXPECT_TRUE(later.startsWith("\r\n" + time + ";modules;;Modul 1"))
        << "no second byte-order mark";
}

// The tables the program reads are the tables the windows show after their
// own reads of the same installation.
TEST(CliReads, EveryViewAsItsWindowShowsIt) {
    RecordingUi ui;
    sim::Options o;
    o.frozen = true;
    auto simulator = StartSimulator(o);
    std::map<ViewKind, store::SnapshotTable> shown;
    {
        app::Windows w;
        w.link.setAddress(simulator->address());
        w.link.ConnectCommand();
        ASSERT_TRUE(w.link.connectedState());
        w.Fmain->TBXnactivseClick();
        w.Flog->TBXnactiClick();
        ASSERT_TRUE(ui.messages.isEmpty()) << ui.messages.join(" | ").toStdString();
        const std::pair<ViewKind, ui::TextGrid*> grids[] = {
            {ViewKind::Main, w.Fmain->SG_main},     {ViewKind::Alarm, w.Fmain->SG_alarm},
            {ViewKind::Moduly, w.Fmoduly->SG_mod},  {ViewKind::Faze, w.Ffaze->SG_faze},
            {ViewKind::AcGroup, w.Facgroup->SG_AC}, {ViewKind::DcGroup, w.Fdcgroup->SG_DC},
            {ViewKind::Log, w.Flog->SG_log},        {ViewKind::Konfig, w.Fkonfig->SG_konfig}};
        for (const auto& [view, grid] : grids)
            shown[view] = main::SnapshotCommands::TableOf(*grid);
    }
    link::DeviceLink link;
    link::DeviceClient client(link);
    link::AlarmDescriptions descriptions(client);
    link.setAddress(simulator->address());
    link.ConnectCommand();
    ASSERT_TRUE(link.connectedState());
    const auto tables = ReadViews(client, descriptions, AllViews());
    ASSERT_TRUE(tables);
    ASSERT_EQ(tables->size(), 8);
    for (const ViewTable& t : *tables) {
        EXPECT_EQ(t.table, shown[t.view]) << ViewName(t.view).toStdString();
        EXPECT_GT(t.table.rows, 1) << ViewName(t.view).toStdString() << " holds rows";
    }
    EXPECT_TRUE(ui.messages.isEmpty()) << ui.messages.join(" | ").toStdString();
}

// zra-cli as scripts run it: input goes to its standard input; output, when
// given, is the file its standard output writes to.
Ran RunCli(const QStringList& arguments, const QByteArray& input = {}, const QString& output = {}) {
    return test::RunProgram(QStringLiteral(ZRA_CLI_PROGRAM), arguments, input, output);
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
    QString fileHolding(const char* name, const QByteArray& content) const {
        QFile f(file(name));
        EXPECT_TRUE(f.open(QIODevice::WriteOnly) && f.write(content) == content.size());
        return f.fileName();
    }
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
    const QString notSnapshots = fileHolding("poznamky.txt", "poznámky\n");
    const QString login = fileHolding("login.txt", "admin:zra\n");
    const QString wrongLogin = fileHolding("spatne.txt", "admin:spatne\r\n");
    const QString noLogin = fileHolding("prazdny.txt", "");
    const QStringList nobody = {"--address", NextLoopbackAddress(), "read", "main"};
    // The arguments, the standard input, the status and what stderr says.
    const std::tuple<QStringList, QByteArray, int, const char*> cases[] = {
        {to({"read"}), {}, BadUsage, "read: name at least one view"},
        {nobody, {}, NoConnection, ""},
        {QStringList(nobody) << "--every"
                             << "1"
                             << "--max-failures"
                             << "2",
         {},
         NoConnection,
         "round failed (exit status 3), 2 in a row: giving up"},
        {to({"read", "main"}), {}, LoginRefused, "give --login"},
        {to({"--login", "admin:spatne", "read", "main"}), {}, LoginRefused, "špatné"},
        {to({"--login", "admin:zra", "read", "main", "--append"}) << notSnapshots, {}, BadFile, ""},
        {to({"--login", "admin:zra", "read", "main", "--append"}) << file("chybi/x.ZRD"),
         {},
         BadFile,
         "cannot be created"},
        {to({"--login", "admin:zra", "--unit", "1", "read", "modules"}), {}, Success, ""},
        {to({"read", "main", "--login-file"}) << login, {}, Success, ""},
        {to({"--login-file", "-", "read", "main"}), "admin:zra\n", Success, ""},
        {to({"read", "main", "--login-file"}) << wrongLogin, {}, LoginRefused, "špatné"},
        {to({"--login-file", "-", "read", "main"}), {}, BadUsage, "\"-\": the first line is not"},
        {to({"read", "main", "--login-file"}) << noLogin, {}, BadUsage, "the first line is not"},
        {to({"read", "main", "--login-file"}) << file("chybi.txt"), {}, BadUsage, "chybi.txt\": "},
    };
    for (const auto& [arguments, input, status, says] : cases) {
        const Ran r = RunCli(arguments, input);
        EXPECT_EQ(r.status, status) << arguments.join(' ').toStdString();
        if (status != Success) {
            EXPECT_TRUE(r.err.startsWith("zra-cli: ")) << r.err.toStdString();
            EXPECT_TRUE(r.err.contains(says)) << r.err.toStdString();
        }
    }
    simulator->clearRecords();
    RunCli(to({"--login", "admin:zra", "read", "main", "--append"}) << notSnapshots);
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

// A logger: it goes on through a restart of the installation (on the same
// address and ports) until a signal ends it.
TEST_F(CliProgram, RepeatsEveryNSecondsThroughARestartUntilItIsStopped) {
    start();
    QProcess p;
    p.start(QStringLiteral(ZRA_CLI_PROGRAM),
            to({"read", "alarms", "--format", "csv", "--every", "1", "--append"})
                << file("trend.ZRD"));
    ASSERT_TRUE(p.waitForStarted(5000));
    QByteArray out, err;
    // The time column of each round's title row of the alarm table.
    const auto rounds = [&] {
        QStringList times;
        for (const QByteArray& row : out.split('\n'))
            if (row.contains(";alarms;#;Dev;Typ;Alarm\r"))
                times << QString::fromUtf8(row).remove(QChar(0xFEFF)).section(';', 0, 0);
        return times;
    };
    const auto waitFor = [&](const std::function<bool()>& done) {
        QElapsedTimer t;
        t.start();
        while (!done() && p.state() == QProcess::Running && t.elapsed() < 15000) {
            p.waitForReadyRead(200);
            out += p.readAllStandardOutput();
            err += p.readAllStandardError();
        }
        return done();
    };
    const auto records = [&] {
        int n = 0;
        QString error;
        EXPECT_TRUE(store::LoadSnapshots(
            file("trend.ZRD"), 0, std::nullopt,
            [&](store::ViewKind, double, const store::SnapshotTable&) { ++n; }, &error))
            << error.toStdString();
        return n;
    };
    QElapsedTimer t;
    t.start();
    ASSERT_TRUE(waitFor([&] { return rounds().size() >= 2; })) << err.toStdString();
    EXPECT_GE(t.elapsed(), 900) << "the second round waits its second";
    EXPECT_NE(rounds()[0], rounds()[1]) << "each round's rows carry its time";
    EXPECT_TRUE(QDateTime::fromString(rounds()[0], Qt::ISODate).isValid())
        << rounds()[0].toStdString();

    const QString address = simulator->address();
    const quint16 modbusPort = simulator->modbusPort();
    simulator.reset();
    ASSERT_TRUE(waitFor([&] { return err.contains("round failed"); })) << "exit " << p.exitCode();
    const int before = records(); // every round before the failure has appended by now
    EXPECT_GE(before, 2);
    EXPECT_TRUE(
        QRegularExpression("^zra-cli: \\d{4}-\\d\\d-\\d\\dT[^ ]+: round failed \\(exit status "
                           "[35]\\), next in 1 s$",
                           QRegularExpression::MultilineOption)
            .match(QString::fromUtf8(err))
            .hasMatch())
        << err.toStdString();
    sim::Options o;
    o.address = address;
    o.modbusPort = modbusPort;
    o.frozen = true;
    simulator = std::make_unique<sim::Simulator>(o);
    QString error;
    ASSERT_TRUE(simulator->start(&error)) << error.toStdString();
    const qsizetype roundsBefore = rounds().size();
    ASSERT_TRUE(waitFor([&] { return rounds().size() > roundsBefore; })) << err.toStdString();

    ::kill(pid_t(p.processId()), SIGTERM);
    ASSERT_TRUE(p.waitForFinished(5000));
    EXPECT_EQ(p.exitCode(), Success);
    EXPECT_EQ(out.count("\xEF\xBB\xBF"), 1) << "one byte-order mark at the start";
    EXPECT_GT(records(), before) << "rounds after the restart are in the file too";
}

TEST_F(CliProgram, AFailedWriteEndsWithItsOwnStatus) {
    start();
    for (const QStringList& arguments : {to({"read", "main"}), QStringList{"--help"}}) {
        const Ran r = RunCli(arguments, {}, "/dev/full");
        EXPECT_EQ(r.status, WriteFailed) << arguments.join(' ').toStdString();
        EXPECT_TRUE(r.err.startsWith("zra-cli: the output cannot be written: "))
            << r.err.toStdString();
    }
    // The append file, checked before the first read, fails at its write.
    RecordingUi ui;
    CommandLine line;
    QString error;
    ASSERT_TRUE(ParseCommandLine(
        QStringList{"zra-cli", "read", "phases", "--append", file("x.ZRD")} + to({}), &line,
        &error));
    Session session(line);
    std::unique_ptr<std::FILE, int (*)(std::FILE*)> devNull(std::fopen("/dev/null", "w"),
                                                            &std::fclose);
    store::FailWriteAt = [](qint64) { return true; };
    EXPECT_EQ(session.round(devNull.get()), WriteFailed);
    store::FailWriteAt = nullptr;
    EXPECT_FALSE(ui.messages.isEmpty());
    EXPECT_EQ(session.round(devNull.get()), Success) << "the next round writes";
}

} // namespace
