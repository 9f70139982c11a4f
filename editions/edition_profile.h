#pragma once

#include <string_view>

namespace zumt {

// The constants that make an edition of the program. Nothing else differs
// between the editions.
struct EditionProfile {
  std::string_view DataSourceName;     // data source the workbooks are opened through
  std::string_view AcceptedFormCodes;  // "#code#code#...#", seven-digit codes
  std::string_view WindowCaption;      // main window title, UTF-8
};

const EditionProfile& EditionA();
const EditionProfile& EditionB();

// The edition this program was built as (defined by zumt_edition_a or
// zumt_edition_b, whichever the executable links).
const EditionProfile& BuiltEdition();

}  // namespace zumt
