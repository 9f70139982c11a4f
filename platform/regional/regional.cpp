// Regional date, time and number formats from the C library's locale
// database. The locale name is looked up in the environment on every call, so
// a change of the user's settings shows in the next report entry. The C and
// POSIX locales (and a locale that cannot be loaded) get the Russian formats.
#include "platform/regional/regional.h"

#include <iconv.h>
#include <langinfo.h>
#include <locale.h>

#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <vector>

#include "platform/regional/regional_formats.h"

namespace zumt::regional {
namespace {

// The C locale in any spelling: "C", "POSIX", "C.UTF-8", "C.utf8@x" ...
bool IsCLocale(const std::string& name) {
  const std::string base = name.substr(0, name.find_first_of(".@"));
  return base.empty() || base == "C" || base == "POSIX";
}

// The category's data comes with the same name's LC_CTYPE, whose code set
// tells how that data is encoded.
locale_t OpenLocale(int mask, const std::string& name) {
  if (IsCLocale(name)) return static_cast<locale_t>(0);
  return newlocale(mask, name.c_str(), static_cast<locale_t>(0));
}

std::string TwoDigits(int value) {
  char buffer[16];
  std::snprintf(buffer, sizeof buffer, "%02d", value);
  return buffer;
}

// Days since 1970-01-01 of a proleptic Gregorian date.
long DaysFromCivil(long y, unsigned m, unsigned d) {
  y -= m <= 2;
  const long era = (y >= 0 ? y : y - 399) / 400;
  const unsigned yoe = static_cast<unsigned>(y - era * 400);
  const unsigned doy = (153 * (m + (m > 2 ? -3 : 9)) + 2) / 5 + d - 1;
  const unsigned doe = yoe * 365 + yoe / 4 - yoe / 100 + doy;
  return era * 146097 + static_cast<long>(doe) - 719468;
}

// Text from the locale database in the locale's own code set, as UTF-8
// (the program's strings are UTF-8). Unconvertible text is kept as it is.
std::string ToUtf8(const std::string& text, locale_t locale) {
  const std::string codeset = nl_langinfo_l(CODESET, locale);
  bool ascii = true;
  for (const char c : text) ascii = ascii && static_cast<unsigned char>(c) < 0x80;
  if (ascii || codeset == "UTF-8" || codeset == "utf8") return text;
  const iconv_t cd = iconv_open("UTF-8", codeset.c_str());
  if (cd == reinterpret_cast<iconv_t>(-1)) return text;
  std::string out(text.size() * 4, '\0');
  char* in = const_cast<char*>(text.data());
  std::size_t inLeft = text.size();
  char* o = out.data();
  std::size_t outLeft = out.size();
  const std::size_t rc = iconv(cd, &in, &inLeft, &o, &outLeft);
  iconv_close(cd);
  if (rc == static_cast<std::size_t>(-1)) return text;
  out.resize(out.size() - outLeft);
  return out;
}

std::string RussianDate(int year, int month, int day) {
  char buffer[48];
  std::snprintf(buffer, sizeof buffer, "%02d.%02d.%04d", day, month, year);
  return buffer;
}

// One piece of a strftime format: a literal character, or a conversion with
// its flag characters ("-", "_", "0", "^", "#") and E/O modifier dropped.
struct Piece {
  char conversion = 0;  // 0 for a literal
  char flag = 0;
  char literal = 0;
};

void Split(const std::string& format, const std::string& ampmFormat, int depth, std::vector<Piece>& out) {
  for (std::size_t i = 0; i < format.size(); ++i) {
    if (format[i] != '%' || i + 1 >= format.size()) {
      out.push_back({0, 0, format[i]});
      continue;
    }
    ++i;
    char flag = 0;
    while (i < format.size() &&
           (format[i] == '-' || format[i] == '_' || format[i] == '0' || format[i] == '^' || format[i] == '#'))
      flag = format[i++];
    while (i < format.size() && format[i] >= '1' && format[i] <= '9') ++i;  // field width
    if (i < format.size() && (format[i] == 'E' || format[i] == 'O')) ++i;
    if (i >= format.size()) break;
    const char c = format[i];
    if (c == 'T') {
      Split("%H:%M:%S", ampmFormat, depth + 1, out);
    } else if (c == 'R') {
      Split("%H:%M", ampmFormat, depth + 1, out);
    } else if (c == 'r' && depth < 2) {
      Split(ampmFormat.empty() ? "%I:%M:%S %p" : ampmFormat, ampmFormat, depth + 1, out);
    } else if (c == '%') {
      out.push_back({0, 0, '%'});
    } else {
      out.push_back({c, flag, 0});
    }
  }
}

}  // namespace

std::string LocaleNameFor(const char* categoryVariable) {
  for (const char* variable : {"LC_ALL", categoryVariable, "LANG"}) {
    const char* value = std::getenv(variable);
    if (value && *value) return value;
  }
  return {};
}

TimeLayout ParseTimeLayout(const std::string& timeFormat, const std::string& ampmFormat) {
  std::vector<Piece> pieces;
  Split(timeFormat, ampmFormat, 0, pieces);
  TimeLayout layout;
  std::size_t hour = pieces.size();
  for (std::size_t i = 0; i < pieces.size(); ++i) {
    const char c = pieces[i].conversion;
    if (c == 'H' || c == 'I' || c == 'k' || c == 'l') {
      hour = i;
      break;
    }
  }
  if (hour == pieces.size()) return layout;  // no hour at all: keep the defaults
  const Piece& h = pieces[hour];
  const bool padsByDefault = h.conversion == 'H' || h.conversion == 'I';
  layout.leadingZero = h.flag == '0' || (padsByDefault && h.flag != '-' && h.flag != '_');
  layout.twelveHour = h.conversion == 'I' || h.conversion == 'l';
  std::string separator;
  for (std::size_t i = hour + 1; i < pieces.size() && pieces[i].conversion == 0; ++i)
    separator += pieces[i].literal;
  if (!separator.empty()) layout.separator = separator;
  for (std::size_t i = 0; i < pieces.size(); ++i) {
    if (pieces[i].conversion == 'p' || pieces[i].conversion == 'P') {
      layout.twelveHour = true;
      layout.designatorFirst = i < hour;
      break;
    }
  }
  return layout;
}

TimeFormats::TimeFormats() {
  locale_ = OpenLocale(LC_TIME_MASK | LC_CTYPE_MASK, LocaleNameFor("LC_TIME"));
  if (!locale_) return;
  const std::string date = nl_langinfo_l(D_FMT, locale_);
  if (!date.empty()) dateFormat_ = date;
  const std::string time = nl_langinfo_l(T_FMT, locale_);
  if (!time.empty()) time_ = ParseTimeLayout(time, nl_langinfo_l(T_FMT_AMPM, locale_));
  time_.separator = ToUtf8(time_.separator, locale_);
  time_.am = ToUtf8(nl_langinfo_l(AM_STR, locale_), locale_);
  time_.pm = ToUtf8(nl_langinfo_l(PM_STR, locale_), locale_);
}

TimeFormats::~TimeFormats() {
  if (locale_) freelocale(locale_);
}

std::string TimeFormats::FormatDate(int year, int month, int day) const {
  if (!locale_ || month < 1 || month > 12 || day < 1 || day > 31) return RussianDate(year, month, day);
  std::tm tm{};
  tm.tm_year = year - 1900;
  tm.tm_mon = month - 1;
  tm.tm_mday = day;
  const long days = DaysFromCivil(year, static_cast<unsigned>(month), static_cast<unsigned>(day));
  tm.tm_wday = static_cast<int>(((days % 7) + 11) % 7);  // 1970-01-01 was a Thursday
  tm.tm_yday = static_cast<int>(days - DaysFromCivil(year, 1, 1));
  char buffer[256];
  const std::size_t n = strftime_l(buffer, sizeof buffer, dateFormat_.c_str(), &tm, locale_);
  if (n == 0) return RussianDate(year, month, day);
  return ToUtf8(std::string(buffer, n), locale_);
}

std::string TimeFormats::FormatTime(int hour, int minute, int second) const {
  std::string designator;
  if (time_.twelveHour) {
    designator = hour < 12 ? time_.am : time_.pm;
    hour %= 12;
    if (hour == 0) hour = 12;
  }
  std::string text = time_.leadingZero ? TwoDigits(hour) : std::to_string(hour);
  text += time_.separator + TwoDigits(minute) + time_.separator + TwoDigits(second);
  if (designator.empty()) return text;
  return time_.designatorFirst ? designator + " " + text : text + " " + designator;
}

std::string ReadDecimalSeparator() {
  const locale_t numeric = OpenLocale(LC_NUMERIC_MASK | LC_CTYPE_MASK, LocaleNameFor("LC_NUMERIC"));
  if (!numeric) return ",";
  const std::string radix = ToUtf8(nl_langinfo_l(RADIXCHAR, numeric), numeric);
  freelocale(numeric);
  return radix.empty() ? "," : radix;
}

std::string FormatDate(int year, int month, int day) { return TimeFormats().FormatDate(year, month, day); }

std::string FormatTime(int hour, int minute, int second) {
  return TimeFormats().FormatTime(hour, minute, second);
}

std::string DecimalSeparator() { return ReadDecimalSeparator(); }

namespace {
std::tm Now() {
  const std::time_t now = std::time(nullptr);
  std::tm local{};
  localtime_r(&now, &local);
  return local;
}
}  // namespace

std::string CurrentDate() {
  const std::tm now = Now();
  return FormatDate(now.tm_year + 1900, now.tm_mon + 1, now.tm_mday);
}

std::string CurrentTime() {
  const std::tm now = Now();
  return FormatTime(now.tm_hour, now.tm_min, now.tm_sec);
}

}  // namespace zumt::regional
