// The configuration's pure parts: a variable's record, its texts, the exact
// raw value of a table value, and the filter and its file.
#include "config/ConfigDecode.h"
#include "config/ConfigFilter.h"
#include "store/ToolFiles.h"
#include "ui/TextGrid.h"

#include "text/CellText.h"
#include <QFile>
#include <QLocale>
#include <QTemporaryDir>
#include <gtest/gtest.h>

using namespace zra::config;

namespace {

QString Sep() {
    return QLocale::system().decimalPoint();
}

TEST(ConfigDecode, ValueAndRawValueTexts) {
    const struct {
        qint64 raw;
        int decimals;
        QString text;
    } shown[] = {{-5, 0, "-5"},
                 {1234, 1, "123" + Sep() + "40"},
                 {1234, 3, "1" + Sep() + "23"},
                 {-15, 1, "-1" + Sep() + "50"},
                 {-29188, 1, "-2918" + Sep() + "80"}};
    for (const auto& c : shown) {
        EXPECT_EQ(ValueText(c.raw, c.decimals), c.text) << c.raw;
        // The window reads the cell back: with every digit shown, the raw value.
        if (c.decimals <= 2) {
            EXPECT_EQ(RawValue(ValueText(c.raw, c.decimals), c.decimals), c.raw) << c.raw;
        }
    }

    const struct {
        const char* text;
        int decimals;
        std::optional<qint64> raw;
    } raws[] = {
        {"12.34", 1, 123},
        {"12,50", 1, 125},
        {"-1.5", 1, -15},
        {"0.53", 2, 53},
        {"0.1", 3, 100},
        {"-0.05", 1, 0},
        {"", 2, 0},
        {" 7 ", 0, 7},
        {"+3", 1, 30},
        {"65535", 0, 65535},
        {"abc", 1, std::nullopt},
        {"1.2.3", 1, std::nullopt},
        {"-", 0, std::nullopt},
        {"99999999999999999999", 0, std::nullopt},
    };
    for (const auto& c : raws)
        EXPECT_EQ(RawValue(QString::fromUtf8(c.text), c.decimals), c.raw) << c.text;
    // The decimal digits decide, not the nearest double: 1.005 x 100 is 100.49999...
    EXPECT_EQ(RawValue("1.005", 3), 1005);
    EXPECT_EQ(RawValue("4.35", 2), 435);

    EXPECT_TRUE(RawFits(-32768) && RawFits(65535));
    EXPECT_FALSE(RawFits(-32769) || RawFits(65536));
    EXPECT_EQ(AllowedRangeText(1), "-3276" + Sep() + "8 až 6553" + Sep() + "5");
    EXPECT_EQ(AllowedRangeText(0), "-32768 až 65535");
    EXPECT_EQ(AllowedRangeText(3), "-32" + Sep() + "768 až 65" + Sep() + "535");
}

TEST(ConfigDecode, CodeTextsAndMultipliers) {
    const char* validity[] = {"OK",          "TOO_LOW",         "HYST_TOO_LOW",
                              "TOO_HIGH",    "ZRA_MUST_BE_OFF", "BAD_VALUE",
                              "INV_MISMATCH"};
    for (int code = 0; code < 7; ++code)
        EXPECT_EQ(ValidityText(code), validity[code]);
    for (int code : {7, 255, 65535, -1})
        EXPECT_EQ(ValidityText(code), "***");
    const char* units[] = {"", "V", "A", "Hz", "s", "°", "W", "VA", "%", "°", "Ohm"};
    for (int code = 0; code <= 10; ++code)
        EXPECT_EQ(UnitText(code), QString::fromUtf8(units[code])) << code;
    EXPECT_EQ(UnitText(9).size(), 1) << "the degree sign is one character";
    EXPECT_EQ(UnitText(11), "");

    EXPECT_EQ(MultiplierText(0), "1");
    EXPECT_EQ(MultiplierText(3), "1000");
    EXPECT_EQ(MultiplierText(12), "1000000000000");
    EXPECT_EQ(DecimalsOfMultiplier("100"), 2);
    EXPECT_EQ(DecimalsOfMultiplier("1"), 0);
    for (const char* bad : {"", "20", "0", "1e3", "1001"})
        EXPECT_FALSE(DecimalsOfMultiplier(bad).has_value()) << bad;
}

TEST(ConfigDecode, VariableRecord) {
    QByteArray bytes = QByteArray::fromHex("FFFB"
                                           "0007"
                                           "0102"
                                           "0105");
    bytes += QByteArray("Napeti\0x", 8) + QByteArray(24, '\x20');
    bytes += QByteArray::fromHex("FFFF"); // the next variable's first register
    const zra::link::RegisterData data(bytes);
    const auto v = DecodeVariable(12, data);
    ASSERT_TRUE(v.has_value());
    const QStringList row = VariableRow(*v);
    ASSERT_EQ(row.size(), ConfigColumns);
    EXPECT_EQ(row[NumberColumn], "12");
    EXPECT_EQ(row[ValueColumn], "-0" + Sep() + "50") << "-5 with one decimal";
    EXPECT_EQ(row[ValidityColumn], "***");
    EXPECT_EQ(row[IdColumn], "258");
    EXPECT_EQ(row[UnitColumn], "°");
    EXPECT_EQ(row[MultiplierColumn], "10");
    EXPECT_EQ(row[NameColumn].size(), 32) << "every name byte is kept";
    EXPECT_EQ(row[NameColumn].left(8), QString::fromLatin1("Napeti\0x", 8));
    EXPECT_EQ(zra::text::DisplayText(row[NameColumn]).left(8), "Napeti x")
        << "a control character shows as a blank";
    EXPECT_TRUE(row[PreviousColumn].isEmpty() && row[StateColumn].isEmpty());
    EXPECT_FALSE(AnnouncesAbsentNext(data)) << "the last name byte is a blank";

    bytes[39] = '\xFF';
    EXPECT_TRUE(AnnouncesAbsentNext(zra::link::RegisterData(bytes)));
    EXPECT_FALSE(AnnouncesAbsentNext(zra::link::RegisterData(bytes.left(40))))
        << "variable 500 has no 21st register";
    bytes[8] = '\xFF';
    EXPECT_FALSE(DecodeVariable(12, zra::link::RegisterData(bytes)).has_value());
}

TEST(ConfigFilter, BytesAndTheirFile) {
    FilterSet f = FilterFromBytes(QByteArray::fromHex("01020000000000000001"));
    EXPECT_TRUE(f.contains(1) && f.contains(2) && f.contains(10));
    EXPECT_FALSE(f.contains(3) || f.contains(11) || f.contains(500) || f.contains(0));
    EXPECT_TRUE(f.countedIn(1));
    EXPECT_FALSE(f.countedIn(2)) << "a byte 2 is in the filter but not counted";
    EXPECT_FALSE(FilterFromBytes(QByteArray(600, '\x01')).empty());
    EXPECT_TRUE(FilterSet{}.empty());

    QByteArray old(600, '\x07');
    f.set(500, true);
    const QByteArray content = FilterFileContent(f, old);
    ASSERT_EQ(content.size(), 600);
    EXPECT_EQ(content.mid(500), QByteArray(100, '\x07')) << "the tail of a longer file stays";
    EXPECT_EQ(content[499], '\x01');
    EXPECT_EQ(content[2], '\x00');
    EXPECT_EQ(FilterFileContent(f, {}).size(), 500);

    QTemporaryDir dir;
    const QString path = dir.filePath("Pelix4_ZRA.flt");
    QString error;
    EXPECT_TRUE(LoadFilterFile(path, &error).empty()) << "no file: an empty filter";
    EXPECT_TRUE(error.isEmpty());
    ASSERT_TRUE(SaveFilterFile(path, f, &error));
    zra::store::FailWriteAt = [](qint64 offset) { return offset == 250; };
    EXPECT_FALSE(SaveFilterFile(path, FilterSet{}, &error));
    zra::store::FailWriteAt = nullptr;
    EXPECT_FALSE(error.isEmpty());
    EXPECT_EQ(LoadFilterFile(path, &error).bytes, f.bytes) << "a failed save keeps the old file";

    error.clear();
    LoadFilterFile(dir.path(), &error); // a folder cannot be read as a file
    EXPECT_FALSE(error.isEmpty());
}

} // namespace
