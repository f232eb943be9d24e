#pragma once
#include <functional>

namespace zra::text {

// Makes SIGTERM and SIGINT call stop from the event loop of the calling
// thread (the handler itself only wakes the loop, which is all a signal
// handler may safely do). Once per program; false when the handlers cannot
// be installed.
bool CallOnStopSignals(std::function<void()> stop);

} // namespace zra::text
