// The pure parts: CRC, request framing, the register store and the management frames.
#include "sim/Crc16.h"
#include "sim/Management.h"
#include "sim/ModbusRtu.h"
#include "sim/RegisterStore.h"
#include "tests/sim/SimClient.h"
#include <gtest/gtest.h>

namespace zra::sim::test {
namespace {

TEST(SimCrc16, GoldenVectors) {
    struct Vector {
        const char* bytes;
        const char* crc; // as appended, low byte first
    };
    const Vector vectors[] = {
        {"01 04 07 BC 00 0F", "70 9E"},          {"01 06 06 A4 10 00", "C5 61"},
        {"01 03 05 D0 00 01", "85 3F"},          {"01 03 00 00 00 01", "84 0A"},
        {"11 03 00 6B 00 03", "76 87"},          {"", "FF FF"},
        {"31 32 33 34 35 36 37 38 39", "37 4B"}, // "123456789": the CRC-16/MODBUS check value
    };
    for (const Vector& v : vectors) {
        QByteArray frame = QByteArray::fromHex(QByteArray(v.bytes));
        const QByteArray body = frame;
        appendCrc(frame);
        EXPECT_EQ(toHex(frame.mid(body.size())), QByteArray(v.crc)) << v.bytes;
        if (body.isEmpty())
            continue; // a frame needs at least one byte besides its CRC
        EXPECT_TRUE(hasValidCrc(frame)) << v.bytes;
        frame[0] = static_cast<char>(frame[0] ^ 0x01);
        EXPECT_FALSE(hasValidCrc(frame)) << v.bytes;
    }
}

TEST(SimRequestFraming, LengthFollowsTheFunction) {
    const QByteArray read = request(1, 4, 1980, 15);
    EXPECT_EQ(requestFrameLength(read.left(7)), 0);
    EXPECT_EQ(requestFrameLength(read), 8);
    EXPECT_EQ(requestFrameLength(read + read), 8);

    const QByteArray write = writeMultiple(1, 2100, {1, 2, 3});
    EXPECT_EQ(requestFrameLength(write.left(6)), 0); // byte count not yet known
    EXPECT_EQ(requestFrameLength(write.left(12)), 0);
    EXPECT_EQ(requestFrameLength(write), 7 + 6 + 2);

    // Unknown functions: a buffer whose CRC checks is one frame, else 8 bytes are taken.
    const QByteArray odd = withCrc(hex("01 2B 0E 01 00"));
    EXPECT_EQ(requestFrameLength(odd), odd.size());
    EXPECT_EQ(requestFrameLength(hex("01 05 00 01 FF 00 00")), 0);
    EXPECT_EQ(requestFrameLength(hex("01 05 00 01 FF 00 00 00 99")), 8);
}

TEST(SimRequestFraming, DescribesTheRegisterRange) {
    RequestInfo info = describeRequest(request(7, 4, 1980, 15));
    EXPECT_EQ(info.unit, 7);
    EXPECT_EQ(info.function, 4);
    EXPECT_EQ(info.first, 1980);
    EXPECT_EQ(info.last, 1994);
    info = describeRequest(request(1, 6, 1700, 0x1000)); // the value is no quantity
    EXPECT_EQ(info.first, 1700);
    EXPECT_EQ(info.last, 1700);
    info = describeRequest(writeMultiple(1, 2100, {1, 2, 3, 4, 5}));
    EXPECT_EQ(info.last, 2104);
    info = describeRequest(request(1, 3, 0xFFF0, 100)); // clamped to the address space
    EXPECT_EQ(info.last, 0xFFFF);
}

TEST(SimRegisterStore, OnlyDefinedRegistersExist) {
    RegisterStore store;
    store.setInput(10, 1);
    store.setInput(11, 2);
    store.setHolding(11, 3);
    EXPECT_TRUE(store.contains(RegisterStore::Space::Input, 10, 2));
    EXPECT_FALSE(store.contains(RegisterStore::Space::Input, 10, 3));
    EXPECT_FALSE(store.contains(RegisterStore::Space::Holding, 10, 2));
    EXPECT_FALSE(store.contains(RegisterStore::Space::Input, 10, 0));
    EXPECT_EQ(store.read(RegisterStore::Space::Input, 10, 2), (QList<quint16>{1, 2}));
    store.setInput(0xFFFF, 9);
    EXPECT_TRUE(store.contains(RegisterStore::Space::Input, 0xFFFF, 1));
    EXPECT_FALSE(store.contains(RegisterStore::Space::Input, 0xFFFF, 2)); // no wrap to 0
}

TEST(SimRegisterStore, BytesWritesAndHandler) {
    RegisterStore store;
    store.setInputBytes(100, QByteArray("ABC"));
    EXPECT_EQ(store.input(100), 0x4142);
    EXPECT_EQ(store.input(101), 0x4300);
    EXPECT_FALSE(store.input(102).has_value());

    store.setHolding(5, 0);
    store.setHolding(6, 0);
    store.setHoldingWritable(6, false);
    EXPECT_TRUE(store.canWrite(5, 1));
    EXPECT_FALSE(store.canWrite(5, 2));
    EXPECT_FALSE(store.canWrite(7, 1));

    QList<quint16> seen;
    store.setWriteHandler([&](RegisterStore& s, quint16 first, const QList<quint16>& values) {
        seen = values;
        s.setHolding(first, values[0] + 1); // the model may rewrite what was just stored
    });
    store.write(5, {41});
    EXPECT_EQ(seen, QList<quint16>{41});
    EXPECT_EQ(store.holding(5), 42);
}

TEST(SimManagementFraming, LengthAndJunk) {
    const QByteArray xr = hex("23 58 52 00 03 00 F2 00 04");
    EXPECT_EQ(managementFrameLength({}), 0);
    EXPECT_EQ(managementFrameLength(xr.left(5)), 0);
    EXPECT_EQ(managementFrameLength(xr.left(8)), 0);
    EXPECT_EQ(managementFrameLength(xr), 9);
    EXPECT_EQ(managementFrameLength(xr + xr), 9);
    EXPECT_EQ(managementFrameLength(hex("00 23")), -1);
    EXPECT_EQ(managementFrameLength(hex("23 58 52 00 FF FF")), -1); // 65535 bytes announced
}

TEST(SimManagementFraming, Replies) {
    ManagementIdentity id;
    id.modbusPort = 0x1234;
    id.loginRequired = true;
    id.user = "admin";
    id.password = "zra";
    id.firmware = 7;
    EXPECT_EQ(toHex(serveManagementRequest(id, hex("23 58 52 00 03 00 F2 00 04"))),
              "23 58 52 00 04 00 34 12 00 01");
    EXPECT_EQ(toHex(serveManagementRequest(id, hex("23 47 53 00 04 00 34 12 00 01"))),
              "23 47 53 00 04 00 00 07 00 00");
    EXPECT_EQ(toHex(serveManagementRequest(id, hex("23 51 51 00 00 00"))), "23 51 51 FF 00 00");

    const QByteArray reply = serveManagementRequest(id, hex("23 58 52 00 03 00 F2 00 04"));
    const QByteArray big = oversizedManagementReply(reply);
    ASSERT_EQ(big.size(), 6 + 200);
    EXPECT_EQ(toHex(big.left(10)), "23 58 52 00 C8 00 34 12 00 01");
    EXPECT_EQ(big.mid(10), QByteArray(196, '\0'));
}

} // namespace
} // namespace zra::sim::test
