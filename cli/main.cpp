// zra-cli: the service tool's reads on the command line, without windows.
#include "cli/CommandLine.h"
#include "cli/ExportCommand.h"
#include "cli/Output.h"
#include "cli/Session.h"
#include "text/StopSignals.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QTimer>
#include <algorithm>
#include <cstdio>
#include <cstring>

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
    if (argc > 1 && std::strcmp(argv[1], "export") == 0)
        zra::cli::RestartWithoutThreadCaches(argv);
    QCoreApplication app(argc, argv);
    QCoreApplication::setApplicationName(QStringLiteral("zra-cli"));
    // Messages of the link and the client go to stderr; no window ever opens.
    zra::cli::StderrReporter reporter;
    zra::link::SetReporter(&reporter);

    // The exporter is a command of its own: zra-cli export ...
    if (const QStringList arguments = QCoreApplication::arguments();
        arguments.size() > 1 && arguments[1] == QLatin1String("export"))
        return zra::cli::RunExport(arguments);

    zra::cli::CommandLine line;
    QString error;
    if (!zra::cli::ParseCommandLine(QCoreApplication::arguments(), &line, &error)) {
        std::fprintf(stderr, "zra-cli: %s\n(see zra-cli --help)\n", error.toUtf8().constData());
        return zra::cli::BadUsage;
    }
    if (line.help)
        return zra::cli::WriteOut(stdout, zra::cli::UsageText().toUtf8()) ? zra::cli::Success
                                                                          : zra::cli::WriteFailed;
    // Read once, before the first connect: standard input cannot be read again.
    if (!zra::cli::ReadLoginFile(&line, &error)) {
        std::fprintf(stderr, "zra-cli: %s\n", error.toUtf8().constData());
        return zra::cli::BadUsage;
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
    int failures = 0; // failed rounds in a row
    for (;;) {
        const zra::cli::ExitStatus status = session.round(stdout);
        if (status == zra::cli::Success) {
            failures = 0;
        } else {
            // A repeated read outlives the installation's restarts and network
            // breaks; a wrong login, a bad file or a failed write does not mend.
            if (line.everySeconds == 0 ||
                (status != zra::cli::NoConnection && status != zra::cli::ExchangeFailed))
                return status;
            ++failures;
            const bool last = line.maxFailures > 0 && failures >= line.maxFailures;
            // After a failure the next round (with its reconnect) comes after
            // 1, 2, 4 ... seconds, at most the interval.
            const qint64 delayMs =
                std::min<qint64>(line.everySeconds, 1LL << std::min(failures - 1, 20)) * 1000;
            const QString then = last ? QStringLiteral("%1 in a row: giving up").arg(failures)
                                      : QStringLiteral("next in %1 s").arg(delayMs / 1000);
            std::fprintf(stderr, "zra-cli: %s: round failed (exit status %d), %s\n",
                         qUtf8Printable(zra::cli::IsoLocalTime(QDateTime::currentDateTime())),
                         int(status), qUtf8Printable(then));
            std::fflush(stderr);
            if (last)
                return status;
            next = clock.elapsed() + delayMs;
        }
        if (line.everySeconds == 0 || stopRequested)
            return zra::cli::Success;
        // Rounds start every N seconds; one that ran longer is followed at once.
        if (failures == 0)
            next = std::max(next + line.everySeconds * 1000LL, clock.elapsed());
        waitUntil(clock, next);
        if (stopRequested)
            return zra::cli::Success;
    }
}
