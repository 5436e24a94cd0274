#pragma once

#include <cstdint>
#include <filesystem>
#include <map>
#include <memory>
#include <span>
#include <string>
#include <vector>

#include "engine/core/Value.h"

namespace patchpav {

// What a driver gives the engine. A driver is chosen by an alias's type ("STANDARD" for local
// Paradox bases, "MSSQL" for SQL Server); the engine hands it the alias's parameters, with the
// connection's own parameter lines applied over them, and runs statements through it.

// Rows that a driver has selected but decodes only when a value is read, so that a value nobody
// reads cannot fail the statement. A value that cannot be decoded is an EDatabaseError naming
// the table, the field and the row.
class DeferredRows {
 public:
  virtual ~DeferredRows() = default;
  virtual std::size_t Count() const = 0;
  virtual Value At(std::size_t row, std::size_t column) const = 0;
};

// The rows of a SELECT: the record count is known as soon as the query is open. A driver gives
// them decoded (rows) or to be decoded when read (deferred, rows then empty).
struct ResultSet {
  std::vector<std::string> columns;
  std::vector<std::vector<Value>> rows;
  std::shared_ptr<const DeferredRows> deferred;

  std::size_t RowCount() const { return deferred ? deferred->Count() : rows.size(); }
  // A column beyond a decoded row's values reads as the null value.
  Value At(std::size_t row, std::size_t column) const {
    if (deferred) return deferred->At(row, column);
    const std::vector<Value>& values = rows[row];
    return column < values.size() ? values[column] : Value();
  }
  // Every value, decoded (for tools and tests that show whole results).
  std::vector<std::vector<Value>> AllRows() const {
    if (!deferred) return rows;
    std::vector<std::vector<Value>> all(RowCount());
    for (std::size_t r = 0; r < all.size(); ++r) {
      for (std::size_t c = 0; c < columns.size(); ++c) all[r].push_back(At(r, c));
    }
    return all;
  }
};

// A statement parsed (or prepared by the server) once and run any number of times with
// positional parameters (the n-th ":name" of the text is parameter n).
class PreparedStatement {
 public:
  virtual ~PreparedStatement() = default;
  virtual std::size_t ParameterCount() const = 0;
  // Runs a statement that returns rows.
  virtual ResultSet Open(std::span<const Value> parameters) = 0;
  // Runs a statement that returns no rows; gives the number of rows it changed, or -1 when the
  // server does not tell (SQL Server under SET NOCOUNT ON). A trigger may make a server report
  // its own count instead, so the count is a hint, never a verdict on the write.
  virtual std::int64_t Execute(std::span<const Value> parameters) = 0;
  // Checks, without writing, what can be known before a statement that writes runs: a local
  // table is opened for writing and the fields it assigns are checked against its indexes. A
  // server tells only by refusing the write itself, so its drivers check nothing here. Gives true
  // when the check has taken the table for writing: until the connection closes no other program
  // can change it, so a selection made from then on reads what the writes will change.
  virtual bool CheckWritable() { return false; }
};

class DriverConnection {
 public:
  virtual ~DriverConnection() = default;
  // Errors in the text (syntax, unknown table or column) are EDatabaseErrors that name the fault.
  virtual std::unique_ptr<PreparedStatement> Prepare(const std::string& sql) = 0;
  // For a base kept in files: takes the table for writing, as an UPDATE would, and copies its
  // files byte for byte into folder while it holds them, each on the disk before this returns;
  // gives the names of the files copied. The table stays held for the connection's later writes.
  // A server base keeps no files: an EDatabaseError.
  virtual std::vector<std::filesystem::path> CopyTableFiles(const std::string& table,
                                                            const std::filesystem::path& folder);
  // A statement that writes puts its bytes in the base's files at once, where other programs see
  // them, but on the disk only here: puts every write made through the connection since the last
  // flush on the disk, so that a caller writing many rows pays one flush for all of them. A
  // failure is an EDatabaseError, and those writes stay due. A server commits each statement on
  // its own and keeps it: its drivers have nothing to do here.
  virtual void Flush() {}
};

// Parameter names are upper case ("PATH", "SERVER NAME"); values are texts.
using DriverParams = std::map<std::string, std::string>;

class Driver {
 public:
  virtual ~Driver() = default;
  // The driver's type as aliases name it: "STANDARD", "MSSQL".
  virtual std::string Type() const = 0;
  // Every parameter the driver knows, at its default value. An alias of this driver has all of
  // them; a connection's parameter line whose name is not among them is ignored.
  virtual DriverParams DefaultParams() const = 0;
  virtual std::unique_ptr<DriverConnection> Connect(const DriverParams& params) = 0;
};

}  // namespace patchpav
