#pragma once

// The records a SELECT on a local table has matched, kept as their bytes and decoded when a value
// is read. Decoding goes through the catalog's current table, which the connection may have
// reopened for writing since the selection: its fields are the same (the catalog refuses a table
// whose fields changed), and the bytes kept here are those the selection matched.

#include <cstddef>
#include <cstdint>
#include <memory>
#include <span>
#include <vector>

#include "engine/core/Driver.h"
#include "engine/sql/TableCatalog.h"

namespace patchpav::sql {

// One field of a matched record; a value that cannot be decoded is an EDatabaseError naming the
// table, the field and the record (its place in the table, from 1).
Value DecodeSelected(const paradox::Table& table, const std::byte* record, int field,
                     std::uint32_t recordNumber);

class SelectedRecords final : public DeferredRows {
 public:
  SelectedRecords(std::shared_ptr<TableCatalog> catalog, std::shared_ptr<TableCatalog::Entry> table,
                  std::vector<int> fields, std::size_t recordSize);

  void Add(const std::byte* record, std::uint32_t recordNumber);
  // Puts the records in the given order: order[i] is the record that becomes row i.
  void Reorder(std::span<const std::size_t> order);

  std::size_t Count() const override { return numbers_.size(); }
  Value At(std::size_t row, std::size_t column) const override;

 private:
  std::shared_ptr<TableCatalog> catalog_;
  std::shared_ptr<TableCatalog::Entry> table_;
  std::vector<int> fields_;  // the table's field of each column
  std::size_t recordSize_;
  std::vector<std::byte> bytes_;        // the records back to back, in row order
  std::vector<std::uint32_t> numbers_;  // each row's record number in the table
};

}  // namespace patchpav::sql
