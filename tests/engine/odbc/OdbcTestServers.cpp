#include "OdbcTestServers.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>

#include "engine/drivers/odbc/OdbcDriver.h"

namespace patchpav::testing {
namespace {

std::string Env(const char* name) {
  const char* value = std::getenv(name);
  return value ? value : "";
}

std::string FindDriverLibrary(const char* override, const char* file) {
  if (!Env(override).empty()) return Env(override);
  for (const char* dir : {"/usr/lib/x86_64-linux-gnu/odbc/", "/usr/lib/odbc/", "/usr/lib64/"}) {
    const std::string path = std::string(dir) + file;
    if (std::filesystem::exists(path)) return path;
  }
  return file;
}

}  // namespace

std::string ServerName(OdbcServer server) {
  return server == OdbcServer::Sqlite ? "Sqlite" : "Postgres";
}

std::string PostgresServerName() {
  if (Env("PATCHPAV_PG_PORT").empty()) return {};
  return Env("PATCHPAV_PG_HOST") + "," + Env("PATCHPAV_PG_PORT");
}

std::string SqliteOdbcDriver() {
  return FindDriverLibrary("PATCHPAV_SQLITE_ODBC", "libsqlite3odbc.so");
}

std::string PostgresOdbcDriver() { return FindDriverLibrary("PATCHPAV_PG_ODBC", "psqlodbcw.so"); }

DriverParams FreshDatabase(OdbcServer server, const std::string& name) {
  OdbcDriver driver;
  DriverParams params = driver.DefaultParams();
  if (server == OdbcServer::Sqlite) {
    const std::string file = std::filesystem::absolute(name + ".sqlite").string();
    std::filesystem::remove(file);
    params["ODBC DRIVER"] = SqliteOdbcDriver();
    params["DATABASE NAME"] = file;
    return params;
  }
  params["ODBC DRIVER"] = PostgresOdbcDriver();
  params["SERVER NAME"] = PostgresServerName();
  params["USER NAME"] = Env("PATCHPAV_PG_USER");
  params["PASSWORD"] = "unused";
  DriverParams admin = params;
  admin["DATABASE NAME"] = "postgres";
  const auto connection = driver.Connect(admin);
  // Tests run in parallel processes: each has its own database.
  RunStatement(*connection, "DROP DATABASE IF EXISTS " + name);
  RunStatement(*connection, "CREATE DATABASE " + name);
  params["DATABASE NAME"] = name;
  return params;
}

void RunStatement(DriverConnection& connection, const std::string& sql) {
  connection.Prepare(sql)->Execute({});
}

}  // namespace patchpav::testing

// PostgreSQL's ODBC driver keeps a few hundred bytes for each statement that the server refused,
// past SQLFreeHandle. That is the peer's leak; ours are still reported.
extern "C" const char* __lsan_default_suppressions() { return "leak:psqlodbcw.so\n"; }
