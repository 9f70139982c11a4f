// ShellOpen: hands a path to the desktop's opener (xdg-open) without waiting
// for it. The opener runs in a grandchild in its own session with its
// standard streams on /dev/null; the short-lived child in between is reaped
// at once, so no zombie is left and the opener's outcome is never awaited.
#include "platform/shell/shell_open.h"

#include <fcntl.h>
#include <signal.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <string>
#include <vector>

extern char** environ;

namespace zumt {
namespace {

// The opener's full path from PATH (resolved before forking: the child may
// only make async-signal-safe calls). Empty when it is not installed.
std::string FindOpener() {
  const char* path = std::getenv("PATH");
  std::string dirs = path && *path ? path : "/usr/local/bin:/usr/bin:/bin";
  std::size_t start = 0;
  while (start <= dirs.size()) {
    std::size_t end = dirs.find(':', start);
    if (end == std::string::npos) end = dirs.size();
    // An empty PATH element stands for the current directory.
    const std::string candidate =
        (end > start ? dirs.substr(start, end - start) : std::string(".")) + "/xdg-open";
    struct stat st {};
    if (::stat(candidate.c_str(), &st) == 0 && S_ISREG(st.st_mode) && ::access(candidate.c_str(), X_OK) == 0)
      return candidate;
    start = end + 1;
  }
  return {};
}

}  // namespace

void ShellOpen(const std::string& path, ShowState) {
  if (path.empty()) return;
  const std::string opener = FindOpener();
  if (opener.empty()) return;
  // A relative path that begins with "-" would read as an option.
  const std::string argument = path[0] == '-' ? "./" + path : path;
  std::vector<char*> argv = {const_cast<char*>(opener.c_str()), const_cast<char*>(argument.c_str()), nullptr};

  const pid_t child = ::fork();
  if (child < 0) return;
  if (child == 0) {
    ::setsid();
    const pid_t grandchild = ::fork();
    if (grandchild != 0) ::_exit(0);
    const int null = ::open("/dev/null", O_RDWR);
    if (null >= 0) {
      ::dup2(null, 0);
      ::dup2(null, 1);
      ::dup2(null, 2);
      if (null > 2) ::close(null);
    }
    ::close_range(3, ~0u, 0);  // nothing of ours (report, workbooks) leaks into the opener
    sigset_t none;
    sigemptyset(&none);
    ::sigprocmask(SIG_SETMASK, &none, nullptr);
    ::execve(argv[0], argv.data(), environ);
    ::_exit(127);
  }
  // The child exits as soon as it has forked.
  while (::waitpid(child, nullptr, 0) < 0 && errno == EINTR) {
  }
}

}  // namespace zumt
