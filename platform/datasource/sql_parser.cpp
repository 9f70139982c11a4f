// Recursive-descent parser of the query subset:
//   query  := SELECT item {, item} FROM name [WHERE or] [ORDER BY key {, key}] [;]
//   item   := * | value [AS name]
//   value  := primary {& primary}
//   primary:= column | table.column | 'text' | [-]number | ( value )
//   or     := and {OR and};  and := not {AND not};  not := NOT not | pred
//   pred   := ( or ) | value op value,  op one of = <> < > <= >=
//   key    := column [ASC | DESC]
// A "(" in a condition may open either a grouped condition or a value such
// as "(Name & Val) = 'x'"; the parser tries the first and falls back on the
// second, reporting whichever attempt got further.
#include "platform/datasource/sql_parser.h"

#include <optional>

#include "platform/datasource/sql_engine.h"
#include "platform/datasource/sql_lexer.h"

namespace zumt::sql {
namespace {

constexpr int kMaxDepth = 100;  // nesting of parentheses and NOT

struct ParseFailure {
  std::size_t at;  // token index
  std::string message;
};

bool IsReserved(const Token& t) {
  static constexpr const char* kWords[] = {
      "SELECT", "FROM",   "WHERE",   "ORDER",    "BY",     "AS",   "AND",   "OR",    "NOT",  "ASC",
      "DESC",   "GROUP",  "HAVING",  "DISTINCT", "TOP",    "JOIN", "UNION", "INTO",  "LIKE", "IN",
      "IS",     "NULL",   "BETWEEN", "ON",       "INNER",  "LEFT", "RIGHT", "OUTER", "FULL", "CROSS",
      "LIMIT",  "VALUES", "INSERT",  "UPDATE",   "DELETE", "SET",  "ALL",   "EXISTS"};
  for (const char* word : kWords)
    if (t.IsKeyword(word)) return true;
  return false;
}

bool IsCompareSymbol(const Token& t) {
  for (const char* symbol : {"=", "<>", "<", ">", "<=", ">="})
    if (t.IsSymbol(symbol)) return true;
  return false;
}

class Parser {
 public:
  explicit Parser(std::vector<Token> tokens) : t_(std::move(tokens)) {}

  Query ParseAll() {
    Query q;
    ExpectKeyword("SELECT");
    do {
      SelectItem item;
      if (Peek().IsSymbol("*")) {
        item.star = true;
        ++pos_;
      } else {
        item.value = ParseValue();
        if (AcceptKeyword("AS")) item.alias = ExpectName();
      }
      q.items.push_back(std::move(item));
    } while (AcceptSymbol(","));
    ExpectKeyword("FROM");
    q.table = ExpectName();
    if (AcceptKeyword("WHERE")) q.where = ParseOr();
    if (AcceptKeyword("ORDER")) {
      ExpectKeyword("BY");
      do {
        OrderItem key;
        key.name = ExpectName();
        if (AcceptSymbol(".")) {
          key.qualifier = std::move(key.name);
          key.name = ExpectName();
        }
        if (AcceptKeyword("DESC"))
          key.descending = true;
        else
          AcceptKeyword("ASC");
        q.order.push_back(std::move(key));
      } while (AcceptSymbol(","));
    }
    AcceptSymbol(";");
    if (Peek().kind != TokenKind::End) Fail();
    return q;
  }

 private:
  class DepthGuard {
   public:
    explicit DepthGuard(Parser& p) : p_(p) {
      if (++p_.depth_ > kMaxDepth) throw ParseFailure{p_.pos_, "Query nested too deeply"};
    }
    ~DepthGuard() { --p_.depth_; }

   private:
    Parser& p_;
  };

  const Token& Peek() const { return t_[pos_]; }

  [[noreturn]] void Fail() const {
    const Token& t = Peek();
    if (t.kind == TokenKind::End) throw ParseFailure{pos_, "Syntax error: unexpected end of query"};
    throw ParseFailure{pos_, "Syntax error near " + Describe(t)};
  }

  bool AcceptKeyword(std::string_view word) {
    if (!Peek().IsKeyword(word)) return false;
    ++pos_;
    return true;
  }
  void ExpectKeyword(std::string_view word) {
    if (!AcceptKeyword(word)) Fail();
  }
  bool AcceptSymbol(std::string_view symbol) {
    if (!Peek().IsSymbol(symbol)) return false;
    ++pos_;
    return true;
  }
  void ExpectSymbol(std::string_view symbol) {
    if (!AcceptSymbol(symbol)) Fail();
  }
  bool AtName() const { return Peek().kind == TokenKind::Name && (Peek().bracketed || !IsReserved(Peek())); }
  std::string ExpectName() {
    if (!AtName()) Fail();
    return t_[pos_++].value;
  }

