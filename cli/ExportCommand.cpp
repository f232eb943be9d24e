#include "cli/ExportCommand.h"

#include "cli/CommandLine.h"
#include "cli/Output.h"
#include "cli/Session.h"
#include "reads/ViewTable.h"
#include "text/Numbers.h"
#include "text/StopSignals.h"

#include <QCommandLineParser>
#include <QCoreApplication>
#include <QFile>
#include <QStringDecoder>
#include <QTimer>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <malloc.h>
#include <string>
#include <unistd.h>

namespace zra::cli {

namespace {

constexpr int LongestInterval = 86400;
constexpr int ResolveTimeoutMs = 5000;
constexpr qint64 LongestTargetsFile = 4 << 20;

bool ParseListen(const QString& text, ExportLine* line, QString* error) {
    // HOST:PORT, an IPv6 address in brackets.
    const qsizetype colon = text.lastIndexOf(QLatin1Char(':'));
    QString host = colon > 0 ? text.left(colon) : QString();
    if (host.startsWith(QLatin1Char('[')) && host.endsWith(QLatin1Char(']')))
        host = host.mid(1, host.size() - 2);
    if (host.isEmpty() || !exporter::IsHostText(host) ||
        !text::ParseNumber(text.mid(colon + 1), 0, 65535, &line->listenPort)) {
        *error = QStringLiteral("--listen takes HOST:PORT (\"127.0.0.1:9761\"; port 0: any "
                                "free one), not \"%1\"")
                     .arg(text);
        return false;
    }
    line->listenHost = host;
    return true;
}

} // namespace

QList<store::ViewKind> ExportableViews() {
    return {store::ViewKind::Main, store::ViewKind::Alarm,   store::ViewKind::Moduly,
            store::ViewKind::Faze, store::ViewKind::AcGroup, store::ViewKind::DcGroup};
}

bool ParseExportLine(const QStringList& arguments, ExportLine* result, QString* error) {
    const QCommandLineOption listen(QStringLiteral("listen"), QString(),
                                    QStringLiteral("HOST:PORT"));
    const QCommandLineOption address(QStringLiteral("address"), QString(), QStringLiteral("A"));
    const QCommandLineOption targets(QStringLiteral("targets"), QString(), QStringLiteral("FILE"));
    const QCommandLineOption unit(QStringLiteral("unit"), QString(), QStringLiteral("N"));
    const QCommandLineOption loginFile(QStringLiteral("login-file"), QString(),
                                       QStringLiteral("FILE"));
    const QCommandLineOption every(QStringLiteral("every"), QString(), QStringLiteral("SECONDS"));
    const QCommandLineOption views(QStringLiteral("views"), QString(), QStringLiteral("LIST"));
    const QCommandLineOption help({QStringLiteral("h"), QStringLiteral("help")}, QString());
    QCommandLineParser parser;
    parser.addOptions({listen, address, targets, unit, loginFile, every, views, help});
    if (!parser.parse(arguments)) {
        *error = parser.errorText();
        return false;
    }
    ExportLine line;
    if (parser.isSet(help)) {
        line.help = true;
        *result = line;
        return true;
    }
    const QStringList words = parser.positionalArguments();
    if (words.size() != 1 || words[0] != QLatin1String("export")) {
        *error = QStringLiteral("export takes no words but its options (\"%1\")")
                     .arg(words.mid(1).join(u' '));
        return false;
    }
    for (const QCommandLineOption* o : {&listen, &targets, &unit, &loginFile, &every, &views}) {
        if (parser.values(*o).size() > 1) {
            *error = QStringLiteral("--%1 is given more than once").arg(o->names().constFirst());
            return false;
        }
    }
    if (!parser.isSet(listen)) {
        *error = QStringLiteral("--listen HOST:PORT is missing");
        return false;
    }
    if (!ParseListen(parser.value(listen), &line, error))
        return false;
    if (parser.isSet(unit) && !text::ParseNumber(parser.value(unit), 1, 255, &line.unit)) {
        *error = QStringLiteral("--unit takes a MODBUS unit id from 1 to 255");
        return false;
    }
    if (parser.isSet(address) == parser.isSet(targets)) {
        *error = parser.isSet(address) ? QStringLiteral("give --address or --targets, not both")
                                       : QStringLiteral("give --address A (repeatable) or "
                                                        "--targets FILE");
        return false;
    }
    for (const QString& a : parser.values(address)) {
        if (!exporter::IsHostText(a)) {
            *error = QStringLiteral("--address \"%1\" is not a host name or an address").arg(a);
            return false;
        }
        const exporter::Target target{a, line.unit, {}};
        if (line.targets.contains(target)) {
            *error = QStringLiteral("--address %1 is given twice").arg(a);
            return false;
        }
        line.targets << target;
    }
    if (parser.isSet(targets)) {
        line.targetsFile = parser.value(targets);
        if (line.targetsFile.isEmpty()) {
            *error = QStringLiteral("--targets takes a file name");
            return false;
        }
    }
    if (parser.isSet(loginFile)) {
        line.loginFile = parser.value(loginFile);
        if (line.loginFile.isEmpty()) {
            *error = QStringLiteral("--login-file takes a file name, or - for standard input");
            return false;
        }
    }
    if (parser.isSet(every) &&
        !text::ParseNumber(parser.value(every), 1, LongestInterval, &line.everySeconds)) {
        *error = QStringLiteral("--every takes whole seconds from 1 to %1").arg(LongestInterval);
        return false;
    }
    if (parser.isSet(views)) {
        for (const QString& name : parser.value(views).split(QLatin1Char(','))) {
            const reads::TableView* view = reads::FindView(name.trimmed());
            if (!view || !ExportableViews().contains(view->kind)) {
                *error = QStringLiteral("--views takes names of main, alarms, modules, phases, "
                                        "ac, dc, separated by commas; not \"%1\"")
                             .arg(name);
                return false;
            }
            if (!line.views.contains(view->kind))
                line.views << view->kind;
        }
    } else {
        line.views = ExportableViews();
    }
    *result = line;
    return true;
}

bool ReadTargetsFile(ExportLine* line, QString* error) {
    if (line->targetsFile.isEmpty())
        return true;
    QFile file(line->targetsFile);
    if (!file.open(QIODevice::ReadOnly)) {
        *error = QStringLiteral("--targets \"%1\": %2").arg(line->targetsFile, file.errorString());
        return false;
    }
    const QByteArray bytes = file.read(LongestTargetsFile + 1);
    if (bytes.size() > LongestTargetsFile) {
        *error = QStringLiteral("--targets \"%1\": over %2 bytes")
                     .arg(line->targetsFile)
                     .arg(LongestTargetsFile);
        return false;
    }
    QStringDecoder utf8(QStringDecoder::Utf8);
    const QString text = utf8(bytes);
    if (utf8.hasError()) {
        *error = QStringLiteral("--targets \"%1\": not UTF-8 text").arg(line->targetsFile);
        return false;
    }
    return exporter::ParseTargets(text, line->targetsFile, line->unit, &line->targets, error);
}

QString ExportUsageText() {
    return QStringLiteral(
        "Usage: zra-cli export --listen HOST:PORT --address A [--address B ...]\n"
        "               [--unit N] [--login-file FILE] [--every SECONDS] [--views LIST]\n"
        "       zra-cli export --listen HOST:PORT --targets FILE [...]\n"
        "\n"
        "Serves the installations' values for Prometheus: GET /metrics (the text\n"
        "exposition format) and GET / (a page of the targets and their state). Each\n"
        "installation is read by its own connection every SECONDS; a scrape answers\n"
        "from the last completed round at once.\n"
        "\n"
        "Options:\n"
        "  --listen HOST:PORT     where to serve (\"127.0.0.1:9761\"; [::1]:9761 for\n"
        "                         IPv6; port 0: any free one, told on stderr)\n"
        "  --address A            an installation (an address or a host name); repeatable\n"
        "  --targets FILE         the installations, one \"address[,unit]\" per line;\n"
        "                         '#' begins a comment\n"
        "  --unit N               MODBUS unit id, 1 to 255 (default 1; of a targets line\n"
        "                         without one)\n"
        "  --login-file FILE      the login for installations that require one, USER:PASSWORD\n"
        "                         on the first line; - reads it from standard input\n"
        "  --every SECONDS        the interval of every installation's reads (default 30)\n"
        "  --views LIST           the views read, separated by commas (default\n"
        "                         main,alarms,modules,phases,ac,dc)\n"
        "\n"
        "Exit status: 0 after SIGTERM or SIGINT; 1 signal handlers; 2 bad usage (also\n"
        "a --login-file that cannot be read); 8 the targets file cannot be read or\n"
        "has a bad line; 9 the listen address cannot be listened on (a port taken);\n"
        "10 an address or the listen host cannot be resolved. Nothing is started\n"
        "before every check passed.\n");
}

void RestartWithoutThreadCaches(char** argv) {
    static const char setting[] = "glibc.malloc.tcache_count=0";
    const char* tunables = std::getenv("GLIBC_TUNABLES");
    // Set already: by the first start, or by whoever started the program.
    if (tunables && std::strstr(tunables, "glibc.malloc.tcache_count"))
        return;
    const std::string value =
        tunables && *tunables ? std::string(tunables) + ':' + setting : std::string(setting);
    if (::setenv("GLIBC_TUNABLES", value.c_str(), 1) != 0)
        return;
    // The same process (its id, its open files, its arguments) runs the program afresh.
    ::execv("/proc/self/exe", argv);
}

int RunExport(const QStringList& arguments) {
    const auto fail = [](int status, const QString& text) {
        std::fprintf(stderr, "zra-cli: export: %s\n", qUtf8Printable(text));
        return status;
    };
    ExportLine line;
    QString error;
    if (!ParseExportLine(arguments, &line, &error))
        return fail(BadUsage, error + QStringLiteral("\n(see zra-cli export --help)"));
    if (line.help)
        return WriteOut(stdout, ExportUsageText().toUtf8()) ? Success : WriteFailed;
    CommandLine login;
    login.loginFile = line.loginFile;
    if (!ReadLoginFile(&login, &error))
        return fail(BadUsage, error);
    if (!ReadTargetsFile(&line, &error))
        return fail(BadTargets, error);

    const auto listenAddress = exporter::ResolveHost(line.listenHost, ResolveTimeoutMs);
    if (!listenAddress)
        return fail(Unresolved,
                    QStringLiteral("--listen: \"%1\" cannot be resolved").arg(line.listenHost));
    for (exporter::Target& t : line.targets) {
        const auto resolved = exporter::ResolveHost(t.address, ResolveTimeoutMs);
        if (!resolved || resolved->protocol() != QAbstractSocket::IPv4Protocol)
            return fail(
                Unresolved,
                QStringLiteral("\"%1\" cannot be resolved to an IPv4 address").arg(t.address));
        t.connectAddress = resolved->toString();
    }

    exporter::Settings settings;
    settings.listenAddress = *listenAddress;
    settings.listenPort = quint16(line.listenPort);
    settings.listenText = QStringLiteral("%1:%2").arg(line.listenHost).arg(line.listenPort);
    settings.targets = line.targets;
    settings.read.views = line.views;
    settings.read.everySeconds = line.everySeconds;
    if (login.login)
        settings.read.login = exporter::Login{login.login->user, login.login->password};

    exporter::Exporter exporter(settings);
    if (!exporter.listen(&error))
        return fail(ListenFailed, error);
    if (!text::CallOnStopSignals([] { QCoreApplication::quit(); }))
        return fail(1, QStringLiteral("cannot install the signal handlers"));
    // A heap arena per thread would hold each installation's peak apart
    // from every other's: a hundred readers share two, so memory stays flat.
    ::mallopt(M_ARENA_MAX, 2);
    // A scrape's text is megabytes. glibc would raise its mapping threshold
    // to that size after the first one was freed, and serve every later one
    // from the heap, which then holds that much more than it uses; a fixed
    // threshold keeps big buffers mapped, so their pages go back when freed.
    ::mallopt(M_MMAP_THRESHOLD, 256 * 1024);
    ::mallopt(M_TRIM_THRESHOLD, 512 * 1024);
    // The rounds free what they allocated (the live heap stays some
    // megabytes), but the arenas keep freed pages inside the heap; they go
    // back to the system every half minute.
    QTimer trim;
    QObject::connect(&trim, &QTimer::timeout, [] { ::malloc_trim(0); });
    trim.start(30000);
    exporter.start();
    const QString shown = listenAddress->protocol() == QAbstractSocket::IPv6Protocol
                              ? QStringLiteral("[%1]").arg(listenAddress->toString())
                              : listenAddress->toString();
    std::fprintf(stderr, "zra-cli: export: serving http://%s:%d/metrics for %d installation(s)\n",
                 qUtf8Printable(shown), int(exporter.port()), int(line.targets.size()));
    std::fflush(stderr);
    QCoreApplication::exec();
    exporter.stop();
    return Success;
}

} // namespace zra::cli
