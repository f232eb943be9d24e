// The configuration read of all 500 variables through the window (offscreen)
// against the in-process simulator, as a ratio to a plain blocking-socket
// client sending the same 500 requests in the same run; and the longest stall
// of the user-interface thread (the worst lateness of a 10 ms timer) during
// that read and during a commit with its one-second polls.
#include "bench/BenchSupport.h"
#include "config/ConfigDecode.h"
#include "config/TFkonfig.h"
#include "link/DeviceClient.h"
#include "link/DeviceLink.h"
#include "link/ModbusFrame.h"
#include "link/RegisterMap.h"
#include "main/Startup.h"
#include "sim/Simulator.h"
#include "ui/TextGrid.h"
#include "ui/UiServices.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QTcpSocket>
#include <QTimer>
#include <algorithm>
#include <cstdio>
#include <vector>

namespace {

constexpr int Runs = 7;

// The worst lateness of a 10 ms timer while it runs.
class StallMeter {
public:
    StallMeter() {
        m_timer.setTimerType(Qt::PreciseTimer);
        QObject::connect(&m_timer, &QTimer::timeout, [this] {
            const qint64 now = m_clock.nsecsElapsed();
            m_worst = std::max(m_worst, (now - m_last) / 1e6 - 10.0);
            m_last = now;
        });
        m_clock.start();
        m_last = m_clock.nsecsElapsed();
        m_timer.start(10);
    }
    double worstMs() const { return std::max(0.0, m_worst); }

private:
    QTimer m_timer;
    QElapsedTimer m_clock;
    qint64 m_last = 0;
    double m_worst = 0;
};

double baselineMs(const QString& host, quint16 port) {
    QTcpSocket socket;
    if (!zra::bench::ConnectPlain(socket, host, port))
        return -1;
    QElapsedTimer t;
    t.start();
    for (int n = 1; n <= zra::reg::ConfigVariables; ++n) {
        zra::link::ModbusRequest r;
        r.function = zra::reg::ReadInput;
        r.address = zra::reg::ConfigVariableRecord.address(n);
        r.quantity = std::uint16_t(n < zra::reg::ConfigVariables ? 21 : 20);
        if (!zra::bench::PlainExchange(socket, r, 5 + 2 * r.quantity))
            return -1;
    }
    return zra::bench::MsSince(t);
}

// The same requests through the device client alone, without the window.
double clientMs(zra::link::DeviceClient& client) {
    QElapsedTimer t;
    t.start();
    for (int n = 1; n <= zra::reg::ConfigVariables; ++n)
        if (!client.readInput(zra::reg::ConfigVariableRecord.address(n),
                              std::uint16_t(n < zra::reg::ConfigVariables ? 21 : 20)))
            return -1;
    return double(t.nsecsElapsed()) / 1e6;
}

} // namespace

int main(int argc, char** argv) {
    qputenv("QT_QPA_PLATFORM", "offscreen");
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
        zra::main::Windows w;
        w.link.hostText = [&] { return o.address; };
        w.link.ConnectCommand();
        if (!w.link.connectedState()) {
            std::fprintf(stderr, "connect failed\n");
            return 1;
        }
        zra::config::TFkonfig& k = *w.Fkonfig;
        k.show();
        std::vector<double> base, window, readStall, viaClient, ratios;
        for (int run = 0; run < Runs; ++run) {
            base.push_back(baselineMs(o.address, sim.modbusPort()));
            viaClient.push_back(clientMs(w.client));
            StallMeter meter;
            QElapsedTimer t;
            t.start();
            k.TBXnactiClick();
            window.push_back(double(t.nsecsElapsed()) / 1e6);
            readStall.push_back(meter.worstMs());
            ratios.push_back(window.back() / base.back());
        }
        const int rows = k.SG_konfig->rowCount() - 1;

        // A commit of ten changed values, with the installation's two busy polls.
        w.link.setLoginGranted(true);
        for (int row = 3; row < 13; ++row)
            k.SG_konfig->setCell(zra::config::ValueColumn, row, QStringLiteral("99"));
        k.ApplyLoadedValues();
        StallMeter meter;
        QElapsedTimer t;
        t.start();
        k.CommitChanges();
        const double commitMs = double(t.nsecsElapsed()) / 1e6;
        const double commitStall = meter.worstMs();

        if (rows != 500 || ui.messages != 0 ||
            std::any_of(base.begin(), base.end(), [](double v) { return v <= 0; })) {
            std::fprintf(stderr, "the read did not complete (%d rows)\n", rows);
            status = 1;
        }
        std::printf("configuration read of %d variables, median of %d runs\n", rows, Runs);
        std::printf("  %-38s %9.1f ms\n", "plain blocking socket", zra::bench::Median(base));
        std::printf("  %-38s %9.1f ms\n", "device client alone", zra::bench::Median(viaClient));
        std::printf("  %-38s %9.1f ms\n", "configuration window", zra::bench::Median(window));
        std::printf("  %-38s %9.2f   (goal <= 1.5)\n", "ratio (median of the runs' ratios)",
                    zra::bench::Median(ratios));
        std::printf("  %-38s %9.1f ms (goal < 50)\n", "longest UI stall during the read",
                    *std::max_element(readStall.begin(), readStall.end()));
        std::printf("commit of 10 values (%.0f ms, two busy polls)\n", commitMs);
        std::printf("  %-38s %9.1f ms (goal < 50)\n", "longest UI stall during the commit",
                    commitStall);
    }
    zra::ui::InstallUi(nullptr);
    return status;
}
