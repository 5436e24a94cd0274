#pragma once

// Real Paradox tables for the dialect's tests, written with the table layer into a fresh
// directory per test, and the rows of a result written as compact text.

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "engine/core/Driver.h"
#include "engine/drivers/paradox/ParadoxTable.h"

namespace patchpav::sql::testing {

// A directory of its own for the running test, removed afterwards.
class TableDirectory {
 public:
  TableDirectory() {
    const auto* info = ::testing::UnitTest::GetInstance()->current_test_info();
    path_ = std::filesystem::path(::testing::TempDir()) /
            (std::string("pp_sql_") + info->test_suite_name() + "_" + info->name());
    std::filesystem::remove_all(path_);
    std::filesystem::create_directories(path_);
  }
  ~TableDirectory() {
    std::error_code ignored;
    std::filesystem::remove_all(path_, ignored);
  }
  TableDirectory(const TableDirectory&) = delete;
  TableDirectory& operator=(const TableDirectory&) = delete;
  const std::filesystem::path& Path() const { return path_; }

 private:
  std::filesystem::path path_;
};

inline paradox::FieldDef Field(std::string name, paradox::FieldType type, int size) {
  paradox::FieldDef field;
  field.name = std::move(name);
  field.type = type;
  field.size = size;
  return field;
}

// CPMAIN as the product has it, as far as the tool is concerned: the key, the seven amounts and
// a label.
inline paradox::TableSchema CpMainSchema() {
  using paradox::FieldType;
  paradox::TableSchema schema;
  schema.fields.push_back(Field("CPMain_ID", FieldType::Long, 4));
  for (int i = 1; i <= 7; ++i) {
    schema.fields.push_back(Field("MontantSS" + std::to_string(i), FieldType::Number, 8));
  }
  schema.fields.push_back(Field("Libelle", FieldType::Alpha, 20));
  schema.keyFieldCount = 1;
  return schema;
}

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

inline std::string FileBytes(const std::filesystem::path& file) {
  std::ifstream in(file, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), {});
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
