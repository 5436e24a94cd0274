#include "engine/drivers/odbc/StatementText.h"

namespace patchpav::odbc {
namespace {

bool IsNameChar(char c) {
  return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') || c == '_' ||
         static_cast<unsigned char>(c) >= 0x80;
}

// Copies a literal opened by `quote` at sql[i] through its closing quote (a doubled quote stays
// inside); returns the index after it. An unterminated literal runs to the end, and the server
// reports it.
std::size_t CopyLiteral(std::string_view sql, std::size_t i, std::string& out) {
  const char quote = sql[i];
  out += sql[i++];
  while (i < sql.size()) {
    out += sql[i];
    if (sql[i++] == quote) {
      if (i < sql.size() && sql[i] == quote) {
        out += sql[i++];
        continue;
      }
      break;
    }
  }
  return i;
}

std::size_t ConvertDoubleQuoted(std::string_view sql, std::size_t i, std::string& out) {
  out += '\'';
  ++i;
  while (i < sql.size()) {
    const char c = sql[i++];
    if (c == '"') {
      if (i < sql.size() && sql[i] == '"') {
        out += '"';
        ++i;
        continue;
      }
      break;
    }
    if (c == '\'') out += '\'';
    out += c;
  }
  out += '\'';
  return i;
}

}  // namespace

StatementText RewriteStatement(std::string_view sql, bool doubleQuotesAreStrings) {
  StatementText result;
  std::string& out = result.text;
  out.reserve(sql.size());
  std::size_t i = 0;
  while (i < sql.size()) {
    const char c = sql[i];
    if (c == '\'') {
      i = CopyLiteral(sql, i, out);
    } else if (c == '"') {
      i = doubleQuotesAreStrings ? ConvertDoubleQuoted(sql, i, out) : CopyLiteral(sql, i, out);
    } else if (c == ':' && i + 1 < sql.size() && sql[i + 1] == ':') {
      out += "::";
      i += 2;
    } else if (c == ':' && i + 1 < sql.size() && IsNameChar(sql[i + 1])) {
      out += '?';
      ++result.parameterCount;
      for (++i; i < sql.size() && IsNameChar(sql[i]); ++i) {
      }
    } else {
      out += c;
      ++i;
    }
  }
  return result;
}

}  // namespace patchpav::odbc
