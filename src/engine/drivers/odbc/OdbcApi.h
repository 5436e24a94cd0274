#pragma once

// The ODBC headers: Windows' sql.h needs windows.h first; unixODBC's stand alone. SQLWCHAR is
// 16 bits on both (unixODBC's default build), so the W API carries UTF-16 everywhere.
#ifdef _WIN32
#include <windows.h>
#endif
#include <sql.h>
#include <sqlext.h>
#include <sqlucode.h>

#include <string>

namespace patchpav::odbc {

static_assert(sizeof(SQLWCHAR) == 2, "the ODBC W API must carry UTF-16");

using WideText = std::basic_string<SQLWCHAR>;

// Success as the driver manager reports it. Anything else is a failure, including values that
// are no SQLRETURN at all (Wine's odbc32 without a host driver manager returns 5).
inline bool Succeeded(SQLRETURN ret) { return ret == SQL_SUCCESS || ret == SQL_SUCCESS_WITH_INFO; }

// The driver manager's entry points that the driver calls, and only through this table. On
// Windows the executable does not import odbc32 (it is no known DLL, so the loader would take a
// file of that name from the program's folder first): the table is filled at the first use from
// the system directory's odbc32.dll. Elsewhere it holds unixODBC's functions, linked as usual.
struct OdbcEntryPoints {
  decltype(&::SQLAllocHandle) AllocHandle;
  decltype(&::SQLBindParameter) BindParameter;
  decltype(&::SQLDescribeColW) DescribeColW;
  decltype(&::SQLDisconnect) Disconnect;
  decltype(&::SQLDriverConnectW) DriverConnectW;
  decltype(&::SQLDriversW) DriversW;
  decltype(&::SQLExecDirectW) ExecDirectW;
  decltype(&::SQLExecute) Execute;
  decltype(&::SQLFetch) Fetch;
  decltype(&::SQLFreeHandle) FreeHandle;
  decltype(&::SQLFreeStmt) FreeStmt;
  decltype(&::SQLGetData) GetData;
  decltype(&::SQLGetDiagRecW) GetDiagRecW;
  decltype(&::SQLGetInfoW) GetInfoW;
  decltype(&::SQLNumResultCols) NumResultCols;
  decltype(&::SQLPrepareW) PrepareW;
  decltype(&::SQLRowCount) RowCount;
  decltype(&::SQLSetEnvAttr) SetEnvAttr;
};

// The table, every entry set. Throws EDatabaseError when the driver manager cannot be loaded or
// lacks one of the entry points; a later call tries again.
const OdbcEntryPoints& Odbc();

}  // namespace patchpav::odbc
