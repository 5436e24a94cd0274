#pragma once

#include <cstddef>
#include <string>
#include <string_view>

namespace patchpav::odbc {

// A statement as the tool writes it, rewritten for ODBC:
//  - each ":name" outside string literals becomes the ODBC marker "?"; the n-th one is
//    parameter n ("::" is left alone, it is a cast on some servers);
//  - with `doubleQuotesAreStrings`, a double-quoted text outside single-quoted literals becomes a
//    single-quoted literal ("DATABASE" -> 'DATABASE', an inner ' doubled, an inner "" read as
//    one "), so the product's statements mean the same on a server whose double quotes delimit
//    names (every server but SQL Server with QUOTED_IDENTIFIER OFF).
struct StatementText {
  std::string text;
  std::size_t parameterCount = 0;
};

StatementText RewriteStatement(std::string_view sql, bool doubleQuotesAreStrings);

}  // namespace patchpav::odbc
