#pragma once
#include "link/RegisterData.h"

#include <QString>
#include <QStringList>
#include <cstdint>
#include <vector>

namespace zra::views {

// Row titles of the modules table, rows 1 to 37.
const QStringList& ModuleRowTitles();
// The 37 cell texts of one module column, rows 1 to 37, from the 62 data bytes
// of its `ModuleStatusRecord`; tenths in "%.1f" with the locale's separator.
QStringList ModuleStatusValues(const link::RegisterData& record);
// Status texts of the AC output, AC input and DC input; a code without a text
// of its own is shown as its number.
QString AcOutputStatusText(int code);
QString AcInputStatusText(int code);
QString DcInputStatusText(int code);

// The rows of the modules table that the module action dialog edits, and
// that the table paints pale green: configured address, phase number, AC and
// DC input group numbers.
inline constexpr int AddressRow = 4;
inline constexpr int PhaseRow = 8;
inline constexpr int AcGroupRow = 29;
inline constexpr int DcGroupRow = 30;

// A register of two bytes: first × 256 + second, low 16 bits.
inline std::uint16_t RegisterOfBytes(int first, int second) {
    return static_cast<std::uint16_t>((first * 256 + second) & 0xFFFF);
}

// A module's four placement values: address, phase, AC and DC input group.
struct ModulePlacement {
    int address = 0;
    int phase = 0;
    int acGroup = 0;
    int dcGroup = 0;
};
// One function 6 write of the module action dialog.
struct ModuleWrite {
    std::uint16_t address;
    std::uint16_t value;
    bool operator==(const ModuleWrite&) const = default;
};
// What the dialog's OK sends for module n, in order: address and phase when
// either differs from the table, the input groups when either differs, and the
// command bits when any is set. Each write goes after its own password write.
// Nothing for a module whose registers would reach the system command or
// password registers (above 63).
std::vector<ModuleWrite> ModuleActionWrites(int module, const ModulePlacement& table,
                                            const ModulePlacement& entered, int commandBits);
// The engineer's message when a module above 63 is to be changed.
QString ModuleNotWritableText(int module);

} // namespace zra::views
