#include "sim/FrameLog.h"
#include <QDateTime>
#include <cstdio>

namespace zra::sim {

QString hexBytes(const QByteArray& bytes) {
    return QString::fromLatin1(bytes.toHex(' ').toUpper());
}

bool FrameLog::open(const QString& path, QString* error) {
    if (path == QLatin1String("-")) {
        if (m_file.open(stdout, QIODevice::WriteOnly | QIODevice::Text))
            return true;
    } else {
        m_file.setFileName(path);
        if (m_file.open(QIODevice::WriteOnly | QIODevice::Append | QIODevice::Text))
            return true;
    }
    if (error)
        *error = QStringLiteral("cannot open log file %1: %2").arg(path, m_file.errorString());
    return false;
}

void FrameLog::frame(const char* channel, const char* direction, const QByteArray& bytes) {
    line(QStringLiteral("%1 %2 %3")
             .arg(QLatin1String(channel), QLatin1String(direction), hexBytes(bytes)));
}

void FrameLog::note(const char* channel, const QString& text) {
    line(QStringLiteral("%1 note %2").arg(QLatin1String(channel), text));
}

void FrameLog::line(const QString& text) {
    if (!m_file.isOpen())
        return;
    const QString stamp = QDateTime::currentDateTime().toString(Qt::ISODateWithMs);
    m_file.write((stamp + u' ' + text + u'\n').toUtf8());
    m_file.flush();
}

} // namespace zra::sim
