#include "engine/sql/Binding.h"

#include <string>

#include "engine/core/Errors.h"

namespace patchpav::sql {
namespace {

void BindColumn(ColumnRef& column, const paradox::TableSchema& schema) {
  const std::optional<int> field = schema.FindField(column.name);
  if (!field) throw EDatabaseError("Colonne inconnue : " + column.name);
  column.field = *field;
}

void BindOperand(Operand& operand, const paradox::TableSchema& schema) {
  if (auto* column = std::get_if<ColumnRef>(&operand)) BindColumn(*column, schema);
}

void BindCondition(std::optional<Condition>& where, const paradox::TableSchema& schema) {
  if (!where) return;
  std::vector<Condition*> pending{&*where};
  while (!pending.empty()) {
    Condition* condition = pending.back();
    pending.pop_back();
    if (condition->kind == Condition::Kind::Compare) {
      BindOperand(condition->left, schema);
      BindOperand(condition->right, schema);
    } else if (condition->kind == Condition::Kind::IsNull ||
               condition->kind == Condition::Kind::IsNotNull) {
      BindOperand(condition->left, schema);
    }
    for (Condition& child : condition->children) pending.push_back(&child);
  }
}

}  // namespace

void Bind(SelectStatement& select, const paradox::TableSchema& schema) {
  for (ColumnRef& column : select.columns) BindColumn(column, schema);
  BindCondition(select.where, schema);
  for (OrderKey& key : select.orderBy) BindColumn(key.column, schema);
}

void Bind(UpdateStatement& update, const paradox::TableSchema& schema) {
  for (Assignment& assignment : update.assignments) {
    BindColumn(assignment.column, schema);
    for (const Assignment& other : update.assignments) {
      if (&other == &assignment) break;
      if (other.column.field == assignment.column.field) {
        throw EDatabaseError("Colonne affectée deux fois : " + assignment.column.name);
      }
    }
  }
  BindCondition(update.where, schema);
}

void CheckParameterCount(std::size_t expected, std::span<const Value> given) {
  if (given.size() != expected) {
    throw EDatabaseError("Nombre de paramètres incorrect : " + std::to_string(expected) +
                         " attendu(s), " + std::to_string(given.size()) + " fourni(s)");
  }
}

const Value& ValueOf(const Operand& operand, std::span<const Value> parameters) {
  if (const auto* parameter = std::get_if<ParameterRef>(&operand)) {
    return parameters[parameter->index];
  }
  return std::get<Literal>(operand).value;
}

}  // namespace patchpav::sql
