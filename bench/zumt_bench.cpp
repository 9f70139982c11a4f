// zumt-bench: times our verification job in-process, the way the real run
// does it (VerificationCore: ConnectToForm, the form-code query, Verification
// writing the entry to a temporary Errors.txt; RunVerification for a whole
// document list), and the time that merely reading the same file's bytes
// takes.
//
//   zumt-bench measure REPEATS WORKBOOK   one JSON line: the time of every
//       repetition of the job, of every read of the bytes (from the page
//       cache, and after dropping the file from it), and the peak
//       resident memory of this process (run it as a child of its own so the
//       peak belongs to that one workbook)
//   zumt-bench many REPEATS WORKBOOK...   one run over all the workbooks as
//       one document list, REPEATS times; one JSON line with each run's time
//   zumt-bench idle                       the peak memory of a process that
//       verifies nothing (the baseline of the peaks above)
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <chrono>
#include <ctime>
#include <cstdio>
#include <cstdlib>
#include <exception>
#include <filesystem>
#include <fstream>
#include <memory>
#include <string>
#include <vector>

#include "editions/edition_profile.h"
#include "verification/verification_core.h"
#include "verification/verification_run.h"

namespace {

using Clock = std::chrono::steady_clock;

class PathList : public zumt::DocumentList {
 public:
  explicit PathList(std::vector<std::string> paths) : paths_(std::move(paths)) {}
  std::size_t Count() const override { return paths_.size(); }
  std::string Path(std::size_t index) const override { return paths_[index]; }
  bool Checked(std::size_t) const override { return true; }

 private:
  std::vector<std::string> paths_;
};

double Seconds(Clock::time_point from) { return std::chrono::duration<double>(Clock::now() - from).count(); }

// CPU time of this process in seconds: unlike the wall clock, it does not
// count the time spent waiting for a core on a busy machine.
double CpuSeconds() {
  timespec ts{};
  ::clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &ts);
  return static_cast<double>(ts.tv_sec) + static_cast<double>(ts.tv_nsec) * 1e-9;
}

// Peak resident set of this process in KiB (VmHWM).
long PeakKib() {
  std::ifstream status("/proc/self/status");
  std::string line;
  while (std::getline(status, line)) {
    if (line.rfind("VmHWM:", 0) == 0) return std::strtol(line.c_str() + 6, nullptr, 10);
  }
  return -1;
}

// Reads the whole file into a fresh buffer, as a program that loads it would.
std::size_t ReadBytes(const std::string& path) {
  const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
  if (fd < 0) throw std::runtime_error("cannot open " + path);
  struct stat st {};
  ::fstat(fd, &st);
  const auto size = static_cast<std::size_t>(st.st_size);
  std::unique_ptr<char[]> buffer(new char[size ? size : 1]);
  std::size_t done = 0;
  while (done < size) {
    const ssize_t n = ::read(fd, buffer.get() + done, size - done);
    if (n <= 0) break;
    done += static_cast<std::size_t>(n);
  }
  ::close(fd);
  return done;
}

std::string TempReport() {
  std::string dir = (std::filesystem::temp_directory_path() / "zumt-bench-XXXXXX").string();
  if (!::mkdtemp(dir.data())) throw std::runtime_error("cannot create a temporary directory");
  return dir + "/Errors.txt";
}

void RemoveReport(const std::string& report) {
  std::error_code ec;
  std::filesystem::remove_all(std::filesystem::path(report).parent_path(), ec);
}

void PrintTimes(const char* key, const std::vector<double>& times) {
  std::printf("\"%s\": [", key);
  for (std::size_t i = 0; i < times.size(); ++i) std::printf(i ? ", %.9f" : "%.9f", times[i]);
  std::printf("]");
}

// One document of a run, step by step as the run takes it: connect,
// identify (form code query and the edition's list), write the entry (the
// captions and failed-checks queries), close. Returns the form code.
std::string VerifyOne(zumt::VerificationCore& core, const std::string& path, bool firstEntry) {
  core.CurrentFile = path;
  std::string code;
  try {
    if (core.ConnectToForm(path)) {
      core.RunQuery(zumt::queries::kFormCode);
      const std::string value = core.qwData().FieldValue("Val").ToText();
      code = core.Form_ID_Check(value) ? core.qwData().FieldText(0) : std::string("0");
    }
  } catch (...) {
    code.clear();
  }
  core.Verification(firstEntry, code);
  core.FormConnection().Close();
  return code;
}

