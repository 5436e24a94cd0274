#pragma once

// The system's files as a power cut leaves them, for tests that kill their own process: what a
// file was given but not flushed can be lost. Killing a process loses nothing that reached the
// system, so here the bytes of a file that may be lost wait in the process's memory until its
// flush, and die with it. Which files lose their unflushed bytes is the test's choice: the worst
// case for a journal written ahead is that its lines are lost while the table's writes survive
// (the system may write a file's pages back whenever it likes), and the worst case for a run cut
// short is that the table's writes are lost too.
//
// It also kills the process at a chosen step: before the nth write or the nth flush of a file, or
// just after its nth flush.

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <filesystem>
#include <functional>
#include <map>
#include <memory>
#include <span>
#include <string>
#include <utility>
#include <vector>

#include "engine/core/TableFile.h"

namespace patchpav::testing {

class PowerCutFiles final : public FileSystem {
 public:
  enum class Step { BeforeWrite, BeforeFlush, AfterFlush };
  struct KillPoint {
    std::string file;  // the file's name: "CPMAIN.DB", "journal.csv"
    Step step = Step::BeforeWrite;
    int nth = 0;  // 0: never
  };

  // Files whose unflushed bytes a power cut takes with it, by name.
  std::vector<std::string> volatileFiles;
  KillPoint kill;
  std::function<void()> killProcess;

  std::unique_ptr<TableFile> Open(const std::filesystem::path& path, OpenMode mode) override {
    const std::string name = path.filename().string();
    const bool lost =
        std::find(volatileFiles.begin(), volatileFiles.end(), name) != volatileFiles.end();
    return std::make_unique<File>(SystemFileSystem().Open(path, mode), *this, name, lost);
  }

 private:
  class File final : public TableFile {
   public:
    File(std::unique_ptr<TableFile> inner, PowerCutFiles& owner, std::string name, bool lost)
        : inner_(std::move(inner)), owner_(owner), name_(std::move(name)), lost_(lost) {}

    void ReadAt(std::uint64_t offset, std::span<std::byte> bytes) override {
      const std::uint64_t onDisk = inner_->Size();
      if (offset + bytes.size() <= onDisk) {
        inner_->ReadAt(offset, bytes);
      } else {
        if (offset < onDisk) inner_->ReadAt(offset, bytes.first(onDisk - offset));
        if (offset + bytes.size() > Size()) {
          throw FileError(FileError::Kind::Other, "lecture au-delà de la fin");
        }
      }
      // The bytes written since the last flush, in the order written.
      for (const auto& [at, data] : pending_) {
        const std::uint64_t from = std::max(at, offset);
        const std::uint64_t to = std::min(at + data.size(), offset + bytes.size());
        if (from < to)
          std::memcpy(bytes.data() + (from - offset), data.data() + (from - at), to - from);
      }
    }
    void WriteAt(std::uint64_t offset, std::span<const std::byte> bytes) override {
      owner_.Reached(name_, Step::BeforeWrite, writes_);
      if (!lost_) return inner_->WriteAt(offset, bytes);
      pending_.emplace_back(offset, std::vector<std::byte>(bytes.begin(), bytes.end()));
    }
    void Flush() override {
      owner_.Reached(name_, Step::BeforeFlush, flushes_);
      for (const auto& [at, data] : pending_) inner_->WriteAt(at, data);
      pending_.clear();
      inner_->Flush();
      owner_.Reached(name_, Step::AfterFlush, flushes_);
    }
    std::uint64_t Size() override {
      std::uint64_t size = inner_->Size();
      for (const auto& [at, data] : pending_)
        size = std::max<std::uint64_t>(size, at + data.size());
      return size;
    }

   private:
    std::unique_ptr<TableFile> inner_;
    PowerCutFiles& owner_;
    std::string name_;
    bool lost_;
    std::vector<std::pair<std::uint64_t, std::vector<std::byte>>> pending_;
    int writes_ = 0;
    int flushes_ = 0;
  };

  // count: the file's own count of that kind of call, advanced before its flush is looked at.
  void Reached(const std::string& name, Step step, int& count) {
    if (step != Step::AfterFlush) ++count;
    if (kill.nth > 0 && kill.file == name && kill.step == step && kill.nth == count &&
        killProcess) {
      killProcess();
    }
  }
};

}  // namespace patchpav::testing
