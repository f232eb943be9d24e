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

// The tables that zra-cli reads, in the order "all" reads them.
enum class View { Main, Alarms, Modules, Phases, Ac, Dc, Log, Config };
inline constexpr View AllViews[] = {View::Main, View::Alarms, View::Modules, View::Phases,
                                    View::Ac,   View::Dc,     View::Log,     View::Config};

// The command line's name of a view ("main", "alarms", ...) and back.
QString ViewName(View view);
std::optional<View> ViewOfName(const QString& name);
// The snapshot kind of a view's table.
store::ViewKind KindOf(View view);

struct ViewTable {
    View view;
    store::SnapshotTable table;
};
// The views in turn, each read as its window reads it, into the table that
// window shows (title row and column included), ending at the first failed
// read (nothing then: the link and the client have shown their messages).
// Main and alarms both asked for share one read of the system block. A
// failed send (LinkError) and a decoder fault (ReplyOverrun) are thrown.
std::optional<QList<ViewTable>> ReadViews(link::DeviceClient& client,
                                          link::AlarmDescriptions& descriptions,
                                          const QList<View>& views);

} // namespace zra::cli
