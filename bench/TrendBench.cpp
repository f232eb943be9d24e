// The trends window over a year of snapshots: 100,000 records of the system
// table in one file, one line ticked. The first paint of the chart from the
// open, and the worst stall of the user-interface thread while the window is
// then resized and repainted. The file goes in a scratch folder, removed after.
#include "bench/BenchSupport.h"
#include "store/SnapshotFile.h"
#include "trends/TFtrend.h"

#include <QApplication>
#include <QChartView>
#include <QElapsedTimer>
#include <QEvent>
#include <QFile>
#include <QTemporaryDir>
#include <cstdio>

namespace {

constexpr int Snapshots = 100000;

// A system table: 30 quantities, as the main window's has.
zra::store::SnapshotTable SystemTable(int i) {
    zra::store::SnapshotTable t(2, 31);
    t.set(1, 0, QStringLiteral("Hodnota"));
    for (int r = 1; r < 31; ++r) {
        t.set(0, r, QStringLiteral("Veličina %1 (V)").arg(r));
        t.set(1, r, QStringLiteral("%1,%2").arg(200 + (i * 7 + r) % 60).arg(i % 10));
    }
    return t;
}

// Ends a wait at the first paint of the widget after it was armed.
class PaintSeen : public QObject {
public:
    explicit PaintSeen(QWidget* w) { w->installEventFilter(this); }
    bool seen = false;

protected:
    bool eventFilter(QObject* watched, QEvent* event) override {
        if (event->type() == QEvent::Paint)
            seen = true;
        return QObject::eventFilter(watched, event);
    }
};

} // namespace

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    zra::bench::QuietUi ui;
    zra::ui::InstallUi(&ui);
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("rok.ZRD"));
    {
        QFile out(path);
        QString error;
        QByteArray block;
        bool ok = out.open(QIODevice::WriteOnly);
        for (int i = 0; ok && i < Snapshots; ++i) {
            block += zra::store::EncodeRecord(zra::store::ViewKind::Main, 46000.0 + i / 288.0,
                                              SystemTable(i), &error)
                         .chopped(1);
            if (block.size() > (4 << 20) || i == Snapshots - 1) {
                ok = out.write(block) == block.size();
                block.clear();
            }
        }
        if (!ok || out.write("\0", 1) != 1) {
            std::fprintf(stderr, "cannot write %s\n", qPrintable(path));
            return 1;
        }
    }
    const qint64 bytes = QFileInfo(path).size();

    zra::trends::TFtrend window;
    window.resize(900, 560);
    window.show();
    QCoreApplication::processEvents();
    PaintSeen painted(window.graf->viewport());
    QElapsedTimer t;
    t.start();
    if (!window.openFile(path) ||
        !window.tick({QStringLiteral("Veličina 7 (V)"), QStringLiteral("Hodnota")})) {
        std::fprintf(stderr, "the file did not open with its line\n");
        return 1;
    }
    while (!painted.seen && t.elapsed() < 30000)
        QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
    const double firstPaintMs = zra::bench::MsSince(t);
    // ZRA_BENCH_PNG=file keeps a picture of what was drawn.
    if (const QString png = qEnvironmentVariable("ZRA_BENCH_PNG"); !png.isEmpty())
        window.savePng(png);

    // Two seconds of resizes, each repainting the chart.
    zra::bench::StallMeter meter;
    QElapsedTimer run;
    run.start();
    for (int i = 0; run.elapsed() < 2000; ++i) {
        window.resize(i % 2 ? 900 : 1100, i % 2 ? 560 : 680);
        QElapsedTimer step;
        step.start();
        while (step.elapsed() < 100)
            QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
    }
    const double stall = meter.worstMs();
    std::printf("%d snapshots of the system table, %.1f MB, one line\n", Snapshots,
                double(bytes) / 1e6);
    std::printf("  %-40s %9.1f ms\n", "open to the first paint", firstPaintMs);
    std::printf("  %-40s %9.1f ms\n", "worst stall while resized", stall);
    zra::bench::Row("trends of 100,000 snapshots, first paint",
                    QStringLiteral("%1 ms").arg(firstPaintMs, 0, 'f', 0), "<= 1000 ms",
                    firstPaintMs <= 1000);
    zra::bench::Row("trends of 100,000 snapshots, UI stall after it",
                    QStringLiteral("%1 ms").arg(stall, 0, 'f', 1), "< 50 ms", stall < 50);
    zra::ui::InstallUi(nullptr);
    return 0;
}
