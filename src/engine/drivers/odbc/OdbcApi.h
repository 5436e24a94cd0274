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

}  // namespace patchpav::odbc
