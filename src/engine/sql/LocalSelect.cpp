#include "engine/sql/LocalSelect.h"

#include <algorithm>

#include "engine/core/Errors.h"
#include "engine/sql/Binding.h"
#include "engine/sql/RecordFilter.h"
#include "engine/sql/ValueRules.h"

namespace patchpav::sql {

LocalSelect::LocalSelect(std::shared_ptr<TableCatalog> catalog,
                         std::shared_ptr<TableCatalog::Entry> table, SelectStatement select,
                         std::size_t parameterCount)
    : catalog_(std::move(catalog)),
      table_(std::move(table)),
      select_(std::move(select)),
      parameterCount_(parameterCount) {
  if (select_.allColumns) {
    for (std::size_t i = 0; i < table_->schema.fields.size(); ++i) {
      outputFields_.push_back(static_cast<int>(i));
    }
  } else {
    for (const ColumnRef& column : select_.columns) outputFields_.push_back(column.field);
  }
  decodedFields_ = outputFields_;
  for (const OrderKey& key : select_.orderBy) {
    const auto found = std::find(decodedFields_.begin(), decodedFields_.end(), key.column.field);
    orderPositions_.push_back(static_cast<std::size_t>(found - decodedFields_.begin()));
    if (found == decodedFields_.end()) decodedFields_.push_back(key.column.field);
  }
}

ResultSet LocalSelect::Open(std::span<const Value> parameters) {
  CheckParameterCount(parameterCount_, parameters);
  const paradox::Table& table = catalog_->ForReading(*table_);
  const RecordFilter filter(select_.where, parameters, table);

  ResultSet result;
  for (int field : outputFields_) result.columns.push_back(table_->schema.fields[field].name);
  const std::size_t recordSize = static_cast<std::size_t>(table.RecordSize());
  std::vector<std::uint32_t> matches;
  table.ForEachBlock([&](const std::byte* records, std::size_t count, paradox::RecordLocator) {
    filter.SelectInBlock(records, count, recordSize, matches);
    for (const std::uint32_t i : matches) {
      const std::byte* record = records + i * recordSize;
      std::vector<Value> row;
      row.reserve(decodedFields_.size());
      for (int field : decodedFields_) row.push_back(table.Decode(record, field));
      result.rows.push_back(std::move(row));
    }
  });

  if (!orderPositions_.empty()) {
    const auto before = [&](const std::vector<Value>& a, const std::vector<Value>& b) {
      for (std::size_t k = 0; k < orderPositions_.size(); ++k) {
        const std::size_t at = orderPositions_[k];
        const int order = OrderValues(a[at], b[at]);
        if (order != 0) return select_.orderBy[k].descending ? order > 0 : order < 0;
      }
      return false;
    };
    // Ordered by the key of a keyed table, the scan's order is already the one asked for.
    if (!std::is_sorted(result.rows.begin(), result.rows.end(), before)) {
      std::stable_sort(result.rows.begin(), result.rows.end(), before);
    }
  }
  if (decodedFields_.size() != outputFields_.size()) {
    for (std::vector<Value>& row : result.rows) row.resize(outputFields_.size());
  }
  return result;
}

std::int64_t LocalSelect::Execute(std::span<const Value>) {
  throw EDatabaseError(
      "Une requête SELECT renvoie des lignes : elle s'ouvre, elle ne s'exécute pas");
}

}  // namespace patchpav::sql
