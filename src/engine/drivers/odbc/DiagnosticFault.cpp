#include "engine/drivers/odbc/DiagnosticFault.h"

#include <algorithm>
#include <array>
#include <string_view>

#include "engine/core/AsciiCase.h"

namespace patchpav::odbc {
namespace {

constexpr std::array<SQLINTEGER, 6> kSqlServerPermissionErrors = {229, 230, 262, 297, 300, 916};
constexpr SQLINTEGER kSqlServerReadOnlyDatabase = 3906;

// Words of a refused permission, matched on the upper-case text: "REFUS" covers "refusée" of
// SQL Server's French "L'autorisation UPDATE a été refusée sur l'objet".
constexpr std::array<std::string_view, 5> kPermissionWords = {"PERMISSION", "DENIED", "PRIVILEGE",
                                                              "AUTORISATION", "REFUS"};

bool SpeaksOfPermission(const std::string& message) {
  const std::string upper = ToUpperAscii(message);
  return std::any_of(kPermissionWords.begin(), kPermissionWords.end(),
                     [&](std::string_view word) { return upper.find(word) != std::string::npos; });
}

DatabaseFault FaultOfRecord(const DiagnosticRecord& record) {
  const std::string_view state = record.state;
  if (state.starts_with("08") || state == "HYT01") return DatabaseFault::ConnectionLost;
  if (state == "42501") return DatabaseFault::PermissionDenied;
  if (state == "25006" || record.nativeError == kSqlServerReadOnlyDatabase) {
    return DatabaseFault::ReadOnly;
  }
  if (state == "42000" || state == "37000") {
    const bool permissionError =
        std::find(kSqlServerPermissionErrors.begin(), kSqlServerPermissionErrors.end(),
                  record.nativeError) != kSqlServerPermissionErrors.end();
    if (permissionError || SpeaksOfPermission(record.message)) {
      return DatabaseFault::PermissionDenied;
    }
  }
  return DatabaseFault::Unspecified;
}

}  // namespace

DatabaseFault FaultOf(const std::vector<DiagnosticRecord>& records) {
  for (const DiagnosticRecord& record : records) {
    const DatabaseFault fault = FaultOfRecord(record);
    if (fault != DatabaseFault::Unspecified) return fault;
  }
  return DatabaseFault::Unspecified;
}

}  // namespace patchpav::odbc
