#include "text/CellText.h"

#include <QLocale>
#include <algorithm>

namespace zra::text {

QString DecimalText(double value, int decimals) {
    // No group separators: "1,234.5" would not read back as a number. The
    // locale with that option is made once per system locale, not per cell.
    thread_local QLocale system = QLocale::system();
    const auto withoutGroups = [](QLocale locale) {
        locale.setNumberOptions(locale.numberOptions() | QLocale::OmitGroupSeparator);
        return locale;
    };
    thread_local QLocale locale = withoutGroups(system);
    if (const QLocale now = QLocale::system(); now != system) {
        system = now;
        locale = withoutGroups(now);
    }
    return locale.toString(value, 'f', decimals);
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
