#pragma once
#include "export/Exporter.h"

#include <QStringList>

namespace zra::cli {

// `zra-cli export`'s command line, before its files are read and its names
// resolved.
struct ExportLine {
    QString listenHost;
    int listenPort = 0;
    QList<exporter::Target> targets; // of --address
    QString targetsFile;
    int unit = 1;
    QString loginFile;
    int everySeconds = 30;
    QList<store::ViewKind> views; // each once, in the order given
    bool help = false;
};

// The views the exporter may read, in their default order.
QList<store::ViewKind> ExportableViews();

// Parses `zra-cli export ...` (arguments[0] the program, arguments[1]
// "export"). On bad usage returns false with the reason in error.
bool ParseExportLine(const QStringList& arguments, ExportLine* line, QString* error);
// The targets of --targets: read and parsed (the reason in error otherwise).
bool ReadTargetsFile(ExportLine* line, QString* error);
// The --help text of export.
QString ExportUsageText();

// Runs `zra-cli export` to its end (SIGTERM or SIGINT): every check before
// anything starts, each failure with its own exit status.
int RunExport(const QStringList& arguments);

} // namespace zra::cli
