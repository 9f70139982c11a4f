// The report entry that Verification writes, compared byte for byte.
#include <gtest/gtest.h>
#include <stdlib.h>

#include "verification/expected_report.h"
#include "verification/fake_data.h"
#include "verification/verification_core.h"

namespace zumt {
namespace {

using expect::ReadReport;
using expect::RecognisedEntry;
using expect::UnknownEntry;
using fake::Result;

Result Captions(std::vector<std::vector<fake::Value>> rows) {
  return Result{{"CaptionInForm", "ID_Element"}, std::move(rows)};
}
Result FailedChecks(std::vector<fake::Value> names) {
  Result r{{"ID_Form", "ID_Section", "ID_Rule", "ID_Check", "Name", "Result"}, {}};
  int n = 0;
  for (auto& name : names) r.rows.push_back({"1", "1", "1", std::to_string(++n), name, "1"});
  return r;
}
fake::Workbook Book(Result captions, Result failed) {
  fake::Workbook book;
  book.results[queries::kCaptions] = std::move(captions);
  book.results[queries::kFailedChecks] = std::move(failed);
  return book;
}

class ReportTest : public ::testing::Test {
 protected:
  void SetUp() override { setenv("LC_ALL", "C", 1); }
  // A core whose connection is open on `book` (as the run leaves it).
  VerificationCore& Core(const fake::Workbook& book, const std::string& path = "/data/Форма 1.xls") {
    library_["form.xls"] = book;
    auto connection = std::make_unique<fake::FakeConnection>(library_);
    auto query = std::make_unique<fake::FakeQuery>(*connection);
    connection->SetConnectionString("DSN=DataWela;DBQ=/d/form.xls;");
    connection->Open();
    query_ = query.get();
    core_ = std::make_unique<VerificationCore>(EditionA(), std::move(connection), std::move(query), report());
    core_->CurrentFile = path;
    return *core_;
  }
  std::string report() const { return dir_ / "Errors.txt"; }

