// The report file: its error messages, the lock, and release on every path.
#include "verification/report_file.h"

#include <dirent.h>
#include <fcntl.h>
#include <gtest/gtest.h>
#include <stdlib.h>
#include <sys/file.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <functional>

#include "verification/expected_report.h"
#include "verification/fake_data.h"
#include "verification/verification_core.h"

namespace zumt {
namespace {

namespace fs = std::filesystem;

// The message of the error an unknown-document entry raises, or "" when it
// is written. Runs in a child process when `unprivileged` or `maxFiles` ask
// for a changed identity or limit (root writes where others may not).
std::string EntryError(const std::string& report, bool first, bool unprivileged = false, int maxFiles = 0) {
  auto attempt = [&]() -> std::string {
    fake::Library none;
    VerificationCore core(EditionA(), std::make_unique<fake::FakeConnection>(none), nullptr, report);
    core.CurrentFile = "/x.xls";
    try {
      core.Verification(first, "");
      return "";
    } catch (const ReportFileError& e) {
      return e.what();
    }
  };
  if (!unprivileged && maxFiles == 0) return attempt();
  int pipe[2];
  if (::pipe(pipe) != 0) return "pipe failed";
  const pid_t pid = ::fork();
  if (pid == 0) {
    ::close(pipe[0]);
    if (unprivileged && ::geteuid() == 0 && (::setgid(65534) != 0 || ::setuid(65534) != 0)) ::_exit(3);
    if (maxFiles > 0) {
      rlimit limit{static_cast<rlim_t>(maxFiles), static_cast<rlim_t>(maxFiles)};
      if (::setrlimit(RLIMIT_NOFILE, &limit) != 0) ::_exit(4);
      // Use up every descriptor below the limit.
      while (::open("/dev/null", O_RDONLY) >= 0) {
      }
    }
    const std::string message = attempt();
    if (::write(pipe[1], message.data(), message.size()) < 0) ::_exit(5);
    ::_exit(0);
  }
  ::close(pipe[1]);
  std::string message;
  char buffer[256];
  ssize_t n;
  while ((n = ::read(pipe[0], buffer, sizeof buffer)) > 0)
    message.append(buffer, static_cast<std::size_t>(n));
  ::close(pipe[0]);
  int status = 0;
  ::waitpid(pid, &status, 0);
  if (!WIFEXITED(status) || WEXITSTATUS(status) != 0) return "child failed " + std::to_string(status);
  return message;
}

int OpenDescriptors() {
  int count = 0;
  DIR* dir = ::opendir("/proc/self/fd");
  while (dir && ::readdir(dir)) ++count;
  if (dir) ::closedir(dir);
  return count;
}

class ReportFileTest : public ::testing::Test {
 protected:
  void SetUp() override { setenv("LC_ALL", "C", 1); }
  expect::TempDir dir_{"reportfile"};
};

TEST_F(ReportFileTest, ErrorMessagesNameTheFailure) {
  const std::string tmp = dir_.path().string();
  ::mkdir((tmp + "/ro").c_str(), 0555);
  { std::ofstream(tmp + "/readonly.txt") << "old"; }
  ::chmod((tmp + "/readonly.txt").c_str(), 0444);
  { std::ofstream(tmp + "/plain"); }
  ::mkdir((tmp + "/adir").c_str(), 0777);
  ::chmod(tmp.c_str(), 0777);  // the unprivileged child must reach inside
  ::symlink("/dev/full", (tmp + "/full.txt").c_str());

  struct Case {
    const char* what;
    std::string report;
    bool first;
    bool unprivileged;
    std::string message;
  } cases[] = {
      {"missing directory, create", tmp + "/missing/Errors.txt", true, false, "Invalid filename"},
      {"missing directory, append", tmp + "/missing/Errors.txt", false, false, "Invalid filename"},
      {"a file where a directory should be", tmp + "/plain/Errors.txt", true, false, "Invalid filename"},
      {"report vanished before appending", tmp + "/Errors.txt", false, false, "File not found"},
      {"read-only report, create", tmp + "/readonly.txt", true, true, "File access denied"},
      {"read-only report, append", tmp + "/readonly.txt", false, true, "File access denied"},
      {"directory without write permission", tmp + "/ro/Errors.txt", true, true, "File access denied"},
      {"the report is a directory", tmp + "/adir", true, false, "I/O error 21"},
      {"full disk, create", tmp + "/full.txt", true, false, "I/O error 28"},
      {"full disk, append", tmp + "/full.txt", false, false, "I/O error 28"},
      {"a writable report", tmp + "/ok.txt", true, false, ""},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    const int before = OpenDescriptors();
    EXPECT_EQ(EntryError(c.report, c.first, c.unprivileged), c.message);
    EXPECT_EQ(OpenDescriptors(), before);  // nothing left open on any path
  }
  // Refused attempts change nothing.
  EXPECT_EQ(expect::ReadBytes(tmp + "/readonly.txt"), "old");
}

TEST_F(ReportFileTest, NoHandleLeftIsTooManyOpenFiles) {
#if defined(__SANITIZE_ADDRESS__)
  // The sanitizers' runtime opens descriptors of its own while checking
  // dynamic types, so a process without any free gives false reports.
  GTEST_SKIP() << "runs in the build without sanitizers";
#endif
  EXPECT_EQ(EntryError(dir_ / "Errors.txt", true, false, 16), "Too many open files");
}

TEST_F(ReportFileTest, ErrnoWithoutAMessageOfItsOwnIsIOErrorN) {
  // Errors that are awkward to cause for real.
  EXPECT_EQ(ReportErrorMessage(EROFS, false, "/x"), "File access denied");
  EXPECT_EQ(ReportErrorMessage(EPERM, true, "/x"), "File access denied");
  EXPECT_EQ(ReportErrorMessage(ENFILE, true, "/x"), "Too many open files");
  EXPECT_EQ(ReportErrorMessage(EIO, false, "/x"), "I/O error 5");
}

TEST_F(ReportFileTest, AnotherWriterHoldingTheLockIsRefusedAndLeftIntact) {
  const std::string report = dir_ / "Errors.txt";
  { std::ofstream(report) << "entry being written"; }
  const int other = ::open(report.c_str(), O_WRONLY);
  ASSERT_GE(other, 0);
  ASSERT_EQ(::flock(other, LOCK_EX | LOCK_NB), 0);
  EXPECT_EQ(EntryError(report, true), "I/O error " + std::to_string(EWOULDBLOCK));
  EXPECT_EQ(expect::ReadBytes(report), "entry being written");  // not truncated under the lock
  ::close(other);
  EXPECT_EQ(EntryError(report, true), "");
}

TEST_F(ReportFileTest, TheLockIsReleasedWhenAnEntryFailsHalfWay) {
  const std::string report = dir_ / "Errors.txt";
  fake::Library library;
  library["form.xls"].results[queries::kCaptions] = fake::Result{{"CaptionInForm", "ID_Element"}, {}};
  // No failed-checks result: the entry fails half-way.
  auto connection = std::make_unique<fake::FakeConnection>(library);
  auto query = std::make_unique<fake::FakeQuery>(*connection);
  connection->SetConnectionString("DBQ=/form.xls;");
  connection->Open();
  VerificationCore core(EditionA(), std::move(connection), std::move(query), report);
  core.CurrentFile = "/form.xls";
  const int before = OpenDescriptors();
  EXPECT_THROW(core.Verification(true, "0606024"), DataError);
  EXPECT_EQ(OpenDescriptors(), before);
  const int probe = ::open(report.c_str(), O_WRONLY);
  ASSERT_GE(probe, 0);
  EXPECT_EQ(::flock(probe, LOCK_EX | LOCK_NB), 0);
  ::close(probe);
}

}  // namespace
}  // namespace zumt
