#include "insight/LiveWatch.h"

#include "link/DeviceLink.h"
#include "ui/UiServices.h"

#include <QAction>

namespace zra::insight {

LiveWatch::LiveWatch(QAction* toggle, link::DeviceLink& link, std::function<void()> read,
                     std::function<int()> intervalMs)
    : QObject(toggle), m_toggle(toggle), m_link(link), m_read(std::move(read)),
      m_intervalMs(std::move(intervalMs)) {
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
    if (on)
        m_timer.start(0); // the first read at once
    else
        m_timer.stop();
}

void LiveWatch::tick() {
    if (!running())
        return;
    if (ui::CommandRunning()) {
        m_timer.start(RetryMs);
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
