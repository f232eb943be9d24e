// Every fault kind, as a client sees it, and which requests a fault hits.
#include "tests/sim/SimClient.h"
#include <QElapsedTimer>
#include <gtest/gtest.h>

namespace zra::sim::test {
namespace {

const QByteArray kXr = hex("23 58 52 00 03 00 F2 00 04");
const QByteArray kGs = hex("23 47 53 00 00 00");

class SimFaults : public SimFixture {
protected:
    void SetUp() override {
        startSim();
        connectModbus(client);
        readSystem = request(1, 4, 1980, 2);
        normalReply = withCrc(hex("01 04 04 00 03 00 01"));
    }
    Client client;
    QByteArray readSystem;
    QByteArray normalReply; // the answer to readSystem without faults
};

TEST_F(SimFaults, DelayAnswersLateButNormally) {
    sim->addFault({.kind = FaultKind::Delay, .delayMs = 400});
    client.send(readSystem);
    EXPECT_EQ(client.receiveFor(150), QByteArray()); // nothing yet
    EXPECT_EQ(client.receive(9), normalReply);
}

TEST_F(SimFaults, DelayKeepsTheOrderOfAnswers) {
    sim->addFault({.kind = FaultKind::Delay, .delayMs = 300, .times = 1});
    client.send(readSystem + request(1, 3, 1488, 1));
    EXPECT_EQ(client.receive(16), normalReply + withCrc(hex("01 03 02 C0 00")));
}

TEST_F(SimFaults, SilenceAndClose) {
    sim->addFault({.kind = FaultKind::Silence, .times = 1});
    client.send(readSystem);
    EXPECT_EQ(client.receiveFor(300), QByteArray());
    EXPECT_EQ(client.exchange(readSystem, 9), normalReply); // used up after one hit

    sim->addFault({.kind = FaultKind::Close});
    client.send(readSystem);
    EXPECT_TRUE(client.waitClosed());
    EXPECT_EQ(client.socket().readAll(), QByteArray());
}

TEST_F(SimFaults, ReshapedReplies) {
    struct Case {
        const char* what;
        Fault fault;
        QByteArray reply;
    };
    QByteArray damaged = normalReply;
    damaged[7] = static_cast<char>(~damaged[7]);
    damaged[8] = static_cast<char>(~damaged[8]);
    const Case cases[] = {
        {"exception", {.kind = FaultKind::Exception, .exceptionCode = 6}, withCrc(hex("01 84 06"))},
        {"truncate", {.kind = FaultKind::Truncate, .keepBytes = 3}, normalReply.left(3)},
        {"bad CRC", {.kind = FaultKind::BadCrc}, damaged},
        {"wrong unit", {.kind = FaultKind::WrongUnit}, withCrc(hex("02 04 04 00 03 00 01"))},
        {"wrong function",
         {.kind = FaultKind::WrongFunction},
         withCrc(hex("01 03 04 00 03 00 01"))},
    };
    for (const Case& c : cases) {
        Fault once = c.fault;
        once.times = 1;
        sim->addFault(once);
        client.send(readSystem);
        EXPECT_EQ(toHex(client.receiveFor(200)), toHex(c.reply)) << c.what;
    }
    EXPECT_EQ(client.exchange(readSystem, 9), normalReply);
}

TEST_F(SimFaults, OversizedByteCount) {
    sim->addFault({.kind = FaultKind::OversizedByteCount});
    client.send(readSystem);
    const QByteArray reply = client.receive(3 + 250 + 2);
    ASSERT_EQ(reply.size(), 255);
    EXPECT_EQ(toHex(reply.left(7)), "01 04 FA 00 03 00 01");
    EXPECT_TRUE(hasValidCrc(reply));
}

TEST_F(SimFaults, ExceptionFaultLeavesTheStoreAlone) {
    sim->addFault({.kind = FaultKind::Exception, .exceptionCode = 4, .function = 6});
    EXPECT_EQ(client.exchange(request(1, 6, 1700, 7), 5), withCrc(hex("01 86 04")));
    EXPECT_EQ(sim->holdingRegister(1700), 0);
}

TEST_F(SimFaults, MatchFunctionRangeAndCount) {
    sim->withStore([](RegisterStore& store) {
        for (quint16 a = 100; a < 110; ++a)
            store.setInput(a, a);
    });
    sim->addFault({.kind = FaultKind::Silence,
                   .function = 4,
                   .firstRegister = 105,
                   .lastRegister = 200,
                   .times = 2});
    auto answered = [&](const QByteArray& frame) {
        client.send(frame);
        return !client.receiveFor(150).isEmpty();
    };
    EXPECT_TRUE(answered(request(1, 4, 100, 5)));  // 100..104: outside the range
    EXPECT_TRUE(answered(request(1, 3, 1488, 1))); // other function
    EXPECT_FALSE(answered(request(1, 4, 100, 6))); // 100..105 overlaps: first hit
    EXPECT_FALSE(answered(request(1, 4, 109, 1))); // second hit
    EXPECT_TRUE(answered(request(1, 4, 109, 1)));  // used up

    // The first matching fault wins; clearFaults removes every fault.
    sim->addFault({.kind = FaultKind::WrongUnit, .times = 1});
    sim->addFault({.kind = FaultKind::Silence});
    EXPECT_EQ(client.exchange(readSystem, 9)[0], 2);
    EXPECT_FALSE(answered(readSystem));
    sim->clearFaults();
    EXPECT_EQ(client.exchange(readSystem, 9), normalReply);
}

TEST_F(SimFaults, ManagementFaultsStayOnTheirChannel) {
    // Silence only GS; XR still answers, MODBUS is untouched by management faults.
    sim->addFault({.kind = FaultKind::Silence, .management = true, .managementCommand = "GS"});
    Client mgmt;
    connectManagement(mgmt);
    EXPECT_EQ(mgmt.exchange(kXr, 10).size(), 10);
    mgmt.send(kGs);
    EXPECT_EQ(mgmt.receiveFor(200), QByteArray());
    EXPECT_EQ(client.exchange(readSystem, 9), normalReply);
    sim->clearFaults();

    // MODBUS faults do not touch management requests.
    sim->addFault({.kind = FaultKind::Close});
    EXPECT_EQ(mgmt.exchange(kXr, 10).size(), 10);
    sim->clearFaults();

    sim->addFault({.kind = FaultKind::Delay, .delayMs = 300, .times = 1, .management = true});
    mgmt.send(kXr);
    EXPECT_EQ(mgmt.receiveFor(100), QByteArray());
    EXPECT_EQ(mgmt.receive(10).size(), 10);

    sim->addFault({.kind = FaultKind::OversizedManagement, .times = 1, .managementCommand = "XR"});
    const QByteArray big = mgmt.exchange(kXr, 6 + 200);
    ASSERT_EQ(big.size(), 206);
    EXPECT_EQ(toHex(big.left(6)), "23 58 52 00 C8 00");

    sim->addFault({.kind = FaultKind::Close, .management = true});
    mgmt.send(kXr);
    EXPECT_TRUE(mgmt.waitClosed());
    EXPECT_EQ(mgmt.socket().readAll(), QByteArray());
    EXPECT_EQ(sim->managementFrames().size(), 6); // XR, GS and four XR, all recorded
}

TEST_F(SimFaults, WriteFaultsStillWriteUnlessRefused) {
    // Only an exception refuses a request; a lost answer does not undo the write.
    sim->addFault({.kind = FaultKind::Silence, .function = 6, .times = 1});
    client.send(request(1, 6, 1700, 5));
    EXPECT_EQ(client.receiveFor(200), QByteArray());
    EXPECT_EQ(sim->holdingRegister(1700), 5);
}

} // namespace
} // namespace zra::sim::test
