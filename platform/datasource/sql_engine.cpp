// Placeholder until the query engine lands.
#include "platform/datasource/sql_engine.h"

namespace zumt::sql {
ResultSet Execute(std::string_view, const TableSource&) { throw SqlError("query engine not built yet"); }
RowFilter RowFilter::Parse(std::string_view, const std::vector<std::string>&) {
  throw SqlError("query engine not built yet");
}
bool RowFilter::Matches(const sheet::Row&) const { return false; }
std::string CellToText(const sheet::Cell& cell) { return cell.text; }
}  // namespace zumt::sql
