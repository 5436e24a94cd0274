// Memo and BLOb values written by pxlib, with its .MB file, read back by us whole and byte for
// byte: values held in the record only, values sharing a block of the .MB, values with a block of
// their own, blanks, and memo text in the table's code page.

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <cstring>

#include "engine/drivers/paradox/BlobFile.h"
#include "engine/drivers/paradox/CodePage.h"
#include "engine/drivers/paradox/ParadoxTable.h"
#include "engine/paradox/ParadoxTestSupport.h"
#include "engine/paradox/PxlibFields.h"

namespace patchpav::paradox {
namespace {

using testing::Field;
using testing::ReadAllRows;
using testing::TemporaryDirectory;

bool IsMemo(FieldType type) { return type == FieldType::Memo || type == FieldType::FormattedMemo; }

// Bytes 0..255 over and over, from a per-value start: binary values hold every byte, NUL too.
std::string BinaryOf(std::size_t length, int seed) {
  std::string bytes(length, '\0');
  for (std::size_t i = 0; i < length; ++i) bytes[i] = static_cast<char>((i * 7 + seed) & 0xFF);
  return bytes;
}

std::string TextOf(std::size_t length, int seed) {
  static const std::string kWords = "Consultation du docteur, acte été réglé à l'hôpital ; reçu ";
  std::string text;
  while (text.size() < length) text += kWords + std::to_string(seed) + ". ";
  // Cut on a character boundary: a UTF-8 continuation byte never starts the tail.
  std::size_t cut = length;
  while (cut > 0 && (static_cast<unsigned char>(text[cut]) & 0xC0) == 0x80) --cut;
  return text.substr(0, cut);
}

// Writes the table and its .MB through pxlib; rows hold what each field should read back as.
void WriteWithPxlib(const std::filesystem::path& file, const TableSchema& schema,
                    const std::vector<std::vector<Value>>& rows) {
  pxdoc_t* doc = PX_new();
  const int n = static_cast<int>(schema.fields.size());
  int recordSize = 0;
  pxfield_t* fields = testing::PxlibFields(doc, schema, recordSize);
  ASSERT_EQ(PX_create_file(doc, fields, n, file.c_str(), pxfFileTypNonIndexDB), 0);
  PX_set_parameter(doc, "tablename", "NOTES");
  PX_set_value(doc, "codepage", static_cast<float>(schema.codePage));
  std::filesystem::path blobs = file;
  blobs.replace_extension(".MB");
  ASSERT_EQ(PX_set_blob_file(doc, blobs.c_str()), 0);
  std::vector<char> record(static_cast<std::size_t>(recordSize));
  for (const auto& row : rows) {
    std::fill(record.begin(), record.end(), 0);
    int offset = 0;
    for (int i = 0; i < n; ++i) {
      char* data = record.data() + offset;
      offset += fields[i].px_flen;
      const Value& v = row[static_cast<std::size_t>(i)];
      if (v.IsNull()) continue;
      if (i == 0) {
        PX_put_data_long(doc, data, 4, static_cast<int>(v.AsInteger()));
        continue;
      }
      std::string bytes = IsMemo(static_cast<FieldType>(fields[i].px_ftype))
                              ? *Utf8ToCodePage(v.AsText(), schema.codePage)
                              : v.AsText();
      ASSERT_EQ(PX_put_data_blob(doc, data, fields[i].px_flen, bytes.data(),
                                 static_cast<int>(bytes.size())),
                0);
    }
    ASSERT_GE(PX_put_record(doc, record.data()), 0);
  }
  PX_close(doc);
  PX_delete(doc);
}

TEST(PxlibBlobTest, WeReadWholeTheMemoAndBlobValuesPxlibWrites) {
  for (const int codePage : {1252, 850}) {
    SCOPED_TRACE(codePage);
    TemporaryDirectory dir;
    TableSchema schema;
    schema.codePage = codePage;
    // Leaders of 10, 5, 0, 0 and 4 bytes.
    schema.fields = {Field("ID", FieldType::Long),
                     Field("Note", FieldType::Memo, 20),
                     Field("Mise", FieldType::FormattedMemo, 15),
                     Field("Donnees", FieldType::Blob, 10),
                     Field("Image", FieldType::Graphic, 10),
                     Field("Objet", FieldType::Ole, 14)};
    // Lengths chosen around the leaders, the 16-byte chunks of a shared block, the most a shared
    // block takes, and values that need one or several 4 KiB units of their own.
    const std::size_t lengths[] = {0, 1, 4, 5, 10, 11, 16, 30, 100, 2000, 3000, 5000, 70000};
    std::vector<std::vector<Value>> rows;
    int id = 0;
    for (const std::size_t length : lengths) {
      std::vector<Value> row = {Value::Integer(++id)};
      for (std::size_t f = 1; f < schema.fields.size(); ++f) {
        const int seed = id * 10 + static_cast<int>(f);
        const std::size_t size = length + f % 3;  // the fields of a row differ in length
        row.push_back(IsMemo(schema.fields[f].type) ? Value::Text(TextOf(size, seed))
                                                    : Value::Text(BinaryOf(size, seed)));
      }
      rows.push_back(std::move(row));
    }
    rows.push_back({Value::Integer(++id), Value(), Value(), Value(), Value(), Value()});
    WriteWithPxlib(dir / "NOTES.DB", schema, rows);
    if (codePage != 1252) testing::RenameLanguageDriver(dir / "NOTES.DB", "intl850");
    for (auto& row : rows) {
      for (Value& v : row) {
        if (v.GetKind() == Value::Kind::Text && v.AsText().empty()) v = Value();
      }
    }

    const auto table = Table::Open(dir / "NOTES.DB", Table::Access::ReadOnly);
    EXPECT_EQ(table->Schema().codePage, codePage);
    const auto read = ReadAllRows(*table);
    ASSERT_EQ(read.size(), rows.size());
    for (std::size_t r = 0; r < rows.size(); ++r) {
      for (std::size_t f = 0; f < schema.fields.size(); ++f) {
        SCOPED_TRACE("row " + std::to_string(r) + " field " + schema.fields[f].name);
        EXPECT_EQ(read[r][f], rows[r][f]);
      }
    }

    // The values above really went through both kinds of .MB block, and the fast path.
    int inRecord = 0;
    int shared = 0;
    int single = 0;
    table->ForEachBlock([&](const std::byte* records, std::size_t count, RecordLocator) {
      for (std::size_t i = 0; i < count; ++i) {
        for (std::size_t f = 1; f < schema.fields.size(); ++f) {
          const FieldDef& def = table->Schema().fields[f];
          const std::byte* p =
              records + i * static_cast<std::size_t>(table->RecordSize()) + def.offset;
          const BlobDescriptor blob = ReadBlobDescriptor(p, def.size);
          if (blob.length == 0) continue;
          if (blob.location == 0) {
            ++inRecord;
          } else if ((blob.location & 0xFF) == 0xFF) {
            ++single;
          } else {
            ++shared;
          }
        }
      }
    });
    EXPECT_GT(inRecord, 0);
    EXPECT_GT(shared, 0);
    EXPECT_GT(single, 0);
    // pxlib ends the file where the last value ends, short of its block's 4 KiB multiple.
    EXPECT_NE(std::filesystem::file_size(dir / "NOTES.MB") % 4096, 0u);
  }
}

}  // namespace
}  // namespace patchpav::paradox
