#include "insight/CompareMarks.h"

#include "main/Snapshots.h"
#include "text/CellText.h"
#include "ui/TextGrid.h"

namespace zra::insight {

CompareMarks::CompareMarks(ui::TextGrid& grid) : QObject(&grid), m_grid(grid) {
    m_pending.setSingleShot(true);
    m_pending.setInterval(0);
    connect(&m_pending, &QTimer::timeout, this, &CompareMarks::update);
    // A read writes cell after cell: one comparison after the burst.
    const auto again = [this] {
        if (m_active)
            m_pending.start();
    };
    QAbstractItemModel* model = grid.model();
    connect(model, &QAbstractItemModel::dataChanged, this, again);
    connect(model, &QAbstractItemModel::headerDataChanged, this, again);
    connect(model, &QAbstractItemModel::modelReset, this, again);
    connect(model, &QAbstractItemModel::rowsInserted, this, again);
    connect(model, &QAbstractItemModel::rowsRemoved, this, again);
    connect(model, &QAbstractItemModel::columnsInserted, this, again);
    connect(model, &QAbstractItemModel::columnsRemoved, this, again);

    grid.cellHighlight = [this](int c, int r) -> std::optional<QColor> {
        if (!m_active || r >= m_comparison.rows || c >= m_comparison.columns)
            return std::nullopt;
        switch (m_comparison.state(c, r)) {
        case store::CellState::Changed:
            return ChangedCellColor;
        case store::CellState::AddedRow:
        case store::CellState::AddedColumn:
            return AddedCellColor;
        default:
            return std::nullopt;
        }
    };
    grid.cellToolTip = [this](int c, int r) -> QString {
        if (!m_active || r >= m_comparison.rows || c >= m_comparison.columns)
            return {};
        switch (m_comparison.state(c, r)) {
        case store::CellState::Changed:
            return QStringLiteral("Ve snímku: %1")
                .arg(text::DisplayText(m_comparison.oldText(c, r)));
        case store::CellState::AddedRow:
            return QStringLiteral("Řádek ve snímku není");
        case store::CellState::AddedColumn:
            return QStringLiteral("Sloupec ve snímku není");
        default:
            return {};
        }
    };
}

void CompareMarks::compareWith(const store::SnapshotTable& baseline, const QString& label) {
    m_baseline = baseline;
    m_label = label;
    m_active = true;
    update();
}

void CompareMarks::clear() {
    m_active = false;
    m_pending.stop();
    m_comparison = {};
    m_grid.repaintCells();
    emit updated();
}

void CompareMarks::update() {
    m_pending.stop();
    if (!m_active)
        return;
    m_comparison = store::CompareTables(m_baseline, main::SnapshotCommands::TableOf(m_grid));
    m_grid.repaintCells();
    emit updated();
}

QString CompareMarks::summary() const {
    if (!m_active)
        return {};
    QString text = QStringLiteral("Porovnání se snímkem %1: %2")
                       .arg(m_label, store::ComparisonSummary(m_comparison));
    const auto titles = [](const QList<store::MissingLine>& lines) {
        QStringList t;
        for (const store::MissingLine& l : lines)
            t << (l.title.isEmpty() ? QStringLiteral("(bez názvu)") : text::DisplayText(l.title));
        return t.join(QStringLiteral(", "));
    };
    if (!m_comparison.missingRows.isEmpty())
        text += QStringLiteral("\nChybějící řádky: ") + titles(m_comparison.missingRows);
    if (!m_comparison.missingColumns.isEmpty())
        text += QStringLiteral("\nChybějící sloupce: ") + titles(m_comparison.missingColumns);
    return text;
}

} // namespace zra::insight
