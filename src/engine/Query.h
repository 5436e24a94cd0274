#pragma once

// An SQL query (TQuery) that runs through the connection whose DatabaseName equals its own.
//
// States: closed, or open on a result (a current row, or Eof). The statement is prepared once
// through the driver and kept, with its parameter values, for as long as the SQL text, the
// database name and the connection stay the same: a statement executed thousands of times with
// new parameter values is parsed once. Changing the text or the database name closes the query;
// closing the connection makes the query let go of its statement.
//
// Reading a field of a result without rows, or a field holding no value, gives 0 as integer or
// float and "" as text.

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "engine/StringList.h"
#include "engine/core/Driver.h"
#include "engine/core/Value.h"

namespace patchpav {

class TDatabase;

// A field of the current row, as read.
class TField {
 public:
  TField(std::string name, Value value) : name_(std::move(name)), value_(std::move(value)) {}
  const std::string& FieldName() const { return name_; }
  bool IsNull() const { return value_.IsNull(); }
  std::string AsString() const { return value_.AsText(); }
  // A 32-bit integer; a text that is no integer, or a value out of range, is an EConvertError.
  std::int32_t AsInteger() const;
  double AsFloat() const { return value_.AsFloat(); }
  const Value& AsValue() const { return value_; }

 private:
  std::string name_;
  Value value_;
};

// A positional parameter of the statement.
class TParam {
 public:
  void SetAsFloat(double value) { value_ = Value::Float(value); }
  void SetAsInteger(std::int64_t value) { value_ = Value::Integer(value); }
  void Clear() { value_ = Value(); }
  std::string AsString() const { return value_.AsText(); }
  double AsFloat() const { return value_.AsFloat(); }
  std::int64_t AsInteger() const { return value_.AsInteger(); }
  const Value& AsValue() const { return value_; }

 private:
  Value value_;
};

class TQuery {
 public:
  TQuery();
  ~TQuery();
  TQuery(const TQuery&) = delete;
  TQuery& operator=(const TQuery&) = delete;

  const std::string& DatabaseName() const { return databaseName_; }
  void SetDatabaseName(const std::string& name);
  // The statement's lines; a change closes the query.
  TStringList& SQL() { return sql_; }

  // Runs a statement that returns rows and stands on the first row. Opening an open query does
  // nothing. A connection found closed is opened first.
  void Open();
  void Close();
  bool Active() const { return open_; }
  // Runs a statement that returns no rows; gives the number of rows it changed, or -1 when the
  // server does not tell. A trigger can make the count another statement's: it is no verdict.
  std::int64_t ExecSQL();
  // Checks what can be known, without writing, of whether the statement will be able to write
  // (see PreparedStatement::CheckWritable); an EDatabaseError says why not. True when the check
  // has taken the table for writing.
  bool CheckWritable();
  // Puts on the disk the writes made through the query's connection since its last flush
  // (TDatabase::Flush): a statement's writes reach the base's files at once, the disk only here.
  void FlushWrites();

  void Next();
  bool Eof() const;
  std::size_t RecordCount() const;
  // Names compared without regard to case; an unknown name is an EDatabaseError naming it.
  TField FieldByName(const std::string& name) const;

  // The statement's parameters by position from 0 (preparing the statement to know them); a
  // position beyond the statement's parameters is an EDatabaseError.
  TParam& Params(std::size_t index);
  std::size_t ParamCount();
  // Prepares the statement now (it is otherwise prepared on first use).
  void Prepare();

  // How many times this query has had a statement prepared by its driver.
  std::size_t PrepareCount() const { return prepareCount_; }

 private:
  friend class TDatabase;
  void ReleaseStatement();
  void RequireOpen() const;
  TDatabase& ResolveDatabase();

  std::string databaseName_;
  TStringList sql_;
  TDatabase* database_ = nullptr;  // the connection the statement was prepared on
  std::unique_ptr<PreparedStatement> statement_;
  std::string preparedText_;
  std::vector<TParam> params_;
  std::size_t prepareCount_ = 0;

  bool open_ = false;
  ResultSet result_;
  std::size_t row_ = 0;
  bool eof_ = true;
};

}  // namespace patchpav
