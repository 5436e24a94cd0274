// An open Paradox table: reads records block by block and rewrites fields in place.
//
// Design. Open reads the header and checks it. The block chain is checked by a walk that refuses
// the table unless the chain stays inside the file, visits no block twice, every block's
// addDataSize fits the block, and the records counted equal the header's count. The walk is the
// first scan itself: a selection on a table just opened reads the file once, not twice. A look-up
// by key, an update or CheckChain finish the walk first if no scan has. What the walk learns is
// kept small: the chain (block number, records) and, for a keyed table, the first key of each
// block. Records stay on disk; scans read them window by window through the TableFile seam, so an
// open table of a million rows holds about 1 MB, never the file. A look-up by key reads the one
// block it needs, found by binary search on the blocks' first keys once every record's key is
// known to ascend along the chain. Only look-ups need that order: a walk made for a look-up checks
// it on the way; after a walk made by a scan, the first look-up checks it in a pass of its own.
//
// States of the chain: unchecked (after Open, or after a walk that stopped on damage or on an
// exception of the visitor: the next pass walks again from the start), being walked (chain_
// holds the blocks checked so far), checked. Invariants once checked, until the table is
// destroyed:
//  1. chain_ lists every block of the record chain in chain order, and slots_[b] is the number of
//     records of block b (-1 for a block outside the chain); their sum is RecordCount().
//  2. The header and the block headers are never written; Update writes only record bytes of the
//     fields it is given, inside one record, in one write. unflushed_ is set from that write until
//     a Flush succeeds: the writes are in the file, not yet known to be on the disk.
//  3. window_ holds the bytes of blocks [windowFirst_, windowFirst_ + windowBlocks_) as they are on
//     disk (Update patches it after a successful write).
//  4. With keyOrder_ == ByBytes, the records' key bytes ascend along the chain, so firstKeys_
//     (one key per chain block) finds a record's block by binary search. keyOrder_ is Unknown
//     until a look-up has had the order checked.
// Debug builds check 1, 3 and 4 as they are made: after each block walked (the block's records
// and first key), once the walk or the check of the key order is complete (the whole chain), and
// after each update (the record read back from the file equals what was written and what the
// window holds).
// States: open ReadOnly (Update refused) or ReadWrite (holding the file exclusively for writing).

#include "engine/drivers/paradox/ParadoxTable.h"

#include <algorithm>
#include <cstring>
#include <unordered_map>

#include "engine/core/AsciiCase.h"
#include "engine/core/ByteOrder.h"
#include "engine/core/DebugCheck.h"
#include "engine/core/Errors.h"
#include "engine/core/Paths.h"
#include "engine/core/TableFile.h"
#include "engine/drivers/paradox/BlobFile.h"
#include "engine/drivers/paradox/ChainInvariants.h"
#include "engine/drivers/paradox/FieldCodec.h"
#include "engine/drivers/paradox/LanguageDriver.h"
#include "engine/drivers/paradox/SecondaryIndexes.h"
#include "engine/drivers/paradox/TableHeader.h"

namespace patchpav::paradox {

std::optional<int> TableSchema::FindField(std::string_view name) const {
  for (std::size_t i = 0; i < fields.size(); ++i) {
    if (EqualsIgnoreCase(fields[i].name, name)) return static_cast<int>(i);
  }
  return std::nullopt;
}

namespace {

constexpr std::size_t kWindowBytes = 512 * 1024;

class ParadoxTable final : public Table {
 public:
  ParadoxTable(std::unique_ptr<TableFile> file, std::string name, Access access,
               int defaultCodePage, const std::filesystem::path& path, FileSystem& files)
      : file_(std::move(file)), name_(std::move(name)), access_(access), blobs_(path, files) {
    Load(defaultCodePage);
    covered_ = FindIndexedFields(path, schema_.keyFieldCount, files);
  }

  const std::string& Name() const override { return name_; }
  const TableSchema& Schema() const override { return schema_; }
  std::uint32_t RecordCount() const override { return header_.numRecords; }
  int RecordSize() const override { return header_.recordSize; }

