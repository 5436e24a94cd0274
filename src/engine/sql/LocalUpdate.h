#pragma once

#include <memory>
#include <optional>

#include "engine/core/Driver.h"
#include "engine/sql/Ast.h"
#include "engine/sql/TableCatalog.h"

namespace patchpav::sql {

// A bound UPDATE. When its WHERE is nothing but "key field = value" for every field of the
// table's primary key, a run finds the record through the key map and writes it alone;
// otherwise it scans, collects the matching records, then writes them. Each write changes only
// the assigned fields, and the table refuses a key or indexed field before writing anything.
class LocalUpdate : public PreparedStatement {
 public:
  LocalUpdate(std::shared_ptr<TableCatalog> catalog, std::shared_ptr<TableCatalog::Entry> table,
              UpdateStatement update, std::size_t parameterCount);

  std::size_t ParameterCount() const override { return parameterCount_; }
  ResultSet Open(std::span<const Value> parameters) override;
  std::int64_t Execute(std::span<const Value> parameters) override;
  bool CheckWritable() override;

  // Whether runs go through the key map (for tests and benchmarks).
  bool UsesKeyLookup() const { return keyOperands_.has_value(); }

 private:
  std::int64_t UpdateByScan(paradox::Table& table, std::span<const Value> parameters,
                            std::span<const paradox::Table::FieldChange> changes);

  std::shared_ptr<TableCatalog> catalog_;
  std::shared_ptr<TableCatalog::Entry> table_;
  UpdateStatement update_;
  std::size_t parameterCount_;
  std::optional<std::vector<Operand>> keyOperands_;  // one per key field, in key order
};

}  // namespace patchpav::sql
