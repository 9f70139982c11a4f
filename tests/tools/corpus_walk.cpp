// Opens every file below the given folders (in name order), reads every
// table, and prints per file "OK <n tables>" or "ERROR <message>". Exit
// status 0 unless something other than a SpreadsheetError escaped.
#include <algorithm>
#include <cstdio>
#include <exception>
#include <filesystem>
#include <string>
#include <vector>

#include "platform/spreadsheet/workbook.h"

namespace fs = std::filesystem;

int main(int argc, char** argv) {
  if (argc < 2) {
    std::fprintf(stderr, "usage: corpus-walk DIR...\n");
    return 2;
  }
  std::vector<fs::path> files;
  for (int i = 1; i < argc; ++i) {
    for (const auto& e : fs::recursive_directory_iterator(argv[i])) {
      if (e.is_regular_file()) files.push_back(e.path());
    }
  }
  std::sort(files.begin(), files.end());
  int status = 0;
  for (const fs::path& path : files) {
    std::string line;
    try {
      const auto workbook = zumt::sheet::Workbook::Open(path.string());
      const auto names = workbook->TableNames();
      std::size_t rejected = 0;
      std::string firstError;
      for (const std::string& name : names) {
        try {
          workbook->ReadTable(name);
        } catch (const zumt::sheet::SpreadsheetError& e) {
          if (rejected++ == 0) firstError = e.what();
        }
      }
      line = "OK " + std::to_string(names.size());
      if (rejected) line += " (" + std::to_string(rejected) + " rejected: " + firstError + ")";
    } catch (const zumt::sheet::SpreadsheetError& e) {
      line = std::string("ERROR ") + e.what();
    } catch (const std::exception& e) {
      line = std::string("FAIL ") + e.what();
      status = 1;
    }
    std::printf("%s\t%s\n", path.string().c_str(), line.c_str());
  }
  return status;
}
