#include "verification/verification_run.h"

#include <string_view>

namespace zumt {
namespace {

void Show(const RunServices& services, const std::string& text) {
  if (services.ShowMessage) services.ShowMessage(text);
}

// The form code of the document in core.CurrentFile: the accepted code, "0"
// for a code outside the edition's list, or "" when the document cannot be
// opened or read. Every error of the identification is dropped here.
std::string IdentifyDocument(VerificationCore& core) {
  try {
    if (!core.ConnectToForm(core.CurrentFile)) return {};
    core.RunQuery(queries::kFormCode);
    Query& q = core.qwData();
    // A missing row or a null value fails to convert and ends up below.
    const std::string code = q.FieldValue("Val").ToText();
    return core.Form_ID_Check(code) ? q.FieldText(0) : std::string("0");
  } catch (...) {
    return {};
  }
}

}  // namespace

RunSummary RunVerification(VerificationCore& core, const DocumentList& list, const RunServices& services) {
  RunSummary summary;
  const std::size_t count = list.Count();
  if (count == 0) {
    Show(services, kChooseDocumentMessage);
    return summary;
  }

  bool FirstEntry = true;
  std::size_t unchecked = 0;
  for (std::size_t i = 0; i < count; ++i) {
    if (!list.Checked(i)) {
      // Only when every entry is unchecked does the count reach the size of
      // the list, at the last entry: then nothing has been written.
      if (++unchecked == count) {
        Show(services, kChooseDocumentMessage);
        return summary;
      }
      continue;
    }
    core.CurrentFile = list.Path(i);
    const std::string FormCode = IdentifyDocument(core);
    core.Verification(FirstEntry, FormCode);  // errors leave the run here

    summary.wroteReport = true;
    ++summary.verified;
    if (std::string_view(FormCode) > std::string_view("0")) {
      if (core.LastFailedChecks > 0) ++summary.withFailedChecks;
    } else {
      ++summary.unknown;
    }
    FirstEntry = false;
    core.FormConnection().Close();
  }

  core.qwData().Close();
  core.FormConnection().Close();
  if (services.ShellOpen) services.ShellOpen(core.ReportFile(), ShowState::Normal);
  return summary;
}

}  // namespace zumt
