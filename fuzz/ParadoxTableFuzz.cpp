// Opens any bytes as a Paradox table, from memory through the file seam, and decodes every field
// of every record and looks up a few keys: whatever the bytes, the driver must refuse or read
// them, never crash. The input is the .DB's bytes, optionally followed by kMbMarker and the bytes
// of the .MB file that holds its long memo and BLOb values.

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <exception>
#include <span>
#include <string_view>

#include "engine/core/Errors.h"
#include "engine/core/TableFile.h"
#include "engine/drivers/paradox/ParadoxTable.h"

namespace {

using patchpav::Value;
using namespace patchpav::paradox;
using patchpav::FileError;
using patchpav::FileSystem;
using patchpav::OpenMode;
using patchpav::TableFile;

class MemoryFile final : public TableFile {
 public:
  explicit MemoryFile(std::span<const std::uint8_t> bytes) : bytes_(bytes) {}
  void ReadAt(std::uint64_t offset, std::span<std::byte> out) override {
    if (offset > bytes_.size() || out.size() > bytes_.size() - offset) {
      throw FileError(FileError::Kind::Other, "fin de fichier");
    }
    std::memcpy(out.data(), bytes_.data() + offset, out.size());
  }
  void WriteAt(std::uint64_t, std::span<const std::byte>) override {
    throw FileError(FileError::Kind::Other, "lecture seule");
  }
  void Flush() override {}
  std::uint64_t Size() override { return bytes_.size(); }

 private:
  std::span<const std::uint8_t> bytes_;
};

constexpr std::string_view kMbMarker = "\n--PARADOX-MB--\n";

class MemoryFileSystem final : public FileSystem {
 public:
  explicit MemoryFileSystem(std::span<const std::uint8_t> bytes) {
    const std::string_view all(reinterpret_cast<const char*>(bytes.data()), bytes.size());
    const std::size_t marker = all.find(kMbMarker);
    table_ = bytes.first(std::min(marker, bytes.size()));
    if (marker != std::string_view::npos) {
      hasBlobs_ = true;
      blobs_ = bytes.subspan(marker + kMbMarker.size());
    }
  }
  std::unique_ptr<TableFile> Open(const std::filesystem::path& path, OpenMode) override {
    if (path.extension() != ".MB") return std::make_unique<MemoryFile>(table_);
    if (!hasBlobs_) throw FileError(FileError::Kind::NotFound, "pas de fichier .MB");
    return std::make_unique<MemoryFile>(blobs_);
  }

 private:
  std::span<const std::uint8_t> table_;
  std::span<const std::uint8_t> blobs_;
  bool hasBlobs_ = false;
};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  MemoryFileSystem files({data, size});
  try {
    // A directory that does not exist: no secondary index files are looked at.
    const auto table =
        Table::Open("/nonexistent-fuzz-dir/FUZZ.DB", Table::Access::ReadOnly, 1252, files);
    const int fields = static_cast<int>(table->Schema().fields.size());
    std::vector<Value> firstKey;
    table->ForEachBlock([&](const std::byte* records, std::size_t count, RecordLocator) {
      for (std::size_t r = 0; r < count; ++r) {
        const std::byte* record = records + r * static_cast<std::size_t>(table->RecordSize());
        for (int f = 0; f < fields; ++f) {
          table->IsBlank(record, f);
          try {
            const Value v = table->Decode(record, f);
            if (f < table->Schema().keyFieldCount &&
                firstKey.size() < static_cast<std::size_t>(table->Schema().keyFieldCount)) {
              firstKey.push_back(v);
            }
          } catch (const patchpav::EDatabaseError&) {
          }
        }
      }
    });
    if (table->Schema().keyFieldCount > 0 &&
        firstKey.size() == static_cast<std::size_t>(table->Schema().keyFieldCount)) {
      table->FindByKey(firstKey);
    }
  } catch (const std::exception&) {
    // a refused table is a correct outcome
  }
  return 0;
}
