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

// Starts the program again, once, in the same process, with the C library's
// per-thread caches of freed blocks off (glibc.malloc.tcache_count=0 in
// GLIBC_TUNABLES), a setting read only at start-up. The exporter's threads,
// one per installation, each keep such a cache that no other thread can use
// and the heap cannot give back: a hundred of them let the resident size grow
// for many minutes. Returns (doing nothing) where the setting is there already
// or the program cannot be started again. Called first thing in main(), with
// main's argv, for the export command.
void RestartWithoutThreadCaches(char** argv);

// Runs `zra-cli export` to its end (SIGTERM or SIGINT): every check before
// anything starts, each failure with its own exit status.
int RunExport(const QStringList& arguments);

} // namespace zra::cli
