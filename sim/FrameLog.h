#pragma once
#include <QFile>
#include <QString>

namespace zra::sim {

// Appends one line per request, reply or fault to a text file:
// "<local time> <channel> <rx|tx|note> <hex bytes or text>", flushed at once. The path "-" is
// standard output.
class FrameLog {
public:
    bool open(const QString& path, QString* error);
    bool isOpen() const { return m_file.isOpen(); }
    void frame(const char* channel, const char* direction, const QByteArray& bytes);
    void note(const char* channel, const QString& text);

private:
    void line(const QString& text);
    QFile m_file;
};

// Bytes as upper-case hex pairs separated by blanks: "01 04 07 BC".
QString hexBytes(const QByteArray& bytes);

} // namespace zra::sim
