// Feeds arbitrary bytes as the installation's management replies (XR, GS and
// IA) through the real connect sequence, DeviceLink::ConnectCommand, with the
// login dialog's exchange (DeviceClient::login) when XR asks for a login.
//
// Input: one control byte, then up to three chunks, each a length byte and
// that many bytes (cut short where the input ends):
//   byte 0     bit 0 clear: a name and a password are sent, as the login
//              dialog's OK does (then "Zruš" if the login is refused); set:
//              "Zruš" at once
//   chunk 1    the reply to XR, chunk 2 the reply to GS (same connection),
//              chunk 3 the reply to IA (the login's own connection)
// The peer on 127.0.K.231:9760 writes a chunk once the request has come, and
// closes the connection after the last chunk of a connection or after a
// chunk that is not a whole frame, so that a short reply ends at once.
// A non-zero MODBUS port in the XR chunk (its bytes 6 and 7) is replaced by
// the port of a listening peer (bit 0 of byte 6 clear) or of a port where
// nothing listens, so the link's MODBUS connects stay on sockets of this run.
#include "FuzzSupport.h"

#include "link/DeviceClient.h"
#include "link/DeviceLink.h"
#include "link/LinkError.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QtGlobal>
#include <arpa/inet.h>
#include <cstdint>
#include <memory>
#include <netinet/in.h>
#include <optional>
#include <sys/socket.h>
#include <unistd.h>
#include <vector>

