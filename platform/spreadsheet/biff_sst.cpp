#include "platform/spreadsheet/biff_sst.h"

#include <algorithm>

namespace zumt::sheet::biff {

void SharedStrings::Index(Bytes stream, std::vector<Bytes> pieces) {
  base_ = stream.data();
  pieces_ = std::move(pieces);
  pieceStarts_.clear();
  starts_.clear();
  for (const Bytes& p : pieces_) pieceStarts_.push_back(static_cast<std::uint32_t>(p.data() - base_));
  PieceReader reader(pieces_, 0, 0);
  reader.Skip(8);  // total and unique counts
  std::uint16_t cch;
  while (!reader.AtEnd()) {
    const std::size_t start = reader.Position(base_);
    if (!reader.U16(cch)) break;
    starts_.push_back(static_cast<std::uint32_t>(start));
    reader.UnicodeBody(cch, nullptr);
  }
}

PieceReader SharedStrings::At(std::size_t offset) const {
  // The last piece that starts at or before the offset (a string may start
  // right at the end of a piece: the reader then moves on by itself).
  const auto it = std::upper_bound(pieceStarts_.begin(), pieceStarts_.end(), offset);
  const std::size_t piece = static_cast<std::size_t>(it - pieceStarts_.begin()) - 1;
  return PieceReader(pieces_, piece, offset - pieceStarts_[piece]);
}

bool SharedStrings::Append(std::uint32_t i, std::string& out) const {
  if (i >= starts_.size()) return false;
  PieceReader reader = At(starts_[i]);
  std::uint16_t cch = 0;
  reader.U16(cch);
  reader.UnicodeBody(cch, &out);
  return true;
}

}  // namespace zumt::sheet::biff
