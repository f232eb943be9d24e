// Decoding of the system block and the clock from the documented byte
// positions.
#include "main/SystemDecode.h"

#include "tests/support/QtPrinters.h"

#include <gtest/gtest.h>

using namespace zra::main;
using zra::link::RegisterData;
using zra::link::ReplyOverrun;

TEST(SystemBlock, EveryRowFromItsBytes) {
    // Each byte distinct, so that a row reading the wrong byte shows.
    std::uint8_t bytes[30];
    for (int i = 0; i < 30; ++i)
        bytes[i] = static_cast<std::uint8_t>(0x10 + i);
    const RegisterData d(bytes, 30);
    const QStringList v = SystemBlockValues(d);
    ASSERT_EQ(v.size(), 20);
    ASSERT_EQ(SystemRowTitles().size(), 20);
    EXPECT_EQ(v[0], "17");                        // byte 1
    EXPECT_EQ(v[1], QString::number(0x12131415)); // bytes 2..5
    EXPECT_EQ(v[2], QString::number(0x1617));     // bytes 6, 7
    EXPECT_EQ(v[3], QString::number(0x1819));     // bytes 8, 9
    EXPECT_EQ(v[4], QString::number(0x1A));       // byte 10
    EXPECT_EQ(v[5], QString::number(0x1B));
    EXPECT_EQ(v[6], QString::number(0x1C)); // byte 12: alarm count
    EXPECT_EQ(v[7], QString::number(0x1D));
    EXPECT_EQ(v[8], QString::number(0x1E));
    EXPECT_EQ(v[9], QString::number(0x1F));  // byte 15: DC groups
    EXPECT_EQ(v[10], QString::number(0x20)); // byte 16: AC groups
    EXPECT_EQ(v[11], QString::number(0x21));
    EXPECT_EQ(v[12], QString::number(0x2223)); // bytes 18, 19
    EXPECT_EQ(v[13], QString::number(0x2425));
    EXPECT_EQ(v[14], QString::number(0x26)); // byte 22
    EXPECT_EQ(v[15], QString::number(0x27));
    EXPECT_EQ(v[16], QString::number(0x2829)); // bytes 24, 25
    EXPECT_EQ(v[17], QString::number(0x2A));   // byte 26
    EXPECT_EQ(v[18], QString::number(0x2B));
    EXPECT_EQ(v[19], QString::number(0x2C)); // byte 28: events
    EXPECT_EQ(AlarmCount(d), 0x1C);
    EXPECT_EQ(SystemRowTitles()[0], "Počet fází");
    EXPECT_EQ(SystemRowTitles()[8], "Mez alarmu saturace[%]");
    EXPECT_EQ(SystemRowTitles()[19], "Počet událostí v logu");
}

TEST(SystemBlock, SerialNumberIsSigned) {
    std::uint8_t d[30] = {};
    d[2] = d[3] = d[4] = d[5] = 0xFF;
    EXPECT_EQ(SystemBlockValues(RegisterData(d, 30))[1], "-1");
    d[2] = 0x00, d[3] = 0x01, d[4] = 0x86, d[5] = 0xA0;
    EXPECT_EQ(SystemBlockValues(RegisterData(d, 30))[1], "100000");
}

TEST(SystemBlock, AShortReplyFailsLoudly) {
    // A reply of 14 registers instead of 15: the last row's byte 28 is missing.
    const std::uint8_t d[30] = {};
    EXPECT_THROW(SystemBlockValues(RegisterData(d, 28)), ReplyOverrun);
    EXPECT_THROW(DecodeClock(RegisterData(d, 7)), ReplyOverrun);
}

namespace {
InstallationClock clockOf(std::array<std::uint8_t, 8> b) {
    return DecodeClock(RegisterData(b.data(), 8));
}
} // namespace

TEST(Clock, DocumentedExampleAndInvalidDates) {
    const auto c = clockOf({30, 15, 10, 24, 12, 0, 0x07, 0xE8});
    ASSERT_TRUE(c.dateTime.has_value());
    EXPECT_EQ(*c.dateTime, QDateTime(QDate(2024, 12, 24), QTime(10, 15, 30)));
    EXPECT_FALSE(c.summerTime);
    EXPECT_TRUE(clockOf({30, 15, 10, 24, 12, 7, 0x07, 0xE8}).summerTime)
        << "any value but 0 is summer time";

    const struct {
        std::array<std::uint8_t, 8> bytes;
        const char* why;
    } invalid[] = {{{30, 15, 10, 24, 0, 1, 0x07, 0xE8}, "month 0"},
                   {{30, 15, 10, 30, 2, 1, 0x07, 0xE8}, "30 February"},
                   {{30, 15, 24, 1, 2, 1, 0x07, 0xE8}, "hour 24"}};
    for (const auto& [bytes, why] : invalid) {
        const auto bad = clockOf(bytes);
        EXPECT_FALSE(bad.dateTime.has_value()) << why;
        EXPECT_TRUE(bad.summerTime) << why << ": the flag is taken all the same";
    }
    const std::array<std::uint8_t, 8> month0{30, 5, 8, 24, 0, 0, 0x07, 0xE8};
    EXPECT_EQ(InvalidClockText(RegisterData(month0.data(), 8)),
              "Hodiny zařízení neudávají platné datum a čas (24.0.2024 8:05:30)");
}

TEST(Clock, WriteBytesRoundTrip) {
    const auto bytes = EncodeClock(QDate(2024, 12, 24), QTime(10, 15, 30), true);
    EXPECT_EQ(bytes, (std::array<std::uint8_t, 8>{30, 15, 10, 24, 12, 1, 0x07, 0xE8}));
    const auto back = clockOf(bytes);
    ASSERT_TRUE(back.dateTime.has_value());
    EXPECT_EQ(*back.dateTime, QDateTime(QDate(2024, 12, 24), QTime(10, 15, 30)));
    EXPECT_TRUE(back.summerTime);
}
