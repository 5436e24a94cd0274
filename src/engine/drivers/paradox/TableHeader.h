#pragma once

// The header of a Paradox .DB file (and the parts of .PX and .Xnn headers we read or write).
// Control structures are little-endian; field values are not (see FieldCodec.h).

#include <cstddef>
#include <cstdint>
#include <span>
#include <string>
#include <vector>

#include "engine/core/ByteOrder.h"
#include "engine/core/Errors.h"
#include "engine/drivers/paradox/ParadoxTable.h"

namespace patchpav::paradox {

inline std::uint16_t ReadU16(const std::byte* p) { return LoadLittleEndian16(p); }
inline std::int16_t ReadS16(const std::byte* p) { return static_cast<std::int16_t>(ReadU16(p)); }
inline std::uint32_t ReadU32(const std::byte* p) { return LoadLittleEndian32(p); }
// The low 16 bits of v.
inline void WriteU16(std::byte* p, std::uint32_t v) {
  StoreLittleEndian16(p, static_cast<std::uint16_t>(v));
}
inline void WriteU32(std::byte* p, std::uint32_t v) { StoreLittleEndian32(p, v); }

constexpr int kBlockHeaderSize = 6;
constexpr std::size_t kFixedHeaderSize = 0x58;  // every file kind
constexpr std::size_t kDataHeaderBase = 0x78;   // .DB/.Xnn of level 4 and later
constexpr std::uint8_t kKeyedTable = 0;
constexpr std::uint8_t kPrimaryIndex = 1;
constexpr std::uint8_t kUnkeyedTable = 2;

// A table protected by a password: its blocks are scrambled.
class EEncryptedTable : public EDatabaseError {
 public:
  using EDatabaseError::EDatabaseError;
};

// What the driver takes from a .DB header once it has checked it.
struct DataHeader {
  int recordSize = 0;
  int headerSize = 0;
  int blockSize = 0;
  std::uint8_t fileType = 0;
  std::uint32_t numRecords = 0;
  std::uint16_t fileBlocks = 0;
  std::uint16_t firstBlock = 0;
  int namedCodePage = 0;       // 0 when the header names none
  std::string languageDriver;  // the name after the field numbers; empty when none
  TableSchema schema;          // fields with their offsets, key count, file version
};

// Bytes of the header that the header claims (u16 at 0x02); needs the first 4 bytes.
int DeclaredHeaderSize(std::span<const std::byte> start);

// Checks and decodes a .DB header (the whole headerSize bytes) of a file of fileSize bytes.
// Throws EDatabaseError with the reason (without the table's name) when anything is inconsistent
// or unknown, including encryption.
DataHeader ParseDataHeader(std::span<const std::byte> header, std::uint64_t fileSize);

// The DB field numbers (1-based) that a secondary index file (.Xnn/.XGn) covers. Throws
// EDatabaseError when its header cannot be read.
std::vector<int> IndexedFieldNumbers(std::span<const std::byte> header, int tableKeyFields);

// Length of the zero-padded table name in the variable part: 261 bytes from Paradox 7 on.
inline int TableNameLength(int fileVersion) { return fileVersion >= 0x0C ? 261 : 79; }

// A .DB header for a new table of these blocks and records.
std::vector<std::byte> BuildDataHeader(const TableSchema& schema, int recordSize,
                                       const std::string& tableName, int blockSizeKb,
                                       std::uint32_t numRecords, std::uint16_t blocks,
                                       std::uint32_t autoIncrement);

// A .PX header: keyFields of the table's schema, index blocks and entries.
std::vector<std::byte> BuildIndexHeader(const TableSchema& schema, int recordSize,
                                        const std::string& tableName, int blockSizeKb,
                                        std::uint32_t entries, std::uint16_t blocks,
                                        std::uint16_t root, int levels);

}  // namespace patchpav::paradox
