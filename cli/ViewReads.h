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

// One view's read without any window: the count register, then the blocks,
// as the view's window reads them, into the table that window shows (row
// titles, column titles, cell texts, title row 0 and title column 0
// included). Nothing when an exchange failed: the link and the client have
// shown their messages. Alarm and event texts come through descriptions.
// A failed send (LinkError) and a decoder fault (ReplyOverrun) are thrown.
std::optional<store::SnapshotTable> ReadView(link::DeviceClient& client,
                                             link::AlarmDescriptions& descriptions, View view);

// The system table and the alarm table from one read of the system block,
// as the main window reads them.
struct MainTables {
    store::SnapshotTable main;
    store::SnapshotTable alarms;
};
std::optional<MainTables> ReadMainTables(link::DeviceClient& client,
                                         link::AlarmDescriptions& descriptions);

struct ViewTable {
    View view;
    store::SnapshotTable table;
};
// The views in turn, ending at the first failed read (nothing then). Main and
// alarms both asked for share one read of the system block.
std::optional<QList<ViewTable>> ReadViews(link::DeviceClient& client,
                                          link::AlarmDescriptions& descriptions,
                                          const QList<View>& views);

} // namespace zra::cli
