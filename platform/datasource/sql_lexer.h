#pragma once
// Tokens of the query subset: names (bare or in square brackets), 'text'
// literals with '' for a quote, numbers, and the operator symbols.

#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

namespace zumt::sql {

enum class TokenKind { Name, Text, Number, Symbol, End };

struct Token {
  TokenKind kind = TokenKind::End;
  std::string value;       // name or symbol as written; text without quotes; number as written
  double number = 0.0;     // for Number
  bool bracketed = false;  // a [name], never a keyword
  std::string_view raw;    // the token's text in the query, for messages

  bool IsSymbol(std::string_view s) const { return kind == TokenKind::Symbol && value == s; }
  bool IsKeyword(std::string_view upper) const;  // a bare name spelled like `upper`, any case
};

// Throws SqlError for an unterminated literal or name, a character outside
// the subset, or a number out of range. The last token is End.
std::vector<Token> Tokenize(std::string_view text);

// How a token is named in an error message.
std::string Describe(const Token& token);

}  // namespace zumt::sql
