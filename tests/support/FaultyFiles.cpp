#include "support/FaultyFiles.h"

#include <utility>

namespace patchpav::testing {

class FaultyFiles::File final : public TableFile {
 public:
  File(std::unique_ptr<TableFile> inner, FaultyFiles& owner)
      : inner_(std::move(inner)), owner_(owner) {}
  void ReadAt(std::uint64_t offset, std::span<std::byte> bytes) override {
    if (owner_.failReads) {
      throw FileError(*owner_.failReads, "le nom réseau n'est plus disponible (simulé)");
    }
    owner_.Step(Op::Read);
    inner_->ReadAt(offset, bytes);
  }
  void WriteAt(std::uint64_t offset, std::span<const std::byte> bytes) override {
    ++owner_.writes;
    if (owner_.failWritesFrom > 0 && owner_.writes >= owner_.failWritesFrom) {
      throw FileError(owner_.writeFailure, "violation de verrouillage (simulée)");
    }
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
  FaultyFiles& owner_;
};

std::unique_ptr<TableFile> FaultyFiles::Open(const std::filesystem::path& path, OpenMode mode) {
  if (mode == OpenMode::ReadWrite && beforeTakingForWriting) {
    std::exchange(beforeTakingForWriting, nullptr)();
  }
  if (refuseWriting && mode != OpenMode::Read) {
    throw FileError(*refuseWriting, "Ouverture impossible de " + path.string());
  }
  return std::make_unique<File>(SystemFileSystem().Open(path, mode), *this);
}

void FaultyFiles::Step(Op op) {
  if (op != op_) return;
  if (++count_ == failAt_) throw FileError(FileError::Kind::Other, "disque plein (simulé)");
}

}  // namespace patchpav::testing
