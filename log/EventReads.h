#pragma once
#include <QStringList>
#include <functional>

namespace zra::link {
class AlarmDescriptions;
class DeviceClient;
} // namespace zra::link
namespace zra::store {
class TableSink;
}

namespace zra::log {

// The most events one read asks for; the count byte never exceeds 255 anyway.
inline constexpr int MaxEvents = 300;

// The event log table's columns and their titles.
enum EventColumn { Number, Source, Level, Event, Time, EventColumns };
const QStringList& EventColumnTitles();

// The event count, then up to limit events, each a row from row 1 on: its
// number first, then the record's cells and the description of its code.
// left hears how many events remain before each one is asked for. False when
// an exchange failed: the rows read stay.
bool ReadEvents(link::DeviceClient& client, link::AlarmDescriptions& descriptions, int limit,
                store::TableSink& table, const std::function<void(int left)>& left = {});

} // namespace zra::log
