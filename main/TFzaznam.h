#pragma once
#include "store/AuditLog.h"
#include "ui/ToolWindow.h"

#include <QStringList>

class QAction;
class QLabel;

namespace zra::link {
class WriteAudit;
}
namespace zra::ui {
class TextGrid;
}

namespace zra::main {

// The audit log of writes as a table, one row per write with its outcome
// ("bez odpovědi" when the file has none), newest last: read from the file
// whenever the window is shown or "Obnov" is chosen, and growing by every
// write recorded while it is open (its row reads "odesláno" until its outcome
// comes). "Export CSV" writes the
// table for a spreadsheet.
class TFzaznam : public ui::ToolWindow {
    Q_OBJECT
public:
    explicit TFzaznam(link::WriteAudit& audit);

    QAction* TBXobnov;  // "Obnov"
    QAction* TBXexport; // "Export CSV"
    ui::TextGrid* SG_zaznam;
    QLabel* statusPanel0; // "Záznamů: N"
    QLabel* statusPanel1; // damaged lines skipped, or why the file cannot be read

    // The column titles and the cells of one entry's row.
    static const QStringList& ColumnTitles();
    static QStringList RowOf(const store::AuditEntry& entry);

    // Fills the table from the file; false with the reason when it cannot be read.
    bool reload(QString* error = nullptr);

public slots:
    void TBXobnovClick();
    void TBXexportClick();

protected:
    void showEvent(QShowEvent* event) override;

private:
    void appendRow(const store::AuditEntry& entry);
    void showCount();
    // A line the audit log just recorded: a new row, or the outcome of a row.
    void addRecorded(const store::AuditEntry& entry);

    link::WriteAudit& m_audit;
    // The row of the write in flight (its key and row); empty key while none.
    QString m_waitingKey;
    int m_waitingRow = 0;
};

} // namespace zra::main
