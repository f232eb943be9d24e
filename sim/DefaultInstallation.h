#pragma once
#include "sim/RegisterStore.h"

namespace zra::sim {

// A small installation that a freshly started simulator serves: three phases, six modules, one AC
// and one DC group, no active alarms, an empty event log, the clock, the configuration control
// register, the system command register and the access password registers.
void fillDefaultInstallation(RegisterStore& store);

// Register addresses the default installation gives a meaning to.
namespace reg {
constexpr quint16 SystemBlock = 1980; // input, 15 registers
constexpr quint16 SystemBlockCount = 15;
constexpr quint16 Clock = 2002;          // input, 4 registers: s, min, h, day, month, dst, year
constexpr quint16 ConfigControl = 1488;  // holding: high byte state, commands 256 / 512
constexpr quint16 ClockWrite = 1500;     // holding, 6 registers; the first 4 set the clock
constexpr quint16 SystemCommand = 1700;  // holding
constexpr quint16 AccessPassword = 2100; // holding, 5 registers, ten characters
} // namespace reg

// ConfigControl high byte when no changes are pending.
constexpr quint16 ConfigIdle = 0xC000;
constexpr quint16 ConfigCommit = 0x0100;
constexpr quint16 ConfigCancel = 0x0200;

} // namespace zra::sim
