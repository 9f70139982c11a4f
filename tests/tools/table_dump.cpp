// Prints every table of a workbook, sorted case-insensitively by name:
//   TABLE\t<name>
//   COL\t<column>...
//   ROW\t<cell>...      E | N:<%.17g> | D:<serial %.17g> | T:<text> | B:0/1 | X:<code>
// Texts escape \ tab LF CR as \\ \t \n \r. On a reader error prints
// ERROR\t<message> and exits with status 1.
#include <algorithm>
#include <cstdio>
#include <string>

#include "platform/spreadsheet/biff_globals.h"
#include "platform/spreadsheet/workbook.h"

namespace {

std::string Escape(const std::string& s) {
  std::string out;
  out.reserve(s.size());
  for (char c : s) {
    switch (c) {
      case '\\':
        out += "\\\\";
        break;
      case '\t':
        out += "\\t";
        break;
      case '\n':
        out += "\\n";
        break;
      case '\r':
        out += "\\r";
        break;
      default:
        out += c;
    }
  }
  return out;
}

std::string Number(double v) {
  char buf[40];
  std::snprintf(buf, sizeof buf, "%.17g", v);
  return buf;
}

std::string Token(const zumt::sheet::Cell& c) {
  using zumt::sheet::CellType;
  switch (c.type) {
    case CellType::Empty:
      return "E";
    case CellType::Number:
      return "N:" + Number(c.number);
    case CellType::Date:
      return "D:" + Number(c.number);
    case CellType::Text:
      return "T:" + Escape(c.text);
    case CellType::Boolean:
      return c.number != 0 ? "B:1" : "B:0";
    case CellType::Error:
      return "X:" + std::to_string(static_cast<int>(c.number));
  }
  return "E";
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 2) {
    std::fprintf(stderr, "usage: table-dump FILE\n");
    return 2;
  }
  std::string out;
  try {
    const auto workbook = zumt::sheet::Workbook::Open(argv[1]);
    std::vector<std::string> names = workbook->TableNames();
    std::stable_sort(names.begin(), names.end(), [](const std::string& a, const std::string& b) {
      return zumt::sheet::biff::FoldCase(a) < zumt::sheet::biff::FoldCase(b);
    });
    for (const std::string& name : names) {
      const zumt::sheet::Table t = workbook->ReadTable(name);
      out += "TABLE\t" + Escape(t.name) + "\n";
      out += "COL";
      for (const std::string& c : t.columns) out += "\t" + Escape(c);
      out += "\n";
      for (const zumt::sheet::Row& row : t.rows) {
        out += "ROW";
        for (const zumt::sheet::Cell& c : row) out += "\t" + Token(c);
        out += "\n";
      }
    }
  } catch (const zumt::sheet::SpreadsheetError& e) {
    std::printf("ERROR\t%s\n", Escape(e.what()).c_str());
    return 1;
  }
  std::fwrite(out.data(), 1, out.size(), stdout);
  return 0;
}
