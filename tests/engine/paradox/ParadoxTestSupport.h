#pragma once

// Helpers shared by the Paradox driver's tests: a full decode of a table, another language
// driver's name in a pxlib file, and a file system whose Nth read, write or flush fails; with the
// shared test helpers that they use.

#include <algorithm>
#include <filesystem>
#include <stdexcept>
#include <string>
#include <vector>

#include "engine/drivers/paradox/ParadoxTable.h"
#include "engine/drivers/paradox/TableFile.h"
#include "support/FieldBuilders.h"
#include "support/FileBytes.h"
#include "support/TemporaryDirectory.h"

namespace patchpav::paradox::testing {

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

// The operating system's files, except that once FailNth(n) is called the nth operation of the
// chosen kind fails, as a full disk or a pulled cable would.
class FailingFileSystem final : public FileSystem {
 public:
  enum class Op { Read, Write, Flush };
  explicit FailingFileSystem(Op op) : op_(op) {}
  void FailNth(int n) {
    count_ = 0;
    failAt_ = n;
  }

  std::unique_ptr<TableFile> Open(const std::filesystem::path& path, OpenMode mode) override {
    return std::make_unique<File>(SystemFileSystem().Open(path, mode), *this);
  }
  int Count() const { return count_; }

 private:
  class File final : public TableFile {
   public:
    File(std::unique_ptr<TableFile> inner, FailingFileSystem& owner)
        : inner_(std::move(inner)), owner_(owner) {}
    void ReadAt(std::uint64_t offset, std::span<std::byte> bytes) override {
      owner_.Step(Op::Read);
      inner_->ReadAt(offset, bytes);
    }
    void WriteAt(std::uint64_t offset, std::span<const std::byte> bytes) override {
      owner_.Step(Op::Write);
      inner_->WriteAt(offset, bytes);
    }
    void Flush() override {
      owner_.Step(Op::Flush);
      inner_->Flush();
    }
    std::uint64_t Size() override { return inner_->Size(); }

   private:
    std::unique_ptr<TableFile> inner_;
    FailingFileSystem& owner_;
  };

  void Step(Op op) {
    if (op != op_) return;
    if (++count_ == failAt_) throw FileError(FileError::Kind::Other, "disque plein (simulé)");
  }

  Op op_;
  int failAt_ = 0;
  int count_ = 0;
};

}  // namespace patchpav::paradox::testing
