#include "engine/drivers/odbc/ConnectionString.h"

#include <cstdlib>

#include "engine/core/AsciiCase.h"
#include "engine/core/Errors.h"

namespace patchpav::odbc {
namespace {

std::string Param(const DriverParams& params, const std::string& name) {
  const auto it = params.find(name);
  return it == params.end() ? std::string() : it->second;
}

// A value that could end its attribute early, or lose blanks to a parser that trims them.
bool NeedsBraces(std::string_view value) {
  return !value.empty() && (value.find_first_of(";{}") != std::string_view::npos ||
                            value.front() == ' ' || value.back() == ' ');
}

// SQL Server's drivers and the driver manager read a braced value whole, so a value that needs
// braces gets them; the PostgreSQL and SQLite drivers keep braces as part of the value, so such a
// value is refused for them.
void Append(std::string& out, std::string_view attribute, const std::string& value,
            bool braces = true) {
  if (value.empty()) return;
  out += attribute;
  out += '=';
  out += braces && NeedsBraces(value) ? BraceValue(value) : PlainValue(attribute, value, braces);
  out += ';';
}

// "ODBC Driver 18 for SQL Server" -> 18; 0 for any other name.
int OdbcDriverVersion(std::string_view driver) {
  constexpr std::string_view kPrefix = "odbc driver ";
  const std::string lower = ToLowerAscii(driver);
  if (lower.rfind(kPrefix, 0) != 0) return 0;
  return std::atoi(lower.c_str() + kPrefix.size());
}

}  // namespace

std::string PlainValue(std::string_view attribute, std::string_view value, bool bracesRead) {
  if (value.find('\0') != std::string_view::npos)
    throw EDatabaseError("Paramètre de connexion invalide : caractère nul");
  if (!bracesRead && NeedsBraces(value)) {
    // A password is not shown back on screen.
    const std::string shown = attribute == "PWD" ? "" : " « " + std::string(value) + " »";
    throw EDatabaseError("Paramètre de connexion " + std::string(attribute) + shown +
                         " invalide : ce pilote ODBC n'accepte ni « ; », ni « { », ni « } », ni "
                         "blanc aux extrémités");
  }
  return std::string(value);
}

DriverFamily FamilyOf(std::string_view driver) {
  const std::string lower = ToLowerAscii(driver);
  if (lower.find("postgres") != std::string::npos || lower.find("psqlodbc") != std::string::npos)
    return DriverFamily::PostgreSql;
  if (lower.find("sqlite") != std::string::npos) return DriverFamily::Sqlite;
  return DriverFamily::SqlServer;
}

std::string BraceValue(std::string_view value) {
  if (value.find('\0') != std::string_view::npos)
    throw EDatabaseError("Paramètre de connexion invalide : caractère nul");
  std::string out = "{";
  for (const char c : value) {
    out += c;
    if (c == '}') out += '}';
  }
  out += '}';
  return out;
}

std::string ChooseSqlServerDriver(const std::vector<std::string>& installed) {
  static constexpr std::string_view kPreferred[] = {
      "ODBC Driver 18 for SQL Server",
      "ODBC Driver 17 for SQL Server",
      "ODBC Driver 13 for SQL Server",
      "ODBC Driver 11 for SQL Server",
      "SQL Server Native Client 11.0",
      "SQL Server Native Client 10.0",
      "SQL Server",
  };
  // A driver newer than those we know (ODBC Driver 19...) is preferred to all of them.
  std::string newest;
  int newestVersion = 18;
  for (const std::string& name : installed) {
    const int version = OdbcDriverVersion(name);
    if (version > newestVersion && ToLowerAscii(name).ends_with(" for sql server")) {
      newest = name;
      newestVersion = version;
    }
  }
  if (!newest.empty()) return newest;
  for (const std::string_view wanted : kPreferred) {
    for (const std::string& name : installed) {
      if (EqualsIgnoreCase(name, wanted)) return name;
    }
  }
  return {};
}

std::string BuildConnectionString(const std::string& driver, const DriverParams& params) {
  std::string out;
  out += "DRIVER=" + BraceValue(driver) + ";";
  const std::string server = Param(params, "SERVER NAME");
  const std::string database = Param(params, "DATABASE NAME");
  const std::string user = Param(params, "USER NAME");
  const std::string password = Param(params, "PASSWORD");
  switch (FamilyOf(driver)) {
    case DriverFamily::SqlServer: {
      Append(out, "Server", server);
      Append(out, "Database", database);
      if (user.empty()) {
        out += "Trusted_Connection=yes;";
      } else {
        Append(out, "UID", user);
        Append(out, "PWD", password);
      }
      const std::string encrypt = Param(params, "ENCRYPT");
      if (!encrypt.empty()) {
        Append(out, "Encrypt", encrypt);
      } else if (OdbcDriverVersion(driver) >= 18) {
        out += "Encrypt=Optional;";
      }
      Append(out, "TrustServerCertificate", Param(params, "TRUST SERVER CERTIFICATE"));
      break;
    }
    case DriverFamily::PostgreSql: {
      const std::size_t comma = server.rfind(',');
      Append(out, "Server", server.substr(0, comma), false);
      if (comma != std::string::npos) Append(out, "Port", server.substr(comma + 1), false);
      Append(out, "Database", database, false);
      Append(out, "UID", user, false);
      Append(out, "PWD", password, false);
      break;
    }
    case DriverFamily::Sqlite:
      Append(out, "Database", database, false);
      break;
  }
  return out;
}

}  // namespace patchpav::odbc
