#include "engine/drivers/odbc/DiagnosticFault.h"

#include <gtest/gtest.h>

namespace patchpav::odbc {
namespace {

// What servers answer, as their drivers put it in diagnostic records.
TEST(DiagnosticFault, TellsFailuresOfTheWholeTableFromTheRowsOwn) {
  struct Case {
    std::vector<DiagnosticRecord> records;
    DatabaseFault fault;
  } cases[] = {
      {{{"08S01", 10054,
         "[Microsoft][ODBC Driver 17 for SQL Server]TCP Provider: An existing "
         "connection was forcibly closed by the remote host."}},
       DatabaseFault::ConnectionLost},
      {{{"08003", 0, "Connection not open"}}, DatabaseFault::ConnectionLost},
      {{{"HYT01", 0, "Connection timeout expired"}}, DatabaseFault::ConnectionLost},
      {{{"08S01", 233, "No process is on the other end of the pipe."}},
       DatabaseFault::ConnectionLost},
      {{{"01000", 10053, "TCP Provider: An established connection was aborted"}},
       DatabaseFault::ConnectionLost},
      {{{"42000", 4060, "Cannot open database \"KLINOVA\" requested by the login."}},
       DatabaseFault::ConnectionLost},
      {{{"57P01", 7, "FATAL: terminating connection due to administrator command"}},
       DatabaseFault::ConnectionLost},
      {{{"42000", 229, "The UPDATE permission was denied on the object 'CPMAIN'."}},
       DatabaseFault::PermissionDenied},
      {{{"42000", 229, "L'autorisation UPDATE a été refusée sur l'objet 'CPMAIN'."}},
       DatabaseFault::PermissionDenied},
      {{{"37000", 230, "The SELECT permission was denied on the column"}},
       DatabaseFault::PermissionDenied},
      {{{"28000", 18456, "Login failed for user 'klinova'."}}, DatabaseFault::PermissionDenied},
      {{{"42501", 7, "ERROR: permission denied for table cpmain"}},
       DatabaseFault::PermissionDenied},
      {{{"42000", 3906,
         "Failed to update database \"KLINOVA\" because the database is "
         "read-only."}},
       DatabaseFault::ReadOnly},
      {{{"25006", 7, "ERROR: cannot execute UPDATE in a read-only transaction"}},
       DatabaseFault::ReadOnly},
      {{{"40001", 1205, "Transaction was deadlocked on lock resources"}}, DatabaseFault::Deadlock},
      {{{"40P01", 7, "ERROR: deadlock detected"}}, DatabaseFault::Deadlock},
      // The faults of one row. The text is never read: a trigger refusing one row in words of
      // permission, with the state of most of SQL Server's errors, stops nothing.
      {{{"42000", 50000, "modification refusée : autorisation du praticien manquante"}},
       DatabaseFault::Unspecified},
      {{{"42000", 50001, "UPDATE permission denied by the accounting trigger"}},
       DatabaseFault::Unspecified},
      {{{"37000", 0, "UPDATE permission denied on object 'CPMAIN'"}}, DatabaseFault::Unspecified},
      {{{"42000", 102, "Incorrect syntax near 'Where'."}}, DatabaseFault::Unspecified},
      {{{"23000", 547, "The UPDATE statement conflicted with the CHECK constraint"}},
       DatabaseFault::Unspecified},
      {{{"23000", 2627, "Violation of PRIMARY KEY constraint"}}, DatabaseFault::Unspecified},
      {{{"P0001", 7, "ERROR: modification refusée"}}, DatabaseFault::Unspecified},  // RAISE
      // A native number of another driver that is one of SQL Server's permission errors:
      // SQLite's SQLITE_LOCKED_SHAREDCACHE (262) speaks of one table's lock.
      {{{"HY000", 262, "database table is locked"}}, DatabaseFault::Unspecified},
      {{{"HYT00", 0, "Query timeout expired"}}, DatabaseFault::Unspecified},
      {{{"22003", 0, "Numeric value out of range"}}, DatabaseFault::Unspecified},
      {{}, DatabaseFault::Unspecified},
      // A later record can tell what the first does not.
      {{{"01000", 0, "[Microsoft][ODBC Driver Manager] informational"},
        {"08S01", 0, "Communication link failure"}},
       DatabaseFault::ConnectionLost},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.records.empty() ? "no record" : c.records.back().message);
    EXPECT_EQ(c.fault, FaultOf(c.records));
  }
}

}  // namespace
}  // namespace patchpav::odbc
