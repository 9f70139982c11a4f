#pragma once
// Case folding of UTF-8 text for the query engine's case-insensitive
// comparisons: ASCII, Latin-1, Latin Extended-A and Cyrillic (U+0400-U+04FF)
// capitals become small letters; every other byte sequence, malformed ones
// included, is kept as it is.

#include <string>
#include <string_view>

namespace zumt::sql {

std::string FoldCase(std::string_view text);
bool EqualsNoCase(std::string_view a, std::string_view b);

}  // namespace zumt::sql
