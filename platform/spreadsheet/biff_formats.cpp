#include "platform/spreadsheet/biff_formats.h"

namespace zumt::sheet::biff {

bool IsBuiltinDateFormat(int id) {
  return (id >= 14 && id <= 22) || (id >= 27 && id <= 36) || (id >= 45 && id <= 47) || (id >= 50 && id <= 58);
}

namespace {

bool IsDateLetter(char c) {
  switch (c) {
    case 'd':
    case 'D':
    case 'm':
    case 'M':
    case 'y':
    case 'Y':
    case 'h':
    case 'H':
    case 's':
    case 'S':
      return true;
    default:
      return false;
  }
}

bool EqualsNoCase(std::string_view a, std::string_view b) {
  if (a.size() != b.size()) return false;
  for (std::size_t i = 0; i < a.size(); ++i) {
    char x = a[i], y = b[i];
    if (x >= 'A' && x <= 'Z') x = static_cast<char>(x - 'A' + 'a');
    if (y >= 'A' && y <= 'Z') y = static_cast<char>(y - 'A' + 'a');
    if (x != y) return false;
  }
  return true;
}

}  // namespace

bool IsDateFormatString(std::string_view fmt) {
  if (EqualsNoCase(fmt, "General") || fmt == "@") return false;
  int dates = 0, digits = 0;
  for (std::size_t i = 0; i < fmt.size(); ++i) {
    const char c = fmt[i];
    if (c == '"') {
      const std::size_t close = fmt.find('"', i + 1);
      if (close == std::string_view::npos) break;
      i = close;
    } else if (c == '\\' || c == '_' || c == '*') {
      ++i;  // the next character is shown literally (or is a fill/space width)
    } else if (c == '[') {
      const std::size_t close = fmt.find(']', i + 1);
      if (close == std::string_view::npos) break;
      const std::string_view inside = fmt.substr(i + 1, close - i - 1);
      // [h], [hh], [mm], [ss]: elapsed time; anything else ([Red], [$-419], [>=100]) is no date.
      if (!inside.empty() && (inside[0] == 'h' || inside[0] == 'H' || inside[0] == 'm' || inside[0] == 'M' ||
                              inside[0] == 's' || inside[0] == 'S')) {
        bool same = true;
        for (char x : inside) same = same && (x | 0x20) == (inside[0] | 0x20);
        if (same) ++dates;
      }
      i = close;
    } else if (IsDateLetter(c)) {
      ++dates;
    } else if (c == '0' || c == '#' || c == '?') {
      ++digits;
    }
  }
  return dates > digits;
}

}  // namespace zumt::sheet::biff
