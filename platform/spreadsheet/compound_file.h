#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace zumt::sheet {

// A compound file (versions 3 and 4: 512- and 4096-byte sectors) parsed
// from memory: header, DIFAT, FAT, mini FAT and directory. Every offset,
// length and chain is checked against the bytes present; chains that loop
// or run outside the file are errors. Throws SpreadsheetError.
// The bytes are read in place, not copied: they must stay alive and
// unchanged for as long as the CompoundFile is used.
class CompoundFile {
 public:
  // Throws SpreadsheetError("not a compound file") when the signature is
  // missing, and a message naming the fault for a corrupt file.
  static CompoundFile Parse(std::span<const std::uint8_t> bytes);

  // Contents of the stream with this name directly under the root storage
  // (names compared case-insensitively), or nothing when there is none.
  // Streams below the mini-stream cutoff are read from the mini stream.
  std::optional<std::vector<std::uint8_t>> ReadStream(std::string_view name) const;

  // The same contents as a piece of the caller's bytes, without a copy,
  // when the stream is stored in consecutive sectors outside the mini
  // stream (as writers usually store a large stream); nothing otherwise,
  // and nothing when there is no such stream.
  std::optional<std::span<const std::uint8_t>> StreamInPlace(std::string_view name) const;

  bool HasStream(std::string_view name) const;

  struct Entry;  // directory entry, defined in compound_file.cpp
  CompoundFile(CompoundFile&&) noexcept;
  CompoundFile& operator=(CompoundFile&&) noexcept;
  ~CompoundFile();

 private:
  CompoundFile();
  struct Impl;
  std::unique_ptr<Impl> impl_;
};

}  // namespace zumt::sheet
