#pragma once

#include <memory>
#include <string>

#include "editions/edition_profile.h"
#include "verification/data_access.h"

namespace zumt {

// The non-visual part of the main window: the one connection and the one
// query of the program, the fields of the last connection attempt, and the
// operations that identify a document and write its report entry. The
// window owns one of these for its whole life; the command-line verifier
// owns one too. All strings are UTF-8; the report is written in Windows-1251.
class VerificationCore {
 public:
  // Reads workbooks through the workbook data source; reports to `reportPath`.
  VerificationCore(const EditionProfile& edition, std::string reportPath);
  // For tests: any connection and query (the query reads through `connection`).
  VerificationCore(const EditionProfile& edition, std::unique_ptr<Connection> connection,
                   std::unique_ptr<Query> query, std::string reportPath);
  ~VerificationCore();

  VerificationCore(const VerificationCore&) = delete;
  VerificationCore& operator=(const VerificationCore&) = delete;

  Connection& FormConnection() { return *connection_; }
  Query& qwData() { return *query_; }
  const EditionProfile& Edition() const { return edition_; }
  const std::string& ReportFile() const { return reportPath_; }

  // Path of the document being verified; printed by Verification.
  std::string CurrentFile;
  // Parts of the last connection attempt; set only by ConnectToForm.
  std::string FormFileName;
  std::string FormDir;
  std::string FormConnectionString;
  // Failed checks that the last Verification listed (0 for an unknown
  // document); the run's summary counts documents with failed checks by it.
  int LastFailedChecks = 0;

  // Opens FormConnection on the workbook at `path`. Never throws.
  bool ConnectToForm(const std::string& path);
  // True when "#" + code + "#" occurs in the edition's accepted codes.
  bool Form_ID_Check(const std::string& code) const;
  // Closes qwData if open, sets its SQL text to `sql` and opens it.
  void RunQuery(const std::string& sql);
  // Appends one report entry for CurrentFile (FirstEntry empties the report
  // first). Throws on any I/O or data-source error.
  void Verification(bool FirstEntry, const std::string& FormCode);

 private:
  const EditionProfile& edition_;
  std::unique_ptr<Connection> connection_;
  std::unique_ptr<Query> query_;
  std::string reportPath_;
};

// The three fixed query texts and the two filters of the workbook contract.
namespace queries {
inline constexpr const char* kFormCode = "Select Val from Data_Adr Where ID_Element = 'P_OKUD'";
inline constexpr const char* kCaptions =
    "Select (Name &  Val) as CaptionInForm, ID_Element from Data_Adr";
inline constexpr const char* kTitleFilter = " ID_Element = 'P_FormName'";
inline constexpr const char* kNameFilter = " ID_Element = 'P_Name'";
inline constexpr const char* kFailedChecks =
    "Select ID_Form, ID_Section, ID_Rule, ID_Check, Name, Result from T_Check where Result>0 "
    "Order by ID_Form, ID_Section, ID_Rule, ID_Check";
}  // namespace queries

}  // namespace zumt
