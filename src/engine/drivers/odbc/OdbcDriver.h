#pragma once

#include "engine/core/Driver.h"

namespace patchpav {

// The "MSSQL" driver: SQL Server through ODBC (the system directory's odbc32 on Windows, unixODBC
// elsewhere).
//
// Parameters (all texts):
//  SERVER NAME, DATABASE NAME   where the database is ("host", "host\instance" or "host,port")
//  USER NAME, PASSWORD          SQL Server login; an empty USER NAME asks for Windows
//                               authentication (Trusted_Connection)
//  ODBC DRIVER                  the ODBC driver to use; empty: the newest SQL Server driver
//                               installed (see ChooseSqlServerDriver)
//  ENCRYPT                      empty: the behaviour of the drivers before version 18, i.e.
//                               Encrypt=Optional with ODBC Driver 18 and later (whose own default
//                               refuses a self-signed certificate, which is what a practice's
//                               server has) and nothing with older drivers; any other value is
//                               passed as Encrypt=
//  TRUST SERVER CERTIFICATE     passed as TrustServerCertificate= when not empty
//  BLOB SIZE, BLOBS TO CACHE, LANGDRIVER
//                               accepted for the aliases that name them; the W API carries
//                               Unicode, so no language driver is needed and blobs are read whole
//
// Statements: on SQL Server the session runs SET QUOTED_IDENTIFIER OFF, so the product's
// double-quoted texts are string literals; on any other server they are rewritten to
// single-quoted literals before they are sent.
class OdbcDriver : public Driver {
 public:
  std::string Type() const override { return "MSSQL"; }
  DriverParams DefaultParams() const override;
  std::unique_ptr<DriverConnection> Connect(const DriverParams& params) override;
};

}  // namespace patchpav
