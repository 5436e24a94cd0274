#pragma once

// The parsed form of a statement of the local dialect. Column references carry their name as
// written and, once the statement is bound to its table, the field's index.

#include <cstddef>
#include <optional>
#include <string>
#include <variant>
#include <vector>

#include "engine/core/Value.h"

namespace patchpav::sql {

struct ColumnRef {
  std::string name;
  int field = -1;  // set by binding
};

struct Literal {
  Value value;
};

struct ParameterRef {
  std::size_t index = 0;  // position among the statement's parameters, from 0
};

// A default operand is the null literal, so that unused operands of a node never name a column.
using Operand = std::variant<Literal, ColumnRef, ParameterRef>;

enum class CompareOp { Equal, NotEqual, Less, LessEqual, Greater, GreaterEqual };

struct Condition {
  enum class Kind { Compare, IsNull, IsNotNull, And, Or, Not };
  Kind kind = Kind::Compare;
  CompareOp op = CompareOp::Equal;  // Compare
  Operand left;                     // Compare, IsNull, IsNotNull
  Operand right;                    // Compare
  std::vector<Condition> children;  // And, Or (two or more), Not (one)
};

struct OrderKey {
  ColumnRef column;
  bool descending = false;
};

struct SelectStatement {
  bool allColumns = false;
  std::vector<ColumnRef> columns;
  std::string table;
  std::optional<Condition> where;
  std::vector<OrderKey> orderBy;
};

struct Assignment {
  ColumnRef column;
  Operand value;  // a literal or a parameter
};

struct UpdateStatement {
  std::string table;
  std::vector<Assignment> assignments;
  std::optional<Condition> where;
};

struct Statement {
  std::variant<SelectStatement, UpdateStatement> body;
  std::vector<std::string> parameterNames;  // one per ":name" occurrence, in order
};

}  // namespace patchpav::sql
