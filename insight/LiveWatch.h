#pragma once
#include <QObject>
#include <QString>
#include <QTimer>
#include <functional>

class QAction;

namespace zra::link {
class DeviceLink;
}

namespace zra::insight {

// "Sledovat": a toggle that repeats a window's read every interval while the
// link is connected. It never overlaps another command: while one runs (or a
// message of one waits) it tries again shortly. It stops by itself at the
// first failed read (whose messages the read has shown) and on disconnect.
// A window may hold work that a read would wipe: while pausedBecause gives a
// text, the watch reads nothing, tells that text through paused() and asks
// again after the interval.
class LiveWatch : public QObject {
    Q_OBJECT
public:
    static constexpr int RetryMs = 200;

    LiveWatch(QAction* toggle, link::DeviceLink& link, std::function<void()> read,
              std::function<int()> intervalMs, std::function<QString()> pausedBecause = {});

    bool running() const;
    // One step of the watch, as the timer runs it (tests call it directly).
    void tick();

signals:
    // The pause text changed; an empty one when the watch goes on or stops.
    void paused(const QString& text);

private:
    void toggled(bool on);
    void setPause(const QString& text);

    QAction* m_toggle;
    link::DeviceLink& m_link;
    std::function<void()> m_read;
    std::function<int()> m_intervalMs;
    std::function<QString()> m_pausedBecause;
    QString m_pause;
    QTimer m_timer;
};

} // namespace zra::insight
