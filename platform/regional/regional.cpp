// Placeholder until the regional formats land.
#include "platform/regional/regional.h"

namespace zumt::regional {
std::string FormatDate(int, int, int) { return "01.01.2000"; }
std::string FormatTime(int, int, int) { return "0:00:00"; }
std::string DecimalSeparator() { return ","; }
std::string CurrentDate() { return "01.01.2000"; }
std::string CurrentTime() { return "0:00:00"; }
}  // namespace zumt::regional
