#pragma once
#include "store/SnapshotFile.h"

#include <QString>
#include <array>
#include <functional>

class QComboBox;
class QWidget;

namespace zra::ui {
class TextGrid;
}

namespace zra::main {

// The snapshot commands of every window: "Ulož" appends a window's table to
// a snapshot file, "Otevři" loads the file's snapshots of that table, the
// history list brings back an earlier one; the main window saves and opens
// its two tables together, and every table at once. They work with or
// without a connection.
class SnapshotCommands {
public:
    // A table of the registry: its window (captions and messages), the
    // window's history list (none for the alarm table), and what the window
    // does after a snapshot was loaded into it.
    struct View {
        ui::TextGrid* grid = nullptr;
        QWidget* window = nullptr;
        QComboBox* history = nullptr;
        std::function<void()> afterLoad;
    };
    void registerView(store::ViewKind kind, const View& view);

    // The file dialogs' start directory ("Adresar"): the executable's folder
    // with a trailing separator until the settings say otherwise.
    QString startDirectory;
    SnapshotCommands();

    // One window's "Ulož", "Otevři" and history pick (kinds 1 to 6).
    void save(store::ViewKind kind);
    void open(store::ViewKind kind);
    void pick(store::ViewKind kind, int index);
    // The main window's "Ulož", "Otevři", "Ulož vše", "Otevři vše" and pick.
    void saveMain();
    void openMain();
    void saveAll();
    void openAll();
    void pickMain(int index);

    const store::SnapshotSession& session() const { return m_session; }
    // A snapshot of kind from file into its window, as a load shows it, but
    // leaving the history as it is.
    void show(const QString& file, store::ViewKind kind, const store::SnapshotTable& table) {
        apply(file, kind, table, false);
    }
    // The file dialogs' filter of snapshot files.
    static const QString& FileFilter();

    // The table of a grid, every cell; and a snapshot back into a grid.
    static store::SnapshotTable TableOf(const ui::TextGrid& grid);
    static void Fill(ui::TextGrid& grid, const store::SnapshotTable& table);
    // The stamp of the alarm snapshot that belongs to the status snapshot of
    // mainStamp in file: the first alarm snapshot after it, the one the same
    // "Ulož" wrote (nothing when there is none). False with the loader's
    // message when the file cannot be read.
    static bool AlarmStampOf(const QString& file, double mainStamp,
                             std::optional<double>* alarmStamp, QString* error);
    // A file name with ".ZRD" added when it has no extension.
    static QString WithDefaultExtension(const QString& name);

private:
    const View& view(store::ViewKind kind) const;
    QString askSave(QWidget* parent);
    QString askOpen(QWidget* parent);
    void append(const QString& file, store::ViewKind kind);
    // Loads and keeps the books; every loaded record goes into its table.
    // False after a failure, which it has shown.
    bool load(const QString& file, int filter, std::optional<double> stamp, QWidget* parent);
    void apply(const QString& file, store::ViewKind kind, const store::SnapshotTable& table,
               bool intoHistory);
    void showHistory(store::ViewKind kind);

    std::array<View, store::ViewKindSlots> m_views;
    store::SnapshotSession m_session;
    // The stamp of this run's last save.
    double m_lastStamp = 0;
};

} // namespace zra::main
