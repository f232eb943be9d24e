#include "text/CellText.h"

#include <QLocale>
#include <algorithm>
#include <charconv>
#include <cmath>
#include <cstdint>

namespace zra::text {

namespace {

// A locale's way of writing numbers for the tables: without group
// separators, since "1,234.5" would not read back as a number.
struct DecimalFormat {
    QLocale locale;
    // The locale writes digits and the minus sign as the C library does,
    // and its decimal separator is one character.
    bool plain = false;
    QChar point;
};

DecimalFormat FormatOf(QLocale locale) {
    locale.setNumberOptions(locale.numberOptions() | QLocale::OmitGroupSeparator);
    DecimalFormat f;
    const QString point = locale.decimalPoint();
    f.plain = locale.zeroDigit() == QLatin1String("0") &&
              locale.negativeSign() == QLatin1String("-") && point.size() == 1;
    f.point = f.plain ? point[0] : QChar();
    f.locale = std::move(locale);
    return f;
}

// Whether value is exactly halfway between two numbers of that many
// decimals: value x 2 x 10^decimals is an odd integer. With value = m x 2^e
// and m odd, that is m x 5^decimals x 2^(e + 1 + decimals), odd exactly
// when e = -(decimals + 1).
bool IsHalfway(double value, int decimals) {
    int exponent = 0;
    const double fraction = std::frexp(std::abs(value), &exponent);
    auto mantissa = std::uint64_t(std::ldexp(fraction, 53));
    if (mantissa == 0)
        return false;
    exponent -= 53;
    while ((mantissa & 1) == 0) {
        mantissa >>= 1;
        ++exponent;
    }
    return exponent == -(decimals + 1);
}

// The C library's digits with the locale's separator where the locale is
// plain: the same text as the locale's own formatting, which costs some
// times more, and a read fills a cell with it for each of 500 rows.
QString Format(const DecimalFormat& f, double value, int decimals) {
    if (f.plain && std::isfinite(value) && decimals >= 0 && decimals <= 30) {
        // The locale rounds a value that lies exactly halfway away from
        // zero, the C library to the even digit: such a value is moved by
        // the least step away from zero first.
        if (IsHalfway(value, decimals))
            value = std::nextafter(value, value < 0 ? -HUGE_VAL : HUGE_VAL);
        char digits[400];
        // The locale writes no sign for a zero.
        const auto [end, ec] =
            std::to_chars(digits, digits + sizeof digits, value == 0 ? 0.0 : value,
                          std::chars_format::fixed, decimals);
        if (ec == std::errc()) {
            QString text = QString::fromLatin1(digits, end - digits);
            if (decimals > 0)
                text[text.size() - decimals - 1] = f.point;
            return text;
        }
    }
    return f.locale.toString(value, 'f', decimals);
}

} // namespace

QString DecimalText(double value, int decimals) {
    // Made once per system locale, not per cell.
    thread_local QLocale system = QLocale::system();
    thread_local DecimalFormat format = FormatOf(system);
    if (const QLocale now = QLocale::system(); now != system) {
        system = now;
        format = FormatOf(now);
    }
    return Format(format, value, decimals);
}

QString DecimalText(double value, int decimals, const QLocale& locale) {
    return Format(FormatOf(locale), value, decimals);
}

std::optional<double> DecimalValue(const QString& text) {
    const QString trimmed = text.trimmed();
    if (trimmed.isEmpty())
        return std::nullopt;
    bool ok = false;
    double v = QLocale::system().toDouble(trimmed, &ok);
    if (!ok)
        v = QLocale::c().toDouble(QString(trimmed).replace(QLatin1Char(','), QLatin1Char('.')),
                                  &ok);
    if (!ok)
        return std::nullopt;
    return v;
}

QString DisplayText(const QString& text) {
    const auto control = [](QChar c) {
        return c.unicode() < 0x20 || (c.unicode() >= 0x7F && c.unicode() < 0xA0);
    };
    if (std::none_of(text.begin(), text.end(), control))
        return text;
    QString shown = text;
    for (QChar& c : shown)
        if (control(c))
            c = QLatin1Char(' ');
    return shown;
}

} // namespace zra::text
