// zumt-verify: the verification run without a window. Every WORKBOOK is a
// checked entry of the document list, in the order given; the report goes
// to --report FILE (default ./Errors.txt) and nothing is handed to the shell.
#include <cerrno>
#include <cstdio>
#include <exception>
#include <string>
#include <string_view>
#include <vector>

#include "editions/edition_profile.h"
#include "verification/verification_core.h"
#include "verification/verification_run.h"

namespace {

constexpr const char* kUsage =
    "Использование: zumt-verify [--edition A|B] [--report ФАЙЛ] КНИГА...\n"
    "Проверяет каждую книгу (.xls, .xlt) по её контрольным соотношениям и записывает\n"
    "отчёт в ФАЙЛ (по умолчанию ./Errors.txt, кодировка Windows-1251).\n"
    "  --edition A|B   редакция программы (по умолчанию A)\n"
    "  --report ФАЙЛ   путь отчёта\n"
    "  --help          эта справка\n"
    "Код завершения: 0 - ошибок нет, 1 - есть ошибки в документах или неизвестные\n"
    "документы, 2 - ошибка запуска или проверки.\n";

// Every workbook of the command line, each one checked.
class ArgumentList : public zumt::DocumentList {
 public:
  explicit ArgumentList(std::vector<std::string> paths) : paths_(std::move(paths)) {}
  std::size_t Count() const override { return paths_.size(); }
  std::string Path(std::size_t index) const override { return paths_[index]; }
  bool Checked(std::size_t) const override { return true; }

 private:
  std::vector<std::string> paths_;
};

int UsageError(const std::string& message) {
  std::fprintf(stderr, "zumt-verify: %s\n%s", message.c_str(), kUsage);
  return 2;
}

}  // namespace

int main(int argc, char** argv) {
  const zumt::EditionProfile* edition = &zumt::EditionA();
  std::string report = "./Errors.txt";
  std::vector<std::string> workbooks;
  bool options = true;
  for (int i = 1; i < argc; ++i) {
    const std::string_view arg = argv[i];
    if (options && arg == "--") {
      options = false;
    } else if (options && (arg == "--help" || arg == "-h")) {
      std::fputs(kUsage, stdout);
      return 0;
    } else if (options && (arg == "--edition" || arg.starts_with("--edition="))) {
      std::string_view value;
      if (arg == "--edition") {
        if (++i == argc) return UsageError("после --edition нужна редакция A или B");
        value = argv[i];
      } else {
        value = arg.substr(10);
      }
      if (value == "A" || value == "a") {
        edition = &zumt::EditionA();
      } else if (value == "B" || value == "b") {
        edition = &zumt::EditionB();
      } else {
        return UsageError("неизвестная редакция \"" + std::string(value) + "\" (нужна A или B)");
      }
    } else if (options && (arg == "--report" || arg.starts_with("--report="))) {
      if (arg == "--report") {
        if (++i == argc) return UsageError("после --report нужен путь отчёта");
        report = argv[i];
      } else {
        report = std::string(arg.substr(9));
      }
      if (report.empty()) return UsageError("пустой путь отчёта");
    } else if (options && arg.size() > 1 && arg[0] == '-') {
      return UsageError("неизвестный параметр \"" + std::string(arg) + "\"");
    } else if (arg.find('/') == std::string_view::npos) {
      // A bare file name has no directory part, from which the form's
      // connection takes the folder: name the current one.
      workbooks.push_back("./" + std::string(arg));
    } else {
      workbooks.emplace_back(arg);
    }
  }

  if (workbooks.empty()) {
    std::fprintf(stderr, "%s\n", zumt::kChooseDocumentMessage);
    return 2;
  }

  try {
    zumt::VerificationCore core(*edition, report);
    const ArgumentList list(std::move(workbooks));
    bool stopped = false;
    zumt::RunServices services;
    services.ShowMessage = [&stopped](const std::string& text) {
      std::fprintf(stderr, "%s\n", text.c_str());
      stopped = true;
    };
    const zumt::RunSummary summary = zumt::RunVerification(core, list, services);
    if (stopped || !summary.wroteReport) return 2;
    std::printf("Проверено документов: %d, с ошибками: %d, неизвестных: %d. Отчёт: %s\n", summary.verified,
                summary.withFailedChecks, summary.unknown, report.c_str());
    if (std::fflush(stdout) != 0) {
      std::fprintf(stderr, "%s\n", zumt::ErrorBoxText("I/O error " + std::to_string(errno)).c_str());
      return 2;
    }
    return summary.withFailedChecks > 0 || summary.unknown > 0 ? 1 : 0;
  } catch (const std::exception& e) {
    std::fprintf(stderr, "%s\n", zumt::ErrorBoxText(e.what()).c_str());
  } catch (...) {
    std::fprintf(stderr, "%s\n", zumt::ErrorBoxText("Unknown error").c_str());
  }
  return 2;
}
