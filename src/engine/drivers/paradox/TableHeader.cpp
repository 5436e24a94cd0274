#include "engine/drivers/paradox/TableHeader.h"

#include <cstring>

#include "engine/core/Errors.h"
#include "engine/drivers/paradox/FieldCodec.h"
#include "engine/drivers/paradox/LanguageDriver.h"

namespace patchpav::paradox {
namespace {

constexpr std::uint32_t kEncryptionMoved = 0xFF00FF00;

[[noreturn]] void Damaged(const std::string& reason) { throw EDatabaseError(reason); }

bool IsKnownVersion(int version) { return version >= 3 && version <= 0x0C; }

// Where the variable part (field descriptors onwards) starts.
std::size_t VariablePartStart(int version, bool dataFile) {
  return dataFile && version >= 5 ? kDataHeaderBase : kFixedHeaderSize;
}

// Walks the variable part of a data or X file header up to the field numbers.
struct VariablePart {
  std::vector<std::pair<std::uint8_t, std::uint8_t>> descriptors;
  std::vector<std::string> names;
  std::size_t fieldNumbers = 0;  // offset of the s16 field numbers
};

VariablePart ReadVariablePart(std::span<const std::byte> header, int numFields, int version,
                              bool encrypted) {
  VariablePart part;
  std::size_t at = VariablePartStart(version, true);
  const auto need = [&](std::size_t bytes) {
    if (at + bytes > header.size()) Damaged("en-tête tronqué (descriptions des champs)");
  };
  need(2 * static_cast<std::size_t>(numFields));
  for (int i = 0; i < numFields; ++i, at += 2) {
    part.descriptors.emplace_back(std::to_integer<std::uint8_t>(header[at]),
                                  std::to_integer<std::uint8_t>(header[at + 1]));
  }
  // table name pointer, field name pointers, then the fixed-length table name
  const std::size_t skip = 4 + 4 * static_cast<std::size_t>(numFields) + TableNameLength(version);
  need(skip);
  at += skip;
  for (int i = 0; i < numFields; ++i) {
    std::size_t end = at;
    while (end < header.size() && header[end] != std::byte{0}) ++end;
    if (end >= header.size()) Damaged("en-tête tronqué (noms des champs)");
    part.names.emplace_back(reinterpret_cast<const char*>(header.data() + at), end - at);
    at = end + 1;
  }
  // Encrypted tables keep their crypt info here; we refuse them before coming this far.
  (void)encrypted;
  part.fieldNumbers = at;
  return part;
}

// The language driver's name that ends the variable part, after the field numbers; empty when
// there is none to read (a header too short, or bytes that are no name).
std::string LanguageDriverAt(std::span<const std::byte> header, std::size_t at) {
  constexpr std::size_t kLongestName = 31;
  std::string name;
  for (; at < header.size(); ++at) {
    const auto c = std::to_integer<unsigned char>(header[at]);
    if (c == 0) return name;
    if (c < 0x20 || c > 0x7E || name.size() == kLongestName) return {};
    name += static_cast<char>(c);
  }
  return {};
}

}  // namespace

int DeclaredHeaderSize(std::span<const std::byte> start) { return ReadU16(start.data() + 2); }

DataHeader ParseDataHeader(std::span<const std::byte> header, std::uint64_t fileSize) {
  if (header.size() < kFixedHeaderSize) Damaged("fichier trop court");
  const std::byte* h = header.data();
  DataHeader d;
  d.recordSize = ReadU16(h + 0x00);
  d.headerSize = ReadU16(h + 0x02);
  d.fileType = std::to_integer<std::uint8_t>(h[0x04]);
  const int blockKb = std::to_integer<int>(h[0x05]);
  d.numRecords = ReadU32(h + 0x06);
  d.fileBlocks = ReadU16(h + 0x0C);
  d.firstBlock = ReadU16(h + 0x0E);
  const int numFields = ReadS16(h + 0x21);
  const int keyFields = ReadS16(h + 0x23);
  const int version = std::to_integer<int>(h[0x39]);

  if (d.fileType != kKeyedTable && d.fileType != kUnkeyedTable) {
    Damaged("ce n'est pas un fichier de données Paradox (type " + std::to_string(d.fileType) + ")");
  }
  if (!IsKnownVersion(version))
    Damaged("version de table inconnue (" + std::to_string(version) + ")");
  const std::size_t base = VariablePartStart(version, true);
  if (d.headerSize < static_cast<int>(base) ||
      static_cast<std::size_t>(d.headerSize) > header.size()) {
    Damaged("taille d'en-tête incohérente");
  }
  if (blockKb < 1 || blockKb > 32) Damaged("taille de bloc incohérente");
  d.blockSize = blockKb * 1024;
  if (d.recordSize < 1 || d.recordSize > d.blockSize - kBlockHeaderSize) {
    Damaged("taille d'enregistrement incohérente");
  }
  if (numFields < 1 || numFields > 255) Damaged("nombre de champs incohérent");
  if (keyFields < 0 || keyFields > numFields || (d.fileType == kKeyedTable) != (keyFields > 0)) {
    Damaged("nombre de champs clés incohérent");
  }
  bool encrypted = ReadU32(h + 0x25) != 0;
  if (version >= 5 && ReadU32(h + 0x25) == kEncryptionMoved) encrypted = ReadU32(h + 0x5C) != 0;
  if (encrypted) throw EEncryptedTable("table cryptée");

  const std::uint64_t needed = static_cast<std::uint64_t>(d.headerSize) +
                               static_cast<std::uint64_t>(d.fileBlocks) * d.blockSize;
  if (fileSize < needed) Damaged("fichier tronqué");
  if ((d.firstBlock == 0) != (d.fileBlocks == 0) || d.firstBlock > d.fileBlocks) {
    Damaged("premier bloc incohérent");
  }

  const VariablePart part = ReadVariablePart(header.first(d.headerSize), numFields, version, false);
  d.schema.keyFieldCount = keyFields;
  d.schema.fileVersion = version;
  int offset = 0;
  for (int i = 0; i < numFields; ++i) {
    const auto [type, sizeByte] = part.descriptors[static_cast<std::size_t>(i)];
    const std::optional<int> size = StoredFieldSize(type, sizeByte);
    if (!size) {
      Damaged("champ " + std::to_string(i + 1) + " de type inconnu ou de taille invalide (type " +
              std::to_string(type) + ", taille " + std::to_string(sizeByte) + ")");
    }
    FieldDef field;
    field.name = part.names[static_cast<std::size_t>(i)];
    field.type = static_cast<FieldType>(type);
    field.size = *size;
    field.decimals = field.type == FieldType::Bcd ? sizeByte : 0;
    field.offset = offset;
    offset += *size;
    d.schema.fields.push_back(std::move(field));
  }
  if (offset != d.recordSize) Damaged("les champs ne font pas la taille d'un enregistrement");
  d.namedCodePage = version >= 5 ? ReadU16(h + 0x6A) : 0;
  d.languageDriver = LanguageDriverAt(header.first(d.headerSize),
                                      part.fieldNumbers + 2 * static_cast<std::size_t>(numFields));
  return d;
}

std::vector<int> IndexedFieldNumbers(std::span<const std::byte> header, int tableKeyFields) {
  if (header.size() < kDataHeaderBase) Damaged("en-tête d'index secondaire trop court");
  const std::byte* h = header.data();
  const int version = std::to_integer<int>(h[0x39]);
  const int numFields = ReadS16(h + 0x21);
  if (!IsKnownVersion(version) || numFields < 1 || numFields > 255) {
    Damaged("en-tête d'index secondaire illisible");
  }
  std::vector<int> covered;
  if (const int indexed = std::to_integer<int>(h[0x15]); indexed > 0) covered.push_back(indexed);
  const VariablePart part = ReadVariablePart(header, numFields, version, false);
  // The index's own fields come first, then the primary key it carries and a block hint.
  const int own = std::max(1, numFields - tableKeyFields - 1);
  if (part.fieldNumbers + 2 * static_cast<std::size_t>(own) > header.size()) {
    Damaged("en-tête d'index secondaire tronqué");
  }
  for (int i = 0; i < own; ++i) covered.push_back(ReadS16(h + part.fieldNumbers + 2 * i));
  return covered;
}

namespace {

void PutCommonHeader(std::vector<std::byte>& h, int recordSize, std::uint8_t fileType,
                     int blockSizeKb, std::uint32_t records, std::uint16_t blocks, int numFields,
                     int keyFields, int version) {
  WriteU16(&h[0x00], static_cast<std::uint32_t>(recordSize));
  WriteU16(&h[0x02], static_cast<std::uint32_t>(h.size()));
  h[0x04] = static_cast<std::byte>(fileType);
  h[0x05] = static_cast<std::byte>(blockSizeKb);
  WriteU32(&h[0x06], records);
  WriteU16(&h[0x0A], blocks);
  WriteU16(&h[0x0C], blocks);
  WriteU16(&h[0x0E], blocks > 0 ? 1 : 0);
  WriteU16(&h[0x10], blocks);
  WriteU16(&h[0x21], static_cast<std::uint32_t>(numFields));
  WriteU16(&h[0x23], static_cast<std::uint32_t>(keyFields));
  h[0x39] = static_cast<std::byte>(version);
  WriteU16(&h[0x3A], blocks);
}

std::size_t RoundUpToHeaderUnit(std::size_t used) { return (used + 0x7FF) / 0x800 * 0x800; }

}  // namespace

std::vector<std::byte> BuildDataHeader(const TableSchema& schema, int recordSize,
                                       const std::string& tableName, int blockSizeKb,
                                       std::uint32_t numRecords, std::uint16_t blocks,
                                       std::uint32_t autoIncrement) {
  const int n = static_cast<int>(schema.fields.size());
  const int version = schema.fileVersion;
  const bool ansi = schema.codePage == 1252;
  const std::string sortOrder = LanguageDriverName(schema.codePage);

  // The variable part first, so the header knows its size.
  std::vector<std::byte> var;
  for (const FieldDef& f : schema.fields) {
    var.push_back(static_cast<std::byte>(f.type));
    var.push_back(static_cast<std::byte>(f.type == FieldType::Bcd ? f.decimals : f.size));
  }
  var.resize(var.size() + 4 + 4 * static_cast<std::size_t>(n) + TableNameLength(version));
  std::memcpy(var.data() + var.size() - TableNameLength(version), tableName.data(),
              std::min<std::size_t>(tableName.size(), TableNameLength(version) - 1));
  for (const FieldDef& f : schema.fields) {
    for (const char c : f.name) var.push_back(static_cast<std::byte>(c));
    var.push_back(std::byte{0});
  }
  const std::size_t fieldNumbers = kDataHeaderBase + var.size();
  for (int i = 1; i <= n; ++i) {
    var.push_back(static_cast<std::byte>(i & 0xFF));
    var.push_back(static_cast<std::byte>(i >> 8));
  }
  for (const char c : sortOrder) var.push_back(static_cast<std::byte>(c));
  var.push_back(std::byte{0});

  const std::size_t used = kDataHeaderBase + var.size();
  std::vector<std::byte> h(RoundUpToHeaderUnit(used));
  PutCommonHeader(h, recordSize, schema.keyFieldCount > 0 ? kKeyedTable : kUnkeyedTable,
                  blockSizeKb, numRecords, blocks, n, schema.keyFieldCount, version);
  WriteU32(&h[0x25], kEncryptionMoved);
  h[0x29] = static_cast<std::byte>(ansi ? 0x62 : 0xB7);
  h[0x2D] = std::byte{2};  // a .DB with a .PX must show at least 2 here to be trusted
  h[0x2E] = std::byte{1};
  h[0x3E] = std::byte{0x1F};
  h[0x3F] = std::byte{0x0F};
  WriteU32(&h[0x49], autoIncrement);
  WriteU16(&h[0x51], static_cast<std::uint32_t>(used));
  h[0x56] = std::byte{0x20};
  WriteU16(&h[0x58], 0x0100u | static_cast<std::uint32_t>(version));
  WriteU16(&h[0x5A], 0x0100u | static_cast<std::uint32_t>(version));
  WriteU16(&h[0x64], static_cast<std::uint32_t>(n + 1));
  WriteU16(&h[0x66], static_cast<std::uint32_t>(fieldNumbers - 0x58));
  // A code page without a Windows number is known by the language driver's name alone.
  WriteU16(&h[0x6A],
           schema.codePage == kHpRoman8 ? 0u : static_cast<std::uint32_t>(schema.codePage));
  h[0x6C] = std::byte{1};
  h[0x6D] = std::byte{1};
  WriteU16(&h[0x6E], static_cast<std::uint32_t>(used - 0x60 + 1));
  std::memcpy(&h[kDataHeaderBase], var.data(), var.size());
  return h;
}

std::vector<std::byte> BuildIndexHeader(const TableSchema& schema, int recordSize,
                                        const std::string& tableName, int blockSizeKb,
                                        std::uint32_t entries, std::uint16_t blocks,
                                        std::uint16_t root, int levels) {
  const int k = schema.keyFieldCount;
  const int version = schema.fileVersion;
  std::vector<std::byte> h(0x800);
  PutCommonHeader(h, recordSize, kPrimaryIndex, blockSizeKb, entries, blocks, k, 0, version);
  WriteU16(&h[0x1E], root);
  h[0x20] = static_cast<std::byte>(levels);
  h[0x2C] = std::byte{1};  // index change counter: an index that never changed counts 1
  std::size_t at = kFixedHeaderSize;
  for (int i = 0; i < k; ++i) {
    const FieldDef& f = schema.fields[static_cast<std::size_t>(i)];
    h[at++] = static_cast<std::byte>(f.type);
    h[at++] = static_cast<std::byte>(f.type == FieldType::Bcd ? f.decimals : f.size);
  }
  at += 4;
  std::memcpy(&h[at], tableName.data(),
              std::min<std::size_t>(tableName.size(), TableNameLength(version) - 1));
  return h;
}

}  // namespace patchpav::paradox
