// The verification run over a document list, with in-memory workbooks.
#include <gtest/gtest.h>
#include <stdlib.h>

#include "verification/expected_report.h"
#include "verification/fake_data.h"
#include "verification/verification_run.h"

namespace zumt {
namespace {

using expect::ReadReport;
using expect::RecognisedEntry;
using expect::UnknownEntry;
using fake::Result;

class Entries : public DocumentList {
 public:
  Entries(std::initializer_list<std::pair<std::string, bool>> entries) : entries_(entries) {}
  std::size_t Count() const override { return entries_.size(); }
  std::string Path(std::size_t i) const override { return entries_.at(i).first; }
  bool Checked(std::size_t i) const override { return entries_.at(i).second; }

 private:
  std::vector<std::pair<std::string, bool>> entries_;
};

fake::Workbook Form(fake::Value code, std::vector<fake::Value> failed = {}) {
  fake::Workbook book;
  book.results[queries::kFormCode] = Result{{"Val"}, {{code}}};
  book.results[queries::kCaptions] =
      Result{{"CaptionInForm", "ID_Element"}, {{"Форма", "P_FormName"}, {"Имя", "P_Name"}}};
  Result checks{{"ID_Form", "ID_Section", "ID_Rule", "ID_Check", "Name", "Result"}, {}};
  for (auto& name : failed) checks.rows.push_back({"1", "1", "1", "1", name, "1"});
  book.results[queries::kFailedChecks] = checks;
  return book;
}

std::vector<std::string> Body(std::vector<std::string> failed) {
  std::vector<std::string> body = {"Форма", "Имя"};
  if (failed.empty()) failed.push_back("Ошибки в документе не найдены.");
  body.insert(body.end(), failed.begin(), failed.end());
  return body;
}

class RunTest : public ::testing::Test {
 protected:
  RunTest() {
    setenv("LC_ALL", "C", 1);
    library_["good.xls"] = Form("0606024", {"ошибка 1", "ошибка 2"});
    library_["clean.xls"] = Form("0000001");
    library_["foreign.xls"] = Form("1234567");
    library_["blank.xls"] = Form("0606024 ");  // not trimmed: not accepted
    library_["nullcode.xls"] = Form(std::nullopt);
    library_["nocoderow.xls"].results[queries::kFormCode] = Result{{"Val"}, {}};
    library_["noval.xls"].results[queries::kFormCode] = Result{{"Value"}, {{"0606024"}}};
    library_["nochecks.xls"] = Form("0606021");
    library_["nochecks.xls"].results.erase(queries::kFailedChecks);
    auto connection = std::make_unique<fake::FakeConnection>(library_);
    connection_ = connection.get();
    auto query = std::make_unique<fake::FakeQuery>(*connection);
    query_ = query.get();
    core_ = std::make_unique<VerificationCore>(EditionA(), std::move(connection), std::move(query), report());
    services_.ShowMessage = [this](const std::string& text) { messages_.push_back(text); };
    services_.ShellOpen = [this](const std::string& path, ShowState state) {
      opened_.push_back(path);
      EXPECT_EQ(state, ShowState::Normal);
    };
  }
  std::string report() const { return dir_ / "Errors.txt"; }
  RunSummary Run(const Entries& list) { return RunVerification(*core_, list, services_); }

