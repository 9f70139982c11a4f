#include "verification/report_file.h"

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>

#include "platform/text/codepage.h"

namespace zumt {
namespace {

// True when the directory part of `path` exists as a directory.
bool DirectoryExists(const std::string& path) {
  const std::size_t slash = path.rfind('/');
  std::string dir = slash == std::string::npos ? std::string(".") : path.substr(0, slash);
  if (dir.empty()) dir = "/";
  struct stat st {};
  return ::stat(dir.c_str(), &st) == 0 && S_ISDIR(st.st_mode);
}

}  // namespace

std::string ReportErrorMessage(int error, bool appending, const std::string& path) {
  switch (error) {
    case EACCES:
    case EPERM:
    case EROFS:
      return "File access denied";
    case ENOENT:
      // Appending: a missing report, unless its directory is missing too.
      return appending && DirectoryExists(path) ? "File not found" : "Invalid filename";
    case ENOTDIR:
      return "Invalid filename";
    case EMFILE:
    case ENFILE:
      return "Too many open files";
    default:
      return "I/O error " + std::to_string(error);
  }
}

ReportFile::ReportFile(const std::string& path, Mode mode) : path_(path), mode_(mode) {
  // O_NONBLOCK keeps a FIFO without a reader from hanging the open; it is
  // cleared again at once. The truncation waits until the lock is held, so
  // an entry that another instance is writing is not cut short.
  int flags = O_WRONLY | O_CLOEXEC | O_NOCTTY | O_NONBLOCK;
  flags |= mode == Mode::Create ? O_CREAT : O_APPEND;
  do {
    fd_ = ::open(path.c_str(), flags, 0666);
  } while (fd_ < 0 && errno == EINTR);
  if (fd_ < 0) Fail(errno);
  const int status = ::fcntl(fd_, F_GETFL);
  if (status < 0 || ::fcntl(fd_, F_SETFL, status & ~O_NONBLOCK) < 0) Fail(errno);
  // Another writer holding the lock is an error, not a wait.
  int locked;
  do {
    locked = ::flock(fd_, LOCK_EX | LOCK_NB);
  } while (locked < 0 && errno == EINTR);
  if (locked < 0) Fail(errno);
  if (mode == Mode::Create) {
    struct stat st {};
    if (::fstat(fd_, &st) < 0) Fail(errno);
    // Only a regular file can be truncated (a device or FIFO is written as is).
    if (S_ISREG(st.st_mode) && ::ftruncate(fd_, 0) < 0) Fail(errno);
  }
}

ReportFile::~ReportFile() {
  if (fd_ >= 0) ::close(fd_);  // closing also releases the lock
}

void ReportFile::Fail(int error) {
  if (fd_ >= 0) {
    ::close(fd_);
    fd_ = -1;
  }
  throw ReportFileError(ReportErrorMessage(error, mode_ == Mode::Append, path_), error);
}

void ReportFile::WriteAll(const std::string& bytes) {
  if (fd_ < 0) throw ReportFileError("I/O error " + std::to_string(EBADF), EBADF);
  std::size_t done = 0;
  while (done < bytes.size()) {
    const ssize_t n = ::write(fd_, bytes.data() + done, bytes.size() - done);
    if (n < 0) {
      if (errno == EINTR) continue;
      Fail(errno);
    }
    if (n == 0) Fail(EIO);
    done += static_cast<std::size_t>(n);
  }
}

void ReportFile::WriteLine(std::string_view utf8) {
  std::string bytes = text::Utf8ToCp1251(utf8);
  bytes += "\r\n";
  WriteAll(bytes);
}

void ReportFile::Close() {
  if (fd_ < 0) return;
  const int fd = fd_;
  fd_ = -1;
  // close() is not retried on EINTR: the descriptor is gone either way.
  if (::close(fd) < 0) {
    const int error = errno;
    if (error != EINTR) throw ReportFileError(ReportErrorMessage(error, false, path_), error);
  }
}

}  // namespace zumt
