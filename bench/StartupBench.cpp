// Start-up to the first shown main window and the peak resident memory of
// that start-up, of the tool (startup_probe) against a minimal Qt Widgets
// program (minimal_probe), both started the same way as child processes on
// the offscreen platform, alternately, median of several rounds each.
#include "bench/BenchSupport.h"

#include <QCoreApplication>
#include <QTemporaryDir>
#include <cerrno>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <fcntl.h>
#include <poll.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>
#include <vector>

namespace {

constexpr int Rounds = 9;
constexpr int ShownTimeoutMs = 20000;

struct Start {
    double shownMs = -1; // from the spawn to the "shown" line
    double peakMiB = -1; // the child's peak resident memory
};

// Starts program with arg, times it to its "shown" line and reads its peak
// memory once it has ended. A child that does not show in time is killed.
Start startOnce(const std::string& program, const std::string& arg) {
    Start s;
    int out[2];
    if (::pipe(out) != 0)
        return s;
    QElapsedTimer t;
    t.start();
    const pid_t pid = ::fork();
    if (pid == 0) {
        ::dup2(out[1], STDOUT_FILENO);
        // Qt's notes on the offscreen platform are of no interest here.
        const int null = ::open("/dev/null", O_WRONLY);
        ::dup2(null, STDERR_FILENO);
        ::close(out[0]);
        ::close(out[1]);
        ::execl(program.c_str(), program.c_str(), arg.c_str(), static_cast<char*>(nullptr));
        ::_exit(127);
    }
    ::close(out[1]);
    std::string got;
    pollfd p{out[0], POLLIN, 0};
    while (got.find("shown\n") == std::string::npos) {
        const int left = ShownTimeoutMs - int(t.elapsed());
        if (left <= 0 || ::poll(&p, 1, left) <= 0)
            break;
        char buffer[256];
        const ssize_t n = ::read(out[0], buffer, sizeof buffer);
        if (n <= 0)
            break;
        got.append(buffer, size_t(n));
    }
    if (got.find("shown\n") != std::string::npos)
        s.shownMs = zra::bench::MsSince(t);
    else
        ::kill(pid, SIGKILL);
    ::close(out[0]);
    int status = 0;
    rusage usage{};
    while (::wait4(pid, &status, 0, &usage) < 0 && errno == EINTR) {
    }
    if (s.shownMs >= 0 && WIFEXITED(status) && WEXITSTATUS(status) == 0)
        s.peakMiB = usage.ru_maxrss / 1024.0; // kilobytes on Linux
    else
        s.shownMs = -1;
    return s;
}

} // namespace

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    ::setenv("QT_QPA_PLATFORM", "offscreen", 1);
    const std::string dir = QCoreApplication::applicationDirPath().toStdString();
    QTemporaryDir files;
    std::vector<double> toolMs, minimalMs, toolMiB, minimalMiB, timeRatios, memoryRatios;
    for (int round = 0; round < Rounds; ++round) {
        const Start minimal = startOnce(dir + "/minimal_probe", files.path().toStdString());
        const Start tool = startOnce(dir + "/startup_probe", files.path().toStdString());
        if (minimal.shownMs < 0 || tool.shownMs < 0) {
            std::fprintf(stderr, "a probe did not show its window\n");
            return 1;
        }
        minimalMs.push_back(minimal.shownMs);
        toolMs.push_back(tool.shownMs);
        minimalMiB.push_back(minimal.peakMiB);
        toolMiB.push_back(tool.peakMiB);
        timeRatios.push_back(tool.shownMs / minimal.shownMs);
        memoryRatios.push_back(tool.peakMiB / minimal.peakMiB);
    }
    using zra::bench::Median;
    std::printf("start-up to the first shown main window, median of %d rounds\n", Rounds);
    std::printf("  %-38s %9.1f ms %7.1f MiB peak\n", "minimal Qt Widgets program",
                Median(minimalMs), Median(minimalMiB));
    std::printf("  %-38s %9.1f ms %7.1f MiB peak\n", "the tool", Median(toolMs), Median(toolMiB));
    std::printf("  %-38s %9.2f   (goal <= 2)\n", "start-up ratio", Median(timeRatios));
    std::printf("  %-38s %9.2f   (goal <= 2)\n", "peak memory ratio", Median(memoryRatios));
    zra::bench::Row("start-up to the first shown window, tool / minimal Qt",
                    QStringLiteral("%1 (%2 / %3 ms)")
                        .arg(Median(timeRatios), 0, 'f', 2)
                        .arg(Median(toolMs), 0, 'f', 1)
                        .arg(Median(minimalMs), 0, 'f', 1),
                    "<= 2", Median(timeRatios) <= 2);
    zra::bench::Row("peak memory of the start-up, tool / minimal Qt",
                    QStringLiteral("%1 (%2 / %3 MiB)")
                        .arg(Median(memoryRatios), 0, 'f', 2)
                        .arg(Median(toolMiB), 0, 'f', 1)
                        .arg(Median(minimalMiB), 0, 'f', 1),
                    "<= 2", Median(memoryRatios) <= 2);
    return 0;
}
