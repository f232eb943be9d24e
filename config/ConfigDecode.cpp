#include "config/ConfigDecode.h"

#include "text/CellText.h"
#include "text/Cp1250.h"

#include <QLocale>
#include <cmath>
#include <limits>

namespace zra::config {

QString ValidityText(int code) {
    static const QString texts[] = {QStringLiteral("OK"),
                                    QStringLiteral("TOO_LOW"),
                                    QStringLiteral("HYST_TOO_LOW"),
                                    QStringLiteral("TOO_HIGH"),
                                    QStringLiteral("ZRA_MUST_BE_OFF"),
                                    QStringLiteral("BAD_VALUE"),
                                    QStringLiteral("INV_MISMATCH")};
    if (code < 0 || code > 6)
        return QStringLiteral("***");
    return texts[code];
}

QString UnitText(int code) {
    static const QString texts[] = {
        QString(),           QStringLiteral("V"), QStringLiteral("A"),  QStringLiteral("Hz"),
        QStringLiteral("s"), QStringLiteral("°"), QStringLiteral("W"),  QStringLiteral("VA"),
        QStringLiteral("%"), QStringLiteral("°"), QStringLiteral("Ohm")};
    if (code < 0 || code > 10)
        return {};
    return texts[code];
}

std::optional<ConfigVariable> DecodeVariable(int number, const link::RegisterData& data) {
    if (data.byte(8) == 0xFF)
        return std::nullopt;
    ConfigVariable v;
    v.number = number;
    v.raw = data.s16(0);
    v.validity = data.u16(2);
    v.id = data.u16(4);
    v.decimals = data.byte(6);
    v.unit = data.byte(7);
    v.name = text::FromCp1250(data.bytes(8, 32));
    return v;
}

bool AnnouncesAbsentNext(const link::RegisterData& data) {
    return data.size() > 40 && data.byte(39) == 0xFF && data.byte(40) == 0xFF;
}

QStringList VariableRow(const ConfigVariable& v) {
    QStringList row(ConfigColumns);
    row[NumberColumn] = QString::number(v.number);
    row[NameColumn] = v.name;
    row[ValueColumn] = ValueText(v.raw, v.decimals);
    row[ValidityColumn] = ValidityText(v.validity);
    row[IdColumn] = QString::number(v.id);
    row[UnitColumn] = UnitText(v.unit);
    row[MultiplierColumn] = MultiplierText(v.decimals);
    return row;
}

QString ValueText(qint64 raw, int decimals) {
    if (decimals == 0)
        return QString::number(raw);
    static const double powers[] = {1, 10, 100, 1e3, 1e4, 1e5, 1e6, 1e7, 1e8, 1e9};
    const double scale =
        decimals >= 0 && decimals < 10 ? powers[decimals] : std::pow(10.0, decimals);
    return text::DecimalText(double(raw) / scale, 2);
}

QString MultiplierText(int decimals) {
    // The usual ones made once: a read sets one in each of its rows.
    static const QStringList usual = [] {
        QStringList list;
        for (int d = 0; d < 10; ++d)
            list << QStringLiteral("1") + QString(d, QLatin1Char('0'));
        return list;
    }();
    if (decimals >= 0 && decimals < usual.size())
        return usual[decimals];
    return QStringLiteral("1") + QString(decimals, QLatin1Char('0'));
}

std::optional<int> DecimalsOfMultiplier(const QString& text) {
    const QString t = text.trimmed();
    if (t.isEmpty() || t[0] != QLatin1Char('1'))
        return std::nullopt;
    for (int i = 1; i < t.size(); ++i)
        if (t[i] != QLatin1Char('0'))
            return std::nullopt;
    return int(t.size()) - 1;
}

std::optional<qint64> RawValue(const QString& text, int decimals) {
    const QString t = text.trimmed();
    int i = 0;
    bool negative = false;
    if (i < t.size() &&
        (t[i] == QLatin1Char('-') || t[i] == QLatin1Char('+') || t[i] == QChar(0x2212))) {
        negative = t[i] != QLatin1Char('+');
        ++i;
    }
    // Whole part, then at most `decimals` fraction digits; the rest is dropped.
    constexpr qint64 Limit = std::numeric_limits<qint64>::max() / 10;
    qint64 raw = 0;
    int digits = 0;
    int fraction = -1; // fraction digits taken; -1 before the separator
    for (; i < t.size(); ++i) {
        const QChar c = t[i];
        if (c == QLatin1Char('.') || c == QLatin1Char(',')) {
            if (fraction >= 0)
                return std::nullopt;
            fraction = 0;
            continue;
        }
        if (!c.isDigit() || c.unicode() > '9')
            return std::nullopt;
        ++digits;
        if (fraction >= decimals)
            continue;
        if (raw > Limit)
            return std::nullopt;
        raw = raw * 10 + (c.unicode() - '0');
        if (fraction >= 0)
            ++fraction;
    }
    if (t.isEmpty())
        return 0;
    if (digits == 0)
        return std::nullopt;
    for (int f = std::max(fraction, 0); f < decimals; ++f) {
        if (raw > Limit)
            return std::nullopt;
        raw *= 10;
    }
    return negative ? -raw : raw;
}

QString AllowedRangeText(int decimals) {
    const auto text = [decimals](qint64 raw) {
        if (decimals == 0)
            return QString::number(raw);
        const QString digits = QString::number(std::abs(raw)).rightJustified(decimals + 1, '0');
        return QString(raw < 0 ? QStringLiteral("-") : QString()) +
               digits.left(digits.size() - decimals) + QLocale::system().decimalPoint() +
               digits.right(decimals);
    };
    return QStringLiteral("%1 až %2").arg(text(LowestRaw), text(HighestRaw));
}

} // namespace zra::config
