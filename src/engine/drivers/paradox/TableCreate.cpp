// Writing new tables: a .DB with its records packed into full blocks in the given order and, for
// a keyed table, a .PX primary index built bottom-up (one entry per data block, then one per
// index block of the level below, up to a single root block).

#include <algorithm>
#include <cstring>

#include "engine/core/AsciiCase.h"
#include "engine/core/ByteOrder.h"
#include "engine/core/Errors.h"
#include "engine/core/Paths.h"
#include "engine/core/TableFile.h"
#include "engine/drivers/paradox/CodePage.h"
#include "engine/drivers/paradox/FieldCodec.h"
#include "engine/drivers/paradox/ParadoxTable.h"
#include "engine/drivers/paradox/TableHeader.h"

namespace patchpav::paradox {
namespace {

constexpr std::size_t kMaxBlocks = 65535;
constexpr std::size_t kWriteChunk = 1 << 20;

bool IsLevel5Type(FieldType type) {
  switch (type) {
    case FieldType::Long:
    case FieldType::AutoIncrement:
    case FieldType::Logical:
    case FieldType::Time:
    case FieldType::Timestamp:
    case FieldType::Bcd:
    case FieldType::Bytes:
      return true;
    default:
      return false;
  }
}

// Checks the schema and gives it back with the stored sizes and offsets filled in.
TableSchema Normalised(const TableSchema& given, const std::string& name) {
  const auto refuse = [&](const std::string& why) {
    throw EDatabaseError("Impossible de créer la table " + name + " : " + why);
  };
  TableSchema schema = given;
  if (schema.fields.empty() || schema.fields.size() > 255) refuse("de 1 à 255 champs");
  if (schema.keyFieldCount < 0 || schema.keyFieldCount > static_cast<int>(schema.fields.size())) {
    refuse("nombre de champs clés invalide");
  }
  if (schema.fileVersion < 0x09 || schema.fileVersion > 0x0C) refuse("niveau de table inconnu");
  if (!IsSupportedCodePage(schema.codePage)) refuse("page de code non prise en charge");
  int offset = 0;
  for (FieldDef& f : schema.fields) {
    if (f.name.empty() || f.name.size() > 25 || f.name.find('\0') != std::string::npos) {
      refuse("nom de champ invalide '" + f.name + "'");
    }
    if (schema.fileVersion < 0x0A && IsLevel5Type(f.type)) {
      refuse("le type du champ " + f.name + " demande une table de niveau 5 ou plus");
    }
    std::uint8_t sizeByte = static_cast<std::uint8_t>(std::clamp(f.size, 0, 255));
    switch (f.type) {
      case FieldType::Alpha:
      case FieldType::Bytes:
      case FieldType::Memo:
      case FieldType::Blob:
      case FieldType::FormattedMemo:
      case FieldType::Ole:
      case FieldType::Graphic:
        if (f.size < 1 || f.size > 255) refuse("taille du champ " + f.name + " invalide");
        break;
      case FieldType::Bcd:
        if (f.decimals < 0 || f.decimals > 32)
          refuse("décimales du champ " + f.name + " invalides");
        sizeByte = static_cast<std::uint8_t>(f.decimals);
        break;
      case FieldType::Short:
        sizeByte = 2;
        break;
      case FieldType::Date:
      case FieldType::Long:
      case FieldType::Time:
      case FieldType::AutoIncrement:
        sizeByte = 4;
        break;
      case FieldType::Currency:
      case FieldType::Number:
      case FieldType::Timestamp:
        sizeByte = 8;
        break;
      case FieldType::Logical:
        sizeByte = 1;
        break;
    }
    const std::optional<int> size = StoredFieldSize(static_cast<std::uint8_t>(f.type), sizeByte);
    if (!size) refuse("type ou taille du champ " + f.name + " invalide");
    f.size = *size;
    f.offset = offset;
    offset += *size;
  }
  return schema;
}

int RecordSizeOf(const TableSchema& schema) {
  return schema.fields.back().offset + schema.fields.back().size;
}

// 2 KiB blocks for short records as Paradox itself prefers, 4 KiB up to what levels 4 and 5
// know, larger blocks only for records that need them.
int BlockSizeKbFor(int recordSize) {
  if (recordSize < 80) return 2;
  if (recordSize <= 1300) return 4;
  if (recordSize <= 16 * 1024 - 6) return 16;
  return 32;
}

std::string Message(const std::string& name, const std::string& why) {
  return "Impossible de créer la table " + name + " : " + why;
}

// Writes a whole file through the seam: header, then the blocks that fill(blockIndex, bytes)
// produces, then one flush.
template <typename Fill>
void WriteFile(FileSystem& files, const std::filesystem::path& path, bool overwrite,
               const std::vector<std::byte>& header, std::size_t blocks, int blockSize, Fill fill,
               const std::string& name) {
  try {
    std::unique_ptr<TableFile> file =
        files.Open(path, overwrite ? OpenMode::Replace : OpenMode::Create);
    file->WriteAt(0, header);
    const std::size_t perChunk = std::max<std::size_t>(1, kWriteChunk / blockSize);
    std::vector<std::byte> chunk;
    for (std::size_t first = 0; first < blocks; first += perChunk) {
      const std::size_t count = std::min(perChunk, blocks - first);
      chunk.assign(count * blockSize, std::byte{0});
      for (std::size_t i = 0; i < count; ++i) fill(first + i, chunk.data() + i * blockSize);
      file->WriteAt(header.size() + first * blockSize, chunk);
    }
    file->Flush();
  } catch (const FileError& e) {
    if (e.GetKind() == FileError::Kind::Exists)
      throw EDatabaseError(Message(name, "le fichier existe déjà"));
    if (e.GetKind() == FileError::Kind::InUse) {
      throw EDatabaseError("La table " + name +
                           " est en cours d'utilisation (in use) par un autre programme");
    }
    throw EDatabaseError(Message(name, e.what()));
  }
}

void PutBlockHeader(std::byte* block, std::size_t number, std::size_t total, int records,
                    int recordSize) {
  WriteU16(block, number < total ? static_cast<std::uint32_t>(number + 1) : 0);
  WriteU16(block + 2, static_cast<std::uint32_t>(number - 1));
  WriteU16(block + 4,
           static_cast<std::uint16_t>(static_cast<std::int16_t>((records - 1) * recordSize)));
}

// Modified big-endian short, as the index stores block numbers and counts.
void PutIndexShort(std::byte* p, std::uint32_t value) {
  StoreBigEndian16(p, static_cast<std::uint16_t>(std::min<std::uint32_t>(value, 0xFFFF) ^ 0x8000u));
}

struct IndexEntry {
  std::string key;
  std::uint32_t child;    // data block (level 1) or position of the index block below
  std::uint32_t records;  // records below the entry
};

void WritePrimaryIndex(FileSystem& files, const std::filesystem::path& path,
                       const TableSchema& schema, const std::string& name,
                       std::vector<IndexEntry> entries, int keySize) {
  const int recordSize = keySize + 6;
  const int blockKb = 2;
  const int blockSize = blockKb * 1024;
  const std::size_t perBlock =
      static_cast<std::size_t>((blockSize - kBlockHeaderSize) / recordSize);
  // levels[0] = the leaves; each level groups the entries of the one before it into blocks.
  std::vector<std::vector<std::vector<IndexEntry>>> levels;
  std::uint32_t totalEntries = 0;
  while (true) {
    std::vector<std::vector<IndexEntry>> blocksOfLevel;
    for (std::size_t i = 0; i < entries.size(); i += perBlock) {
      blocksOfLevel.emplace_back(
          entries.begin() + static_cast<std::ptrdiff_t>(i),
          entries.begin() + static_cast<std::ptrdiff_t>(std::min(entries.size(), i + perBlock)));
    }
    totalEntries += static_cast<std::uint32_t>(entries.size());
    levels.push_back(std::move(blocksOfLevel));
    if (levels.back().size() <= 1) break;
    std::vector<IndexEntry> up;
    for (std::size_t b = 0; b < levels.back().size(); ++b) {
      std::uint32_t below = 0;
      for (const IndexEntry& e : levels.back()[b]) below += e.records;
      up.push_back(IndexEntry{levels.back()[b].front().key, static_cast<std::uint32_t>(b), below});
    }
    entries = std::move(up);
  }
  // Number the blocks from the root down, as readers expect the root first.
  std::vector<std::uint32_t> firstNumber(levels.size());
  std::uint32_t next = 1;
  for (std::size_t l = levels.size(); l-- > 0;) {
    firstNumber[l] = next;
    next += static_cast<std::uint32_t>(levels[l].size());
  }
  std::vector<const std::vector<IndexEntry>*> order;
  std::vector<std::size_t> levelOf;
  for (std::size_t l = levels.size(); l-- > 0;) {
    for (const auto& block : levels[l]) {
      order.push_back(&block);
      levelOf.push_back(l);
    }
  }
  if (order.size() > kMaxBlocks) throw EDatabaseError(Message(name, "index primaire trop grand"));
  const bool empty = levels.size() == 1 && levels[0].empty();
  const auto header = BuildIndexHeader(schema, recordSize, name, blockKb, totalEntries,
                                       static_cast<std::uint16_t>(order.size()), empty ? 0 : 1,
                                       empty ? 0 : static_cast<int>(levels.size()));
  WriteFile(
      files, path, true, header, order.size(), blockSize,
      [&](std::size_t i, std::byte* block) {
        const auto& blockEntries = *order[i];
        PutBlockHeader(block, i + 1, order.size(), static_cast<int>(blockEntries.size()),
                       recordSize);
        std::byte* at = block + kBlockHeaderSize;
        for (const IndexEntry& e : blockEntries) {
          std::memcpy(at, e.key.data(), e.key.size());
          const std::uint32_t child =
              levelOf[i] == 0 ? e.child : firstNumber[levelOf[i] - 1] + e.child;
          PutIndexShort(at + keySize, child);
          PutIndexShort(at + keySize + 2, e.records);
          PutIndexShort(at + keySize + 4, 0);
          at += recordSize;
        }
      },
      name);
}

std::filesystem::path IndexPathFor(const std::filesystem::path& table) {
  std::filesystem::path index = table;
  const std::string ext = PathToUtf8(table.extension());
  const bool lower = !ext.empty() && IsLowerAscii(ext.back());
  index.replace_extension(lower ? ".px" : ".PX");
  return index;
}

// Streams the records into blocks, then writes the header (which needs the counts) and the
// primary index. Returns whether the table is keyed (and so has an index file).
bool WriteTable(FileSystem& files, const std::filesystem::path& path,
                const std::filesystem::path& indexPath, const TableSchema& schema,
                const std::string& name, const Table::RowSource& next) {
  const int recordSize = RecordSizeOf(schema);
  const int blockKb = BlockSizeKbFor(recordSize);
  const int blockSize = blockKb * 1024;
  const std::size_t perBlock =
      static_cast<std::size_t>((blockSize - kBlockHeaderSize) / recordSize);
  const std::size_t perChunk = std::max<std::size_t>(1, kWriteChunk / blockSize);
  std::size_t keySize = 0;
  for (int i = 0; i < schema.keyFieldCount; ++i) {
    keySize += static_cast<std::size_t>(schema.fields[static_cast<std::size_t>(i)].size);
  }
  // The header's size depends only on the schema: the blocks can go first.
  const std::size_t headerSize = BuildDataHeader(schema, recordSize, name, blockKb, 0, 0, 0).size();

  std::vector<IndexEntry> leaves;
  std::vector<std::byte> chunk(perChunk * blockSize);
  std::vector<std::byte> previousKey;
  std::vector<Value> row;
  std::size_t rows = 0;
  std::size_t blocks = 0;
  std::size_t inChunk = 0;  // blocks begun in the chunk
  std::size_t inBlock = 0;  // records in the current block
  std::uint32_t autoIncrement = 0;
  try {
    std::unique_ptr<TableFile> file = files.Open(path, OpenMode::Replace);
    const auto flushChunk = [&] {
      file->WriteAt(headerSize + (blocks - inChunk) * blockSize,
                    std::span(chunk.data(), inChunk * blockSize));
      std::fill(chunk.begin(), chunk.end(), std::byte{0});
      inChunk = 0;
    };
    const auto closeBlock = [&] {
      std::byte* block = chunk.data() + (inChunk - 1) * blockSize;
      PutBlockHeader(block, blocks, blocks + 1, static_cast<int>(inBlock), recordSize);
    };
    while (true) {
      row.assign(schema.fields.size(), Value());
      if (!next(row)) break;
      ++rows;
      if (row.size() != schema.fields.size()) {
        throw EDatabaseError(Message(name, "la ligne " + std::to_string(rows) + " n'a pas " +
                                               std::to_string(schema.fields.size()) + " valeurs"));
      }
      if (blocks == 0 || inBlock == perBlock) {
        if (blocks > 0) closeBlock();
        if (inChunk == perChunk) flushChunk();
        if (blocks == kMaxBlocks) throw EDatabaseError(Message(name, "trop d'enregistrements"));
        ++blocks;
        ++inChunk;
        inBlock = 0;
      }
      std::byte* record =
          chunk.data() + (inChunk - 1) * blockSize + kBlockHeaderSize + inBlock * recordSize;
      for (std::size_t f = 0; f < schema.fields.size(); ++f) {
        const FieldDef& field = schema.fields[f];
        try {
          EncodeField(row[f], field, schema.codePage, record + field.offset);
        } catch (const EDatabaseError& e) {
          throw EDatabaseError(Message(
              name, "ligne " + std::to_string(rows) + ", champ " + field.name + " : " + e.what()));
        }
        if (field.type == FieldType::AutoIncrement && !row[f].IsNull()) {
          autoIncrement = std::max<std::uint32_t>(autoIncrement,
                                                  static_cast<std::uint32_t>(row[f].AsInteger()));
        }
      }
      if (keySize > 0) {
        if (!previousKey.empty() && std::memcmp(previousKey.data(), record, keySize) >= 0) {
          throw EDatabaseError(
              Message(name, "les lignes ne sont pas en ordre croissant de clé (ligne " +
                                std::to_string(rows) + ")"));
        }
        previousKey.assign(record, record + keySize);
        if (inBlock == 0) {
          leaves.push_back(IndexEntry{std::string(reinterpret_cast<const char*>(record), keySize),
                                      static_cast<std::uint32_t>(blocks), 0});
        }
        ++leaves.back().records;
      }
      ++inBlock;
    }
    if (blocks > 0) {
      // The last block ends the chain.
      std::byte* block = chunk.data() + (inChunk - 1) * blockSize;
      PutBlockHeader(block, blocks, blocks, static_cast<int>(inBlock), recordSize);
      flushChunk();
    }
    file->WriteAt(
        0, BuildDataHeader(schema, recordSize, name, blockKb, static_cast<std::uint32_t>(rows),
                           static_cast<std::uint16_t>(blocks), autoIncrement));
    file->Flush();
  } catch (const FileError& e) {
    throw EDatabaseError(Message(name, e.what()));
  }
  if (keySize == 0) return false;
  WritePrimaryIndex(files, indexPath, schema, name, std::move(leaves), static_cast<int>(keySize));
  return true;
}

}  // namespace

void Table::Create(const std::filesystem::path& file, const TableSchema& schema,
                   std::span<const std::vector<Value>> rows, bool overwrite) {
  Create(file, schema, rows, overwrite, SystemFileSystem());
}

void Table::Create(const std::filesystem::path& file, const TableSchema& schema,
                   std::span<const std::vector<Value>> rows, bool overwrite, FileSystem& files) {
  std::size_t next = 0;
  CreateStreaming(
      file, schema,
      [&](std::vector<Value>& row) {
        if (next == rows.size()) return false;
        row = rows[next++];
        return true;
      },
      overwrite, files);
}

void Table::CreateStreaming(const std::filesystem::path& file, const TableSchema& schema,
                            const RowSource& next, bool overwrite) {
  CreateStreaming(file, schema, next, overwrite, SystemFileSystem());
}

void Table::CreateStreaming(const std::filesystem::path& file, const TableSchema& given,
                            const RowSource& next, bool overwrite, FileSystem& files) {
  const std::string name = PathToUtf8(file.stem());
  const TableSchema schema = Normalised(given, name);
  std::error_code error;
  if (!overwrite && std::filesystem::exists(file, error)) {
    throw EDatabaseError(Message(name, "le fichier existe déjà"));
  }
  // The table is written under a temporary name and renamed once complete, so a refused row or
  // a failed write never leaves a half table, nor destroys the table it was to replace.
  const std::filesystem::path partial = std::filesystem::path(file).concat(u8".partiel");
  const std::filesystem::path index = IndexPathFor(file);
  const std::filesystem::path partialIndex = std::filesystem::path(index).concat(u8".partiel");
  try {
    const bool keyed = WriteTable(files, partial, partialIndex, schema, name, next);
    std::filesystem::rename(partial, file);
    if (keyed) {
      std::filesystem::rename(partialIndex, index);
    } else if (overwrite) {
      std::filesystem::remove(index, error);  // the stale index of the table this one replaces
    }
  } catch (const std::filesystem::filesystem_error& e) {
    std::filesystem::remove(partial, error);
    std::filesystem::remove(partialIndex, error);
    throw EDatabaseError(Message(name, e.what()));
  } catch (...) {
    std::filesystem::remove(partial, error);
    std::filesystem::remove(partialIndex, error);
    throw;
  }
}

}  // namespace patchpav::paradox
