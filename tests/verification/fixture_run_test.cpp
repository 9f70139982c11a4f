// The run over real fixture workbooks, through the workbook data source.
#include <gtest/gtest.h>
#include <stdlib.h>

#include "verification/fixture_entries.h"
#include "verification/verification_run.h"

namespace zumt {
namespace {

using namespace expect;

class Paths : public DocumentList {
 public:
  explicit Paths(std::vector<std::string> paths) : paths_(std::move(paths)) {}
  std::size_t Count() const override { return paths_.size(); }
  std::string Path(std::size_t i) const override { return paths_.at(i); }
  bool Checked(std::size_t) const override { return true; }

 private:
  std::vector<std::string> paths_;
};

class FixtureRunTest : public ::testing::Test {
 protected:
  void SetUp() override {
    setenv("LC_ALL", "C", 1);
    services_.ShellOpen = [this](const std::string& path, ShowState) { opened_.push_back(path); };
    services_.ShowMessage = [this](const std::string& text) { opened_.push_back("message: " + text); };
  }
  std::string report() const { return dir_ / "Errors.txt"; }
  TempDir dir_{"fixture-run"};
  RunServices services_;
  std::vector<std::string> opened_;
};

TEST_F(FixtureRunTest, EditionsAcceptTheirOwnCodes) {
  const std::vector<std::string> list = {FixturePath("form_b_only.xls"), FixturePath("form_failed.xls")};
  {
    VerificationCore core(EditionB(), report());
    const RunSummary summary = RunVerification(core, Paths(list), services_);
    EXPECT_EQ(ReadReport(report()),
              RecognisedEntry(list[0], EditionBFormBody()) + RecognisedEntry(list[1], StandardFormBody()));
    EXPECT_EQ(summary.withFailedChecks, 2);
    EXPECT_FALSE(core.FormConnection().IsOpen());
  }
  VerificationCore core(EditionA(), report());
  const RunSummary summary = RunVerification(core, Paths(list), services_);
  EXPECT_EQ(ReadReport(report()), UnknownEntry(list[0]) + RecognisedEntry(list[1], StandardFormBody()));
  EXPECT_EQ(summary.unknown, 1);
  EXPECT_EQ(opened_, (std::vector<std::string>{report(), report()}));
}

TEST_F(FixtureRunTest, AWorkbookWithoutTCheckEndsTheRun) {
  const std::vector<std::string> list = {FixturePath("form_clean.xls"), FixturePath("form_no_t_check.xls"),
                                         FixturePath("form_failed.xls")};
  VerificationCore core(EditionA(), report());
  std::string message;
  try {
    RunVerification(core, Paths(list), services_);
  } catch (const std::exception& e) {
    message = e.what();
  }
  EXPECT_NE(message, "");
  const std::string first = RecognisedEntry(list[0], CleanFormBody());
  const std::string bytes = ReadReport(report());
  EXPECT_EQ(bytes.substr(0, first.size()), first);
  EXPECT_EQ(bytes.find("form_failed"), std::string::npos);
  EXPECT_TRUE(opened_.empty());
  // The report is released: a new run writes it again.
  RunVerification(core, Paths({list[0]}), services_);
  EXPECT_EQ(ReadReport(report()), first);
}

}  // namespace
}  // namespace zumt
