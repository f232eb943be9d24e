#pragma once
#include "store/SnapshotFile.h"

#include <QList>
#include <QString>
#include <optional>

namespace zra::link {
class AlarmDescriptions;
class DeviceClient;
} // namespace zra::link

namespace zra::cli {

// The views zra-cli reads, by their snapshot kind, in the order "all" reads
// them: every table of reads::TableViews().
QList<store::ViewKind> AllViews();
// The command line's name of a view ("main", "alarms", ...).
QString ViewName(store::ViewKind view);

struct ViewTable {
    store::ViewKind view;
    store::SnapshotTable table;
};
// The views in turn, each read as its window reads it, into the table that
// window shows (title row and column included), ending at the first failed
// read (nothing then: the link and the client have shown their messages).
// Main and alarms both asked for share one read of the system block. A
// failed send (LinkError) and a decoder fault (ReplyOverrun) are thrown.
std::optional<QList<ViewTable>> ReadViews(link::DeviceClient& client,
                                          link::AlarmDescriptions& descriptions,
                                          const QList<store::ViewKind>& views);

} // namespace zra::cli
