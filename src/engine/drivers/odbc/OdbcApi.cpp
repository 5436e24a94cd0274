#include "engine/drivers/odbc/OdbcApi.h"

#include "engine/core/Errors.h"

#ifdef _WIN32
#include "engine/core/SystemLibrary.h"
#endif

namespace patchpav::odbc {

#ifdef _WIN32

namespace {

template <class Function>
void Resolve(HMODULE library, const char* name, Function& entry) {
  entry = reinterpret_cast<Function>(reinterpret_cast<void*>(GetProcAddress(library, name)));
  if (!entry) {
    throw EDatabaseError(
        std::string("Le gestionnaire ODBC de Windows (odbc32.dll) ne fournit pas ") + name);
  }
}

OdbcEntryPoints Bind() {
  // Kept for the life of the process, as an import would be: connections are closed by
  // destructors that may run while the process ends.
  HMODULE library = LoadSystemLibrary(L"odbc32.dll");
  if (!library) {
    throw EDatabaseError(
        "Le gestionnaire ODBC de Windows (odbc32.dll) ne peut pas être chargé depuis le "
        "répertoire système (erreur " +
        std::to_string(GetLastError()) + ")");
  }
  OdbcEntryPoints entries{};
  Resolve(library, "SQLAllocHandle", entries.AllocHandle);
  Resolve(library, "SQLBindParameter", entries.BindParameter);
  Resolve(library, "SQLDescribeColW", entries.DescribeColW);
  Resolve(library, "SQLDisconnect", entries.Disconnect);
  Resolve(library, "SQLDriverConnectW", entries.DriverConnectW);
  Resolve(library, "SQLDriversW", entries.DriversW);
  Resolve(library, "SQLExecDirectW", entries.ExecDirectW);
  Resolve(library, "SQLExecute", entries.Execute);
  Resolve(library, "SQLFetch", entries.Fetch);
  Resolve(library, "SQLFreeHandle", entries.FreeHandle);
  Resolve(library, "SQLFreeStmt", entries.FreeStmt);
  Resolve(library, "SQLGetData", entries.GetData);
  Resolve(library, "SQLGetDiagRecW", entries.GetDiagRecW);
  Resolve(library, "SQLGetInfoW", entries.GetInfoW);
  Resolve(library, "SQLNumResultCols", entries.NumResultCols);
  Resolve(library, "SQLPrepareW", entries.PrepareW);
  Resolve(library, "SQLRowCount", entries.RowCount);
  Resolve(library, "SQLSetEnvAttr", entries.SetEnvAttr);
  return entries;
}

}  // namespace

const OdbcEntryPoints& Odbc() {
  // A throwing initialisation leaves the static unset, so the next connection tries again.
  static const OdbcEntryPoints entries = Bind();
  return entries;
}

#else

const OdbcEntryPoints& Odbc() {
  static constexpr OdbcEntryPoints entries{
      &::SQLAllocHandle,    &::SQLBindParameter, &::SQLDescribeColW,  &::SQLDisconnect,
      &::SQLDriverConnectW, &::SQLDriversW,      &::SQLExecDirectW,   &::SQLExecute,
      &::SQLFetch,          &::SQLFreeHandle,    &::SQLFreeStmt,      &::SQLGetData,
      &::SQLGetDiagRecW,    &::SQLGetInfoW,      &::SQLNumResultCols, &::SQLPrepareW,
      &::SQLRowCount,       &::SQLSetEnvAttr,
  };
  return entries;
}

#endif

}  // namespace patchpav::odbc
