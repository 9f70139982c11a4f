// A query over a workbook decodes the texts of the columns it tests or sorts
// by with the table, and the others only for the rows it outputs. Whatever a
// query names, and however, the result must be the one it gives over the
// table read whole.
#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "platform/datasource/sql_engine.h"
#include "platform/spreadsheet/workbook.h"
#include "tools/table_text.h"

namespace zumt {
namespace {

// Reads every table whole: the texts of all its cells decoded at once.
class WholeTables : public sql::TableSource {
 public:
  explicit WholeTables(const sheet::Workbook& wb) : wb_(wb) {}
  sheet::Table ReadTable(std::string_view name) const override { return wb_.ReadTable(name); }

 private:
  const sheet::Workbook& wb_;
};

// Reads tables as the query asks, as the workbook connection does.
class AskedTables : public WholeTables {
 public:
  explicit AskedTables(const sheet::Workbook& wb) : WholeTables(wb), wb_(wb) {}
  sheet::Table ReadTableFor(std::string_view name, const sheet::ReadOptions& options) const override {
    return wb_.ReadTable(name, options);
  }

 private:
  const sheet::Workbook& wb_;
};

std::string Dump(const sql::ResultSet& r) {
  std::string out;
  for (const std::string& c : r.columns) out += c + "\t";
  out += "\n";
  for (const sheet::Row& row : r.rows) {
    for (const sheet::Cell& c : row) out += sheet::tabletext::Token(c) + "\t";
    out += "\n";
  }
  return out;
}

struct Case {
  const char* file;
  const char* sql;
};

class DeferredTextTest : public ::testing::TestWithParam<Case> {};

TEST_P(DeferredTextTest, GivesTheResultOfTheWholeTable) {
  const Case& c = GetParam();
  const auto wb = sheet::Workbook::Open(std::string(ZUMT_FIXTURES_DIR) + "/" + c.file);
  const sql::ResultSet whole = sql::Execute(c.sql, WholeTables(*wb));
  const sql::ResultSet asked = sql::Execute(c.sql, AskedTables(*wb));
  ASSERT_FALSE(whole.rows.empty()) << c.sql;
  EXPECT_EQ(Dump(asked), Dump(whole)) << c.sql;
  for (const sheet::Row& row : asked.rows)
    for (const sheet::Cell& cell : row) EXPECT_NE(cell.type, sheet::CellType::PendingText) << c.sql;
}

INSTANTIATE_TEST_SUITE_P(
    Queries, DeferredTextTest,
    ::testing::Values(
        // The failed checks, as the report selects them: Name decoded on output.
        Case{"form_failed.xls",
             "Select ID_Form, ID_Section, ID_Rule, ID_Check, Name, Result from T_Check where Result>0 "
             "Order by ID_Form, ID_Section, ID_Rule, ID_Check"},
        // The deferred column itself tested, sorted by, sorted by under an
        // alias, read inside an expression, or output through "*".
        Case{"form_failed.xls", "Select Result from T_Check where Name <> 'x'"},
        Case{"form_failed.xls", "Select Result, Name from T_Check Order by Name DESC"},
        Case{"form_failed.xls", "Select Name AS Wording, Result from T_Check Order by Wording"},
        Case{"form_failed.xls", "Select (Name & '!') AS W from T_Check where Result > 0"},
        Case{"form_failed.xls", "Select * from T_Check where t_check.NAME > 'Г'"},
        Case{"form_captions.xls", "Select (Name &  Val) as CaptionInForm, ID_Element from Data_Adr"},
        Case{"types.xls", "Select Value, Kind from Types where Kind = 'text' or Kind = 'numeric text'"},
        // Thousands of shared strings, most of them never decoded.
        Case{"big_sst.xls", "Select Name from T_Check where Result > 0 Order by ID_Check"}));

// Read with its texts deferred, a table keeps the untested column's shared
// strings pending, and its Resolve gives each the text read whole gives.
TEST(DeferredText, PendingCellsResolveOnlyThroughTheirTable) {
  const auto wb = sheet::Workbook::Open(std::string(ZUMT_FIXTURES_DIR) + "/form_failed.xls");
  sheet::ReadOptions options;
  options.deferText = true;
  options.decodeNow = {"result"};
  sheet::Table t = wb->ReadTable("T_Check", options);
  const sheet::Table whole = wb->ReadTable("T_Check");
  ASSERT_EQ(t.rows.size(), whole.rows.size());
  std::size_t pending = 0;
  for (std::size_t r = 0; r < t.rows.size(); ++r) {
    sheet::Cell& name = t.rows[r][4];
    if (name.type == sheet::CellType::PendingText) ++pending;
    t.Resolve(name);
    EXPECT_EQ(sheet::tabletext::Token(name), sheet::tabletext::Token(whole.rows[r][4]));
  }
  EXPECT_GT(pending, 0u);
}

}  // namespace
}  // namespace zumt
