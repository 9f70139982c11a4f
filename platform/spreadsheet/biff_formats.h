#pragma once

// Which number formats show a date or a time: a number cell whose XF uses
// one of them is read as a date serial.

#include <string_view>

namespace zumt::sheet::biff {

// Built-in format ids that are dates or times (14-22, 27-36, 45-47, 50-58).
bool IsBuiltinDateFormat(int formatId);

// A custom format string (UTF-8) is a date or time format when, outside
// quoted text, backslash/underscore/asterisk escapes and [...] brackets
// (the elapsed-time brackets [h], [m], [s] count as time), it has more
// date/time letters (d, m, y, h, s) than digit placeholders (0, #, ?).
bool IsDateFormatString(std::string_view format);

}  // namespace zumt::sheet::biff
