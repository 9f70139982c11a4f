// ShellOpen starts the desktop opener detached and does not wait for it.
#include "platform/shell/shell_open.h"

#include <gtest/gtest.h>
#include <stdlib.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <thread>

#include "verification/expected_report.h"

namespace zumt {
namespace {

TEST(ShellOpen, StartsTheOpenerDetachedWithoutWaiting) {
  expect::TempDir dir("shell");
  const std::string out = dir / "seen";
  // A stand-in opener that records its argument, its session and its
  // standard streams, then lingers for a while.
  {
    std::ofstream script(dir / "xdg-open");
    script << "#!/bin/sh\n"
           << "streams=$(readlink /proc/$$/fd/0 /proc/$$/fd/1 /proc/$$/fd/2)\n"
           << "{ printf '%s\\n' \"$1\"; ps -o sid= -p $$ | tr -d ' '; echo $$;"
           << " echo \"$streams\"; } > '" << out << ".tmp'\n"
           << "mv '" << out << ".tmp' '" << out << "'\nsleep 2\n";
  }
  ::chmod((dir / "xdg-open").c_str(), 0755);
  const char* oldPath = std::getenv("PATH");
  const std::string saved = oldPath ? oldPath : "";
  setenv("PATH", (dir.path().string() + ":" + saved).c_str(), 1);

  for (const std::string& path : {std::string("/tmp/Errors.txt"), std::string("-n.txt")}) {
    SCOPED_TRACE(path);
    std::filesystem::remove(out);
    const auto start = std::chrono::steady_clock::now();
    ShellOpen(path, ShowState::Normal);
    EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::milliseconds(1500));
    // No child of ours is left, running or as a zombie.
    EXPECT_EQ(::waitpid(-1, nullptr, WNOHANG), -1);
    EXPECT_EQ(errno, ECHILD);
    for (int i = 0; i < 100 && !std::filesystem::exists(out); ++i)
      std::this_thread::sleep_for(std::chrono::milliseconds(50));
    std::ifstream seen(out);
    std::string argument, sid, pid, in, outStream, err;
    std::getline(seen, argument);
    std::getline(seen, sid);
    std::getline(seen, pid);
    std::getline(seen, in);
    std::getline(seen, outStream);
    std::getline(seen, err);
    EXPECT_EQ(argument, path[0] == '-' ? "./" + path : path);  // never read as an option
    EXPECT_NE(sid, std::to_string(::getsid(0)));               // a session of its own
    EXPECT_EQ(in, "/dev/null");
    EXPECT_EQ(outStream, "/dev/null");
    EXPECT_EQ(err, "/dev/null");
  }
  setenv("PATH", saved.c_str(), 1);
}

TEST(ShellOpen, AMissingOpenerIsIgnored) {
  const char* oldPath = std::getenv("PATH");
  const std::string saved = oldPath ? oldPath : "";
  setenv("PATH", "/nonexistent", 1);
  ShellOpen("/tmp/Errors.txt", ShowState::Restore);
  setenv("PATH", saved.c_str(), 1);
  EXPECT_EQ(::waitpid(-1, nullptr, WNOHANG), -1);
}

}  // namespace
}  // namespace zumt
