#pragma once

#include <string>
#include <string_view>

namespace zumt::text {

// UTF-8 to Windows-1251; a character that Windows-1251 lacks (and any
// malformed UTF-8 byte) becomes "?".
std::string Utf8ToCp1251(std::string_view utf8);

// Windows-1251 to UTF-8; the one undefined byte (0x98) becomes U+FFFD.
std::string Cp1251ToUtf8(std::string_view cp1251);

// Any Windows code page (CODEPAGE record value: 1251, 1252, 866, 10007 ...)
// to UTF-8. Bytes the code page leaves undefined become U+FFFD; an unknown
// code page is read as Windows-1251.
std::string CodepageToUtf8(std::string_view bytes, int codepage);

// Appends one code point as UTF-8 (invalid code points become U+FFFD).
void AppendUtf8(std::string& out, char32_t cp);

}  // namespace zumt::text
