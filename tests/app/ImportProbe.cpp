// A program that imports two libraries that are no known DLLs, the way the tool once did: the
// import check must refuse it.
#include <windows.h>
// after windows.h, which it needs
#include <sql.h>

int main() {
  SQLHANDLE environment = SQL_NULL_HANDLE;
  const SQLRETURN allocated = SQLAllocHandle(SQL_HANDLE_ENV, SQL_NULL_HANDLE, &environment);
  const BOOL drawn = TransparentBlt(nullptr, 0, 0, 1, 1, nullptr, 0, 0, 1, 1, 0);
  return allocated + drawn;
}
