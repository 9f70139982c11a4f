#include "platform/text/codepage.h"

#include <iconv.h>

#include <algorithm>
#include <array>
#include <map>
#include <mutex>
#include <vector>

namespace zumt::text {
namespace {

constexpr char32_t kReplacement = 0xFFFD;

// iconv name of a Windows code page number (as a CODEPAGE record gives it).
std::string IconvName(int codepage) {
  switch (codepage) {
    case 367: return "ASCII";
    case 10000: case 32768: return "MACINTOSH";
    case 10007: return "MAC-CYRILLIC";
    case 10029: return "MAC-CENTRALEUROPE";
    case 32769: return "CP1252";
    case 20866: return "KOI8-R";
    case 21866: return "KOI8-U";
    case 28591: return "ISO-8859-1";
    case 28595: return "ISO-8859-5";
    default: return "CP" + std::to_string(codepage);
  }
}

bool IsDoubleByte(int codepage) {
  return codepage == 932 || codepage == 936 || codepage == 949 || codepage == 950;
}

class Converter {
 public:
  Converter(const char* to, const char* from) : cd_(iconv_open(to, from)) {}
  ~Converter() {
    if (ok()) iconv_close(cd_);
  }
  Converter(const Converter&) = delete;
  Converter& operator=(const Converter&) = delete;
  bool ok() const { return cd_ != reinterpret_cast<iconv_t>(-1); }
  iconv_t get() const { return cd_; }

