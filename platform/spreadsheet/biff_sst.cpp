#include "platform/spreadsheet/biff_sst.h"

namespace zumt::sheet::biff {

void SharedStrings::Index(Continued sst) {
  data_ = std::move(sst);
  starts_.clear();
  const Bytes buf(data_.data);
  // 8 bytes of counts, then the strings; each takes at least 3 bytes.
  std::size_t pos = 8;
  while (pos + 3 <= buf.size()) {
    starts_.push_back(static_cast<std::uint32_t>(pos));
    const std::size_t cch = U16(&buf[pos]);
    pos = ReadUnicodeBody(buf, data_.bounds, pos + 2, cch, nullptr);
  }
}

bool SharedStrings::Append(std::uint32_t i, std::string& out) const {
  if (i >= starts_.size()) return false;
  const std::size_t pos = starts_[i];
  ReadUnicodeBody(Bytes(data_.data), data_.bounds, pos + 2, U16(&data_.data[pos]), &out);
  return true;
}

}  // namespace zumt::sheet::biff
