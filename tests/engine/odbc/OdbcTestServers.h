#pragma once

#include <memory>
#include <string>
#include <vector>

#include "engine/core/Driver.h"

namespace patchpav::testing {

// The real servers the ODBC tests run against: SQLite's ODBC driver on a file, and the
// PostgreSQL server that scripts/postgres starts on loopback (PATCHPAV_PG_HOST, _PORT, _USER).
enum class OdbcServer { Sqlite, Postgres };

std::string ServerName(OdbcServer server);
// Where the PostgreSQL server is, or empty when no server was started for this run.
std::string PostgresServerName();
// The libraries of the two ODBC drivers, named by path so that no registration is needed.
std::string SqliteOdbcDriver();
std::string PostgresOdbcDriver();

// The parameters that reach a fresh, empty database called `name` ([a-z0-9_]) on `server` (a file
// in the working directory for SQLite, a database created anew for PostgreSQL).
DriverParams FreshDatabase(OdbcServer server, const std::string& name);

// Runs one statement with no parameters.
void RunStatement(DriverConnection& connection, const std::string& sql);

}  // namespace patchpav::testing
