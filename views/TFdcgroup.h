#pragma once
#include "views/GroupView.h"

namespace zra::views {

// The DC group window: one column per DC input group, one row per value.
class TFdcgroup : public GroupView {
    Q_OBJECT
public:
    explicit TFdcgroup(link::DeviceClient& client);

    ui::TextGrid* const SG_DC;

    // The read without the command frame (read-all runs it in its own).
    void readDC() { readItems(); }
};

} // namespace zra::views
