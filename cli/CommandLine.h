#pragma once
#include "cli/ViewReads.h"

#include <QList>
#include <QString>
#include <QStringList>
#include <optional>

namespace zra::cli {

// What zra-cli ends with; scripts tell the kinds of failure apart by it.
enum ExitStatus {
    Success = 0,
    BadUsage = 2,       // the command line is wrong
    NoConnection = 3,   // the connect failed (no installation, a management error, old firmware)
    LoginRefused = 4,   // a login is required and none was given, or it was refused
    ExchangeFailed = 5, // a read failed
    BadFile = 6,        // the append file cannot be written or is not a snapshot file
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
    QList<View> views; // in the order given ("all" expanded), each once
    Format format = Format::Text;
    QString appendFile;   // empty: no append
    int everySeconds = 0; // 0: one round
    bool help = false;
};

// Parses the arguments (arguments[0] is the program name). On bad usage
// returns false with the reason in error.
bool ParseCommandLine(const QStringList& arguments, CommandLine* result, QString* error);
// The --help text.
QString UsageText();

} // namespace zra::cli
