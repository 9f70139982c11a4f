#include <unistd.h>

#include <string>
#include <vector>

#include "verification/verification_run.h"

namespace zumt {

std::string ReportPath() {
  // readlink does not say whether it truncated: grow until the link fits.
  std::vector<char> buffer(256);
  for (;;) {
    const ssize_t n = ::readlink("/proc/self/exe", buffer.data(), buffer.size());
    if (n < 0) return "Errors.txt";  // no /proc: the current directory stands in
    if (static_cast<std::size_t>(n) < buffer.size()) {
      std::string exe(buffer.data(), static_cast<std::size_t>(n));
      const std::size_t slash = exe.rfind('/');
      if (slash == std::string::npos) return "Errors.txt";
      return exe.substr(0, slash) + "/Errors.txt";  // "/zumt" gives "/Errors.txt"
    }
    if (buffer.size() >= (1u << 16)) return "Errors.txt";
    buffer.resize(buffer.size() * 2);
  }
}

}  // namespace zumt
