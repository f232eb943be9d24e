// The management server as a client meets it on the wire.
#include "tests/sim/SimClient.h"
#include <QThread>
#include <gtest/gtest.h>

namespace zra::sim::test {
namespace {

const QByteArray kXr = hex("23 58 52 00 03 00 F2 00 04");

QByteArray portBytes(quint16 port) {
    QByteArray bytes;
    bytes.append(static_cast<char>(port & 0xFF));
    bytes.append(static_cast<char>(port >> 8));
    return bytes;
}

// IA request: name and password each zero-terminated in a 9-byte field.
QByteArray loginRequest(const QByteArray& user, const QByteArray& password) {
    QByteArray payload(18, '\0');
    payload.replace(0, qMin<qsizetype>(user.size(), 9), user.left(9));
    payload.replace(9, qMin<qsizetype>(password.size(), 9), password.left(9));
    return hex("23 49 41 00 12 00") + payload;
}

class SimManagementServer : public SimFixture {};

TEST_F(SimManagementServer, ConnectSequenceOnOneConnection) {
    Options options;
    options.firmware = 6;
    startSim(options);
    Client client;
    connectManagement(client);

    const QByteArray xr = client.exchange(kXr, 10);
    EXPECT_EQ(xr, hex("23 58 52 00 04 00") + portBytes(sim->modbusPort()) + hex("00 00"));

    // The client turns the XR reply into the GS request by rewriting letters and status.
    QByteArray gs = xr;
    gs[1] = 'G';
    gs[2] = 'S';
    EXPECT_EQ(toHex(client.exchange(gs, 10)), "23 47 53 00 04 00 00 06 00 00");
    EXPECT_EQ(sim->managementFrames(), (QList<QByteArray>{kXr, gs}));
}

TEST_F(SimManagementServer, LoginRequiredAndChecked) {
    Options options;
    options.loginRequired = true;
    options.user = "servis";
    options.password = "12345678";
    startSim(options);
    Client client;
    connectManagement(client);
    EXPECT_EQ(client.exchange(kXr, 10).right(1), hex("01"));

    EXPECT_EQ(toHex(client.exchange(loginRequest("servis", "12345678"), 6)), "23 49 41 01 00 00");
    EXPECT_EQ(toHex(client.exchange(loginRequest("servis", "1234567"), 6)), "23 49 41 00 00 00");
    EXPECT_EQ(toHex(client.exchange(loginRequest("Servis", "12345678"), 6)), "23 49 41 00 00 00");
    // Bytes after the terminating zero do not count.
    QByteArray padded = loginRequest("servis", "12345678");
    padded[6 + 7] = 'x';
    EXPECT_EQ(toHex(client.exchange(padded, 6)), "23 49 41 01 00 00");
    // A field with no zero byte holds no valid name.
    EXPECT_EQ(toHex(client.exchange(loginRequest("servis12X", "12345678"), 6)),
              "23 49 41 00 00 00");
    // A payload too short for both fields is refused.
    EXPECT_EQ(toHex(client.exchange(hex("23 49 41 00 02 00 61 00"), 6)), "23 49 41 00 00 00");
}

TEST_F(SimManagementServer, ReportedPortOverrideAndUnknownCommand) {
    Options options;
    options.reportedModbusPort = 0;
    startSim(options);
    Client client;
    connectManagement(client);
    EXPECT_EQ(toHex(client.exchange(kXr, 10)), "23 58 52 00 04 00 00 00 00 00");
    EXPECT_EQ(toHex(client.exchange(hex("23 5A 5A 00 01 00 07"), 6)), "23 5A 5A FF 00 00");
}

TEST_F(SimManagementServer, ReassemblesSplitAndJoinedRequests) {
    startSim();
    Client client;
    connectManagement(client);
    client.send(kXr.left(2));
    QThread::msleep(50);
    client.send(kXr.mid(2, 4));
    QThread::msleep(50);
    client.send(kXr.mid(6));
    EXPECT_EQ(client.receive(10).left(4), hex("23 58 52 00"));

    const QByteArray gs = hex("23 47 53 00 00 00");
    client.send(kXr + gs);
    const QByteArray both = client.receive(20);
    EXPECT_EQ(both.mid(0, 3), "#XR");
    EXPECT_EQ(both.mid(10, 3), "#GS");
    EXPECT_EQ(client.receiveFor(100), QByteArray());
}

TEST_F(SimManagementServer, DropsAConnectionThatSendsNoFrames) {
    startSim();
    Client client;
    connectManagement(client);
    client.send("GET / HTTP/1.0\r\n\r\n");
    EXPECT_TRUE(client.waitClosed());
    EXPECT_TRUE(sim->managementFrames().isEmpty());

    Client next; // the server itself carries on
    connectManagement(next);
    EXPECT_EQ(next.exchange(kXr, 10).size(), 10);
}

} // namespace
} // namespace zra::sim::test
