// Reads through the windows (offscreen) of an installation with all 500
// configuration variables, each as a ratio to a plain blocking-socket client
// sending the same requests in the same run: the configuration read, and a
// whole read-all. Both clients talk to a canned-reply responder that answers
// each request at once with the simulator's reply to it, recorded once, so
// that neither waits on the simulator's own (noisy) work. Also the longest
// stall of the user-interface thread (the worst lateness of a 10 ms timer)
// during those reads and during a commit, against the simulator itself, with
// its one-second polls.
#include "app/Startup.h"
#include "bench/BenchSupport.h"
#include "bench/CannedResponder.h"
#include "config/ConfigDecode.h"
#include "config/TFkonfig.h"
#include "link/DeviceClient.h"
#include "link/DeviceLink.h"
#include "link/ModbusFrame.h"
#include "link/RegisterMap.h"
#include "main/TFmain.h"
#include "sim/Simulator.h"
#include "ui/TextGrid.h"
#include "ui/UiServices.h"

#include <QApplication>
#include <QComboBox>
#include <QElapsedTimer>
#include <QHash>
#include <QTimer>
#include <algorithm>
#include <cstdio>
#include <functional>
#include <vector>

namespace {

constexpr int Runs = 7;

// Replays request frames on the bare client; every one is a read.
double replayMs(const QString& host, quint16 port, const QList<QByteArray>& frames) {
    zra::bench::PlainClient client(host, port);
    if (!client.connected())
        return -1;
    QElapsedTimer t;
    t.start();
    for (const QByteArray& f : frames)
        if (!client.exchange(f, zra::bench::ReadReplyBytes(f)))
            return -1;
    return zra::bench::MsSince(t);
}

// The 500 requests of the configuration read.
QList<QByteArray> configFrames() {
    QList<QByteArray> frames;
    for (int n = 1; n <= zra::reg::ConfigVariables; ++n) {
        zra::link::ModbusRequest r;
        r.function = zra::reg::ReadInput;
        r.address = zra::reg::ConfigVariableRecord.address(n);
        r.quantity = std::uint16_t(n < zra::reg::ConfigVariables ? 21 : 20);
        frames.append(zra::bench::ReadFrame(r));
    }
    return frames;
}

// The installation's reply to each read frame, asked once on the bare client.
QHash<QByteArray, QByteArray> recordReplies(const QString& host, quint16 port,
                                            const QList<QByteArray>& frames) {
    QHash<QByteArray, QByteArray> replies;
    zra::bench::PlainClient client(host, port);
    QByteArray reply;
    for (const QByteArray& f : frames)
        if (!replies.contains(f) && client.exchange(f, zra::bench::ReadReplyBytes(f), &reply))
            replies.insert(f, reply);
    return replies;
}

// One read through a window against the plain replay of the same frames:
// medians of the runs, the median of the runs' ratios, the worst stall.
struct ReadFigures {
    std::vector<double> base, window, ratios, stalls;
    bool failed = false;
};

ReadFigures measureRead(const std::function<void()>& read, const QString& host, quint16 port,
                        const QList<QByteArray>& frames) {
    ReadFigures f;
    for (int run = 0; run < Runs; ++run) {
        f.base.push_back(replayMs(host, port, frames));
        zra::bench::StallMeter meter;
        QElapsedTimer t;
        t.start();
        read();
        f.window.push_back(zra::bench::MsSince(t));
        f.stalls.push_back(meter.worstMs());
        f.failed = f.failed || f.base.back() <= 0;
        f.ratios.push_back(f.window.back() / f.base.back());
    }
    return f;
}

void print(const char* what, const char* figure, const char* stallFigure, const ReadFigures& f) {
    using zra::bench::Median;
    const double ratio = Median(f.ratios);
    const double stall = *std::max_element(f.stalls.begin(), f.stalls.end());
    std::printf("%s, median of %d runs\n", what, Runs);
    std::printf("  %-38s %9.1f ms\n", "bare blocking client", Median(f.base));
    std::printf("  %-38s %9.1f ms\n", "through the window", Median(f.window));
    std::printf("  %-38s %9.2f   (goal <= 1.5)\n", "ratio (median of the runs' ratios)", ratio);
    std::printf("  %-38s %9.1f ms (goal < 50)\n", "longest UI stall", stall);
    zra::bench::Row(figure,
                    QStringLiteral("%1 (%2 / %3 ms)")
                        .arg(ratio, 0, 'f', 2)
                        .arg(Median(f.window), 0, 'f', 1)
                        .arg(Median(f.base), 0, 'f', 1),
                    "<= 1.5", !f.failed && ratio <= 1.5);
    zra::bench::Row(stallFigure, QStringLiteral("%1 ms").arg(stall, 0, 'f', 1), "< 50 ms",
                    stall < 50);
}

} // namespace