  Operand ParsePrimary() {
    const Token& t = Peek();
    Operand v;
    if (t.IsSymbol("(")) {
      DepthGuard guard(*this);
      ++pos_;
      v = ParseValue();
      ExpectSymbol(")");
      v.parenthesised = true;
    } else if (t.kind == TokenKind::Text) {
      v.kind = Operand::Kind::Text;
      v.text = t.value;
      ++pos_;
    } else if (t.kind == TokenKind::Number) {
      v.kind = Operand::Kind::Number;
      v.number = t.number;
      ++pos_;
    } else if (t.IsSymbol("-") && t_[pos_ + 1].kind == TokenKind::Number) {
      v.kind = Operand::Kind::Number;
      v.number = -t_[pos_ + 1].number;
      pos_ += 2;
    } else if (AtName()) {
      v.kind = Operand::Kind::Column;
      v.name = t.value;
      ++pos_;
      if (AcceptSymbol(".")) {
        v.qualifier = std::move(v.name);
        v.name = ExpectName();
      }
    } else {
      Fail();
    }
    return v;
  }

  Operand ParseValue() {
    Operand first = ParsePrimary();
    if (!Peek().IsSymbol("&")) return first;
    Operand concat;
    concat.kind = Operand::Kind::Concat;
    concat.parts.push_back(std::move(first));
    while (AcceptSymbol("&")) concat.parts.push_back(ParsePrimary());
    return concat;
  }

  static std::unique_ptr<Condition> Join(Condition::Kind kind, std::unique_ptr<Condition> a,
                                         std::unique_ptr<Condition> b) {
    auto node = std::make_unique<Condition>();
    node->kind = kind;
    node->children.push_back(std::move(a));
    if (b) node->children.push_back(std::move(b));
    return node;
  }

  std::unique_ptr<Condition> ParseOr() {
    auto left = ParseAnd();
    while (AcceptKeyword("OR")) left = Join(Condition::Kind::Or, std::move(left), ParseAnd());
    return left;
  }

  std::unique_ptr<Condition> ParseAnd() {
    auto left = ParseNot();
    while (AcceptKeyword("AND")) left = Join(Condition::Kind::And, std::move(left), ParseNot());
    return left;
  }

  std::unique_ptr<Condition> ParseNot() {
    if (!AcceptKeyword("NOT")) return ParsePredicate();
    DepthGuard guard(*this);
    return Join(Condition::Kind::Not, ParseNot(), nullptr);
  }

  std::optional<CompareOp> AcceptCompare() {
    static const std::pair<const char*, CompareOp> kOps[] = {
        {"=", CompareOp::Equal},   {"<>", CompareOp::NotEqual},  {"<", CompareOp::Less},
        {">", CompareOp::Greater}, {"<=", CompareOp::LessEqual}, {">=", CompareOp::GreaterEqual}};
    for (const auto& [symbol, op] : kOps)
      if (AcceptSymbol(symbol)) return op;
    return std::nullopt;
  }

  std::unique_ptr<Condition> ParsePredicate() {
    std::optional<ParseFailure> grouped;
    if (Peek().IsSymbol("(")) {
      const std::size_t start = pos_;
      try {
        DepthGuard guard(*this);
        ++pos_;
        auto inner = ParseOr();
        ExpectSymbol(")");
        // "(a) & b = c" or "(a) = b": a value in parentheses after all.
        if (Peek().IsSymbol("&") || IsCompareSymbol(Peek())) Fail();
        return inner;
      } catch (ParseFailure& failure) {
        grouped = std::move(failure);
      }
      pos_ = start;
    }
    try {
      auto node = std::make_unique<Condition>();
      node->left = ParseValue();
      const std::optional<CompareOp> op = AcceptCompare();
      if (!op) Fail();
      node->op = *op;
      node->right = ParseValue();
      return node;
    } catch (ParseFailure& failure) {
      if (grouped && grouped->at > failure.at) throw *grouped;
      throw;
    }
  }

  std::vector<Token> t_;
  std::size_t pos_ = 0;
  int depth_ = 0;
};

}  // namespace

Query ParseQuery(std::string_view text) {
  Parser parser(Tokenize(text));
  try {
    return parser.ParseAll();
  } catch (const ParseFailure& failure) {
    throw SqlError(failure.message);
  }
}

}  // namespace zumt::sql
