// The device link against the in-process simulator: connect sequence, every
// failure path of the connect and of an exchange, with their exact messages.
#include "link/DeviceLink.h"
#include "link/LinkError.h"
#include "link/ModbusFrame.h"
#include "link/TcpChannel.h"
#include "tests/support/SimFixture.h"
#include "ui/UiServices.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QRegularExpression>
#include <QTcpServer>
#include <QTcpSocket>
#include <QTimer>

using namespace zra;
using namespace zra::test;
using sim::Fault;
using sim::FaultKind;

namespace {

class DeviceLinkTest : public ::testing::Test {
protected:
    void SetUp() override {
        QObject::connect(&link, &link::DeviceLink::trace, [this](const QString& l) { trace << l; });
        QObject::connect(&link, &link::DeviceLink::disconnectedStateEntered,
                         [this] { ++disconnectedEntries; });
    }

    void start(sim::Options options = {}) {
        simulator = StartSimulator(options);
        host = simulator->address();
        link.setAddress(host);
    }
    void connectLink() {
        link.ConnectCommand();
        ASSERT_TRUE(link.connectedState()) << messages().join(" | ").toStdString();
    }
    QStringList messages() const { return ui.messages; }
    QStringList replyLines() const { return trace.filter(QRegularExpression("^<-")); }