  Value Decode(const std::byte* record, int field) const override {
    const FieldDef& f = FieldAt(field);
    try {
      if (IsBlobFamily(f.type)) return blobs_.Decode(record + f.offset, f, schema_.codePage);
      return DecodeField(record + f.offset, f, schema_.codePage);
    } catch (const EDatabaseError& e) {
      throw EDatabaseError(Prefix() + "champ " + f.name + " : " + e.what());
    }
  }

  bool IsBlank(const std::byte* record, int field) const override {
    const FieldDef& f = FieldAt(field);
    return IsBlankBytes(record + f.offset, f.size);
  }

  std::optional<RecordLocator> FindByKey(std::span<const Value> key) override;
  void Update(RecordLocator where, std::span<const FieldChange> changes) override;
  void Flush() override;
  void CheckWritable(std::span<const int> fields) const override;

  void CheckChain() const override {
    BlockView view;
    for (std::size_t i = 0; !chainChecked_ && NextBlock(i, view); ++i) {
    }
  }

 protected:
  bool NextBlock(std::size_t chainIndex, BlockView& view) const override {
    if (!chainChecked_) {
      if (chainIndex == 0) StartWalk();
      while (!chainChecked_ && chain_.size() <= chainIndex) {
        WalkOneBlock();
        if constexpr (kDebugChecks) CheckWalkedBlock();
      }
    }
    if (chainIndex >= chain_.size()) return false;
    const ChainEntry& entry = chain_[chainIndex];
    const std::byte* block = LoadBlock(entry.block);
    view = BlockView{block + kBlockHeaderSize, entry.count, RecordLocator{entry.block, 0}};
    return true;
  }

 private:
  using ChainEntry = ChainBlock;
  enum class KeyOrder { None, Unknown, ByBytes, Unordered };

  std::string Prefix() const { return "Table " + name_ + " : "; }
  [[noreturn]] void Damaged(const std::string& reason) const {
    throw EDatabaseError("La table " + name_ + " est endommagée : " + reason);
  }

  const FieldDef& FieldAt(int field) const {
    if (field < 0 || static_cast<std::size_t>(field) >= schema_.fields.size()) {
      throw EDatabaseError(Prefix() + "champ n° " + std::to_string(field) + " inexistant");
    }
    return schema_.fields[static_cast<std::size_t>(field)];
  }

  std::uint64_t BlockOffset(std::uint16_t block) const {
    return static_cast<std::uint64_t>(header_.headerSize) +
           static_cast<std::uint64_t>(block - 1) * static_cast<std::uint64_t>(header_.blockSize);
  }

  void ReadOrFail(std::uint64_t offset, std::span<std::byte> bytes) const {
    try {
      file_->ReadAt(offset, bytes);
    } catch (const FileError& e) {
      // The kind travels on: a share gone away stops a run, where a bad block is one row's.
      throw EDatabaseError(Prefix() + "lecture impossible : " + e.what(), FaultOf(e));
    }
  }

  // The bytes of one block, read with the blocks after it: chains mostly run forward.
  const std::byte* LoadBlock(std::uint16_t block) const {
    if (windowBlocks_ == 0 || block < windowFirst_ || block >= windowFirst_ + windowBlocks_) {
      const std::size_t perWindow = std::max<std::size_t>(1, kWindowBytes / header_.blockSize);
      const std::size_t count = std::min<std::size_t>(perWindow, header_.fileBlocks - block + 1u);
      window_.resize(count * header_.blockSize);
      windowBlocks_ = 0;
      ReadOrFail(BlockOffset(block), window_);
      windowFirst_ = block;
      windowBlocks_ = count;
    }
    return window_.data() + static_cast<std::size_t>(block - windowFirst_) * header_.blockSize;
  }

  // One block for a look-up by key: random places gain nothing from reading ahead.
  const std::byte* LoadOneBlock(std::uint16_t block) const {
    if (windowBlocks_ != 0 && block >= windowFirst_ && block < windowFirst_ + windowBlocks_) {
      return window_.data() + static_cast<std::size_t>(block - windowFirst_) * header_.blockSize;
    }
    lookup_.resize(static_cast<std::size_t>(header_.blockSize));
    ReadOrFail(BlockOffset(block), lookup_);
    return lookup_.data();
  }

