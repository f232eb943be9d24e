#pragma once
#include "reads/ViewTable.h"
#include "ui/ViewWindow.h"

namespace zra::link {
class AlarmDescriptions;
class DeviceClient;
} // namespace zra::link

namespace zra::views {

// The window of a table that was added to the views table without a window
// of its own: the standard toolbar and one grid, filled by the table's read.
class PlainView : public ui::ViewWindow {
    Q_OBJECT
public:
    PlainView(const reads::TableView& view, link::DeviceClient& client,
              link::AlarmDescriptions& descriptions);

    std::vector<store::ViewKind> kinds() const override { return {m_view.kind}; }
    ui::TextGrid* grid(store::ViewKind) const override { return m_grid; }
    void read() override;

private:
    const reads::TableView m_view;
    link::DeviceClient& m_client;
    link::AlarmDescriptions& m_descriptions;
    ui::TextGrid* m_grid;
};

} // namespace zra::views
