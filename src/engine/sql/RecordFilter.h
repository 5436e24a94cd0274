#pragma once

// A WHERE clause compiled for one run of a statement: its parameters are fixed and each column
// is read straight from the raw record bytes that a scan hands over, so records that do not
// match are never decoded. Comparisons of a Number or Currency column with a number, the shape
// of the tool's selection, decode one double in place with the table's inline codec.

#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>
#include <vector>

#include "engine/core/Value.h"
#include "engine/drivers/paradox/ParadoxTable.h"
#include "engine/sql/Ast.h"
#include "engine/sql/LeadByteScreen.h"
#include "engine/sql/ValueRules.h"

namespace patchpav::sql {

class RecordFilter {
 public:
  // The condition's columns must be bound to the table's fields. No condition matches every
  // record. Comparing a number column with a text that is no number is an EDatabaseError here;
  // other type faults are found per record.
  RecordFilter(const std::optional<Condition>& where, std::span<const Value> parameters,
               const paradox::Table& table);

  bool Matches(const std::byte* record) const {
    return !root_ || Evaluate(*root_, record) == Truth::True;
  }

  // The matching records of one block of a scan (count records of recordSize bytes): matches
  // becomes their indexes, ascending.
  void SelectInBlock(const std::byte* records, std::size_t count, std::size_t recordSize,
                     std::vector<std::uint32_t>& matches) const;

 private:
  struct Node {
    enum class Kind { Constant, NumberField, Field, Fields, Blank, NotBlank, And, Or, Not };
    Kind kind = Kind::Constant;
    CompareOp op = CompareOp::Equal;
    Truth constant = Truth::Unknown;  // Constant
    int field = -1;                   // NumberField, Field, Fields, Blank, NotBlank
    int otherField = -1;              // Fields
    int offset = 0;                   // NumberField: the field's 8 bytes in the record
    double number = 0;                // NumberField
    Value value;                      // Field
    std::size_t firstChild = 0;       // And, Or, Not: a range of children_
    std::size_t childCount = 0;
  };

  std::size_t Compile(const Condition& condition);
  void BuildScreens();
  std::size_t CompileComparison(const Condition& condition);
  Truth Evaluate(std::size_t node, const std::byte* record) const;

  const paradox::Table& table_;
  std::span<const Value> parameters_;
  std::vector<Node> nodes_;
  std::vector<std::size_t> children_;
  std::optional<std::size_t> root_;
  // For a single test or an OR of ordered comparisons (=, <, <=, >, >=), the first-byte sieve
  // that finds the candidates of a block, one screen per distinct range of first bytes; a test
  // that no stored value can satisfy has none. Then only the candidates are confirmed.
  bool screened_ = false;
  std::vector<LeadByteScreen> screens_;
};

}  // namespace patchpav::sql