 private:
  iconv_t cd_;
};

char32_t ReadUtf32(const unsigned char* p) {
  return p[0] | (p[1] << 8) | (p[2] << 16) | (char32_t(p[3]) << 24);
}

using ByteTable = std::array<char32_t, 256>;

// Decodes every byte of a single-byte code page once; undefined bytes map to
// U+FFFD. Returns false when iconv does not know the code page.
bool BuildTable(int codepage, ByteTable& table) {
  Converter cd("UTF-32LE", IconvName(codepage).c_str());
  if (!cd.ok()) return false;
  for (int b = 0; b < 256; ++b) {
    char in = static_cast<char>(b);
    unsigned char out[8] = {};
    char* inPtr = &in;
    size_t inLeft = 1;
    char* outPtr = reinterpret_cast<char*>(out);
    size_t outLeft = sizeof out;
    iconv(cd.get(), nullptr, nullptr, nullptr, nullptr);
    size_t rc = iconv(cd.get(), &inPtr, &inLeft, &outPtr, &outLeft);
    table[b] = (rc == static_cast<size_t>(-1) || outLeft != 4) ? kReplacement : ReadUtf32(out);
  }
  return true;
}

// The decoding table of a single-byte code page; unknown code pages fall
// back to Windows-1251, the code page of this program's users.
const ByteTable& TableFor(int codepage) {
  static std::mutex mutex;
  static std::map<int, ByteTable> tables;
  std::lock_guard<std::mutex> lock(mutex);
  auto it = tables.find(codepage);
  if (it != tables.end()) return it->second;
  ByteTable table{};
  if (!BuildTable(codepage, table)) BuildTable(1251, table);
  return tables.emplace(codepage, table).first->second;
}

std::string DecodeDoubleByte(std::string_view bytes, int codepage) {
  Converter cd("UTF-32LE", IconvName(codepage).c_str());
  if (!cd.ok()) return Cp1251ToUtf8(bytes);
  std::string out;
  out.reserve(bytes.size() * 2);
  const char* p = bytes.data();
  size_t left = bytes.size();
  while (left > 0) {
    unsigned char buf[4] = {};
    char* outPtr = reinterpret_cast<char*>(buf);
    size_t outLeft = sizeof buf;
    char* inPtr = const_cast<char*>(p);
    size_t rc = iconv(cd.get(), &inPtr, &left, &outPtr, &outLeft);
    if (outLeft == 0) AppendUtf8(out, ReadUtf32(buf));
    if (rc == static_cast<size_t>(-1) && outLeft != 0) {
      // Undefined or cut-off sequence: replace one byte and go on.
      AppendUtf8(out, kReplacement);
      ++inPtr;
      --left;
      iconv(cd.get(), nullptr, nullptr, nullptr, nullptr);
    }
    p = inPtr;
  }
  return out;
}

// Next code point of UTF-8 text; malformed bytes give U+FFFD one at a time.
char32_t NextCodePoint(std::string_view s, size_t& i) {
  const auto b0 = static_cast<unsigned char>(s[i]);
  if (b0 < 0x80) {
    ++i;
    return b0;
  }
  int len = (b0 >= 0xF0 && b0 < 0xF5) ? 4 : (b0 >= 0xE0) ? 3 : (b0 >= 0xC2 && b0 < 0xE0) ? 2 : 0;
  if (b0 >= 0xF5) len = 0;
  if (len == 0 || i + len > s.size()) {
    ++i;
    return kReplacement;
  }
  char32_t cp = b0 & (0x7F >> len);
  for (int k = 1; k < len; ++k) {
    const auto b = static_cast<unsigned char>(s[i + k]);
    if ((b & 0xC0) != 0x80) {
      ++i;
      return kReplacement;
    }
    cp = (cp << 6) | (b & 0x3F);
  }
  i += len;
  return cp;
}

}  // namespace

void AppendUtf8(std::string& out, char32_t cp) {
  if (cp > 0x10FFFF || (cp >= 0xD800 && cp <= 0xDFFF)) cp = kReplacement;
  if (cp < 0x80) {
    out.push_back(static_cast<char>(cp));
  } else if (cp < 0x800) {
    out.push_back(static_cast<char>(0xC0 | (cp >> 6)));
    out.push_back(static_cast<char>(0x80 | (cp & 0x3F)));
  } else if (cp < 0x10000) {
    out.push_back(static_cast<char>(0xE0 | (cp >> 12)));
    out.push_back(static_cast<char>(0x80 | ((cp >> 6) & 0x3F)));
    out.push_back(static_cast<char>(0x80 | (cp & 0x3F)));
  } else {
    out.push_back(static_cast<char>(0xF0 | (cp >> 18)));
    out.push_back(static_cast<char>(0x80 | ((cp >> 12) & 0x3F)));
    out.push_back(static_cast<char>(0x80 | ((cp >> 6) & 0x3F)));
    out.push_back(static_cast<char>(0x80 | (cp & 0x3F)));
  }
}

std::string CodepageToUtf8(std::string_view bytes, int codepage) {
  if (IsDoubleByte(codepage)) return DecodeDoubleByte(bytes, codepage);
  const ByteTable& table = TableFor(codepage);
  std::string out;
  out.reserve(bytes.size() * 2);
  for (char c : bytes) AppendUtf8(out, table[static_cast<unsigned char>(c)]);
  return out;
}

std::string Cp1251ToUtf8(std::string_view cp1251) { return CodepageToUtf8(cp1251, 1251); }

std::string Utf8ToCp1251(std::string_view utf8) {
  // Reverse of the Windows-1251 table, built once: one byte per code point
  // up to the highest one the code page holds (U+2122), 0 where it has none.
  static const std::vector<char> reverse = [] {
    const ByteTable& table = TableFor(1251);
    char32_t top = 0;
    for (int b = 0x80; b < 256; ++b)
      if (table[b] != kReplacement) top = std::max(top, table[b]);
    std::vector<char> r(top + 1, 0);
    for (int b = 0x80; b < 256; ++b)
      if (table[b] != kReplacement) r[table[b]] = static_cast<char>(b);
    return r;
  }();
  std::string out;
  out.resize(utf8.size());
  std::size_t n = 0;
  for (size_t i = 0; i < utf8.size();) {
    const auto b = static_cast<unsigned char>(utf8[i]);
    if (b < 0x80) {
      out[n++] = static_cast<char>(b);
      ++i;
      continue;
    }
    if ((b == 0xD0 || b == 0xD1) && i + 1 < utf8.size()) {
      // Cyrillic, most of this program's text: U+0400..U+047F.
      const auto b1 = static_cast<unsigned char>(utf8[i + 1]);
      if ((b1 & 0xC0) == 0x80) {
        const char c = reverse[((b & 0x1F) << 6) | (b1 & 0x3F)];
        out[n++] = c != 0 ? c : '?';
        i += 2;
        continue;
      }
    }
    const char32_t cp = NextCodePoint(utf8, i);
    const char c = cp < reverse.size() ? reverse[cp] : 0;
    out[n++] = c != 0 ? c : '?';
  }
  out.resize(n);
  return out;
}

}  // namespace zumt::text
