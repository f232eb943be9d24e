#pragma once
#include "ui/ViewWindow.h"

class QLabel;
class QSpinBox;

namespace zra::link {
class AlarmDescriptions;
class DeviceClient;
} // namespace zra::link

namespace zra::ui {
class TextGrid;
} // namespace zra::ui

namespace zra::log {

// The event log window: the installation's stored events, one row each, with
// source, level, code and description, date and time. Read only by its own
// "Načti" (read-all leaves the log alone).
class TFlog : public ui::ViewWindow {
    Q_OBJECT
public:
    TFlog(link::DeviceClient& client, link::AlarmDescriptions& descriptions);
    ~TFlog() override;

    std::vector<store::ViewKind> kinds() const override { return {store::ViewKind::Log}; }
    ui::TextGrid* grid(store::ViewKind) const override { return SG_log; }
    void read() override { readLog(); }

    // Toolbar ("historie" is the component TBXhistorie).
    QSpinBox* TBXSpinEditItem1; // "Kolik": the greatest number of events to read
    QLabel* TBXLabelItem1;      // counts down while the log is read

    ui::TextGrid* SG_log;

    // The read of the log, without the command frame around it.
    void readLog();

private:
    void buildToolbar();
    void buildTable();

    link::DeviceClient& m_client;
    link::AlarmDescriptions& m_descriptions;
};

} // namespace zra::log