  void Load(int defaultCodePage);
  void StartWalk() const;
  void CheckKeyOrder() const;
  void WalkOneBlock() const;
  bool KeysAscend(const std::byte* records, int count) const;
  std::string KeyBytes(const std::byte* record) const {
    return std::string(reinterpret_cast<const char*>(record), static_cast<std::size_t>(keySize_));
  }
  // A key of up to 8 bytes (every numeric key) read as a big-endian integer, which orders keys
  // as their bytes do.
  std::uint64_t KeyPrefix(const std::byte* key) const {
    if (header_.recordSize >= 8) {
      // Eight bytes lie inside the record: one load, the bytes past the key masked off.
      return LoadBigEndian64(key) & ~std::uint64_t{0} << (8 * (8 - keySize_));
    }
    return LoadBigEndian(key, keySize_) << (8 * (8 - keySize_));
  }
  std::optional<RecordLocator> FindInBlock(std::uint16_t block, const std::string& key) const;

  // The invariants of the design comment, in debug builds (DebugCheck.h).
  WalkedChain Walked() const {
    return WalkedChain{.table = name_,
                       .chain = chain_,
                       .slots = slots_,
                       .records = walkRecords_,
                       .firstKeys = firstKeys_,
                       .keySize = static_cast<std::size_t>(keySize_),
                       .keysAscend = keyOrder_ == KeyOrder::ByBytes};
  }
  void CheckInvariants() const;
  void CheckWalkedBlock() const;
  void CheckUpdatedRecord(RecordLocator where, std::uint64_t recordOffset,
                          const std::vector<std::byte>& record, const std::vector<bool>& set) const;

