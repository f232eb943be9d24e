#pragma once
#include "link/AlarmTexts.h"
#include "link/DeviceClient.h"
#include "link/DeviceLink.h"
#include "link/WriteAudit.h"
#include "main/Snapshots.h"
#include "ui/SettingsStore.h"

#include <map>
#include <memory>
#include <vector>

class QApplication;

namespace zra::console {
class TFext;
}
namespace zra::ui {
class ViewWindow;
}
namespace zra::access {
class TFprihlaseni;
}
namespace zra::views {
class TFmoduly;
class TFfaze;
class TFdcgroup;
class TFacgroup;
class TFmodul_akce;
} // namespace zra::views
namespace zra::config {
class TFkonfig;
class TFnastaveni;
} // namespace zra::config
namespace zra::log {
class TFlog;
}

namespace zra::main {
class TFmain;
class TFzaznam;
} // namespace zra::main

namespace zra::app {

// What the program sets on its application before the windows are made: its
// name, Qt's own texts in Czech, and that only the main window's close ends
// the run (the other windows only hide).
void PrepareApplication(QApplication& app);

// What the whole run shares and every window of the program: the link with
// its client and the alarm description cache first, then the windows, created
// once in a fixed order (the main window first) and living until the end of
// the run. This is their one owner; no window is a Qt child of another.
struct Windows {
    Windows();
    ~Windows();

    link::DeviceLink link;
    link::DeviceClient client{link};
    link::AlarmDescriptions descriptions{client};
    // Every write of the link into the audit log file.
    link::WriteAudit audit{link};
    // The settings file every window's settings store reads and writes.
    store::SettingsFile settings;

    std::unique_ptr<main::TFmain> Fmain;
    std::unique_ptr<views::TFmoduly> Fmoduly;
    std::unique_ptr<views::TFfaze> Ffaze;
    std::unique_ptr<views::TFdcgroup> Fdcgroup;
    std::unique_ptr<views::TFacgroup> Facgroup;
    std::unique_ptr<config::TFkonfig> Fkonfig;
    std::unique_ptr<log::TFlog> Flog;
    std::unique_ptr<config::TFnastaveni> Fnastaveni;
    std::unique_ptr<views::TFmodul_akce> Fmodul_akce;
    std::unique_ptr<access::TFprihlaseni> Fprihlaseni;
    std::unique_ptr<console::TFext> Fext;
    std::unique_ptr<main::TFzaznam> Fzaznam;

    // The snapshot commands of every window.
    main::SnapshotCommands snapshots;

    // The window that shows each table of the views table (reads::TableViews):
    // a documented window, or a plain view window made for a table the tool
    // added, which gets a "Zobraz" item after the documented ones.
    ui::ViewWindow* viewWindow(store::ViewKind kind) const { return m_viewWindows.at(kind); }
    // The view windows, each once, in start-up order.
    const std::vector<ui::ViewWindow*>& viewWindows() const { return m_windowOrder; }

private:
    void wireViews();
    void wireSnapshots();
    void wireSettings();
    // The windows' settings stores (each a child of its window).
    std::vector<ui::SettingsStore*> m_stores;
    std::vector<std::unique_ptr<ui::ViewWindow>> m_addedViews;
    std::map<store::ViewKind, ui::ViewWindow*> m_viewWindows;
    std::vector<ui::ViewWindow*> m_windowOrder;
};

} // namespace zra::app
