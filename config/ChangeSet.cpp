#include "config/ChangeSet.h"

#include <algorithm>

namespace zra::config {

void ChangeSet::resize(int rows) {
    m_states.resize(std::size_t(std::max(rows, 0)), Unchanged);
}

void ChangeSet::insertRows(int first, int count) {
    first = std::clamp(first, 0, rowCount());
    m_states.insert(m_states.begin() + first, std::size_t(std::max(count, 0)), Unchanged);
}

void ChangeSet::removeRows(int first, int count) {
    first = std::clamp(first, 0, rowCount());
    const int last = std::clamp(first + count, first, rowCount());
    m_states.erase(m_states.begin() + first, m_states.begin() + last);
}

int ChangeSet::state(int row) const {
    return row >= 0 && row < rowCount() ? m_states[std::size_t(row)] : Unchanged;
}

void ChangeSet::setState(int row, int state) {
    if (row >= 0 && row < rowCount())
        m_states[std::size_t(row)] = state;
}

void ChangeSet::setReadRaw(int row, int raw) {
    m_readRaw[row] = raw;
}

std::optional<int> ChangeSet::readRaw(int row) const {
    const auto i = m_readRaw.find(row);
    return i != m_readRaw.end() ? std::optional<int>(i->second) : std::nullopt;
}

void ChangeSet::setInstalledBeforeChangeAll(int row, const QString& text) {
    m_installedBeforeChangeAll[row] = text;
}

std::optional<QString> ChangeSet::installedBeforeChangeAll(int row) const {
    const auto i = m_installedBeforeChangeAll.find(row);
    return i != m_installedBeforeChangeAll.end() ? std::optional<QString>(i->second) : std::nullopt;
}

std::vector<int> ChangeSet::changedByChangeAll() const {
    std::vector<int> rows;
    for (const auto& [row, text] : m_installedBeforeChangeAll)
        rows.push_back(row);
    return rows;
}

void ChangeSet::forgetReadAndChangeAll() {
    m_readRaw.clear();
    m_installedBeforeChangeAll.clear();
}

QString StateText(int state) {
    return QString::number(state);
}

int StateFromText(const QString& text) {
    // As the grid reads a number: blanks around it are allowed, empty is 0.
    const QString t = text.trimmed();
    if (t.isEmpty())
        return Unchanged;
    bool ok = false;
    const qint64 n = t.toLongLong(&ok);
    return ok ? int(n) : Unchanged;
}

bool IsOpenChange(int state) {
    return state == Differs || state == Pending || state == Rejected;
}

bool HoldsOpenChanges(const ChangeSet& changes) {
    for (int row = 1; row < changes.rowCount(); ++row)
        if (IsOpenChange(changes.state(row)))
            return true;
    return false;
}

std::optional<int> RawForUnchangedOk(const ChangeSet& changes, int row) {
    return changes.state(row) == Unchanged ? changes.readRaw(row) : std::nullopt;
}

ChangeAllStep ChangeAllStepFor(bool hasVariable, bool shown, bool comparable) {
    if (!hasVariable)
        return ChangeAllStep::Skip;
    if (!shown)
        return ChangeAllStep::Reset;
    return comparable ? ChangeAllStep::Compare : ChangeAllStep::Name;
}

int ComparedState(qint64 tableRaw, int decimals, qint64 tableId, int installedRaw,
                  int installedId) {
    if ((tableId & 0xFFFF) != installedId)
        return IdMismatch;
    bool differs = (tableRaw & 0xFFFF) != installedRaw || !RawFits(tableRaw);
    // The table shows two decimals: a variable with more is the same value
    // when it shows the same text.
    if (differs && decimals > 2 && RawFits(tableRaw) &&
        ValueText(qint16(installedRaw), decimals) == ValueText(tableRaw, decimals))
        differs = false;
    return differs ? Differs : Unchanged;
}

ChangeAllWrites PlanChangeAllWrites(const std::vector<std::pair<int, qint64>>& rows) {
    // A value beyond the register would be sent as its low 16 bits, i.e. as
    // another value.
    ChangeAllWrites plan;
    for (const auto& [row, raw] : rows) {
        if (RawFits(raw))
            plan.written.emplace_back(row, raw);
        else
            plan.refused.push_back(row);
    }
    return plan;
}

std::vector<int> RowsCommitSettles(const ChangeSet& changes) {
    std::vector<int> rows;
    for (int row = 1; row < changes.rowCount(); ++row)
        if (changes.state(row) == Pending)
            rows.push_back(row);
    return rows;
}

int StateAfterCommit(int validityCode) {
    return validityCode == 0 ? Accepted : Rejected;
}

std::vector<CancelStep> PlanCancel(const ChangeSet& changes, const QStringList& previous) {
    std::vector<CancelStep> steps;
    for (int row = 1; row < changes.rowCount(); ++row) {
        const int state = changes.state(row);
        if (state <= Unchanged)
            continue;
        CancelStep step{row, std::nullopt};
        if (IsOpenChange(state)) {
            const QString before = row < previous.size() ? previous[row] : QString();
            const auto installed = changes.installedBeforeChangeAll(row);
            step.value = before.isEmpty() && installed ? *installed : before;
        }
        steps.push_back(step);
    }
    return steps;
}

} // namespace zra::config
