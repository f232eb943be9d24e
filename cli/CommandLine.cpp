#include "cli/CommandLine.h"

#include "link/Ipv4Text.h"
#include "reads/ViewTable.h"
#include "text/Cp1250.h"
#include "text/Numbers.h"

#include <QCommandLineParser>
#include <QFile>
#include <QStringDecoder>
#include <climits>

namespace zra::cli {

namespace {

// A field of the login frame holds 8 characters, as the login dialog's fields.
constexpr int LoginFieldCharacters = 8;
constexpr int LongestInterval = 86400;
// More than any line "USER:PASSWORD" of two 8-character fields in UTF-8.
constexpr qint64 LongestLoginLine = 1024;

// The text of --login, or the first line of --login-file (then source names
// the file).
bool ParseLogin(const QString& text, const QString& source, Login* login, QString* error) {
    const QString option = source.isEmpty() ? QStringLiteral("--login")
                                            : QStringLiteral("--login-file \"%1\"").arg(source);
    const qsizetype colon = text.indexOf(QLatin1Char(':'));
    if (colon <= 0) {
        *error = source.isEmpty()
                     ? QStringLiteral("--login takes USER:PASSWORD")
                     : option + QStringLiteral(": the first line is not USER:PASSWORD");
        return false;
    }
    login->user = text.left(colon);
    login->password = text.mid(colon + 1);
    for (const QString* field : {&login->user, &login->password}) {
        bool representable = false;
        text::ToCp1250(*field, &representable);
        if (field->size() > LoginFieldCharacters || !representable) {
            *error = option + QStringLiteral(": the name and the password take at most %1 "
                                             "Windows-1250 characters each")
                                  .arg(LoginFieldCharacters);
            return false;
        }
    }
    return true;
}

} // namespace

bool ParseCommandLine(const QStringList& arguments, CommandLine* result, QString* error) {
    const QCommandLineOption address(QStringLiteral("address"), QString(), QStringLiteral("A"));
    const QCommandLineOption unit(QStringLiteral("unit"), QString(), QStringLiteral("N"));
    const QCommandLineOption login(QStringLiteral("login"), QString(),
                                   QStringLiteral("USER:PASSWORD"));
    const QCommandLineOption loginFile(QStringLiteral("login-file"), QString(),
                                       QStringLiteral("FILE"));
    const QCommandLineOption format(QStringLiteral("format"), QString(), QStringLiteral("F"));
    const QCommandLineOption append(QStringLiteral("append"), QString(), QStringLiteral("FILE"));
    const QCommandLineOption every(QStringLiteral("every"), QString(), QStringLiteral("SECONDS"));
    const QCommandLineOption maxFailures(QStringLiteral("max-failures"), QString(),
                                         QStringLiteral("N"));
    const QCommandLineOption help({QStringLiteral("h"), QStringLiteral("help")}, QString());
    QCommandLineParser parser;
    parser.addOptions({address, unit, login, loginFile, format, append, every, maxFailures, help});
    if (!parser.parse(arguments)) {
        *error = parser.errorText();
        return false;
    }
    CommandLine line;
    if (parser.isSet(help)) {
        line.help = true;
        *result = line;
        return true;
    }
    for (const QCommandLineOption* o :
         {&address, &unit, &login, &loginFile, &format, &append, &every, &maxFailures}) {
        if (parser.values(*o).size() > 1) {
            *error = QStringLiteral("--%1 is given more than once").arg(o->names().constFirst());
            return false;
        }
    }

    const QStringList words = parser.positionalArguments();
    if (words.isEmpty() || words[0] != QLatin1String("read")) {
        *error = words.isEmpty() ? QStringLiteral("nothing to do: give read VIEW...")
                                 : QStringLiteral("unknown command \"%1\"").arg(words[0]);
        return false;
    }
    if (words.size() < 2) {
        *error = QStringLiteral("read: name at least one view");
        return false;
    }
    for (const QString& word : words.mid(1)) {
        QList<store::ViewKind> named;
        if (word == QLatin1String("all"))
            named = AllViews();
        else if (const reads::TableView* view = reads::FindView(word))
            named = {view->kind};
        else {
            QStringList names;
            for (const store::ViewKind kind : AllViews())
                names << ViewName(kind);
            *error = QStringLiteral("unknown view \"%1\" (%2, all)").arg(word, names.join(u", "));
            return false;
        }
        for (const store::ViewKind view : named)
            if (!line.views.contains(view))
                line.views.append(view);
    }

    if (!parser.isSet(address)) {
        *error = QStringLiteral("--address is missing");
        return false;
    }
    line.address = parser.value(address);
    if (!link::IsValidIpv4Text(line.address)) {
        *error = QStringLiteral("--address \"%1\" is not an IPv4 address").arg(line.address);
        return false;
    }
    if (parser.isSet(unit) && !text::ParseNumber(parser.value(unit), 1, 255, &line.unit)) {
        *error = QStringLiteral("--unit takes a MODBUS unit id from 1 to 255");
        return false;
    }
    if (parser.isSet(login) && parser.isSet(loginFile)) {
        *error = QStringLiteral("give --login or --login-file, not both");
        return false;
    }
    if (parser.isSet(login)) {
        Login l;
        if (!ParseLogin(parser.value(login), {}, &l, error))
            return false;
        line.login = l;
    }
    if (parser.isSet(loginFile)) {
        line.loginFile = parser.value(loginFile);
        if (line.loginFile.isEmpty()) {
            *error = QStringLiteral("--login-file takes a file name, or - for standard input");
            return false;
        }
    }
    if (parser.isSet(format)) {
        const QString f = parser.value(format);
        if (f == QLatin1String("text"))
            line.format = Format::Text;
        else if (f == QLatin1String("csv"))
            line.format = Format::Csv;
        else if (f == QLatin1String("json"))
            line.format = Format::Json;
        else {
            *error = QStringLiteral("--format takes text, csv or json");
            return false;
        }
    }
    if (parser.isSet(append)) {
        line.appendFile = parser.value(append);
        if (line.appendFile.isEmpty()) {
            *error = QStringLiteral("--append takes a file name");
            return false;
        }
    }
    if (parser.isSet(every) &&
        !text::ParseNumber(parser.value(every), 1, LongestInterval, &line.everySeconds)) {
        *error = QStringLiteral("--every takes whole seconds from 1 to %1").arg(LongestInterval);
        return false;
    }
    if (parser.isSet(maxFailures)) {
        if (!parser.isSet(every)) {
            *error = QStringLiteral("--max-failures goes with --every");
            return false;
        }
        if (!text::ParseNumber(parser.value(maxFailures), 1, INT_MAX, &line.maxFailures)) {
            *error = QStringLiteral("--max-failures takes a whole number from 1");
            return false;
        }
    }
    *result = line;
    return true;
}

bool ReadLogin(QIODevice& device, const QString& source, Login* login, QString* error) {
    QByteArray bytes = device.readLine(LongestLoginLine + 1);
    if (bytes.endsWith('\n'))
        bytes.chop(1);
    if (bytes.endsWith('\r'))
        bytes.chop(1);
    QStringDecoder utf8(QStringDecoder::Utf8);
    const QString text = utf8(bytes);
    if (utf8.hasError() || bytes.contains('\0')) {
        *error =
            QStringLiteral("--login-file \"%1\": the first line is not UTF-8 text").arg(source);
        return false;
    }
    return ParseLogin(text, source, login, error);
}

bool ReadLoginFile(CommandLine* line, QString* error) {
    if (line->loginFile.isEmpty())
        return true;
    const bool standardInput = line->loginFile == QLatin1String("-");
    QFile file(line->loginFile);
    const bool opened =
        standardInput ? file.open(stdin, QIODevice::ReadOnly) : file.open(QIODevice::ReadOnly);
    if (!opened) {
        *error = QStringLiteral("--login-file \"%1\": %2").arg(line->loginFile, file.errorString());
        return false;
    }
    Login login;
    if (!ReadLogin(file, line->loginFile, &login, error))
        return false;
    if (file.error() != QFileDevice::NoError) {
        *error = QStringLiteral("--login-file \"%1\": %2").arg(line->loginFile, file.errorString());
        return false;
    }
    line->login = login;
    return true;
}

QString UsageText() {
    return QStringLiteral(
        "Usage: zra-cli --address A [--unit N] [--login USER:PASSWORD | --login-file FILE]\n"
        "               read VIEW... [--format text|csv|json] [--append FILE]\n"
        "               [--every SECONDS [--max-failures N]]\n"
        "       zra-cli export --listen HOST:PORT --address A [...]   (zra-cli export --help)\n"
        "       zra-cli --help\n"
        "\n"
        "Connects to the installation at A as the service tool does (management port\n"
        "9760: XR, GS, the firmware check and the login when the installation asks for\n"
        "one; then MODBUS on the port it reports), reads the views and prints their\n"
        "tables as the tool's windows show them. Without a display.\n"
        "\n"
        "Views:\n"
        "  main     system values (main window)\n"
        "  alarms   active alarms (main window)\n"
        "  modules  power modules\n"
        "  phases   output phases\n"
        "  ac       AC input groups\n"
        "  dc       DC input groups\n"
        "  log      event log\n"
        "  config   configuration variables (without the window's filter)\n"
        "  all      every view above, in this order\n"
        "\n"
        "Options:\n"
        "  --address A            IPv4 address of the installation (required)\n"
        "  --unit N               MODBUS unit id, 1 to 255 (default 1)\n"
        "  --login USER:PASSWORD  login for an installation that requires one\n"
        "                         (at most 8 characters each; every user of the\n"
        "                         computer sees it in the process list)\n"
        "  --login-file FILE      the login from the first line of FILE, USER:PASSWORD\n"
        "                         in UTF-8 (a line end, LF or CR LF, is not part of it);\n"
        "                         - reads it from standard input\n"
        "  --format F             text (default: aligned tables), csv (';', UTF-8 with\n"
        "                         BOM, CR LF, a blank line between tables; every row\n"
        "                         begins with two columns: the round's time, ISO 8601\n"
        "                         local time with its UTC offset, and the view) or json\n"
        "                         (one object per round, on one line)\n"
        "  --append FILE          append each view's table to the snapshot file FILE\n"
        "                         (created when missing), which the tool opens\n"
        "  --every SECONDS        repeat the read (and the append) every SECONDS until\n"
        "                         SIGTERM or SIGINT, then exit 0; a round that fails to\n"
        "                         connect or to read is told on stderr (one line with\n"
        "                         its time) and the next comes after 1, 2, 4 ... seconds\n"
        "                         (at most SECONDS) until one succeeds\n"
        "  --max-failures N       with --every: end after N failed rounds in a row, with\n"
        "                         the last one's exit status (default: no limit)\n"
        "  -h, --help             show this help\n"
        "\n"
        "Exit status:\n"
        "  0  success (also after SIGTERM or SIGINT with --every)\n"
        "  1  the signal handlers cannot be installed\n"
        "  2  bad usage (also a --login-file that cannot be read or holds no login)\n"
        "  3  no connection (connect failed, management error, firmware too old)\n"
        "  4  login refused (none given where one is required, or a wrong one)\n"
        "  5  failed exchange (a read failed)\n"
        "  6  bad file (the append file, checked before the first read, cannot be\n"
        "     written or is not a snapshot file)\n"
        "  7  write failed (standard output or the append file could not be written:\n"
        "     disk full, I/O error)\n"
        "With --every, 3 and 5 end the run only with --max-failures; 4, 6 and 7 end it\n"
        "at once. Messages go to stderr.\n");
}

} // namespace zra::cli
