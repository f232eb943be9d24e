#include "text/CellText.h"

#include "tests/support/QtPrinters.h"

#include <gtest/gtest.h>
#include <limits>

using namespace zra::text;

// The fast digits must be the locale's own text, for every locale: where a
// locale writes digits or signs of its own, its own formatting is used.
TEST(CellText, DecimalTextIsTheLocalesOwnText) {
    const double values[] = {0.0,
                             -0.0,
                             1.0,
                             -1.5,
                             0.125,
                             2.675,
                             -0.001,
                             0.005,
                             1234.56,
                             -2918.8,
                             65535.0,
                             -32768.0,
                             1e15,
                             1e300,
                             123.45,
                             1.005,
                             0.3,
                             -12.345,
                             99999.95,
                             1.0 / 3.0,
                             5e-324,
                             0.5,
                             2.5,
                             -2.5,
                             -0.125,
                             0.375,
                             1.0625,
                             -3.0625,
                             std::numeric_limits<double>::infinity()};
    const QLocale::Language languages[] = {QLocale::Czech,  QLocale::English, QLocale::German,
                                           QLocale::Arabic, QLocale::Persian, QLocale::Swedish};
    for (const QLocale::Language language : languages) {
        QLocale locale(language);
        QLocale withoutGroups = locale;
        withoutGroups.setNumberOptions(locale.numberOptions() | QLocale::OmitGroupSeparator);
        for (const double v : values)
            for (int decimals = 0; decimals <= 3; ++decimals)
                EXPECT_EQ(DecimalText(v, decimals, locale),
                          withoutGroups.toString(v, 'f', decimals))
                    << qPrintable(locale.name()) << " " << v << ' ' << decimals;
    }
    EXPECT_EQ(DecimalText(1234.5, 1, QLocale(QLocale::Czech)), "1234,5") << "no group separator";
}
