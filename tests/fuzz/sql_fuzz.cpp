// Feeds arbitrary text to the query engine and the record filter over a small
// table. Only SqlError (or the source's SpreadsheetError) may come out.
#include <cstddef>
#include <cstdint>
#include <string_view>

#include "platform/datasource/sql_engine.h"
#include "platform/spreadsheet/spreadsheet_error.h"

namespace {

using zumt::sheet::Cell;
using zumt::sheet::CellType;

class FixedSource : public zumt::sql::TableSource {
 public:
  zumt::sheet::Table ReadTable(std::string_view name) const override {
    if (name.size() != 7 && name.size() != 8) throw zumt::sheet::SpreadsheetError("no table named x");
    zumt::sheet::Table t;
    t.name = "T_Check";
    t.columns = {"ID_Form", "ID_Section", "Name", "Result", "Val"};
    t.rows = {
        {Cell::MakeNumber(2), Cell::MakeText("a"), Cell::MakeText("Проверка"), Cell::MakeNumber(1), {}},
        {Cell::MakeNumber(10), {}, Cell::MakeText(""), Cell{CellType::Error, 7, {}}, Cell::MakeText("0606024")},
        {Cell::MakeText("x"), Cell{CellType::Boolean, 1, {}}, {}, Cell{CellType::Date, 39877.5, {}},
         Cell::MakeNumber(-1e300)},
    };
    return t;
  }
};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string_view text(reinterpret_cast<const char*>(data), size);
  static const FixedSource source;
  try {
    const zumt::sql::ResultSet result = zumt::sql::Execute(text, source);
    for (const auto& row : result.rows) {
      if (row.size() != result.columns.size()) __builtin_trap();
      for (const Cell& cell : row) (void)zumt::sql::CellToText(cell);
    }
  } catch (const zumt::sql::SqlError&) {
  } catch (const zumt::sheet::SpreadsheetError&) {
  }
  try {
    const auto filter = zumt::sql::RowFilter::Parse(text, {"ID_Element", "CaptionInForm"});
    (void)filter.Matches({Cell::MakeText("P_Name"), Cell::MakeNumber(3)});
  } catch (const zumt::sql::SqlError&) {
  }
  return 0;
}
