#pragma once
#include <QByteArray>
#include <QString>
#include <optional>

namespace zra::access {

// The remembered password as the settings file keeps it: two hex digits of
// the length L, then for each character c_i (i from 1) four hex digits of
// (16 * i * c_i + i) mod 65536. Exact for passwords of up to 16 characters.
QString StoredPasswordText(const QByteArray& password);

// Decodes a stored text; nothing when it is damaged (digits that are not
// hexadecimal, fewer characters than the length announces, a value that no
// password encodes to).
std::optional<QByteArray> DecodeStoredPasswordText(const QString& text);

} // namespace zra::access
