#pragma once
#include "views/GroupView.h"

namespace zra::views {

// The phases window: one column per output phase, one row per value.
class TFfaze : public GroupView {
    Q_OBJECT
public:
    explicit TFfaze(link::DeviceClient& client);

    ui::TextGrid* const SG_faze;

    // The read without the command frame (read-all runs it in its own).
    void readFaze() { readItems(); }
};

} // namespace zra::views
