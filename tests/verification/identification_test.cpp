// Form identification: connection strings, accepted form codes, and the
// workbook data source behind them.
#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>

#include "verification/verification_core.h"
#include "verification/workbook_data_source.h"

namespace zumt {
namespace {

namespace fs = std::filesystem;

struct CodeCase {
  const char* code;
  bool inA;
  bool inB;
};

TEST(FormIdCheck, AcceptsWholeCodesOfTheEditionOnly) {
  const CodeCase cases[] = {
      {"0606024", true, true},   {"0606021", true, true}, {"0606020", true, true},
      {"0606026", true, true},   {"0000001", true, true}, {"0000002", true, true},
      {"0609552", true, true},   {"0609535", true, true}, {"0609549", true, true},
      {"0609541", false, true},  // edition B only
      {"", false, false},        // "##" occurs in no list
      {"606024", false, false},  // a code read as a number loses its leading zero
      {"060602", false, false},  // a prefix of an accepted code
      {"0606024 ", false, false},
      {" 0606024", false, false},
      {"0606024#0606021", true, true},  // consecutive accepted codes are a substring too
      {"0", false, false},
  };
  VerificationCore a(EditionA(), "unused");
  VerificationCore b(EditionB(), "unused");
  for (const CodeCase& c : cases) {
    EXPECT_EQ(a.Form_ID_Check(c.code), c.inA) << "edition A, code '" << c.code << "'";
    EXPECT_EQ(b.Form_ID_Check(c.code), c.inB) << "edition B, code '" << c.code << "'";
  }
}

// Records every connection string it is given; opens only when told to.
class RecordingConnection : public Connection {
 public:
  explicit RecordingConnection(bool opens, bool throws = false) : opens_(opens), throws_(throws) {}
  void SetConnectionString(const std::string& text) override { text_ = text; }
  const std::string& ConnectionString() const override { return text_; }
  void Open() override {
    ++opened;
    if (throws_) throw DataError("refused");
    open_ = opens_;
  }
  void Close() override {
    if (open_) ++closed;
    open_ = false;
  }
  bool IsOpen() const override { return open_; }
  int opened = 0;
  int closed = 0;

 private:
  bool opens_, throws_, open_ = false;
  std::string text_;
};

class ConnectToFormTest : public ::testing::Test {
 protected:
  void SetUp() override {
    dir_ = fs::temp_directory_path() / ("zumt-connect-" + std::to_string(::getpid()));
    fs::create_directories(dir_ / "Reports 2009");
  }
  void TearDown() override { fs::remove_all(dir_); }
  fs::path dir_;
};

TEST_F(ConnectToFormTest, BuildsTheConnectionStringFromDirectoryAndFileName) {
  auto connection = std::make_unique<RecordingConnection>(true);
  RecordingConnection* raw = connection.get();
  VerificationCore core(EditionA(), std::move(connection), nullptr, "unused");

  const std::string directory = (dir_ / "Reports 2009").string();
  EXPECT_TRUE(core.ConnectToForm(directory + "/form 12.xls"));
  EXPECT_EQ(core.FormFileName, "form 12.xls");
  EXPECT_EQ(core.FormDir, directory);
  const std::string expected = "DSN=DataWela;DBQ=" + directory + "/form 12.xls;DefaultDir=" + directory + ";";
  EXPECT_EQ(core.FormConnectionString, expected);
  EXPECT_EQ(raw->ConnectionString(), expected);

  // A second document closes the first connection before opening.
  EXPECT_TRUE(core.ConnectToForm(directory + "/other.xls"));
  EXPECT_EQ(raw->closed, 1);
  EXPECT_EQ(raw->opened, 2);
}

TEST_F(ConnectToFormTest, EdgeCasesOfTheDirectoryPart) {
  struct Case {
    std::string path, fileName, dir, connection;
  };
  const std::string missing = (dir_ / "missing").string();
  const Case cases[] = {
      // A directory that does not exist has no short form: the separator stays bare.
      {missing + "/form.xls", "form.xls", "", "DSN=DataWela;DBQ=/form.xls;DefaultDir=;"},
      // The root keeps its separator, so two stand in a row before the name.
      {"/form.xls", "form.xls", "/", "DSN=DataWela;DBQ=//form.xls;DefaultDir=/;"},
      // No directory at all.
      {"form.xls", "form.xls", "", "DSN=DataWela;DBQ=/form.xls;DefaultDir=;"},
  };
  for (const Case& c : cases) {
    auto connection = std::make_unique<RecordingConnection>(false);
    VerificationCore core(EditionA(), std::move(connection), nullptr, "unused");
    // The connection stays closed without an error: the values just built are kept.
    EXPECT_FALSE(core.ConnectToForm(c.path)) << c.path;
    EXPECT_EQ(core.FormFileName, c.fileName) << c.path;
    EXPECT_EQ(core.FormDir, c.dir) << c.path;
    EXPECT_EQ(core.FormConnectionString, c.connection) << c.path;
  }
}

TEST_F(ConnectToFormTest, AnAttemptThatRaisesClearsTheFields) {
  auto connection = std::make_unique<RecordingConnection>(false, /*throws=*/true);
  VerificationCore core(EditionA(), std::move(connection), nullptr, "unused");
  EXPECT_FALSE(core.ConnectToForm((dir_ / "Reports 2009" / "form.xls").string()));
  EXPECT_EQ(core.FormFileName, "");
  EXPECT_EQ(core.FormDir, "");
  EXPECT_EQ(core.FormConnectionString, "");
}

TEST_F(ConnectToFormTest, RealDataSourceRejectsWhatIsNotAWorkbook) {
  const fs::path text = dir_ / "Reports 2009" / "notes.xls";
  std::ofstream(text) << "just some text, not a workbook\n";
  VerificationCore core(EditionA(), "unused");
  EXPECT_FALSE(core.ConnectToForm(text.string()));
  EXPECT_FALSE(core.FormConnection().IsOpen());
  EXPECT_EQ(core.FormConnectionString, "");
  EXPECT_FALSE(core.ConnectToForm((dir_ / "missing" / "form.xls").string()));
  EXPECT_FALSE(core.ConnectToForm("/form-that-is-not-there.xls"));
}

TEST(WorkbookConnection, AnswersOnlyToItsOwnDataSourceName) {
  WorkbookConnection connection("DataWela");
  connection.SetConnectionString("DSN=DataZUMT;DBQ=/tmp/x.xls;DefaultDir=/tmp;");
  try {
    connection.Open();
    FAIL() << "opened a foreign data source";
  } catch (const DataError& e) {
    EXPECT_STREQ(e.what(), "Data source name not found and no default driver specified");
  }
  EXPECT_FALSE(connection.IsOpen());
  connection.Close();  // closing a closed connection does nothing
  EXPECT_FALSE(connection.IsOpen());
}

TEST(VariantText, NullRaisesAndValuesConvert) {
  EXPECT_THROW(Variant().ToText(), DataError);
  EXPECT_EQ(Variant(sheet::Cell::MakeText("0606024")).ToText(), "0606024");
  EXPECT_EQ(Variant(sheet::Cell::MakeNumber(606024)).ToText(), "606024");
}

}  // namespace
}  // namespace zumt
