#pragma once

#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

#include "platform/spreadsheet/cell.h"

namespace zumt::sql {

// Raised for SQL outside the supported subset, an unknown table or column,
// or a filter expression that cannot be parsed. The message names the culprit.
class SqlError : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

// Where FROM finds its table (a workbook, or a fake in tests).
class TableSource {
 public:
  virtual ~TableSource() = default;
  virtual sheet::Table ReadTable(std::string_view name) const = 0;
  // The table read as `options` say (a source may ignore them and read it whole).
  virtual sheet::Table ReadTableFor(std::string_view name, const sheet::ReadOptions& options) const {
    (void)options;
    return ReadTable(name);
  }
};

struct ResultSet {
  std::vector<std::string> columns;  // output names (alias, or the column as written)
  std::vector<sheet::Row> rows;
};

// Executes one SELECT of the supported subset:
//   SELECT item [AS alias], ... FROM table [WHERE cond] [ORDER BY col [ASC|DESC], ...]
// item: a column, or an expression of columns and literals joined by "&"
// (usually parenthesised). cond: comparisons (= <> < > <= >=) between columns
// and literals, AND, OR, NOT, parentheses.
ResultSet Execute(std::string_view sql, const TableSource& source);

// A record filter of the form  column = 'text'  (blanks allowed around),
// compared case-insensitively against the cell read as text.
class RowFilter {
 public:
  // Throws SqlError for another form or a column not among `columns`.
  static RowFilter Parse(std::string_view expression, const std::vector<std::string>& columns);
  bool Matches(const sheet::Row& row) const;

 private:
  std::size_t column_ = 0;
  std::string value_;
};

// A cell as text, as "&" and text reads see it: empty for a null, whole
// numbers without a decimal part ("606024"), other numbers with up to 15
// significant digits and the regional decimal separator, dates in the
// regional short date format, text unchanged.
std::string CellToText(const sheet::Cell& cell);

}  // namespace zumt::sql
