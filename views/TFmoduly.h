#pragma once
#include "ui/TableShape.h"
#include "ui/ViewWindow.h"

#include <QColor>
#include <optional>

class QAction;

namespace zra::link {
class DeviceClient;
}
namespace zra::ui {
class TextGrid;
}

namespace zra::views {

class TFmodul_akce;

// The modules window: one column per power module, one row per value, and the
// "Edit" buttons that open the module action dialog.
class TFmoduly : public ui::ViewWindow {
    Q_OBJECT
public:
    TFmoduly(link::DeviceClient& client, TFmodul_akce& dialog);

    std::vector<store::ViewKind> kinds() const override { return {store::ViewKind::Moduly}; }
    ui::TextGrid* grid(store::ViewKind) const override { return SG_mod; }
    void read() override { readModuly(); }

    QAction* TBXedit;
    ui::TextGrid* SG_mod;
    // The column (module) of the "Edit" button pressed last.
    int SelectedModule = 0;

    // The read of the module count and every module, without the command frame
    // (read-all runs it inside its own command).
    void readModuly();
    // The background of a painted cell; nothing keeps the table's own.
    static std::optional<QColor> SG_modGetCellColor(int column, int row);
    // After a snapshot was opened into the table: every module column gets
    // the width of the first.
    void snapshotLoaded() override;

public slots:
    void TBXeditClick();
    void SG_modButtonClick(int column, int row);

protected:
    void showEvent(QShowEvent* event) override;

private:
    void applyState(bool connected);

    link::DeviceClient& m_client;
    TFmodul_akce& m_dialog;
    // Its 38 rows and their titles, which a read puts back after a snapshot
    // of another shape.
    ui::TableShape m_shape;
};

} // namespace zra::views
