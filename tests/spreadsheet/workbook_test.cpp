// The fixture workbooks (written by LibreOffice and Gnumeric) read back
// exactly, and bad files give a SpreadsheetError.
#include "platform/spreadsheet/workbook.h"

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "tests/spreadsheet/biff_test_util.h"

namespace zumt::sheet {
namespace {

using testutil::Bytes;

const std::string kFixtures = ZUMT_FIXTURES_DIR;

std::string ReadText(const std::string& path) {
  std::ifstream f(path, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(f), {});
}

Bytes ReadBytes(const std::string& path) {
  const std::string s = ReadText(path);
  return Bytes(s.begin(), s.end());
}

// All tables, sorted case-insensitively (ASCII names here), as table-dump prints them.
std::string DumpAll(const Workbook& wb) {
  std::vector<std::string> names = wb.TableNames();
  std::sort(names.begin(), names.end(), [](std::string a, std::string b) {
    for (char& c : a) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    for (char& c : b) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return a < b;
  });
  std::string out;
  for (const std::string& n : names) out += testutil::Dump(wb.ReadTable(n));
  return out;
}

class FixtureWorkbook : public ::testing::TestWithParam<const char*> {};

// expected/<file>.dump is written from the fixtures' definitions and checked
// against xlrd; every table must read back to exactly that.
TEST_P(FixtureWorkbook, ReadsExactlyTheExpectedTables) {
  const std::string file = GetParam();
  const auto wb = Workbook::Open(kFixtures + "/" + file);
  EXPECT_EQ(DumpAll(*wb), ReadText(kFixtures + "/expected/" + file + ".dump"));
}

INSTANTIATE_TEST_SUITE_P(Fixtures, FixtureWorkbook,
                         ::testing::Values("form_failed.xls", "form_template.xlt", "form_gnumeric.xls",
                                           "form_biff5_1251.xls", "form_encrypted.xls",
                                           "form_unknown_code.xls", "form_numeric_code.xls",
                                           "form_no_data_adr.xls", "form_no_t_check.xls", "form_clean.xls",
                                           "form_b_only.xls", "form_captions.xls", "types.xls",
                                           "big_sst.xls"),
                         [](const auto& info) {
                           std::string n = info.param;
                           std::replace(n.begin(), n.end(), '.', '_');
                           return n;
                         });

// The values the verification depends on, spelled out.
TEST(Workbook, FormValuesKeepTheirTypes) {
  const auto wb = Workbook::Open(kFixtures + "/form_biff5_1251.xls");
  EXPECT_EQ(wb->BiffVersion(), 5);
  const Table data = wb->ReadTable("data_adr");  // names compare case-insensitively
  EXPECT_EQ(data.name, "Data_Adr");
  ASSERT_EQ(data.rows.size(), 5u);
  EXPECT_EQ(data.rows[0][2].type, CellType::Text);
  EXPECT_EQ(data.rows[0][2].text, "0606024");
  EXPECT_TRUE(data.rows[1][0].IsNull());
  EXPECT_EQ(data.rows[3][2].text, "ООО «Ромашка»");

  const auto numeric = Workbook::Open(kFixtures + "/form_numeric_code.xls");
  EXPECT_EQ(numeric->BiffVersion(), 8);
  const Cell code = numeric->ReadTable("Data_Adr").rows[0][2];
  EXPECT_EQ(code.type, CellType::Number);
  EXPECT_EQ(code.number, 606024);

  const Table big = Workbook::Open(kFixtures + "/big_sst.xls")->ReadTable("T_Check");
  ASSERT_EQ(big.rows.size(), 3000u);
  EXPECT_EQ(big.rows[2999][4].text, "Контроль 3000: графа 4");
  EXPECT_EQ(big.rows[2995][5].number, 1);  // i = 2996 is a multiple of 7
}

TEST(Workbook, TableNamesSkipBuiltinNamesConstantsAndUnions) {
  EXPECT_EQ(Workbook::Open(kFixtures + "/form_gnumeric.xls")->TableNames(),
            (std::vector<std::string>{"Data_Adr", "T_Check"}));
  std::vector<std::string> names = Workbook::Open(kFixtures + "/types.xls")->TableNames();
  std::sort(names.begin(), names.end());
  EXPECT_EQ(names, (std::vector<std::string>{"Scoped", "Types"}));
}

TEST(Workbook, MissingTableIsAnError) {
  const auto wb = Workbook::Open(kFixtures + "/form_no_t_check.xls");
  try {
    wb->ReadTable("T_Check");
    FAIL() << "T_Check was read";
  } catch (const SpreadsheetError& e) {
    EXPECT_STREQ(e.what(), "no table named T_Check");
  }
}

// Opens `bytes` and reads every table; returns the error message, or
// "read" when all went through.
std::string OpenAndReadAll(Bytes bytes) {
  try {
    const auto wb = Workbook::FromBytes(std::move(bytes));
    for (const std::string& n : wb->TableNames()) wb->ReadTable(n);
    return "read";
  } catch (const SpreadsheetError& e) {
    return e.what();
  }
}

TEST(BadInput, FilesThatAreNotWorkbooks) {
  const Bytes valid = ReadBytes(kFixtures + "/form_failed.xls");
  const struct {
    const char* what;
    Bytes bytes;
    const char* message;
  } cases[] = {
      {"empty file", {}, "not a compound file"},
      {"text file", ReadBytes(kFixtures + "/not_workbook.xls"), "not a compound file"},
      {"zip workbook", ReadBytes(kFixtures + "/zip_workbook.xls"),
       "unsupported format: newer (zip-based) workbook"},
      {"bare BIFF4 stream",
       testutil::Cat(
           {testutil::Rec(0x0409, testutil::Cat({testutil::U16(0), testutil::U16(0x10), testutil::U16(0)})),
            testutil::Rec(0x000A, {})}),
       "unsupported format: BIFF2-4"},
      {"header only", Bytes(valid.begin(), valid.begin() + 512), nullptr},
      {"cut in the FAT", Bytes(valid.begin(), valid.begin() + 1000), nullptr},
      {"cut in half", Bytes(valid.begin(), valid.begin() + valid.size() / 2), nullptr},
      {"last sector missing", Bytes(valid.begin(), valid.end() - 512), nullptr},
  };
  for (const auto& c : cases) {
    const std::string result = OpenAndReadAll(c.bytes);
    if (c.message) {
      EXPECT_EQ(result, c.message) << c.what;
    } else {
      EXPECT_NE(result, "read") << c.what;
      EXPECT_FALSE(result.empty()) << c.what;
    }
  }
  EXPECT_EQ(OpenAndReadAll(valid), "read");
  EXPECT_EQ(OpenAndReadAll(ReadBytes(kFixtures + "/form_encrypted.xls")), "read");
}

TEST(BadInput, OpenNamesTheFileItCannotRead) {
  try {
    Workbook::Open(kFixtures + "/no_such_file.xls");
    FAIL();
  } catch (const SpreadsheetError& e) {
    EXPECT_EQ(std::string(e.what()), "cannot open file " + kFixtures + "/no_such_file.xls");
  }
  EXPECT_THROW(Workbook::Open(kFixtures), SpreadsheetError);  // a directory
  // A FIFO is refused at once instead of waiting for a writer.
  const std::string fifo = ::testing::TempDir() + "/workbook_test_fifo.xls";
  ::unlink(fifo.c_str());
  ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
  EXPECT_THROW(Workbook::Open(fifo), SpreadsheetError);
  ::unlink(fifo.c_str());
}

// Every truncation and every damaged byte of real workbooks is read or
// rejected with a SpreadsheetError; nothing else may escape (and under the
// sanitizers nothing may crash, leak or overrun).
TEST(BadInput, TruncatedAndFlippedWorkbooksNeverCrash) {
  for (const char* file :
       {"form_failed.xls", "form_biff5_1251.xls", "form_captions.xls", "form_gnumeric.xls"}) {
    const Bytes valid = ReadBytes(kFixtures + "/" + file);
    for (std::size_t len = 0; len < valid.size(); len += 97) {
      EXPECT_FALSE(OpenAndReadAll(Bytes(valid.begin(), valid.begin() + len)).empty())
          << file << " cut at " << len;
    }
    for (std::size_t at = 0; at < valid.size(); at += 7) {
      for (std::uint8_t flip : {0x01, 0x80, 0xFF}) {
        Bytes damaged = valid;
        damaged[at] ^= flip;
        EXPECT_FALSE(OpenAndReadAll(std::move(damaged)).empty()) << file << " byte " << at;
      }
    }
  }
}

}  // namespace
}  // namespace zumt::sheet
