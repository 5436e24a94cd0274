#pragma once

// The contract between the Paradox table files and the local SQL dialect that runs on them.
// (Shape agreed before the implementation: the driver may add to it, and changes a signature
// only together with its callers.)

#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <functional>
#include <memory>
#include <optional>
#include <span>
#include <string>
#include <vector>

#include "engine/core/EngineIdle.h"
#include "engine/core/Value.h"

namespace patchpav {
class FileSystem;  // engine/core/TableFile.h: the seam through which every byte of a table passes
}  // namespace patchpav

namespace patchpav::paradox {

enum class FieldType : std::uint8_t {
  Alpha = 0x01,
  Date = 0x02,
  Short = 0x03,
  Long = 0x04,
  Currency = 0x05,
  Number = 0x06,
  Logical = 0x09,
  Memo = 0x0C,
  Blob = 0x0D,
  FormattedMemo = 0x0E,
  Ole = 0x0F,
  Graphic = 0x10,
  Time = 0x14,
  Timestamp = 0x15,
  AutoIncrement = 0x16,
  Bcd = 0x17,
  Bytes = 0x18,
};

struct FieldDef {
  std::string name;
  FieldType type = FieldType::Number;
  int size = 8;      // bytes in the record (Alpha/Bytes: 1..255; BLOb family: leader + 10)
  int decimals = 0;  // BCD only
  int offset = 0;    // filled by the table: byte offset inside the record
};

struct TableSchema {
  std::vector<FieldDef> fields;
  int keyFieldCount = 0;   // the first keyFieldCount fields form the primary key
  int codePage = 1252;     // code page of Alpha fields (kHpRoman8 for HP Roman-8)
  int fileVersion = 0x0C;  // 0x09 Paradox 4, 0x0B Paradox 5, 0x0C Paradox 7
  // Index of a field by name, ignoring letter case; nullopt when the table has none.
  std::optional<int> FindField(std::string_view name) const;
};

// Where a record lies; valid until the table is closed (records never move in place).
struct RecordLocator {
  std::uint16_t block = 0;
  std::uint16_t slot = 0;
};

// A view of one record's raw bytes during a scan.
struct RecordView {
  const std::byte* bytes = nullptr;
  RecordLocator where;
};

// The code page of text fields when neither the header nor the caller names one.
inline constexpr int kDefaultCodePage = 1252;

class Table {
 public:
  enum class Access { ReadOnly, ReadWrite };

  // Opens a table and checks its header: a damaged or encrypted header, or a table held open for
  // writing by another program, is refused with an EDatabaseError naming the table. ReadWrite
  // keeps other programs from writing it while it is open. The code page of the text comes from
  // the language driver the header names (LanguageDriver.h), else from the header's code-page
  // word; defaultCodePage applies when the header gives neither.
  //
  // The block chain (every block inside the file and visited once, each block's record count
  // possible, their sum equal to the header's count) is checked by the first pass over the
  // records, which reads the file once for both; a look-up by key or an update checks it in full
  // before it uses it, and CheckChain checks it at once. So a damaged chain is refused before
  // anything is written, and at the latest by the end of the first scan.
  static std::unique_ptr<Table> Open(const std::filesystem::path& file, Access access,
                                     int defaultCodePage = kDefaultCodePage);
  // The same through another file system (tests make its reads and writes fail), which must
  // outlive the table: the .MB file is opened through it when a value first needs it.
  static std::unique_ptr<Table> Open(const std::filesystem::path& file, Access access,
                                     int defaultCodePage, FileSystem& files);

