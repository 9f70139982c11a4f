#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

namespace zumt::sheet {

enum class CellType : std::uint8_t { Empty, Number, Text, Boolean, Error, Date, PendingText };

// One cell as the workbook stores it (a formula cell carries its cached result).
//  Number, Date: `number` is the value; a Date is a serial day number in the
//                1900 date system (workbooks in the 1904 system are shifted
//                by 1462 days on reading).
//  Boolean:      `number` is 0 or 1.
//  Error:        `number` is the BIFF error code (0x07 #DIV/0!, 0x2A #N/A ...).
//  Text:         `text` is UTF-8.
//  PendingText:  a text not decoded yet (`number` is its index in the
//                workbook's shared strings); only a table read with
//                ReadOptions::deferText holds such cells, and its Resolve
//                turns them into Text.
struct Cell {
  CellType type = CellType::Empty;
  double number = 0.0;
  std::string text;

  static Cell MakeNumber(double v) { return {CellType::Number, v, {}}; }
  static Cell MakeText(std::string s) { return {CellType::Text, 0.0, std::move(s)}; }
  bool IsNull() const { return type == CellType::Empty; }
};

using Row = std::vector<Cell>;

// Decodes the pending texts of one table; it refers to the workbook, which
// must outlive every call.
class PendingTexts {
 public:
  virtual ~PendingTexts() = default;
  // Turns a PendingText cell into a Text cell (other cells stay as they are).
  // Throws SpreadsheetError when the table's texts grow beyond their limit.
  virtual void Resolve(Cell& cell) const = 0;
};

// A named range read as a table: the first row of the area gives the column
// names, every further row (up to the sheet's last used row) is a record.
struct Table {
  std::string name;                  // the defined name as the workbook spells it
  std::vector<std::string> columns;  // UTF-8; an empty header cell becomes "F<n>" (1-based)
  std::vector<Row> rows;             // every row has columns.size() cells
  std::shared_ptr<const PendingTexts> pending = nullptr;  // set when cells may be PendingText

  void Resolve(Cell& cell) const {
    if (cell.type == CellType::PendingText && pending) pending->Resolve(cell);
  }
};

// How a table is read. Decoding the texts of a large table costs more than
// the rest of reading it; a query that only prints a few of its records
// leaves the texts of the columns it does not test to be decoded on output.
struct ReadOptions {
  bool deferText = false;
  // Columns whose texts are decoded at once even when deferText is set
  // (names compared case-insensitively): those a query tests or sorts by.
  std::vector<std::string> decodeNow;
};

}  // namespace zumt::sheet
