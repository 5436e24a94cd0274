#pragma once

// Helpers shared by the Paradox driver's tests: a full decode of a table and another language
// driver's name in a pxlib file; with the shared test helpers that they use (among them the file
// system with faults injected).

#include <algorithm>
#include <filesystem>
#include <stdexcept>
#include <string>
#include <vector>

#include "engine/drivers/paradox/ParadoxTable.h"
#include "support/FaultyFiles.h"
#include "support/FieldBuilders.h"
#include "support/FileBytes.h"
#include "support/TemporaryDirectory.h"

namespace patchpav::paradox::testing {

using patchpav::testing::FaultyFiles;
using patchpav::testing::Field;
using patchpav::testing::FileBytes;
using patchpav::testing::TemporaryDirectory;
using patchpav::testing::WriteFileBytes;

// Puts another language driver's name in place of pxlib's "ANSIINTL", which pxlib always writes
// whatever the code page it is given (the name says which code page the text is in).
inline void RenameLanguageDriver(const std::filesystem::path& path, const std::string& name) {
  std::string bytes = FileBytes(path);
  const std::string ansi = std::string("ANSIINTL") + '\0';
  const auto at = std::search(bytes.begin(), bytes.end(), ansi.begin(), ansi.end());
  if (at == bytes.end() || name.size() >= ansi.size())
    throw std::runtime_error("no name to replace");
  std::fill_n(at, ansi.size(), '\0');
  std::copy(name.begin(), name.end(), at);
  WriteFileBytes(path, bytes);
}

inline std::vector<std::vector<Value>> ReadAllRows(const Table& table) {
  std::vector<std::vector<Value>> rows;
  const int fields = static_cast<int>(table.Schema().fields.size());
  table.ForEachBlock([&](const std::byte* records, std::size_t count, RecordLocator) {
    for (std::size_t i = 0; i < count; ++i) {
      const std::byte* record = records + i * static_cast<std::size_t>(table.RecordSize());
      std::vector<Value> row;
      for (int f = 0; f < fields; ++f) row.push_back(table.Decode(record, f));
      rows.push_back(std::move(row));
    }
  });
  return rows;
}

}  // namespace patchpav::paradox::testing
