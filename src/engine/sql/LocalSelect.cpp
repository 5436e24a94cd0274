#include "engine/sql/LocalSelect.h"

#include <algorithm>
#include <numeric>

#include "engine/core/Errors.h"
#include "engine/sql/Binding.h"
#include "engine/sql/RecordFilter.h"
#include "engine/sql/SelectedRecords.h"
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
}

ResultSet LocalSelect::Open(std::span<const Value> parameters) {
  CheckParameterCount(parameterCount_, parameters);
  const paradox::Table& table = catalog_->ForReading(*table_);
  const RecordFilter filter(select_.where, parameters, table);

  ResultSet result;
  for (int field : outputFields_) result.columns.push_back(table_->schema.fields[field].name);
  const std::size_t recordSize = static_cast<std::size_t>(table.RecordSize());
  auto selected = std::make_shared<SelectedRecords>(catalog_, table_, outputFields_, recordSize);
  // The ORDER BY values of each row, the only ones decoded now.
  std::vector<std::vector<Value>> keys;
  std::vector<std::uint32_t> matches;
  std::uint32_t before = 0;  // records of the blocks already visited
  table.ForEachBlock([&](const std::byte* records, std::size_t count, paradox::RecordLocator) {
    filter.SelectInBlock(records, count, recordSize, matches);
    for (const std::uint32_t i : matches) {
      const std::byte* record = records + i * recordSize;
      selected->Add(record, before + i + 1);
      if (select_.orderBy.empty()) continue;
      std::vector<Value>& key = keys.emplace_back();
      key.reserve(select_.orderBy.size());
      for (const OrderKey& order : select_.orderBy) {
        key.push_back(DecodeSelected(table, record, order.column.field, before + i + 1));
      }
    }
    before += static_cast<std::uint32_t>(count);
  });

  if (!keys.empty()) {
    const auto precedes = [&](const std::vector<Value>& a, const std::vector<Value>& b) {
      for (std::size_t k = 0; k < select_.orderBy.size(); ++k) {
        const int order = OrderValues(a[k], b[k]);
        if (order != 0) return select_.orderBy[k].descending ? order > 0 : order < 0;
      }
      return false;
    };
    // Ordered by the key of a keyed table, the scan's order is already the one asked for.
    if (!std::is_sorted(keys.begin(), keys.end(), precedes)) {
      std::vector<std::size_t> order(keys.size());
      std::iota(order.begin(), order.end(), std::size_t{0});
      std::stable_sort(order.begin(), order.end(),
                       [&](std::size_t a, std::size_t b) { return precedes(keys[a], keys[b]); });
      selected->Reorder(order);
    }
  }
  result.deferred = std::move(selected);
  return result;
}

std::int64_t LocalSelect::Execute(std::span<const Value>) {
  throw EDatabaseError(
      "Une requête SELECT renvoie des lignes : elle s'ouvre, elle ne s'exécute pas");
}

}  // namespace patchpav::sql
