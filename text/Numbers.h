#pragma once
#include <QString>

namespace zra::text {

// A whole decimal number from min to max, as a command line or a fault
// description gives it; false, leaving value alone, for anything else.
inline bool ParseNumber(const QString& text, int min, int max, int* value) {
    bool ok = false;
    const int parsed = text.toInt(&ok, 10);
    if (!ok || parsed < min || parsed > max)
        return false;
    *value = parsed;
    return true;
}

} // namespace zra::text
