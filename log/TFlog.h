#pragma once
#include "ui/ToolWindow.h"

class QAction;
class QComboBox;
class QLabel;
class QSpinBox;
class QToolButton;

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
class TFlog : public ui::ToolWindow {
    Q_OBJECT
public:
    TFlog(link::DeviceClient& client, link::AlarmDescriptions& descriptions);
    ~TFlog() override;

    // Toolbar.
    QToolButton* souborButton;
    QAction* TBXotevri;
    QAction* TBXuloz;
    QAction* TBXnacti;
    QSpinBox* TBXSpinEditItem1; // "Kolik": the greatest number of events to read
    QComboBox* TBXhistorie;
    QLabel* TBXLabelItem1; // counts down while the log is read

    ui::TextGrid* SG_log;

    // The read of the log, without the command frame around it.
    void readLog();

public slots:
    void TBXnactiClick();

private:
    void buildToolbar();
    void buildTable();

    link::DeviceClient& m_client;
    link::AlarmDescriptions& m_descriptions;
};

} // namespace zra::log
