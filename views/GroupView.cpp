#include "views/GroupView.h"

#include "link/DeviceClient.h"
#include "link/DeviceLink.h"
#include "reads/ViewTable.h"
#include "store/TableSink.h"
#include "ui/TextGrid.h"
#include "ui/UiServices.h"
#include "views/ViewReads.h"

#include <QAction>
#include <QComboBox>
#include <QHeaderView>
#include <QMenu>
#include <QToolBar>
#include <QToolButton>

namespace zra::views {

namespace {
// All rows of these tables, the title row included.
constexpr int RowHeight = 21;
// Item columns: wide enough for a full signed 32-bit value.
constexpr int ItemColumnWidth = 80;
} // namespace

GroupView::GroupView(const QString& objectName, store::ViewKind kind, link::DeviceClient& client,
                     const GroupLayout& layout)
    : ViewWindow(objectName, reads::FindView(kind)->windowCaption, client.link()),
      m_grid(new ui::TextGrid), m_kind(kind), m_client(client), m_layout(layout),
      m_shape(*m_grid, ui::TableShape::Rows) {
    buildToolbar();
    buildTable();
    m_shape.keep();
    // Room for the titles, a few items and every row at first showing.
    resize(layout.titleColumnWidth + 4 * ItemColumnWidth + 40,
           RowHeight * (int(layout.rowTitles().size()) + 1) + 70);
}

void GroupView::buildToolbar() {
    addViewToolBar();
    addSouborMenu();
    addHistoryList();
    addReadItem();
}

void GroupView::buildTable() {
    m_grid->setObjectName(QString::fromLatin1(m_layout.tableName));
    const QStringList& titles = m_layout.rowTitles();
    m_grid->setDefaultRowHeight(RowHeight);
    m_grid->setColumnCount(1);
    m_grid->setRowCount(int(titles.size()) + 1);
    for (int r = 0; r < titles.size(); ++r)
        m_grid->setCell(0, r + 1, titles[r]);
    m_grid->setColumnWidthPx(0, m_layout.titleColumnWidth);
    m_grid->horizontalHeader()->setDefaultSectionSize(ItemColumnWidth);
    setCentralWidget(m_grid);
}

void GroupView::readItems() {
    // The table is drawn column by column.
    ui::ShapeRestoringSink grid(*m_grid, m_shape, true);
    ReadGroups(m_client, m_layout, grid);
}

void GroupView::showEvent(QShowEvent* event) {
    // The settings store has restored the titles by now.
    m_shape.keep();
    ViewWindow::showEvent(event);
}

} // namespace zra::views
