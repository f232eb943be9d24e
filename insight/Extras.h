#pragma once
#include "store/SnapshotFile.h"
#include "store/TableCompare.h"

#include <QObject>
#include <QString>
#include <functional>
#include <map>
#include <memory>
#include <vector>

class QAction;
class QMenu;
class QWidget;

namespace zra::app {
struct Windows;
}
namespace zra::ui {
class TextGrid;
class ViewWindow;
} // namespace zra::ui

namespace zra::report {
class ReportCommands;
}
namespace zra::trends {
class TFtrend;
}

namespace zra::insight {

class CompareMarks;
class LiveWatch;

// What the windows offer beyond their documented commands, each after the
// documented items: in every window's "Soubor" menu the CSV export and the
// comparisons with snapshots (and, in the configuration window, the list of
// changed variables); in every reading window's toolbar "Sledovat", which
// repeats its read. The main window's items act on both of its tables, as its
// "Ulož" does; its menu also brings the commissioning report and the trends.
class Extras : public QObject {
    Q_OBJECT
public:
    // The settings key of the watch interval, in seconds.
    static inline const QString WatchSection = QStringLiteral("Sledovani");
    static inline const QString WatchKey = QStringLiteral("Interval_s");
    static constexpr int DefaultWatchSeconds = 5;

    explicit Extras(app::Windows& windows);
    ~Extras() override;

    // The commands of a window's menu, by the kind of its (first) table.
    void exportCsv(store::ViewKind kind);
    void compareWithFile(store::ViewKind kind);
    void compareWithHistory(store::ViewKind kind);
    void compareTwo(store::ViewKind kind);
    void clearComparison(store::ViewKind kind);
    void changedVariables();

    CompareMarks& marks(store::ViewKind kind) const;
    // The "Sledovat" toggle of a window, and its watch.
    QAction* watchToggle(QWidget* window) const;
    LiveWatch& watch(QWidget* window) const;
    // The interval the watches wait between reads.
    int watchIntervalMs() const;

    // The items added to the menu of the window of kind, in their order.
    QList<QAction*> menuItems(store::ViewKind kind) const;

    // The commissioning report and the trend window, from the main window's
    // "Soubor" menu.
    std::unique_ptr<report::ReportCommands> reports;
    std::unique_ptr<trends::TFtrend> Ftrend;
    QAction* TBXtrendy;

private:
    struct Table {
        ui::TextGrid* grid = nullptr;
        ui::ViewWindow* window = nullptr;
        CompareMarks* marks = nullptr;
    };
    // The tables a window's command acts on: the main window's two, else one.
    std::vector<store::ViewKind> tablesOf(store::ViewKind kind) const;
    void addMenu(store::ViewKind kind, ui::ViewWindow* window);
    LiveWatch* addWatch(ui::ViewWindow* window, std::function<void()> read,
                        std::function<QString()> pausedBecause = {});
    void
    compareLoaded(store::ViewKind kind, const QString& file,
                  const std::map<store::ViewKind, std::pair<double, store::SnapshotTable>>& found);
    void showSummaries(store::ViewKind kind);
    QString askSnapshotFile(QWidget* parent, const QString& caption) const;

    app::Windows& m_w;
    std::map<store::ViewKind, Table> m_tables;
    std::map<store::ViewKind, QList<QAction*>> m_items;
    std::map<QWidget*, QAction*> m_toggles;
    std::map<QWidget*, LiveWatch*> m_watches;
};

} // namespace zra::insight