  expect::TempDir dir_{"run"};
  fake::Library library_;
  fake::FakeConnection* connection_;
  fake::FakeQuery* query_;
  std::unique_ptr<VerificationCore> core_;
  RunServices services_;
  std::vector<std::string> messages_, opened_;
};

TEST_F(RunTest, NothingToVerifyShowsTheMessageOnceAndLeavesTheReport) {
  const Entries empty{}, unchecked{{"/d/good.xls", false}, {"/d/clean.xls", false}, {"/d/good.xls", false}};
  for (const Entries* list : {&empty, &unchecked}) {
    { std::ofstream(report()) << "previous run"; }
    messages_.clear();
    const RunSummary summary = Run(*list);
    EXPECT_EQ(messages_, std::vector<std::string>{"Выберите документ для проверки."});
    EXPECT_TRUE(opened_.empty());
    EXPECT_FALSE(summary.wroteReport);
    EXPECT_EQ(expect::ReadBytes(report()), "previous run");
  }
}

TEST_F(RunTest, EveryCheckedDocumentGetsAnEntryInListOrder) {
  { std::ofstream(report()) << "previous run"; }
  const RunSummary summary = Run({{"/d/missing.xls", false},
                                  {"/d/good.xls", true},
                                  {"/d/clean.xls", false},
                                  {"/d/clean.xls", true},
                                  {"/d/good.xls", true},  // listed twice: two entries
                                  {"/d/cannot-open.xls", true},
                                  {"/d/foreign.xls", true},
                                  {"/d/blank.xls", true},
                                  {"/d/nullcode.xls", true},
                                  {"/d/nocoderow.xls", true},
                                  {"/d/noval.xls", true},
                                  {"/d/clean.xls", false}});
  std::string expected = RecognisedEntry("/d/good.xls", Body({"ошибка 1", "ошибка 2"})) +
                         RecognisedEntry("/d/clean.xls", Body({})) +
                         RecognisedEntry("/d/good.xls", Body({"ошибка 1", "ошибка 2"}));
  for (const char* unknown : {"cannot-open", "foreign", "blank", "nullcode", "nocoderow", "noval"})
    expected += UnknownEntry(std::string("/d/") + unknown + ".xls");
  EXPECT_EQ(ReadReport(report()), expected);
  EXPECT_TRUE(messages_.empty());
  EXPECT_EQ(opened_, std::vector<std::string>{report()});
  EXPECT_TRUE(summary.wroteReport);
  EXPECT_EQ(summary.verified, 9);
  EXPECT_EQ(summary.withFailedChecks, 2);
  EXPECT_EQ(summary.unknown, 6);
  EXPECT_FALSE(connection_->IsOpen());
  EXPECT_FALSE(query_->IsOpen());
}

TEST_F(RunTest, TheOnlyCheckedEntryEmptiesTheReport) {
  { std::ofstream(report()) << "previous run"; }
  Run({{"/d/good.xls", false}, {"/d/clean.xls", true}, {"/d/good.xls", false}});
  EXPECT_EQ(ReadReport(report()), RecognisedEntry("/d/clean.xls", Body({})));
  EXPECT_EQ(opened_.size(), 1u);
}

TEST_F(RunTest, AnErrorWhileWritingEndsTheRunWithoutOpeningTheReport) {
  EXPECT_THROW(Run({{"/d/clean.xls", true}, {"/d/nochecks.xls", true}, {"/d/good.xls", true}}), DataError);
  const std::string bytes = ReadReport(report());
  const std::string first = RecognisedEntry("/d/clean.xls", Body({}));
  EXPECT_EQ(bytes.substr(0, first.size()), first);  // the first entry stays complete
  EXPECT_EQ(bytes.find("good.xls"), std::string::npos);
  EXPECT_TRUE(opened_.empty());

  // A report that cannot be written ends the run the same way.
  core_ = std::make_unique<VerificationCore>(EditionA(), std::make_unique<fake::FakeConnection>(library_),
                                             nullptr, dir_ / "no/such/dir/Errors.txt");
  try {
    Run({{"/d/cannot-open.xls", true}});
    ADD_FAILURE() << "no error";
  } catch (const std::exception& e) {
    EXPECT_EQ(ErrorBoxText(e.what()), "Invalid filename.");
  }
  EXPECT_TRUE(opened_.empty());
}

TEST(ErrorBoxText, AddsAFullStopAfterALetterOrDigitOnly) {
  const std::pair<std::string, std::string> cases[] = {
      {"File not found", "File not found."},
      {"I/O error 28", "I/O error 28."},
      {"Done.", "Done."},
      {"Stop!", "Stop!"},
      {"(T_Check)", "(T_Check)"},
      {"a-", "a-"},
      {"Ошибка", "Ошибка."},
      {"", ""},
      {"path/", "path/."},  // "/" sorts after "."
  };
  for (const auto& [message, shown] : cases) EXPECT_EQ(ErrorBoxText(message), shown) << message;
}

TEST(ReportPath, IsErrorsTxtBesideTheExecutable) {
  const std::string exe = std::filesystem::read_symlink("/proc/self/exe").string();
  EXPECT_EQ(ReportPath(), exe.substr(0, exe.rfind('/')) + "/Errors.txt");
}

}  // namespace
}  // namespace zumt
