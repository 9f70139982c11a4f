// Prints every table of a workbook, sorted case-insensitively by name,
// in the line format of tools/table_text.h. On a reader error prints
// ERROR\t<message> and exits with status 1.
#include <algorithm>
#include <cstdio>
#include <string>

#include "platform/spreadsheet/biff_globals.h"
#include "platform/spreadsheet/workbook.h"
#include "tools/table_text.h"

using zumt::sheet::tabletext::Escape;

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
      out += zumt::sheet::tabletext::Dump(workbook->ReadTable(name));
    }
  } catch (const zumt::sheet::SpreadsheetError& e) {
    std::printf("ERROR\t%s\n", Escape(e.what()).c_str());
    return 1;
  }
  std::fwrite(out.data(), 1, out.size(), stdout);
  return 0;
}
