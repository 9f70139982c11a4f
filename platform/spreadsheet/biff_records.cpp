#include "platform/spreadsheet/biff_records.h"

#include <algorithm>
#include <cstring>

#include "platform/spreadsheet/spreadsheet_error.h"
#include "platform/text/codepage.h"

namespace zumt::sheet::biff {

double F64(const std::uint8_t* p) {
  std::uint64_t bits = static_cast<std::uint64_t>(U32(p)) | (static_cast<std::uint64_t>(U32(p + 4)) << 32);
  double v;
  std::memcpy(&v, &bits, sizeof v);
  return v;
}

double RkValue(std::uint32_t rk) {
  double v;
  if (rk & 2) {
    v = static_cast<double>(static_cast<std::int32_t>(rk) >> 2);
  } else {
    std::uint64_t bits = static_cast<std::uint64_t>(rk & 0xFFFFFFFCu) << 32;
    std::memcpy(&v, &bits, sizeof v);
  }
  return (rk & 1) ? v / 100.0 : v;
}

bool NextRecord(Bytes stream, std::size_t& pos, Record& rec) {
  if (pos >= stream.size()) return false;
  if (stream.size() - pos < 4) throw SpreadsheetError("truncated record at offset " + std::to_string(pos));
  const std::uint16_t type = U16(&stream[pos]);
  const std::size_t len = U16(&stream[pos + 2]);
  if (stream.size() - pos - 4 < len)
    throw SpreadsheetError("truncated record at offset " + std::to_string(pos));
  rec.type = type;
  rec.offset = pos;
  rec.data = stream.subspan(pos + 4, len);
  pos += 4 + len;
  return true;
}

std::vector<Bytes> WithContinues(Bytes stream, std::size_t& pos, Bytes first) {
  std::vector<Bytes> pieces{first};
  Record rec;
  std::size_t next = pos;
  while (next + 4 <= stream.size() && biff::U16(&stream[next]) == rt::kContinue) {
    NextRecord(stream, next, rec);
    pieces.push_back(rec.data);
    pos = next;
  }
  return pieces;
}

bool PieceReader::Advance() {
  while (offset_ >= pieces_[piece_].size()) {
    if (piece_ + 1 >= pieces_.size()) return false;
    ++piece_;
    offset_ = 0;
  }
  return true;
}

bool PieceReader::AtEnd() { return !Advance(); }

bool PieceReader::Byte(std::uint8_t& v) {
  if (!Advance()) return false;
  v = pieces_[piece_][offset_++];
  return true;
}

bool PieceReader::U16(std::uint16_t& v) {
  std::uint8_t a, b;
  if (!Byte(a) || !Byte(b)) return false;
  v = static_cast<std::uint16_t>(a | (b << 8));
  return true;
}

bool PieceReader::U32(std::uint32_t& v) {
  std::uint16_t a, b;
  if (!U16(a) || !U16(b)) return false;
  v = a | (static_cast<std::uint32_t>(b) << 16);
  return true;
}

void PieceReader::Skip(std::size_t n) {
  while (n > 0 && Advance()) {
    const std::size_t step = std::min(n, pieces_[piece_].size() - offset_);
    offset_ += step;
    n -= step;
  }
}

void PieceReader::UnicodeBody(std::size_t cch, std::string* out) {
  std::uint8_t flags;
  if (!Byte(flags)) return;
  std::uint16_t runs = 0;
  std::uint32_t ext = 0;
  if ((flags & 0x08) && !U16(runs)) return;
  if ((flags & 0x04) && !U32(ext)) return;
  Utf16Decoder utf16;
  bool wide = flags & 0x01;
  while (cch > 0) {
    const Bytes piece = pieces_[piece_];
    const std::size_t avail = piece.size() - offset_;
    const std::size_t n = std::min(wide ? avail / 2 : avail, cch);
    if (out) {
      if (wide) {
        utf16.Append(*out, piece.data() + offset_, n);
      } else {
        AppendLatin1(*out, piece.data() + offset_, n);
      }
    }
    offset_ += wide ? 2 * n : n;
    cch -= n;
    if (cch == 0) break;
    // The characters go on in the next CONTINUE, behind a new flags byte
    // (a header that ends its record leaves all of them to the CONTINUE).
    offset_ = piece.size();
    std::uint8_t next;
    if (!Byte(next)) break;
    wide = next & 0x01;
  }
  if (out) utf16.Finish(*out);
  Skip(4 * static_cast<std::size_t>(runs) + ext);
}

void AppendLatin1(std::string& out, const std::uint8_t* p, std::size_t n) {
  std::size_t size = n;
  for (std::size_t i = 0; i < n; ++i) size += p[i] >> 7;
  std::size_t at = out.size();
  out.resize(at + size);
  char* o = out.data();
  for (std::size_t i = 0; i < n; ++i) {
    const std::uint8_t c = p[i];
    if (c < 0x80) {
      o[at++] = static_cast<char>(c);
    } else {
      o[at++] = static_cast<char>(0xC0 | (c >> 6));
      o[at++] = static_cast<char>(0x80 | (c & 0x3F));
    }
  }
}

void Append8Bit(std::string& out, const std::uint8_t* p, std::size_t n, int codepage) {
  std::size_t ascii = 0;
  while (ascii < n && p[ascii] < 0x80) ++ascii;
  out.append(reinterpret_cast<const char*>(p), ascii);
  if (ascii == n) return;
  if (codepage == 1251) {
    out += text::Cp1251ToUtf8(std::string_view(reinterpret_cast<const char*>(p + ascii), n - ascii));
  } else {
    out +=
        text::CodepageToUtf8(std::string_view(reinterpret_cast<const char*>(p + ascii), n - ascii), codepage);
  }
}

void Utf16Decoder::Append(std::string& out, const std::uint8_t* p, std::size_t nchars) {
  // Sized once: 1 to 3 bytes per unit (a surrogate pair gives 4 for 2 units,
  // a lone surrogate 3); the few bytes too many are cut off at the end.
  std::size_t bound = pending_ ? 3 : 0;
  for (std::size_t i = 0; i < nchars; ++i) {
    const unsigned u = U16(p + 2 * i);
    bound += u < 0x80 ? 1 : u < 0x800 ? 2 : 3;
  }
  std::size_t at = out.size();
  out.resize(at + bound);
  char* o = out.data();
  const auto put = [&](char32_t cp) {
    if (cp < 0x80) {
      o[at++] = static_cast<char>(cp);
    } else if (cp < 0x800) {
      o[at++] = static_cast<char>(0xC0 | (cp >> 6));
      o[at++] = static_cast<char>(0x80 | (cp & 0x3F));
    } else if (cp < 0x10000) {
      o[at++] = static_cast<char>(0xE0 | (cp >> 12));
      o[at++] = static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
      o[at++] = static_cast<char>(0x80 | (cp & 0x3F));
    } else {
      o[at++] = static_cast<char>(0xF0 | (cp >> 18));
      o[at++] = static_cast<char>(0x80 | ((cp >> 12) & 0x3F));
      o[at++] = static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
      o[at++] = static_cast<char>(0x80 | (cp & 0x3F));
    }
  };
  for (std::size_t i = 0; i < nchars; ++i) {
    const char32_t u = U16(p + 2 * i);
    if (pending_) {
      if (u >= 0xDC00 && u <= 0xDFFF) {
        put(0x10000 + ((pending_ - 0xD800) << 10) + (u - 0xDC00));
        pending_ = 0;
        continue;
      }
      put(0xFFFD);
      pending_ = 0;
    }
    if (u >= 0xD800 && u <= 0xDBFF) {
      pending_ = u;
    } else if (u >= 0xDC00 && u <= 0xDFFF) {
      put(0xFFFD);
    } else {
      put(u);
    }
  }
  out.resize(at);
}

void Utf16Decoder::Finish(std::string& out) {
  if (pending_) text::AppendUtf8(out, 0xFFFD);
  pending_ = 0;
}

bool ReadString(Bytes rec, std::size_t pos, int countBytes, int biff, int codepage, std::string& out,
                std::size_t* end) {
  if (pos + countBytes > rec.size()) return false;
  const std::size_t cch = countBytes == 1 ? rec[pos] : U16(&rec[pos]);
  pos += countBytes;
  if (biff >= 8) {
    if (pos >= rec.size()) {
      if (cch != 0) return false;
      if (end) *end = pos;
      return true;
    }
    const Bytes pieces[1] = {rec};
    PieceReader reader(pieces, 0, pos);
    reader.UnicodeBody(cch, &out);
    if (end) *end = reader.Position(rec.data());
    return true;
  }
  const std::size_t n = std::min(cch, rec.size() - pos);
  Append8Bit(out, &rec[pos], n, codepage);
  if (end) *end = pos + n;
  return true;
}

}  // namespace zumt::sheet::biff
