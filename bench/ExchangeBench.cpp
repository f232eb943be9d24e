// Round trips of ExchangeRequest against the in-process simulator, as a ratio
// to a baseline of the same requests sent over a plain blocking socket in the
// same run: the cost of the nested event loop, tracing and reply checks.
#include "bench/BenchSupport.h"
#include "link/DeviceLink.h"
#include "link/ModbusFrame.h"
#include "link/RegisterMap.h"
#include "sim/Simulator.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QTcpSocket>
#include <cstdio>

namespace {

constexpr int Rounds = 2000;

double baselineMs(const QString& host, quint16 port) {
    QTcpSocket socket;
    if (!zra::bench::ConnectPlain(socket, host, port))
        return -1;
    zra::link::ModbusRequest r;
    r.function = zra::reg::ReadInput;
    r.address = zra::reg::SystemBlockAddress;
    r.quantity = zra::reg::SystemBlockRegisters;
    QElapsedTimer t;
    t.start();
    for (int i = 0; i < Rounds; ++i)
        if (!zra::bench::PlainExchange(socket, r, 5 + 2 * r.quantity))
            return -1;
    return zra::bench::MsSince(t);
}

double linkMs(const QString& host) {
    zra::link::DeviceLink link;
    link.hostText = [host] { return host; };
    link.ConnectCommand();
    if (!link.connectedState())
        return -1;
    QElapsedTimer t;
    t.start();
    for (int i = 0; i < Rounds; ++i) {
        link.setRequest(zra::reg::ReadInput, zra::reg::SystemBlockAddress,
                        zra::reg::SystemBlockRegisters);
        link.ExchangeRequest();
        if (link.exchangeFailed())
            return -1;
    }
    return double(t.nsecsElapsed()) / 1e6;
}

} // namespace

int main(int argc, char** argv) {
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    zra::sim::Options o;
    o.address = QStringLiteral("127.0.0.91");
    o.frozen = true;
    zra::sim::Simulator sim(o);
    QString error;
    if (!sim.start(&error)) {
        std::fprintf(stderr, "simulator: %s\n", qPrintable(error));
        return 1;
    }
    const double base = baselineMs(o.address, sim.modbusPort());
    const double viaLink = linkMs(o.address);
    if (base <= 0 || viaLink <= 0) {
        std::fprintf(stderr, "exchange failed\n");
        return 1;
    }
    std::printf("rounds %d: plain socket %.1f ms, ExchangeRequest %.1f ms, ratio %.2f\n", Rounds,
                base, viaLink, viaLink / base);
    return 0;
}
