// Executes a parsed query over one table of the source.
//
// Comparison rules (a null is an Empty or Error cell):
//  - with a number literal on either side, the other side must be a Number or
//    Date cell (or a number literal); the two compare as numbers. Any other
//    cell (Empty, Text, Boolean, Error) and every concatenation never satisfy
//    the comparison, whatever the operator;
//  - otherwise, with a text literal on either side, the other side (a cell or
//    a concatenation) is read as text and the two compare case-insensitively;
//    a null cell never matches;
//  - column against column: a null on either side never matches; two Number
//    or Date cells, or two Boolean cells, compare as numbers; any other pair
//    compares as text, case-insensitively.
// A comparison that does not apply is "unknown" rather than false, and NOT
// keeps it unknown (the usual three-valued logic), so NOT (Result > 0) selects
// only the numeric cells that are 0 or below.
#include "platform/datasource/sql_engine.h"

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstring>

#include "platform/datasource/cell_text.h"
#include "platform/datasource/sql_parser.h"
#include "platform/datasource/text_fold.h"
#include "platform/spreadsheet/spreadsheet_error.h"

namespace zumt::sql {
namespace {

using sheet::Cell;
using sheet::CellType;

enum class Truth { False, True, Unknown };

bool IsNull(const Cell& c) { return c.type == CellType::Empty || c.type == CellType::Error; }
bool IsNumeric(const Cell& c) { return c.type == CellType::Number || c.type == CellType::Date; }

std::optional<std::size_t> FindColumn(const sheet::Table& table, const std::string& fromName,
                                      const std::string& qualifier, const std::string& name) {
  if (!qualifier.empty() && !EqualsNoCase(qualifier, fromName) && !EqualsNoCase(qualifier, table.name))
    return std::nullopt;
  const std::string folded = FoldCase(name);
  for (std::size_t i = 0; i < table.columns.size(); ++i)
    if (FoldCase(table.columns[i]) == folded) return i;
  return std::nullopt;
}

std::string Written(const std::string& qualifier, const std::string& name) {
  return qualifier.empty() ? name : qualifier + "." + name;
}

class Evaluator {
 public:
  Evaluator(const sheet::Table& table, const std::string& fromName, const TextContext& text)
      : table_(table), from_(fromName), text_(text) {}

  void Resolve(Operand& v) const {
    if (v.kind == Operand::Kind::Column) {
      const auto index = FindColumn(table_, from_, v.qualifier, v.name);
      if (!index) throw SqlError("Unknown column '" + Written(v.qualifier, v.name) + "'");
      v.column = *index;
    } else if (v.kind == Operand::Kind::Text) {
      v.folded = FoldCase(v.text);  // once per query, not per row
    }
    for (Operand& part : v.parts) Resolve(part);
  }

  void Resolve(Condition& c) const {
    if (c.kind == Condition::Kind::Compare) {
      Resolve(c.left);
      Resolve(c.right);
    }
    for (auto& child : c.children) Resolve(*child);
  }

  void AppendText(const Operand& v, const sheet::Row& row, std::string& out) const {
    switch (v.kind) {
      case Operand::Kind::Column:
        out += CellToText(row[v.column], text_);
        break;
      case Operand::Kind::Text:
        out += v.text;
        break;
      case Operand::Kind::Number:
        out += NumberToText(v.number, text_.DecimalSeparator());
        break;
      case Operand::Kind::Concat:
        for (const Operand& part : v.parts) AppendText(part, row, out);
        break;
    }
  }

  Cell Value(const Operand& v, const sheet::Row& row) const {
    switch (v.kind) {
      case Operand::Kind::Column:
        return row[v.column];
      case Operand::Kind::Number:
        return Cell::MakeNumber(v.number);
      default: {
        std::string text;
        AppendText(v, row, text);
        return Cell::MakeText(std::move(text));
      }
    }
  }

  Truth Test(const Condition& c, const sheet::Row& row) const {
    switch (c.kind) {
      case Condition::Kind::Compare:
        return Compare(c, row);
      case Condition::Kind::Not: {
        const Truth t = Test(*c.children[0], row);
        return t == Truth::Unknown ? t : (t == Truth::True ? Truth::False : Truth::True);
      }
      case Condition::Kind::And: {
        const Truth a = Test(*c.children[0], row);
        if (a == Truth::False) return a;
        const Truth b = Test(*c.children[1], row);
        if (b == Truth::False) return b;
        return a == Truth::True && b == Truth::True ? Truth::True : Truth::Unknown;
      }
      case Condition::Kind::Or: {
        const Truth a = Test(*c.children[0], row);
        if (a == Truth::True) return a;
        const Truth b = Test(*c.children[1], row);
        if (b == Truth::True) return b;
        return a == Truth::False && b == Truth::False ? Truth::False : Truth::Unknown;
      }
    }
    return Truth::Unknown;
  }