    RecordingUi ui;
    QStringList trace;
    int disconnectedEntries = 0;
    QString host;
    std::unique_ptr<sim::Simulator> simulator;
    link::DeviceLink link;
};

TEST_F(DeviceLinkTest, ConnectWithoutLoginRunsXrThenGsAndOpensModbus) {
    start();
    connectLink();
    EXPECT_EQ(link.modbusPort(), simulator->modbusPort());
    EXPECT_FALSE(link.loginRequired());
    EXPECT_FALSE(link.exchangeFailed());
    EXPECT_TRUE(link.modbusOpen());
    EXPECT_FALSE(link.managementOpen()) << "GS closes the management channel";
    EXPECT_TRUE(messages().isEmpty());

    const auto frames = simulator->managementFrames();
    ASSERT_EQ(frames.size(), 2);
    EXPECT_EQ(frames[0], Bytes({0x23, 0x58, 0x52, 0x00, 0x03, 0x00, 0xF2, 0x00, 0x04}));
    // GS: letters and status over the XR reply, its length and payload sent back.
    const quint16 port = simulator->modbusPort();
    EXPECT_EQ(frames[1],
              Bytes({0x23, 'G', 'S', 0x00, 0x04, 0x00, port & 0xFF, port >> 8, 0x00, 0x00}));
    EXPECT_TRUE(trace.contains("Connected."));

    // Disconnect closes the MODBUS channel only.
    link.ConnectCommand();
    EXPECT_FALSE(link.connectedState());
    EXPECT_FALSE(link.modbusOpen());
    EXPECT_EQ(link.modbusPort(), 0);
}

TEST_F(DeviceLinkTest, LoginRequiredAndNotGrantedLeavesModbusClosed) {
    sim::Options o;
    o.loginRequired = true;
    start(o);
    int dialogs = 0;
    link.loginDialog = [&] { ++dialogs; };
    link.ConnectCommand();
    EXPECT_EQ(dialogs, 1);
    EXPECT_FALSE(link.connectedState());
    EXPECT_FALSE(link.modbusOpen());
    EXPECT_TRUE(link.loginRequired());

    // Granted by the dialog: the connect goes on.
    link.loginDialog = [&] {
        ++dialogs;
        link.setLoginGranted(true);
    };
    connectLink();
    EXPECT_EQ(dialogs, 2);
    EXPECT_TRUE(link.loginGranted());
}

TEST_F(DeviceLinkTest, FirmwareGenerationFourIsRefused) {
    sim::Options o;
    o.firmware = 4;
    start(o);
    link.ConnectCommand();
    EXPECT_EQ(messages(), QStringList{"Lze použít pro verzi FW 1.0.19 a výše"});
    EXPECT_FALSE(link.connectedState());
    EXPECT_FALSE(link.modbusOpen());
    EXPECT_EQ(link.modbusPort(), 0);
}

TEST_F(DeviceLinkTest, PortZeroEndsWithNoTcpPortAndRetriesXrNextTime) {
    sim::Options o;
    o.reportedModbusPort = 0;
    start(o);
    link.ConnectCommand();
    EXPECT_EQ(messages(), QStringList{"Není TCP port"});
    EXPECT_FALSE(link.connectedState());
    link.ConnectCommand();
    const auto frames = simulator->managementFrames();
    ASSERT_EQ(frames.size(), 4);
    EXPECT_EQ(frames[2].mid(1, 2), "XR");
}

TEST_F(DeviceLinkTest, ConnectFailuresShowTheirTextsAndStayDisconnected) {
    // No address at all.
    link.ConnectCommand();
    EXPECT_EQ(messages(), QStringList{"Není zadána IP adresa"});
    EXPECT_TRUE(link.exchangeFailed());
    EXPECT_FALSE(link.connectedState());

    // An address where nothing listens: the TCP client's own text.
    ui.messages.clear();
    host = NextLoopbackAddress();
    link.setAddress(host);
    const int resets = ui.cursorResets;
    link.ConnectCommand();
    EXPECT_EQ(messages(), QStringList{"Spojení bylo odmítnuto"});
    EXPECT_GT(ui.cursorResets, resets) << "a connect error brings the normal cursor back";
    EXPECT_TRUE(link.exchangeFailed());
    EXPECT_FALSE(link.connectedState());
}

TEST_F(DeviceLinkTest, ModbusChannelThatCannotOpen) {
    // The installation reports a port where nothing listens.
    sim::Options o;
    o.reportedModbusPort = 9; // discard port: closed on loopback
    start(o);
    link.ConnectCommand();
    EXPECT_EQ(messages(), QStringList{"Spojení bylo odmítnuto"});
    EXPECT_FALSE(link.connectedState());
    EXPECT_EQ(link.modbusPort(), 0);
}

TEST_F(DeviceLinkTest, ReadOfFifteenRegistersIsTracedAndDecoded) {
    start();
    simulator->setInputRegister(1980, 0x0203);
    connectLink();
    trace.clear();
    link.setRequest(4, 1980, 15);
    link.ExchangeRequest();
    ASSERT_FALSE(link.exchangeFailed()) << messages().join(" | ").toStdString();
    ASSERT_EQ(trace.size(), 2);
    EXPECT_EQ(trace[0], "->0x01 0x04 0x07 0xBC 0x00 0x0F 0x70 0x9E ");
    EXPECT_TRUE(trace[1].startsWith("<-0x01 0x04 0x1E "));
    EXPECT_EQ(trace[1].size(), 2 + 35 * 5) << "35 bytes: header, 30 data bytes, CRC";
    EXPECT_EQ(link.replyData()[0], 0x02);
    EXPECT_EQ(link.replyData()[1], 0x03);
    EXPECT_EQ(link::Reg16At(link.replyData(), 0), 0x0203);

    // One register: 3 + 4 bytes.
    link.setRequest(3, 1488, 1);
    link.ExchangeRequest();
    EXPECT_EQ(replyLines().last().size(), 2 + 7 * 5);
    EXPECT_EQ(link::Reg16At(link.replyData(), 0), *simulator->holdingRegister(1488));
}

TEST_F(DeviceLinkTest, WritesReceiveTheEightByteEcho) {
    start();
    connectLink();
    link.WriteModbusPassword();
    ASSERT_FALSE(link.exchangeFailed()) << messages().join(" | ").toStdString();
    const QByteArray frame = simulator->modbusFrames().last();
    EXPECT_EQ(frame.left(7), Bytes({0x01, 0x10, 0x08, 0x34, 0x00, 0x05, 0x0A}));
    EXPECT_EQ(frame.mid(7, 10), "Vortex_P8L");
    EXPECT_EQ(frame.size(), 19);
    EXPECT_EQ(replyLines().last().size(), 2 + 8 * 5);
    EXPECT_EQ(simulator->holdingRegister(2100), ('V' << 8) | 'o');

    link.setRequest(6, 1700, 0x1000);
    link.ExchangeRequest();
    EXPECT_FALSE(link.exchangeFailed());
    EXPECT_EQ(simulator->modbusFrames().last(),
              Bytes({0x01, 0x06, 0x06, 0xA4, 0x10, 0x00, 0xC5, 0x61}));
}

struct FailureCase {
    const char* name;
    Fault fault;
    QString message;
};

class ExchangeFailureTest : public DeviceLinkTest,
                            public ::testing::WithParamInterface<FailureCase> {};

TEST_P(ExchangeFailureTest, FailsWithMessageFlagAndDisconnectedState) {
    start();
    connectLink();
    link.setLoginGranted(true);
    simulator->addFault(GetParam().fault);
    trace.clear();
    link.setRequest(4, 1980, 15);
    link.ExchangeRequest();
    EXPECT_EQ(messages(), QStringList{GetParam().message});
    EXPECT_TRUE(link.exchangeFailed());
    EXPECT_FALSE(link.connectedState());
    EXPECT_FALSE(link.loginGranted());
    EXPECT_EQ(link.modbusPort(), 0);
    EXPECT_GE(ui.cursorResets, 1);
}

Fault fault(FaultKind kind) {
    Fault f;
    f.kind = kind;
    return f;
}
Fault truncated(int keep) {
    Fault f = fault(FaultKind::Truncate);
    f.keepBytes = keep;
    return f;
}
Fault exception(int code) {
    Fault f = fault(FaultKind::Exception);
    f.exceptionCode = static_cast<quint8>(code);
    return f;
}

INSTANTIATE_TEST_SUITE_P(
    Faults, ExchangeFailureTest,
    ::testing::Values(
        FailureCase{"Silence", fault(FaultKind::Silence), "Zařízení neodpovědělo do 2000 ms"},
        FailureCase{"CutShort", truncated(20), "Zařízení neodpovědělo do 2000 ms"},
        FailureCase{"HeaderOnly", truncated(2), "Zařízení neodpovědělo do 2000 ms"},
        FailureCase{"Exception", exception(2),
                    "Zařízení odmítlo požadavek funkce 4: MODBUS výjimka 2 (neplatná adresa "
                    "registru)"},
        FailureCase{"BadCrc", fault(FaultKind::BadCrc), "Chybný CRC odpovědi"},
        FailureCase{"WrongUnit", fault(FaultKind::WrongUnit),
                    "Odpověď od jiného zařízení (ID 2 místo 1)"},
        FailureCase{"WrongFunction", fault(FaultKind::WrongFunction),
                    "Odpověď jiné funkce (3 místo 4)"},
        FailureCase{"Closed", fault(FaultKind::Close), "Zařízení ukončilo spojení"},
        FailureCase{"OversizedByteCount", fault(FaultKind::OversizedByteCount),
                    "Odpověď ohlašuje 250 B dat, což se nevejde do vyrovnávací paměti."}),
    [](const auto& info) { return std::string(info.param.name); });

TEST_F(DeviceLinkTest, ExceptionReplyFailsAtOnceWithoutWaitingForTheTimeOut) {
    start();
    connectLink();
    simulator->addFault(exception(4));
    link.setRequest(3, 1488, 1);
    link.ExchangeRequest();
    EXPECT_EQ(
        messages(),
        QStringList{"Zařízení odmítlo požadavek funkce 3: MODBUS výjimka 4 (chyba zařízení)"});
    // The five bytes of the exception reply are traced for the engineer.
    EXPECT_EQ(replyLines().last().size(), 2 + 5 * 5);
    EXPECT_TRUE(replyLines().last().startsWith("<-0x01 0x83 0x04 "));
}

TEST_F(DeviceLinkTest, ExchangeFailedStaysSetUntilTheNextConnect) {
    start();
    connectLink();
    Fault once = exception(4);
    once.times = 1;
    simulator->addFault(once);
    link.setRequest(3, 1488, 1);
    link.ExchangeRequest();
    ASSERT_TRUE(link.exchangeFailed());
    // The channel is still open: the next exchange succeeds, the flag stays.
    link.ExchangeRequest();
    EXPECT_EQ(replyLines().size(), 2);
    EXPECT_TRUE(link.exchangeFailed());
    EXPECT_EQ(messages().size(), 1);
    connectLink();
    EXPECT_FALSE(link.exchangeFailed());
}

TEST_F(DeviceLinkTest, RequestsThatAreNotSent) {
    start();
    connectLink();
    const auto before = simulator->modbusFrames().size();

    // More than 38 registers would not fit the buffer: refused before sending.
    link.setRequest(3, 1000, 39);
    link.ExchangeRequest();
    EXPECT_EQ(messages(),
              QStringList{"Požadavek na 39 registrů je odmítnut: najednou lze číst nejvýše 38."});
    EXPECT_TRUE(link.exchangeFailed());

    // An unsupported function: request line and a bare reply line, nothing sent.
    connectLink();
    trace.clear();
    link.setRequest(5, 1000, 1);
    link.ExchangeRequest();
    ASSERT_EQ(trace.size(), 2);
    EXPECT_TRUE(trace[0].startsWith("->0x01 0x05 0x03 0xE8 0x00 0x01 "));
    EXPECT_EQ(trace[0].size(), 2 + 8 * 5);
    EXPECT_EQ(trace[1], "<-");
    EXPECT_FALSE(link.exchangeFailed());
    EXPECT_EQ(simulator->modbusFrames().size(), before);
}

TEST_F(DeviceLinkTest, SendFailureReachesTheTopLevelHandler) {
    start();
    connectLink();
    link.ConnectCommand(); // Disconnect: the MODBUS channel is closed
    link.setRequest(3, 1488, 1);
    EXPECT_THROW(link.ExchangeRequest(), link::LinkError);
    EXPECT_FALSE(link.exchangeFailed());

    ui.pushBusyCursor();
    EXPECT_FALSE(ui::RunCommand(nullptr, [this] { link.ExchangeRequest(); }));
    EXPECT_EQ(messages(), QStringList{"Spojení se zařízením není otevřeno"});
    EXPECT_EQ(ui.busyDepth, 0) << "the normal cursor comes back";
}

TEST_F(DeviceLinkTest, PeerClosingTheChannelEntersTheDisconnectedState) {
    start();
    connectLink();
    simulator->stop();
    QElapsedTimer t;
    t.start();
    while (link.connectedState() && t.elapsed() < 3000)
        QCoreApplication::processEvents(QEventLoop::AllEvents, 50);
    EXPECT_FALSE(link.connectedState());
    EXPECT_TRUE(trace.contains("Disconnected."));
}

TEST_F(DeviceLinkTest, ManagementReplyTooLongIsRefused) {
    start();
    Fault f = fault(FaultKind::OversizedManagement);
    f.management = true;
    simulator->addFault(f);
    EXPECT_FALSE(ui::RunCommand(nullptr, [this] { link.ConnectCommand(); }));
    EXPECT_EQ(messages(),
              QStringList{"Odpověď zařízení ohlašuje 200 B dat, nejvýše lze přijmout 122 B."});
    EXPECT_FALSE(link.connectedState());
    EXPECT_FALSE(link.managementOpen());
    // Without the fault the next connect works on a fresh channel.
    simulator->clearFaults();
    connectLink();
}

TEST_F(DeviceLinkTest, ManagementTimeOutEndsTheCommand) {
    start();
    Fault f = fault(FaultKind::Silence);
    f.management = true;
    f.managementCommand = "GS";
    simulator->addFault(f);
    EXPECT_FALSE(ui::RunCommand(nullptr, [this] { link.ConnectCommand(); }));
    EXPECT_EQ(messages(), QStringList{"Zařízení neodpovědělo do 5000 ms"});
    EXPECT_FALSE(link.connectedState());
    EXPECT_FALSE(link.modbusOpen());
    EXPECT_EQ(link.modbusPort(), 0) << "the port from XR is not left behind";

    // So the next Connect runs the whole sequence again.
    simulator->clearFaults();
    connectLink();
    const auto frames = simulator->managementFrames();
    ASSERT_EQ(frames.size(), 4);
    EXPECT_EQ(frames[2].mid(1, 2), "XR");
    EXPECT_EQ(frames[3].mid(1, 2), "GS");
}

TEST_F(DeviceLinkTest, SecondExchangeCannotStartWhileOneRuns) {
    start();
    connectLink();
    simulator->addFault(DelayFault(400));
    QString refused;
    // A timer fires inside the first exchange's nested event loop.
    QTimer::singleShot(50, [&] {
        try {
            link.ExchangeRequest();
        } catch (const link::LinkError& e) {
            refused = QString::fromStdString(e.what());
        }
    });
    link.setRequest(4, 1980, 15);
    link.ExchangeRequest();
    EXPECT_EQ(refused, "Komunikace se zařízením již probíhá.");
    EXPECT_FALSE(link.exchangeFailed()) << messages().join(" | ").toStdString();
    EXPECT_EQ(simulator->modbusFrames().size(), 1);
}

} // namespace