  std::unique_ptr<TableFile> file_;
  std::string name_;
  Access access_;
  DataHeader header_;
  TableSchema schema_;
  int keySize_ = 0;
  // What the walk of the chain has learnt so far; complete once chainChecked_.
  mutable std::vector<ChainEntry> chain_;
  mutable std::vector<std::int32_t> slots_;
  mutable KeyOrder keyOrder_ = KeyOrder::None;
  mutable bool walkChecksKeys_ = false;  // set once look-ups need the key order
  // The first key of each chain block, keySize_ bytes each, back to back; an empty block repeats
  // the key before it (zeros before any), so the keys stay sorted and the search skips it.
  mutable std::string firstKeys_;
  mutable bool chainChecked_ = false;
  mutable std::uint16_t walkNext_ = 0;  // the next block of the walk; 0 at the end of the chain
  mutable std::uint64_t walkRecords_ = 0;
  mutable std::string walkLastKey_;                        // the key of the last record walked
  std::unordered_map<std::string, RecordLocator> keyMap_;  // only for keys that do not ascend
  IndexedFields covered_;
  TableBlobs blobs_;  // memo and BLOb values longer than their leader, from the .MB
  mutable std::vector<std::byte> window_;
  mutable std::vector<std::byte> lookup_;  // the block of the last look-up by key
  mutable std::uint32_t windowFirst_ = 0;
  mutable std::size_t windowBlocks_ = 0;
  bool unflushed_ = false;  // writes made since the last successful flush
};

void ParadoxTable::Load(int defaultCodePage) {
  std::uint64_t size = 0;
  try {
    size = file_->Size();
  } catch (const FileError& e) {
    throw EDatabaseError(Prefix() + "lecture impossible : " + e.what(), FaultOf(e));
  }
  if (size < kFixedHeaderSize) Damaged("fichier trop court");
  std::vector<std::byte> start(kFixedHeaderSize);
  ReadOrFail(0, start);
  const int headerSize = DeclaredHeaderSize(start);
  if (static_cast<std::uint64_t>(headerSize) > size) Damaged("fichier tronqué");
  std::vector<std::byte> header(
      static_cast<std::size_t>(std::max<int>(headerSize, kFixedHeaderSize)));
  ReadOrFail(0, header);
  try {
    header_ = ParseDataHeader(header, size);
  } catch (const EEncryptedTable&) {
    throw EDatabaseError("La table " + name_ +
                         " est protégée par un mot de passe (cryptée) : elle ne peut être ni lue "
                         "ni modifiée");
  } catch (const EDatabaseError& e) {
    Damaged(e.what());
  }
  schema_ = header_.schema;
  // The language driver's name says what the text was written in, even where the code-page word
  // is 0 or says otherwise; a name we do not know leaves the word, then the engine's setting.
  const std::optional<int> named = LanguageDriverCodePage(header_.languageDriver);
  schema_.codePage = named                        ? *named
                     : header_.namedCodePage != 0 ? header_.namedCodePage
                                                  : defaultCodePage;
  for (int i = 0; i < schema_.keyFieldCount; ++i)
    keySize_ += schema_.fields[static_cast<std::size_t>(i)].size;
}

void ParadoxTable::StartWalk() const {
  chainChecked_ = false;
  chain_.clear();
  firstKeys_.clear();
  // The chain holds at most every block of the file: room for it once, not by doubling.
  chain_.reserve(header_.fileBlocks);
  firstKeys_.reserve(static_cast<std::size_t>(header_.fileBlocks) *
                     static_cast<std::size_t>(keySize_));
  slots_.assign(static_cast<std::size_t>(header_.fileBlocks) + 1, -1);
  keyOrder_ = keySize_ == 0     ? KeyOrder::None
              : walkChecksKeys_ ? KeyOrder::ByBytes
                                : KeyOrder::Unknown;
  walkNext_ = header_.firstBlock;
  walkRecords_ = 0;
  walkLastKey_.clear();
}

void ParadoxTable::WalkOneBlock() const {
  const std::uint16_t block = walkNext_;
  if (block == 0) {
    if (walkRecords_ != header_.numRecords) {
      Damaged("le nombre d'enregistrements de l'en-tête (" + std::to_string(header_.numRecords) +
              ") ne correspond pas aux blocs (" + std::to_string(walkRecords_) + ")");
    }
    chainChecked_ = true;
    return;
  }
  if (block > header_.fileBlocks) Damaged("la chaîne de blocs sort du fichier");
  if (slots_[block] >= 0) Damaged("la chaîne de blocs boucle");
  const std::byte* bytes = LoadBlock(block);
  const std::uint16_t next = ReadU16(bytes);
  const int addDataSize = ReadS16(bytes + 4);
  int count = 0;
  if (addDataSize >= 0) {
    if (addDataSize % header_.recordSize != 0) Damaged("taille des données d'un bloc incohérente");
    count = addDataSize / header_.recordSize + 1;
    const int capacity = (header_.blockSize - kBlockHeaderSize) / header_.recordSize;
    if (count > capacity) Damaged("un bloc annonce plus d'enregistrements qu'il n'en tient");
  }
  slots_[block] = count;
  chain_.push_back(ChainEntry{block, static_cast<std::uint16_t>(count)});
  walkRecords_ += static_cast<std::uint64_t>(count);
  walkNext_ = next;
  if (keySize_ == 0) return;
  const auto keySize = static_cast<std::size_t>(keySize_);
  if (count == 0) {
    if (firstKeys_.empty()) {
      firstKeys_.append(keySize, '\0');
    } else {
      const std::string before = firstKeys_.substr(firstKeys_.size() - keySize);
      firstKeys_ += before;
    }
    return;
  }
  const std::byte* records = bytes + kBlockHeaderSize;
  firstKeys_.append(reinterpret_cast<const char*>(records), keySize);
  if (keyOrder_ != KeyOrder::ByBytes) return;
  if (!KeysAscend(records, count)) {
    keyOrder_ = KeyOrder::Unordered;
    return;
  }
  walkLastKey_.assign(
      reinterpret_cast<const char*>(records + static_cast<std::size_t>(count - 1) *
                                                  static_cast<std::size_t>(header_.recordSize)),
      keySize);
}

// Whether each record's key lies above the one before it, from the last record walked on.
bool ParadoxTable::KeysAscend(const std::byte* records, int count) const {
  const auto* last = reinterpret_cast<const std::byte*>(walkLastKey_.data());
  const std::size_t size = static_cast<std::size_t>(header_.recordSize);
  if (keySize_ > 8) {
    const std::byte* previous = walkLastKey_.empty() ? nullptr : last;
    for (int i = 0; i < count; ++i, records += size) {
      if (previous != nullptr &&
          std::memcmp(previous, records, static_cast<std::size_t>(keySize_)) >= 0) {
        return false;
      }
      previous = records;
    }
    return true;
  }
  // The first record of the table has nothing below it: a prefix of 0 is below every key but
  // the all-zero one, which only a first record may hold.
  std::uint64_t previous = 0;
  int i = 0;
  if (walkLastKey_.empty()) {
    previous = KeyPrefix(records);
    records += size;
    i = 1;
  } else {
    previous = LoadBigEndian(last, keySize_) << (8 * (8 - keySize_));
  }
  bool ascend = true;
  for (; i < count; ++i, records += size) {
    const std::uint64_t key = KeyPrefix(records);
    ascend &= previous < key;
    previous = key;
  }
  return ascend;
}

void ParadoxTable::CheckKeyOrder() const {
  if (!chainChecked_) {
    walkChecksKeys_ = true;
    CheckChain();  // walks from the start, checking the keys on the way
  }
  if (keyOrder_ != KeyOrder::Unknown) return;
  // The chain was walked by a scan: one pass over the keys, in chain order.
  walkLastKey_.clear();
  KeyOrder order = KeyOrder::ByBytes;
  const auto keySize = static_cast<std::size_t>(keySize_);
  for (const ChainEntry& entry : chain_) {
    if (entry.count == 0) continue;
    const std::byte* records = LoadBlock(entry.block) + kBlockHeaderSize;
    if (!KeysAscend(records, entry.count)) {
      order = KeyOrder::Unordered;
      break;
    }
    walkLastKey_.assign(
        reinterpret_cast<const char*>(records + static_cast<std::size_t>(entry.count - 1) *
                                                    static_cast<std::size_t>(header_.recordSize)),
        keySize);
  }
  keyOrder_ = order;
  if constexpr (kDebugChecks) CheckInvariants();
}

std::optional<RecordLocator> ParadoxTable::FindInBlock(std::uint16_t block,
                                                       const std::string& key) const {
  const std::byte* records = LoadOneBlock(block) + kBlockHeaderSize;
  int lo = 0;
  int hi = slots_[block] - 1;
  while (lo <= hi) {
    const int mid = (lo + hi) / 2;
    const int c = std::memcmp(records + static_cast<std::size_t>(mid) * header_.recordSize,
                              key.data(), key.size());
    if (c == 0) return RecordLocator{block, static_cast<std::uint16_t>(mid)};
    if (c < 0) {
      lo = mid + 1;
    } else {
      hi = mid - 1;
    }
  }
  return std::nullopt;
}

std::optional<RecordLocator> ParadoxTable::FindByKey(std::span<const Value> key) {
  if (keySize_ == 0) throw EDatabaseError(Prefix() + "la table n'a pas de clé primaire");
  CheckKeyOrder();
  if (key.size() != static_cast<std::size_t>(schema_.keyFieldCount)) {
    throw EDatabaseError(Prefix() + "la clé primaire a " + std::to_string(schema_.keyFieldCount) +
                         " champ(s)");
  }
  std::string bytes(static_cast<std::size_t>(keySize_), '\0');
  for (std::size_t i = 0; i < key.size(); ++i) {
    const FieldDef& f = schema_.fields[i];
    try {
      EncodeField(key[i], f, schema_.codePage,
                  reinterpret_cast<std::byte*>(bytes.data()) + f.offset);
    } catch (const EDatabaseError&) {
      return std::nullopt;  // a value the key field cannot hold is held by no record
    }
  }
  if (keyOrder_ == KeyOrder::ByBytes) {
    // The last block whose first key is not above the key, skipping back over empty blocks.
    std::size_t lo = 0;
    std::size_t hi = chain_.size();
    while (lo < hi) {
      const std::size_t mid = lo + (hi - lo) / 2;
      if (firstKeys_.compare(mid * bytes.size(), bytes.size(), bytes) <= 0) {
        lo = mid + 1;
      } else {
        hi = mid;
      }
    }
    std::size_t i = lo;
    while (i > 0 && chain_[i - 1].count == 0) --i;
    if (i == 0) return std::nullopt;
    return FindInBlock(chain_[i - 1].block, bytes);
  }
  if (keyMap_.empty()) {
    keyMap_.reserve(header_.numRecords);
    for (const ChainEntry& entry : chain_) {
      const std::byte* record = LoadBlock(entry.block) + kBlockHeaderSize;
      for (std::uint16_t slot = 0; slot < entry.count; ++slot, record += header_.recordSize) {
        keyMap_.emplace(KeyBytes(record), RecordLocator{entry.block, slot});
      }
    }
  }
  const auto found = keyMap_.find(bytes);
  if (found == keyMap_.end()) return std::nullopt;
  return found->second;
}

void ParadoxTable::CheckWritable(std::span<const int> fields) const {
  if (access_ != Access::ReadWrite) {
    throw EDatabaseError("La table " + name_ + " est ouverte en lecture seule");
  }
  for (const int field : fields) {
    const FieldDef& f = FieldAt(field);
    if (field < schema_.keyFieldCount) {
      throw EDatabaseError(Prefix() + "le champ " + f.name +
                           " fait partie de la clé primaire et ne peut pas être modifié");
    }
    if (const std::optional<std::string> why = covered_.Refusal(field + 1)) {
      throw EDatabaseError(Prefix() + "le champ " + f.name + " ne peut pas être modifié : " + *why,
                           DatabaseFault::IndexedField);
    }
  }
}

void ParadoxTable::Update(RecordLocator where, std::span<const FieldChange> changes) {
  {
    std::vector<int> fields;
    for (const FieldChange& change : changes) fields.push_back(change.field);
    CheckWritable(fields);
  }
  CheckChain();
  if (where.block == 0 || where.block > header_.fileBlocks || slots_[where.block] <= where.slot) {
    throw EDatabaseError(Prefix() + "enregistrement inexistant");
  }
  if (changes.empty()) return;
  // Everything is checked and encoded before the first byte is written.
  std::vector<std::byte> record(static_cast<std::size_t>(header_.recordSize));
  std::vector<bool> set(schema_.fields.size());
  int lo = header_.recordSize;
  int hi = 0;
  for (const FieldChange& change : changes) {
    const FieldDef& f = FieldAt(change.field);
    try {
      EncodeField(change.value, f, schema_.codePage, record.data() + f.offset);
    } catch (const EDatabaseError& e) {
      throw EDatabaseError(Prefix() + "champ " + f.name + " : " + e.what());
    }
    set[static_cast<std::size_t>(change.field)] = true;
    lo = std::min(lo, f.offset);
    hi = std::max(hi, f.offset + f.size);
  }
  // One write spanning the set fields: the bytes between them are written back as they are.
  const std::uint64_t recordOffset = BlockOffset(where.block) + kBlockHeaderSize +
                                     static_cast<std::uint64_t>(where.slot) * header_.recordSize;
  std::vector<std::byte> span(static_cast<std::size_t>(hi - lo));
  ReadOrFail(recordOffset + lo, span);
  for (std::size_t i = 0; i < set.size(); ++i) {
    if (!set[i]) continue;
    const FieldDef& f = schema_.fields[i];
    if (f.offset < lo || f.offset + f.size > hi) continue;
    std::memcpy(span.data() + (f.offset - lo), record.data() + f.offset,
                static_cast<std::size_t>(f.size));
  }
  try {
    // Set before the write: a write that fails half-way may still have changed the file.
    unflushed_ = true;
    file_->WriteAt(recordOffset + lo, span);
  } catch (const FileError& e) {
    windowBlocks_ = 0;  // what is on disk is no longer known
    throw EUncertainWrite("Écriture impossible dans la table " + name_ + " : " + e.what(),
                          FaultOf(e));
  }
  if (windowBlocks_ != 0 && where.block >= windowFirst_ &&
      where.block < windowFirst_ + windowBlocks_) {
    std::byte* inWindow =
        window_.data() + static_cast<std::size_t>(where.block - windowFirst_) * header_.blockSize +
        kBlockHeaderSize + static_cast<std::size_t>(where.slot) * header_.recordSize + lo;
    std::memcpy(inWindow, span.data(), span.size());
  }
  if constexpr (kDebugChecks) CheckUpdatedRecord(where, recordOffset, record, set);
}

void ParadoxTable::Flush() {
  if (!unflushed_) return;
  try {
    file_->Flush();
  } catch (const FileError& e) {
    throw EDatabaseError("Écriture impossible dans la table " + name_ + " : " + e.what(),
                         FaultOf(e));
  }
  unflushed_ = false;
}

void ParadoxTable::CheckInvariants() const {
  if (chainChecked_) CheckWalkedChain(Walked(), header_.numRecords);
  if (windowBlocks_ != 0) {
    PATCHPAV_CHECK(windowFirst_ >= 1 && windowFirst_ + windowBlocks_ - 1 <= header_.fileBlocks &&
                       window_.size() == windowBlocks_ * header_.blockSize,
                   "table " + name_ + ": the read window holds " + std::to_string(windowBlocks_) +
                       " blocks from block " + std::to_string(windowFirst_) + " in " +
                       std::to_string(window_.size()) + " bytes; the file has " +
                       std::to_string(header_.fileBlocks) + " blocks of " +
                       std::to_string(header_.blockSize) + " bytes");
  }
}

void ParadoxTable::CheckWalkedBlock() const {
  if (chainChecked_) return CheckInvariants();
  const ChainEntry& last = chain_.back();
  CheckLastWalkedBlock(Walked(), LoadBlock(last.block) + kBlockHeaderSize);
}

// The record as the file now holds it: the fields written hold the bytes written, and the window,
// when it holds the record's block, holds the same record.
void ParadoxTable::CheckUpdatedRecord(RecordLocator where, std::uint64_t recordOffset,
                                      const std::vector<std::byte>& record,
                                      const std::vector<bool>& set) const {
  std::vector<std::byte> disk(record.size());
  try {
    file_->ReadAt(recordOffset, disk);
  } catch (const FileError&) {
    return;  // nothing to compare with
  }
  const std::string at = "table " + name_ + ", block " + std::to_string(where.block) + ", record " +
                         std::to_string(where.slot) + ": ";
  for (std::size_t i = 0; i < set.size(); ++i) {
    if (!set[i]) continue;
    const FieldDef& f = schema_.fields[i];
    PATCHPAV_CHECK(std::memcmp(disk.data() + f.offset, record.data() + f.offset,
                               static_cast<std::size_t>(f.size)) == 0,
                   at + "the file holds other bytes than those written to field " + f.name);
  }
  if (windowBlocks_ != 0 && where.block >= windowFirst_ &&
      where.block < windowFirst_ + windowBlocks_) {
    const std::byte* inWindow =
        window_.data() + static_cast<std::size_t>(where.block - windowFirst_) * header_.blockSize +
        kBlockHeaderSize + static_cast<std::size_t>(where.slot) * header_.recordSize;
    PATCHPAV_CHECK(std::memcmp(inWindow, disk.data(), disk.size()) == 0,
                   at + "the read window (blocks " + std::to_string(windowFirst_) + " to " +
                       std::to_string(windowFirst_ + windowBlocks_ - 1) +
                       ") holds other bytes than the file");
  }
}

}  // namespace

std::unique_ptr<Table> Table::Open(const std::filesystem::path& file, Access access,
                                   int defaultCodePage) {
  return Open(file, access, defaultCodePage, SystemFileSystem());
}

std::unique_ptr<Table> Table::Open(const std::filesystem::path& file, Access access,
                                   int defaultCodePage, FileSystem& files) {
  const std::string name = PathToUtf8(file.stem());
  std::unique_ptr<TableFile> handle;
  try {
    handle = files.Open(file, access == Access::ReadWrite ? OpenMode::ReadWrite : OpenMode::Read);
  } catch (const FileError& e) {
    switch (e.GetKind()) {
      case FileError::Kind::InUse:
        throw EDatabaseError(
            "La table " + name + " est en cours d'utilisation (in use) par un autre programme",
            DatabaseFault::InUse);
      case FileError::Kind::NotFound:
        throw EDatabaseError("La table " + name + " est introuvable");
      case FileError::Kind::Denied:
        throw EDatabaseError(
            "La table " + name + " ne peut pas être ouverte " +
                (access == Access::ReadWrite ? "en écriture" : "en lecture") +
                " (fichier ou dossier en lecture seule, ou accès refusé) : " + e.what(),
            DatabaseFault::ReadOnly);
      default:
        throw EDatabaseError("Impossible d'ouvrir la table " + name + " : " + e.what(), FaultOf(e));
    }
  }
  return std::make_unique<ParadoxTable>(std::move(handle), name, access, defaultCodePage, file,
                                        files);
}

}  // namespace patchpav::paradox
