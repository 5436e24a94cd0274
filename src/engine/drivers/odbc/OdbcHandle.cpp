#include "engine/drivers/odbc/OdbcHandle.h"

#include <algorithm>
#include <utility>

#include "engine/core/Errors.h"
#include "engine/drivers/odbc/DiagnosticFault.h"
#include "engine/drivers/odbc/WideText.h"

namespace patchpav::odbc {

OdbcHandle::OdbcHandle(SQLSMALLINT type, SQLHANDLE parent) : type_(type) {
  SQLHANDLE handle = SQL_NULL_HANDLE;
  const SQLRETURN ret = Odbc().AllocHandle(type, parent, &handle);
  if (!Succeeded(ret)) {
    std::string message = "Allocation d'un descripteur ODBC impossible (code " +
                          std::to_string(static_cast<int>(ret)) + ")";
    if (parent != SQL_NULL_HANDLE) {
      const SQLSMALLINT parentType = type == SQL_HANDLE_STMT ? SQL_HANDLE_DBC : SQL_HANDLE_ENV;
      const std::string diagnostics = Diagnostics(parentType, parent);
      if (!diagnostics.empty()) message += "\n" + diagnostics;
    }
    // A failed allocation may still have written a handle that must not be used or freed.
    throw EDatabaseError(message);
  }
  handle_ = handle;
}

OdbcHandle::~OdbcHandle() { Release(); }

OdbcHandle::OdbcHandle(OdbcHandle&& other) noexcept
    : type_(other.type_),
      handle_(std::exchange(other.handle_, SQLHANDLE{})),
      connected_(std::exchange(other.connected_, false)) {}

OdbcHandle& OdbcHandle::operator=(OdbcHandle&& other) noexcept {
  if (this != &other) {
    Release();
    type_ = other.type_;
    handle_ = std::exchange(other.handle_, SQLHANDLE{});
    connected_ = std::exchange(other.connected_, false);
  }
  return *this;
}

void OdbcHandle::Release() noexcept {
  if (handle_ == SQL_NULL_HANDLE) return;
  if (connected_) Odbc().Disconnect(handle_);
  Odbc().FreeHandle(type_, handle_);
  handle_ = SQL_NULL_HANDLE;
  connected_ = false;
}

SQLRETURN OdbcHandle::Check(SQLRETURN ret, const std::string& what) const {
  if (Succeeded(ret)) return ret;
  std::string message = what;
  const std::vector<DiagnosticRecord> records = DiagnosticRecords(type_, handle_);
  if (!records.empty()) {
    message += '\n';
    message += DiagnosticText(records);
  } else {
    message += " (code ODBC " + std::to_string(static_cast<int>(ret)) + ")";
  }
  throw EDatabaseError(message, FaultOf(records));
}

std::string DiagnosticText(const std::vector<DiagnosticRecord>& records) {
  std::string text;
  for (const DiagnosticRecord& record : records) {
    if (!text.empty()) text += "\n";
    text += '[';
    text += record.state;
    text += "] ";
    text += record.message;
  }
  return text;
}

std::string Diagnostics(SQLSMALLINT type, SQLHANDLE handle) {
  return DiagnosticText(DiagnosticRecords(type, handle));
}

std::vector<DiagnosticRecord> DiagnosticRecords(SQLSMALLINT type, SQLHANDLE handle) {
  std::vector<DiagnosticRecord> records;
  // Drivers keep a handful of records; the bound stops a driver that never says SQL_NO_DATA.
  for (SQLSMALLINT record = 1; record <= 16; ++record) {
    SQLWCHAR state[6] = {};
    SQLINTEGER nativeError = 0;
    SQLSMALLINT length = 0;
    SQLRETURN ret =
        Odbc().GetDiagRecW(type, handle, record, state, &nativeError, nullptr, 0, &length);
    if (!Succeeded(ret)) break;
    WideText message(static_cast<std::size_t>(length) + 1, 0);
    ret = Odbc().GetDiagRecW(type, handle, record, state, &nativeError, message.data(),
                             static_cast<SQLSMALLINT>(message.size()), &length);
    if (!Succeeded(ret)) break;
    message.resize(std::min<std::size_t>(static_cast<std::size_t>(length), message.size() - 1));
    records.push_back({ToUtf8(state, 5), nativeError, ToUtf8(message)});
  }
  return records;
}

}  // namespace patchpav::odbc
