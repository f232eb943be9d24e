#pragma once
#include "config/ChangeSet.h"
#include "config/ConfigFilter.h"
#include "ui/TableShape.h"
#include "ui/ViewWindow.h"

#include <QColor>
#include <QString>
#include <functional>
#include <optional>
#include <vector>

class QAction;
class QComboBox;
class QLabel;
class QToolButton;

namespace zra::link {
class DeviceClient;
}
namespace zra::ui {
class TextGrid;
}

namespace zra::config {

class TFnastaveni;

// The configuration window: one row per configuration variable, the filter
// that narrows the table to the variables of interest, and the change set
// (edit, change all, commit, cancel).
class TFkonfig : public ui::ViewWindow {
    Q_OBJECT
public:
    TFkonfig(link::DeviceClient& client, TFnastaveni& dialog);

    std::vector<store::ViewKind> kinds() const override { return {store::ViewKind::Konfig}; }
    ui::TextGrid* grid(store::ViewKind) const override { return SG_konfig; }
    void read() override { readKonfig(); }

    // "Historie" is the snapshot history; "Načti konfiguraci z ZRA" the read.
    QToolButton* filtrButton;
    QAction* TBXfiltr;     // "Použij filtr"
    QAction* TBXulozfiltr; // "Ulož filtr"
    QAction* TBXoznacvse;  // "Označ vše"
    QAction* TBXdofiltru;  // "Označené -> filtr"
    QAction* TBXzfiltru;   // "Označené -> zruš filtr"
    QAction* TBXzobrazvse; // "Zobraz vše"
    QToolButton* akceButton;
    QAction* TBXedit;    // "Změnit proměnnou [DblClick]"
    QAction* TBXzmenvse; // "Změň vše (filtr)"
    QAction* TBXzrus;    // "Zruš změny"
    QAction* TBXproved;  // "Proveď zmeny"
    QLabel* TBXLabelItem1;
    ui::TextGrid* SG_konfig;
    QLabel* statusPanel0; // "Řádků: "
    QLabel* statusPanel1; // the filter state
    QLabel* statusPanel2;
    QLabel* statusPanel3; // the live watch's state

    // Why a live watch must not read now: a text while rows hold changes that
    // the installation has not settled (change-all found them, they wait for
    // the commit, or the commit refused them), which a read would wipe;
    // empty once the changes were committed or cancelled.
    QString watchPause() const;

    FilterSet filter;
    // The filter file; read when the window is created.
    QString filterFile;
    // The wait between two polls of a running commit (a test shortens it).
    int commitPollWaitMs = 1000;

    // The read of every variable, without the command frame (read-all runs it
    // inside its own command).
    void readKonfig();
    // True when the installation reports no unsaved changes; warns otherwise.
    bool CheckConfigSaved();
    void UpdateFilterStatus();
    void ApplyRowVisibility();
    void OpenVariableEditor(int row);
    // The table was filled from elsewhere (a snapshot): what the window kept
    // of the last read and change-all no longer belongs to its rows.
    void tableReplaced();
    // After a snapshot was opened into the table: the row count, the filter
    // state and the rows it hides.
    void snapshotLoaded() override;
    // The colours of a painted data cell.
    std::optional<QColor> SG_konfigGetCellColor(int column, int row);
    std::optional<QColor> SG_konfigGetTextColor(int column, int row) const;

public slots:
    void TBXfiltrClick();
    void TBXulozfiltrClick();
    void TBXoznacvseClick();
    void TBXdofiltruClick();
    void TBXzfiltruClick();
    void TBXzobrazvseClick();
    void TBXeditClick();
    void SG_konfigDblClickCell(int column, int row);
    void ApplyLoadedValues();
    void CancelChanges();
    void CommitChanges();
    // After every login prompt: "Zruš změny" and "Proveď zmeny" follow the login.
    void applyLogin(bool granted);

signals:
    // A commit (true) or a cancel (false) that passed the login ended, with
    // its verdict in the words the engineer saw: "Změny přijaty", "Změny
    // odmítnuty: 12 (TOO_HIGH)", "Změny zrušeny", "Něco je špatně", "Chyba v
    // komunikaci" or the text of an error that ended the command.
    void changesEnded(bool commit, const QString& verdict);

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;
    // The column titles and widths the settings file restored become the
    // table's own.
    void showEvent(QShowEvent* event) override;

private:
    void applyState(bool connected);
    void markSelected(bool in);
    // True, with a checkable item's check mark put back, while a command runs.
    bool refusedWhileCommandRuns(QAction* item);
    void showRowCount();
    // A row's state in the change set and, as its text, in column 7.
    void setState(int row, int state);
    // Column 7 of grid rows first to last (all rows without arguments) into
    // the change set; it follows the table's rows and columns.
    void takeStates(int first = 1, int last = -1);
    void followTable();
    // Variable number of a data row, nothing for a row without one.
    std::optional<int> variableOf(int row) const;
    std::optional<int> decimalsOf(int row) const;
    qint64 tableRaw(int row) const;
    void updateBanding();
    void fitColumns();
    void waitBetweenPolls();
    // Runs a commit's or cancel's part after the login and tells its verdict,
    // also when an error ends it.
    void endWithVerdict(bool commit, const std::function<QString()>& run);
    QString commitSent();
    QString cancelSent();

    link::DeviceClient& m_client;
    TFnastaveni& m_dialog;
    // Which data rows the banding shades, by row (row 0 unused).
    std::vector<bool> m_shaded;
    // The rows' states (as the table's length, drawn as the value colours),
    // the raw values of the last read and what change-all saw. The window
    // writes a state's text into column 7 whenever it changes a state; what
    // others write there (the edit dialog, a snapshot load) is taken back.
    ChangeSet m_changes;
    // The table's own columns, which a read restores after a snapshot of
    // another column count.
    ui::TableShape m_shape;
};

} // namespace zra::config
