#include "ui/TextGrid.h"
#include "ui/UiServices.h"

#include <QAbstractButton>
#include <QCoreApplication>
#include <QEvent>
#include <QHeaderView>
#include <QItemSelectionModel>
#include <QLocale>
#include <QPainter>
#include <QPushButton>
#include <QScrollBar>
#include <algorithm>

namespace zra::ui {

// ---- model ---------------------------------------------------------------

int TextGridModel::rowCount(const QModelIndex& parent) const {
    if (parent.isValid())
        return 0;
    return std::max(0, int(cells.size()) - m_grid.m_fixedRows);
}

int TextGridModel::columnCount(const QModelIndex& parent) const {
    if (parent.isValid() || cells.empty())
        return 0;
    return std::max(0, int(cells[0].size()) - m_grid.m_fixedCols);
}

QVariant TextGridModel::data(const QModelIndex& index, int role) const {
    if (!index.isValid())
        return {};
    const int row = index.row() + m_grid.m_fixedRows;
    const int col = index.column() + m_grid.m_fixedCols;
    switch (role) {
    case Qt::DisplayRole:
        return text::DisplayText(cells[row][col]);
    case Qt::BackgroundRole:
        if (m_grid.cellHighlight)
            if (auto c = m_grid.cellHighlight(col, row))
                return *c;
        if (m_grid.cellBackground)
            if (auto c = m_grid.cellBackground(col, row))
                return *c;
        return {};
    case Qt::ForegroundRole:
        if (m_grid.cellTextColor)
            if (auto c = m_grid.cellTextColor(col, row))
                return *c;
        return {};
    case Qt::ToolTipRole:
        if (m_grid.cellToolTip)
            if (QString tip = m_grid.cellToolTip(col, row); !tip.isEmpty())
                return tip;
        return {};
    default:
        return {};
    }
}

QVariant TextGridModel::headerData(int section, Qt::Orientation orientation, int role) const {
    if (role != Qt::DisplayRole)
        return {};
    if (orientation == Qt::Horizontal) {
        if (!m_grid.m_fixedRows)
            return {};
        return cells[0][section + m_grid.m_fixedCols];
    }
    if (!m_grid.m_fixedCols)
        return {};
    return cells[section + m_grid.m_fixedRows][0];
}

void TextGridModel::resize(int rows, int columns) {
    rows = std::max(rows, 1);
    columns = std::max(columns, 1);
    const int oldRows = int(cells.size());
    const int oldCols = int(cells[0].size());
    if (columns < oldCols) {
        beginRemoveColumns({}, columns - m_grid.m_fixedCols, oldCols - 1 - m_grid.m_fixedCols);
        for (auto& r : cells)
            r.resize(columns);
        endRemoveColumns();
    } else if (columns > oldCols) {
        beginInsertColumns({}, oldCols - m_grid.m_fixedCols, columns - 1 - m_grid.m_fixedCols);
        for (auto& r : cells)
            r.resize(columns);
        endInsertColumns();
    }
    if (rows < oldRows) {
        beginRemoveRows({}, rows - m_grid.m_fixedRows, oldRows - 1 - m_grid.m_fixedRows);
        cells.resize(rows);
        endRemoveRows();
    } else if (rows > oldRows) {
        beginInsertRows({}, oldRows - m_grid.m_fixedRows, rows - 1 - m_grid.m_fixedRows);
        cells.resize(rows, std::vector<QString>(columns));
        endInsertRows();
    }
}

void TextGridModel::changed(int column, int row) {
    if (row < m_grid.m_fixedRows || column < m_grid.m_fixedCols) {
        if (row < m_grid.m_fixedRows && column >= m_grid.m_fixedCols)
            emit headerDataChanged(Qt::Horizontal, column - m_grid.m_fixedCols,
                                   column - m_grid.m_fixedCols);
        else if (column < m_grid.m_fixedCols && row >= m_grid.m_fixedRows)
            emit headerDataChanged(Qt::Vertical, row - m_grid.m_fixedRows,
                                   row - m_grid.m_fixedRows);
        else
            m_grid.viewport()->update();
        return;
    }
    const QModelIndex i = index(row - m_grid.m_fixedRows, column - m_grid.m_fixedCols);
    emit dataChanged(i, i);
}

// ---- view ----------------------------------------------------------------

namespace {

// A title row or column of a set thickness (a fixed height, a fixed width):
// its size hint is that thickness. The plain header's measures up to 200 of
// its titles, and the view asks for it at every layout, which each block of
// rows a read adds and each title it writes bring about.
class SetHeader : public QHeaderView {
public:
    SetHeader(Qt::Orientation orientation, QWidget* parent) : QHeaderView(orientation, parent) {
        setSectionsClickable(true); // as the view's own headers
    }
    QSize sizeHint() const override {
        if (orientation() == Qt::Vertical && minimumWidth() == maximumWidth())
            return {minimumWidth(), defaultSectionSize()};
        if (orientation() == Qt::Horizontal && minimumHeight() == maximumHeight())
            return {defaultSectionSize(), minimumHeight()};
        return QHeaderView::sizeHint();
    }
};

} // namespace

TextGrid::TextGrid(QWidget* parent) : QTableView(parent), m_model(new TextGridModel(*this)) {
    setHorizontalHeader(new SetHeader(Qt::Horizontal, this));
    setVerticalHeader(new SetHeader(Qt::Vertical, this));
    m_model->setParent(this);
    setModel(m_model);
    setEditTriggers(QAbstractItemView::NoEditTriggers);
    setSelectionMode(QAbstractItemView::SingleSelection);
    setWordWrap(false);
    horizontalHeader()->setHighlightSections(false);
    verticalHeader()->setHighlightSections(false);
    horizontalHeader()->setMinimumSectionSize(0);
    verticalHeader()->setMinimumSectionSize(0);
    horizontalHeader()->setDefaultAlignment(Qt::AlignLeft | Qt::AlignVCenter);
    verticalHeader()->setDefaultAlignment(Qt::AlignLeft | Qt::AlignVCenter);
    verticalHeader()->setSectionResizeMode(QHeaderView::Fixed);
    verticalHeader()->setDefaultSectionSize(m_defaultHeight);
    horizontalHeader()->setFixedHeight(m_defaultHeight);
    horizontalHeader()->setDefaultSectionSize(64);
    // The corner above the title column shows cell (0, 0).
    if (auto* corner = findChild<QAbstractButton*>())
        corner->installEventFilter(this);
    connect(this, &QAbstractItemView::doubleClicked, this, [this](const QModelIndex& i) {
        emit cellDoubleClicked(i.column() + m_fixedCols, i.row() + m_fixedRows);
    });
    connect(horizontalHeader(), &QHeaderView::sectionResized, this, &TextGrid::placeTitleButtons);
    connect(horizontalHeader(), &QHeaderView::geometriesChanged, this,
            &TextGrid::placeTitleButtons);
    connect(horizontalScrollBar(), &QScrollBar::valueChanged, this, &TextGrid::placeTitleButtons);
    applyHeaders();
}

TextGrid::~TextGrid() {
    // The headers and scroll bars outlive this part of the object: their
    // signals must not reach it while the base classes are destroyed.
    disconnect(horizontalHeader(), nullptr, this, nullptr);
    disconnect(horizontalScrollBar(), nullptr, this, nullptr);
}

bool TextGrid::eventFilter(QObject* watched, QEvent* event) {
    const bool handled = QTableView::eventFilter(watched, event);
    if (event->type() == QEvent::Paint && m_fixedRows && m_fixedCols) {
        if (auto* corner = qobject_cast<QAbstractButton*>(watched)) {
            // Let the button draw itself first, then put the title on it.
            corner->removeEventFilter(this);
            QCoreApplication::sendEvent(corner, event);
            corner->installEventFilter(this);
            QPainter p(corner);
            p.drawText(corner->rect().adjusted(4, 0, -2, 0), Qt::AlignLeft | Qt::AlignVCenter,
                       m_model->cells[0][0]);
            return true;
        }
    }
    return handled;
}

void TextGrid::applyHeaders() {
    horizontalHeader()->setVisible(m_fixedRows == 1);
    verticalHeader()->setVisible(m_fixedCols == 1 && m_titleColumnWidth > 0);
    if (m_fixedCols)
        verticalHeader()->setFixedWidth(m_titleColumnWidth);
}

void TextGrid::setFixed(int titleRows, int titleColumns) {
    m_fixedRows = std::clamp(titleRows, 0, 1);
    m_fixedCols = std::clamp(titleColumns, 0, 1);
    m_model->refresh();
    applyHeaders();
}

int TextGrid::rowCount() const {
    return int(m_model->cells.size());
}

int TextGrid::columnCount() const {
    return int(m_model->cells[0].size());
}

void TextGrid::setRowCount(int rows) {
    m_model->resize(rows, columnCount());
}

void TextGrid::setColumnCount(int columns) {
    m_model->resize(rowCount(), columns);
    // Title buttons of columns that are gone go with them.
    while (!m_titleButtons.empty() && m_titleButtons.rbegin()->first >= columnCount())
        removeTitleButton(m_titleButtons.rbegin()->first);
    placeTitleButtons();
}

QString TextGrid::cell(int column, int row) const {
    if (row < 0 || row >= rowCount() || column < 0 || column >= columnCount())
        return {};
    return m_model->cells[row][column];
}

void TextGrid::setCell(int column, int row, const QString& text) {
    if (row < 0 || row >= rowCount() || column < 0 || column >= columnCount())
        return;
    if (m_model->cells[row][column] == text)
        return;
    m_model->cells[row][column] = text;
    m_model->changed(column, row);
}

void TextGrid::setRowCells(int row, const QStringList& texts) {
    if (row < 0 || row >= rowCount())
        return;
    const int count = std::min(int(texts.size()), columnCount());
    int first = count, last = -1;
    for (int c = 0; c < count; ++c) {
        if (m_model->cells[row][c] == texts[c])
            continue;
        m_model->cells[row][c] = texts[c];
        first = std::min(first, c);
        last = c;
    }
    if (last < 0)
        return;
    // The title cells are told one by one; the data cells as one range.
    for (int c = first; c < std::min(last + 1, m_fixedCols); ++c)
        m_model->changed(c, row);
    if (row >= m_fixedRows && last >= m_fixedCols) {
        const int from = std::max(first, m_fixedCols) - m_fixedCols;
        emit m_model->dataChanged(m_model->index(row - m_fixedRows, from),
                                  m_model->index(row - m_fixedRows, last - m_fixedCols));
    } else {
        for (int c = std::max(first, m_fixedCols); c <= last; ++c)
            m_model->changed(c, row);
    }
}

void TextGrid::setInteger(int column, int row, qint64 value) {
    setCell(column, row, QString::number(value));
}

void TextGrid::setDecimal(int column, int row, double value, int decimals) {
    setCell(column, row, text::DecimalText(value, decimals));
}

std::optional<double> TextGrid::decimalAt(int column, int row) const {
    const QString text = cell(column, row).trimmed();
    if (text.isEmpty())
        return 0.0;
    bool ok = false;
    double v = QLocale::system().toDouble(text, &ok);
    if (!ok)
        v = QLocale::c().toDouble(QString(text).replace(QLatin1Char(','), QLatin1Char('.')), &ok);
    if (!ok)
        return std::nullopt;
    return v;
}

std::optional<qint64> TextGrid::integerAt(int column, int row) const {
    const QString text = cell(column, row).trimmed();
    if (text.isEmpty())
        return 0;
    bool ok = false;
    const qint64 v = text.toLongLong(&ok);
    if (!ok)
        return std::nullopt;
    return v;
}

void TextGrid::setColumnWidthPx(int column, int width) {
    width = std::max(width, 0);
    if (column < m_fixedCols) {
        m_titleColumnWidth = width;
        applyHeaders();
        return;
    }
    const int section = column - m_fixedCols;
    setColumnHidden(section, width == 0);
    if (width > 0)
        setColumnWidth(section, width);
}

int TextGrid::columnWidthPx(int column) const {
    if (column < m_fixedCols)
        return m_titleColumnWidth;
    const int section = column - m_fixedCols;
    return isColumnHidden(section) ? 0 : columnWidth(section);
}

void TextGrid::setRowHeightPx(int row, int height) {
    height = std::max(height, 0);
    if (row < m_fixedRows) {
        horizontalHeader()->setFixedHeight(height);
        horizontalHeader()->setVisible(height > 0);
        return;
    }
    const int section = row - m_fixedRows;
    setRowHidden(section, height == 0);
    if (height > 0)
        setRowHeight(section, height);
}

int TextGrid::rowHeightPx(int row) const {
    if (row < m_fixedRows)
        return horizontalHeader()->isHidden() ? 0 : horizontalHeader()->height();
    const int section = row - m_fixedRows;
    return isRowHidden(section) ? 0 : rowHeight(section);
}

int TextGrid::fittingColumnWidth(int column) const {
    // Measuring a text takes its shaping, some microseconds a cell, and a
    // read fills up to 500 rows: each text is measured once per font.
    if (m_measuredFont != font() || m_textWidths.size() > 20000) {
        m_textWidths.clear();
        m_measuredFont = font();
    }
    constexpr int Padding = 12; // cell padding and grid line
    if (column < 0 || column >= columnCount())
        return Padding;
    const QFontMetrics fm(font());
    int width = 0;
    for (int r = 0; r < rowCount(); ++r) {
        const QString& text = m_model->cells[std::size_t(r)][std::size_t(column)];
        auto known = m_textWidths.constFind(text);
        if (known == m_textWidths.cend())
            known = m_textWidths.insert(text, fm.horizontalAdvance(text));
        width = std::max(width, *known);
    }
    return width + Padding;
}

void TextGrid::setDefaultRowHeight(int height) {
    m_defaultHeight = height;
    verticalHeader()->setDefaultSectionSize(height);
    horizontalHeader()->setFixedHeight(height);
}

void TextGrid::setTitleColor(const QColor& color) {
    const QString css = QStringLiteral("QHeaderView::section { background-color: %1; "
                                       "border: 0px; border-right: 1px solid #b8c4c0; "
                                       "border-bottom: 1px solid #b8c4c0; padding-left: 3px; }")
                            .arg(color.name());
    horizontalHeader()->setStyleSheet(css);
    verticalHeader()->setStyleSheet(css);
}

void TextGrid::setCellButton(int column, int row, const QString& caption) {
    if (row < m_fixedRows || column < m_fixedCols || row >= rowCount() || column >= columnCount())
        return;
    auto* button = new QPushButton(caption);
    connect(button, &QPushButton::clicked, this,
            [this, column, row] { emit buttonClicked(column, row); });
    setIndexWidget(m_model->index(row - m_fixedRows, column - m_fixedCols), button);
}

void TextGrid::setTitleButton(int column, const QString& caption, const QSize& size) {
    if (!m_fixedRows || column < m_fixedCols || column >= columnCount())
        return;
    removeTitleButton(column);
    auto* button = new QPushButton(caption, horizontalHeader());
    button->setFixedSize(size);
    connect(button, &QPushButton::clicked, this, [this, column] { emit buttonClicked(column, 0); });
    m_titleButtons[column] = button;
    placeTitleButtons();
    button->show();
}

void TextGrid::removeTitleButton(int column) {
    if (const auto it = m_titleButtons.find(column); it != m_titleButtons.end()) {
        delete it->second;
        m_titleButtons.erase(it);
    }
}

QWidget* TextGrid::titleButton(int column) const {
    const auto it = m_titleButtons.find(column);
    return it == m_titleButtons.end() ? nullptr : it->second;
}

void TextGrid::placeTitleButtons() {
    QHeaderView* header = horizontalHeader();
    for (const auto& [column, button] : m_titleButtons) {
        const int section = column - m_fixedCols;
        const int width = section < header->count() ? header->sectionSize(section) : 0;
        button->setVisible(width > 0);
        button->move(header->sectionViewportPosition(section) + (width - button->width()) / 2,
                     std::max(0, header->height() - button->height() - 2));
    }
}

QWidget* TextGrid::cellButton(int column, int row) const {
    if (row < m_fixedRows || column < m_fixedCols)
        return nullptr;
    return indexWidget(m_model->index(row - m_fixedRows, column - m_fixedCols));
}

void TextGrid::setMultiRowSelection(bool on) {
    setSelectionBehavior(on ? QAbstractItemView::SelectRows : QAbstractItemView::SelectItems);
    // Ctrl+click adds a row, Shift+click a run of rows; a plain click selects one.
    setSelectionMode(on ? QAbstractItemView::ExtendedSelection
                        : QAbstractItemView::SingleSelection);
}

std::vector<int> TextGrid::selectedRowNumbers() const {
    std::vector<int> rows;
    for (const QModelIndex& i : selectionModel()->selectedRows())
        rows.push_back(i.row() + m_fixedRows);
    std::sort(rows.begin(), rows.end());
    return rows;
}

void TextGrid::selectRowNumber(int row, bool add) {
    if (row < m_fixedRows || row >= rowCount())
        return;
    const QModelIndex i = m_model->index(row - m_fixedRows, 0);
    selectionModel()->select(
        i, (add ? QItemSelectionModel::Select : QItemSelectionModel::ClearAndSelect) |
               QItemSelectionModel::Rows);
}

void TextGrid::repaintCells() {
    viewport()->update();
}

PaintThrottle::PaintThrottle(QWidget* widget, int intervalMs)
    : m_widget(widget), m_wasEnabled(widget->updatesEnabled()), m_timer(new QTimer) {
    if (!m_wasEnabled)
        return;
    m_widget->setUpdatesEnabled(false);
    QObject::connect(m_timer, &QTimer::timeout, m_widget, [w = m_widget] {
        w->setUpdatesEnabled(true);
        w->repaint();
        w->setUpdatesEnabled(false);
    });
    m_timer->start(intervalMs);
}

PaintThrottle::~PaintThrottle() {
    delete m_timer;
    if (m_wasEnabled) {
        m_widget->setUpdatesEnabled(true);
        m_widget->update();
    }
}

void GridSink::setColumnCount(int columns) {
    m_grid.setColumnCount(columns);
}

void GridSink::setRowCount(int rows) {
    m_grid.setRowCount(rows);
}

void GridSink::setCell(int column, int row, const QString& text) {
    m_grid.setCell(column, row, text);
}

void GridSink::itemDone() {
    if (m_draw)
        LetPendingEventsRun();
}

store::SnapshotTable TableOfGrid(const TextGrid& grid) {
    store::SnapshotTable table(grid.columnCount(), grid.rowCount());
    for (int r = 0; r < table.rows; ++r)
        for (int c = 0; c < table.columns; ++c)
            table.set(c, r, grid.cell(c, r));
    return table;
}

void FillGrid(TextGrid& grid, const store::SnapshotTable& table) {
    grid.setRowCount(table.rows);
    grid.setColumnCount(table.columns);
    for (int r = 0; r < table.rows; ++r)
        for (int c = 0; c < table.columns; ++c)
            grid.setCell(c, r, table.at(c, r));
}

} // namespace zra::ui