 private:
  static Truth Holds(CompareOp op, int order) {
    bool r = false;
    switch (op) {
      case CompareOp::Equal:
        r = order == 0;
        break;
      case CompareOp::NotEqual:
        r = order != 0;
        break;
      case CompareOp::Less:
        r = order < 0;
        break;
      case CompareOp::Greater:
        r = order > 0;
        break;
      case CompareOp::LessEqual:
        r = order <= 0;
        break;
      case CompareOp::GreaterEqual:
        r = order >= 0;
        break;
    }
    return r ? Truth::True : Truth::False;
  }

  static Truth CompareNumbers(CompareOp op, double a, double b) {
    if (std::isnan(a) || std::isnan(b)) return Truth::Unknown;
    return Holds(op, a < b ? -1 : (a > b ? 1 : 0));
  }

  static Truth CompareTexts(CompareOp op, const std::string& a, const std::string& b) {
    const int order = a.compare(b);
    return Holds(op, order < 0 ? -1 : (order > 0 ? 1 : 0));
  }

  // The number an operand stands for in a numeric comparison, if it has one.
  static std::optional<double> NumberOf(const Operand& v, const sheet::Row& row) {
    if (v.kind == Operand::Kind::Number) return v.number;
    if (v.kind == Operand::Kind::Column && IsNumeric(row[v.column])) return row[v.column].number;
    return std::nullopt;
  }

  // The folded text of a cell or concatenation; empty optional for a null cell.
  std::optional<std::string> FoldedText(const Operand& v, const sheet::Row& row) const {
    if (v.kind == Operand::Kind::Text) return v.folded;
    if (v.kind == Operand::Kind::Column && IsNull(row[v.column])) return std::nullopt;
    std::string text;
    AppendText(v, row, text);
    return FoldCase(text);
  }

  Truth Compare(const Condition& c, const sheet::Row& row) const {
    const Operand& l = c.left;
    const Operand& r = c.right;
    if (l.kind == Operand::Kind::Number || r.kind == Operand::Kind::Number) {
      const auto a = NumberOf(l, row), b = NumberOf(r, row);
      return a && b ? CompareNumbers(c.op, *a, *b) : Truth::Unknown;
    }
    if (l.kind == Operand::Kind::Column && r.kind == Operand::Kind::Column) {
      const Cell& a = row[l.column];
      const Cell& b = row[r.column];
      if (IsNull(a) || IsNull(b)) return Truth::Unknown;
      if ((IsNumeric(a) && IsNumeric(b)) || (a.type == CellType::Boolean && b.type == CellType::Boolean))
        return CompareNumbers(c.op, a.number, b.number);
    }
    const auto a = FoldedText(l, row), b = FoldedText(r, row);
    return a && b ? CompareTexts(c.op, *a, *b) : Truth::Unknown;
  }

