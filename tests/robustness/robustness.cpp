// Opens every file under the given directories in a child process of its
// own, reads every table the workbook defines, and reports per file:
//   read    the workbook was read (with the number of tables)
//   error   a clean SpreadsheetError (with its message)
//   FAIL    a crash, another exception, a time-out or too much memory
// Exit status 0 when no file failed. Usage:
//   robustness [--seconds N] [--memory-mb N] DIR...
#include <poll.h>
#include <signal.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <string>
#include <vector>

#include "platform/spreadsheet/workbook.h"

namespace fs = std::filesystem;

namespace {

// In the child: read the workbook and write one status line to `fd`.
int ReadOne(const std::string& path, int fd) {
  std::string line;
  int code = 0;
  try {
    auto workbook = zumt::sheet::Workbook::Open(path);
    const auto names = workbook->TableNames();
    std::size_t rows = 0, clean = 0;
    std::string firstError;
    for (const std::string& name : names) {
      try {
        rows += workbook->ReadTable(name).rows.size();
      } catch (const zumt::sheet::SpreadsheetError& e) {
        ++clean;
        if (firstError.empty()) firstError = e.what();
      }
    }
    line = "read    " + std::to_string(names.size()) + " tables, " + std::to_string(rows) + " rows";
    if (clean) line += " (" + std::to_string(clean) + " tables rejected: " + firstError + ")";
  } catch (const zumt::sheet::SpreadsheetError& e) {
    line = std::string("error   ") + e.what();
  } catch (const std::exception& e) {
    line = std::string("FAIL    unexpected exception: ") + e.what();
    code = 3;
  }
  line += '\n';
  if (write(fd, line.data(), line.size()) < 0) return 4;
  return code;
}

struct Outcome {
  bool failed;
  std::string text;
};

Outcome Check(const std::string& path, int seconds, long memoryMb) {
  int pipeFd[2];
  if (pipe(pipeFd) != 0) return {true, "FAIL    pipe: " + std::string(std::strerror(errno))};
  const pid_t pid = fork();
  if (pid < 0) return {true, "FAIL    fork: " + std::string(std::strerror(errno))};
  if (pid == 0) {
    close(pipeFd[0]);
    _exit(ReadOne(path, pipeFd[1]));
  }
  close(pipeFd[1]);
  std::string text;
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(seconds);
  bool timedOut = false;
  for (;;) {
    const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - std::chrono::steady_clock::now());
    if (left.count() <= 0) {
      timedOut = true;
      break;
    }
    pollfd p{pipeFd[0], POLLIN, 0};
    if (poll(&p, 1, static_cast<int>(left.count())) <= 0) continue;
    char buf[4096];
    const ssize_t n = read(pipeFd[0], buf, sizeof buf);
    if (n <= 0) break;
    text.append(buf, static_cast<std::size_t>(n));
  }
  close(pipeFd[0]);
  if (timedOut) kill(pid, SIGKILL);
  int status = 0;
  rusage usage{};
  wait4(pid, &status, 0, &usage);
  const long peakMb = usage.ru_maxrss / 1024;
  if (!text.empty() && text.back() == '\n') text.pop_back();
  if (timedOut) return {true, "FAIL    no answer within " + std::to_string(seconds) + " s"};
  if (WIFSIGNALED(status)) return {true, "FAIL    killed by signal " + std::to_string(WTERMSIG(status))};
  if (!WIFEXITED(status) || WEXITSTATUS(status) != 0)
    return {true, text.empty() ? "FAIL    exit status " + std::to_string(WEXITSTATUS(status)) : text};
  if (peakMb > memoryMb)
    return {true, "FAIL    peak memory " + std::to_string(peakMb) + " MB over the limit; " + text};
  return {text.rfind("FAIL", 0) == 0, text};
}

}  // namespace

int main(int argc, char** argv) {
  int seconds = 20;
  long memoryMb = 512;
  std::vector<std::string> dirs;
  for (int i = 1; i < argc; ++i) {
    const std::string arg = argv[i];
    if (arg == "--seconds" && i + 1 < argc) {
      seconds = std::max(1, std::atoi(argv[++i]));
    } else if (arg == "--memory-mb" && i + 1 < argc) {
      memoryMb = std::max(1L, std::atol(argv[++i]));
    } else {
      dirs.push_back(arg);
    }
  }
  if (dirs.empty()) {
    std::fprintf(stderr, "usage: robustness [--seconds N] [--memory-mb N] DIR...\n");
    return 2;
  }
  std::vector<std::string> files;
  for (const std::string& dir : dirs) {
    std::error_code ec;
    for (fs::recursive_directory_iterator it(dir, ec), end; !ec && it != end; it.increment(ec)) {
      const std::string ext = it->path().extension().string();
      if (it->is_regular_file() && ext != ".md" && ext != ".py" && ext != ".sh" && ext != ".txt" && it->path().filename() != ".keep")
        files.push_back(it->path().string());
    }
    if (ec) std::fprintf(stderr, "robustness: %s: %s\n", dir.c_str(), ec.message().c_str());
  }
  std::sort(files.begin(), files.end());
  int read = 0, errors = 0, failures = 0;
  for (const std::string& file : files) {
    const Outcome outcome = Check(file, seconds, memoryMb);
    std::printf("%s  %s\n", outcome.text.c_str(), file.c_str());
    if (outcome.failed) ++failures;
    else if (outcome.text.rfind("read", 0) == 0) ++read;
    else ++errors;
  }
  std::printf("%zu files: %d read, %d clean errors, %d failures\n", files.size(), read, errors, failures);
  return failures == 0 ? 0 : 1;
}
