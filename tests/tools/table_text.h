#pragma once

// A table as text, in the line format of table-dump (and of the expected
// dumps of the fixtures):
//   TABLE\t<name>
//   COL\t<column>...
//   ROW\t<cell>...      E | N:<%.17g> | D:<serial %.17g> | T:<text> | B:0/1 | X:<code>
// Texts escape \ tab LF CR as \\ \t \n \r.

#include <cstdio>
#include <string>

#include "platform/spreadsheet/cell.h"

namespace zumt::sheet::tabletext {

inline std::string Escape(const std::string& s) {
  std::string out;
  out.reserve(s.size());
  for (char c : s) {
    switch (c) {
      case '\\': out += "\\\\"; break;
      case '\t': out += "\\t"; break;
      case '\n': out += "\\n"; break;
      case '\r': out += "\\r"; break;
      default: out += c;
    }
  }
  return out;
}

inline std::string Token(const Cell& c) {
  char buf[40];
  switch (c.type) {
    case CellType::Empty:
      return "E";
    case CellType::Number:
      std::snprintf(buf, sizeof buf, "N:%.17g", c.number);
      return buf;
    case CellType::Date:
      std::snprintf(buf, sizeof buf, "D:%.17g", c.number);
      return buf;
    case CellType::Text:
      return "T:" + Escape(c.text);
    case CellType::Boolean:
      return c.number != 0 ? "B:1" : "B:0";
    case CellType::Error:
      return "X:" + std::to_string(static_cast<int>(c.number));
    case CellType::PendingText:
      return "P:" + std::to_string(static_cast<long>(c.number));
  }
  return "E";
}

inline std::string Dump(const Table& t) {
  std::string out = "TABLE\t" + Escape(t.name) + "\nCOL";
  for (const std::string& c : t.columns) out += "\t" + Escape(c);
  out += "\n";
  for (const Row& r : t.rows) {
    out += "ROW";
    for (const Cell& c : r) out += "\t" + Token(c);
    out += "\n";
  }
  return out;
}

}  // namespace zumt::sheet::tabletext
