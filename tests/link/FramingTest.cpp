// Pure framing: CRC, request frames, trace lines, 32-bit values, reply checks.
#include "link/ModbusFrame.h"

#include "tests/support/QtPrinters.h"

#include <gtest/gtest.h>
#include <vector>

using namespace zra::link;

namespace {
std::vector<std::uint8_t> frameOf(const ModbusRequest& r) {
    std::uint8_t out[FrameBufferSize];
    const int n = BuildRequestFrame(r, out);
    return {out, out + n};
}
ModbusRequest req(std::uint8_t unit, std::uint8_t fn, std::uint16_t addr, std::uint16_t qty) {
    ModbusRequest r;
    r.unitId = unit;
    r.function = fn;
    r.address = addr;
    r.quantity = qty;
    return r;
}
std::vector<std::uint8_t> withCrc(std::vector<std::uint8_t> bytes) {
    const auto crc = Crc16Modbus(bytes.data(), static_cast<std::uint8_t>(bytes.size()));
    bytes.push_back(crc & 0xFF);
    bytes.push_back(crc >> 8);
    return bytes;
}
} // namespace

TEST(Crc16Modbus, GoldenVectors) {
    struct Case {
        std::vector<std::uint8_t> bytes;
        std::uint16_t crc;
    };
    const Case cases[] = {
        {{}, 0xFFFF},
        {{0x01, 0x04, 0x07, 0xBC, 0x00, 0x0F}, 0x9E70},
        {{0x01, 0x06, 0x06, 0xA4, 0x10, 0x00}, 0x61C5},
        {{0x01, 0x03, 0x05, 0xD0, 0x00, 0x01}, 0x3F85},
        {{'1', '2', '3', '4', '5', '6', '7', '8', '9'}, 0x4B37}, // the catalogue check value
    };
    for (const Case& c : cases)
        EXPECT_EQ(Crc16Modbus(c.bytes.data(), static_cast<std::uint8_t>(c.bytes.size())), c.crc);
    // Only the first count bytes count.
    const std::uint8_t longer[] = {0x01, 0x04, 0x07, 0xBC, 0x00, 0x0F, 0xAA};
    EXPECT_EQ(Crc16Modbus(longer, 6), 0x9E70);
}

TEST(Crc16Modbus, ReplyCheckNeverCutsItsLength) {
    std::vector<std::uint8_t> frame = withCrc({0x01, 0x03, 0x02, 0x12, 0x34});
    EXPECT_TRUE(CrcMatches(frame.data(), int(frame.size())));
    frame[3] ^= 1;
    EXPECT_FALSE(CrcMatches(frame.data(), int(frame.size())));
    // 300 bytes whose CRC covers only the first 298 % 256 = 42: an 8-bit count
    // cut from 298 would call it good.
    std::vector<std::uint8_t> longer(298, 0x5A);
    const auto cut = Crc16Modbus(longer.data(), 42);
    longer.push_back(cut & 0xFF);
    longer.push_back(cut >> 8);
    EXPECT_FALSE(CrcMatches(longer.data(), 300));
}

TEST(RequestFrame, DocumentedExamples) {
    EXPECT_EQ(frameOf(req(1, 4, 1980, 15)),
              (std::vector<std::uint8_t>{0x01, 0x04, 0x07, 0xBC, 0x00, 0x0F, 0x70, 0x9E}));
    EXPECT_EQ(frameOf(req(1, 6, 1700, 0x1000)),
              (std::vector<std::uint8_t>{0x01, 0x06, 0x06, 0xA4, 0x10, 0x00, 0xC5, 0x61}));
    EXPECT_EQ(frameOf(req(1, 3, 1488, 1)),
              (std::vector<std::uint8_t>{0x01, 0x03, 0x05, 0xD0, 0x00, 0x01, 0x85, 0x3F}));
}