int Measure(int repeats, const std::string& path) {
  const std::string report = TempReport();
  zumt::VerificationCore core(zumt::EditionA(), report);
  std::vector<double> job, cpu, read, cold;
  // The first entry of a run empties the report; the measured ones append,
  // as every later document of a run does (emptying a report that was just
  // written costs the file system milliseconds, once per run).
  std::string code = VerifyOne(core, path, true);
  for (int i = 0; i < repeats; ++i) {
    const double c0 = CpuSeconds();
    const auto t0 = Clock::now();
    code = VerifyOne(core, path, false);
    job.push_back(Seconds(t0));
    cpu.push_back(CpuSeconds() - c0);
  }
  core.qwData().Close();
  const long peak = PeakKib();  // before the byte reads, whose buffer is not ours
  for (int i = 0; i < repeats; ++i) {
    auto t0 = Clock::now();
    ReadBytes(path);
    read.push_back(Seconds(t0));
  }
  // Dropping the cache is timed outside: only the read from disk counts.
  for (int i = 0; i < repeats; ++i) {
    const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd >= 0) {
      ::fdatasync(fd);
      ::posix_fadvise(fd, 0, 0, POSIX_FADV_DONTNEED);
      ::close(fd);
    }
    const auto t0 = Clock::now();
    ReadBytes(path);
    cold.push_back(Seconds(t0));
  }
  ReadBytes(path);  // leave the file cached for whoever comes next
  const auto reportSize = std::filesystem::file_size(report);
  RemoveReport(report);
  std::printf("{\"file\": \"%s\", ", path.c_str());
  PrintTimes("times", job);
  std::printf(", ");
  PrintTimes("cpu", cpu);
  std::printf(", ");
  PrintTimes("read_bytes", read);
  std::printf(", ");
  PrintTimes("read_cold", cold);
  std::printf(", \"peak_kib\": %ld, \"code\": \"%s\", \"failed_checks\": %d, \"report_bytes\": %ju}\n", peak,
              code.c_str(), core.LastFailedChecks, static_cast<std::uintmax_t>(reportSize));
  return code > std::string("0") ? 0 : 1;
}

int Many(int repeats, std::vector<std::string> paths) {
  const std::string report = TempReport();
  zumt::VerificationCore core(zumt::EditionA(), report);
  const std::size_t count = paths.size();
  const PathList list(std::move(paths));
  const zumt::RunServices services;
  std::vector<double> runs;
  zumt::RunSummary summary;
  for (int i = 0; i < repeats; ++i) {
    const auto t0 = Clock::now();
    summary = zumt::RunVerification(core, list, services);
    runs.push_back(Seconds(t0));
  }
  RemoveReport(report);
  std::printf("{\"documents\": %zu, ", count);
  PrintTimes("times", runs);
  std::printf(", \"verified\": %d, \"unknown\": %d, \"peak_kib\": %ld}\n", summary.verified, summary.unknown,
              PeakKib());
  return summary.unknown == 0 && summary.verified == static_cast<int>(count) ? 0 : 1;
}

}  // namespace

int main(int argc, char** argv) {
  try {
    const std::string mode = argc > 1 ? argv[1] : "";
    if (mode == "idle") {
      std::printf("{\"peak_kib\": %ld}\n", PeakKib());
      return 0;
    }
    if ((mode == "measure" && argc == 4) || (mode == "many" && argc >= 4)) {
      const int repeats = std::atoi(argv[2]);
      if (repeats < 1) throw std::runtime_error("REPEATS must be at least 1");
      if (mode == "measure") return Measure(repeats, argv[3]);
      return Many(repeats, std::vector<std::string>(argv + 3, argv + argc));
    }
    std::fprintf(stderr,
                 "usage: zumt-bench measure REPEATS WORKBOOK | many REPEATS WORKBOOK... | idle\n");
    return 2;
  } catch (const std::exception& e) {
    std::fprintf(stderr, "zumt-bench: %s\n", e.what());
    return 2;
  }
}
