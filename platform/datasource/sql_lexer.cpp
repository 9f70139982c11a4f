#include "platform/datasource/sql_lexer.h"

#include <charconv>
#include <cstdio>

#include "platform/datasource/sql_engine.h"

namespace zumt::sql {
namespace {

bool IsNameStart(unsigned char c) {
  return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || c == '_' || c >= 0x80;
}
bool IsNameChar(unsigned char c) { return IsNameStart(c) || (c >= '0' && c <= '9') || c == '$'; }
bool IsDigit(char c) { return c >= '0' && c <= '9'; }
bool IsBlank(char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\n' || c == '\f' || c == '\v'; }

// At most this many characters of a token are quoted in a message.
std::string Clip(std::string_view text) {
  constexpr std::size_t kMax = 40;
  return text.size() <= kMax ? std::string(text) : std::string(text.substr(0, kMax)) + "...";
}

}  // namespace

bool Token::IsKeyword(std::string_view upper) const {
  if (kind != TokenKind::Name || bracketed || value.size() != upper.size()) return false;
  for (std::size_t i = 0; i < upper.size(); ++i) {
    char c = value[i];
    if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 32);
    if (c != upper[i]) return false;
  }
  return true;
}

std::string Describe(const Token& token) {
  if (token.kind == TokenKind::End) return "end of query";
  return "'" + Clip(token.raw) + "'";
}

std::vector<Token> Tokenize(std::string_view text) {
  std::vector<Token> tokens;
  std::size_t i = 0;
  while (true) {
    while (i < text.size() && IsBlank(text[i])) ++i;
    Token token;
    const std::size_t start = i;
    if (i >= text.size()) {
      token.raw = text.substr(text.size());
      tokens.push_back(std::move(token));
      return tokens;
    }
    const char c = text[i];
    if (c == '\'') {
      token.kind = TokenKind::Text;
      ++i;
      bool closed = false;
      while (i < text.size()) {
        if (text[i] == '\'') {
          if (i + 1 < text.size() && text[i + 1] == '\'') {
            token.value += '\'';
            i += 2;
            continue;
          }
          ++i;
          closed = true;
          break;
        }
        token.value += text[i++];
      }
      if (!closed) throw SqlError("Unterminated string " + Clip(text.substr(start)));
    } else if (c == '[') {
      token.kind = TokenKind::Name;
      token.bracketed = true;
      const std::size_t close = text.find(']', i + 1);
      if (close == std::string_view::npos) throw SqlError("Unterminated name " + Clip(text.substr(start)));
      token.value = std::string(text.substr(i + 1, close - i - 1));
      if (token.value.empty()) throw SqlError("Empty name '[]'");
      i = close + 1;
    } else if (IsNameStart(static_cast<unsigned char>(c))) {
      token.kind = TokenKind::Name;
      while (i < text.size() && IsNameChar(static_cast<unsigned char>(text[i]))) ++i;
      token.value = std::string(text.substr(start, i - start));
    } else if (IsDigit(c) || (c == '.' && i + 1 < text.size() && IsDigit(text[i + 1]))) {
      token.kind = TokenKind::Number;
      while (i < text.size() && IsDigit(text[i])) ++i;
      if (i < text.size() && text[i] == '.') {
        ++i;
        while (i < text.size() && IsDigit(text[i])) ++i;
      }
      if (i < text.size() && (text[i] == 'e' || text[i] == 'E')) {
        std::size_t j = i + 1;
        if (j < text.size() && (text[j] == '+' || text[j] == '-')) ++j;
        if (j < text.size() && IsDigit(text[j])) {
          i = j;
          while (i < text.size() && IsDigit(text[i])) ++i;
        }
      }
      token.value = std::string(text.substr(start, i - start));
      const auto [end, error] =
          std::from_chars(token.value.data(), token.value.data() + token.value.size(), token.number);
      if (error != std::errc() || end != token.value.data() + token.value.size())
        throw SqlError("Number out of range '" + Clip(token.value) + "'");
    } else {
      token.kind = TokenKind::Symbol;
      const std::string_view two = text.substr(i, 2);
      if (two == "<>" || two == "<=" || two == ">=") {
        i += 2;
      } else if (std::string_view("=<>&(),*.-;").find(c) != std::string_view::npos) {
        ++i;
      } else {
        // Bytes of 0x80 and above start names, so this is one ASCII character.
        if (c > ' ' && c < 0x7F) throw SqlError("Syntax error near '" + std::string(1, c) + "'");
        char code[8];
        std::snprintf(code, sizeof code, "0x%02X", static_cast<unsigned char>(c));
        throw SqlError(std::string("Syntax error near character ") + code);
      }
      token.value = std::string(text.substr(start, i - start));
    }
    token.raw = text.substr(start, i - start);
    tokens.push_back(std::move(token));
  }
}

}  // namespace zumt::sql
