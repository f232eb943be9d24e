#include "access/StoredPassword.h"

#include "tests/support/QtPrinters.h"

#include <gtest/gtest.h>

using zra::access::DecodeStoredPasswordText;
using zra::access::StoredPasswordText;

TEST(StoredPasswordText, EncodesLengthAndWeightedCharacters) {
    EXPECT_EQ(StoredPasswordText(""), "00");
    // 'A' = 65: 16*1*65 + 1 = 1041 = 0x0411.
    EXPECT_EQ(StoredPasswordText("A"), "010411");
    // second character 'B' = 66: 16*2*66 + 2 = 2114 = 0x0842.
    EXPECT_EQ(StoredPasswordText("AB"), "0204110842");
}

TEST(StoredPasswordText, RoundTripsUpToSixteenCharacters) {
    for (const QByteArray& pw :
         {QByteArray(""), QByteArray("x"), QByteArray("abcdefgh"), QByteArray("0123456789ABCDEF"),
          QByteArray(16, char(0xFF)), QByteArray("\x8A\xE8\xF8", 3)}) {
        const QString text = StoredPasswordText(pw);
        EXPECT_EQ(text.size(), 2 + 4 * pw.size());
        EXPECT_EQ(DecodeStoredPasswordText(text), pw) << text.toStdString();
    }
    EXPECT_EQ(DecodeStoredPasswordText("0204110842").value(), "AB") << "lower-case digits too";
}

TEST(StoredPasswordText, DamagedTextsAreRefused) {
    for (const char* bad : {"", "0", "ZZ", "01", "010G11", "0204110", "02041108421", "010412",
                            "010000", "011001"}) // 4097 would decode to 256: no byte
        EXPECT_FALSE(DecodeStoredPasswordText(QString::fromLatin1(bad)).has_value()) << bad;
}
