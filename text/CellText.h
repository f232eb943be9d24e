#pragma once
#include <QString>

namespace zra::text {

// A number with fixed decimals and the locale's decimal separator ("%.1f"
// style), as the tables show it.
QString DecimalText(double value, int decimals);

// A cell text as it is drawn: control characters (a name's zero filler, say)
// show as blanks, while the cell keeps its bytes.
QString DisplayText(const QString& text);

} // namespace zra::text
