#pragma once

// How the local dialect compares and assigns values: the rules shared by the conditions, the
// ordering and the assignments of UPDATE.

#include <cstdint>
#include <optional>

#include "engine/core/Value.h"
#include "engine/drivers/paradox/ParadoxTable.h"
#include "engine/sql/Ast.h"

namespace patchpav::sql {

// The value of a condition: a blank operand makes a comparison unknown, as SQL's NULL does.
enum class Truth : std::uint8_t { False, True, Unknown };

Truth Not(Truth t);

// The order of two values (negative, 0, positive), or nullopt when either is null. Numbers
// compare numerically whatever their kind, texts byte by byte; a number and a text compare as
// numbers when the text is one. Anything else is an EDatabaseError.
std::optional<int> CompareValues(const Value& a, const Value& b);

// The truth of "a op b" given their order.
Truth Holds(CompareOp op, std::optional<int> order);

// The order used by ORDER BY: as CompareValues, with nulls before every value.
int OrderValues(const Value& a, const Value& b);

// The value as the column will hold it: a float into an integer column must be whole, a text
// into a number column must be a number; a number into an Alpha column becomes its text. Null
// stays null (the field is made blank). Faults are EDatabaseErrors naming the column.
Value ConvertForField(const Value& value, const paradox::FieldDef& field);

// A text read as a number (blanks around it allowed), or nullopt.
std::optional<double> ParseNumber(const std::string& text);

bool IsNumericField(paradox::FieldType type);
bool IsIntegerField(paradox::FieldType type);

}  // namespace patchpav::sql
