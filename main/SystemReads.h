#pragma once
#include <QStringList>

namespace zra::link {
class AlarmDescriptions;
class DeviceClient;
} // namespace zra::link
namespace zra::store {
class TableSink;
}

namespace zra::main {

// The system table's column titles ("Popis", "Hodnota"; its row titles are
// SystemRowTitles) and the alarm table's ("#", "Dev", "Typ", "Alarm").
const QStringList& SystemColumnTitles();
const QStringList& AlarmColumnTitles();

// The main window's read of its two tables: the system block, whose values
// go into column 1 of system from row 1 on, then each active alarm it counts
// into a row of alarms, with the description of its code. False when an
// exchange failed: what was read stays.
bool ReadSystemAndAlarms(link::DeviceClient& client, link::AlarmDescriptions& descriptions,
                         store::TableSink& system, store::TableSink& alarms);

} // namespace zra::main
