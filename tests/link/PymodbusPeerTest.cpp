// The tool's link against a MODBUS RTU-over-TCP server that nobody here wrote
// (Debian's pymodbus): reads and writes must come through unchanged.
#include "link/DeviceLink.h"
#include "tests/support/SimFixture.h"

#include <QProcess>
#include <QRegularExpression>

using namespace zra;
using namespace zra::test;

namespace {

class PymodbusPeerTest : public ::testing::Test {
protected:
    void SetUp() override {
        address = NextLoopbackAddress();
        server.setProgram(QStringLiteral("/usr/bin/python3"));
        server.setArguments({QStringLiteral(ZRA_SOURCE_DIR "/tests/interop/pymodbus_rtu_server.py"),
                             QStringLiteral("--address"), address, QStringLiteral("--port"),
                             QStringLiteral("0")});
        server.setProcessChannelMode(QProcess::ForwardedErrorChannel);
        server.start();
        ASSERT_TRUE(server.waitForStarted(5000));
        QByteArray out;
        const QRegularExpression listening(QStringLiteral("LISTENING [0-9.]+:([0-9]+)"));
        for (int i = 0; i < 40 && !listening.match(QString::fromLatin1(out)).hasMatch(); ++i) {
            server.waitForReadyRead(500);
            out += server.readAllStandardOutput();
        }
        const auto m = listening.match(QString::fromLatin1(out));
        ASSERT_TRUE(m.hasMatch()) << "pymodbus server did not start: " << out.toStdString();
        const quint16 port = m.captured(1).toUShort();

        // The management side comes from the simulator on the same address, which
        // reports the pymodbus server's port as the MODBUS port.
        sim::Options o;
        o.reportedModbusPort = port;
        o.address = address;
        simulator = std::make_unique<sim::Simulator>(o);
        ASSERT_TRUE(simulator->start());
        link.setAddress(address);
    }
    void TearDown() override {
        server.terminate(); // SIGTERM to this process id
        if (!server.waitForFinished(5000)) {
            server.kill();
            server.waitForFinished(2000);
        }
    }
    int readRegister(std::uint8_t function, std::uint16_t reg) {
        link.setRequest(function, reg, 1);
        link.ExchangeRequest();
        return link::Reg16At(link.replyData(), 0);
    }

    RecordingUi ui;
    QString address;
    QProcess server;
    std::unique_ptr<sim::Simulator> simulator;
    link::DeviceLink link;
};

TEST_F(PymodbusPeerTest, ReadsAndWritesComeThrough) {
    link.ConnectCommand();
    ASSERT_TRUE(link.connectedState()) << ui.messages.join(" | ").toStdString();

    link.setRequest(3, 10, 10);
    link.ExchangeRequest();
    ASSERT_FALSE(link.exchangeFailed()) << ui.messages.join(" | ").toStdString();
    for (int i = 0; i < 10; ++i)
        EXPECT_EQ(link::Reg16At(link.replyData(), 2 * i), 1010 + i);

    link.setRequest(4, 1980, 15);
    link.ExchangeRequest();
    ASSERT_FALSE(link.exchangeFailed()) << ui.messages.join(" | ").toStdString();
    EXPECT_EQ(link::Reg16At(link.replyData(), 0), 2980);
    EXPECT_EQ(link::Reg16At(link.replyData(), 28), 2994);

    link.setRequest(6, 1700, 0x1000);
    link.ExchangeRequest();
    EXPECT_EQ(readRegister(3, 1700), 0x1000);

    link.WriteModbusPassword();
    ASSERT_FALSE(link.exchangeFailed()) << ui.messages.join(" | ").toStdString();
    EXPECT_EQ(readRegister(3, 2100), ('V' << 8) | 'o');
    EXPECT_EQ(readRegister(3, 2104), ('8' << 8) | 'L');
    EXPECT_FALSE(link.exchangeFailed());
    EXPECT_TRUE(ui.messages.isEmpty()) << ui.messages.join(" | ").toStdString();
}

TEST_F(PymodbusPeerTest, ExceptionReplyOfTheServerIsRecognised) {
    link.ConnectCommand();
    ASSERT_TRUE(link.connectedState());
    // Beyond the server's register block: it answers with an exception reply.
    link.setRequest(3, 3000, 2);
    link.ExchangeRequest();
    EXPECT_TRUE(link.exchangeFailed());
    ASSERT_EQ(ui.messages.size(), 1);
    EXPECT_TRUE(ui.messages[0].startsWith("Zařízení odmítlo požadavek funkce 3: MODBUS výjimka 2"))
        << ui.messages[0].toStdString();
}

} // namespace
