#pragma once

#include <vector>

#include "engine/core/Errors.h"
#include "engine/drivers/odbc/OdbcHandle.h"

namespace patchpav::odbc {

// What the diagnostic records of a failed call say of the failure as a whole: the first record
// that names a fault of the connection, of the login's rights or of a read-only database gives
// it; anything else (a refused value, a constraint, a deadlock...) is Unspecified.
//
//  - SQLSTATE class 08 (the connection failed or is gone) and HYT01 (the connection timed out):
//    ConnectionLost.
//  - 42501 (PostgreSQL: insufficient privilege), and 42000 (or ODBC 2's 37000) when the server's
//    number is one of SQL Server's permission errors (229, 230, 262, 297, 300, 916) or the text
//    speaks of a permission (in English or French, as SQL Server answers in the login's language):
//    PermissionDenied.
//  - SQL Server's 3906 (database read-only) and 25006 (read-only transaction): ReadOnly.
DatabaseFault FaultOf(const std::vector<DiagnosticRecord>& records);

}  // namespace patchpav::odbc
