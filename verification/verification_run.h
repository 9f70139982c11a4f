#pragma once

#include <cstddef>
#include <functional>
#include <string>

#include "platform/shell/shell_open.h"
#include "verification/verification_core.h"

namespace zumt {

// The run's read-only view of the document list.
class DocumentList {
 public:
  virtual ~DocumentList() = default;
  virtual std::size_t Count() const = 0;
  virtual std::string Path(std::size_t index) const = 0;  // UTF-8, as the list holds it
  virtual bool Checked(std::size_t index) const = 0;
};

// What the run needs of its surroundings.
struct RunServices {
  std::function<void(const std::string& text)> ShowMessage;                 // plain message box
  std::function<void(const std::string& path, ShowState state)> ShellOpen;  // may be empty: nothing is opened
};

// What a run did, for the command-line summary.
struct RunSummary {
  bool wroteReport = false;   // false when it stopped at "Выберите документ для проверки."
  int verified = 0;           // entries written
  int withFailedChecks = 0;   // recognised documents with at least one failed check
  int unknown = 0;            // unknown-document entries
};

inline constexpr const char* kChooseDocumentMessage = "Выберите документ для проверки.";

// The verification run over the marked entries of `list`. Errors raised
// while an entry is written leave this function (the caller shows them).
RunSummary RunVerification(VerificationCore& core, const DocumentList& list, const RunServices& services);

// The directory of the running executable followed by "/Errors.txt".
std::string ReportPath();

// An error's text as the error box shows it: "." is appended when the last
// byte of the message is greater than ".".
std::string ErrorBoxText(const std::string& message);

}  // namespace zumt
