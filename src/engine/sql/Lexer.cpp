#include "engine/sql/Lexer.h"

#include "engine/core/Errors.h"

namespace patchpav::sql {
namespace {

bool IsBlank(char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\n' || c == '\f'; }
bool IsDigit(char c) { return c >= '0' && c <= '9'; }
// Bytes of a UTF-8 sequence count as letters, so accented column names read as one name.
bool IsNameStart(char c) {
  return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || c == '_' ||
         static_cast<unsigned char>(c) >= 0x80;
}
bool IsNamePart(char c) { return IsNameStart(c) || IsDigit(c) || c == '$' || c == '#'; }

}  // namespace

std::string ExcerptAt(std::string_view text, std::size_t position) {
  constexpr std::size_t kMaxExcerpt = 30;
  std::string_view rest = text.substr(std::min(position, text.size()));
  const std::size_t lineEnd = rest.find_first_of("\r\n");
  if (lineEnd != std::string_view::npos) rest = rest.substr(0, lineEnd);
  if (rest.size() <= kMaxExcerpt) return std::string(rest);
  std::size_t cut = kMaxExcerpt;
  // Never cut inside a UTF-8 sequence.
  while (cut > 0 && (static_cast<unsigned char>(rest[cut]) & 0xC0) == 0x80) --cut;
  return std::string(rest.substr(0, cut)) + "...";
}

std::vector<Token> Tokenize(std::string_view text) {
  std::vector<Token> tokens;
  std::size_t i = 0;
  const std::size_t n = text.size();
  while (true) {
    while (i < n && IsBlank(text[i])) ++i;
    Token token;
    token.position = i;
    if (i == n) {
      tokens.push_back(std::move(token));
      return tokens;
    }
    const char c = text[i];
    if (IsNameStart(c)) {
      std::size_t j = i + 1;
      while (j < n && IsNamePart(text[j])) ++j;
      token.kind = TokenKind::Identifier;
      token.text = text.substr(i, j - i);
      i = j;
    } else if (IsDigit(c) || (c == '.' && i + 1 < n && IsDigit(text[i + 1]))) {
      std::size_t j = i;
      while (j < n && IsDigit(text[j])) ++j;
      if (j < n && text[j] == '.') {
        ++j;
        while (j < n && IsDigit(text[j])) ++j;
      }
      if (j < n && (text[j] == 'e' || text[j] == 'E')) {
        std::size_t k = j + 1;
        if (k < n && (text[k] == '+' || text[k] == '-')) ++k;
        if (k < n && IsDigit(text[k])) {
          while (k < n && IsDigit(text[k])) ++k;
          j = k;
        }
      }
      // "12abc" is no number followed by a name: report it rather than guess.
      if (j < n && IsNamePart(text[j])) {
        throw EDatabaseError("Erreur de syntaxe près de '" + ExcerptAt(text, i) + "'");
      }
      token.kind = TokenKind::Number;
      token.text = text.substr(i, j - i);
      i = j;
    } else if (c == '\'' || c == '"') {
      std::size_t j = i + 1;
      std::string value;
      bool closed = false;
      while (j < n) {
        if (text[j] == c) {
          if (j + 1 < n && text[j + 1] == c) {
            value += c;
            j += 2;
            continue;
          }
          closed = true;
          ++j;
          break;
        }
        value += text[j++];
      }
      if (!closed) {
        throw EDatabaseError("Erreur de syntaxe : chaîne non terminée près de '" +
                             ExcerptAt(text, i) + "'");
      }
      token.kind = TokenKind::String;
      token.text = std::move(value);
      token.quote = c;
      i = j;
    } else if (c == ':') {
      std::size_t j = i + 1;
      while (j < n && IsNamePart(text[j])) ++j;
      if (j == i + 1)
        throw EDatabaseError("Erreur de syntaxe près de '" + ExcerptAt(text, i) + "'");
      token.kind = TokenKind::Parameter;
      token.text = text.substr(i + 1, j - i - 1);
      i = j;
    } else {
      const std::string_view two = text.substr(i, 2);
      token.kind = TokenKind::Symbol;
      if (two == "<>" || two == "!=" || two == "<=" || two == ">=") {
        token.text = {two[0], two[1]};
        i += 2;
      } else if (std::string_view(",()*;.=<>+-").find(c) != std::string_view::npos) {
        token.text = std::string(1, c);
        ++i;
      } else {
        throw EDatabaseError("Erreur de syntaxe près de '" + ExcerptAt(text, i) + "'");
      }
    }
    tokens.push_back(std::move(token));
  }
}

}  // namespace patchpav::sql
