#pragma once
#include "views/GroupDecode.h"

namespace zra::link {
class DeviceClient;
}
namespace zra::store {
class TableSink;
}

namespace zra::views {

// The reads of the modules table and of a group table (phases, AC and DC
// groups) into a window's grid or a table in memory: the count first, then
// each item's block, which becomes its column (values from row 1 on) as soon
// as it arrives. False when an exchange failed: what was read stays, the
// link and the client have said why.
bool ReadModules(link::DeviceClient& client, store::TableSink& table);
bool ReadGroups(link::DeviceClient& client, const GroupLayout& layout, store::TableSink& table);

} // namespace zra::views
