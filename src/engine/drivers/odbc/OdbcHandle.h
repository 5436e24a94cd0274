#pragma once

#include <string>
#include <vector>

#include "engine/drivers/odbc/OdbcApi.h"

namespace patchpav::odbc {

// Owns one ODBC handle (environment, connection or statement) and frees it on destruction. A
// connection handle that is connected is disconnected first, so a connection never outlives its
// owner. Children must be destroyed before their parent: members are declared in that order.
class OdbcHandle {
 public:
  OdbcHandle() = default;
  // Allocates a handle of `type` under `parent` (SQL_NULL_HANDLE for an environment).
  OdbcHandle(SQLSMALLINT type, SQLHANDLE parent);
  ~OdbcHandle();
  OdbcHandle(const OdbcHandle&) = delete;
  OdbcHandle& operator=(const OdbcHandle&) = delete;
  OdbcHandle(OdbcHandle&& other) noexcept;
  OdbcHandle& operator=(OdbcHandle&& other) noexcept;

  SQLHANDLE Get() const { return handle_; }
  SQLSMALLINT Type() const { return type_; }
  // Marks a connection handle as connected, so that destruction disconnects it.
  void SetConnected() { connected_ = true; }
  // Forgets a handle that the driver manager has freed already (a statement of a connection
  // that has been disconnected).
  void Abandon() { handle_ = SQL_NULL_HANDLE; }

  // Throws an EDatabaseError for a failed call on this handle: `what` (our words), then the
  // driver's diagnostic records. Returns `ret` when it is a success.
  SQLRETURN Check(SQLRETURN ret, const std::string& what) const;

 private:
  void Release() noexcept;
  SQLSMALLINT type_ = 0;
  SQLHANDLE handle_ = SQL_NULL_HANDLE;
  bool connected_ = false;
};

// One diagnostic record that a driver left on a handle.
struct DiagnosticRecord {
  std::string state;  // the five characters of the SQLSTATE
  SQLINTEGER nativeError = 0;
  std::string message;
};

// The diagnostic records of a handle, in the driver's order.
std::vector<DiagnosticRecord> DiagnosticRecords(SQLSMALLINT type, SQLHANDLE handle);

// The records each as "[STATE] message", joined by line breaks; empty when there are none.
std::string DiagnosticText(const std::vector<DiagnosticRecord>& records);

// The diagnostic records of a handle as text (DiagnosticText of DiagnosticRecords).
std::string Diagnostics(SQLSMALLINT type, SQLHANDLE handle);

}  // namespace patchpav::odbc
