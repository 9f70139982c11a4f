#pragma once
// Expected report entries as Windows-1251 bytes, and reading a report with
// its date and time readings replaced by "<DATE>" and "<TIME>" (after the
// pattern of each has been checked).

#include <iconv.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <initializer_list>
#include <iterator>
#include <regex>
#include <stdexcept>
#include <string>
#include <vector>

namespace zumt::expect {

// The program's own lines, spelt out byte by byte.
inline const std::string kFile = "\xD4\xE0\xE9\xEB: ";  // "Файл: "
inline const std::string kDate = "\xC4\xE0\xF2\xE0: ";  // "Дата: "
inline const std::string kDone =                        // "Проверка завершена: "
    "\xCF\xF0\xEE\xE2\xE5\xF0\xEA\xE0 \xE7\xE0\xE2\xE5\xF0\xF8\xE5\xED\xE0: ";
inline const std::string kStars(66, '*');
inline const std::string kUnknown =  // "***      Ошибка №1: Неизвестный документ!!!      ***"
    "***      \xCE\xF8\xE8\xE1\xEA\xE0 \xB9"
    "1: \xCD\xE5\xE8\xE7\xE2\xE5\xF1\xF2\xED\xFB\xE9 \xE4\xEE\xEA\xF3\xEC\xE5\xED\xF2!!!      ***";

// UTF-8 to Windows-1251 through iconv directly (not the program's converter).
inline std::string Cp1251(const std::string& utf8) {
  iconv_t cd = iconv_open("CP1251", "UTF-8");
  if (cd == reinterpret_cast<iconv_t>(-1)) throw std::runtime_error("iconv");
  std::string out(utf8.size() * 2 + 1, '\0');
  char* in = const_cast<char*>(utf8.data());
  std::size_t inLeft = utf8.size(), outLeft = out.size();
  char* o = out.data();
  const std::size_t r = iconv(cd, &in, &inLeft, &o, &outLeft);
  iconv_close(cd);
  if (r == static_cast<std::size_t>(-1)) throw std::runtime_error("test text not in Windows-1251: " + utf8);
  out.resize(out.size() - outLeft);
  return out;
}

inline std::string Line(const std::string& cp1251) { return cp1251 + "\r\n"; }

inline std::string Head(const std::string& pathUtf8) {
  return Line(kFile + Cp1251(pathUtf8)) + Line(kDate + "<DATE>   <TIME>");
}
inline std::string Tail() { return Line(kDone + "<TIME>.") + "\r\n\r\n\r\n"; }

inline std::string UnknownEntry(const std::string& pathUtf8) {
  return Head(pathUtf8) + Line(kStars) + Line(kUnknown) + Line(kStars) + Tail();
}

// Lines 3 on of a recognised entry, in UTF-8 ("" is an empty line).
inline std::string RecognisedEntry(const std::string& pathUtf8, const std::vector<std::string>& body) {
  std::string entry = Head(pathUtf8);
  for (const std::string& line : body) entry += Line(Cp1251(line));
  return entry + Tail();
}

inline std::string ReadBytes(const std::filesystem::path& path) {
  std::ifstream in(path, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

// The report with every date and time reading replaced by a placeholder.
// Only readings in the expected places and of the expected form (Russian
// formats: the tests run in the C locale) are replaced.
inline std::string Normalized(const std::string& bytes) {
  static const std::regex date("(\r\n|^)(" + kDate +
                               ")[0-9]{2}\\.[0-9]{2}\\.[0-9]{4}   [0-9]{1,2}:[0-9]{2}:[0-9]{2}\r\n");
  static const std::regex done("(\r\n|^)(" + kDone + ")[0-9]{1,2}:[0-9]{2}:[0-9]{2}\\.\r\n");
  std::string s = std::regex_replace(bytes, date, "$1$2<DATE>   <TIME>\r\n");
  return std::regex_replace(s, done, "$1$2<TIME>.\r\n");
}

inline std::string ReadReport(const std::filesystem::path& path) { return Normalized(ReadBytes(path)); }

// A private temporary directory, removed with its contents.
class TempDir {
 public:
  explicit TempDir(const std::string& tag) {
    std::string pattern = (std::filesystem::temp_directory_path() / ("zumt-" + tag + "-XXXXXX")).string();
    if (!mkdtemp(pattern.data())) throw std::runtime_error("mkdtemp");
    path_ = pattern;
  }
  ~TempDir() {
    std::error_code ec;
    std::filesystem::permissions(path_, std::filesystem::perms::owner_all, ec);
    std::filesystem::remove_all(path_, ec);
  }
  const std::filesystem::path& path() const { return path_; }
  std::string operator/(const std::string& name) const { return (path_ / name).string(); }

 private:
  std::filesystem::path path_;
};

}  // namespace zumt::expect