// A channel open to a loopback server whose end of the connection is peer.
class TcpChannelTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(server.listen(QHostAddress(NextLoopbackAddress()), 0));
        ASSERT_TRUE(
            channel.open(server.serverAddress().toString(), server.serverPort(), 2000, &error));
        ASSERT_TRUE(server.hasPendingConnections() || server.waitForNewConnection(2000));
        peer = server.nextPendingConnection();
    }
    QTcpServer server;
    link::TcpChannel channel;
    QTcpSocket* peer = nullptr;
    QString error;
};

// A receive started from a handler while another receive on the same channel
// waits ends by its own time-out, and the outer one still ends by its own.
TEST_F(TcpChannelTest, WaitInsideAWaitKeepsTheOuterTimeOut) {
    // The peer stays silent; this bounds the test if the outer wait lost its time-out.
    QTimer::singleShot(5000, peer, &QTcpSocket::abort);

    QString innerError;
    QElapsedTimer innerTime;
    QTimer::singleShot(50, [&] {
        innerTime.start();
        std::uint8_t b[3];
        EXPECT_FALSE(channel.receive(b, 3, 100, &innerError));
        EXPECT_LT(innerTime.elapsed(), 1000);
    });
    QElapsedTimer t;
    t.start();
    std::uint8_t b[3];
    EXPECT_FALSE(channel.receive(b, 3, 600, &error));
    EXPECT_EQ(innerError, QStringLiteral("Zařízení neodpovědělo do 100 ms"));
    EXPECT_EQ(error, QStringLiteral("Zařízení neodpovědělo do 600 ms"));
    EXPECT_GE(t.elapsed(), 550);
    EXPECT_LT(t.elapsed(), 2000);
}

