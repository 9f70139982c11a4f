#pragma once

// The shared string table of a BIFF8 workbook. Opening only indexes where
// each string starts (the SST and its CONTINUE records joined); a string is
// decoded when a cell asks for it.

#include <cstdint>
#include <string>
#include <vector>

#include "platform/spreadsheet/biff_records.h"

namespace zumt::sheet::biff {

class SharedStrings {
 public:
  // `sst` is the SST record's data joined with its CONTINUE records. The
  // unique-string count in its header is not trusted: strings are indexed
  // until the data ends.
  void Index(Continued sst);

  std::size_t size() const { return starts_.size(); }
  // Appends string `i` as UTF-8; false when there is no such string.
  bool Append(std::uint32_t i, std::string& out) const;

 private:
  Continued data_;
  std::vector<std::uint32_t> starts_;  // offset of each string's character count
};

}  // namespace zumt::sheet::biff