int main(int argc, char** argv) {
    qputenv("QT_QPA_PLATFORM", "offscreen");
    zra::bench::PinToOneCore();
    QApplication app(argc, argv);
    zra::bench::QuietUi ui;
    zra::ui::InstallUi(&ui);
    zra::sim::Options o;
    o.address = QStringLiteral("127.0.0.92");
    o.frozen = true;
    o.scenarioFile = QStringLiteral(ZRA_SIM_SCENARIOS "/all-variables.json");
    o.commitBusyPolls = 2;
    zra::sim::Simulator sim(o);
    QString error;
    if (!sim.start(&error)) {
        std::fprintf(stderr, "simulator: %s\n", qPrintable(error));
        return 1;
    }
    int status = 0;
    {
        zra::app::Windows w;
        QString host = o.address;
        // Through the window's field, as the engineer types it: the window tells
        // the link, and nothing the window does later points it elsewhere.
        w.Fmain->TIP_adr->setEditText(host);
        w.link.ConnectCommand();
        if (!w.link.connectedState()) {
            std::fprintf(stderr, "connect failed\n");
            return 1;
        }
        zra::config::TFkonfig& k = *w.Fkonfig;
        k.show();
        w.Fmain->show();

        // The requests of a read-all once the alarm texts are known (the
        // first read-all also fetches them), as the simulator received them,
        // and the simulator's replies to those and to the configuration read.
        w.Fmain->TBXnactivseClick();
        sim.clearRecords();
        w.Fmain->TBXnactivseClick();
        const QList<QByteArray> readAllFrames = sim.modbusFrames();
        const QList<QByteArray> config = configFrames();
        zra::bench::CannedResponder responder(
            "127.0.0.94", recordReplies(o.address, sim.modbusPort(), readAllFrames + config));
        // A second simulator serves only the management channel and sends the
        // link to the responder.
        zra::sim::Options canned;
        canned.address = QStringLiteral("127.0.0.94");
        canned.frozen = true;
        canned.reportedModbusPort = responder.port();
        zra::sim::Simulator toResponder(canned);
        if (!toResponder.start(&error)) {
            std::fprintf(stderr, "simulator: %s\n", qPrintable(error));
            return 1;
        }
        w.link.ConnectCommand(); // disconnects
        w.Fmain->TIP_adr->setEditText(canned.address);
        w.link.ConnectCommand();

        const ReadFigures configRead =
            measureRead([&] { k.TBXnactiClick(); }, canned.address, responder.port(), config);
        const int rows = k.SG_konfig->rowCount() - 1;
        const ReadFigures readAll = measureRead([&] { w.Fmain->TBXnactivseClick(); },
                                                canned.address, responder.port(), readAllFrames);
        const bool readsKeptLink = w.link.connectedState();

        // Back to the simulator for the commit.
        w.link.ConnectCommand();
        w.Fmain->TIP_adr->setEditText(o.address);
        w.link.ConnectCommand();
        // A commit of ten changed values, with the installation's two busy polls.
        w.link.setLoginGranted(true);
        for (int row = 3; row < 13; ++row)
            k.SG_konfig->setCell(zra::config::ValueColumn, row, QStringLiteral("99"));
        k.ApplyLoadedValues();
        zra::bench::StallMeter meter;
        QElapsedTimer t;
        t.start();
        k.CommitChanges();
        const double commitMs = zra::bench::MsSince(t);
        const double commitStall = meter.worstMs();

        if (rows != 500 || ui.messages != 0 || configRead.failed || readAll.failed ||
            !readsKeptLink || !w.link.connectedState()) {
            std::fprintf(stderr, "a read did not complete (%d rows)\n", rows);
            status = 1;
        }
        print("configuration read of 500 variables", "configuration read, window / bare client",
              "UI stall during the configuration read", configRead);
        const QString what = QStringLiteral("read-all (%1 requests)").arg(readAllFrames.size());
        print(qPrintable(what), "read-all, windows / bare client", "UI stall during the read-all",
              readAll);
        std::printf("commit of 10 values (%.0f ms, two busy polls)\n", commitMs);
        std::printf("  %-38s %9.1f ms (goal < 50)\n", "longest UI stall during the commit",
                    commitStall);
        zra::bench::Row("UI stall during a commit",
                        QStringLiteral("%1 ms").arg(commitStall, 0, 'f', 1), "< 50 ms",
                        commitStall < 50);
    }
    zra::ui::InstallUi(nullptr);
    return status;
}
