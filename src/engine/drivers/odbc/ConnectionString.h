#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "engine/core/Driver.h"

namespace patchpav::odbc {

// The ODBC drivers whose connection attributes we know. The product's databases live on SQL
// Server; the others are what the tests reach (PostgreSQL on loopback, SQLite on a file).
enum class DriverFamily { SqlServer, PostgreSql, Sqlite };

// The family of a driver named by its registered name or by the path of its library. A driver we
// do not recognise is taken for SQL Server's: Server/Database/UID/PWD is what FreeTDS and every
// SQL Server driver understand.
DriverFamily FamilyOf(std::string_view driver);

// One attribute value between braces, an inner "}" doubled, so that no
// value can end the attribute early and add another (a database called "x;Database=other" stays
// one name). A value holding a NUL character is refused with an EDatabaseError.
std::string BraceValue(std::string_view value);
// One attribute value without braces: the value as it stands. For a driver that does not read
// braces (PostgreSQL's, SQLite's; `bracesRead` false) a value holding ";", "{" or "}", or
// beginning or ending with a blank, is refused with an EDatabaseError naming the attribute, since
// it could end the attribute early or be trimmed into another name. NUL is always refused.
std::string PlainValue(std::string_view attribute, std::string_view value, bool bracesRead);

// The newest SQL Server driver among the installed ones: ODBC Driver 18, 17, 13, 11 for SQL
// Server, then SQL Server Native Client 11.0 and 10.0, then "SQL Server" that every Windows
// carries. Empty when none is installed.
std::string ChooseSqlServerDriver(const std::vector<std::string>& installed);

// The DSN-less connection string for `driver` (never empty) and the connection's parameters:
//  SQL Server: Server, Database, UID and PWD, or Trusted_Connection=yes when USER NAME is empty;
//    Encrypt=Optional for ODBC Driver 18 and later unless ENCRYPT names a value (see
//    OdbcDriver.h); TrustServerCertificate when TRUST SERVER CERTIFICATE names one.
//  PostgreSQL: Server and Port (SERVER NAME written "host,port" as SQL Server writes it),
//    Database, UID, PWD.
//  SQLite: Database, the file's path (DATABASE NAME).
// Empty parameters add no attribute. For SQL Server a value is braced when it needs it (";", "{",
// "}", a blank at either end); for the others such a value is refused (PlainValue). The driver's
// name is always braced: the driver manager reads it.
std::string BuildConnectionString(const std::string& driver, const DriverParams& params);

}  // namespace patchpav::odbc
