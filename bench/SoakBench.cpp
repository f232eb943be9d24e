// A long run against the simulator program (the default installation, with
// live values; a process of its own, so that only the tool's memory and files
// are counted): 10,000 consecutive exchanges, then 200 consecutive read-alls
// through the windows (offscreen). The resident memory at the end
// of each phase is compared with that after its first steps, and the open
// file descriptors (sockets among them) with those at its start, so that a
// leak per exchange or per read shows as growth. The raw console keeps every
// line until "Clear" by design (two lines per exchange, some 2,000 lines per
// read-all of this installation): the run clears it after every 100
// exchanges and after every read-all, as an engineer watching it would.
#include "app/Startup.h"
#include "bench/BenchSupport.h"
#include "console/TFext.h"
#include "link/DeviceLink.h"
#include "link/RegisterMap.h"
#include "main/TFmain.h"
#include "ui/UiServices.h"

#include <QApplication>
#include <QComboBox>
#include <QProcess>
#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <functional>

namespace {

int Exchanges = 10000;
constexpr int ExchangesWarm = 100;
int ReadAlls = 200;
// A read-all fills every table the first time: memory settles after a few.
constexpr int ReadAllsWarm = 10;

struct Phase {
    qint64 warmBytes = 0;
    qint64 endBytes = 0;
    zra::bench::OpenFiles startFiles, endFiles;
    double ms = 0;
    bool failed = false;
    double growthPercent() const {
        return 100.0 * double(endBytes - warmBytes) / double(warmBytes);
    }
};

// Runs the steps; the console is cleared after every clearEvery of them. The
// figures to compare with are taken after the first warm steps: by then the
// simulator has accepted the connection and every table has its size.
Phase run(int steps, int warm, int clearEvery, const std::function<bool()>& step,
          const std::function<void()>& clearConsole) {
    Phase p;
    QElapsedTimer t;
    t.start();
    for (int i = 1; i <= steps && !p.failed; ++i) {
        p.failed = !step();
        if (i % clearEvery == 0)
            clearConsole();
        if (i == warm) {
            p.warmBytes = zra::bench::ResidentBytes();
            p.startFiles = zra::bench::CountOpenFiles();
        }
    }
    p.ms = zra::bench::MsSince(t);
    p.endBytes = zra::bench::ResidentBytes();
    p.endFiles = zra::bench::CountOpenFiles();
    return p;
}

bool report(const char* what, int steps, int warm, const Phase& p) {
    const double growth = p.growthPercent();
    const bool filesKept = p.endFiles.all <= p.startFiles.all;
    std::printf("%s: %d in %.0f ms%s\n", what, steps, p.ms, p.failed ? " (FAILED)" : "");
    std::printf("  %-38s %9.1f MiB\n",
                qPrintable(QStringLiteral("resident after the first %1").arg(warm)),
                p.warmBytes / 1048576.0);
    std::printf("  %-38s %9.1f MiB (%+.2f %%, goal within 5 %%)\n", "resident at the end",
                p.endBytes / 1048576.0, growth);
    std::printf("  %-38s %4d -> %d (sockets %d -> %d)\n", "open file descriptors, warm -> end",
                p.startFiles.all, p.endFiles.all, p.startFiles.sockets, p.endFiles.sockets);
    const QString figure =
        QStringLiteral("soak, %1: resident memory growth").arg(QLatin1String(what));
    zra::bench::Row(qPrintable(figure),
                    QStringLiteral("%1 % (%2 -> %3 MiB)")
                        .arg(growth, 0, 'f', 2)
                        .arg(p.warmBytes / 1048576.0, 0, 'f', 1)
                        .arg(p.endBytes / 1048576.0, 0, 'f', 1),
                    "within 5 %", !p.failed && growth <= 5.0);
    const QString files = QStringLiteral("soak, %1: open files").arg(QLatin1String(what));
    zra::bench::Row(qPrintable(files),
                    QStringLiteral("%1 -> %2 (sockets %3 -> %4)")
                        .arg(p.startFiles.all)
                        .arg(p.endFiles.all)
                        .arg(p.startFiles.sockets)
                        .arg(p.endFiles.sockets),
                    "no growth", filesKept);
    return !p.failed;
}

} // namespace

int main(int argc, char** argv) {
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    // Other lengths, for a closer look: soak_bench [EXCHANGES [READ-ALLS]].
    if (argc > 1)
        Exchanges = std::max(ExchangesWarm, std::atoi(argv[1]));
    if (argc > 2)
        ReadAlls = std::max(ReadAllsWarm, std::atoi(argv[2]));
    zra::bench::QuietUi ui;
    zra::ui::InstallUi(&ui);
    const QString address = QStringLiteral("127.0.0.93");
    QProcess sim;
    sim.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    sim.start(QStringLiteral(ZRA_SIM_PROGRAM), {QStringLiteral("--address"), address});
    // Its first line says it serves.
    if (!sim.waitForReadyRead(10000) || !sim.readLine().startsWith("zra-sim: management")) {
        std::fprintf(stderr, "the simulator did not start\n");
        return 1;
    }
    int status = 0;
    {
        zra::app::Windows w;
        // Through the window's field, as the engineer types it: the window tells
        // the link, and nothing the window does later points it elsewhere.
        w.Fmain->TIP_adr->setEditText(address);
        w.Fmain->show();
        w.link.ConnectCommand();
        if (!w.link.connectedState()) {
            std::fprintf(stderr, "connect failed\n");
            return 1;
        }
        const auto clear = [&] { w.Fext->LMDButton2Click(); };
        const Phase exchanges = run(
            Exchanges, ExchangesWarm, 100,
            [&] {
                w.link.setRequest(zra::reg::ReadInput, zra::reg::SystemBlockAddress,
                                  zra::reg::SystemBlockRegisters);
                w.link.ExchangeRequest();
                // The console's batched lines are flushed as they would be on screen.
                QCoreApplication::processEvents();
                return !w.link.exchangeFailed();
            },
            clear);
        const Phase readAlls = run(
            ReadAlls, ReadAllsWarm, 1,
            [&] {
                w.Fmain->TBXnactivseClick();
                QCoreApplication::processEvents();
                return w.link.connectedState() && ui.messages == 0;
            },
            clear);
        if (!report("exchanges", Exchanges, ExchangesWarm, exchanges) ||
            !report("read-alls", ReadAlls, ReadAllsWarm, readAlls))
            status = 1;
    }
    zra::ui::InstallUi(nullptr);
    sim.terminate(); // SIGTERM to its own pid
    sim.waitForFinished(5000);
    return status;
}
