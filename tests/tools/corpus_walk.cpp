// Opens every file below the given folders (in name order), reads every
// table, and prints per file "OK <n tables>" or "ERROR <message>". Most
// real files define no names, so it also reads every cell of every
// worksheet through the reader's own layers, to put the sheet parser to
// work on them too. Exit status 0 unless something other than a
// SpreadsheetError escaped.
#include <algorithm>
#include <cstdio>
#include <exception>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "platform/spreadsheet/biff_decrypt.h"
#include "platform/spreadsheet/biff_globals.h"
#include "platform/spreadsheet/biff_sheet.h"
#include "platform/spreadsheet/compound_file.h"
#include "platform/spreadsheet/workbook.h"

namespace fs = std::filesystem;
using namespace zumt::sheet;

// Every worksheet read as one area A1:IV65536; returns the number of cells
// that are not empty.
std::size_t ReadAllCells(const std::vector<std::uint8_t>& file) {
  const CompoundFile cfb = CompoundFile::Parse(file);
  auto stream = cfb.ReadStream("Workbook");
  if (!stream) stream = cfb.ReadStream("Book");
  if (!stream) return 0;
  const int version = biff::WorkbookBiffVersion(*stream);
  DecryptWorkbookStream(*stream, version);
  const biff::Globals g = biff::ParseGlobals(*stream, version);
  const biff::TableLimits limits{std::size_t{1} << 20, std::size_t{256} << 20};
  std::size_t cells = 0;
  for (std::size_t i = 0; i < g.sheets.size(); ++i) {
    if (!g.sheets[i].worksheet) continue;
    const biff::TableName whole{"sheet", 0, {static_cast<int>(i), 0, 65535, 0, 255}};
    try {
      const biff::AreaCells area = biff::ReadAreaCells(*stream, g, whole, limits);
      for (const Row& row : area.rows) {
        for (const Cell& c : row) cells += !c.IsNull();
      }
    } catch (const SpreadsheetError&) {
      // a sheet too large for the limits, or broken: the tables say the rest
    }
  }
  return cells;
}

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
      const auto workbook = Workbook::Open(path.string());
      const auto names = workbook->TableNames();
      std::size_t rejected = 0;
      std::string firstError;
      for (const std::string& name : names) {
        try {
          workbook->ReadTable(name);
        } catch (const SpreadsheetError& e) {
          if (rejected++ == 0) firstError = e.what();
        }
      }
      line = "OK " + std::to_string(names.size());
      if (rejected) line += " (" + std::to_string(rejected) + " rejected: " + firstError + ")";
      std::ifstream in(path, std::ios::binary);
      const std::vector<std::uint8_t> bytes((std::istreambuf_iterator<char>(in)), {});
      line += ", " + std::to_string(ReadAllCells(bytes)) + " cells";
    } catch (const SpreadsheetError& e) {
      line = std::string("ERROR ") + e.what();
    } catch (const std::exception& e) {
      line = std::string("FAIL ") + e.what();
      status = 1;
    }
    std::printf("%s\t%s\n", path.string().c_str(), line.c_str());
  }
  return status;
}
