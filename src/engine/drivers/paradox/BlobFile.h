#pragma once

// Memo and BLOb values (M, B, F, O, G fields) longer than the part their field keeps in the
// record. The record holds the value's first bytes (the leader) and a 10-byte descriptor; the
// whole value lies in NAME.MB beside NAME.DB, which is opened only when a value needs it.
//
// Layout of NAME.MB: a 4 KiB header block, then blocks whose size is a multiple of 4 KiB, each
// starting with u8 type and u16 size in 4 KiB units. A type 2 block holds one value: u32 length
// and u16 modification number follow, the bytes start at +9. A type 3 block is 4 KiB shared by
// up to 64 small values: after its 12-byte header come 64 pointers of 5 bytes (start / 16, number
// of 16-byte chunks, u16 modification number, bytes used in the last chunk) and the values lie in
// 16-byte chunks from +0x150. All numbers are little-endian.

#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <memory>
#include <span>
#include <string>
#include <vector>

#include "engine/core/TableFile.h"
#include "engine/core/Value.h"
#include "engine/drivers/paradox/ParadoxTable.h"

namespace patchpav::paradox {

inline bool IsBlobFamily(FieldType type) {
  return type == FieldType::Memo || type == FieldType::Blob || type == FieldType::FormattedMemo ||
         type == FieldType::Ole || type == FieldType::Graphic;
}

// The 10 bytes that end a BLOb-family field in the record, after the leader.
struct BlobDescriptor {
  std::uint32_t location = 0;  // offset of the .MB block; its low byte indexes the block's
                               // pointers, 0xFF for a block holding a single value
  std::uint32_t length = 0;    // of the whole value
  std::uint16_t modification = 0;
};

// field points at the field's first byte; fieldSize is the leader + 10.
BlobDescriptor ReadBlobDescriptor(const std::byte* field, int fieldSize);

// One open .MB file. Every failure is an EDatabaseError saying what is wrong with the file, which
// it names; the caller adds the table and the field.
//
// Invariant: size_ is the file's size when opened (nobody else may write it while we read it),
// and no read is issued unless it lies inside it, so a damaged length never makes us allocate
// more than the file holds.
class BlobFile {
 public:
  // Checks the header block; name is the file name shown in messages.
  BlobFile(std::unique_ptr<TableFile> file, std::string name);
  BlobFile(const BlobFile&) = delete;
  BlobFile& operator=(const BlobFile&) = delete;
  BlobFile(BlobFile&&) noexcept = default;
  BlobFile& operator=(BlobFile&&) noexcept = default;

  // The bytes of the value the descriptor names, exactly descriptor.length of them.
  std::string Read(const BlobDescriptor& blob);

 private:
  [[noreturn]] void Damaged(const std::string& reason) const;
  void ReadOrFail(std::uint64_t offset, std::span<std::byte> bytes);
  std::string ReadSingle(std::uint64_t block, const BlobDescriptor& blob);
  std::string ReadShared(std::uint64_t block, unsigned index, const BlobDescriptor& blob);

  std::unique_ptr<TableFile> file_;
  std::string name_;
  std::uint64_t size_ = 0;
  // The last shared block read: the values of neighbouring records often share one.
  std::uint64_t sharedAt_ = 0;
  std::vector<std::byte> shared_;
};

// The memo and BLOb values of one table. Values that fit in their leader are decoded from the
// record alone; the .MB file is opened the first time a longer value is read, and kept open
// (reading, shared with other readers) until the table is closed. An .MB that cannot be opened is
// tried again at the next value that needs it.
class TableBlobs {
 public:
  // dataFile: the table's .DB; files must outlive this object.
  TableBlobs(const std::filesystem::path& dataFile, FileSystem& files);
  TableBlobs(const TableBlobs&) = delete;
  TableBlobs& operator=(const TableBlobs&) = delete;

  // The whole value of a BLOb-family field: the null value when blank, text in UTF-8 for memos
  // (from the code page), the stored bytes for the others.
  Value Decode(const std::byte* field, const FieldDef& def, int codePage) const;

 private:
  BlobFile& File() const;

  std::filesystem::path dataFile_;
  FileSystem& files_;
  mutable std::unique_ptr<BlobFile> file_;
};

}  // namespace patchpav::paradox
