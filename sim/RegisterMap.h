#pragma once
#include <QtGlobal>

namespace zra::sim {

// Register addresses of the installation, as the frames carry them. The
// simulator is the tool's protocol peer, so it keeps this map of its own on
// purpose, independent of the tool's link/RegisterMap.h.
namespace reg {
// Input registers.
constexpr quint16 ModuleBlock = 0; // module n at (n - 1) * 31
constexpr quint16 ModuleBlockSize = 31;
constexpr quint16 PhaseBlock = 1600; // phase p at 1600 + 27 * (p - 1)
constexpr quint16 PhaseBlockSize = 27;
constexpr quint16 AcGroupBlock = 1840; // AC group g at 1840 + 10 * (g - 1)
constexpr quint16 AcGroupBlockSize = 10;
constexpr quint16 DcGroupBlock = 1900; // DC group g at 1900 + 7 * (g - 1)
constexpr quint16 DcGroupBlockSize = 7;
constexpr quint16 SystemBlock = 1980;
constexpr quint16 SystemBlockCount = 15;
constexpr quint16 Clock = 2002;        // 4 registers: s, min, h, day, month, summer, year
constexpr quint16 AlarmEntries = 2010; // alarm n at 2008 + 2n, 2 registers
constexpr quint16 EventRecords = 2160; // event i at 2160 + 6 * (i - 1)
constexpr quint16 EventRecordSize = 6;
constexpr quint16 ConfigRecords = 4160; // variable n at 4160 + 20 * (n - 1)
constexpr quint16 ConfigRecordSize = 20;
constexpr quint16 Descriptions = 16660; // code k at 16660 + 8k
constexpr quint16 DescriptionSize = 8;
// Holding registers (configuration values are holding n - 1 for variable n).
constexpr quint16 ConfigControl = 1488;
constexpr quint16 ClockWrite = 1500;       // 4 registers, the layout of Clock
constexpr quint16 ModuleRegisters = 1510;  // module n at 1510 + 3 * (n - 1): address and phase,
constexpr quint16 ModuleRegisterCount = 3; // groups, command
constexpr quint16 SystemCommand = 1700;
constexpr quint16 AccessPassword = 2100; // 5 registers, ten characters
constexpr quint16 AccessPasswordCount = 5;
} // namespace reg

// High byte of the configuration control register, and the commands written to it.
namespace config {
constexpr quint8 Idle = 0xC0;       // nothing pending; the last commit accepted everything
constexpr quint8 Refused = 0x40;    // nothing pending; the last commit refused a value
constexpr quint8 Pending = 0x80;    // values written, not committed
constexpr quint8 Committing = 0x20; // a commit is running
constexpr quint16 Commit = 0x0100;
constexpr quint16 Cancel = 0x0200;
} // namespace config

// Values of the system command register.
namespace command {
constexpr quint16 NumberModules = 0x8000;
constexpr quint16 Off = 0x1000;
constexpr quint16 On = 0x0800;
constexpr quint16 ClearLog = 0x0400;
} // namespace command

// Bits of a module command (the high byte of its command register).
namespace moduleCommand {
constexpr int On = 1;
constexpr int Off = 2;
constexpr int Identify = 4;
constexpr int FanReplaced = 8;
constexpr int ClearBusErrors = 16;
} // namespace moduleCommand

// Bits of a module's "Status mod." byte.
namespace moduleStatus {
constexpr int Delivering = 0x01;
constexpr int SwitchedOff = 0x02;
constexpr int Failure = 0x04;
constexpr int FanFailure = 0x08;
constexpr int Identifying = 0x10;
} // namespace moduleStatus

// Codes of the events and alarms the installation raises itself.
namespace eventCode {
constexpr int FanFailure = 120;
constexpr int SystemOn = 200;
constexpr int SystemOff = 201; // also the alarm while the installation is off
constexpr int ModulesNumbered = 203;
constexpr int ClockSet = 204;
constexpr int ConfigSaved = 205;
constexpr int ConfigRefused = 206;
constexpr int ModuleOn = 207;
constexpr int ModuleOff = 208;
constexpr int FanReplaced = 209;
constexpr int BusErrorsCleared = 210;
} // namespace eventCode

// Alarm and event sources.
namespace source {
constexpr int Controller = 0;
constexpr int System = 33;
} // namespace source

// Validity codes of a configuration variable after a commit.
namespace validity {
constexpr int Ok = 0;
constexpr int TooLow = 1;
constexpr int HysteresisTooLow = 2;
constexpr int TooHigh = 3;
constexpr int MustBeOff = 4;
constexpr int BadValue = 5;
constexpr int InverterMismatch = 6;
} // namespace validity

} // namespace zra::sim
