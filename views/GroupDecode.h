#pragma once
#include "link/RegisterData.h"
#include "link/RegisterMap.h"

#include <QStringList>
#include <cstdint>
#include <variant>
#include <vector>

namespace zra::views {

// The value of one cell of a phase or group column: a plain integer, or a
// tenths value already divided by 10 (the view picks its decimals).
using CellValue = std::variant<qint64, double>;

// The value rows (from row 1) of one column, in row order, from the reply
// data of one status record. The last byte of each record is not shown.
std::vector<CellValue> PhaseStatusValues(const link::RegisterData& data);   // 23 rows, 54 bytes
std::vector<CellValue> AcGroupStatusValues(const link::RegisterData& data); // 10 rows, 20 bytes
std::vector<CellValue> DcGroupStatusValues(const link::RegisterData& data); // 8 rows, 14 bytes

// The row titles of rows 1 onwards, one per value row of the same record.
const QStringList& PhaseRowTitles();
const QStringList& AcGroupRowTitles();
const QStringList& DcGroupRowTitles();

// What tells one "count byte, then one column per item" view from another:
// where the count lies, the block of each item, how a block becomes the value
// rows of its column, and the table's look.
struct GroupLayout {
    reg::CountByte count;
    reg::RecordBlock block;
    const QStringList& (*rowTitles)();
    std::vector<CellValue> (*decode)(const link::RegisterData&);
    int decimals;          // of the tenths values
    const char* tableName; // object name of the table
    int titleColumnWidth;  // pixels
};
// The phases, AC group and DC group windows' layouts.
extern const GroupLayout PhaseLayout;
extern const GroupLayout AcGroupLayout;
extern const GroupLayout DcGroupLayout;

} // namespace zra::views
