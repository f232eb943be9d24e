#pragma once
#include <QByteArray>
#include <QString>

namespace zra::text {

// Windows-1250, the installation's and the snapshot files' single-byte text
// encoding. Every byte decodes to one character; the five bytes the code page
// leaves undefined decode to the C1 control of the same value, so decoding
// and encoding again gives back the same bytes.
QString FromCp1250(const QByteArray& bytes);
QString FromCp1250(const char* bytes, int count);
// Characters the code page lacks become '?' and make ok false.
QByteArray ToCp1250(const QString& text, bool* ok = nullptr);

} // namespace zra::text