  const sheet::Table& table_;
  const std::string& from_;
  const TextContext& text_;
};

// One ORDER BY key of one row, encoded so that most comparisons are one
// integer comparison: nulls (0) first, then numbers (Number, Date, Boolean;
// their bits mapped to an order-preserving integer, never 0 or all ones for a
// number that is not NaN), then texts (all ones), which compare by their
// folded text kept in a side table.
struct SortKey {
  std::uint64_t code = 0;
  std::uint32_t text = 0;  // index into the folded texts, for a text key
};

constexpr std::uint64_t kTextCode = ~std::uint64_t{0};

std::uint64_t NumberCode(double value) {
  if (value == 0.0) value = 0.0;  // -0 sorts with +0
  std::uint64_t bits;
  std::memcpy(&bits, &value, sizeof bits);
  return (bits & 0x8000000000000000ull) ? ~bits : bits | 0x8000000000000000ull;
}

SortKey MakeKey(const Cell& cell, std::vector<std::string>& texts) {
  switch (cell.type) {
    case CellType::Empty:
    case CellType::Error:
      return {};
    case CellType::Number:
    case CellType::Date:
    case CellType::Boolean:
      if (std::isnan(cell.number)) return {};  // cannot come from a workbook; sorts as a null
      return {NumberCode(cell.number), 0};
    case CellType::Text:
      texts.push_back(FoldCase(cell.text));
      return {kTextCode, static_cast<std::uint32_t>(texts.size() - 1)};
    case CellType::PendingText:  // never a sort key: sort columns are decoded on reading
      return {};
  }
  return {};
}

int CompareKeys(const SortKey& a, const SortKey& b, const std::vector<std::string>& texts) {
  if (a.code != b.code) return a.code < b.code ? -1 : 1;
  if (a.code != kTextCode) return 0;
  const int order = texts[a.text].compare(texts[b.text]);
  return order < 0 ? -1 : (order > 0 ? 1 : 0);
}

// The columns a query reads before its output (conditions, expressions,
// sort keys): their texts are decoded with the table. The texts of the
// other columns wait until a selected row is output.
void AddInspected(const Operand& v, std::vector<std::string>& out) {
  if (v.kind == Operand::Kind::Column) out.push_back(v.name);
  for (const Operand& part : v.parts) AddInspected(part, out);
}

void AddInspected(const Condition& c, std::vector<std::string>& out) {
  if (c.kind == Condition::Kind::Compare) {
    AddInspected(c.left, out);
    AddInspected(c.right, out);
  }
  for (const auto& child : c.children) AddInspected(*child, out);
}

sheet::ReadOptions ReadOptionsFor(const Query& query) {
  sheet::ReadOptions options;
  options.deferText = true;
  std::vector<std::string>& now = options.decodeNow;
  if (query.where) AddInspected(*query.where, now);
  for (const SelectItem& item : query.items)
    if (!item.star && item.value.kind != Operand::Kind::Column) AddInspected(item.value, now);
  for (const OrderItem& order : query.order) {
    now.push_back(order.name);
    for (const SelectItem& item : query.items) {  // a sort by an output column's alias
      if (!item.star && item.value.kind == Operand::Kind::Column && EqualsNoCase(item.alias, order.name))
        now.push_back(item.value.name);
    }
  }
  return options;
}

sheet::Table ReadTable(const TableSource& source, const Query& query) {
  try {
    return source.ReadTableFor(query.table, ReadOptionsFor(query));
  } catch (const sheet::SpreadsheetError& e) {
    throw SqlError(e.what());
  }
}

}  // namespace

ResultSet Execute(std::string_view sqlText, const TableSource& source) {
  Query query = ParseQuery(sqlText);
  const sheet::Table table = ReadTable(source, query);
  const TextContext text;
  const Evaluator eval(table, query.table, text);

  // Output columns: "*" expands to the table's columns; a bare column is
  // named as the table spells it; an unnamed expression gets Expr1000, ...
  ResultSet result;
  std::vector<Operand> outputs;
  int expressions = 0;
  for (SelectItem& item : query.items) {
    if (item.star) {
      for (std::size_t i = 0; i < table.columns.size(); ++i) {
        Operand v;
        v.column = i;
        outputs.push_back(std::move(v));
        result.columns.push_back(table.columns[i]);
      }
      continue;
    }
    eval.Resolve(item.value);
    if (!item.alias.empty())
      result.columns.push_back(item.alias);
    else if (item.value.kind == Operand::Kind::Column && !item.value.parenthesised)
      result.columns.push_back(table.columns[item.value.column]);
    else
      result.columns.push_back("Expr" + std::to_string(1000 + expressions++));
    outputs.push_back(std::move(item.value));
  }
  if (query.where) eval.Resolve(*query.where);

  // ORDER BY names a table column, or failing that an output column's name.
  struct KeySource {
    bool fromOutput;
    std::size_t index;
    bool descending;
  };
  std::vector<KeySource> keys;
  for (const OrderItem& item : query.order) {
    if (const auto index = FindColumn(table, query.table, item.qualifier, item.name)) {
      keys.push_back({false, *index, item.descending});
      continue;
    }
    const auto alias = item.qualifier.empty()
                           ? std::find_if(result.columns.begin(), result.columns.end(),
                                          [&](const std::string& c) { return EqualsNoCase(c, item.name); })
                           : result.columns.end();
    if (alias == result.columns.end())
      throw SqlError("Unknown column '" + Written(item.qualifier, item.name) + "' in ORDER BY");
    keys.push_back({true, static_cast<std::size_t>(alias - result.columns.begin()), item.descending});
  }

  std::vector<std::size_t> selected;
  selected.reserve(table.rows.size());
  for (std::size_t i = 0; i < table.rows.size(); ++i) {
    if (table.rows[i].size() != table.columns.size())
      throw SqlError("Table '" + table.name + "' has a ragged row");
    if (!query.where || eval.Test(*query.where, table.rows[i]) == Truth::True) selected.push_back(i);
  }

  // Sort the selected rows (their indices) before building the output, so
  // every output row is built once, in its final place.
  if (!keys.empty() && selected.size() > 1) {
    const std::size_t n = selected.size(), k = keys.size();
    std::vector<SortKey> flat(n * k);
    std::vector<std::string> texts;
    for (std::size_t r = 0; r < n; ++r) {
      const sheet::Row& row = table.rows[selected[r]];
      for (std::size_t j = 0; j < k; ++j) {
        const KeySource& s = keys[j];
        flat[r * k + j] =
            s.fromOutput ? MakeKey(eval.Value(outputs[s.index], row), texts) : MakeKey(row[s.index], texts);
      }
    }
    std::vector<std::size_t> order(n);
    for (std::size_t r = 0; r < n; ++r) order[r] = r;
    std::stable_sort(order.begin(), order.end(), [&](std::size_t a, std::size_t b) {
      const SortKey* ka = &flat[a * k];
      const SortKey* kb = &flat[b * k];
      for (std::size_t j = 0; j < k; ++j) {
        const int c = CompareKeys(ka[j], kb[j], texts);
        if (c != 0) return keys[j].descending ? c > 0 : c < 0;
      }
      return false;
    });
    for (std::size_t& r : order) r = selected[r];
    selected = std::move(order);
  }

  result.rows.reserve(selected.size());
  try {
    for (std::size_t i : selected) {
      sheet::Row& row = result.rows.emplace_back();
      row.reserve(outputs.size());
      for (const Operand& v : outputs) table.Resolve(row.emplace_back(eval.Value(v, table.rows[i])));
    }
  } catch (const sheet::SpreadsheetError& e) {
    throw SqlError(e.what());
  }
  return result;
}

}  // namespace zumt::sql
