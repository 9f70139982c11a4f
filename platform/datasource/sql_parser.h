#pragma once
// The parsed form of one SELECT of the subset. Column names are kept as
// written; the engine resolves them against the table it reads.

#include <memory>
#include <string>
#include <string_view>
#include <vector>

namespace zumt::sql {

// A value: a column, a literal, or a concatenation "a & b & ...".
struct Operand {
  enum class Kind { Column, Text, Number, Concat } kind = Kind::Column;
  std::string qualifier;       // Column: the table in "table.column", else empty
  std::string name;            // Column: the name as written
  std::string text;            // Text literal
  std::string folded;          // Text literal case-folded, set by the engine
  double number = 0.0;         // Number literal
  std::vector<Operand> parts;  // Concat
  bool parenthesised = false;  // "(Name)" names its output column like an expression
  std::size_t column = 0;      // Column: index in the table, set by the engine
};

enum class CompareOp { Equal, NotEqual, Less, Greater, LessEqual, GreaterEqual };

struct Condition {
  enum class Kind { Compare, And, Or, Not } kind = Kind::Compare;
  CompareOp op = CompareOp::Equal;
  Operand left, right;                               // Compare
  std::vector<std::unique_ptr<Condition>> children;  // And/Or: two; Not: one
};

struct SelectItem {
  bool star = false;  // "*": every column of the table
  Operand value;
  std::string alias;  // empty: none given
};

struct OrderItem {
  std::string qualifier, name;
  bool descending = false;
};

struct Query {
  std::vector<SelectItem> items;
  std::string table;
  std::unique_ptr<Condition> where;  // null: every row
  std::vector<OrderItem> order;
};

// Throws SqlError naming the first token outside the subset.
Query ParseQuery(std::string_view text);

}  // namespace zumt::sql
