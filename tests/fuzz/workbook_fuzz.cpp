// Feeds arbitrary bytes to the workbook reader: every table it finds is read.
// Anything but a SpreadsheetError escaping, a crash, a hang or a runaway
// allocation is a fault.
#include <cstddef>
#include <cstdint>
#include <vector>

#include "platform/spreadsheet/workbook.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  try {
    auto workbook = zumt::sheet::Workbook::FromBytes(std::vector<std::uint8_t>(data, data + size));
    for (const std::string& name : workbook->TableNames()) {
      try {
        const zumt::sheet::Table table = workbook->ReadTable(name);
        if (!table.rows.empty() && table.rows.front().size() != table.columns.size()) __builtin_trap();
      } catch (const zumt::sheet::SpreadsheetError&) {
      }
    }
  } catch (const zumt::sheet::SpreadsheetError&) {
  }
  return 0;
}
