#pragma once

#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

namespace patchpav::sql {

enum class TokenKind {
  Identifier,  // a name or a keyword; keywords are recognised by the parser, without case
  Number,      // digits with an optional fraction and exponent, no sign
  String,      // a quoted literal, quotes removed and doubled quotes made single
  Parameter,   // ":name"; text holds the name without the colon
  Symbol,      // , ( ) * ; . = <> != < <= > >= + -
  End,
};

struct Token {
  TokenKind kind = TokenKind::End;
  std::string text;
  char quote = 0;            // String: the quote character that delimited it
  std::size_t position = 0;  // byte offset in the statement text
};

// Splits a statement into tokens. A character that starts no token, or a literal without its
// closing quote, is an EDatabaseError naming where it stands. The last token is always End.
std::vector<Token> Tokenize(std::string_view text);

// The text shown after "près de" in a syntax error: the statement from the given offset, cut at
// the end of the line and kept short.
std::string ExcerptAt(std::string_view text, std::size_t position);

}  // namespace patchpav::sql