  expect::TempDir dir_{"report"};
  fake::Library library_;
  fake::FakeQuery* query_ = nullptr;
  std::unique_ptr<VerificationCore> core_;
};

const Result kCaptionRows = Captions({{"0606024", "P_OKUD"},
                                      {"Форма № 1-ЗУ", "P_FormName"},
                                      {"Сведения о земле", "P_Name"},
                                      {"Второе название", "P_Name"}});

struct EntryCase {
  const char* what;
  Result captions;
  Result failed;
  std::vector<std::string> body;
  int failedCount;
};

TEST_F(ReportTest, RecognisedDocumentEntries) {
  const EntryCase cases[] = {
      {"failed checks in the order of the query, first caption rows only",
       kCaptionRows,
       FailedChecks({"Строка 01 >= строки 02", "Графа 3 = сумме граф 4-6"}),
       {"Форма № 1-ЗУ", "Сведения о земле", "Строка 01 >= строки 02", "Графа 3 = сумме граф 4-6"},
       2},
      {"no failed check",
       kCaptionRows,
       FailedChecks({}),
       {"Форма № 1-ЗУ", "Сведения о земле", "Ошибки в документе не найдены."},
       0},
      {"no caption rows at all: neither caption line",
       Captions({}),
       FailedChecks({}),
       {"Ошибки в документе не найдены."},
       0},
      {"missing P_FormName and P_Name rows: empty lines",
       Captions({{"0606024", "P_OKUD"}}),
       FailedChecks({"Проверка"}),
       {"", "", "Проверка"},
       1},
      {"element ids match whatever their case, a null caption is an empty line",
       Captions({{std::nullopt, "p_formname"}, {"Имя", "P_NAME"}}),
       FailedChecks({"x"}),
       {"", "Имя", "x"},
       1},
      {"a wording with a line break, an empty and a null wording",
       kCaptionRows,
       FailedChecks({"первая\r\nвторая", "", std::nullopt, "конец\n"}),
       {"Форма № 1-ЗУ", "Сведения о земле", "первая\r\nвторая", "", "", "конец\n"},
       4},
  };
  for (const EntryCase& c : cases) {
    SCOPED_TRACE(c.what);
    VerificationCore& core = Core(Book(c.captions, c.failed));
    core.Verification(true, "0606024");
    EXPECT_EQ(ReadReport(report()), RecognisedEntry("/data/Форма 1.xls", c.body));
    EXPECT_EQ(core.LastFailedChecks, c.failedCount);
    // qwData is left closed, without SQL text and without a filter.
    EXPECT_FALSE(query_->IsOpen());
    EXPECT_EQ(query_->SqlText(), "");
    EXPECT_FALSE(query_->Filtered());
    EXPECT_EQ(query_->Filter(), "");
  }
}

TEST_F(ReportTest, CharactersOutsideWindows1251BecomeQuestionMarks) {
  VerificationCore& core = Core(
      Book(Captions({{"Σ 中 ✓ ok", "P_FormName"}, {"€", "P_Name"}}), FailedChecks({})), "/data/日本.xls");
  core.Verification(true, "0000001");
  EXPECT_EQ(ReadReport(report()),
            RecognisedEntry("/data/??.xls", {"? ? ? ok", "€", "Ошибки в документе не найдены."}));
}

TEST_F(ReportTest, UnknownDocumentIsTheBannerAndLeavesTheQueryAlone) {
  for (const char* code : {"", "0"}) {
    SCOPED_TRACE(std::string("code '") + code + "'");
    VerificationCore& core = Core(Book(kCaptionRows, FailedChecks({"x"})));
    core.RunQuery(queries::kCaptions);  // as identification may have left it
    query_->Next();
    core.Verification(true, code);
    const std::string bytes = expect::ReadBytes(report());
    // Exactly nine lines, byte for byte.
    EXPECT_EQ(expect::Normalized(bytes), UnknownEntry("/data/Форма 1.xls"));
    EXPECT_EQ(
        expect::Normalized(bytes),
        "\xD4\xE0\xE9\xEB: /data/\xD4\xEE\xF0\xEC\xE0 1.xls\r\n"
        "\xC4\xE0\xF2\xE0: <DATE>   <TIME>\r\n" +
            std::string(66, '*') + "\r\n" + expect::kUnknown + "\r\n" + std::string(66, '*') +
            "\r\n"
            "\xCF\xF0\xEE\xE2\xE5\xF0\xEA\xE0 \xE7\xE0\xE2\xE5\xF0\xF8\xE5\xED\xE0: <TIME>.\r\n\r\n\r\n\r\n");
    EXPECT_TRUE(query_->IsOpen());
    EXPECT_EQ(query_->SqlText(), queries::kCaptions);
    EXPECT_EQ(query_->FieldText("ID_Element"), "P_FormName");
    EXPECT_EQ(core.LastFailedChecks, 0);
  }
}

TEST_F(ReportTest, RecognitionIsAByteWiseComparisonWithZero) {
  struct Case {
    const char* code;
    bool recognised;
  } cases[] = {{"0606024", true}, {"00", true}, {"1", true},  {"\xD0\x90", true},  // a UTF-8 letter
               {"0", false},      {"", false},  {"/", false}, {" 0606024", false}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.code);
    VerificationCore& core = Core(Book(Captions({}), FailedChecks({})));
    core.Verification(true, c.code);
    const std::string bytes = ReadReport(report());
    EXPECT_EQ(bytes.find(expect::kUnknown) == std::string::npos, c.recognised);
  }
}

TEST_F(ReportTest, EntriesAppendAndTheFirstEntryOfALaterRunTruncates) {
  VerificationCore& core = Core(Book(kCaptionRows, FailedChecks({"a"})), "/a.xls");
  core.Verification(true, "0606024");
  core.CurrentFile = "/b.xls";
  core.Verification(false, "");
  const std::string first = RecognisedEntry("/a.xls", {"Форма № 1-ЗУ", "Сведения о земле", "a"});
  EXPECT_EQ(ReadReport(report()), first + UnknownEntry("/b.xls"));

  core.CurrentFile = "/c.xls";
  core.Verification(true, "0");
  EXPECT_EQ(ReadReport(report()), UnknownEntry("/c.xls"));
}

TEST_F(ReportTest, AnErrorWhileFilteringSwitchesFilteringOffFirst) {
  for (const char* refused : {"P_FormName", "P_Name"}) {
    SCOPED_TRACE(refused);
    VerificationCore& core = Core(Book(kCaptionRows, FailedChecks({})));
    query_->failOnFilterValue = refused;
    EXPECT_THROW(core.Verification(true, "0606024"), DataError);
    EXPECT_FALSE(query_->Filtered());
    EXPECT_EQ(query_->Filter(), "");
  }
}

TEST_F(ReportTest, DataErrorsLeaveVerification) {
  // A workbook without T_Check: the failed-checks query is refused.
  fake::Workbook noChecks;
  noChecks.results[queries::kCaptions] = kCaptionRows;
  // A captions result without the CaptionInForm column.
  fake::Workbook noCaption = Book(Result{{"X", "ID_Element"}, {{"a", "P_FormName"}}}, FailedChecks({}));
  // A failed-checks result without Name.
  fake::Workbook noName = Book(kCaptionRows, Result{{"ID_Form", "Result"}, {{"1", "1"}}});
  for (const fake::Workbook* book : {&noChecks, &noCaption, &noName}) {
    VerificationCore& core = Core(*book);
    EXPECT_THROW(core.Verification(true, "0606024"), DataError);
    EXPECT_FALSE(query_->Filtered());
  }
}

}  // namespace
}  // namespace zumt
