// Feeds arbitrary bytes to the workbook reader: every table it finds is read
// whole, and read again with its texts deferred and then resolved cell by
// cell; the two must agree. Anything but a SpreadsheetError escaping, a
// crash, a hang or a runaway allocation is a fault.
#include <cstddef>
#include <cstdint>
#include <vector>

#include "platform/spreadsheet/workbook.h"

namespace {

bool SameCell(const zumt::sheet::Cell& a, const zumt::sheet::Cell& b) {
  return a.type == b.type && a.text == b.text && (a.number == b.number || (a.number != a.number && b.number != b.number));
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  try {
    auto workbook = zumt::sheet::Workbook::FromBytes(std::vector<std::uint8_t>(data, data + size));
    zumt::sheet::ReadOptions deferred;
    deferred.deferText = true;
    for (const std::string& name : workbook->TableNames()) {
      try {
        const zumt::sheet::Table table = workbook->ReadTable(name);
        if (!table.rows.empty() && table.rows.front().size() != table.columns.size()) __builtin_trap();
        zumt::sheet::Table lazy = workbook->ReadTable(name, deferred);
        if (lazy.rows.size() != table.rows.size()) __builtin_trap();
        for (std::size_t r = 0; r < lazy.rows.size(); ++r) {
          for (std::size_t c = 0; c < lazy.rows[r].size(); ++c) {
            lazy.Resolve(lazy.rows[r][c]);
            if (!SameCell(lazy.rows[r][c], table.rows[r][c])) __builtin_trap();
          }
        }
      } catch (const zumt::sheet::SpreadsheetError&) {
      }
    }
  } catch (const zumt::sheet::SpreadsheetError&) {
  }
  return 0;
}
