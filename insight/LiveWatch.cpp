#include "insight/LiveWatch.h"

#include "link/DeviceLink.h"
#include "ui/UiServices.h"

#include <QAction>

namespace zra::insight {

LiveWatch::LiveWatch(QAction* toggle, link::DeviceLink& link, std::function<void()> read,
                     std::function<int()> intervalMs, std::function<QString()> pausedBecause)
    : QObject(toggle), m_toggle(toggle), m_link(link), m_read(std::move(read)),
      m_intervalMs(std::move(intervalMs)), m_pausedBecause(std::move(pausedBecause)) {
    m_toggle->setCheckable(true);
    m_toggle->setEnabled(m_link.connectedState());
    m_timer.setSingleShot(true);
    connect(&m_timer, &QTimer::timeout, this, &LiveWatch::tick);
    connect(m_toggle, &QAction::toggled, this, &LiveWatch::toggled);
    connect(&m_link, &link::DeviceLink::connectionChanged, this, [this](bool connected) {
        m_toggle->setEnabled(connected);
        if (!connected)
            m_toggle->setChecked(false);
    });
}

bool LiveWatch::running() const {
    return m_toggle->isChecked();
}

void LiveWatch::toggled(bool on) {
    if (on) {
        m_timer.start(0); // the first read at once
    } else {
        m_timer.stop();
        setPause({});
    }
}

void LiveWatch::setPause(const QString& text) {
    if (text == m_pause)
        return;
    m_pause = text;
    emit paused(m_pause);
}

void LiveWatch::tick() {
    if (!running())
        return;
    if (ui::CommandRunning()) {
        m_timer.start(RetryMs);
        return;
    }
    setPause(m_pausedBecause ? m_pausedBecause() : QString());
    if (!m_pause.isEmpty()) {
        m_timer.start(m_intervalMs());
        return;
    }
    m_read();
    if (m_link.exchangeFailed() || !m_link.connectedState()) {
        m_toggle->setChecked(false);
        return;
    }
    if (running())
        m_timer.start(m_intervalMs());
}

} // namespace zra::insight
