// Workbook decryption: real encrypted workbooks from the corpus compared
// record by record with twins decrypted by msoffcrypto-tool at test time,
// workbooks that need another password, and hand-made FILEPASS records.
#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "platform/spreadsheet/biff_decrypt.h"
#include "platform/spreadsheet/compound_file.h"
#include "platform/spreadsheet/spreadsheet_error.h"

namespace zumt::sheet::detail {
// Defined in biff_decrypt.cpp: decryption with a password of the caller's choice.
bool DecryptWorkbookStreamWithPassword(std::vector<std::uint8_t>& stream, int biffVersion,
                                       std::u16string_view password);
}  // namespace zumt::sheet::detail

namespace zumt::sheet {
namespace {

namespace fs = std::filesystem;
using Bytes = std::vector<std::uint8_t>;

std::uint16_t Le16(const Bytes& b, std::size_t at) {
  return static_cast<std::uint16_t>(b[at] | (b[at + 1] << 8));
}

struct Record {
  std::size_t pos;
  std::uint16_t type;
  Bytes data;
};

std::vector<Record> Records(const Bytes& s) {
  std::vector<Record> out;
  std::size_t pos = 0;
  while (pos + 4 <= s.size()) {
    const std::size_t len = Le16(s, pos + 2);
    const std::size_t end = std::min(pos + 4 + len, s.size());
    out.push_back({pos, Le16(s, pos), Bytes(s.begin() + pos + 4, s.begin() + end)});
    pos += 4 + len;
  }
  return out;
}

Bytes ReadFile(const fs::path& path) {
  std::ifstream in(path, std::ios::binary);
  return Bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
}

// The workbook stream and its BIFF version (5 for "Book", 8 for "Workbook").
std::pair<Bytes, int> WorkbookStream(const fs::path& path) {
  const Bytes file = ReadFile(path);
  const CompoundFile cf = CompoundFile::Parse(file);
  if (auto w = cf.ReadStream("Workbook")) return {std::move(*w), 8};
  return {cf.ReadStream("Book").value(), 5};
}

const fs::path kCorpus = ZUMT_CORPUS_DIR;
const fs::path kFixtures = ZUMT_FIXTURES_DIR;

// A temporary folder removed at the end of the test.
struct TempDir {
  fs::path path;
  TempDir() {
    path = fs::temp_directory_path() / ("zumt_decrypt_" + std::to_string(::getpid()) + "_" +
                                        ::testing::UnitTest::GetInstance()->current_test_info()->name());
    fs::create_directories(path);
  }
  ~TempDir() {
    std::error_code ec;
    fs::remove_all(path, ec);
  }
};

bool HaveMsoffcrypto() { return std::system("command -v msoffcrypto-tool >/dev/null 2>&1") == 0; }

// The workbook stream of `file` decrypted by msoffcrypto-tool.
Bytes TwinStream(const fs::path& file, const std::string& password, const TempDir& tmp) {
  const fs::path out = tmp.path / (file.stem().string() + "_plain.xls");
  const std::string cmd =
      "msoffcrypto-tool -p '" + password + "' '" + file.string() + "' '" + out.string() + "'";
  if (std::system(cmd.c_str()) != 0) return {};
  return WorkbookStream(out).first;
}

// Every record but FILEPASS (which the tool blanks) has the twin's type,
// position and contents.
void ExpectSameRecords(const Bytes& mine, const Bytes& twin) {
  ASSERT_EQ(mine.size(), twin.size());
  const auto a = Records(mine);
  const auto b = Records(twin);
  ASSERT_EQ(a.size(), b.size());
  bool filePassSeen = false;
  for (std::size_t i = 0; i < a.size(); ++i) {
    SCOPED_TRACE("record at " + std::to_string(a[i].pos));
    EXPECT_EQ(a[i].type, b[i].type);
    if (a[i].type == 0 && !filePassSeen) {  // the former FILEPASS
      filePassSeen = true;
      continue;
    }
    EXPECT_TRUE(a[i].data == b[i].data);
  }
}

TEST(DecryptWorkbookStream, DefaultPasswordFilesMatchTheirDecryptedTwins) {
  TempDir tmp;
  const bool twins = HaveMsoffcrypto();
  std::vector<fs::path> files = {kFixtures / "form_encrypted.xls"};
  if (fs::is_directory(kCorpus)) {
    files.push_back(kCorpus / "ExcelDataReader/src_TestData_TestExcel_2040.xls");
    files.push_back(kCorpus / "ExcelDataReader/src_TestData_protectedsheet-xxx.xls");
    files.push_back(kCorpus / "calamine/tests_issue_385.xls");
  }
  for (const auto& file : files) {
    SCOPED_TRACE(file.string());
    auto [stream, biff] = WorkbookStream(file);
    const std::size_t filePass = [&] {
      for (const auto& r : Records(stream))
        if (r.type == 0x002F) return r.pos;
      return std::size_t{0};
    }();
    ASSERT_NE(filePass, 0u);
    ASSERT_TRUE(DecryptWorkbookStream(stream, biff));
    EXPECT_EQ(Le16(stream, filePass), 0x0000);  // FILEPASS now reads as a record to pass over
    if (!twins) continue;
    const Bytes twin = TwinStream(file, "VelvetSweatshop", tmp);
    ASSERT_FALSE(twin.empty());
    ExpectSameRecords(stream, twin);
  }
  if (!twins) GTEST_SKIP() << "msoffcrypto-tool is not installed: decrypted streams not compared";
}

TEST(DecryptWorkbookStream, OtherPasswordsAreAnEncryptedWorkbook) {
  if (!fs::is_directory(kCorpus)) GTEST_SKIP() << "no corpus";
  for (const char* name : {"ExcelDataReader/src_TestData_Test_git_issue_242_std_rc4_pwd_password.xls",
                           "ExcelDataReader/src_TestData_Test_git_issue_242_xor_pwd_password.xls",
                           "ExcelDataReader/src_TestData_Test_git_issue_477_crypto_keylength40.xls",
                           "msoffcrypto/tests_inputs_rc4cryptoapi_password.xls",
                           "msoffcrypto/tests_inputs_xor_password_123456789012345.xls"}) {
    SCOPED_TRACE(name);
    auto [stream, biff] = WorkbookStream(kCorpus / name);
    try {
      DecryptWorkbookStream(stream, biff);
      ADD_FAILURE() << "no error";
    } catch (const SpreadsheetError& e) {
      EXPECT_STREQ(e.what(), "encrypted workbook");
    }
  }
}

// The same code with the files' own passwords: RC4 CryptoAPI with 128- and
// 40-bit keys, XOR obfuscation in BIFF8 and BIFF5.
TEST(DecryptWorkbookStream, KnownPasswordsDecryptEveryKind) {
  if (!fs::is_directory(kCorpus)) GTEST_SKIP() << "no corpus";
  if (!HaveMsoffcrypto()) GTEST_SKIP() << "msoffcrypto-tool is not installed";
  TempDir tmp;
  struct Case {
    const char* file;
    const char* password;
  };
  for (const Case& c :
       {Case{"ExcelDataReader/src_TestData_Test_git_issue_242_std_rc4_pwd_password.xls", "password"},
        Case{"ExcelDataReader/src_TestData_Test_git_issue_477_crypto_keylength40.xls", "password"},
        Case{"msoffcrypto/tests_inputs_rc4cryptoapi_password.xls", "Password1234_"}}) {
    SCOPED_TRACE(c.file);
    auto [stream, biff] = WorkbookStream(kCorpus / c.file);
    const std::string pw = c.password;
    ASSERT_TRUE(
        detail::DecryptWorkbookStreamWithPassword(stream, biff, std::u16string(pw.begin(), pw.end())));
    ExpectSameRecords(stream, TwinStream(kCorpus / c.file, c.password, tmp));
  }
  {
    // BIFF8 XOR: the shipped twin was saved anew, so compare the records
    // that saving kept as they were (cell formats and rows).
    auto [stream, biff] =
        WorkbookStream(kCorpus / "msoffcrypto/tests_inputs_xor_password_123456789012345.xls");
    ASSERT_TRUE(detail::DecryptWorkbookStreamWithPassword(stream, biff, u"123456789012345"));
    const Bytes twin =
        WorkbookStream(kCorpus / "msoffcrypto/tests_outputs_xor_password_123456789012345_plain.xls").first;
    auto pick = [](const Bytes& s, std::uint16_t type) {
      std::vector<Bytes> out;
      for (auto& r : Records(s))
        if (r.type == type) out.push_back(r.data);
      return out;
    };
    for (std::uint16_t type : {0x00E0 /*XF*/, 0x0208 /*ROW*/}) {
      SCOPED_TRACE(type);
      const auto mine = pick(stream, type);
      EXPECT_FALSE(mine.empty());
      EXPECT_TRUE(mine == pick(twin, type));
    }
  }
  {
    // BIFF5 XOR: the one cell's text is readable.
    auto [stream, biff] =
        WorkbookStream(kCorpus / "ExcelDataReader/src_TestData_Test_git_issue_242_xor_pwd_password.xls");
    ASSERT_EQ(biff, 5);
    ASSERT_TRUE(detail::DecryptWorkbookStreamWithPassword(stream, biff, u"password"));
    const std::string text(stream.begin(), stream.end());
    EXPECT_NE(text.find("Password: password"), std::string::npos);
  }
}

// Hand-made globals: BOF, WRITEPROTECT, then the FILEPASS body given.
Bytes Globals(const Bytes& filePass, bool cutShort = false) {
  Bytes s = {0x09, 0x08, 16, 0, 0x00, 0x06, 0x05, 0x00};  // BOF, BIFF8 workbook globals
  s.resize(4 + 16, 0);
  s.insert(s.end(), {0x86, 0x00, 0x00, 0x00});  // WRITEPROTECT
  const std::size_t len = filePass.size() + (cutShort ? 10 : 0);
  s.insert(s.end(), {0x2F, 0x00, static_cast<std::uint8_t>(len), static_cast<std::uint8_t>(len >> 8)});
  s.insert(s.end(), filePass.begin(), filePass.end());
  if (!cutShort) s.insert(s.end(), {0x0A, 0x00, 0x00, 0x00});  // EOF
  return s;
}

Bytes Rc4Body(std::uint16_t major, std::uint16_t minor, std::size_t size) {
  Bytes b(size, 0x55);
  b[0] = 1, b[1] = 0;
  b[2] = static_cast<std::uint8_t>(major), b[3] = 0;
  b[4] = static_cast<std::uint8_t>(minor), b[5] = 0;
  return b;
}

TEST(DecryptWorkbookStream, HandMadeFilePassRecords) {
  struct Case {
    const char* what;
    Bytes stream;
    int biff;
    const char* message;
  };
  Bytes cryptoApi = Rc4Body(4, 2, 200);
  cryptoApi[10] = 0xFF, cryptoApi[11] = 0xFF;  // header size beyond the record
  const std::vector<Case> cases = {
      {"RC4 with another password", Globals(Rc4Body(1, 1, 54)), 8, "encrypted workbook"},
      {"CryptoAPI with another password", Globals([] {
         Bytes b = Rc4Body(2, 2, 14 + 32 + 60);
         for (std::size_t i = 6; i < b.size(); ++i) b[i] = 0;
         b[10] = 32;                             // header size
         b[14 + 8] = 0x01, b[14 + 9] = 0x68;     // RC4
         b[14 + 12] = 0x04, b[14 + 13] = 0x80;   // SHA-1
         b[14 + 16] = 128;                       // key bits
         b[14 + 32] = 16, b[14 + 32 + 36] = 20;  // salt and hash sizes
         return b;
       }()),
       8, "encrypted workbook"},
      {"XOR with another password", Globals({0x00, 0x00, 0x12, 0x34, 0x56, 0x78}), 8, "encrypted workbook"},
      {"BIFF5 XOR with another password", Globals({0x12, 0x34, 0x56, 0x78}), 5, "encrypted workbook"},
      {"unknown encryption type", Globals({0x02, 0x00, 0x01, 0x00, 0x01, 0x00}), 8, "encrypted workbook"},
      {"unknown RC4 version", Globals(Rc4Body(3, 3, 54)), 8, "encrypted workbook"},
      {"RC4 record too short", Globals(Rc4Body(1, 1, 20)), 8,
       "workbook stream: FILEPASS record at offset 24 is too short"},
      {"XOR record too short", Globals({0x00, 0x00, 0x12}), 8,
       "workbook stream: FILEPASS record at offset 24 is too short"},
      {"CryptoAPI header size too large", Globals(cryptoApi), 8,
       "workbook stream: FILEPASS record at offset 24 is too short"},
      {"record cut by the end of the stream", Globals(Rc4Body(1, 1, 54), true), 8,
       "workbook stream: FILEPASS record at offset 24 is cut short by the end of the stream"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    Bytes s = c.stream;
    try {
      DecryptWorkbookStream(s, c.biff);
      ADD_FAILURE() << "no error";
    } catch (const SpreadsheetError& e) {
      EXPECT_STREQ(e.what(), c.message);
    }
  }
}

TEST(DecryptWorkbookStream, WithoutFilePassTheStreamIsLeftAlone) {
  // FILEPASS after the globals' EOF belongs to no workbook globals.
  Bytes s = Globals({0x00, 0x00, 0x12, 0x34, 0x56, 0x78});
  s.insert(s.begin() + 20, {0x0A, 0x00, 0x00, 0x00});
  for (Bytes stream : {s, Bytes{}, Bytes{0x09, 0x08}, Bytes{0x09, 0x08, 0xFF, 0xFF, 0x00}}) {
    const Bytes before = stream;
    EXPECT_FALSE(DecryptWorkbookStream(stream, 8));
    EXPECT_EQ(stream, before);
  }
  const fs::path plain = kCorpus / "msoffcrypto/tests_inputs_plain.xls";
  if (fs::exists(plain)) {
    auto [stream, biff] = WorkbookStream(plain);
    const Bytes before = stream;
    EXPECT_FALSE(DecryptWorkbookStream(stream, biff));
    EXPECT_EQ(stream, before);
  }
}

TEST(DecryptWorkbookStream, CutShortStreamsDecryptWhatIsThere) {
  const fs::path file = kCorpus / "ExcelDataReader/src_TestData_TestExcel_2040.xls";
  if (!fs::exists(file)) GTEST_SKIP() << "no corpus";
  const Bytes full = WorkbookStream(file).first;
  Bytes whole = full;
  ASSERT_TRUE(DecryptWorkbookStream(whole, 8));
  for (std::size_t n = 80; n < full.size(); n += 37) {
    Bytes part(full.begin(), full.begin() + n);
    ASSERT_TRUE(DecryptWorkbookStream(part, 8));
    EXPECT_TRUE(std::equal(part.begin(), part.end(), whole.begin())) << n;
  }
}

}  // namespace
}  // namespace zumt::sheet
