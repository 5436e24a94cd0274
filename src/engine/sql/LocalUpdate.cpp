#include "engine/sql/LocalUpdate.h"

#include <cmath>

#include "engine/core/Errors.h"
#include "engine/sql/Binding.h"
#include "engine/sql/RecordFilter.h"
#include "engine/sql/ValueRules.h"

namespace patchpav::sql {
namespace {

using paradox::FieldType;

// Fills key[field] with the operand of "field = operand" for each key field, when the condition
// is only such equalities joined by AND, each key field once.
bool CollectKeyEqualities(const Condition& condition, int keyFieldCount,
                          std::vector<std::optional<Operand>>& key) {
  if (condition.kind == Condition::Kind::And) {
    for (const Condition& child : condition.children) {
      if (!CollectKeyEqualities(child, keyFieldCount, key)) return false;
    }
    return true;
  }
  if (condition.kind != Condition::Kind::Compare || condition.op != CompareOp::Equal) return false;
  const ColumnRef* column = std::get_if<ColumnRef>(&condition.left);
  const Operand* other = &condition.right;
  if (!column) {
    column = std::get_if<ColumnRef>(&condition.right);
    other = &condition.left;
  }
  if (!column || std::holds_alternative<ColumnRef>(*other)) return false;
  if (column->field >= keyFieldCount || key[column->field]) return false;
  key[column->field] = *other;
  return true;
}

// How "key field = value" finds its record through the key map. The equality means what it
// means in a scan: a number equals an integer key only when whole, a text equals a number key
// when it reads as that number.
enum class KeyOutcome { Lookup, NoRecord, Scan };

KeyOutcome KeyValueFor(const Value& value, const paradox::FieldDef& field, Value& key) {
  if (value.IsNull()) return KeyOutcome::NoRecord;
  if (field.type == FieldType::Alpha) {
    if (value.GetKind() != Value::Kind::Text) return KeyOutcome::Scan;
    key = value;
    return KeyOutcome::Lookup;
  }
  if (!IsNumericField(field.type)) return KeyOutcome::Scan;
  double number = 0;
  if (value.GetKind() == Value::Kind::Integer) {
    key = IsIntegerField(field.type) ? value : Value::Float(value.AsFloat());
    return KeyOutcome::Lookup;
  }
  if (value.GetKind() == Value::Kind::Text) {
    const std::optional<double> parsed = ParseNumber(value.AsText());
    if (!parsed) {
      throw EDatabaseError("Comparaison impossible entre la colonne numérique " + field.name +
                           " et le texte '" + value.AsText() + "'");
    }
    number = *parsed;
  } else {
    number = value.AsFloat();
  }
  if (!IsIntegerField(field.type)) {
    key = Value::Float(number);
    return KeyOutcome::Lookup;
  }
  if (std::trunc(number) != number || std::fabs(number) > 9.0e18) return KeyOutcome::NoRecord;
  key = Value::Integer(static_cast<std::int64_t>(number));
  return KeyOutcome::Lookup;
}

}  // namespace

LocalUpdate::LocalUpdate(std::shared_ptr<TableCatalog> catalog,
                         std::shared_ptr<TableCatalog::Entry> table, UpdateStatement update,
                         std::size_t parameterCount)
    : catalog_(std::move(catalog)),
      table_(std::move(table)),
      update_(std::move(update)),
      parameterCount_(parameterCount) {
  const int keyFieldCount = table_->schema.keyFieldCount;
  if (keyFieldCount <= 0 || !update_.where) return;
  std::vector<std::optional<Operand>> key(static_cast<std::size_t>(keyFieldCount));
  if (!CollectKeyEqualities(*update_.where, keyFieldCount, key)) return;
  std::vector<Operand> operands;
  for (const std::optional<Operand>& operand : key) {
    if (!operand) return;
    operands.push_back(*operand);
  }
  keyOperands_ = std::move(operands);
}

ResultSet LocalUpdate::Open(std::span<const Value>) {
  throw EDatabaseError("Une requête UPDATE ne renvoie pas de lignes : elle s'exécute");
}

std::int64_t LocalUpdate::Execute(std::span<const Value> parameters) {
  CheckParameterCount(parameterCount_, parameters);
  const paradox::TableSchema& schema = table_->schema;
  std::vector<paradox::Table::FieldChange> changes;
  for (const Assignment& assignment : update_.assignments) {
    const paradox::FieldDef& field = schema.fields[assignment.column.field];
    changes.push_back(
        {assignment.column.field, ConvertForField(ValueOf(assignment.value, parameters), field)});
  }
  paradox::Table& table = catalog_->ForWriting(*table_);
  if (!keyOperands_) return UpdateByScan(table, parameters, changes);

  std::vector<Value> key(keyOperands_->size());
  bool scan = false;
  for (std::size_t i = 0; i < key.size(); ++i) {
    const Value& value = ValueOf((*keyOperands_)[i], parameters);
    switch (KeyValueFor(value, schema.fields[i], key[i])) {
      case KeyOutcome::NoRecord:
        return 0;
      case KeyOutcome::Scan:
        scan = true;
        break;
      case KeyOutcome::Lookup:
        break;
    }
  }
  if (scan) return UpdateByScan(table, parameters, changes);
  const std::optional<paradox::RecordLocator> where = table.FindByKey(key);
  if (!where) return 0;
  table.Update(*where, changes);
  return 1;
}

bool LocalUpdate::CheckWritable() {
  std::vector<int> fields;
  for (const Assignment& assignment : update_.assignments)
    fields.push_back(assignment.column.field);
  catalog_->ForWriting(*table_).CheckWritable(fields);
  return true;
}

std::int64_t LocalUpdate::UpdateByScan(paradox::Table& table, std::span<const Value> parameters,
                                       std::span<const paradox::Table::FieldChange> changes) {
  const RecordFilter filter(update_.where, parameters, table);
  // Matches are gathered before the first write, so a write never lands in a block that the
  // scan is still reading, and an assignment that changes a WHERE column cannot make a record
  // match twice.
  std::vector<paradox::RecordLocator> matches;
  const std::size_t recordSize = static_cast<std::size_t>(table.RecordSize());
  std::vector<std::uint32_t> inBlock;
  table.ForEachBlock(
      [&](const std::byte* records, std::size_t count, paradox::RecordLocator first) {
        filter.SelectInBlock(records, count, recordSize, inBlock);
        for (const std::uint32_t i : inBlock) {
          matches.push_back({first.block, static_cast<std::uint16_t>(first.slot + i)});
        }
      });
  for (const paradox::RecordLocator& where : matches) table.Update(where, changes);
  return static_cast<std::int64_t>(matches.size());
}

}  // namespace patchpav::sql
