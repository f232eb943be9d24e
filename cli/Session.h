#pragma once
#include "cli/CommandLine.h"
#include "link/AlarmTexts.h"
#include "link/DeviceClient.h"
#include "link/DeviceLink.h"
#include "link/Reporter.h"

#include <cstdio>

namespace zra::cli {

// The link's reporter without windows: every message goes to stderr as a
// line "zra-cli: text".
class StderrReporter : public link::Reporter {
public:
    void warning(const QString& text) override;
};

// Writes bytes to out and flushes it; a failure is shown ("the output cannot
// be written: reason") and returns false.
bool WriteOut(std::FILE* out, const QByteArray& bytes);

// One zra-cli run over its own link: the connect, then rounds of reads, each
// written to out in the chosen format and appended to the snapshot file.
class Session {
public:
    explicit Session(const CommandLine& line);

    // The tool's connect (DeviceLink::ConnectCommand); when the installation
    // asks for a login, the login dialog's IA exchange with --login's name
    // and password.
    ExitStatus connect();
    // One round: connects first when the link is down (the installation may
    // close an idle connection between rounds), reads every view, writes the
    // round to out and flushes it, then appends the tables. A failed write of
    // out or of the append file is WriteFailed.
    ExitStatus round(std::FILE* out);

private:
    // The login dialog's attempt, without the dialog.
    void logIn();
    ExitStatus append(const QList<ViewTable>& tables);
    // The append file: absent in a writable folder, or a writable snapshot file.
    ExitStatus checkAppendFile() const;

    const CommandLine m_line;
    link::DeviceLink m_link;
    link::DeviceClient m_client{m_link};
    link::AlarmDescriptions m_descriptions{m_client};
    bool m_loginAsked = false;
    bool m_loginBroken = false; // the IA exchange itself failed
    bool m_firstRound = true;
    double m_lastStamp = 0; // of the last record appended
};

} // namespace zra::cli
