// Round trips of ExchangeRequest as a ratio to a plain blocking client, both
// against a minimal responder that answers every 8-byte request at once with
// the same canned reply (a plain blocking server in a thread of its own), so
// that neither client waits on a simulated installation's own work. The
// simulator serves only the management channel and reports the responder's
// port. Median of several rounds.
#include "bench/BenchSupport.h"
#include "link/DeviceLink.h"
#include "link/ModbusFrame.h"
#include "link/RegisterMap.h"
#include "sim/Simulator.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QTcpSocket>
#include <arpa/inet.h>
#include <atomic>
#include <cstdio>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <sys/socket.h>
#include <thread>
#include <unistd.h>
#include <vector>

namespace {

constexpr int Exchanges = 2000;
constexpr int Rounds = 7;

// Answers each 8-byte request on each accepted connection with `reply`, one
// connection after the other, until stopped.
class CannedResponder {
public:
    CannedResponder(const char* address, QByteArray reply) : m_reply(std::move(reply)) {
        m_listen = ::socket(AF_INET, SOCK_STREAM, 0);
        const int on = 1;
        ::setsockopt(m_listen, SOL_SOCKET, SO_REUSEADDR, &on, sizeof on);
        sockaddr_in a{};
        a.sin_family = AF_INET;
        ::inet_pton(AF_INET, address, &a.sin_addr);
        ::bind(m_listen, reinterpret_cast<sockaddr*>(&a), sizeof a);
        ::listen(m_listen, 4);
        socklen_t len = sizeof a;
        ::getsockname(m_listen, reinterpret_cast<sockaddr*>(&a), &len);
        m_port = ntohs(a.sin_port);
        m_thread = std::thread([this] { serve(); });
    }
    ~CannedResponder() {
        m_stop = true;
        ::shutdown(m_listen, SHUT_RDWR);
        ::close(m_listen);
        m_thread.join();
    }
    quint16 port() const { return m_port; }

private:
    void serve() {
        while (!m_stop) {
            const int c = ::accept(m_listen, nullptr, nullptr);
            if (c < 0)
                return;
            const int on = 1;
            ::setsockopt(c, IPPROTO_TCP, TCP_NODELAY, &on, sizeof on);
            char request[8];
            while (::recv(c, request, sizeof request, MSG_WAITALL) == sizeof request)
                if (::send(c, m_reply.constData(), size_t(m_reply.size()), 0) != m_reply.size())
                    break;
            ::close(c);
        }
    }
    QByteArray m_reply;
    int m_listen = -1;
    quint16 m_port = 0;
    std::atomic<bool> m_stop{false};
    std::thread m_thread;
};

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
    QTcpSocket socket;
    if (!zra::bench::ConnectPlain(socket, host, port))
        return -1;
    const zra::link::ModbusRequest r = SystemBlockRequest();
    QElapsedTimer t;
    t.start();
    for (int i = 0; i < Exchanges; ++i)
        if (!zra::bench::PlainExchange(socket, r, 5 + 2 * r.quantity))
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
    QApplication app(argc, argv);
    const char* address = "127.0.0.91";
    CannedResponder responder(address, CannedReply());
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
        link.hostText = [&] { return o.address; };
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
    std::printf("  %-38s %9.1f ms\n", "plain blocking client", zra::bench::Median(plain));
    std::printf("  %-38s %9.1f ms\n", "ExchangeRequest", zra::bench::Median(viaLink));
    std::printf("  %-38s %9.2f   (goal <= 1.2)\n", "ratio (median of the rounds' ratios)",
                zra::bench::Median(ratios));
    return 0;
}
