// zra-cli export: metric names and units, the text format's escaping, the
// targets file, the command line and its failures, and the program itself
// against simulators, checked with promtool and scraped by a real Prometheus.
#include "cli/ExportCommand.h"
#include "export/Metrics.h"
#include "export/Targets.h"
#include "main/SystemDecode.h"
#include "main/SystemReads.h"
#include "tests/support/RunProgram.h"
#include "tests/support/SimFixture.h"
#include "views/GroupDecode.h"
#include "views/ModuleDecode.h"

#include <QDir>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QNetworkAccessManager>
#include <QNetworkReply>
#include <QProcess>
#include <QRegularExpression>
#include <QScopeGuard>
#include <QStandardPaths>
#include <QTcpServer>
#include <QTemporaryDir>
#include <QThread>
#include <QTimer>
#include <QUrlQuery>
#include <algorithm>
#include <map>
#include <set>

using namespace zra;
using namespace zra::exporter;
using namespace zra::test;
using store::ViewKind;

namespace {

TEST(ExportNames, EveryFamilyFollowsTheConventions) {
    const QRegularExpression name(QStringLiteral("^zra_[a-z0-9_]+$"));
    std::set<QByteArray> seen;
    for (const Family& f : Families()) {
        EXPECT_TRUE(name.match(QString::fromLatin1(f.name)).hasMatch()) << f.name.data();
        EXPECT_TRUE(seen.insert(f.name).second) << "twice: " << f.name.data();
        EXPECT_EQ(f.name.endsWith("_total"), f.type == MetricType::Counter) << f.name.data();
        EXPECT_FALSE(f.help.isEmpty()) << f.name.data();
        for (const char c : f.help)
            EXPECT_LT(uchar(c), 0x80) << "HELP in plain English: " << f.name.data();
    }
}

// Each mapped row exists in its read's table, and its unit (from the row
// title's words) is the one the metric's name ends with.
TEST(ExportNames, RowsExistAndUnitsMatchTheirTitles) {
    const std::map<ViewKind, QStringList> titles = {
        {ViewKind::Main, main::SystemRowTitles()},
        {ViewKind::Moduly, views::ModuleRowTitles()},
        {ViewKind::Faze, views::PhaseRowTitles()},
        {ViewKind::AcGroup, views::AcGroupRowTitles()},
        {ViewKind::DcGroup, views::DcGroupRowTitles()},
    };
    // The first marker a title holds decides; no marker: a plain count or state.
    const std::pair<const char*, const char*> units[] = {
        {"%", "_ratio"},       {"(K)", "_celsius"},     {"frequency", "_hertz"},
        {"voltage", "_volts"}, {"current", "_amperes"}, {"(VA)", "_voltamperes"},
        {"(W)", "_watts"},     {"counter", "_total"},
    };
    int mapped = 0;
    for (const RowSource& s : RowSources()) {
        EXPECT_TRUE(titles.at(s.view).contains(s.rowTitle)) << s.rowTitle.toStdString();
        const char* suffix = nullptr;
        for (const auto& [marker, unit] : units)
            if (!suffix && s.rowTitle.contains(QLatin1String(marker), Qt::CaseInsensitive))
                suffix = unit;
        if (suffix) {
            EXPECT_TRUE(s.family.endsWith(suffix))
                << s.rowTitle.toStdString() << " -> " << s.family.data();
        }
        EXPECT_GE(FamilyIndex(s.family), 0);
        ++mapped;
    }
    EXPECT_GE(mapped, 80);
}

TEST(ExportFormat, EscapesLabelsHelpAndValues) {
    const std::pair<QString, QString> labels[] = {
        {QStringLiteral("Výpadek sítě AC"), QStringLiteral("Výpadek sítě AC")},
        {QStringLiteral("a\\b"), QStringLiteral("a\\\\b")},
        {QStringLiteral("\"x\""), QStringLiteral("\\\"x\\\"")},
        {QStringLiteral("one\ntwo"), QStringLiteral("one\\ntwo")},
        {QStringLiteral("tab\there "), QStringLiteral("tab\there ")},
    };
    for (const auto& [value, escaped] : labels)
        EXPECT_EQ(EscapeLabelValue(value), escaped) << value.toStdString();
    EXPECT_EQ(EscapeHelp("a\\b\nc \"d\""), QByteArray("a\\\\b\\nc \"d\""));
    const std::pair<double, const char*> values[] = {
        {230, "230"},    {0.45, "0.45"},   {-0.5, "-0.5"},   {34.85, "34.85"},
        {1e21, "1e+21"}, {qQNaN(), "NaN"}, {qInf(), "+Inf"}, {-qInf(), "-Inf"},
    };
    for (const auto& [value, text] : values)
        EXPECT_EQ(ValueText(value), QByteArray(text));
}

// Tables as the reads fill them, by hand: the decimal separator of either
// locale, the unit conversions, the alarm's texts, and a cell that is no number.
TEST(ExportFormat, TablesBecomeSamples) {
    reads::ReadTables tables;
    store::SnapshotTable modules = reads::WithRowTitles(views::ModuleRowTitles());
    modules.resize(3, modules.rows);
    const auto row = [&](const char* title) {
        return int(views::ModuleRowTitles().indexOf(QString::fromUtf8(title))) + 1;
    };
    modules.set(1, row("Output voltage value (0.1V)"), QStringLiteral("230,5"));
    modules.set(2, row("Output voltage value (0.1V)"), QStringLiteral("229.9"));
    modules.set(1, row("Temperature value (K)"), QStringLiteral("308"));
    modules.set(1, row("Loading ratio regarding power in watts (%)"), QStringLiteral("45"));
    modules.set(2, row("Output power value (W)"), QStringLiteral("x12"));
    modules.set(1, row("AC output status"), QStringLiteral("SBR"));
    tables[ViewKind::Moduly] = modules;
    store::SnapshotTable alarms = reads::WithColumnTitles(main::AlarmColumnTitles(), 3);
    for (int c = 0; c < 4; ++c) {
        alarms.set(c, 1, QStringList{"1", "K3D", "MAJOR", "31 Výpadek \"sítě\" AC"}[c]);
        alarms.set(c, 2, QStringList{"2", "Mod.5", "MINOR", "120 Porucha ventil."}[c]);
    }
    tables[ViewKind::Alarm] = alarms;

    FamilyLines lines;
    AddTableMetrics(tables, {{"installation", QStringLiteral("127.0.0.7")}, {"unit", "1"}}, lines);
    const QByteArray text = Exposition({&lines});
    for (const char* sample : {
             "zra_module_output_volts{installation=\"127.0.0.7\",unit=\"1\",module=\"1\"} 230.5\n",
             "zra_module_output_volts{installation=\"127.0.0.7\",unit=\"1\",module=\"2\"} 229.9\n",
             "zra_module_temperature_celsius{installation=\"127.0.0.7\",unit=\"1\",module=\"1\"} "
             "34.85\n",
             "zra_module_load_watts_ratio{installation=\"127.0.0.7\",unit=\"1\",module=\"1\"} "
             "0.45\n",
             "zra_module_status_info{installation=\"127.0.0.7\",unit=\"1\",module=\"1\","
             "ac_output=\"SBR\",ac_input=\"\",dc_input=\"\"} 1\n",
             "zra_alarm_active{installation=\"127.0.0.7\",unit=\"1\",code=\"31\",source=\"K3D\","
             "level=\"MAJOR\",description=\"Výpadek \\\"sítě\\\" AC\"} 1\n",
             "zra_alarm_active{installation=\"127.0.0.7\",unit=\"1\",code=\"120\","
             "source=\"Mod.5\",level=\"MINOR\",description=\"Porucha ventil.\"} 1\n",
             "# HELP zra_module_output_volts Output voltage.\n# TYPE zra_module_output_volts "
             "gauge\nzra_module_output_volts{",
         })
        EXPECT_TRUE(text.contains(sample)) << sample << "\nin:\n" << text.toStdString();
    EXPECT_FALSE(text.contains("zra_module_output_watts{")) << "neither empty nor bad cells";
    EXPECT_EQ(text.count("# TYPE zra_alarm_active gauge"), 1);
}

TEST(ExportTargets, TheFileListsAddressAndUnit) {
    QList<Target> targets;
    QString error;
    ASSERT_TRUE(ParseTargets(QStringLiteral("# plant A\n127.0.0.2\n\n  127.0.0.3 , 7  # north\n"
                                            "zra-north.example.org,2\r\n127.0.0.2,9\n"),
                             QStringLiteral("t"), 4, &targets, &error))
        << error.toStdString();
    EXPECT_EQ(targets, (QList<Target>{{"127.0.0.2", 4, {}},
                                      {"127.0.0.3", 7, {}},
                                      {"zra-north.example.org", 2, {}},
                                      {"127.0.0.2", 9, {}}}));
    const std::pair<const char*, const char*> bad[] = {
        {"127.0.0.2\n127.0.0.3,0\n", "t:2: the unit \"0\""},
        {"127.0.0.2,256", "t:1: the unit \"256\""},
        {"127.0.0.2,1,2", "t:1: \"127.0.0.2,1,2\" is not address[,unit]"},
        {"\n\nzra north\n", "t:3: \"zra north\" is not a host name"},
        {"127.0.0.2\n127.0.0.2,1\n", "t:2: 127.0.0.2 unit 1 is given twice"},
        {",3", "t:1: \"\" is not a host name"},
        {"# nothing\n\n", "t: no target"},
    };
    for (const auto& [text, reason] : bad) {
        EXPECT_FALSE(
            ParseTargets(QString::fromUtf8(text), QStringLiteral("t"), 1, &targets, &error))
            << text;
        EXPECT_TRUE(error.startsWith(QString::fromUtf8(reason)))
            << text << ": " << error.toStdString();
    }
}

QStringList Export(std::initializer_list<const char*> words) {
    QStringList out{"zra-cli", "export"};
    for (const char* w : words)
        out << QString::fromUtf8(w);
    return out;
}

TEST(ExportCommandLine, TheDocumentedFormAndItsErrors) {
    cli::ExportLine l;
    QString error;
    ASSERT_TRUE(cli::ParseExportLine(Export({"--listen", "127.0.0.1:9761", "--address", "127.0.0.2",
                                             "--address", "zra.example.org", "--unit", "3",
                                             "--every", "10", "--views", "modules,main,modules"}),
                                     &l, &error))
        << error.toStdString();
    EXPECT_EQ(l.listenHost, "127.0.0.1");
    EXPECT_EQ(l.listenPort, 9761);
    EXPECT_EQ(l.targets, (QList<Target>{{"127.0.0.2", 3, {}}, {"zra.example.org", 3, {}}}));
    EXPECT_EQ(l.everySeconds, 10);
    EXPECT_EQ(l.views, (QList<ViewKind>{ViewKind::Moduly, ViewKind::Main}));
    ASSERT_TRUE(
        cli::ParseExportLine(Export({"--listen", "[::1]:0", "--targets", "f"}), &l, &error));
    EXPECT_EQ(l.listenHost, "::1");
    EXPECT_EQ(l.everySeconds, 30);
    EXPECT_EQ(l.views, cli::ExportableViews());

    const std::pair<QStringList, const char*> cases[] = {
        {Export({"--address", "127.0.0.2"}), "--listen HOST:PORT is missing"},
        {Export({"--listen", "127.0.0.1", "--address", "127.0.0.2"}), "--listen takes HOST:PORT"},
        {Export({"--listen", "127.0.0.1:65536", "--address", "127.0.0.2"}), "--listen takes"},
        {Export({"--listen", "a b:80", "--address", "127.0.0.2"}), "--listen takes"},
        {Export({"--listen", "127.0.0.1:9761"}), "give --address A"},
        {Export({"--listen", "127.0.0.1:9761", "--address", "127.0.0.2", "--targets", "f"}),
         "not both"},
        {Export({"--listen", "127.0.0.1:9761", "--address", "127.0.0.2", "--address", "127.0.0.2"}),
         "given twice"},
        {Export({"--listen", "127.0.0.1:9761", "--address", "x_y"}), "not a host name"},
        {Export({"--listen", "127.0.0.1:9761", "--address", "127.0.0.2", "--views", "main,log"}),
         "not \"log\""},
        {Export({"--listen", "127.0.0.1:9761", "--address", "127.0.0.2", "--every", "0"}),
         "--every"},
        {Export({"--listen", "127.0.0.1:9761", "--address", "127.0.0.2", "--unit", "256"}),
         "--unit"},
        {Export({"--listen", "127.0.0.1:9761", "--address", "127.0.0.2", "--login", "a:b"}),
         "login"},
        {Export({"--listen", "127.0.0.1:9761", "--address", "127.0.0.2", "now"}), "no words"},
    };
    for (const auto& [arguments, reason] : cases) {
        EXPECT_FALSE(cli::ParseExportLine(arguments, &l, &error))
            << arguments.join(' ').toStdString();
        EXPECT_TRUE(error.contains(QString::fromUtf8(reason)))
            << arguments.join(' ').toStdString() << ": " << error.toStdString();
    }
}

// --- The program against simulators ---

Ran RunCli(const QStringList& arguments, int limitMs = 20000) {
    return test::RunProgram(QStringLiteral(ZRA_CLI_PROGRAM), arguments, {}, {}, limitMs);
}

// A GET with a time limit; empty when it fails.
QByteArray Get(const QString& url, int limitMs = 5000) {
    QNetworkAccessManager manager;
    QNetworkReply* reply = manager.get(QNetworkRequest(QUrl(url)));
    QEventLoop loop;
    QObject::connect(reply, &QNetworkReply::finished, &loop, &QEventLoop::quit);
    QTimer::singleShot(limitMs, &loop, &QEventLoop::quit);
    loop.exec();
    const QByteArray body = reply->isFinished() && reply->error() == QNetworkReply::NoError
                                ? reply->readAll()
                                : QByteArray();
    reply->abort();
    reply->deleteLater();
    return body;
}

// Waits (bounded) until check() holds, keeping the event loop running.
bool WaitFor(const std::function<bool()>& check, int limitMs) {
    QElapsedTimer t;
    t.start();
    while (!check()) {
        if (t.elapsed() > limitMs)
            return false;
        QEventLoop loop;
        QTimer::singleShot(200, &loop, &QEventLoop::quit);
        loop.exec();
    }
    return true;
}

quint16 FreePort() {
    QTcpServer probe;
    probe.listen(QHostAddress::LocalHost, 0);
    return probe.serverPort();
}

// `zra-cli export` as a child process; its listen port from its first line.
class ExporterProcess {
public:
    explicit ExporterProcess(const QStringList& arguments) {
        m_process.start(QStringLiteral(ZRA_CLI_PROGRAM),
                        QStringList{"export", "--listen", "127.0.0.1:0"} + arguments);
        const QRegularExpression serving(QStringLiteral("serving http://127.0.0.1:(\\d+)/metrics"));
        WaitFor(
            [&] {
                m_err += m_process.readAllStandardError();
                if (const auto m = serving.match(QString::fromUtf8(m_err)); m.hasMatch())
                    port = quint16(m.captured(1).toUInt());
                return port != 0 || m_process.state() == QProcess::NotRunning;
            },
            10000);
        EXPECT_NE(port, 0) << "the exporter did not serve: " << m_err.toStdString();
    }
    ~ExporterProcess() {
        m_process.terminate(); // SIGTERM to its own pid
        if (!m_process.waitForFinished(10000)) {
            ADD_FAILURE() << "the exporter did not end on SIGTERM";
            m_process.kill();
            m_process.waitForFinished(2000);
        }
        EXPECT_EQ(m_process.exitCode(), 0) << m_err.toStdString();
    }
    QString url(const char* path) const {
        return QStringLiteral("http://127.0.0.1:%1%2").arg(port).arg(QLatin1String(path));
    }
    QByteArray metrics() const { return Get(url("/metrics")); }
    QByteArray stderrText() {
        m_err += m_process.readAllStandardError();
        return m_err;
    }
    // The environment the exporter runs with, as the system shows it.
    QByteArrayList environment() const {
        QFile file(QStringLiteral("/proc/%1/environ").arg(m_process.processId()));
        return file.open(QIODevice::ReadOnly) ? file.readAll().split('\0') : QByteArrayList();
    }
    quint16 port = 0;

private:
    QProcess m_process;
    QByteArray m_err;
};

// The value of one sample of an exposition (the family with exactly these
// labels before the rest); nothing when it is not there.
std::optional<double> Sample(const QByteArray& text, const QString& family, const QString& labels) {
    const QRegularExpression line(
        QStringLiteral("^%1\\{%2[,}].* (\\S+)$")
            .arg(QRegularExpression::escape(family), QRegularExpression::escape(labels)),
        QRegularExpression::MultilineOption);
    const auto m = line.match(QString::fromUtf8(text));
    if (!m.hasMatch())
        return std::nullopt;
    return m.captured(1).toDouble();
}

QString Installation(const sim::Simulator& s) {
    return QStringLiteral("installation=\"%1\"").arg(s.address());
}

TEST(ExportProgram, FailuresAreToldBeforeAnythingStarts) {
    auto sim = StartSimulator();
    QTemporaryDir dir;
    QFile bad(dir.filePath("targets"));
    ASSERT_TRUE(bad.open(QIODevice::WriteOnly));
    bad.write("# plant\n" + sim->address().toUtf8() + ",1\n127.0.0.300\n");
    bad.close();
    QTcpServer taken;
    ASSERT_TRUE(taken.listen(QHostAddress::LocalHost, 0));
    const QString takenListen = QStringLiteral("127.0.0.1:%1").arg(taken.serverPort());
    const QString a = sim->address();
    const std::tuple<QStringList, int, const char*> cases[] = {
        {{"export", "--listen", "127.0.0.1:0", "--targets", bad.fileName()}, 8, "targets:3: "},
        {{"export", "--listen", "127.0.0.1:0", "--targets", dir.filePath("none")}, 8, "--targets"},
        {{"export", "--listen", takenListen, "--address", a}, 9, "cannot listen on 127.0.0.1:"},
        {{"export", "--listen", "127.0.0.1:0", "--address", a, "--address", "no-such-host.invalid"},
         10,
         "\"no-such-host.invalid\" cannot be resolved"},
        {{"export", "--listen", "no-such-host.invalid:9761", "--address", a}, 10, "--listen: "},
        {{"export", "--listen", "127.0.0.1:0", "--address", a, "--login-file", dir.filePath("x")},
         2,
         "--login-file"},
        {{"export", "--address", a}, 2, "--listen HOST:PORT is missing"},
    };
    for (const auto& [arguments, status, reason] : cases) {
        const Ran r = RunCli(arguments);
        EXPECT_EQ(r.status, status)
            << arguments.join(' ').toStdString() << ": " << r.err.toStdString();
        EXPECT_TRUE(r.err.startsWith("zra-cli: export: ")) << r.err.toStdString();
        EXPECT_TRUE(r.err.contains(reason)) << r.err.toStdString();
        EXPECT_FALSE(r.err.contains("serving")) << r.err.toStdString();
    }
    EXPECT_TRUE(sim->managementFrames().isEmpty()) << "no installation was read";
    EXPECT_EQ(RunCli({"export", "--help"}).status, 0);
}

// Two installations read every second: promtool accepts the exposition, the
// page lists both; one that stops answering is down within an interval while
// the other goes on, and it comes back by itself.
TEST(ExportProgram, ServesEveryInstallationOnItsOwnSchedule) {
    const QString promtool = QStandardPaths::findExecutable(QStringLiteral("promtool"));
    if (promtool.isEmpty())
        GTEST_SKIP() << "promtool is missing (Debian package prometheus; scripts/setup.sh)";
    auto steady = StartSimulator();
    auto failing = StartSimulator();
    ExporterProcess exporter({"--address", qPrintable(steady->address()), "--address",
                              qPrintable(failing->address()), "--every", "1"});
    QByteArray text;
    const auto up = [&](const sim::Simulator& s) {
        return Sample(text, QStringLiteral("zra_up"), Installation(s));
    };
    ASSERT_TRUE(WaitFor(
        [&] {
            text = exporter.metrics();
            return up(*steady) == 1 && up(*failing) == 1;
        },
        15000))
        << text.toStdString();

    // It runs, in the process it was started as, without the per-thread
    // caches of freed blocks that grow a hundred threads' memory.
    EXPECT_TRUE(exporter.environment().contains("GLIBC_TUNABLES=glibc.malloc.tcache_count=0"));

    QProcess check;
    check.start(promtool, {"check", "metrics"});
    ASSERT_TRUE(check.waitForStarted(5000));
    check.write(text);
    check.closeWriteChannel();
    ASSERT_TRUE(check.waitForFinished(10000));
    EXPECT_EQ(check.exitCode(), 0) << check.readAllStandardError().toStdString()
                                   << check.readAllStandardOutput().toStdString();
    // The description as the installation holds it (its blanks stay), in UTF-8.
    EXPECT_TRUE(text.contains("description=\"Výpadek sítě AC")) << text.toStdString();

    const QByteArray page = Get(exporter.url("/"));
    for (const QString& a : {steady->address(), failing->address()})
        EXPECT_TRUE(page.contains(("<td>" + a + "</td>").toUtf8())) << page.toStdString();
    EXPECT_TRUE(page.contains("class=\"up\">up<")) << page.toStdString();

    const auto lastRead = [&](const sim::Simulator& s) {
        return Sample(text, QStringLiteral("zra_last_read_timestamp_seconds"), Installation(s))
            .value_or(0);
    };
    failing->stop();
    QElapsedTimer t;
    t.start();
    ASSERT_TRUE(WaitFor(
        [&] {
            text = exporter.metrics();
            return up(*failing) == 0;
        },
        5000))
        << text.toStdString();
    // Down within one interval of its next round (the connect is refused at once).
    EXPECT_LT(t.elapsed(), 3000);
    EXPECT_FALSE(text.contains(("zra_module_output_watts{" + Installation(*failing)).toUtf8()))
        << "no values of a failed round";
    EXPECT_GE(Sample(text, "zra_read_failures_total", Installation(*failing)).value_or(0), 1);
    const double before = lastRead(*steady);
    WaitFor([&] { return text = exporter.metrics(), lastRead(*steady) > before + 1.5; }, 5000);
    EXPECT_EQ(up(*steady), 1);
    EXPECT_GT(lastRead(*steady), before + 1.5) << "the other installation reads on";
    EXPECT_TRUE(Get(exporter.url("/")).contains("class=\"down\">down<"));

    ASSERT_TRUE(failing->start());
    EXPECT_TRUE(WaitFor(
        [&] {
            text = exporter.metrics();
            return up(*failing) == 1;
        },
        5000))
        << text.toStdString();
    const QByteArray err = exporter.stderrText();
    EXPECT_TRUE(err.contains(failing->address().toUtf8() + " unit 1: down: ")) << err.toStdString();
    EXPECT_TRUE(err.contains(failing->address().toUtf8() + " unit 1: read again"))
        << err.toStdString();
}

// A real Prometheus scrapes the exporter serving three still simulators; its
// query API gives what zra-cli read prints for the same installation.
TEST(ExportProgram, PrometheusScrapesWhatZraCliReads) {
    const QString prometheus = QStandardPaths::findExecutable(QStringLiteral("prometheus"));
    if (prometheus.isEmpty())
        GTEST_SKIP() << "prometheus is missing (Debian package prometheus; scripts/setup.sh)";
    sim::Options still;
    still.frozen = true;
    std::vector<std::unique_ptr<sim::Simulator>> sims;
    QStringList arguments{"--every", "1"};
    for (int n = 0; n < 3; ++n) {
        sims.push_back(StartSimulator(still));
        arguments << "--address" << sims.back()->address();
    }
    ExporterProcess exporter(arguments);
    ASSERT_NE(exporter.port, 0);

    QTemporaryDir dir;
    const quint16 port = FreePort();
    QFile config(dir.filePath("prometheus.yml"));
    ASSERT_TRUE(config.open(QIODevice::WriteOnly));
    config.write(QStringLiteral("global:\n  scrape_interval: 1s\n  evaluation_interval: 1s\n"
                                "scrape_configs:\n  - job_name: zra\n    static_configs:\n"
                                "      - targets: ['127.0.0.1:%1']\n")
                     .arg(exporter.port)
                     .toUtf8());
    config.close();
    QProcess server;
    server.setProcessChannelMode(QProcess::MergedChannels);
    server.start(prometheus, {"--config.file=" + config.fileName(),
                              "--storage.tsdb.path=" + dir.filePath("data"),
                              QStringLiteral("--web.listen-address=127.0.0.1:%1").arg(port),
                              "--log.level=warn"});
    ASSERT_TRUE(server.waitForStarted(5000));
    const auto stopServer = qScopeGuard([&] {
        server.terminate(); // SIGTERM to its own pid
        if (!server.waitForFinished(10000)) {
            server.kill();
            server.waitForFinished(2000);
        }
    });
    // One query's vector as installation -> value.
    const auto query = [&](const QString& promql) {
        QUrl url(QStringLiteral("http://127.0.0.1:%1/api/v1/query").arg(port));
        url.setQuery(QUrlQuery{{"query", promql}});
        std::map<QString, double> values;
        const QJsonObject answer = QJsonDocument::fromJson(Get(url.toString())).object();
        for (const QJsonValue v : answer["data"]["result"].toArray())
            values[v["metric"]["installation"].toString()] = v["value"][1].toString().toDouble();
        return values;
    };
    // Two scrapes of every installation.
    std::map<QString, double> scrapes;
    ASSERT_TRUE(WaitFor(
        [&] {
            scrapes = query("count_over_time(zra_up[1m])");
            return scrapes.size() == 3 && std::all_of(scrapes.begin(), scrapes.end(),
                                                      [](auto& s) { return s.second >= 2; });
        },
        60000))
        << "Prometheus did not scrape twice: " << server.readAll().toStdString();

    const auto up = query("zra_up");
    const auto power = query("zra_module_output_watts{module=\"2\"}");
    const auto volts = query("zra_phase_output_volts{phase=\"1\"}");
    for (const auto& s : sims) {
        EXPECT_EQ(up.at(s->address()), 1);
        const Ran read =
            RunCli({"--address", s->address(), "read", "modules", "phases", "--format", "json"});
        ASSERT_EQ(read.status, 0) << read.err.toStdString();
        const QJsonObject views = QJsonDocument::fromJson(read.out).object()["views"].toObject();
        const auto cell = [&](const char* view, const QString& rowTitle, int column) {
            const QJsonObject table = views[view].toObject();
            const int row = int(table["rows"].toArray().toVariantList().indexOf(rowTitle));
            const QString text = table["cells"][row][column - 1].toString();
            return QString(text).replace(',', '.').toDouble();
        };
        EXPECT_EQ(power.at(s->address()), cell("modules", "Output power value (W)", 2));
        EXPECT_EQ(volts.at(s->address()), cell("phases", "Output voltage value (0.1V)", 1));
        EXPECT_GT(power.at(s->address()), 0);
    }
}

} // namespace
