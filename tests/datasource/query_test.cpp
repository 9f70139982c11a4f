// The query engine over an in-memory workbook: the program's fixed queries
// and filters, ordering and comparison rules, general queries, errors.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "datasource/memory_source.h"

namespace zumt::test {
namespace {

using sql::Execute;
using sql::ResultSet;
using sql::RowFilter;
using sql::SqlError;

// Every cell of a result as text, row by row.
std::vector<std::vector<std::string>> Texts(const ResultSet& r) {
  std::vector<std::vector<std::string>> out;
  for (const auto& row : r.rows) {
    std::vector<std::string> texts;
    for (const Cell& c : row) texts.push_back(sql::CellToText(c));
    out.push_back(std::move(texts));
  }
  return out;
}

std::vector<std::string> Column(const ResultSet& r, std::size_t index) {
  std::vector<std::string> out;
  for (const auto& row : r.rows) out.push_back(sql::CellToText(row.at(index)));
  return out;
}

class QueryTest : public ::testing::Test {
 protected:
  QueryTest() {
    source_.Add({"Data_Adr",
                 {"ID_Element", "Name", "Val"},
                 {
                     {T("P_OKUD"), T("Код по ОКУД "), T("0606024")},
                     {T("P_FormName"), T("Форма: "), T("Сведения о численности")},
                     {T("P_Name"), T("Организация "), N(606024)},
                     {T("P_Empty"), T("Пусто"), E()},
                     {T("P_Rate"), E(), N(2.5)},
                     {T("Элемент"), T("ё"), Err()},
                 }});
    // ID_Form, ID_Section, ID_Rule, ID_Check, Name, Result.
    source_.Add({"T_Check",
                 {"ID_Form", "ID_Section", "ID_Rule", "ID_Check", "Name", "Result"},
                 {
                     {N(1), N(10), N(1), N(1), T("s10"), N(1)},
                     {N(1), N(2), N(1), N(1), T("s2"), N(1)},
                     {N(1), N(2), N(1), N(2), T("zero"), N(0)},
                     {N(1), N(2), N(1), N(3), T("negative"), N(-1)},
                     {N(1), E(), N(1), N(1), T("empty section"), N(2)},
                     {N(1), T("A"), N(1), N(1), T("text section"), N(0.5)},
                     {N(1), N(2), N(1), N(10), T("check 10"), N(1e-9)},
                     {N(1), N(2), N(1), N(4), T("text result"), T("5")},
                     {N(1), N(2), N(1), N(5), T("empty result"), E()},
                     {N(1), N(2), N(1), N(6), T("boolean result"), B(true)},
                     {N(1), N(2), N(1), N(7), T("error result"), Err()},
                     {N(1), N(2), N(1), N(8), T("date result"), D(39877)},
                     {N(0), N(5), N(1), N(1), T("form 0"), N(3)},
                     {N(1), N(2), N(1), N(1), T("s2 again"), N(1)},
                     {N(1), T("a"), N(1), N(1), T("text section again"), N(1)},
                 }});
  }
  ResultSet Run(const std::string& sql) const { return Execute(sql, source_); }