TEST(RequestFrame, TailOnlyForFunction16) {
    ModbusRequest r = req(1, 3, 1488, 1);
    FillPasswordTail(r, "Vortex_P8L");
    EXPECT_EQ(frameOf(r).size(), 8u) << "a read never carries the tail";

    const auto password = frameOf(PasswordRequest(1, "Vortex_P8L"));
    ASSERT_EQ(password.size(), 17u + 2u);
    const std::vector<std::uint8_t> head(password.begin(), password.begin() + 7);
    EXPECT_EQ(head, (std::vector<std::uint8_t>{0x01, 0x10, 0x08, 0x34, 0x00, 0x05, 0x0A}));
    EXPECT_EQ(std::string(password.begin() + 7, password.begin() + 17), "Vortex_P8L");
    EXPECT_EQ(password, withCrc({password.begin(), password.begin() + 17}));

    // A shorter text: smaller byte count, the quantity stays 5; empty: count 0.
    const auto shortText = frameOf(PasswordRequest(1, "abc"));
    EXPECT_EQ(shortText, withCrc({0x01, 0x10, 0x08, 0x34, 0x00, 0x05, 0x03, 'a', 'b', 'c'}));
    const auto empty = frameOf(PasswordRequest(1, ""));
    EXPECT_EQ(empty, withCrc({0x01, 0x10, 0x08, 0x34, 0x00, 0x05, 0x00}));
    // A text longer than the tail is cut to its 20 data bytes.
    const auto tooLong = frameOf(PasswordRequest(1, QByteArray(30, 'x')));
    EXPECT_EQ(tooLong.size(), 7u + 20u + 2u);
    EXPECT_EQ(tooLong[6], 20);
}

TEST(TraceLine, HexFormatEndsInBlank) {
    const std::uint8_t bytes[] = {0x01, 0x04, 0x07, 0xBC, 0x00, 0x0F, 0x70, 0x9E};
    EXPECT_EQ(TraceLine("->", bytes, 8), "->0x01 0x04 0x07 0xBC 0x00 0x0F 0x70 0x9E ");
    EXPECT_EQ(TraceLine("<-", bytes, 0), "<-");
    const std::uint8_t high[] = {0xAB, 0xFF};
    EXPECT_EQ(TraceLine("<-", high, 2), "<-0xAB 0xFF ");
}

TEST(RegisterValues, ThirtyTwoAndSixteenBit) {
    EXPECT_EQ(ReverseBytes32(0x12345678u), 0x78563412u);
    const std::uint8_t a[] = {0x00, 0x01, 0x86, 0xA0};
    EXPECT_EQ(Int32At(a, 0), 100000);
    const std::uint8_t b[] = {0xFF, 0xFF, 0xFF, 0xFE};
    EXPECT_EQ(Int32At(b, 0), -2);
    const std::uint8_t c[] = {0x00, 0xFF, 0xFF, 0xFF, 0xFF};
    EXPECT_EQ(Int32At(c, 1), -1);
    EXPECT_EQ(Reg16At(a, 2), 0x86A0);
}

TEST(CheckReply, AcceptsGoodRepliesAndNamesEachMismatch) {
    const ModbusRequest read = req(1, 3, 1488, 1);
    const auto good = withCrc({0x01, 0x03, 0x02, 0x00, 0xC0});
    EXPECT_FALSE(CheckReply(read, good.data(), int(good.size())).has_value());

    auto badCrc = good;
    badCrc.back() ^= 0x01;
    EXPECT_EQ(CheckReply(read, badCrc.data(), int(badCrc.size())), "Chybný CRC odpovědi");

    const auto otherUnit = withCrc({0x02, 0x03, 0x02, 0x00, 0xC0});
    EXPECT_EQ(CheckReply(read, otherUnit.data(), int(otherUnit.size())),
              "Odpověď od jiného zařízení (ID 2 místo 1)");

    const auto otherFunction = withCrc({0x01, 0x04, 0x02, 0x00, 0xC0});
    EXPECT_EQ(CheckReply(read, otherFunction.data(), int(otherFunction.size())),
              "Odpověď jiné funkce (4 místo 3)");

    const auto shortData = withCrc({0x01, 0x03, 0x04, 0x00, 0xC0, 0x00, 0x00});
    EXPECT_EQ(CheckReply(read, shortData.data(), int(shortData.size())),
              "Chybná délka odpovědi (4 B dat místo 2 B)");

    const ModbusRequest write = req(1, 6, 1700, 0x1000);
    const auto echo = withCrc({0x01, 0x06, 0x06, 0xA4, 0x10, 0x00});
    EXPECT_FALSE(CheckReply(write, echo.data(), int(echo.size())).has_value());
    const auto wrongEcho = withCrc({0x01, 0x06, 0x06, 0xA4, 0x20, 0x00});
    EXPECT_EQ(CheckReply(write, wrongEcho.data(), int(wrongEcho.size())),
              "Odpověď nepotvrdila zápis (registr 1700, hodnota 8192)");
}

TEST(CheckReply, ExceptionTextNamesTheCode) {
    EXPECT_EQ(ExceptionText(3, 2),
              "Zařízení odmítlo požadavek funkce 3: MODBUS výjimka 2 (neplatná adresa registru)");
    EXPECT_EQ(ExceptionText(16, 77),
              "Zařízení odmítlo požadavek funkce 16: MODBUS výjimka 77 (neznámý kód)");
}
