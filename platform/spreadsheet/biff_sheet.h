#pragma once

// A worksheet substream read for one table: only the cells inside the
// table's area are kept, and their strings are decoded only then.

#include <cstddef>

#include "platform/spreadsheet/biff_globals.h"
#include "platform/spreadsheet/biff_records.h"
#include "platform/spreadsheet/cell.h"

namespace zumt::sheet::biff {

struct TableLimits {
  std::size_t maxCells;      // rows x columns of the table
  std::size_t maxTextBytes;  // UTF-8 bytes of all its texts
};

// The cells of an area: its first row, and the further rows up to the
// sheet's last row with a non-blank cell, each with one cell per column.
// With `deferText`, a shared string in a record row is left as a
// PendingText cell (its index checked, its text not decoded).
struct AreaCells {
  Row header;
  std::vector<Row> rows;
  std::size_t textBytes = 0;  // of the texts decoded so far
};
AreaCells ReadAreaCells(Bytes stream, const Globals& g, const TableName& t, const TableLimits& limits,
                        bool deferText = false);

// The table behind `t`: the area's first row gives the column names, the
// further rows up to the sheet's last row with a non-blank cell are records.
// With options.deferText the table's pending texts are decoded by its
// Resolve, which refers to `g` and `stream`: both must outlive the table's use.
Table ReadTableFromSheet(Bytes stream, const Globals& g, const TableName& t, const TableLimits& limits,
                         const ReadOptions& options = {});

}  // namespace zumt::sheet::biff
