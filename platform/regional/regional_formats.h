#pragma once
// A snapshot of the regional formats, for callers that format many values in
// one go (the query engine reads it once per query instead of once per cell).
// The free functions of regional.h take a fresh snapshot on every call.

#include <locale.h>

#include <string>

namespace zumt::regional {

// How the locale writes a time of day, distilled from its time format.
struct TimeLayout {
  std::string separator = ":";   // between hour and minutes, minutes and seconds
  bool leadingZero = false;      // "09" rather than "9"
  bool twelveHour = false;       // hour 1..12 with a designator
  bool designatorFirst = false;  // "AM 9:05:07" rather than "9:05:07 AM"
  std::string am, pm;
};

// Derives the layout from a time format in strftime notation (T_FMT, with
// %r standing for `ampmFormat`). Exposed for tests.
TimeLayout ParseTimeLayout(const std::string& timeFormat, const std::string& ampmFormat);

// The locale name that governs `category` (LC_TIME or LC_NUMERIC):
// LC_ALL, then the category's variable, then LANG; empty when none is set.
std::string LocaleNameFor(const char* categoryVariable);

// Date and time formats of the user's locale, read when constructed.
class TimeFormats {
 public:
  TimeFormats();
  ~TimeFormats();
  TimeFormats(const TimeFormats&) = delete;
  TimeFormats& operator=(const TimeFormats&) = delete;

  std::string FormatDate(int year, int month, int day) const;
  std::string FormatTime(int hour, int minute, int second) const;

 private:
  locale_t locale_ = static_cast<locale_t>(0);  // null: the built-in Russian formats
  std::string dateFormat_ = "%d.%m.%Y";
  TimeLayout time_;
};

// The decimal separator of the user's locale (LC_NUMERIC), read afresh.
std::string ReadDecimalSeparator();

}  // namespace zumt::regional
