#include "engine/sql/SelectedRecords.h"

#include <cstring>
#include <string>

#include "engine/core/Errors.h"

namespace patchpav::sql {

Value DecodeSelected(const paradox::Table& table, const std::byte* record, int field,
                     std::uint32_t recordNumber) {
  try {
    return table.Decode(record, field);
  } catch (const EDatabaseError& e) {
    // The table names itself and the field; the record is known only here.
    throw EDatabaseError(std::string(e.what()) + " (enregistrement n° " +
                         std::to_string(recordNumber) + ")");
  }
}

SelectedRecords::SelectedRecords(std::shared_ptr<TableCatalog> catalog,
                                 std::shared_ptr<TableCatalog::Entry> table,
                                 std::vector<int> fields, std::size_t recordSize)
    : catalog_(std::move(catalog)),
      table_(std::move(table)),
      fields_(std::move(fields)),
      recordSize_(recordSize) {}

void SelectedRecords::Add(const std::byte* record, std::uint32_t recordNumber) {
  bytes_.insert(bytes_.end(), record, record + recordSize_);
  numbers_.push_back(recordNumber);
}

void SelectedRecords::Reorder(std::span<const std::size_t> order) {
  std::vector<std::byte> bytes(bytes_.size());
  std::vector<std::uint32_t> numbers(numbers_.size());
  for (std::size_t row = 0; row < order.size(); ++row) {
    std::memcpy(bytes.data() + row * recordSize_, bytes_.data() + order[row] * recordSize_,
                recordSize_);
    numbers[row] = numbers_[order[row]];
  }
  bytes_ = std::move(bytes);
  numbers_ = std::move(numbers);
}

Value SelectedRecords::At(std::size_t row, std::size_t column) const {
  return DecodeSelected(catalog_->ForReading(*table_), bytes_.data() + row * recordSize_,
                        fields_[column], numbers_[row]);
}

}  // namespace patchpav::sql
