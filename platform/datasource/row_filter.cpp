// The record filter applied to a query's result: column = 'text', blanks
// allowed around each part, the column found case-insensitively among the
// result's columns. A row matches when its cell read as text equals the text
// case-insensitively; an empty cell reads as "" and so matches only ''.
#include <algorithm>

#include "platform/datasource/sql_engine.h"
#include "platform/datasource/sql_lexer.h"
#include "platform/datasource/text_fold.h"

namespace zumt::sql {

using sheet::Cell;
using sheet::CellType;

RowFilter RowFilter::Parse(std::string_view expression, const std::vector<std::string>& columns) {
  const std::vector<Token> t = Tokenize(expression);
  if (t.size() != 4 || t[0].kind != TokenKind::Name || !t[1].IsSymbol("=") || t[2].kind != TokenKind::Text)
    throw SqlError("Filter must read column = 'text': \"" + std::string(expression.substr(0, 80)) + "\"");
  RowFilter filter;
  const std::string folded = FoldCase(t[0].value);
  const auto it = std::find_if(columns.begin(), columns.end(),
                               [&](const std::string& c) { return FoldCase(c) == folded; });
  if (it == columns.end()) throw SqlError("Unknown column '" + t[0].value + "' in filter");
  filter.column_ = static_cast<std::size_t>(it - columns.begin());
  filter.value_ = FoldCase(t[2].value);
  return filter;
}

bool RowFilter::Matches(const sheet::Row& row) const {
  if (column_ >= row.size()) return false;
  const Cell& cell = row[column_];
  // Text cells, the usual case, need no regional formats.
  if (cell.type == CellType::Text) return cell.text.size() == value_.size() && FoldCase(cell.text) == value_;
  return FoldCase(CellToText(cell)) == value_;
}

}  // namespace zumt::sql
