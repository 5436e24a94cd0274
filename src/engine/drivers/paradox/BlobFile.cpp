#include "engine/drivers/paradox/BlobFile.h"

#include <algorithm>
#include <cstdio>
#include <system_error>

#include "engine/core/AsciiCase.h"
#include "engine/core/ByteOrder.h"
#include "engine/core/Errors.h"
#include "engine/core/Paths.h"
#include "engine/drivers/paradox/CodePage.h"
#include "engine/drivers/paradox/FieldCodec.h"

namespace patchpav::paradox {
namespace {

constexpr std::uint64_t kUnit = 4096;  // the header block, and the unit of every block size
constexpr std::uint64_t kSingleHeader = 9;
constexpr unsigned kSingleIndex = 0xFF;
constexpr unsigned kPointers = 64;
constexpr std::size_t kPointerTable = 12;
constexpr std::size_t kPointerSize = 5;
constexpr std::size_t kSharedData = 0x150;
constexpr std::uint64_t kChunk = 16;

enum BlockType : unsigned { kHeaderBlock = 0, kSingleBlock = 2, kSharedBlock = 3 };

unsigned U8(const std::byte* p) { return std::to_integer<unsigned>(p[0]); }

std::string Hex(std::uint64_t value) {
  char text[24];
  std::snprintf(text, sizeof text, "0x%llX", static_cast<unsigned long long>(value));
  return text;
}

// NAME.MB beside NAME.DB, in the letter case of the .DB's extension or, failing that, in any
// letter case (files copied from another system keep theirs).
std::filesystem::path BlobPathBeside(const std::filesystem::path& dataFile) {
  const std::string extension = PathToUtf8(dataFile.extension());
  const bool lower = std::any_of(extension.begin(), extension.end(), IsLowerAscii);
  std::filesystem::path expected = dataFile;
  expected.replace_extension(lower ? ".mb" : ".MB");
  std::error_code error;
  if (std::filesystem::exists(expected, error)) return expected;
  const std::filesystem::path directory =
      dataFile.has_parent_path() ? dataFile.parent_path() : std::filesystem::path(".");
  const std::string wanted = PathToUtf8(expected.filename());
  std::filesystem::directory_iterator it(directory, error);
  if (error) return expected;
  for (; it != std::filesystem::directory_iterator(); it.increment(error)) {
    if (error) break;
    if (EqualsIgnoreCase(PathToUtf8(it->path().filename()), wanted)) return it->path();
  }
  return expected;
}

}  // namespace

BlobDescriptor ReadBlobDescriptor(const std::byte* field, int fieldSize) {
  const std::byte* tail = field + (fieldSize - 10);
  return BlobDescriptor{LoadLittleEndian32(tail), LoadLittleEndian32(tail + 4),
                        LoadLittleEndian16(tail + 8)};
}

BlobFile::BlobFile(std::unique_ptr<TableFile> file, std::string name)
    : file_(std::move(file)), name_(std::move(name)) {
  try {
    size_ = file_->Size();
  } catch (const FileError& e) {
    throw EDatabaseError("lecture impossible dans " + name_ + " : " + e.what(), FaultOf(e));
  }
  if (size_ < kUnit) Damaged("fichier trop court (" + std::to_string(size_) + " octets)");
  std::byte type{};
  ReadOrFail(0, {&type, 1});
  if (U8(&type) != kHeaderBlock) Damaged("en-tête inconnu");
}

void BlobFile::Damaged(const std::string& reason) const {
  throw EDatabaseError("le fichier des mémos " + name_ + " est endommagé : " + reason);
}

void BlobFile::ReadOrFail(std::uint64_t offset, std::span<std::byte> bytes) {
  try {
    file_->ReadAt(offset, bytes);
  } catch (const FileError& e) {
    throw EDatabaseError("lecture impossible dans " + name_ + " : " + e.what(), FaultOf(e));
  }
}

std::string BlobFile::Read(const BlobDescriptor& blob) {
  const std::uint64_t block = blob.location & ~std::uint64_t{0xFF};
  const unsigned index = blob.location & 0xFF;
  if (block == 0) {
    Damaged("une valeur de " + std::to_string(blob.length) +
            " octets ne désigne aucun bloc du fichier");
  }
  if (block % kUnit != 0) Damaged("adresse de bloc " + Hex(block) + " invalide");
  if (block >= size_) {
    Damaged("le bloc " + Hex(block) + " est hors du fichier (" + std::to_string(size_) +
            " octets)");
  }
  return index == kSingleIndex ? ReadSingle(block, blob) : ReadShared(block, index, blob);
}

std::string BlobFile::ReadSingle(std::uint64_t block, const BlobDescriptor& blob) {
  if (size_ - block < kSingleHeader) Damaged("le bloc " + Hex(block) + " est tronqué");
  std::byte head[static_cast<std::size_t>(kSingleHeader)];
  ReadOrFail(block, head);
  if (U8(head) != kSingleBlock) {
    Damaged("le bloc " + Hex(block) + " est de type " + std::to_string(U8(head)) +
            " au lieu de tenir une seule valeur");
  }
  const std::uint64_t blockSize = LoadLittleEndian16(head + 1) * kUnit;
  const std::uint32_t length = LoadLittleEndian32(head + 3);
  const std::uint16_t modification = LoadLittleEndian16(head + 7);
  if (length != blob.length) {
    Damaged("la valeur du bloc " + Hex(block) + " a " + std::to_string(length) +
            " octets, l'enregistrement en annonce " + std::to_string(blob.length));
  }
  if (modification != blob.modification) {
    Damaged("la valeur du bloc " + Hex(block) + " porte le numéro de modification " +
            std::to_string(modification) + ", l'enregistrement le numéro " +
            std::to_string(blob.modification));
  }
  if (kSingleHeader + length > blockSize) {
    Damaged("la valeur de " + std::to_string(length) + " octets dépasse son bloc " + Hex(block) +
            " de " + std::to_string(blockSize) + " octets");
  }
  // Checked before allocating: a damaged length cannot ask for more than the file holds.
  if (kSingleHeader + length > size_ - block) {
    Damaged("la valeur de " + std::to_string(length) + " octets du bloc " + Hex(block) +
            " dépasse la fin du fichier");
  }
  std::string bytes(length, '\0');
  ReadOrFail(block + kSingleHeader, std::as_writable_bytes(std::span(bytes)));
  return bytes;
}

std::string BlobFile::ReadShared(std::uint64_t block, unsigned index, const BlobDescriptor& blob) {
  if (index >= kPointers) {
    Damaged("l'index " + std::to_string(index) + " dépasse la table du bloc " + Hex(block));
  }
  if (shared_.empty() || sharedAt_ != block) {
    const std::uint64_t available = std::min<std::uint64_t>(kUnit, size_ - block);
    if (available < kSharedData) Damaged("le bloc " + Hex(block) + " est tronqué");
    shared_.clear();
    std::vector<std::byte> bytes(static_cast<std::size_t>(available));
    ReadOrFail(block, bytes);
    shared_ = std::move(bytes);
    sharedAt_ = block;
  }
  if (U8(shared_.data()) != kSharedBlock) {
    Damaged("le bloc " + Hex(block) + " est de type " + std::to_string(U8(shared_.data())) +
            " au lieu d'être partagé entre plusieurs valeurs");
  }
  const std::byte* pointer = shared_.data() + kPointerTable + kPointerSize * index;
  const std::uint64_t start = U8(pointer) * kChunk;
  const unsigned chunks = U8(pointer + 1);
  const std::uint16_t modification = LoadLittleEndian16(pointer + 2);
  const unsigned inLastChunk = U8(pointer + 4);
  const std::string where = "l'emplacement " + std::to_string(index) + " du bloc " + Hex(block);
  if (start == 0) Damaged(where + " est libre");
  if (modification != blob.modification) {
    Damaged(where + " porte le numéro de modification " + std::to_string(modification) +
            ", l'enregistrement le numéro " + std::to_string(blob.modification));
  }
  // The last chunk's count is written as 16 or as 0 when the value fills it.
  const std::uint64_t length =
      chunks == 0 || inLastChunk > kChunk
          ? 0
          : (chunks - 1) * kChunk + (inLastChunk == 0 ? kChunk : inLastChunk);
  if (length != blob.length) {
    Damaged(where + " tient une valeur de " + std::to_string(length) +
            " octets, l'enregistrement en annonce " + std::to_string(blob.length));
  }
  if (start < kSharedData || start + length > shared_.size()) {
    Damaged(where + " sort des données du bloc");
  }
  return std::string(reinterpret_cast<const char*>(shared_.data() + start),
                     static_cast<std::size_t>(length));
}

TableBlobs::TableBlobs(const std::filesystem::path& dataFile, FileSystem& files)
    : dataFile_(dataFile), files_(files) {}

BlobFile& TableBlobs::File() const {
  if (file_) return *file_;
  const std::filesystem::path path = BlobPathBeside(dataFile_);
  const std::string shown = PathToUtf8(path.filename());
  std::unique_ptr<TableFile> handle;
  try {
    handle = files_.Open(path, OpenMode::Read);
  } catch (const FileError& e) {
    switch (e.GetKind()) {
      case FileError::Kind::NotFound:
        throw EDatabaseError("le fichier des mémos " + shown + " est introuvable");
      case FileError::Kind::InUse:
        throw EDatabaseError("le fichier des mémos " + shown +
                             " est en cours d'utilisation (in use) par un autre programme");
      default:
        throw EDatabaseError("impossible d'ouvrir le fichier des mémos " + shown + " : " +
                             e.what());
    }
  }
  file_ = std::make_unique<BlobFile>(std::move(handle), shown);
  return *file_;
}

Value TableBlobs::Decode(const std::byte* field, const FieldDef& def, int codePage) const {
  const BlobDescriptor blob = ReadBlobDescriptor(field, def.size);
  // A value that fits in the leader (the blank one too) is all in the record.
  if (blob.length <= static_cast<std::uint32_t>(def.size - 10)) {
    return DecodeField(field, def, codePage);
  }
  // Graphic values are given as stored, the 8 bytes that precede the picture and count in its
  // length included: the bytes are the same whichever kind of block holds them, and nothing is
  // lost for a reader that knows what the 8 bytes mean.
  std::string bytes = File().Read(blob);
  if (def.type == FieldType::Memo || def.type == FieldType::FormattedMemo) {
    return Value::Text(CodePageToUtf8(bytes, codePage));
  }
  return Value::Text(std::move(bytes));
}

}  // namespace patchpav::paradox
