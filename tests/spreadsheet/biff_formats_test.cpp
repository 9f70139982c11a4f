// Which number formats make a number a date or a time.
#include "platform/spreadsheet/biff_formats.h"

#include <gtest/gtest.h>

namespace zumt::sheet::biff {
namespace {

TEST(DateFormats, BuiltinIds) {
  for (int id : {14, 22, 27, 36, 45, 47, 50, 58}) EXPECT_TRUE(IsBuiltinDateFormat(id)) << id;
  for (int id : {0, 1, 13, 23, 26, 37, 44, 48, 49, 59, 164}) EXPECT_FALSE(IsBuiltinDateFormat(id)) << id;
}

TEST(DateFormats, CustomStrings) {
  const struct {
    const char* format;
    bool date;
  } cases[] = {
      {"DD.MM.YYYY", true},
      {"HH:MM:SS", true},
      {"DD\" день \"MM\" месяц \"YYYY", true},
      {"[$-419]D MMMM YYYY", true},
      {"[h]:mm:ss", true},
      {"[mm]:ss", true},
      {"[ss]", true},
      {"General", false},
      {"@", false},
      {"0.00%", false},
      {"#,##0.00\"р.\"", false},
      {"0\" days\"", false},   // letters inside quotes do not count
      {"\\d\\a\\y 0", false},  // nor escaped ones
      {"[Red]0.00;[Blue]-0.00", false},
      {"0.00E+00", false},
      {"_(* #,##0_);_(* (#,##0)", false},
  };
  for (const auto& c : cases) EXPECT_EQ(IsDateFormatString(c.format), c.date) << c.format;
}

}  // namespace
}  // namespace zumt::sheet::biff
