// Round trips of ExchangeRequest as a ratio to a plain blocking client, both
// against a minimal responder that answers every request at once with the
// same canned reply (CannedResponder.h), so that neither client waits on a
// simulated installation's own work. The
// simulator serves only the management channel and reports the responder's
// port. Median of several rounds.
#include "bench/BenchSupport.h"
#include "bench/CannedResponder.h"
#include "link/DeviceLink.h"
#include "link/ModbusFrame.h"
#include "link/RegisterMap.h"
#include "sim/Simulator.h"

#include <QApplication>
#include <QElapsedTimer>
#include <cstdio>
#include <vector>

namespace {

constexpr int Exchanges = 2000;
constexpr int Rounds = 7;

zra::link::ModbusRequest SystemBlockRequest() {
    zra::link::ModbusRequest r;
    r.function = zra::reg::ReadInput;
    r.address = zra::reg::SystemBlockAddress;
    r.quantity = zra::reg::SystemBlockRegisters;
    return r;
}

// A valid reply to the system block request: unit 1, function 4, the byte
// count, zeros, the CRC.
QByteArray CannedReply() {
    QByteArray reply;
    reply.append(char(1)).append(char(zra::reg::ReadInput));
    reply.append(char(2 * zra::reg::SystemBlockRegisters));
    reply.append(QByteArray(2 * zra::reg::SystemBlockRegisters, '\0'));
    const std::uint16_t crc = zra::link::Crc16Modbus(
        reinterpret_cast<const std::uint8_t*>(reply.constData()), std::uint8_t(reply.size()));
    reply.append(char(crc & 0xFF)).append(char(crc >> 8));
    return reply;
}

double plainMs(const QString& host, quint16 port) {
    zra::bench::PlainClient client(host, port);
    if (!client.connected())
        return -1;
    const QByteArray frame = zra::bench::ReadFrame(SystemBlockRequest());
    QElapsedTimer t;
    t.start();
    for (int i = 0; i < Exchanges; ++i)
        if (!client.exchange(frame, zra::bench::ReadReplyBytes(frame)))
            return -1;
    return zra::bench::MsSince(t);
}

double linkMs(zra::link::DeviceLink& link) {
    QElapsedTimer t;
    t.start();
    for (int i = 0; i < Exchanges; ++i) {
        link.setRequest(zra::reg::ReadInput, zra::reg::SystemBlockAddress,
                        zra::reg::SystemBlockRegisters);
        link.ExchangeRequest();
        if (link.exchangeFailed())
            return -1;
    }
    return zra::bench::MsSince(t);
}

} // namespace

int main(int argc, char** argv) {
    qputenv("QT_QPA_PLATFORM", "offscreen");
    zra::bench::PinToOneCore();
    QApplication app(argc, argv);
    const char* address = "127.0.0.91";
    zra::bench::CannedResponder responder(
        address, {{zra::bench::ReadFrame(SystemBlockRequest()), CannedReply()}});
    zra::sim::Options o;
    o.address = QString::fromLatin1(address);
    o.frozen = true;
    o.reportedModbusPort = responder.port();
    zra::sim::Simulator sim(o);
    QString error;
    if (!sim.start(&error)) {
        std::fprintf(stderr, "simulator: %s\n", qPrintable(error));
        return 1;
    }
    std::vector<double> plain, viaLink, ratios;
    for (int round = 0; round < Rounds; ++round) {
        plain.push_back(plainMs(o.address, responder.port()));
        zra::link::DeviceLink link;
        link.setAddress(o.address);
        link.ConnectCommand();
        viaLink.push_back(link.connectedState() ? linkMs(link) : -1);
        if (plain.back() <= 0 || viaLink.back() <= 0) {
            std::fprintf(stderr, "exchange failed\n");
            return 1;
        }
        ratios.push_back(viaLink.back() / plain.back());
        link.EnterDisconnectedState();
    }
    std::printf("%d exchanges against a canned-reply responder, median of %d rounds\n", Exchanges,
                Rounds);
    std::printf("  %-38s %9.1f ms\n", "bare blocking client", zra::bench::Median(plain));
    std::printf("  %-38s %9.1f ms\n", "ExchangeRequest", zra::bench::Median(viaLink));
    std::printf("  %-38s %9.2f   (goal <= 1.2)\n", "ratio (median of the rounds' ratios)",
                zra::bench::Median(ratios));
    zra::bench::Row("exchange, ExchangeRequest / bare client",
                    QStringLiteral("%1 (%2 / %3 ms)")
                        .arg(zra::bench::Median(ratios), 0, 'f', 2)
                        .arg(zra::bench::Median(viaLink), 0, 'f', 1)
                        .arg(zra::bench::Median(plain), 0, 'f', 1),
                    "<= 1.2", zra::bench::Median(ratios) <= 1.2);
    return 0;
}
