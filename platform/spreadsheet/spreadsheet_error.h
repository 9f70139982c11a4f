#pragma once

#include <stdexcept>
#include <string>

namespace zumt::sheet {

// Every failure of the reader: a file that is not a workbook, a corrupt or
// truncated one, an unsupported format, an encrypted workbook, a missing
// table. The message is English and names the problem and, for a corrupt
// file, where it was found.
class SpreadsheetError : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

}  // namespace zumt::sheet
