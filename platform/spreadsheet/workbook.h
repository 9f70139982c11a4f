#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "platform/spreadsheet/cell.h"
#include "platform/spreadsheet/spreadsheet_error.h"

namespace zumt::sheet {

// A legacy binary workbook (.xls / .xlt, BIFF5/7 or BIFF8 in a compound file)
// opened for reading its defined names as tables. Opening parses the
// workbook globals once; a sheet's cells are read only when a table on that
// sheet is asked for, and only the cells inside the table's area.
// All methods throw SpreadsheetError.
class Workbook {
 public:
  static std::unique_ptr<Workbook> Open(const std::string& path);
  static std::unique_ptr<Workbook> FromBytes(std::vector<std::uint8_t> bytes);
  virtual ~Workbook() = default;

  // Defined names that resolve to one area on one sheet, in workbook order
  // (a workbook-scope name hides a sheet-scope name of the same spelling).
  virtual std::vector<std::string> TableNames() const = 0;

  // The table behind a defined name, compared case-insensitively.
  // Throws SpreadsheetError("no table named X") when there is none.
  Table ReadTable(std::string_view name) const { return ReadTable(name, ReadOptions{}); }
  // The same, read as `options` say; a table with pending texts refers to
  // this workbook, which must outlive its use.
  virtual Table ReadTable(std::string_view name, const ReadOptions& options) const = 0;

  virtual int BiffVersion() const = 0;  // 5 (BIFF5/7) or 8
};

}  // namespace zumt::sheet
