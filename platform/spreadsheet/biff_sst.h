#pragma once

// The shared string table of a BIFF8 workbook. Opening only indexes where
// each string starts; a string is decoded when a cell asks for it. The
// table refers to the workbook stream, which must outlive it.

#include <cstdint>
#include <string>
#include <vector>

#include "platform/spreadsheet/biff_records.h"

namespace zumt::sheet::biff {

class SharedStrings {
 public:
  // `pieces` are the SST record's data and its CONTINUE records' data, all
  // inside `stream`. The unique-string count in the SST header is not
  // trusted: strings are indexed until the data ends.
  void Index(Bytes stream, std::vector<Bytes> pieces);

  std::size_t size() const { return starts_.size(); }
  // Appends string `i` as UTF-8; false when there is no such string.
  bool Append(std::uint32_t i, std::string& out) const;

 private:
  PieceReader At(std::size_t offset) const;

  const std::uint8_t* base_ = nullptr;
  std::vector<Bytes> pieces_;
  std::vector<std::uint32_t> pieceStarts_;  // stream offset of each piece
  std::vector<std::uint32_t> starts_;       // stream offset of each string's character count
};

}  // namespace zumt::sheet::biff
