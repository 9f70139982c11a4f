#pragma once

#include <stdexcept>
#include <string>
#include <string_view>

namespace zumt {

// A report file that could not be created, opened, locked, written or
// closed. The message names the failure ("File access denied", "File not
// found", "Invalid filename", "Too many open files", "I/O error <errno>").
class ReportFileError : public std::runtime_error {
 public:
  ReportFileError(const std::string& message, int error) : std::runtime_error(message), error_(error) {}
  int Errno() const { return error_; }

 private:
  int error_;
};

// The report file while one entry is written: opened, held with an
// exclusive advisory lock (other programs may read it, but a writer that
// locks too is refused), and closed again when the object goes away. Every
// line is written through at once and every system call is checked.
class ReportFile {
 public:
  enum class Mode { Create, Append };

  // Create: the file is created, or truncated to zero length once it is
  // locked. Append: the file must exist; lines go to its end.
  ReportFile(const std::string& path, Mode mode);
  ~ReportFile();

  ReportFile(const ReportFile&) = delete;
  ReportFile& operator=(const ReportFile&) = delete;

  // Writes the UTF-8 text converted to Windows-1251, then CR LF.
  void WriteLine(std::string_view utf8);
  // Closes the file, reporting a failing close; the destructor closes
  // silently when this was not called (an error is already on its way).
  void Close();

 private:
  void WriteAll(const std::string& bytes);
  [[noreturn]] void Fail(int error);

  std::string path_;
  Mode mode_;
  int fd_ = -1;
};

// The message of a report-file error; `appending` tells a missing report
// ("File not found") from a missing directory ("Invalid filename").
std::string ReportErrorMessage(int error, bool appending, const std::string& path);

}  // namespace zumt
