#pragma once

#include <memory>
#include <string>
#include <vector>

#include "engine/core/Driver.h"
#include "engine/drivers/odbc/OdbcConnection.h"

namespace patchpav::odbc {

// A statement prepared once by the server (SQLPrepare) and run any number of times.
//
// Parameters are bound by kind as the caller set them: an integer as SQL_C_SBIGINT, a float as
// SQL_C_DOUBLE, a text as SQL_C_WCHAR, a null as a NULL. Each parameter has a fixed slot whose
// address the driver keeps between executions; a slot is bound again only when its kind changes
// (or holds a text, whose buffer moves), so running the same UPDATE per row costs one SQLExecute.
// A SELECT's cursor is closed before Open returns, on every path, so the statement is always
// ready to run again.
class OdbcStatement : public PreparedStatement {
 public:
  OdbcStatement(const std::shared_ptr<OdbcLink>& link, const std::string& sql);
  ~OdbcStatement() override;
  OdbcStatement(const OdbcStatement&) = delete;
  OdbcStatement& operator=(const OdbcStatement&) = delete;

  std::size_t ParameterCount() const override { return slots_.size(); }
  ResultSet Open(std::span<const Value> parameters) override;
  std::int64_t Execute(std::span<const Value> parameters) override;

 private:
  struct Slot {
    bool bound = false;
    Value::Kind kind = Value::Kind::Null;
    std::int64_t integer = 0;
    double number = 0;
    WideText text;
    SQLLEN indicator = 0;
  };

  // The link, or an EDatabaseError when the connection has been closed.
  std::shared_ptr<OdbcLink> Link() const;
  void BindParameters(std::span<const Value> parameters);
  // Runs the statement; false when the server reports that it touched no row (SQL_NO_DATA).
  bool Run(std::span<const Value> parameters);
  ResultSet FetchAll();
  void CloseCursor() noexcept;

  std::weak_ptr<OdbcLink> link_;
  OdbcHandle statement_;
  std::vector<Slot> slots_;
  bool returnsRowsKnown_ = false;
  bool returnsRows_ = false;
};

}  // namespace patchpav::odbc
