// zra-cli: the service tool's reads on the command line, without windows.
#include "cli/CommandLine.h"
#include "cli/Session.h"
#include "text/StopSignals.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QTimer>
#include <cstdio>

namespace {

bool stopRequested = false;
QEventLoop* waiting = nullptr; // the wait between rounds, while it runs

// Waits until the clock reaches the deadline or a stop signal came.
void waitUntil(const QElapsedTimer& clock, qint64 deadlineMs) {
    const qint64 left = deadlineMs - clock.elapsed();
    if (left <= 0 || stopRequested)
        return;
    QEventLoop loop;
    QTimer::singleShot(int(left), &loop, &QEventLoop::quit);
    waiting = &loop;
    loop.exec();
    waiting = nullptr;
}

} // namespace

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    QCoreApplication::setApplicationName(QStringLiteral("zra-cli"));
    // Messages of the link and the client go to stderr; no window ever opens.
    zra::cli::StderrUi ui;
    zra::ui::InstallUi(&ui);

    zra::cli::CommandLine line;
    QString error;
    if (!zra::cli::ParseCommandLine(QCoreApplication::arguments(), &line, &error)) {
        std::fprintf(stderr, "zra-cli: %s\n(see zra-cli --help)\n", error.toUtf8().constData());
        return zra::cli::BadUsage;
    }
    if (line.help) {
        std::fputs(zra::cli::UsageText().toUtf8().constData(), stdout);
        return zra::cli::Success;
    }
    // SIGTERM and SIGINT end the repetition: a round that runs is finished
    // first, a wait between rounds ends at once.
    const auto stop = [] {
        stopRequested = true;
        if (waiting)
            waiting->quit();
    };
    if (line.everySeconds > 0 && !zra::text::CallOnStopSignals(stop)) {
        std::fprintf(stderr, "zra-cli: cannot install the signal handlers\n");
        return 1;
    }

    zra::cli::Session session(line);
    QElapsedTimer clock;
    clock.start();
    qint64 next = 0;
    for (;;) {
        if (const zra::cli::ExitStatus status = session.round(stdout); status != zra::cli::Success)
            return status;
        if (line.everySeconds == 0 || stopRequested)
            return zra::cli::Success;
        // Rounds start every N seconds; one that ran longer is followed at once.
        next = std::max(next + line.everySeconds * 1000LL, clock.elapsed());
        waitUntil(clock, next);
        if (stopRequested)
            return zra::cli::Success;
    }
}
