#include "text/Cp1250.h"

#include "tests/support/QtPrinters.h"

#include <gtest/gtest.h>

using namespace zra::text;

TEST(Cp1250, CzechLettersBothWays) {
    const QByteArray bytes("P\xF8\x65\x70\xEC\xEF\x20\x8A\x9A\xE8\xC8\xF9\xDD", 13);
    const QString text =
        QStringLiteral("Přepěď Ššč") + QChar(0x010C) + QChar(0x016F) + QChar(0x00DD);
    EXPECT_EQ(FromCp1250(bytes), text);
    EXPECT_EQ(ToCp1250(text), bytes);
    EXPECT_EQ(FromCp1250(QByteArray("\x80\x84\xA0", 3)), QString::fromUtf8("€„\u00A0"));
}

TEST(Cp1250, EveryByteSurvivesDecodeAndEncode) {
    QByteArray all;
    for (int b = 0; b < 256; ++b)
        all.append(char(b));
    const QString text = FromCp1250(all);
    EXPECT_EQ(text.size(), 256);
    EXPECT_EQ(ToCp1250(text), all);
}

TEST(Cp1250, EveryCzechLetter) {
    const QString czech = QStringLiteral("ÁČĎÉĚÍŇÓŘŠŤÚŮÝŽáčďéěíňóřšťúůýž");
    const QByteArray bytes = QByteArray::fromHex("C1C8CFC9CCCDD2D3D88A8DDAD9DD8E"
                                                 "E1E8EFE9ECEDF2F3F89A9DFAF9FD9E");
    EXPECT_EQ(ToCp1250(czech), bytes);
    EXPECT_EQ(FromCp1250(bytes), czech);
    EXPECT_EQ(ToCp1250(QStringLiteral("°€„")), QByteArray::fromHex("B08084"));
}

TEST(Cp1250, CharactersOutsideTheCodePageBecomeQuestionMarks) {
    bool ok = true;
    EXPECT_EQ(ToCp1250(QString::fromUtf8("a€ж☃"), &ok), QByteArray("a\x80??"));
    EXPECT_FALSE(ok);
    EXPECT_EQ(ToCp1250(QStringLiteral("a?"), &ok), "a?");
    EXPECT_TRUE(ok) << "a question mark of its own is no loss";
}
