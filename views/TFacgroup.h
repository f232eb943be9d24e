#pragma once
#include "views/GroupView.h"

namespace zra::views {

// The AC group window: one column per AC input group, one row per value.
class TFacgroup : public GroupView {
    Q_OBJECT
public:
    explicit TFacgroup(link::DeviceClient& client);

    ui::TextGrid* const SG_AC;

    // The read without the command frame (read-all runs it in its own).
    void readAC() { readItems(); }
};

} // namespace zra::views
