#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace zumt::sheet {

enum class CellType : std::uint8_t { Empty, Number, Text, Boolean, Error, Date };

// One cell as the workbook stores it (a formula cell carries its cached result).
//  Number, Date: `number` is the value; a Date is a serial day number in the
//                1900 date system (workbooks in the 1904 system are shifted
//                by 1462 days on reading).
//  Boolean:      `number` is 0 or 1.
//  Error:        `number` is the BIFF error code (0x07 #DIV/0!, 0x2A #N/A ...).
//  Text:         `text` is UTF-8.
struct Cell {
  CellType type = CellType::Empty;
  double number = 0.0;
  std::string text;

  static Cell MakeNumber(double v) { return {CellType::Number, v, {}}; }
  static Cell MakeText(std::string s) { return {CellType::Text, 0.0, std::move(s)}; }
  bool IsNull() const { return type == CellType::Empty; }
};

using Row = std::vector<Cell>;

// A named range read as a table: the first row of the area gives the column
// names, every further row (up to the sheet's last used row) is a record.
struct Table {
  std::string name;                  // the defined name as the workbook spells it
  std::vector<std::string> columns;  // UTF-8; an empty header cell becomes "F<n>" (1-based)
  std::vector<Row> rows;             // every row has columns.size() cells
};

}  // namespace zumt::sheet
