#pragma once
#include "ui/TableShape.h"
#include "ui/ViewWindow.h"
#include "views/GroupDecode.h"

#include <QStringList>
#include <vector>

namespace zra::link {
class DeviceClient;
} // namespace zra::link

namespace zra::ui {
class TextGrid;
} // namespace zra::ui

namespace zra::views {

// A window of one column per item (phase, AC group, DC group) and one row per
// value: the item count is read first, then each item's block of input
// registers becomes its column as soon as it arrives. The read writes no
// column titles; it gives a table that a snapshot left with another number of
// rows its own rows and row titles back.
class GroupView : public ui::ViewWindow {
    Q_OBJECT
public:
    // The window of the table of kind, with its caption from the views table.
    GroupView(const QString& objectName, store::ViewKind kind, link::DeviceClient& client,
              const GroupLayout& layout);

    std::vector<store::ViewKind> kinds() const override { return {m_kind}; }
    ui::TextGrid* grid(store::ViewKind) const override { return m_grid; }
    void read() override { readItems(); }

protected:
    // The read without the command frame; on return the link's ExchangeFailed
    // is set exactly when one of its exchanges failed.
    void readItems();
    // The row titles the settings file restored become the table's own.
    void showEvent(QShowEvent* event) override;

    ui::TextGrid* const m_grid;

private:
    void buildToolbar();
    void buildTable();

    const store::ViewKind m_kind;
    link::DeviceClient& m_client;
    const GroupLayout m_layout;
    ui::TableShape m_shape;
};

} // namespace zra::views
