#pragma once
#include <QObject>
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
class LiveWatch : public QObject {
    Q_OBJECT
public:
    static constexpr int RetryMs = 200;

    LiveWatch(QAction* toggle, link::DeviceLink& link, std::function<void()> read,
              std::function<int()> intervalMs);

    bool running() const;
    // One step of the watch, as the timer runs it (tests call it directly).
    void tick();

private:
    void toggled(bool on);

    QAction* m_toggle;
    link::DeviceLink& m_link;
    std::function<void()> m_read;
    std::function<int()> m_intervalMs;
    QTimer m_timer;
};

} // namespace zra::insight
