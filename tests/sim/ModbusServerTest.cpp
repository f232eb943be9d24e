// The MODBUS RTU-over-TCP server: reads, writes, exceptions, framing and records.
#include "sim/RegisterMap.h"
#include "tests/sim/SimClient.h"
#include <QFile>
#include <QTemporaryDir>
#include <QThread>
#include <gtest/gtest.h>

namespace zra::sim::test {
namespace {

class SimModbusServer : public SimFixture {
protected:
    void SetUp() override {
        startSim({.frozen = true});
        connectModbus(client);
    }
    Client client;
};

TEST_F(SimModbusServer, ReadsInputAndHoldingRegisters) {
    const QByteArray system = client.exchange(request(1, 4, 1980, 15), 35);
    ASSERT_EQ(system.size(), 35);
    EXPECT_EQ(toHex(system.left(3)), "01 04 1E");
    EXPECT_TRUE(hasValidCrc(system));
    EXPECT_EQ(system[3 + 1], 3);  // phase count, low byte of 1980
    EXPECT_EQ(system[3 + 26], 9); // module count, high byte of 1993

    sim->setInputRegister(1982, 0xBEEF);
    const QByteArray two = client.exchange(request(1, 4, 1981, 2), 9);
    EXPECT_EQ(two, withCrc(hex("01 04 04 00 01 BE EF")));

    EXPECT_EQ(client.exchange(request(1, 3, 1488, 1), 7), withCrc(hex("01 03 02 C0 00")));
    // Holding and input registers are separate spaces.
    EXPECT_EQ(client.exchange(request(1, 3, 1980, 1), 5), withCrc(hex("01 83 02")));
}

TEST_F(SimModbusServer, WritesChangeLaterReads) {
    EXPECT_EQ(toHex(client.exchange(hex("01 06 06 A4 10 00 C5 61"), 8)), "01 06 06 A4 10 00 C5 61");
    EXPECT_EQ(sim->holdingRegister(1700), 0x1000);
    EXPECT_EQ(client.exchange(request(1, 3, 1700, 1), 7), withCrc(hex("01 03 02 10 00")));

    // The access password: ten characters in five registers.
    const QByteArray password = withCrc(hex("01 10 08 34 00 05 0A") + QByteArray("Vortex_P8L"));
    EXPECT_EQ(client.exchange(password, 8), withCrc(hex("01 10 08 34 00 05")));
    EXPECT_EQ(client.exchange(request(1, 3, 2100, 5), 15),
              withCrc(hex("01 03 0A") + QByteArray("Vortex_P8L")));

    // The installation sets its clock from a write to 1500 and reports it at 2002.
    const QList<quint16> clock = {0x0102, 0x0304, 0x0500, 2030};
    EXPECT_EQ(client.exchange(writeMultiple(1, 1500, clock), 8).size(), 8);
    EXPECT_EQ(client.exchange(request(1, 4, 2002, 4), 13),
              withCrc(hex("01 04 08 01 02 03 04 05 00 07 EE")));

    // A commit leaves the configuration idle again.
    EXPECT_EQ(client.exchange(request(1, 6, 1488, 256), 8).size(), 8);
    EXPECT_EQ(sim->holdingRegister(1488), 0xC000);
}

TEST_F(SimModbusServer, ExceptionReplies) {
    struct Case {
        const char* what;
        QByteArray request;
        const char* reply; // before the CRC
    };
    QList<quint16> tooMany(124, 0);
    const Case cases[] = {
        {"unknown function", withCrc(hex("01 05 00 01 FF 00")), "01 85 01"},
        {"absent register", request(1, 3, 3000, 1), "01 83 02"},
        {"range leaves the block", request(1, 4, 1994, 2), "01 84 02"},
        {"quantity 0", request(1, 4, 1980, 0), "01 84 03"},
        {"quantity 126", request(1, 4, 1980, 126), "01 84 03"},
        {"write to absent register", request(1, 6, 4000, 1), "01 86 02"},
        {"write of 124 registers", writeMultiple(1, 2100, tooMany), "01 90 03"},
        {"byte count does not fit quantity",
         withCrc(hex("01 10 08 34 00 05 08") + QByteArray("Vortex_P")), "01 90 03"},
        {"multiple write past the block", writeMultiple(1, 2103, {1, 2, 3}), "01 90 02"},
    };
    for (const Case& c : cases)
        EXPECT_EQ(client.exchange(c.request, 5), withCrc(hex(c.reply))) << c.what;
    EXPECT_EQ(sim->holdingRegister(2103), 0); // refused writes change nothing
    EXPECT_EQ(client.receiveFor(50), QByteArray());
}

TEST_F(SimModbusServer, ReadOnlyHoldingRegisterRefusesWrites) {
    sim->withStore([](RegisterStore& store) {
        store.setHolding(3000, 5);
        store.setHoldingWritable(3000, false);
    });
    EXPECT_EQ(client.exchange(request(1, 6, 3000, 9), 5), withCrc(hex("01 86 02")));
    EXPECT_EQ(sim->holdingRegister(3000), 5);
}

TEST_F(SimModbusServer, BadCrcAndOtherUnitGetNoAnswerButAreRecorded) {
    QByteArray damaged = request(1, 4, 1980, 1);
    damaged[7] = static_cast<char>(damaged[7] ^ 0x10);
    const QByteArray otherUnit = request(2, 4, 1980, 1);
    const QByteArray good = request(1, 4, 1980, 1);

    client.send(damaged);
    EXPECT_EQ(client.receiveFor(200), QByteArray());
    client.send(otherUnit);
    EXPECT_EQ(client.receiveFor(200), QByteArray());
    // The stream stays in step: the next frame is answered.
    EXPECT_EQ(client.exchange(good, 7), withCrc(hex("01 04 02 00 03")));
    EXPECT_EQ(sim->modbusFrames(), (QList<QByteArray>{damaged, otherUnit, good}));

    sim->clearRecords();
    EXPECT_TRUE(sim->modbusFrames().isEmpty());
}

TEST_F(SimModbusServer, ReassemblesSplitAndJoinedFrames) {
    const QByteArray write = writeMultiple(1, 2100, {0x4142, 0x4344});
    client.send(write.left(5));
    QThread::msleep(50);
    client.send(write.mid(5, 4));
    QThread::msleep(50);
    client.send(write.mid(9));
    EXPECT_EQ(client.receive(8), withCrc(hex("01 10 08 34 00 02")));

    client.send(request(1, 3, 2100, 1) + request(1, 3, 2101, 1));
    EXPECT_EQ(client.receive(14), withCrc(hex("01 03 02 41 42")) + withCrc(hex("01 03 02 43 44")));
    EXPECT_EQ(sim->modbusFrames().size(), 3);
}

class SimFrameLog : public SimFixture {};

TEST_F(SimFrameLog, ListsRequestsAndReplies) {
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("frames.log"));
    Options options;
    options.logFile = path;
    startSim(options);
    Client logged;
    connectModbus(logged);
    EXPECT_EQ(logged.exchange(hex("01 04 07 BC 00 0F 70 9E"), 35).size(), 35);
    sim->stop();
    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    const QByteArray text = file.readAll();
    EXPECT_TRUE(text.contains("MODBUS rx 01 04 07 BC 00 0F 70 9E\n")) << text.constData();
    EXPECT_TRUE(text.contains("MODBUS tx 01 04 1E 00 03")) << text.constData();
}

TEST(Simulators, TwoSideBySideOnTheirOwnAddresses) {
    Simulator first({.address = zra::test::NextLoopbackAddress()});
    Simulator second({.address = zra::test::NextLoopbackAddress()});
    QString error;
    ASSERT_TRUE(first.start(&error)) << error.toStdString();
    ASSERT_TRUE(second.start(&error)) << error.toStdString();
    EXPECT_EQ(first.managementPort(), 9760);
    EXPECT_EQ(second.managementPort(), 9760);

    Client a;
    Client b;
    ASSERT_TRUE(a.connectTo(first.address(), first.modbusPort()));
    ASSERT_TRUE(b.connectTo(second.address(), second.modbusPort()));
    EXPECT_EQ(a.exchange(request(1, 6, 1700, 11), 8).size(), 8);
    EXPECT_EQ(b.exchange(request(1, 6, 1700, 22), 8).size(), 8);
    EXPECT_EQ(first.holdingRegister(1700), 11);
    EXPECT_EQ(second.holdingRegister(1700), 22);
    EXPECT_EQ(first.modbusFrames().size(), 1);
    EXPECT_EQ(second.modbusFrames().size(), 1);

    // The same address and port cannot be served twice.
    Simulator clash({.address = first.address()});
    EXPECT_FALSE(clash.start(&error));
    EXPECT_FALSE(error.isEmpty());
}

TEST(Simulators, RefusesWhatItCannotServe) {
    QString error;
    Simulator v6({.address = QStringLiteral("::1")});
    EXPECT_FALSE(v6.start(&error));
    EXPECT_TRUE(error.contains(QStringLiteral("IPv4")));
    Simulator scenario(
        {.address = zra::test::NextLoopbackAddress(), .scenarioFile = QStringLiteral("x.ini")});
    EXPECT_FALSE(scenario.start(&error));
    EXPECT_FALSE(scenario.isRunning());
}

} // namespace
} // namespace zra::sim::test
