#pragma once
#include <QLocale>
#include <QString>
#include <optional>

namespace zra::text {

// A number with fixed decimals and the locale's decimal separator ("%.1f"
// style), as the tables show it.
QString DecimalText(double value, int decimals);
// The same under a given locale.
QString DecimalText(double value, int decimals, const QLocale& locale);

// A number read back from a cell's text: the locale's separator or, for a
// text written under another locale, either of '.' and ','; empty text and
// anything else that is not a number read nothing.
std::optional<double> DecimalValue(const QString& text);

// A cell text as it is drawn: control characters (a name's zero filler, say)
// show as blanks, while the cell keeps its bytes.
QString DisplayText(const QString& text);

} // namespace zra::text
