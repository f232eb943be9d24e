#include "views/PlainView.h"

#include "link/DeviceClient.h"
#include "ui/TextGrid.h"

namespace zra::views {

PlainView::PlainView(const reads::TableView& view, link::DeviceClient& client,
                     link::AlarmDescriptions& descriptions)
    : ViewWindow(QStringLiteral("F") + view.cliName, view.windowCaption, client.link()),
      m_view(view), m_client(client), m_descriptions(descriptions), m_grid(new ui::TextGrid) {
    resize(600, 400);
    addViewToolBar();
    addSouborMenu();
    addHistoryList();
    addReadItem();
    m_grid->setObjectName(QStringLiteral("SG_") + view.cliName);
    setCentralWidget(m_grid);
}

void PlainView::read() {
    reads::ReadContext context{m_client, m_descriptions};
    reads::ReadTables tables;
    if (!m_view.read(context, tables) || !tables.contains(m_view.kind))
        return;
    ui::FillGrid(*m_grid, tables.at(m_view.kind));
}

} // namespace zra::views
