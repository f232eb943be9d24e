#pragma once
#include "link/RegisterData.h"

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

} // namespace zra::views
