#pragma once

#include <span>

#include "engine/core/Value.h"
#include "engine/drivers/paradox/ParadoxTable.h"
#include "engine/sql/Ast.h"

namespace patchpav::sql {

// Resolves every column a statement names to a field of its table, without regard to letter
// case. An unknown name is an EDatabaseError "Colonne inconnue : <name>".
void Bind(SelectStatement& select, const paradox::TableSchema& schema);
void Bind(UpdateStatement& update, const paradox::TableSchema& schema);

// One value per parameter of the statement, or an EDatabaseError saying how many it takes.
void CheckParameterCount(std::size_t expected, std::span<const Value> given);

// The value of a literal or parameter operand for one run.
const Value& ValueOf(const Operand& operand, std::span<const Value> parameters);

}  // namespace patchpav::sql
