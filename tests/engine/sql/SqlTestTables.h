#pragma once

// Real Paradox tables for the dialect's tests, written with the table layer into a fresh
// directory per test, the rows of a result written as compact text, and where a record's fields
// lie in its file.

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "engine/core/Driver.h"
#include "engine/drivers/paradox/ParadoxTable.h"
#include "support/FieldBuilders.h"
#include "support/FileBytes.h"
#include "support/TemporaryDirectory.h"

namespace patchpav::sql::testing {

using patchpav::testing::CpMainSchema;
using patchpav::testing::Field;
using patchpav::testing::FileBytes;
using patchpav::testing::TemporaryDirectory;

// A CPMAIN row: key, seven amounts (nullopt-like blanks given as Value()), label.
inline std::vector<Value> CpMainRow(std::int64_t id, std::vector<Value> amounts,
                                    std::string label = "") {
  std::vector<Value> row{Value::Integer(id)};
  for (Value& amount : amounts) row.push_back(std::move(amount));
  row.resize(8);
  row.push_back(label.empty() ? Value() : Value::Text(std::move(label)));
  return row;
}

inline std::string RenderValue(const Value& v) { return v.IsNull() ? "-" : v.AsText(); }

// "1|2.5|-|abc;2|..." : fields joined by '|', rows by ';'; a null field is "-".
inline std::string RenderRows(const std::vector<std::vector<Value>>& rows) {
  std::string text;
  for (std::size_t r = 0; r < rows.size(); ++r) {
    if (r) text += ";";
    for (std::size_t f = 0; f < rows[r].size(); ++f) {
      if (f) text += "|";
      text += RenderValue(rows[r][f]);
    }
  }
  return text;
}

// Where each field of the record whose first field is the given key lies in the file: the
// record's bytes, as a scan shows them, are found in the file's bytes.
inline std::vector<std::pair<std::size_t, std::size_t>> FieldRanges(
    const std::filesystem::path& file, std::int64_t key) {
  const auto table = paradox::Table::Open(file, paradox::Table::Access::ReadOnly);
  std::string record;
  table->ForEachBlock([&](const std::byte* records, std::size_t count, paradox::RecordLocator) {
    for (std::size_t i = 0; i < count; ++i) {
      const std::byte* r = records + i * table->RecordSize();
      if (table->Decode(r, 0) == Value::Integer(key)) {
        record.assign(reinterpret_cast<const char*>(r), table->RecordSize());
      }
    }
  });
  const std::string bytes = FileBytes(file);
  const std::size_t start = bytes.find(record);
  EXPECT_NE(start, std::string::npos);
  EXPECT_EQ(bytes.find(record, start + 1), std::string::npos) << "the record is not unique";
  std::vector<std::pair<std::size_t, std::size_t>> ranges;
  for (const paradox::FieldDef& field : table->Schema().fields) {
    ranges.emplace_back(start + field.offset, start + field.offset + field.size);
  }
  return ranges;
}

// Overwrites bytes of a file in place.
inline void PatchFile(const std::filesystem::path& file, std::size_t offset,
                      const std::string& bytes) {
  std::fstream io(file, std::ios::binary | std::ios::in | std::ios::out);
  io.seekp(static_cast<std::streamoff>(offset));
  io.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
}

}  // namespace patchpav::sql::testing
