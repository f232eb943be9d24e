#pragma once
#include <QByteArray>
#include <QString>

namespace zra::sim {

// Windows-1250, the single-byte code page of every text the installation stores. Qt has no codec
// for it, so the mapping is a table of its upper half (bytes 0x80 to 0xFF); bytes below 0x80 are
// ASCII.

// The text in Windows-1250, one byte per character. A character that the code page lacks becomes
// '?' and makes ok false.
QByteArray toCp1250(const QString& text, bool* ok = nullptr);

// The bytes decoded; the five unassigned bytes (0x81, 0x83, 0x88, 0x90, 0x98) become U+FFFD.
QString fromCp1250(const QByteArray& bytes);

} // namespace zra::sim