  // Writes a new table (and its primary index when keyFieldCount > 0) holding the rows, which a
  // keyed table expects in ascending key order. Fails if the file exists unless overwrite is set.
  static void Create(const std::filesystem::path& file, const TableSchema& schema,
                     std::span<const std::vector<Value>> rows, bool overwrite = false);
  static void Create(const std::filesystem::path& file, const TableSchema& schema,
                     std::span<const std::vector<Value>> rows, bool overwrite, FileSystem& files);
  // The same with rows produced one at a time (a million rows need not sit in memory): next
  // fills the row it is given and returns false when there are no more. The table appears only
  // once complete: a refused row leaves the directory as it was.
  using RowSource = std::function<bool(std::vector<Value>& row)>;
  static void CreateStreaming(const std::filesystem::path& file, const TableSchema& schema,
                              const RowSource& next, bool overwrite = false);
  static void CreateStreaming(const std::filesystem::path& file, const TableSchema& schema,
                              const RowSource& next, bool overwrite, FileSystem& files);

  virtual ~Table() = default;

  virtual const std::string& Name() const = 0;  // the file's base name, as the user knows it
  virtual const TableSchema& Schema() const = 0;
  virtual std::uint32_t RecordCount() const = 0;

  // Calls visit(records, count, firstLocator) for each block in chain order, with the block's
  // records packed back to back (RecordSize() bytes each). The fast path for scans. The records
  // pointer is valid until the next visit; a failing read is an EDatabaseError naming the table.
  // On the first pass, a damaged chain is an EDatabaseError raised once the damage is reached:
  // the blocks before it may have been visited. Between blocks the application's idle callback
  // may run (EngineIdle): a large table takes seconds.
  template <typename Visit>
  void ForEachBlock(Visit&& visit) const {
    BlockView b;
    for (std::size_t i = 0; NextBlock(i, b); ++i) {
      visit(b.records, b.count, b.first);
      EngineIdle();
    }
  }
  // Checks the whole block chain now, if no pass has done it yet (see Open).
  virtual void CheckChain() const = 0;
  virtual int RecordSize() const = 0;

  // Decodes one field of a raw record; a blank field gives the null value. Numbers (N, $, @) are
  // Float, integers (S, I, +, D, T, L) Integer, Alpha/Memo Text in UTF-8, BCD Float. Memo and
  // BLOb values come whole: one longer than its part in the record is read from the .MB file.
  virtual Value Decode(const std::byte* record, int field) const = 0;
  // True when the field's bytes are blank. Cheaper than Decode for filters.
  virtual bool IsBlank(const std::byte* record, int field) const = 0;
  // Finds a record by its primary key (one value per key field) without scanning the table.
  virtual std::optional<RecordLocator> FindByKey(std::span<const Value> key) = 0;

  // Writes the given fields of one record in place: only those fields' bytes change (0 is written
  // as +0.0; the null value writes a blank). Refused before anything is written, with an
  // EDatabaseError, for a key field, a field covered by a secondary index, a value that the
  // field's type cannot hold, or a table opened ReadOnly. The bytes are in the file when it
  // returns (one write: another program that reads the file sees them), but on the disk only
  // after the next Flush: the caller decides how many writes one flush covers.
  struct FieldChange {
    int field;
    Value value;
  };
  virtual void Update(RecordLocator where, std::span<const FieldChange> changes) = 0;
  // Puts every write that Update has made since the last flush on the disk (fsync /
  // FlushFileBuffers); does nothing when there is none. A failure is an EDatabaseError naming the
  // table, and the writes stay due: the next Flush tries again.
  virtual void Flush() = 0;
  // Refuses, as Update would and without writing, a change of these fields (0-based): a table
  // opened ReadOnly, a key field, a field covered by a secondary index (the error's fault says
  // which: DatabaseFault::IndexedField for the index).
  virtual void CheckWritable(std::span<const int> fields) const = 0;

 protected:
  struct BlockView {
    const std::byte* records = nullptr;
    std::size_t count = 0;
    RecordLocator first;
  };
  // The block at chainIndex of the chain, for indexes taken in order from 0; false past the end.
  virtual bool NextBlock(std::size_t chainIndex, BlockView& view) const = 0;
};

}  // namespace patchpav::paradox
