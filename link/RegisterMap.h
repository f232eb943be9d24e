#pragma once
#include <cstdint>
#include <optional>

// The installation's registers as the tool uses them: every address, count
// register, block start and block size, as the frames carry them (no offset of
// one anywhere). The tool has no other address literal. The simulator keeps an
// independent map of its own on purpose: it is the protocol peer.
namespace zra::reg {

// Function codes.
inline constexpr std::uint8_t ReadHolding = 3;
inline constexpr std::uint8_t ReadInput = 4;
inline constexpr std::uint8_t WriteSingle = 6;
inline constexpr std::uint8_t WriteMultiple = 16;

// A count that lives in one byte of a register: read the register alone
// (quantity 1) and take reply data byte 0 (its high byte) or 1 (its low byte).
struct CountByte {
    std::uint16_t address;
    int dataByte;
};
// A block of registers per item: item n (from 1) starts at start + size * (n - 1).
struct RecordBlock {
    std::uint16_t start;
    std::uint16_t size;
    constexpr std::uint16_t address(int n) const {
        return static_cast<std::uint16_t>(start + size * (n - 1));
    }
};

// Access password: holding registers 2100 to 2104, ten characters.
inline constexpr std::uint16_t PasswordRegister = 2100;
inline constexpr std::uint16_t PasswordRegisters = 5;

// System block, input registers 1980 to 1994.
inline constexpr std::uint16_t SystemBlockAddress = 1980;
inline constexpr std::uint16_t SystemBlockRegisters = 15;
// Active alarm n (from 1): input registers 2008 + 2n and 2009 + 2n.
inline constexpr std::uint16_t AlarmEntryRegisters = 2;
constexpr std::uint16_t AlarmEntryAddress(int n) {
    return static_cast<std::uint16_t>(2008 + AlarmEntryRegisters * n);
}
// Description of alarm or event code k: input registers 16660 + 8k, 16 characters.
inline constexpr std::uint16_t DescriptionBase = 16660;
inline constexpr std::uint16_t DescriptionRegisters = 8;
// The last code whose eight registers all lie below 65536; a larger one would
// wrap round to the module records.
inline constexpr int LastDescriptionCode =
    (0xFFFF + 1 - DescriptionBase) / DescriptionRegisters - 1;
// Nothing for a code whose description has no address.
constexpr std::optional<std::uint16_t> DescriptionAddress(int code) {
    if (code < 0 || code > LastDescriptionCode)
        return std::nullopt;
    return static_cast<std::uint16_t>(DescriptionBase + DescriptionRegisters * code);
}
// The installation's clock: read from input registers 2002 to 2005, written
// with function 16 to holding registers 1500 to 1503, in the same layout.
inline constexpr std::uint16_t ClockReadAddress = 2002;
inline constexpr std::uint16_t ClockWriteAddress = 1500;
inline constexpr std::uint16_t ClockRegisters = 4;

// `SystemCommandRegister`, holding register 1700, and its single-word commands.
inline constexpr std::uint16_t SystemCommandRegister = 1700;
inline constexpr std::uint16_t ClearLogCommand = 0x0400;
inline constexpr std::uint16_t NumberModulesCommand = 0x8000;
inline constexpr std::uint16_t OffCommand = 0x1000;
inline constexpr std::uint16_t OnCommand = 0x0800;

// Configuration. `ConfigControlRegister`, holding register 1488: its high byte
// reads the state of the change set, writing 256 commits and 512 cancels it.
inline constexpr std::uint16_t ConfigControlRegister = 1488;
inline constexpr std::uint8_t ConfigSaved = 0xC0;   // nothing pending
inline constexpr std::uint8_t ConfigRefused = 0x40; // the last commit refused a value
inline constexpr std::uint16_t ConfigCommit = 256;
inline constexpr std::uint16_t ConfigCancel = 512;
// `ConfigVariableRecord` of variable n (1 to 500): 20 input registers from
// 4160 + 20 (n - 1); the validity code is its register base + 1.
inline constexpr int ConfigVariables = 500;
inline constexpr RecordBlock ConfigVariableRecord{4160, 20};
constexpr std::uint16_t ConfigValidityAddress(int n) {
    return static_cast<std::uint16_t>(ConfigVariableRecord.address(n) + 1);
}
// The value of variable n is written as holding register n - 1.
constexpr std::uint16_t ConfigValueRegister(int n) {
    return static_cast<std::uint16_t>(n - 1);
}

// Modules: the count in the high byte of input register 1993, then
// `ModuleStatusRecord` of module n, 31 input registers from 31 (n - 1).
inline constexpr CountByte ModuleCount{1993, 0};
inline constexpr RecordBlock ModuleStatusRecord{0, 31};
// The three holding registers of module n from 1510 + 3 (n - 1): address and
// phase, input groups, `ModuleCommand`.
inline constexpr RecordBlock ModuleRegisters{1510, 3};
constexpr std::uint16_t ModuleAddressRegister(int n) {
    return ModuleRegisters.address(n);
}
constexpr std::uint16_t ModuleGroupsRegister(int n) {
    return static_cast<std::uint16_t>(ModuleRegisters.address(n) + 1);
}
constexpr std::uint16_t ModuleCommandRegister(int n) {
    return static_cast<std::uint16_t>(ModuleRegisters.address(n) + 2);
}
// The modules whose registers the tool writes: 1 to 63. Module 64's block
// would start at the system command register and later ones reach the
// access password, so no write is ever planned for them.
inline constexpr int MaxModuleRegisters = 63;
static_assert(ModuleRegisters.start + ModuleRegisters.size * MaxModuleRegisters <=
              SystemCommandRegister);
constexpr bool ModuleWritable(int n) {
    return n >= 1 && n <= MaxModuleRegisters;
}
// `ModuleCommand` bits, in the high byte of the command register (the module
// action dialog's "ON", "OFF", "Identifikace", "Replace FAN", "BussError clear").
inline constexpr int ModuleCommandOn = 1;
inline constexpr int ModuleCommandOff = 2;
inline constexpr int ModuleCommandIdentify = 4;
inline constexpr int ModuleCommandFanReplaced = 8;
inline constexpr int ModuleCommandBusErrorClear = 16;

// Phases: the count in the low byte of input register 1980, then
// `PhaseStatusRecord` of phase p, 27 input registers from 1600 + 27 (p - 1).
inline constexpr CountByte PhaseCount{1980, 1};
inline constexpr RecordBlock PhaseStatusRecord{1600, 27};

// AC groups: the count in the high byte of input register 1988, then
// `AcGroupStatusRecord` of group g, 10 input registers from 1840 + 10 (g - 1).
inline constexpr CountByte AcGroupCount{1988, 0};
inline constexpr RecordBlock AcGroupStatusRecord{1840, 10};
// DC groups: the count in the low byte of input register 1987, then
// `DcGroupStatusRecord` of group g, 7 input registers from 1900 + 7 (g - 1).
inline constexpr CountByte DcGroupCount{1987, 1};
inline constexpr RecordBlock DcGroupStatusRecord{1900, 7};

// Event log: the count in the high byte of input register 1994, then event
// record i, 6 input registers from 2160 + 6 (i - 1).
inline constexpr CountByte EventCount{1994, 0};
inline constexpr RecordBlock EventRecord{2160, 6};

} // namespace zra::reg
