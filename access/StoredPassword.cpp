#include "access/StoredPassword.h"

namespace zra::access {

QString StoredPasswordText(const QByteArray& password) {
    const int length = std::min<int>(password.size(), 255);
    QString text = QStringLiteral("%1").arg(length, 2, 16, QLatin1Char('0')).toUpper();
    for (int i = 1; i <= length; ++i) {
        const unsigned c = static_cast<unsigned char>(password[i - 1]);
        const unsigned w = (16u * unsigned(i) * c + unsigned(i)) % 65536u;
        text += QStringLiteral("%1").arg(w, 4, 16, QLatin1Char('0')).toUpper();
    }
    return text;
}

namespace {
std::optional<unsigned> hexAt(const QString& text, int pos, int digits) {
    if (pos + digits > text.size())
        return std::nullopt;
    unsigned value = 0;
    for (int k = 0; k < digits; ++k) {
        const char16_t ch = text[pos + k].unicode();
        unsigned d;
        if (ch >= u'0' && ch <= u'9')
            d = ch - u'0';
        else if (ch >= u'A' && ch <= u'F')
            d = ch - u'A' + 10;
        else if (ch >= u'a' && ch <= u'f')
            d = ch - u'a' + 10;
        else
            return std::nullopt;
        value = value * 16 + d;
    }
    return value;
}
} // namespace

std::optional<QByteArray> DecodeStoredPasswordText(const QString& text) {
    const auto length = hexAt(text, 0, 2);
    if (!length || text.size() != 2 + 4 * int(*length))
        return std::nullopt;
    QByteArray password;
    for (int i = 1; i <= int(*length); ++i) {
        const auto w = hexAt(text, 4 * i - 2, 4);
        if (!w || *w < unsigned(i))
            return std::nullopt;
        const unsigned c = (*w - unsigned(i) + 2) / (16u * unsigned(i));
        // Only what the encoding can produce is accepted.
        if (c > 255 || (16u * unsigned(i) * c + unsigned(i)) % 65536u != *w)
            return std::nullopt;
        password.append(char(c));
    }
    return password;
}

} // namespace zra::access
