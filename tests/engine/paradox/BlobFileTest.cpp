// Memo and BLOb values in a .MB file built here byte by byte from its documented layout (pxlib,
// which writes such files natively, is not available under Windows, and cannot write the cases
// below: a shared block filled from its first slot, a last chunk counted as 0, damage). Each
// kind of damage is an error naming the table and the field, and no file changes.

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <functional>

#include "engine/core/Errors.h"
#include "engine/drivers/paradox/CodePage.h"
#include "engine/drivers/paradox/ParadoxTable.h"
#include "engine/paradox/ParadoxTestSupport.h"

namespace patchpav::paradox {
namespace {

using ::testing::AllOf;
using testing::FaultyFiles;
using testing::Field;
using testing::FileBytes;
using ::testing::HasSubstr;
using testing::ReadAllRows;
using testing::TemporaryDirectory;
using testing::WriteFileBytes;

using Bytes = std::string;

void PutLe(Bytes& b, std::size_t at, std::uint64_t value, int size) {
  for (int i = 0; i < size; ++i)
    b[at + static_cast<std::size_t>(i)] = static_cast<char>(value >> (8 * i));
}

// A .MB file: the header block, then blocks appended one after the other.
class MbBuilder {
 public:
  MbBuilder() : bytes_(4096, '\0') {}
  // A 4 KiB block shared by small values; returns its offset.
  std::size_t AddShared() {
    const std::size_t at = bytes_.size();
    bytes_.resize(at + 4096);
    bytes_[at] = 3;
    PutLe(bytes_, at + 1, 1, 2);
    return at;
  }
  // One value of a shared block, from chunk start (the value's offset / 16).
  void PutShared(std::size_t block, int index, int start, const std::string& value, int mod,
                 bool fullLastChunkAsZero = false) {
    const std::size_t pointer = block + 12 + 5 * static_cast<std::size_t>(index);
    const std::size_t chunks = (value.size() + 15) / 16;
    std::size_t last = value.size() % 16;
    if (last == 0 && !fullLastChunkAsZero) last = 16;
    bytes_[pointer] = static_cast<char>(start);
    bytes_[pointer + 1] = static_cast<char>(chunks);
    PutLe(bytes_, pointer + 2, static_cast<std::uint64_t>(mod), 2);
    bytes_[pointer + 4] = static_cast<char>(last);
    std::copy(value.begin(), value.end(),
              bytes_.begin() + static_cast<std::ptrdiff_t>(block) + start * 16);
  }
  // A block of its own for one value, of units x 4 KiB; returns its offset.
  std::size_t AddSingle(const std::string& value, int mod, int units) {
    const std::size_t at = bytes_.size();
    bytes_.resize(at + 4096 * static_cast<std::size_t>(units));
    bytes_[at] = 2;
    PutLe(bytes_, at + 1, static_cast<std::uint64_t>(units), 2);
    PutLe(bytes_, at + 3, value.size(), 4);
    PutLe(bytes_, at + 7, static_cast<std::uint64_t>(mod), 2);
    std::copy(value.begin(), value.end(), bytes_.begin() + static_cast<std::ptrdiff_t>(at) + 9);
    return at;
  }
  const Bytes& Get() const { return bytes_; }