namespace {

using namespace zra;
using link::ManagementFrame;

[[noreturn]] void Broken(const char* what) {
    fuzz::Broken("management_fuzz", what);
}

// A reply as the peer sent it: whether it is a whole frame the link can take
// (header, a length up to 122, that many payload bytes), and its fields; a
// field the reply does not carry is 0.
struct Said {
    bool whole = false;
    int status = 0;
    QByteArray payload;
    int field(int i) const { return i < payload.size() ? std::uint8_t(payload[i]) : 0; }
};

Said Parse(const QByteArray& chunk) {
    Said s;
    if (chunk.size() < ManagementFrame::HeaderSize)
        return s;
    const int length = std::uint8_t(chunk[4]) | std::uint8_t(chunk[5]) << 8;
    if (length > ManagementFrame::MaxPayload || chunk.size() < ManagementFrame::HeaderSize + length)
        return s;
    s.whole = true;
    s.status = std::uint8_t(chunk[3]);
    s.payload = chunk.mid(ManagementFrame::HeaderSize, length);
    return s;
}

const QString LoginName = QStringLiteral("servis");
const QString LoginPassword = QStringLiteral("heslo");

struct Run {
    QCoreApplication* app = nullptr;
    fuzz::QuietReporter ui;
    fuzz::ScriptedPeer management;
    fuzz::ScriptedPeer modbus; // accepts and never answers
    quint16 closedPort = 0;    // bound, not listening: connects are refused
    QString host;
    std::unique_ptr<link::DeviceLink> link;
    std::unique_ptr<link::DeviceClient> client;
    // This input.
    QByteArray chunks[3];
    bool clickOk = true;
    QList<QByteArray> requests;   // in the order the peer received them
    std::vector<int> openedPorts; // the MODBUS port of each connect attempt
};
Run* g;

// A port of the address that nothing listens on for the whole run.
quint16 BindClosedPort(const QString& host) {
    const int fd = ::socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in a{};
    a.sin_family = AF_INET;
    a.sin_port = 0;
    socklen_t size = sizeof a;
    if (fd < 0 || ::inet_pton(AF_INET, qPrintable(host), &a.sin_addr) != 1 ||
        ::bind(fd, reinterpret_cast<sockaddr*>(&a), sizeof a) != 0 ||
        ::getsockname(fd, reinterpret_cast<sockaddr*>(&a), &size) != 0)
        Broken("cannot bind a closed port");
    return ntohs(a.sin_port); // the descriptor stays open for the run
}

// The login dialog: OK with the name and password (a failed send is shown as
// the dialog shows it), or "Zruš".
void LoginDialog() {
    if (!g->clickOk)
        return;
    try {
        if (g->client->login(LoginName, LoginPassword) != link::DeviceClient::Login::Granted)
            link::Report().warning(link::DeviceClient::LoginRefusedText);
    } catch (const link::LinkError& e) {
        link::Report().warning(QString::fromUtf8(e.what()));
    }
}

} // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    fuzz::PrepareQt();
    static int argc = 1;
    static char name[] = "management_fuzz";
    static char* argv[] = {name, nullptr};
    g = new Run;
    g->app = new QCoreApplication(argc, argv);
    link::SetReporter(&g->ui);

    g->management.requestLength = [](const QByteArray& bytes) -> qsizetype {
        if (bytes.size() < ManagementFrame::HeaderSize)
            return 0;
        return std::min<qsizetype>(ManagementFrame::HeaderSize +
                                       (std::uint8_t(bytes[4]) | std::uint8_t(bytes[5]) << 8),
                                   ManagementFrame::Size);
    };
    // Connection 0: XR then GS; connection 1: IA; nothing after that.
    g->management.answer = [](int connection, int request, const QByteArray& bytes) {
        g->requests << bytes;
        const int index = connection == 0 ? request : connection == 1 && request == 0 ? 2 : -1;
        if (index < 0)
            return fuzz::ScriptedPeer::Reply{{}, true};
        const QByteArray& chunk = g->chunks[index];
        const bool last = index != 0;
        return fuzz::ScriptedPeer::Reply{chunk, last || !Parse(chunk).whole};
    };
    g->modbus.requestLength = [](const QByteArray&) -> qsizetype { return 0; };
    g->host = fuzz::ListenOnLoopback(g->management, 231, link::DeviceLink::ManagementPort);
    if (g->host.isEmpty() || !g->modbus.listen(QHostAddress(g->host), 0))
        Broken("no loopback address to listen on");
    g->closedPort = BindClosedPort(g->host);

    g->link = std::make_unique<link::DeviceLink>();
    link::DeviceLink& link = *g->link;
    link.setAddress(g->host);
    g->client = std::make_unique<link::DeviceClient>(link);
    link.loginDialog = &LoginDialog;
    QObject::connect(&link, &link::DeviceLink::trace, [](const QString& line) {
        if (line.startsWith(QLatin1String("Connecting to")))
            g->openedPorts.push_back(g->link->modbusPort());
    });
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size < 1)
        return 0;
    g->clickOk = (data[0] & 1) == 0;
    size_t at = 1;
    for (QByteArray& chunk : g->chunks) {
        const size_t length = at < size ? data[at++] : 0;
        const size_t n = std::min(length, size - at);
        chunk = QByteArray(reinterpret_cast<const char*>(data + at), qsizetype(n));
        at += n;
    }
    QByteArray& xrChunk = g->chunks[0];
    if (xrChunk.size() >= 8 && (xrChunk[6] != 0 || xrChunk[7] != 0)) {
        const quint16 port = (xrChunk[6] & 1) ? g->closedPort : g->modbus.port();
        xrChunk[6] = char(port & 0xFF);
        xrChunk[7] = char(port >> 8);
    }
    const Said xr = Parse(g->chunks[0]);
    const Said gs = Parse(g->chunks[1]);
    const Said ia = Parse(g->chunks[2]);

    // What the sequence must come to, from the replies as sent.
    const int port = xr.field(0) | xr.field(1) << 8;
    const bool loginAsked = xr.field(3) == 1;
    const bool threw = !xr.whole || !gs.whole;
    const bool firmwareOk = !threw && gs.field(1) >= 5;
    const bool iaSent = firmwareOk && loginAsked && g->clickOk;
    const bool granted = iaSent && ia.whole && ia.status == 1;
    const bool opens = firmwareOk && (!loginAsked || granted) && port != 0;
    const bool connects = opens && port == g->modbus.port();

    link::DeviceLink& link = *g->link;
    g->requests.clear();
    g->openedPorts.clear();
    g->management.reset();
    g->modbus.reset();
    g->ui.messages = 0;
    g->ui.lastMessage.clear();
    // Every input starts from the same buffer: no bytes of an earlier input.
    link.management.bytes.fill(0);

    QElapsedTimer elapsed;
    elapsed.start();
    bool thrown = false;
    try {
        link.ConnectCommand();
    } catch (const link::LinkError&) {
        thrown = true; // the documented end of a failed management exchange
    }
    if (elapsed.elapsed() >= link::DeviceLink::ManagementReceiveTimeoutMs)
        Broken("the connect waited for a time-out");

    if (thrown != threw)
        Broken(threw ? "a broken XR or GS reply did not end the connect"
                     : "the connect threw on whole replies");
    if (link.managementOpen())
        Broken("the management channel was left open");
    if (!link.connectedState() &&
        (link.modbusPort() != 0 || link.loginGranted() || link.modbusOpen()))
        Broken("a failed connect left a port or a login behind");
    if (link.connectedState() != connects) {
        std::fprintf(stderr, "link: %s\n", qPrintable(g->ui.lastMessage));
        Broken(connects ? "the connect did not reach the connected state"
                        : "the connect reached the connected state");
    }
    if (connects &&
        (!link.modbusOpen() || link.modbusPort() != port || link.loginGranted() != loginAsked))
        Broken("the connected state has the wrong port or login");
    if (xr.whole && link.loginRequired() != loginAsked)
        Broken("the login requirement is not the one XR gave");
    // Only a login the user cancels ends the connect without a word.
    const bool cancelled = firmwareOk && loginAsked && !g->clickOk;
    if (!link.connectedState() && !thrown && !cancelled && g->ui.messages == 0)
        Broken("a failed connect said nothing");
    // The MODBUS channel is opened once, on the port XR gave, and only then.
    if (g->openedPorts != (opens ? std::vector<int>{port} : std::vector<int>{}))
        Broken("the MODBUS channel was opened on a port XR did not give");

    // The requests: XR; GS written over the XR reply (its letters and status,
    // the reply's first byte, length and payload sent back as they came); IA,
    // on a connection of its own, when a login was asked for.
    const int expected = 1 + (xr.whole ? 1 : 0) + (iaSent ? 1 : 0);
    if (g->requests.size() != expected || g->management.connections() != (iaSent ? 2 : 1) ||
        g->requests[0].mid(1, 2) != "XR" || (iaSent && g->requests[2].mid(1, 2) != "IA"))
        Broken("the connect sent other management requests than XR, GS and IA");
    if (xr.whole && g->requests[1] != g->chunks[0].left(1) + QByteArray("GS\0", 3) +
                                          g->chunks[0].mid(4, 2 + xr.payload.size()))
        Broken("GS does not send back the XR reply's length and payload");

    if (link.connectedState()) {
        link.ConnectCommand(); // disconnect
        if (link.connectedState() || link.modbusOpen() || link.modbusPort() != 0 ||
            link.loginGranted())
            Broken("the disconnect left a port or a login behind");
    }
    return 0;
}
