#include "ui/Cp1250.h"

#include "tests/support/QtPrinters.h"

#include <gtest/gtest.h>

using namespace zra::ui;

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

TEST(Cp1250, CharactersOutsideTheCodePageBecomeQuestionMarks) {
    EXPECT_EQ(ToCp1250(QString::fromUtf8("a€ж☃")), QByteArray("a\x80??"));
}
