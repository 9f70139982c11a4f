// Verification: one entry of the report for the document in CurrentFile.
#include <string_view>

#include "platform/regional/regional.h"
#include "verification/report_file.h"
#include "verification/verification_core.h"

namespace zumt {
namespace {

constexpr const char* kAsterisks = "******************************************************************";
constexpr const char* kUnknownDocument = "***      Ошибка №1: Неизвестный документ!!!      ***";
constexpr const char* kNoErrors = "Ошибки в документе не найдены.";

}  // namespace

void VerificationCore::Verification(bool FirstEntry, const std::string& FormCode) {
  LastFailedChecks = 0;
  zumt::ReportFile report(reportPath_,
                          FirstEntry ? zumt::ReportFile::Mode::Create : zumt::ReportFile::Mode::Append);

  report.WriteLine("Файл: " + CurrentFile);
  const std::string date = regional::CurrentDate();  // the date is read first, then the time
  const std::string time = regional::CurrentTime();
  report.WriteLine("Дата: " + date + "   " + time);

  // Every accepted code is seven characters beginning with "0", so it sorts
  // after "0"; the empty code (unreadable document) and "0" (a code outside
  // the edition's list) do not. std::string compares bytes as unsigned.
  const bool recognised = std::string_view(FormCode) > std::string_view("0");
  if (recognised) {
    Query& q = *query_;
    RunQuery(queries::kCaptions);
    if (!q.IsEmpty()) {
      try {
        q.SetFiltered(false);
        q.SetFilter(queries::kTitleFilter);
        q.SetFiltered(true);
        report.WriteLine(q.FieldText("CaptionInForm"));
        q.SetFiltered(false);
        q.SetFilter(queries::kNameFilter);
        q.SetFiltered(true);
        report.WriteLine(q.FieldText("CaptionInForm"));
        q.SetFiltered(false);
        q.SetFilter("");
      } catch (...) {
        // The next query must see all of its rows.
        try {
          q.SetFiltered(false);
          q.SetFilter("");
        } catch (...) {
        }
        throw;
      }
    }

    RunQuery(queries::kFailedChecks);
    if (q.IsEmpty()) {
      report.WriteLine(kNoErrors);
    } else {
      while (!q.Eof()) {
        report.WriteLine(q.FieldText("Name"));
        ++LastFailedChecks;
        q.Next();
      }
    }
    q.Close();
    q.ClearSql();
  } else {
    report.WriteLine(kAsterisks);
    report.WriteLine(kUnknownDocument);
    report.WriteLine(kAsterisks);
  }

  report.WriteLine("Проверка завершена: " + regional::CurrentTime() + ".");
  for (int i = 0; i < 3; ++i) report.WriteLine("");
  report.Close();
}

}  // namespace zumt
