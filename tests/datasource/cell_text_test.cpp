// Cells as text, date serials, and the regional formats per locale.
#include <gtest/gtest.h>
#include <locale.h>

#include <cstdio>
#include <cstdlib>
#include <string>

#include "datasource/memory_source.h"
#include "platform/regional/regional.h"
#include "platform/regional/regional_formats.h"

// glibc's newlocale() leaks the search path it builds from LOCPATH on every
// call; only the code-set test sets LOCPATH.
extern "C" const char* __lsan_default_suppressions() { return "leak:__argz_add_sep\n"; }

namespace zumt::test {
namespace {

constexpr double kTime90507 = (9 * 3600 + 5 * 60 + 7) / 86400.0;

bool LocaleInstalled(const char* name) {
  const locale_t l = newlocale(LC_ALL_MASK, name, static_cast<locale_t>(0));
  if (l) freelocale(l);
  return l != static_cast<locale_t>(0);
}

TEST(CellToText, CasesInTheCLocale) {
  ScopedLocale locale("C");
  const struct {
    Cell cell;
    const char* text;
  } cases[] = {
      {E(), ""},
      {Err(0x2A), ""},
      {T("0606024"), "0606024"},
      {T(" a\r\nb "), " a\r\nb "},
      {N(606024), "606024"},
      {N(-3), "-3"},
      {N(0), "0"},
      {N(-0.0), "0"},
      {N(999999999999999), "999999999999999"},
      {N(1.5), "1,5"},
      {N(-2.25), "-2,25"},
      {N(0.1 + 0.2), "0,3"},
      {N(1.0 / 3), "0,333333333333333"},
      {N(123456.7890123456789), "123456,789012346"},
      {N(0.0001), "0,0001"},
      {N(0.00001), "1E-05"},
      {N(1.5e20), "1,5E+20"},
      {N(1e15), "1E+15"},
      {N(-1.25e-300), "-1,25E-300"},
      {B(true), "True"},
      {B(false), "False"},
      {D(39877), "05.03.2009"},
      {D(39877 + kTime90507), "05.03.2009 9:05:07"},
      {D(39877.9999999), "06.03.2009"},  // rounds to the next midnight
      {D(0.5), "12:00:00"},
      {D(kTime90507), "9:05:07"},
      {D(0), "0:00:00"},
      {D(1), "01.01.1900"},
      {D(59), "28.02.1900"},
      {D(60), "29.02.1900"},  // the day the 1900 system counts though it never was
      {D(61), "01.03.1900"},
      {D(36526), "01.01.2000"},
      {D(36585), "29.02.2000"},
      {D(2958465), "31.12.9999"},
      {D(-1), "-1"},  // no such date: the number
      {D(2958466), "2958466"},
  };
  for (const auto& c : cases) EXPECT_EQ(sql::CellToText(c.cell), c.text) << c.cell.number;
}

TEST(Regional, FormatsPerLocale) {
  const struct {
    const char* locale;
    const char* date;      // 2009-03-05
    const char* morning;   // 9:05:07
    const char* evening;   // 21:05:07
    const char* midnight;  // 0:00:00
    const char* decimal;
  } cases[] = {
      {"C", "05.03.2009", "9:05:07", "21:05:07", "0:00:00", ","},
      {"POSIX", "05.03.2009", "9:05:07", "21:05:07", "0:00:00", ","},
      {"C.UTF-8", "05.03.2009", "9:05:07", "21:05:07", "0:00:00", ","},
      {"xx_NOWHERE.UTF-8", "05.03.2009", "9:05:07", "21:05:07", "0:00:00", ","},
      {"ru_RU.UTF-8", "05.03.2009", "09:05:07", "21:05:07", "00:00:00", ","},
      {"en_US.UTF-8", "03/05/2009", "09:05:07 AM", "09:05:07 PM", "12:00:00 AM", "."},
  };
  for (const auto& c : cases) {
    const std::string name = c.locale;
    if ((name == "ru_RU.UTF-8" || name == "en_US.UTF-8") && !LocaleInstalled(c.locale)) {
      std::printf("locale %s is not installed; skipped\n", c.locale);
      continue;
    }
    ScopedLocale locale(c.locale);
    EXPECT_EQ(regional::FormatDate(2009, 3, 5), c.date) << c.locale;
    EXPECT_EQ(regional::FormatTime(9, 5, 7), c.morning) << c.locale;
    EXPECT_EQ(regional::FormatTime(21, 5, 7), c.evening) << c.locale;
    EXPECT_EQ(regional::FormatTime(0, 0, 0), c.midnight) << c.locale;
    EXPECT_EQ(regional::DecimalSeparator(), c.decimal) << c.locale;
    EXPECT_EQ(sql::CellToText(N(2.5)), std::string("2") + c.decimal + "5") << c.locale;
  }
}

TEST(Regional, LocaleVariablesInOrder) {
  if (!LocaleInstalled("en_US.UTF-8")) GTEST_SKIP() << "en_US.UTF-8 is not installed";
  ScopedEnv all("LC_ALL", nullptr), time("LC_TIME", "en_US.UTF-8"), numeric("LC_NUMERIC", "C"),
      lang("LANG", "ru_RU.UTF-8");
  EXPECT_EQ(regional::FormatDate(2009, 3, 5), "03/05/2009");
  EXPECT_EQ(regional::DecimalSeparator(), ",");
  {
    ScopedEnv empty("LC_ALL", "");  // an empty variable counts as unset
    EXPECT_EQ(regional::FormatDate(2009, 3, 5), "03/05/2009");
  }
  ScopedEnv noTime("LC_TIME", nullptr), enLang("LANG", "en_US.UTF-8"), noNumeric("LC_NUMERIC", nullptr);
  EXPECT_EQ(regional::FormatTime(13, 0, 0), "01:00:00 PM");
  EXPECT_EQ(regional::DecimalSeparator(), ".");
  ScopedEnv cAll("LC_ALL", "C");
  EXPECT_EQ(regional::FormatTime(13, 0, 0), "13:00:00");
}

// Locale data in a code set other than UTF-8 arrives as UTF-8. Builds a
// Greek ISO-8859-7 locale (AM/PM "πμ"/"μμ") in a scratch directory; skipped
// where the locale sources or localedef are missing.
TEST(Regional, LocaleDataInAnotherCodeSetIsConverted) {
  const std::string dir = std::string(ZUMT_BINARY_DIR) + "/datasource_locales";
  const std::string command = "mkdir -p '" + dir + "' && localedef -i el_GR -f ISO-8859-7 '" + dir +
                              "/el_GR.ISO-8859-7' >/dev/null 2>&1";
  if (std::system(command.c_str()) != 0) GTEST_SKIP() << "cannot build el_GR.ISO-8859-7 with localedef";
  ScopedEnv path("LOCPATH", dir.c_str());
  ScopedLocale locale("el_GR.ISO-8859-7");
  EXPECT_EQ(regional::FormatTime(9, 5, 7), "09:05:07 πμ");
  EXPECT_EQ(regional::FormatTime(21, 5, 7), "09:05:07 μμ");
  EXPECT_EQ(regional::FormatDate(2009, 3, 5), "05/03/2009");
}

// Time layouts of locales that may not be installed here, from their formats.
TEST(Regional, TimeLayoutFromFormat) {
  const struct {
    const char* format;
    const char* ampm;
    const char* separator;
    bool leadingZero, twelveHour, designatorFirst;
  } cases[] = {
      {"%H:%M:%S", "", ":", true, false, false},     {"%T", "", ":", true, false, false},
      {"%k.%M.%S", "", ".", false, false, false},    {"%-H:%M:%S", "", ":", false, false, false},
      {"%r", "%I:%M:%S %p", ":", true, true, false}, {"%r", "", ":", true, true, false},
      {"%l:%M:%S %p", "", ":", false, true, false},  {"%p %I:%M:%S", "", ":", true, true, true},
      {"%Hh%Mm%Ss", "", "h", true, false, false},    {"%OH:%OM", "", ":", true, false, false},
      {"no hour", "", ":", false, false, false},
  };
  for (const auto& c : cases) {
    const regional::TimeLayout l = regional::ParseTimeLayout(c.format, c.ampm);
    EXPECT_EQ(l.separator, c.separator) << c.format;
    EXPECT_EQ(l.leadingZero, c.leadingZero) << c.format;
    EXPECT_EQ(l.twelveHour, c.twelveHour) << c.format;
    EXPECT_EQ(l.designatorFirst, c.designatorFirst) << c.format;
  }
}

TEST(Regional, CurrentDateAndTimeHaveTheRegionalShape) {
  ScopedLocale locale("C");
  // dd.mm.yyyy and H:MM:SS, with the fields in range.
  const std::string date = regional::CurrentDate(), time = regional::CurrentTime();
  int day = 0, month = 0, year = 0, hour = -1, minute = -1, second = -1;
  char rest = 0;
  ASSERT_EQ(date.size(), 10u) << date;
  EXPECT_EQ(std::sscanf(date.c_str(), "%2d.%2d.%4d%c", &day, &month, &year, &rest), 3) << date;
  EXPECT_TRUE(day >= 1 && day <= 31 && month >= 1 && month <= 12 && year >= 2000) << date;
  EXPECT_EQ(std::sscanf(time.c_str(), "%2d:%2d:%2d%c", &hour, &minute, &second, &rest), 3) << time;
  EXPECT_EQ(time.size(), hour < 10 ? 7u : 8u) << time;
  EXPECT_TRUE(hour >= 0 && hour < 24 && minute >= 0 && minute < 60 && second >= 0 && second < 61) << time;
}

}  // namespace
}  // namespace zumt::test
