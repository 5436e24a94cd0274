#pragma once

#include <vector>

#include "engine/core/Errors.h"
#include "engine/drivers/odbc/OdbcHandle.h"

namespace patchpav::odbc {

// What the diagnostic records of a failed call say of the failure as a whole: the first record
// that names a fault of the connection, of the login's rights, of a read-only database, or a
// deadlock, gives it; anything else (a refused value, a constraint, an error raised by a
// trigger...) is Unspecified, the fault of the one statement.
//
// Only the SQLSTATE and the server's native error number are read, never the text: a trigger
// may say "refusée" or "permission" in its own words for one row, and the text follows the
// login's language. The rules, first match wins (DiagnosticFault.cpp holds them as a table):
//  - ConnectionLost: SQLSTATE class 08, HYT01 (connection timeout), PostgreSQL's class 57P
//    (the server was shut down or ended the session); SQL Server's 233 (no process on the other
//    end of the pipe), 10053 and 10054 (the network closed the link), 4060 (the database can no
//    longer be opened by the login).
//  - PermissionDenied: 42501 (PostgreSQL), 28000 and 28P01 (the login refused); SQL Server's
//    229, 230, 262, 297, 300 and 916 with 42000 (or ODBC 2's 37000), and 18456 (login failed).
//  - ReadOnly: 25006 (read-only transaction), SQL Server's 3906 (database read-only).
//  - Deadlock: SQL Server's 1205, 40001 (serialization failure), 40P01 (PostgreSQL).
// SQL Server's 547 (a constraint), 2627 and 2601 (a duplicate key) and 50000 and above (raised by
// a trigger or a procedure) are the statement's own, whatever their SQLSTATE.
DatabaseFault FaultOf(const std::vector<DiagnosticRecord>& records);

}  // namespace patchpav::odbc
