// Feeds arbitrary text to the query engine and the record filter over a small
// table. Only SqlError (or the source's SpreadsheetError) may come out. Each
// query runs twice, over the table read whole and over the table read with
// the texts the query does not test left pending: the results must agree,
// and none may hold a pending cell.
#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "platform/datasource/sql_engine.h"
#include "platform/datasource/text_fold.h"
#include "platform/spreadsheet/spreadsheet_error.h"

namespace {

using zumt::sheet::Cell;
using zumt::sheet::CellType;

zumt::sheet::Table WholeTable() {
  zumt::sheet::Table t;
  t.name = "T_Check";
  t.columns = {"ID_Form", "ID_Section", "Name", "Result", "Val"};
  t.rows = {
      {Cell::MakeNumber(2), Cell::MakeText("a"), Cell::MakeText("Проверка"), Cell::MakeNumber(1), {}},
      {Cell::MakeNumber(10), {}, Cell::MakeText(""), Cell{CellType::Error, 7, {}}, Cell::MakeText("0606024")},
      {Cell::MakeText("x"), Cell{CellType::Boolean, 1, {}}, {}, Cell{CellType::Date, 39877.5, {}},
       Cell::MakeNumber(-1e300)},
      {Cell::MakeText("B"), Cell::MakeText("b"), Cell::MakeText("проверка"), Cell::MakeNumber(1), Cell::MakeText("a")},
  };
  return t;
}

class Texts : public zumt::sheet::PendingTexts {
 public:
  explicit Texts(std::vector<std::string> texts) : texts_(std::move(texts)) {}
  void Resolve(Cell& cell) const override {
    if (cell.type != CellType::PendingText) return;
    cell = Cell::MakeText(texts_.at(static_cast<std::size_t>(cell.number)));
  }

 private:
  std::vector<std::string> texts_;
};

class FixedSource : public zumt::sql::TableSource {
 public:
  zumt::sheet::Table ReadTable(std::string_view name) const override {
    if (name.size() != 7 && name.size() != 8) throw zumt::sheet::SpreadsheetError("no table named x");
    return WholeTable();
  }
};

// Reads the same table as a workbook does when asked to defer its texts.
class DeferringSource : public FixedSource {
 public:
  zumt::sheet::Table ReadTableFor(std::string_view name, const zumt::sheet::ReadOptions& options) const override {
    zumt::sheet::Table t = ReadTable(name);
    if (!options.deferText) return t;
    std::vector<std::string> texts;
    for (std::size_t c = 0; c < t.columns.size(); ++c) {
      bool now = false;
      for (const std::string& n : options.decodeNow) now = now || zumt::sql::EqualsNoCase(n, t.columns[c]);
      if (now) continue;
      for (auto& row : t.rows) {
        if (row[c].type != CellType::Text) continue;
        texts.push_back(row[c].text);
        row[c] = Cell{CellType::PendingText, static_cast<double>(texts.size() - 1), {}};
      }
    }
    t.pending = std::make_shared<Texts>(std::move(texts));
    return t;
  }
};

std::string Dump(const zumt::sql::ResultSet& r) {
  std::string out;
  for (const auto& c : r.columns) out += c + "\t";
  for (const auto& row : r.rows) {
    if (row.size() != r.columns.size()) __builtin_trap();
    out += "\n";
    for (const Cell& cell : row) {
      if (cell.type == CellType::PendingText) __builtin_trap();
      out += std::to_string(static_cast<int>(cell.type)) + ":" + zumt::sql::CellToText(cell) + "\t";
    }
  }
  return out;
}

// The result as text, or the error's message.
std::string Run(std::string_view text, const zumt::sql::TableSource& source) {
  try {
    return Dump(zumt::sql::Execute(text, source));
  } catch (const zumt::sql::SqlError& e) {
    return std::string("SqlError: ") + e.what();
  } catch (const zumt::sheet::SpreadsheetError& e) {
    return std::string("SpreadsheetError: ") + e.what();
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string_view text(reinterpret_cast<const char*>(data), size);
  static const FixedSource whole;
  static const DeferringSource deferring;
  if (Run(text, whole) != Run(text, deferring)) __builtin_trap();
  try {
    const auto filter = zumt::sql::RowFilter::Parse(text, {"ID_Element", "CaptionInForm"});
    (void)filter.Matches({Cell::MakeText("P_Name"), Cell::MakeNumber(3)});
  } catch (const zumt::sql::SqlError&) {
  }
  return 0;
}
