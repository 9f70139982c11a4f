#pragma once

// Defined names (NAME records) and the one formula shape that makes a name
// a table: a single reference to one area or one cell on one worksheet.

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "platform/spreadsheet/biff_globals.h"
#include "platform/spreadsheet/biff_records.h"

namespace zumt::sheet::biff {

struct NameRecord {
  std::string name;
  int itab = 0;  // 0: workbook scope, else 1-based sheet
  bool builtin = false;
  std::vector<std::uint8_t> formula;
};

// One XTI of a BIFF8 EXTERNSHEET: a SUPBOOK and a range of its sheets.
struct Xti {
  std::uint16_t supbook = 0;
  std::int16_t first = 0, last = 0;
};

struct Links {
  std::vector<Xti> xti;            // BIFF8
  std::vector<bool> supbookLocal;  // per SUPBOOK: it is this workbook
};

// Parses a NAME record; nothing when it is too short to hold its header and name.
std::optional<NameRecord> ParseName(Bytes rec, int biff, int codepage);

// The area a name's formula refers to, when the formula is one 3-D
// reference (or, for a sheet-scope BIFF8 name, one plain reference on its
// own sheet) that resolves to a single worksheet of this workbook.
std::optional<Area> ResolveName(const NameRecord& name, int biff, const Links& links,
                                const std::vector<SheetInfo>& sheets);

}  // namespace zumt::sheet::biff
