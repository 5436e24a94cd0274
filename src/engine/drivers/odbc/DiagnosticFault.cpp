#include "engine/drivers/odbc/DiagnosticFault.h"

#include <string_view>

namespace patchpav::odbc {
namespace {

// One rule of the table: a SQLSTATE (a whole one, or the first characters of a class; empty for
// any) and a native error number (0 for any).
struct Rule {
  std::string_view state;
  SQLINTEGER native;
  DatabaseFault fault;
};

constexpr Rule kRules[] = {
    {"08", 0, DatabaseFault::ConnectionLost},
    {"HYT01", 0, DatabaseFault::ConnectionLost},
    {"57P", 0, DatabaseFault::ConnectionLost},
    {"", 233, DatabaseFault::ConnectionLost},
    {"", 10053, DatabaseFault::ConnectionLost},
    {"", 10054, DatabaseFault::ConnectionLost},
    {"", 4060, DatabaseFault::ConnectionLost},
    {"42501", 0, DatabaseFault::PermissionDenied},
    {"28000", 0, DatabaseFault::PermissionDenied},
    {"28P01", 0, DatabaseFault::PermissionDenied},
    {"", 18456, DatabaseFault::PermissionDenied},
    // SQL Server's permission errors come with 42000, the state of most of its errors; paired
    // with it, as other drivers give small native numbers of their own (262 is one of SQLite's).
    {"42000", 229, DatabaseFault::PermissionDenied},
    {"42000", 230, DatabaseFault::PermissionDenied},
    {"42000", 262, DatabaseFault::PermissionDenied},
    {"42000", 297, DatabaseFault::PermissionDenied},
    {"42000", 300, DatabaseFault::PermissionDenied},
    {"42000", 916, DatabaseFault::PermissionDenied},
    {"37000", 229, DatabaseFault::PermissionDenied},
    {"37000", 230, DatabaseFault::PermissionDenied},
    {"37000", 262, DatabaseFault::PermissionDenied},
    {"37000", 297, DatabaseFault::PermissionDenied},
    {"37000", 300, DatabaseFault::PermissionDenied},
    {"37000", 916, DatabaseFault::PermissionDenied},
    {"25006", 0, DatabaseFault::ReadOnly},
    {"", 3906, DatabaseFault::ReadOnly},
    {"", 1205, DatabaseFault::Deadlock},
    {"40001", 0, DatabaseFault::Deadlock},
    {"40P01", 0, DatabaseFault::Deadlock},
};

// Numbers SQL Server gives to the errors of one statement: never a fault of the whole table,
// whatever state comes with them (a trigger's RAISERROR comes with 42000, a deadlock's 40001).
constexpr SQLINTEGER kFirstUserError = 50000;
constexpr SQLINTEGER kStatementErrors[] = {547, 2601, 2627};

bool StatementsOwn(SQLINTEGER native) {
  if (native >= kFirstUserError) return true;
  for (const SQLINTEGER own : kStatementErrors) {
    if (native == own) return true;
  }
  return false;
}

DatabaseFault FaultOfRecord(const DiagnosticRecord& record) {
  if (StatementsOwn(record.nativeError)) return DatabaseFault::Unspecified;
  const std::string_view state = record.state;
  for (const Rule& rule : kRules) {
    if (!state.starts_with(rule.state)) continue;
    if (rule.native != 0 && rule.native != record.nativeError) continue;
    return rule.fault;
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
