#pragma once

#include <memory>
#include <string>

#include "engine/core/Driver.h"
#include "engine/drivers/odbc/OdbcHandle.h"

namespace patchpav::odbc {

// An open ODBC connection: its environment and connection handles. Statements keep a weak
// reference to it: when the connection goes, SQLDisconnect frees their handles, and a statement
// used afterwards reports that the connection is closed instead of touching a freed handle.
struct OdbcLink {
  OdbcHandle environment;
  OdbcHandle connection;  // declared after its parent, so freed before it
  bool doubleQuotesAreStrings = false;
};

class OdbcConnection : public DriverConnection {
 public:
  // Connects with a DSN-less connection string; throws EDatabaseError with the driver's text.
  OdbcConnection(OdbcHandle environment, const std::string& connectionString);
  std::unique_ptr<PreparedStatement> Prepare(const std::string& sql) override;

 private:
  std::shared_ptr<OdbcLink> link_;
};

}  // namespace patchpav::odbc
