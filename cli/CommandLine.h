#pragma once
#include "cli/ViewReads.h"

#include <QList>
#include <QString>
#include <QStringList>
#include <optional>

class QIODevice;

namespace zra::cli {

// What zra-cli ends with; scripts tell the kinds of failure apart by it.
enum ExitStatus {
    Success = 0,
    BadUsage = 2,       // the command line is wrong
    NoConnection = 3,   // the connect failed (no installation, a management error, old firmware)
    LoginRefused = 4,   // a login is required and none was given, or it was refused
    ExchangeFailed = 5, // a read failed
    BadFile = 6,        // the append file, checked before the first read, is unusable
    WriteFailed = 7,    // writing standard output or the append file failed (disk full, I/O error)
    BadTargets = 8,     // export: the targets file cannot be read or has a bad line
    ListenFailed = 9,   // export: the listen address cannot be listened on (a port taken)
    Unresolved = 10,    // export: an address or the listen host cannot be resolved
};

enum class Format { Text, Csv, Json };

struct Login {
    QString user;
    QString password;
};

struct CommandLine {
    QString address;
    int unit = 1;
    std::optional<Login> login;
    QString loginFile;            // --login-file: read by ReadLoginFile; "-" is standard input
    QList<store::ViewKind> views; // in the order given ("all" expanded), each once
    Format format = Format::Text;
    QString appendFile;   // empty: no append
    int everySeconds = 0; // 0: one round
    int maxFailures = 0;  // with --every: failed rounds in a row that end it; 0: no limit
    bool help = false;
};

// Parses the arguments (arguments[0] is the program name). On bad usage
// returns false with the reason in error.
bool ParseCommandLine(const QStringList& arguments, CommandLine* result, QString* error);
// The login of --login-file (source names it in messages) from its first
// line, "USER:PASSWORD" in UTF-8; the line ends at LF, a CR before it is
// dropped, and the lines after it are not read. On failure returns false with
// the reason in error.
bool ReadLogin(QIODevice& device, const QString& source, Login* login, QString* error);
// Opens --login-file (or standard input for "-") and sets line->login from it.
bool ReadLoginFile(CommandLine* line, QString* error);
// The --help text.
QString UsageText();

} // namespace zra::cli
