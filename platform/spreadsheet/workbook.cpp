// Placeholder until the BIFF reader lands.
#include "platform/spreadsheet/workbook.h"

namespace zumt::sheet {
std::unique_ptr<Workbook> Workbook::Open(const std::string&) { throw SpreadsheetError("reader not built yet"); }
std::unique_ptr<Workbook> Workbook::FromBytes(std::vector<std::uint8_t>) {
  throw SpreadsheetError("reader not built yet");
}
}  // namespace zumt::sheet
