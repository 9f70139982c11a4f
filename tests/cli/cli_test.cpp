// zumt-verify end to end: exit status, summary, messages and the report.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include "verification/expected_report.h"
#include "verification/fixture_entries.h"
#include "verification/verification_run.h"

extern char** environ;

namespace zumt {
namespace {

namespace fs = std::filesystem;
using expect::ReadReport;
using expect::RecognisedEntry;
using expect::UnknownEntry;

struct Outcome {
  int status = -1;
  std::string out, err;
};

// Runs zumt-verify in `cwd` under the C locale.
Outcome Verify(const std::vector<std::string>& args, const fs::path& cwd) {
  std::vector<std::string> all = {std::string(ZUMT_BINARY_DIR) + "/zumt-verify"};
  all.insert(all.end(), args.begin(), args.end());
  std::vector<char*> argv;
  for (std::string& a : all) argv.push_back(a.data());
  argv.push_back(nullptr);
  std::vector<std::string> env = {"LC_ALL=C", "PATH=/usr/bin:/bin"};
  for (char** e = environ; *e; ++e)
    if (std::string_view(*e).starts_with("ASAN_OPTIONS=") ||
        std::string_view(*e).starts_with("UBSAN_OPTIONS="))
      env.emplace_back(*e);
  std::vector<char*> envp;
  for (std::string& e : env) envp.push_back(e.data());
  envp.push_back(nullptr);

  const std::string out = (cwd / ".stdout").string(), err = (cwd / ".stderr").string();
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_addchdir_np(&actions, cwd.c_str());
  posix_spawn_file_actions_addopen(&actions, 0, "/dev/null", O_RDONLY, 0);
  posix_spawn_file_actions_addopen(&actions, 1, out.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
  posix_spawn_file_actions_addopen(&actions, 2, err.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
  Outcome result;
  pid_t pid;
  if (posix_spawn(&pid, argv[0], &actions, nullptr, argv.data(), envp.data()) == 0) {
    int status = 0;
    waitpid(pid, &status, 0);
    result.status = WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
  }
  posix_spawn_file_actions_destroy(&actions);
  result.out = expect::ReadBytes(out);
  result.err = expect::ReadBytes(err);
  fs::remove(out);
  fs::remove(err);
  return result;
}

std::string Fixture(const std::string& name) { return std::string(ZUMT_FIXTURES_DIR) + "/" + name; }

class CliTest : public ::testing::Test {
 protected:
  expect::TempDir dir_{"cli"};
};

TEST_F(CliTest, UsageAndItsErrors) {
  struct Case {
    std::vector<std::string> args;
    int status;
    std::string outStart, errStart;
  } cases[] = {
      {{}, 2, "", "Выберите документ для проверки.\n"},
      {{"--edition", "B"}, 2, "", "Выберите документ для проверки.\n"},
      {{"--help"}, 0, "Использование: zumt-verify", ""},
      {{"--edition", "C", "x.xls"}, 2, "", "zumt-verify: неизвестная редакция"},
      {{"--edition"}, 2, "", "zumt-verify: после --edition"},
      {{"--report"}, 2, "", "zumt-verify: после --report"},
      {{"--bogus", "x.xls"}, 2, "", "zumt-verify: неизвестный параметр"},
  };
  for (const Case& c : cases) {
    const Outcome o = Verify(c.args, dir_.path());
    SCOPED_TRACE(o.err);
    EXPECT_EQ(o.status, c.status);
    EXPECT_TRUE(o.out.starts_with(c.outStart)) << o.out;
    EXPECT_TRUE(o.err.starts_with(c.errStart)) << o.err;
    if (c.status == 0) {
      EXPECT_EQ(o.err, "");
    }
    if (c.outStart.empty()) {
      EXPECT_EQ(o.out, "");
    }
  }
  EXPECT_FALSE(fs::exists(dir_ / "Errors.txt"));
}

TEST_F(CliTest, UnreadableDocumentsAreUnknownInTheDefaultReport) {
  { std::ofstream(dir_ / "Errors.txt") << "previous run"; }
  fs::create_directory(dir_ / "sub");
  const std::string notWorkbook = Fixture("not_workbook.xls");
  const Outcome o = Verify({"sub/missing.xls", notWorkbook, "--", "-dash.xls"}, dir_.path());
  EXPECT_EQ(o.status, 1);
  EXPECT_EQ(o.out, "Проверено документов: 3, с ошибками: 0, неизвестных: 3. Отчёт: ./Errors.txt\n");
  EXPECT_EQ(o.err, "");
  EXPECT_EQ(ReadReport(dir_ / "Errors.txt"),
            UnknownEntry("sub/missing.xls") + UnknownEntry(notWorkbook) + UnknownEntry("./-dash.xls"));
}

TEST_F(CliTest, ABareFileNameIsReadFromTheCurrentFolder) {
  fs::copy_file(expect::FixturePath("form_clean.xls"), dir_ / "form_clean.xls");
  const Outcome o = Verify({"form_clean.xls"}, dir_.path());
  EXPECT_EQ(o.status, 0) << o.err;
  EXPECT_EQ(ReadReport(dir_ / "Errors.txt"), RecognisedEntry("./form_clean.xls", expect::CleanFormBody()));
}

TEST_F(CliTest, AReportThatCannotBeWrittenEndsTheRun) {
  const std::pair<std::string, std::string> cases[] = {
      {dir_ / "no/such/Errors.txt", "Invalid filename.\n"},
      {"/dev/full", "I/O error 28.\n"},  // a full disk is an error, not a short report
  };
  for (const auto& [report, message] : cases) {
    const Outcome o = Verify({"--report", report, "/x.xls"}, dir_.path());
    EXPECT_EQ(o.status, 2);
    EXPECT_EQ(o.out, "");
    EXPECT_EQ(o.err, message);
  }
}

TEST_F(CliTest, EveryFixtureKindGivesItsEntry) {
  using namespace expect;
  struct Doc {
    const char* name;
    std::vector<std::string> body;  // empty: the unknown-document entry
    bool failed;
  };
  const Doc docs[] = {
      {"form_failed.xls", StandardFormBody(), true},
      {"form_template.xlt", StandardFormBody(), true},
      {"form_gnumeric.xls", StandardFormBody(), true},
      {"form_biff5_1251.xls", StandardFormBody(), true},
      {"form_encrypted.xls", StandardFormBody(), true},
      {"form_clean.xls", CleanFormBody(), false},
      {"form_captions.xls", CaptionsFormBody(), true},
      {"big_sst.xls", BigFormBody(), true},
      {"form_b_only.xls", {}, false},
      {"form_unknown_code.xls", {}, false},
      {"form_numeric_code.xls", {}, false},
      {"form_no_data_adr.xls", {}, false},
      {"not_workbook.xls", {}, false},
      {"zip_workbook.xls", {}, false},
      {"types.xls", {}, false},
      {"no_such_form.xls", {}, false},
  };
  std::vector<std::string> args = {"--edition", "A", "--report", dir_ / "Отчёт.txt"};
  std::string expected;
  int failed = 0, unknown = 0;
  for (const Doc& d : docs) {
    args.push_back(FixturePath(d.name));
    expected += d.body.empty() ? UnknownEntry(args.back()) : RecognisedEntry(args.back(), d.body);
    failed += d.failed;
    unknown += d.body.empty();
  }
  const Outcome o = Verify(args, dir_.path());
  EXPECT_EQ(o.status, 1);
  EXPECT_EQ(o.err, "");
  EXPECT_EQ(o.out, "Проверено документов: 16, с ошибками: " + std::to_string(failed) + ", неизвестных: " +
                       std::to_string(unknown) + ". Отчёт: " + (dir_ / "Отчёт.txt") + "\n");
  EXPECT_EQ(ReadReport(dir_ / "Отчёт.txt"), expected);
}

TEST_F(CliTest, ExitStatusFollowsTheOutcome) {
  struct Case {
    std::vector<std::string> docs;
    int status;
  } cases[] = {
      {{"form_clean.xls"}, 0},
      {{"form_clean.xls", "form_clean.xls"}, 0},
      {{"form_clean.xls", "form_failed.xls"}, 1},
      {{"form_clean.xls", "form_unknown_code.xls"}, 1},
      {{"form_clean.xls", "form_no_t_check.xls"}, 2},
  };
  for (const Case& c : cases) {
    std::vector<std::string> args;
    for (const std::string& d : c.docs) args.push_back(expect::FixturePath(d));
    const Outcome o = Verify(args, dir_.path());
    SCOPED_TRACE(c.docs.back() + ": " + o.err);
    EXPECT_EQ(o.status, c.status);
    if (c.status == 2) {
      EXPECT_EQ(o.out, "");
      EXPECT_TRUE(o.err.ends_with("\n") && o.err.size() > 1);
      EXPECT_EQ(o.err, ErrorBoxText(o.err.substr(0, o.err.size() - 1)) + "\n");
    } else {
      EXPECT_EQ(o.err, "");
      EXPECT_TRUE(o.out.starts_with("Проверено документов: " + std::to_string(c.docs.size()))) << o.out;
    }
  }
}

}  // namespace
}  // namespace zumt
