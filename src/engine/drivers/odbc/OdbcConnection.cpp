#include "engine/drivers/odbc/OdbcConnection.h"

#include "engine/drivers/odbc/OdbcStatement.h"
#include "engine/drivers/odbc/WideText.h"

namespace patchpav::odbc {
namespace {

std::string DbmsName(const OdbcHandle& connection) {
  SQLWCHAR name[128] = {};
  SQLSMALLINT length = 0;
  connection.Check(Odbc().GetInfoW(connection.Get(), SQL_DBMS_NAME, name, sizeof name, &length),
                   "Type de serveur inconnu");
  const std::size_t chars =
      std::min<std::size_t>(static_cast<std::size_t>(length) / sizeof(SQLWCHAR), 127);
  return ToUtf8(name, chars);
}

void ExecuteDirect(const OdbcHandle& connection, const std::string& sql) {
  OdbcHandle statement(SQL_HANDLE_STMT, connection.Get());
  WideText text = ToWide(sql);
  statement.Check(
      Odbc().ExecDirectW(statement.Get(), text.data(), static_cast<SQLINTEGER>(text.size())),
      "Échec de « " + sql + " »");
}

}  // namespace

OdbcConnection::OdbcConnection(OdbcHandle environment, const std::string& connectionString)
    : link_(std::make_shared<OdbcLink>()) {
  link_->environment = std::move(environment);
  link_->connection = OdbcHandle(SQL_HANDLE_DBC, link_->environment.Get());
  WideText text = ToWide(connectionString);
  SQLWCHAR completed[1024];
  SQLSMALLINT completedLength = 0;
  link_->connection.Check(Odbc().DriverConnectW(link_->connection.Get(), nullptr, text.data(),
                                                static_cast<SQLSMALLINT>(text.size()), completed,
                                                1024, &completedLength, SQL_DRIVER_NOPROMPT),
                          "Connexion à la base de données impossible");
  link_->connection.SetConnected();
  // The product writes string literals between double quotes. SQL Server reads them so once
  // QUOTED_IDENTIFIER is off; other servers get them rewritten as single-quoted literals.
  if (DbmsName(link_->connection).find("SQL Server") != std::string::npos) {
    ExecuteDirect(link_->connection, "SET QUOTED_IDENTIFIER OFF");
  } else {
    link_->doubleQuotesAreStrings = true;
  }
}

std::unique_ptr<PreparedStatement> OdbcConnection::Prepare(const std::string& sql) {
  return std::make_unique<OdbcStatement>(link_, sql);
}

}  // namespace patchpav::odbc
