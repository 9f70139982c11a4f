#pragma once

#include <string>

namespace zumt::regional {

// Regional formats of the user's locale, looked up afresh on every call
// (LC_ALL, then the category variable, then LANG). The C/POSIX locale gets
// the Russian formats: 05.03.2009, 9:05:07 and a "," decimal separator.

// The short date, e.g. "05.03.2009" (ru_RU, C) or "03/05/2009" (en_US).
std::string FormatDate(int year, int month, int day);

// Hour, two-digit minutes and two-digit seconds joined by the regional time
// separator; a leading zero on the hour only where the locale writes one; a
// 12-hour clock with its AM/PM designator where the locale uses one.
std::string FormatTime(int hour, int minute, int second);

// The regional decimal separator ("," in ru_RU and C, "." in en_US).
std::string DecimalSeparator();

// Fresh readings of the local clock, formatted as above.
std::string CurrentDate();
std::string CurrentTime();

}  // namespace zumt::regional
