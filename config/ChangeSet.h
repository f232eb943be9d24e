#pragma once
#include "config/ConfigDecode.h"

#include <QString>
#include <QStringList>
#include <map>
#include <optional>
#include <utility>
#include <vector>

namespace zra::config {

// The configuration window's change set, by table row (row 0, the titles,
// included and unused): each row's state, the raw values of the last read
// and the installation values that "Změň vše (filtr)" saw.
//
// A state is a ChangeState code, or another number that a snapshot file
// brought: that one is kept as it is and counts as no change of its own
// (column 7 of a snapshot is taken as it reads, like the window always did).
class ChangeSet {
public:
    int rowCount() const { return int(m_states.size()); }
    // New rows are Unchanged; rows beyond the count go with their states.
    void resize(int rows);
    void insertRows(int first, int count);
    void removeRows(int first, int count);

    // Unchanged for a row outside the set.
    int state(int row) const;
    void setState(int row, int state);

    // The raw value a read reported for a row.
    void setReadRaw(int row, int raw);
    std::optional<int> readRaw(int row) const;

    // "Změň vše (filtr)" starts again, or a cancel settled what it found.
    void forgetChangeAll() { m_installedBeforeChangeAll.clear(); }
    // The installation's value text change-all saw for a row it found to
    // differ; the rows with one are the rows it found to differ.
    void setInstalledBeforeChangeAll(int row, const QString& text);
    std::optional<QString> installedBeforeChangeAll(int row) const;
    std::vector<int> changedByChangeAll() const;

    // The rows belong to another table now (a read starts, a snapshot was
    // loaded): what the last read and change-all saw is forgotten.
    void forgetReadAndChangeAll();

private:
    std::vector<int> m_states;
    std::map<int, int> m_readRaw;
    std::map<int, QString> m_installedBeforeChangeAll;
};

// A state as column 7 holds it and back. Text that is not a number is
// Unchanged, as is an empty cell.
QString StateText(int state);
int StateFromText(const QString& text);

// Differs, Pending and Rejected: changes that no commit or cancel settled,
// which a read would wipe.
bool IsOpenChange(int state);
bool HoldsOpenChanges(const ChangeSet& changes);

// ---- editing ------------------------------------------------------------------

// What an OK without a change writes back for a row: the raw value read,
// while the row is unchanged since that read.
std::optional<int> RawForUnchangedOk(const ChangeSet& changes, int row);

// ---- change all ---------------------------------------------------------------

// What "Změň vše (filtr)" does with a row.
enum class ChangeAllStep {
    Skip,    // no variable number: the row keeps its state and is not written
    Reset,   // outside the filter in use: Unchanged, nothing read
    Name,    // Unchanged and named: multiplier, value or ID is not a number
    Compare, // Unchanged, then compared with the installation's value
};
// hasVariable: the row has a variable number; shown: the filter is off or
// holds it; comparable: its multiplier, value and ID are numbers.
ChangeAllStep ChangeAllStepFor(bool hasVariable, bool shown, bool comparable);

// The state change-all gives a compared row: IdMismatch when the table's ID
// is not the installation's (low 16 bits), Differs when the table's raw value
// is another than the installation's or beyond the register (with more than
// two decimals the same text shown counts as the same value), else
// Unchanged.
int ComparedState(qint64 tableRaw, int decimals, qint64 tableId, int installedRaw, int installedId);

// The rows change-all found to differ, split into those it writes (with the
// raw value) and those it refuses because their raw value is beyond the
// register, in row order.
struct ChangeAllWrites {
    std::vector<std::pair<int, qint64>> written;
    std::vector<int> refused;
};
// rows: (row, raw value of the table) of each row change-all found to differ.
ChangeAllWrites PlanChangeAllWrites(const std::vector<std::pair<int, qint64>>& rows);

// ---- commit -------------------------------------------------------------------

// The rows whose verdict a commit reads and marks: the pending ones, in row
// order.
std::vector<int> RowsCommitSettles(const ChangeSet& changes);
// A settled row's state by its validity code (0 also when the installation
// saved every change).
int StateAfterCommit(int validityCode);

// ---- cancel -------------------------------------------------------------------

// What a cancel does with a row: the state becomes Unchanged, and a row whose
// value the installation never took gets value back.
struct CancelStep {
    int row = 0;
    std::optional<QString> value;
};
// previous: column 6 of every row, by row. The installation keeps what it
// accepted, and a row whose ID did not match was never written: those keep
// their values. A differing, pending or refused row shows the value from
// before the change: its previous value, or, for a row that only change-all
// changed, the installation's value change-all saw. Rows without a change
// (and a negative state) are left alone.
std::vector<CancelStep> PlanCancel(const ChangeSet& changes, const QStringList& previous);

} // namespace zra::config
