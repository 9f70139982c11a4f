#include "platform/datasource/text_fold.h"

namespace zumt::sql {
namespace {

char32_t FoldCodePoint(char32_t c) {
  if (c < 0x80) return (c >= 'A' && c <= 'Z') ? c + 32 : c;
  if (c >= 0xC0 && c <= 0xDE && c != 0xD7) return c + 32;
  if (c >= 0x100 && c <= 0x17F) {  // Latin Extended-A: capital/small pairs
    if (c == 0x178) return 0xFF;
    if ((c <= 0x137 || (c >= 0x14A && c <= 0x177)) && c % 2 == 0) return c + 1;
    if (((c >= 0x139 && c <= 0x148) || (c >= 0x179 && c <= 0x17E)) && c % 2 == 1) return c + 1;
    return c;
  }
  if (c >= 0x400 && c <= 0x40F) return c + 0x50;
  if (c >= 0x410 && c <= 0x42F) return c + 0x20;
  if (((c >= 0x460 && c <= 0x481) || (c >= 0x48A && c <= 0x4BF) || (c >= 0x4D0 && c <= 0x4FF)) && c % 2 == 0)
    return c + 1;
  if (c == 0x4C0) return 0x4CF;
  if (c >= 0x4C1 && c <= 0x4CE && c % 2 == 1) return c + 1;
  return c;
}

// Appends a code point of U+0080-U+07FF (folding never leaves that range).
void AppendTwoByte(std::string& out, char32_t c) {
  out += static_cast<char>(0xC0 | (c >> 6));
  out += static_cast<char>(0x80 | (c & 0x3F));
}

}  // namespace

std::string FoldCase(std::string_view text) {
  std::string out;
  out.reserve(text.size());
  for (std::size_t i = 0; i < text.size();) {
    const unsigned char b = static_cast<unsigned char>(text[i]);
    if (b < 0x80) {
      out += static_cast<char>(b >= 'A' && b <= 'Z' ? b + 32 : b);
      ++i;
      continue;
    }
    // Only two-byte sequences (U+0080-U+07FF) hold letters that fold here;
    // anything else is copied byte for byte.
    if (b >= 0xC2 && b <= 0xDF && i + 1 < text.size() &&
        (static_cast<unsigned char>(text[i + 1]) & 0xC0) == 0x80) {
      const char32_t c =
          (static_cast<char32_t>(b & 0x1F) << 6) | (static_cast<unsigned char>(text[i + 1]) & 0x3F);
      AppendTwoByte(out, FoldCodePoint(c));
      i += 2;
      continue;
    }
    out += static_cast<char>(b);
    ++i;
  }
  return out;
}

bool EqualsNoCase(std::string_view a, std::string_view b) {
  if (a.size() != b.size()) {
    // Folding keeps the length of every sequence, so lengths must agree.
    return false;
  }
  return FoldCase(a) == FoldCase(b);
}

}  // namespace zumt::sql