 private:
  Bytes bytes_;
};

constexpr int kNote = 1;  // Memo, leader 10
constexpr int kData = 2;  // Blob, leader 0
constexpr std::size_t kRecordSize = 4 + 20 + 10;

std::string Binary(std::size_t length) {
  std::string bytes(length, '\0');
  for (std::size_t i = 0; i < length; ++i) bytes[i] = static_cast<char>(i * 13 + 1);
  return bytes;
}

const std::string kShortNote = "Bonjour";
const std::string kSharedNote =
    "Consultation du 12 mars, règlement reçu.";  // 40 bytes in 1252: 3 chunks
const std::string kSharedData = std::string("\0\1\2\3\4", 5);
const std::string kExactNote = "Trente-deux octets tout ronds !!";  // 32: fills its last chunk
const std::string kSingleData = Binary(6000);
const std::string kSingleNote =
    "Acte réalisé à l'hôpital : échographie, deuxième contrôle après "
    "la fièvre de l'été. Payé en espèces.";

// Where each value lies, so that the damage cases can aim at one of them.
constexpr std::size_t kSharedBlock = 0x1000;
constexpr std::size_t kDataBlock = 0x2000;
constexpr std::size_t kNoteBlock = 0x4000;

struct Files {
  Bytes db;
  Bytes mb;
};

// The record's part of a value: leader, then location, length and modification number.
void SetDescriptor(Bytes& db, int row, int field, const std::string& value, std::uint32_t location,
                   int mod) {
  const std::size_t headerSize = static_cast<unsigned char>(db[2]) |
                                 static_cast<std::size_t>(static_cast<unsigned char>(db[3])) << 8;
  const std::size_t at =
      headerSize + 6 + static_cast<std::size_t>(row) * kRecordSize + (field == kNote ? 4 : 24);
  const std::size_t leader = field == kNote ? 10 : 0;
  std::fill(db.begin() + static_cast<std::ptrdiff_t>(at),
            db.begin() + static_cast<std::ptrdiff_t>(at + leader + 10), '\0');
  std::copy_n(value.begin(), std::min(leader, value.size()),
              db.begin() + static_cast<std::ptrdiff_t>(at));
  PutLe(db, at + leader, location, 4);
  PutLe(db, at + leader + 4, value.size(), 4);
  PutLe(db, at + leader + 8, static_cast<std::uint64_t>(mod), 2);
}
std::size_t DescriptorAt(const Bytes& db, int row, int field) {
  const std::size_t headerSize = static_cast<unsigned char>(db[2]) |
                                 static_cast<std::size_t>(static_cast<unsigned char>(db[3])) << 8;
  return headerSize + 6 + static_cast<std::size_t>(row) * kRecordSize + (field == kNote ? 14 : 24);
}

TableSchema NotesSchema() {
  TableSchema schema;
  schema.fields = {Field("ID", FieldType::Long), Field("Note", FieldType::Memo, 20),
                   Field("Donnees", FieldType::Blob, 10)};
  return schema;
}

// NOTES.DB and NOTES.MB: row 0 in its record only, row 1 in a shared block, row 2 with a value
// filling its last chunk and a value in a block of its own, row 3 an accented memo on its own.
Files BuildNotes(const std::filesystem::path& dir) {
  std::vector<std::vector<Value>> rows;
  for (int id = 1; id <= 4; ++id) rows.push_back({Value::Integer(id), Value(), Value()});
  rows[0][kNote] = Value::Text(kShortNote);
  Table::Create(dir / "NOTES.DB", NotesSchema(), rows);
  Files files{FileBytes(dir / "NOTES.DB"), {}};
  MbBuilder mb;
  const std::string note = *Utf8ToCodePage(kSharedNote, 1252);
  EXPECT_EQ(mb.AddShared(), kSharedBlock);
  mb.PutShared(kSharedBlock, 0, 0x15, note, 1);
  mb.PutShared(kSharedBlock, 1, 0x18, kSharedData, 2);
  mb.PutShared(kSharedBlock, 5, 0x19, kExactNote, 3, /*fullLastChunkAsZero=*/true);
  EXPECT_EQ(mb.AddSingle(kSingleData, 4, 2), kDataBlock);
  const std::string accented = *Utf8ToCodePage(kSingleNote, 1252);
  EXPECT_EQ(mb.AddSingle(accented, 5, 1), kNoteBlock);
  SetDescriptor(files.db, 1, kNote, note, kSharedBlock | 0, 1);
  SetDescriptor(files.db, 1, kData, kSharedData, kSharedBlock | 1, 2);
  SetDescriptor(files.db, 2, kNote, kExactNote, kSharedBlock | 5, 3);
  SetDescriptor(files.db, 2, kData, kSingleData, kDataBlock | 0xFF, 4);
  SetDescriptor(files.db, 3, kNote, accented, kNoteBlock | 0xFF, 5);
  files.mb = mb.Get();
  WriteFileBytes(dir / "NOTES.DB", files.db);
  WriteFileBytes(dir / "NOTES.MB", files.mb);
  return files;
}

std::vector<std::vector<Value>> NotesRows() {
  return {{Value::Integer(1), Value::Text(kShortNote), Value()},
          {Value::Integer(2), Value::Text(kSharedNote), Value::Text(kSharedData)},
          {Value::Integer(3), Value::Text(kExactNote), Value::Text(kSingleData)},
          {Value::Integer(4), Value::Text(kSingleNote), Value()}};
}

TEST(BlobFileTest, ValuesInSharedAndSingleBlocksReadWhole) {
  TemporaryDirectory dir;
  BuildNotes(dir.Path());
  const auto table = Table::Open(dir / "NOTES.DB", Table::Access::ReadOnly);
  EXPECT_EQ(ReadAllRows(*table), NotesRows());
  EXPECT_EQ(ReadAllRows(*table), NotesRows());  // again, from what the reader keeps
}

TEST(BlobFileTest, ValuesInTheirRecordNeedNoMbFile) {
  TemporaryDirectory dir;
  BuildNotes(dir.Path());
  std::filesystem::remove(dir / "NOTES.MB");
  const auto table = Table::Open(dir / "NOTES.DB", Table::Access::ReadOnly);
  table->ForEachBlock([&](const std::byte* records, std::size_t, RecordLocator) {
    EXPECT_EQ(table->Decode(records, kNote), Value::Text(kShortNote));
    EXPECT_EQ(table->Decode(records, kData), Value());
  });
}

TEST(BlobFileTest, TheMbFileIsFoundInAnyLetterCase) {
  TemporaryDirectory dir;
  BuildNotes(dir.Path());
  std::filesystem::rename(dir / "NOTES.MB", dir / "Notes.mb");
  const auto table = Table::Open(dir / "NOTES.DB", Table::Access::ReadOnly);
  EXPECT_EQ(ReadAllRows(*table), NotesRows());
}

struct Damage {
  const char* what;
  std::function<void(Files&)> apply;
  const char* field;   // the field whose value is refused
  const char* reason;  // part of the message that says why
};

TEST(BlobFileTest, EachDamageIsAnErrorNamingTheTableAndFieldAndNothingChanges) {
  const auto location = [](int row, int field, std::uint32_t value) {
    return [=](Files& f) { PutLe(f.db, DescriptorAt(f.db, row, field), value, 4); };
  };
  const auto length = [](int row, int field, std::uint32_t value) {
    return [=](Files& f) { PutLe(f.db, DescriptorAt(f.db, row, field) + 4, value, 4); };
  };
  const auto mod = [](int row, int field, int value) {
    return [=](Files& f) {
      PutLe(f.db, DescriptorAt(f.db, row, field) + 8, static_cast<std::uint64_t>(value), 2);
    };
  };
  const std::size_t firstPointer = kSharedBlock + 12;
  const Damage damages[] = {
      {"no .MB file", [](Files& f) { f.mb.clear(); }, "Note", "introuvable"},
      {".MB shorter than its header", [](Files& f) { f.mb.resize(100); }, "Note", "trop court"},
      {".MB of another kind", [](Files& f) { f.mb[0] = 2; }, "Note", "en-tête inconnu"},
      {"block past the end", location(1, kNote, 0x9000), "Note", "hors du fichier"},
      {"block not on a 4 KiB boundary", location(1, kNote, 0x1100), "Note", "invalide"},
      {"long value without a block", location(1, kNote, 0), "Note", "aucun bloc"},
      {"block freed", [](Files& f) { f.mb[kSharedBlock] = 4; }, "Note", "type 4"},
      {"shared block read as a single one", location(1, kNote, kSharedBlock | 0xFF), "Note",
       "type 3"},
      {"single block read as a shared one", location(2, kData, kDataBlock | 3), "Donnees",
       "type 2"},
      {"index past the pointers", location(1, kNote, kSharedBlock | 64), "Note",
       "dépasse la table"},
      {"free slot", location(1, kNote, kSharedBlock | 2), "Note", "libre"},
      {"record longer than the slot", length(1, kNote, 47), "Note", "annonce"},
      {"slot longer than the record", [&](Files& f) { f.mb[firstPointer + 1] = 4; }, "Note",
       "annonce"},
      {"slot past the block", [&](Files& f) { f.mb[firstPointer] = static_cast<char>(0xFF); },
       "Note", "sort des données"},
      {"slot over the pointers", [&](Files& f) { f.mb[firstPointer] = 0x10; }, "Note",
       "sort des données"},
      {"shared block cut short", [](Files& f) { f.mb.resize(kSharedBlock + 0x100); }, "Note",
       "tronqué"},
      {"modification number of a shared value", mod(1, kNote, 9), "Note", "numéro de modification"},
      {"record longer than the single value", length(2, kData, 6001), "Donnees", "annonce"},
      {"modification number of a single value", mod(2, kData, 9), "Donnees",
       "numéro de modification"},
      {"value larger than its block", [](Files& f) { PutLe(f.mb, kDataBlock + 1, 1, 2); },
       "Donnees", "dépasse son bloc"},
      {"huge length",
       [&](Files& f) {
         // Within what the block's size allows: only the file's size stops the allocation.
         length(2, kData, 0x0FFF0000)(f);
         PutLe(f.mb, kDataBlock + 1, 0xFFFF, 2);
         PutLe(f.mb, kDataBlock + 3, 0x0FFF0000, 4);
       },
       "Donnees", "dépasse la fin du fichier"},
      {".MB cut inside a value", [](Files& f) { f.mb.resize(kDataBlock + 100); }, "Donnees",
       "dépasse la fin du fichier"},
      {".MB cut inside a block header", [](Files& f) { f.mb.resize(kDataBlock + 4); }, "Donnees",
       "tronqué"},
  };
  for (const Damage& damage : damages) {
    SCOPED_TRACE(damage.what);
    TemporaryDirectory dir;
    Files files = BuildNotes(dir.Path());
    damage.apply(files);
    WriteFileBytes(dir / "NOTES.DB", files.db);
    if (files.mb.empty()) {
      std::filesystem::remove(dir / "NOTES.MB");
    } else {
      WriteFileBytes(dir / "NOTES.MB", files.mb);
    }
    {
      const auto table = Table::Open(dir / "NOTES.DB", Table::Access::ReadWrite);
      try {
        ReadAllRows(*table);
        ADD_FAILURE() << "no error";
      } catch (const EDatabaseError& e) {
        EXPECT_THAT(e.what(),
                    AllOf(HasSubstr("NOTES"), HasSubstr(std::string("champ ") + damage.field),
                          HasSubstr(damage.reason)));
      }
    }
    EXPECT_EQ(FileBytes(dir / "NOTES.DB"), files.db);
    if (files.mb.empty()) {
      EXPECT_FALSE(std::filesystem::exists(dir / "NOTES.MB"));
    } else {
      EXPECT_EQ(FileBytes(dir / "NOTES.MB"), files.mb);
    }
  }
}

// Every read of a scan fails in turn: each failure is an error naming the table (and the field,
// for a read of the .MB), and the same table reads whole once the disk works again.
TEST(BlobFileTest, EachFailedReadIsAnErrorAndTheNextScanWorks) {
  TemporaryDirectory dir;
  BuildNotes(dir.Path());
  FaultyFiles files(FaultyFiles::Op::Read);
  int mbFailures = 0;
  for (int n = 1;; ++n) {
    ASSERT_LT(n, 100);
    const auto table = Table::Open(dir / "NOTES.DB", Table::Access::ReadOnly, 1252, files);
    files.FailNth(n);
    try {
      EXPECT_EQ(ReadAllRows(*table), NotesRows());
      break;
    } catch (const EDatabaseError& e) {
      SCOPED_TRACE(e.what());
      EXPECT_THAT(e.what(), AllOf(HasSubstr("NOTES"), HasSubstr("disque plein")));
      if (std::string(e.what()).find("NOTES.MB") != std::string::npos) {
        ++mbFailures;
        EXPECT_THAT(e.what(), HasSubstr("champ "));
      }
    }
    files.FailNth(0);
    EXPECT_EQ(ReadAllRows(*table), NotesRows());
  }
  // Opening the .MB, the shared block, each of the two single blocks' header and bytes.
  EXPECT_EQ(mbFailures, 6);
}

TEST(BlobFileTest, ATableIsNotCreatedWithAValueLongerThanItsRecordPart) {
  TemporaryDirectory dir;
  const std::vector<std::vector<Value>> rows = {
      {Value::Integer(1), Value::Text(kSharedNote), Value()}};
  try {
    Table::Create(dir / "NOTES.DB", NotesSchema(), rows);
    ADD_FAILURE() << "no error";
  } catch (const EDatabaseError& e) {
    EXPECT_THAT(e.what(),
                AllOf(HasSubstr("NOTES"), HasSubstr("champ Note"), HasSubstr("trop longue")));
  }
  EXPECT_TRUE(std::filesystem::is_empty(dir.Path()));
}

}  // namespace
}  // namespace patchpav::paradox
