// Decoding of the system block, alarms, descriptions and the clock from the
// documented byte positions.
#include "main/SystemDecode.h"

#include "tests/support/QtPrinters.h"

#include <gtest/gtest.h>

using namespace zra::main;

TEST(SystemBlock, EveryRowFromItsBytes) {
    // Each byte distinct, so that a row reading the wrong byte shows.
    std::uint8_t d[30];
    for (int i = 0; i < 30; ++i)
        d[i] = static_cast<std::uint8_t>(0x10 + i);
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
    EXPECT_EQ(SystemBlockValues(d)[1], "-1");
    d[2] = 0x00, d[3] = 0x01, d[4] = 0x86, d[5] = 0xA0;
    EXPECT_EQ(SystemBlockValues(d)[1], "100000");
}

TEST(Alarms, SourceLevelAndCellTexts) {
    EXPECT_EQ(AlarmSourceText(0), "K3D");
    EXPECT_EQ(AlarmSourceText(1), "Mod.1");
    EXPECT_EQ(AlarmSourceText(12), "Mod.12");
    EXPECT_EQ(AlarmSourceText(32), "Mod.32");
    EXPECT_EQ(AlarmSourceText(33), "SYSTEM");
    EXPECT_EQ(AlarmSourceText(34), "34") << "no name: the number";
    EXPECT_EQ(AlarmLevelText(0), "NO_ALARM");
    EXPECT_EQ(AlarmLevelText(1), "MINOR");
    EXPECT_EQ(AlarmLevelText(2), "MAJOR");
    EXPECT_EQ(AlarmLevelText(3), "3");
    EXPECT_EQ(AlarmCellText(17, "Přepětí DC"), "17 Přepětí DC");
    EXPECT_EQ(AlarmEntryAddress(1), 2010);
    EXPECT_EQ(DescriptionAddress(0), 16660);
    EXPECT_EQ(DescriptionAddress(300), 16660 + 2400);
}

TEST(Alarms, DescriptionEndsAtItsFirstZeroByteAndKeepsBlanks) {
    const std::uint8_t full[16] = {'V', 'y', 's', 'o', 'k', 0xE1, ' ', 't',
                                   'e', 'p', 'l', 'o', 't', 'a',  ' ', ' '};
    EXPECT_EQ(DescriptionText(full), QStringLiteral("Vysoká teplota  "));
    const std::uint8_t padded[16] = {'P', 0xF8, 'e', 'p', 0xEC, 't', 0xED, 0,
                                     0,   0,    0,   0,   0,    0,   0,    0};
    EXPECT_EQ(DescriptionText(padded), QStringLiteral("Přepětí"));
    const std::uint8_t empty[16] = {};
    EXPECT_EQ(DescriptionText(empty), "");
}

TEST(Alarms, CacheKeepsCodesUpTo300) {
    AlarmDescriptions cache;
    EXPECT_FALSE(cache.has(5));
    cache.store(5, "");
    EXPECT_TRUE(cache.has(5)) << "an empty text is known too: it is not fetched again";
    cache.store(300, "x");
    EXPECT_EQ(cache.text(300), "x");
    cache.store(301, "y");
    EXPECT_FALSE(cache.has(301));
    EXPECT_FALSE(cache.has(-1));
    cache.clear();
    EXPECT_FALSE(cache.has(300));
}

TEST(Clock, DocumentedExampleAndInvalidDates) {
    const std::uint8_t b[8] = {30, 15, 10, 24, 12, 0, 0x07, 0xE8};
    const auto c = DecodeClock(b);
    ASSERT_TRUE(c.has_value());
    EXPECT_EQ(c->dateTime, QDateTime(QDate(2024, 12, 24), QTime(10, 15, 30)));
    EXPECT_FALSE(c->summerTime);
    std::uint8_t summer[8] = {30, 15, 10, 24, 12, 7, 0x07, 0xE8};
    EXPECT_TRUE(DecodeClock(summer)->summerTime) << "any value but 0 is summer time";

    std::uint8_t bad[8] = {30, 15, 10, 24, 0, 0, 0x07, 0xE8};
    EXPECT_FALSE(DecodeClock(bad).has_value()) << "month 0";
    bad[4] = 2, bad[3] = 30;
    EXPECT_FALSE(DecodeClock(bad).has_value()) << "30 February";
    bad[3] = 1, bad[2] = 24;
    EXPECT_FALSE(DecodeClock(bad).has_value()) << "hour 24";
}

TEST(Clock, WriteBytesRoundTrip) {
    const auto bytes = EncodeClock(QDate(2024, 12, 24), QTime(10, 15, 30), true);
    EXPECT_EQ(bytes, (std::array<std::uint8_t, 8>{30, 15, 10, 24, 12, 1, 0x07, 0xE8}));
    const auto back = DecodeClock(bytes.data());
    ASSERT_TRUE(back.has_value());
    EXPECT_EQ(back->dateTime, QDateTime(QDate(2024, 12, 24), QTime(10, 15, 30)));
    EXPECT_TRUE(back->summerTime);
}
