#pragma once

#include <memory>

#include "engine/core/Driver.h"
#include "engine/sql/Ast.h"
#include "engine/sql/TableCatalog.h"

namespace patchpav::sql {

// A bound SELECT. A run scans the table's blocks once, tests each raw record against the
// compiled WHERE, keeps the bytes of the matching records only, decodes their ORDER BY fields and
// sorts them (stable, nulls first when ascending). Other values are decoded when they are read
// (SelectedRecords.h), so a damaged value in a column nobody reads fails nothing.
class LocalSelect : public PreparedStatement {
 public:
  LocalSelect(std::shared_ptr<TableCatalog> catalog, std::shared_ptr<TableCatalog::Entry> table,
              SelectStatement select, std::size_t parameterCount);

  std::size_t ParameterCount() const override { return parameterCount_; }
  ResultSet Open(std::span<const Value> parameters) override;
  std::int64_t Execute(std::span<const Value> parameters) override;

 private:
  std::shared_ptr<TableCatalog> catalog_;
  std::shared_ptr<TableCatalog::Entry> table_;
  SelectStatement select_;
  std::size_t parameterCount_;
  std::vector<int> outputFields_;  // the fields of a result row, in order
};

}  // namespace patchpav::sql
