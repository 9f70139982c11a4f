#pragma once

// BIFF record stream: record iteration, little-endian fields, and the
// string forms of BIFF5/7 and BIFF8, including strings whose characters
// continue in CONTINUE records.

#include <cstddef>
#include <cstdint>
#include <span>
#include <string>
#include <vector>

#include "platform/spreadsheet/little_endian.h"

namespace zumt::sheet::biff {

using Bytes = std::span<const std::uint8_t>;

namespace rt {  // record types
constexpr std::uint16_t kFormula = 0x0006, kEof = 0x000A, kExternSheet = 0x0017, kName = 0x0018,
                        kDateMode = 0x0022, kFilePass = 0x002F, kContinue = 0x003C, kCodePage = 0x0042,
                        kBoundSheet = 0x0085, kMulRk = 0x00BD, kMulBlank = 0x00BE, kRString = 0x00D6,
                        kXf = 0x00E0, kSst = 0x00FC, kLabelSst = 0x00FD, kSupBook = 0x01AE,
                        kDimensions = 0x0200, kBlank = 0x0201, kNumber = 0x0203, kLabel = 0x0204,
                        kBoolErr = 0x0205, kString = 0x0207, kArray = 0x0221, kTable = 0x0236, kRk = 0x027E,
                        kFormat = 0x041E, kShrFmla = 0x04BC, kBof = 0x0809;
}

inline std::uint16_t U16(const std::uint8_t* p) { return Le16(p); }
inline std::uint32_t U32(const std::uint8_t* p) { return Le32(p); }
double F64(const std::uint8_t* p);
double RkValue(std::uint32_t rk);

struct Record {
  std::uint16_t type = 0;
  std::size_t offset = 0;  // of the record header within the stream
  Bytes data;
};

// Reads the record at `pos` and moves `pos` past it. Returns false when
// `pos` is at the end of the stream; throws "truncated record at offset N"
// when the header or the body runs past the end.
bool NextRecord(Bytes stream, std::size_t& pos, Record& rec);

// The data of a record and of the CONTINUE records after it, as pieces of
// the stream (empty CONTINUE records included). Advances `pos` past the
// last CONTINUE.
std::vector<Bytes> WithContinues(Bytes stream, std::size_t& pos, Bytes first);

// Reads across the pieces of a continued record. Plain fields run on from
// one piece into the next; the characters of a string restart with a new
// flags byte in each piece they continue into.
class PieceReader {
 public:
  PieceReader(std::span<const Bytes> pieces, std::size_t piece, std::size_t offset)
      : pieces_(pieces), piece_(piece), offset_(offset) {}

  bool Byte(std::uint8_t& v);
  bool U16(std::uint16_t& v);
  bool U32(std::uint32_t& v);
  void Skip(std::size_t n);
  bool AtEnd();
  // Offset of the reading position from `base` (the stream's first byte).
  std::size_t Position(const std::uint8_t* base) const {
    return static_cast<std::size_t>(pieces_[piece_].data() + offset_ - base);
  }

  // The rest of a BIFF8 unicode string whose character count has been read:
  // flags byte, optional run count and extended size, characters, runs and
  // extended data. Decodes into `out` when it is not null; a string cut
  // short by the end of the data keeps what is there.
  void UnicodeBody(std::size_t cch, std::string* out);

 private:
  bool Advance();  // to the next non-empty piece, when the current one is used up

  std::span<const Bytes> pieces_;
  std::size_t piece_;
  std::size_t offset_;
};

// Text decoding into UTF-8.
void AppendLatin1(std::string& out, const std::uint8_t* p, std::size_t n);
void Append8Bit(std::string& out, const std::uint8_t* p, std::size_t n, int codepage);

// UTF-16LE decoder that keeps a high surrogate across chunks; lone
// surrogates become U+FFFD.
class Utf16Decoder {
 public:
  void Append(std::string& out, const std::uint8_t* p, std::size_t nchars);
  void Finish(std::string& out);

 private:
  char32_t pending_ = 0;
};

// A whole BIFF8 XLUnicodeString (16-bit count) or ShortXLUnicodeString
// (8-bit count) at `pos` of a single record; BIFF5 strings are a count and
// 8-bit characters in `codepage`. Returns false when the header does not fit.
bool ReadString(Bytes rec, std::size_t pos, int countBytes, int biff, int codepage, std::string& out,
                std::size_t* end = nullptr);

}  // namespace zumt::sheet::biff
