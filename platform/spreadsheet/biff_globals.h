#pragma once

// The workbook globals substream: version, code page, date system, sheets,
// shared strings, number formats and the defined names that are tables.

#include <cstdint>
#include <string>
#include <vector>

#include "platform/spreadsheet/biff_records.h"
#include "platform/spreadsheet/biff_sst.h"

namespace zumt::sheet::biff {

struct SheetInfo {
  std::string name;
  std::uint32_t offset = 0;  // of the sheet's BOF in the workbook stream
  bool worksheet = false;
};

// A rectangle of cells on one sheet (0-based, inclusive).
struct Area {
  int sheet = 0;  // index into the BOUNDSHEET list
  std::uint32_t firstRow = 0, lastRow = 0;
  std::uint32_t firstCol = 0, lastCol = 0;
};

struct TableName {
  std::string name;
  int scope = 0;  // 0: workbook, else the 1-based sheet it belongs to
  Area area;
};

struct Globals {
  int biff = 8;         // 5 (BIFF5/7) or 8
  int codepage = 1251;  // for BIFF5 8-bit strings
  bool date1904 = false;
  std::vector<SheetInfo> sheets;
  SharedStrings sst;
  std::vector<bool> xfIsDate;     // per XF index: its number format is a date or time
  std::vector<TableName> tables;  // in workbook order, one per spelling
};

// Version of the workbook stream from its first BOF: 8 or 5. Throws
// "unsupported format: BIFF2-4" for older BOFs and "unsupported BIFF
// version" for unknown ones.
int WorkbookBiffVersion(Bytes stream);

Globals ParseGlobals(Bytes stream, int biff);

// Case-insensitive key of a UTF-8 name (ASCII, Latin-1 and Cyrillic letters folded).
std::string FoldCase(std::string_view utf8);

}  // namespace zumt::sheet::biff