// What a peer sent before it closed stays readable for the console's line of
// a reply cut short.
TEST_F(TcpChannelTest, BytesOfAReplyCutShortByACloseArePending) {
    peer->write("\x01\x03", 2);
    peer->flush();
    peer->disconnectFromHost();
    std::uint8_t b[3];
    EXPECT_FALSE(channel.receive(b, 3, 2000, &error));
    EXPECT_EQ(error, QStringLiteral("Zařízení ukončilo spojení"));
    EXPECT_FALSE(channel.isOpen());
    EXPECT_EQ(channel.pendingBytes(), QByteArray("\x01\x03", 2));
}

// A reply's bytes are received in the order they came, whether the channel
// took them straight from the socket or its event loop did; what is left
// over stays pending until it is discarded.
TEST_F(TcpChannelTest, BytesComeInOrderHoweverTheyAreTaken) {
    const auto received = [&](int count) {
        std::uint8_t b[8];
        const bool ok = channel.receive(b, count, 2000, &error);
        return ok ? QByteArray(reinterpret_cast<const char*>(b), count) : QByteArray();
    };
    peer->write("ab");
    peer->flush();
    QTimer::singleShot(30, peer, [&] {
        peer->write("cde");
        peer->flush();
    });
    EXPECT_EQ(received(3), "abc");
    // "de" waits in the socket's buffer, "fgh" in the system's.
    peer->write("fgh");
    peer->flush();
    EXPECT_EQ(received(3), "def");
    EXPECT_EQ(received(1), "g");
    EXPECT_EQ(channel.pendingBytes(), "h");
    channel.discardPending();
    EXPECT_EQ(channel.pendingBytes(), "");
    peer->write("i");
    peer->flush();
    EXPECT_EQ(received(1), "i");
}
