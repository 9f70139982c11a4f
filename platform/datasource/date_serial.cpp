#include "platform/datasource/date_serial.h"

#include <cmath>

namespace zumt::sql {
namespace {

constexpr double kLastSerial = 2958466.0;  // 10000-01-01, the first day past the range

// Proleptic Gregorian date of a count of days since 1970-01-01.
void CivilFromDays(long z, int& year, int& month, int& day) {
  z += 719468;
  const long era = (z >= 0 ? z : z - 146096) / 146097;
  const unsigned doe = static_cast<unsigned>(z - era * 146097);
  const unsigned yoe = (doe - doe / 1460 + doe / 36524 - doe / 146096) / 365;
  const unsigned doy = doe - (365 * yoe + yoe / 4 - yoe / 100);
  const unsigned mp = (5 * doy + 2) / 153;
  day = static_cast<int>(doy - (153 * mp + 2) / 5 + 1);
  month = static_cast<int>(mp < 10 ? mp + 3 : mp - 9);
  year = static_cast<int>(static_cast<long>(yoe) + era * 400 + (month <= 2));
}

}  // namespace

std::optional<DateTimeParts> SplitSerial(double serial) {
  if (!(serial >= 0.0 && serial < kLastSerial)) return std::nullopt;  // also rejects NaN
  const long long total = std::llround(serial * 86400.0);
  long days = static_cast<long>(total / 86400);
  const long seconds = static_cast<long>(total % 86400);
  DateTimeParts parts;
  parts.hasTime = seconds != 0;
  parts.hour = static_cast<int>(seconds / 3600);
  parts.minute = static_cast<int>(seconds / 60 % 60);
  parts.second = static_cast<int>(seconds % 60);
  if (serial < 1.0) return parts;  // a time of day without a date
  if (days >= static_cast<long>(kLastSerial)) days = static_cast<long>(kLastSerial) - 1;
  parts.hasDate = true;
  if (days == 60) {
    parts.year = 1900, parts.month = 2, parts.day = 29;
    return parts;
  }
  // Serial 1 is 1900-01-01, so serial 0 would be 1899-12-31 (25568 days
  // before 1970-01-01); past the fictitious 29 February the count is one ahead.
  const long offset = days < 60 ? days : days - 1;
  CivilFromDays(offset - 25568, parts.year, parts.month, parts.day);
  return parts;
}

}  // namespace zumt::sql
