#pragma once
// Serial day numbers of the 1900 date system: 1 is 1900-01-01, 61 is
// 1900-03-01, and 60 is the day 1900-02-29 that the 1900 system counts
// although it never was (kept, so a cell holding 60 reads as the workbook
// shows it). The fraction of a day is the time, rounded to whole seconds.

#include <optional>

namespace zumt::sql {

struct DateTimeParts {
  bool hasDate = false;  // false for a pure time (serial below 1)
  int year = 0, month = 0, day = 0;
  bool hasTime = false;  // false when the time rounds to midnight
  int hour = 0, minute = 0, second = 0;
};

// Empty for a serial outside 0 .. 2958465.99999 (up to 9999-12-31).
std::optional<DateTimeParts> SplitSerial(double serial);

}  // namespace zumt::sql
