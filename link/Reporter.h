#pragma once
#include <QString>

namespace zra::link {

// Where the link, the device client and the write audit tell the engineer of
// a failure. They never show anything themselves: the program installs one
// reporter at start-up (the windows show a message box over the window of the
// running command, zra-cli writes to its error output).
class Reporter {
public:
    virtual ~Reporter() = default;
    // A failure or warning the engineer must see.
    virtual void warning(const QString& text) = 0;
    // A failure that ended an exchange: the busy cursor goes before it is told.
    virtual void exchangeFailure(const QString& text) { warning(text); }
};

// The installed reporter: the calling thread's own, else the program's;
// before any is installed, texts go to the error output (qWarning).
Reporter& Report();
// Installs the program's reporter (the caller keeps ownership); nullptr puts
// the default back. Done at start-up, before any other thread reports.
void SetReporter(Reporter* reporter);
// Installs a reporter for the calling thread alone (a thread that runs a
// link of its own: the exporter's installations); nullptr removes it.
void SetThreadReporter(Reporter* reporter);

} // namespace zra::link