  ScopedLocale locale_{"C"};
  MemorySource source_;
};

TEST_F(QueryTest, FormCodeQuery) {
  const ResultSet r = Run("Select Val from Data_Adr Where ID_Element = 'P_OKUD'");
  ASSERT_EQ(r.columns, std::vector<std::string>{"Val"});
  ASSERT_EQ(r.rows.size(), 1u);
  EXPECT_EQ(r.rows[0][0].type, CellType::Text);
  EXPECT_EQ(r.rows[0][0].text, "0606024");
}

TEST_F(QueryTest, CaptionsQueryAndFilters) {
  const ResultSet r = Run("Select (Name &  Val) as CaptionInForm, ID_Element from Data_Adr");
  ASSERT_EQ(r.columns, (std::vector<std::string>{"CaptionInForm", "ID_Element"}));
  EXPECT_EQ(Column(r, 0), (std::vector<std::string>{"Код по ОКУД 0606024", "Форма: Сведения о численности",
                                                    "Организация 606024", "Пусто", "2,5", "ё"}));
  for (const auto& row : r.rows) EXPECT_EQ(row[0].type, CellType::Text);

  const struct {
    const char* filter;
    std::string caption;
  } cases[] = {{" ID_Element = 'P_FormName'", "Форма: Сведения о численности"},
               {" ID_Element = 'P_Name'", "Организация 606024"},
               {"id_element='p_name'", "Организация 606024"},
               {" ID_Element = 'ЭЛЕМЕНТ' ", "ё"}};
  for (const auto& c : cases) {
    const RowFilter filter = RowFilter::Parse(c.filter, r.columns);
    std::vector<std::string> matched;
    for (const auto& row : r.rows)
      if (filter.Matches(row)) matched.push_back(row[0].text);
    EXPECT_EQ(matched, std::vector<std::string>{c.caption}) << c.filter;
  }
  EXPECT_FALSE(RowFilter::Parse(" ID_Element = 'P_Missing'", r.columns).Matches(r.rows[0]));
}

TEST_F(QueryTest, FailedChecksQueryOrdersNumbersThenTextsNullsFirstAndStable) {
  const ResultSet r =
      Run("Select ID_Form, ID_Section, ID_Rule, ID_Check, Name, Result from T_Check where Result>0 "
          "Order by ID_Form, ID_Section, ID_Rule, ID_Check");
  EXPECT_EQ(r.columns,
            (std::vector<std::string>{"ID_Form", "ID_Section", "ID_Rule", "ID_Check", "Name", "Result"}));
  // Only Number and Date results above 0; 2 before 10; the empty section
  // first, texts after numbers, "A" and "a" equal and in sheet order.
  EXPECT_EQ(Column(r, 4),
            (std::vector<std::string>{"form 0", "empty section", "s2", "s2 again", "date result", "check 10",
                                      "s10", "text section", "text section again"}));
}

TEST_F(QueryTest, GeneralQueries) {
  const struct {
    const char* sql;
    std::vector<std::string> columns;
    std::vector<std::vector<std::string>> rows;
  } cases[] = {
      {"select * from [data_adr] where [ID_Element] = 'p_okud'",
       {"ID_Element", "Name", "Val"},
       {{"P_OKUD", "Код по ОКУД ", "0606024"}}},
      {"SELECT Name & '|' & Val & -1.5, 'x' AS Lit, Val FROM Data_Adr WHERE ID_Element = 'P_Rate'",
       {"Expr1000", "Lit", "Val"},
       {{"|2,5-1,5", "x", "2,5"}}},
      {"select (Val), Name & Val as Both from Data_Adr where id_element = 'P_NAME'",
       {"Expr1000", "Both"},
       {{"606024", "Организация 606024"}}},
      {"select data_adr.val from Data_Adr\nwhere Data_Adr.ID_Element = 'P_OKUD';", {"Val"}, {{"0606024"}}},
      // NOT binds tighter than AND, AND tighter than OR.
      {"select Name from T_Check where ID_Check = 10 or ID_Check = 3 and Result < 0 or not Result <> 3",
       {"Name"},
       {{"negative"}, {"check 10"}, {"form 0"}}},
      {"select Name from T_Check where (ID_Check = 10 or ID_Check = 3) and not (Result > 0)",
       {"Name"},
       {{"negative"}}},
      {"select Name, ID_Check as C from T_Check where ID_Section = 2 and Result >= 1 order by ID_Check desc, "
       "Name",
       {"Name", "C"},
       {{"date result", "8"}, {"s2", "1"}, {"s2 again", "1"}}},
      {"select Name as N from T_Check where Result = 1 and ID_Section = 2 order by N desc",
       {"N"},
       {{"s2 again"}, {"s2"}}},
      {"select Name from T_Check where (Name & '') = 'ZERO' or ('x' & Name) = 'xnegative'",
       {"Name"},
       {{"zero"}, {"negative"}}},
      {"select Name from T_Check where ID_Form = -0 and Result > 2.99", {"Name"}, {{"form 0"}}},
      {"select Val from Data_Adr where Val > 'a'", {"Val"}, {{"Сведения о численности"}}},
  };
  for (const auto& c : cases) {
    const ResultSet r = Run(c.sql);
    EXPECT_EQ(r.columns, c.columns) << c.sql;
    EXPECT_EQ(Texts(r), c.rows) << c.sql;
  }
}

// One row (A, B) tested against a condition: the comparison rules for every
// kind of cell.
TEST(ComparisonRules, EveryCellKind) {
  ScopedLocale locale("C");
  const struct {
    Cell a, b;
    const char* where;
    bool holds;
  } cases[] = {
      {N(1), E(), "A>0", true},
      {N(0), E(), "A>0", false},
      {N(-1), E(), "A>0", false},
      {N(1e-300), E(), "A>0", true},
      {D(39877), E(), "A>0", true},
      {D(39877), E(), "A = 39877", true},
      {E(), E(), "A>0", false},
      {T("5"), E(), "A>0", false},
      {T(""), E(), "A>0", false},
      {B(true), E(), "A>0", false},
      {Err(), E(), "A>0", false},
      // No numeric comparison at all holds for a non-numeric cell, negated or not.
      {T("5"), E(), "A<>0", false},
      {E(), E(), "A<=0", false},
      {E(), E(), "NOT A>0", false},
      {B(false), E(), "A=0", false},
      {N(0), E(), "NOT A>0", true},
      {N(2.5), E(), "A = 2.50", true},
      {N(-2), E(), "A < -1.5", true},
      // Text literals: the cell as text, case-insensitively; a null never matches.
      {T("Abc"), E(), "A = 'aBC'", true},
      {T("ПРОВЕРКА Ёлка"), E(), "A = 'проверка ёлка'", true},
      {T("ÀÉÎ"), E(), "A = 'àéî'", true},
      {T("Abc"), E(), "A <> 'abc'", false},
      {T("b"), E(), "A > 'A'", true},
      {N(606024), E(), "A = '606024'", true},
      {N(1.5), E(), "A = '1,5'", true},
      {B(true), E(), "A = 'TRUE'", true},
      {E(), E(), "A = ''", false},
      {E(), E(), "A <> 'x'", false},
      {Err(), E(), "A <> 'x'", false},
      {T("it's"), E(), "A = 'IT''S'", true},
      {T("5"), E(), "A = 5", false},
      // Column against column.
      {N(2), N(10), "A < B", true},
      {D(1), N(1), "A = B", true},
      {T("x"), T("X"), "A = B", true},
      {T("2"), N(10), "A < B", false},  // compared as text: "2" > "10"
      {N(1), T("1"), "A = B", true},
      {E(), E(), "A = B", false},
      {E(), T(""), "A = B", false},
      {B(true), B(true), "A = B", true},
      {N(1), N(1), "A & B = '11'", true},
      {E(), Err(), "(A & B) = ''", true},
      // Three-valued logic.
      {E(), N(1), "A > 0 OR B > 0", true},
      {E(), N(1), "NOT (A > 0 AND B > 0)", false},
      {N(0), N(1), "NOT (A > 0 AND B > 0)", true},
      {E(), N(1), "NOT (A > 0 OR B > 5)", false},
  };
  for (const auto& c : cases) {
    MemorySource source;
    source.Add({"T", {"A", "B"}, {{c.a, c.b}}});
    const ResultSet r = Execute(std::string("select A from T where ") + c.where, source);
    EXPECT_EQ(r.rows.size(), c.holds ? 1u : 0u) << c.where << " with A=" << sql::CellToText(c.a);
  }
}

TEST_F(QueryTest, Errors) {
  const std::string deep(500, '(');
  std::string manyNots;
  for (int i = 0; i < 500; ++i) manyNots += "NOT ";
  const struct {
    std::string sql;
    std::string message;
  } cases[] = {
      {"Select Val from Data_Adr Group by Val", "Syntax error near 'Group'"},
      {"Select Foo from Data_Adr", "Unknown column 'Foo'"},
      {"Select Val from Data_Adr where Foo = 'x'", "Unknown column 'Foo'"},
      {"Select Other.Val from Data_Adr", "Unknown column 'Other.Val'"},
      {"Select Val from Data_Adr Order by Nope", "Unknown column 'Nope' in ORDER BY"},
      {"Select Val from X", "no table named X"},
      {"Select Val from Data_Adr where Val = 'abc", "Unterminated string 'abc"},
      {"Select Val from [Data_Adr", "Unterminated name [Data_Adr"},
      {"Select Val from []", "Empty name '[]'"},
      {"Select Val from Data_Adr junk", "Syntax error near 'junk'"},
      {"Select Val from Data_Adr;;", "Syntax error near ';'"},
      {"Select Val, from Data_Adr", "Syntax error near 'from'"},
      {"Select Val from Data_Adr where", "Syntax error: unexpected end of query"},
      {"Select Val from Data_Adr where (Val = 'x'", "Syntax error: unexpected end of query"},
      {"Select Val from Data_Adr where (Val = 'x') = 'y'", "Syntax error near '='"},
      {"Select Val from Data_Adr where Val == 'x'", "Syntax error near '='"},
      {"Select Val from Data_Adr where Val # 1", "Syntax error near '#'"},
      {"Select Val from Data_Adr where Val = 1e999", "Number out of range '1e999'"},
      {"Select Val from Data_Adr where Val like 'x'", "Syntax error near 'like'"},
      {"Select Val from Data_Adr where Val is null", "Syntax error near 'is'"},
      {"Select distinct Val from Data_Adr", "Syntax error near 'distinct'"},
      {"Delete from Data_Adr", "Syntax error near 'Delete'"},
      {"Select Val Data_Adr", "Syntax error near 'Data_Adr'"},
      {"", "Syntax error: unexpected end of query"},
      {std::string("Select Val from Data_Adr where \x01", 32), "Syntax error near character 0x01"},
      {"Select Val from Data_Adr where " + deep + "Val = 'x'", "Query nested too deeply"},
      {"Select Val from Data_Adr where " + manyNots + "Val = 'x'", "Query nested too deeply"},
  };
  for (const auto& c : cases) {
    try {
      Run(c.sql);
      ADD_FAILURE() << "no error for: " << c.sql;
    } catch (const SqlError& e) {
      EXPECT_EQ(e.what(), c.message) << c.sql;
    }
  }
}

TEST(RowFilterTest, Errors) {
  const std::vector<std::string> columns = {"CaptionInForm", "ID_Element"};
  for (const char* bad :
       {"", " ", "ID_Element", "ID_Element == 'x'", "ID_Element = x", "ID_Element = 5", "Foo = 'x'",
        "ID_Element = 'x' and ID_Element = 'y'", "'x' = ID_Element", "ID_Element = 'x"}) {
    EXPECT_THROW(RowFilter::Parse(bad, columns), SqlError) << bad;
  }
}

}  // namespace
}  // namespace zumt::test
