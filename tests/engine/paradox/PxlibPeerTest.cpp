// pxlib, an independent Paradox implementation, as a peer: tables that pxlib writes read the
// same through us, and tables that we create and update read the same through pxlib.
// pxlib's own faults are worked around where they are known: its long getter reports a blank
// Long/Date/Time as a value, and it reads memo fields only with their .MB file.

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <bit>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "engine/drivers/paradox/CodePage.h"
#include "engine/drivers/paradox/FieldCodec.h"
#include "engine/drivers/paradox/ParadoxTable.h"
#include "engine/paradox/AllTypesTable.h"
#include "engine/paradox/ParadoxTestSupport.h"
#include "engine/paradox/PxlibFields.h"
#include "mkdemobase/DemoBase.h"

namespace patchpav::paradox {
namespace {

using testing::AllTypes;
using testing::AllTypesRows;
using testing::Field;
using testing::ReadAllRows;
using testing::TemporaryDirectory;

// One pxlib document over a file, closed and freed on every path.
class PxFile {
 public:
  PxFile() : doc_(PX_new()) {}
  PxFile(const PxFile&) = delete;
  PxFile& operator=(const PxFile&) = delete;
  ~PxFile() {
    PX_close(doc_);
    PX_delete(doc_);
    if (fp_ != nullptr) std::fclose(fp_);
  }
  // pxlib's PX_open_file opens for update; reading goes through a read-only FILE.
  bool OpenForReading(const std::filesystem::path& path) {
    fp_ = std::fopen(path.c_str(), "rb");
    return fp_ != nullptr && PX_open_fp(doc_, fp_) == 0;
  }
  pxdoc_t* Doc() const { return doc_; }

 private:
  pxdoc_t* doc_;
  std::FILE* fp_ = nullptr;
};

// Reads every record through pxlib and checks each field against what we expect it to hold.
void ExpectPxlibReads(const std::filesystem::path& file, const TableSchema& schema,
                      const std::vector<std::vector<Value>>& rows) {
  PxFile px;
  ASSERT_TRUE(px.OpenForReading(file));
  pxdoc_t* doc = px.Doc();
  ASSERT_EQ(PX_get_num_records(doc), static_cast<int>(rows.size()));
  ASSERT_EQ(PX_get_num_fields(doc), static_cast<int>(schema.fields.size()));
  std::vector<char> record(static_cast<std::size_t>(doc->px_head->px_recordsize));
  for (std::size_t r = 0; r < rows.size(); ++r) {
    ASSERT_NE(PX_get_record(doc, static_cast<int>(r), record.data()), nullptr);
    int offset = 0;
    for (std::size_t f = 0; f < schema.fields.size(); ++f) {
      const pxfield_t* pf = PX_get_field(doc, static_cast<int>(f));
      const FieldDef& field = schema.fields[f];
      SCOPED_TRACE("row " + std::to_string(r) + " field " + field.name);
      EXPECT_STREQ(pf->px_fname, field.name.c_str());
      EXPECT_EQ(static_cast<unsigned char>(pf->px_ftype), static_cast<unsigned>(field.type));
      char* data = record.data() + offset;
      offset += pf->px_flen;
      const Value& want = rows[r][f];
      const bool blank =
          want.IsNull() || (want.GetKind() == Value::Kind::Text && want.AsText().empty());
      switch (field.type) {
        case FieldType::Alpha: {
          char* text = nullptr;
          const int got = PX_get_data_alpha(doc, data, pf->px_flen, &text);
          EXPECT_EQ(got == 1, !blank);
          if (got == 1) {
            EXPECT_EQ(std::string(text), *Utf8ToCodePage(want.AsText(), schema.codePage));
            doc->free(doc, text);
          }
          break;
        }
        case FieldType::Bytes: {
          char* bytes = nullptr;
          const int got = PX_get_data_bytes(doc, data, pf->px_flen, &bytes);
          EXPECT_EQ(got == 1, !blank);
          if (got == 1) {
            EXPECT_EQ(std::string(bytes, want.AsText().size()), want.AsText());
            doc->free(doc, bytes);
          }
          break;
        }
        case FieldType::Number:
        case FieldType::Currency:
        case FieldType::Timestamp: {
          double value = 0;
          const int got = PX_get_data_double(doc, data, pf->px_flen, &value);
          EXPECT_EQ(got == 1, !blank);
          if (!blank) {
            EXPECT_EQ(std::bit_cast<std::uint64_t>(value),
                      std::bit_cast<std::uint64_t>(want.AsFloat()));
          }
          break;
        }
        case FieldType::Short: {
          short value = 0;
          const int got = PX_get_data_short(doc, data, pf->px_flen, &value);
          EXPECT_EQ(got == 1, !blank);
          if (!blank) {
            EXPECT_EQ(value, want.AsInteger());
          }
          break;
        }
        case FieldType::Long:
        case FieldType::Date:
        case FieldType::Time:
        case FieldType::AutoIncrement: {
          long value = 0;
          PX_get_data_long(doc, data, pf->px_flen, &value);
          if (!blank) {
            EXPECT_EQ(value, want.AsInteger());
          }
          break;
        }
        case FieldType::Logical: {
          char value = 0;
          const int got = PX_get_data_byte(doc, data, pf->px_flen, &value);
          EXPECT_EQ(got == 1, !blank);
          if (!blank) {
            EXPECT_EQ(value != 0, want.AsInteger() != 0);
          }
          break;
        }
        case FieldType::Bcd: {
          char* text = nullptr;
          const int got =
              PX_get_data_bcd(doc, reinterpret_cast<unsigned char*>(data), pf->px_fdc, &text);
          EXPECT_EQ(got == 1, !blank);
          if (got == 1) {
            EXPECT_EQ(std::strtod(text, nullptr), want.AsFloat()) << text;
            doc->free(doc, text);
          }
          break;
        }
        default:
          break;  // memo family: pxlib reads it only together with a .MB file
      }
    }
  }
}

TEST(PxlibPeerTest, PxlibReadsTheTablesWeCreateAtEveryLevel) {
  for (const int level : {0x09, 0x0B, 0x0C}) {
    SCOPED_TRACE("level " + std::to_string(level));
    TemporaryDirectory dir;
    const TableSchema schema = AllTypes(level);
    const auto rows = AllTypesRows(schema);
    Table::Create(dir / "TYPES.DB", schema, rows);
    ExpectPxlibReads(dir / "TYPES.DB", schema, rows);
  }
}

TEST(PxlibPeerTest, PxlibReadsOurUpdates) {
  TemporaryDirectory dir;
  TableSchema schema;
  schema.keyFieldCount = 1;
  schema.fields = {Field("CPMain_ID", FieldType::Long)};
  for (int i = 1; i <= 7; ++i)
    schema.fields.push_back(Field("MontantSS" + std::to_string(i), FieldType::Number));
  std::vector<std::vector<Value>> rows;
  for (int id = 1; id <= 500; ++id) {
    std::vector<Value> row(8);
    row[0] = Value::Integer(id);
    row[1] = Value::Float(id % 3 == 0 ? -18 : 25);
    if (id % 2 == 0) row[2] = Value::Float(0.1 * id);
    rows.push_back(std::move(row));
  }
  Table::Create(dir / "CPMAIN.DB", schema, rows);
  {
    const auto table = Table::Open(dir / "CPMAIN.DB", Table::Access::ReadWrite);
    for (auto& row : rows) {
      if (row[1].AsFloat() >= 0) continue;
      const std::vector<Value> key = {row[0]};
      row[1] = Value::Float(0);
      row[3] = Value::Float(-1e-9);
      const std::vector<Table::FieldChange> changes = {{1, row[1]}, {3, row[3]}};
      table->Update(*table->FindByKey(key), changes);
    }
    EXPECT_EQ(ReadAllRows(*table), rows);
  }
  ExpectPxlibReads(dir / "CPMAIN.DB", schema, rows);
}

// pxlib writes a table of every type it writes correctly; we read it value for value. (pxlib
// writes only level 7 through its API; levels 4 and 5 are checked the other way round above.)
TEST(PxlibPeerTest, WeReadTheTablesPxlibWrites) {
  for (const int codePage : {1252, 850}) {
    SCOPED_TRACE(codePage);
    TemporaryDirectory dir;
    TableSchema schema = AllTypes(0x0C);
    // pxlib cannot write BCD through its record API nor memos without a .MB file.
    std::erase_if(schema.fields, [](const FieldDef& f) {
      return f.type == FieldType::Memo || f.type == FieldType::Bcd;
    });
    schema.keyFieldCount = 0;
    std::vector<std::vector<Value>> rows;
    for (auto full : AllTypesRows(AllTypes(0x0C))) {
      full.erase(full.begin() + 12);  // Precis (BCD)
      full.erase(full.begin() + 6);   // Note (memo)
      rows.push_back(std::move(full));
    }
    const auto file = dir / "PXLIB.DB";
    {
      pxdoc_t* doc = PX_new();
      const int n = static_cast<int>(schema.fields.size());
      int recordSize = 0;
      pxfield_t* fields = testing::PxlibFields(doc, schema, recordSize);
      ASSERT_EQ(PX_create_file(doc, fields, n, file.c_str(), pxfFileTypNonIndexDB), 0);
      PX_set_parameter(doc, "tablename", "PXLIB");
      PX_set_value(doc, "codepage", static_cast<float>(codePage));
      std::vector<char> record(static_cast<std::size_t>(recordSize));
      for (const auto& row : rows) {
        std::fill(record.begin(), record.end(), 0);
        int offset = 0;
        for (int i = 0; i < n; ++i) {
          char* data = record.data() + offset;
          offset += fields[i].px_flen;
          const Value& v = row[static_cast<std::size_t>(i)];
          if (v.IsNull() || (v.GetKind() == Value::Kind::Text && v.AsText().empty())) continue;
          switch (static_cast<FieldType>(fields[i].px_ftype)) {
            case FieldType::Alpha: {
              std::string bytes = *Utf8ToCodePage(v.AsText(), codePage);
              PX_put_data_alpha(doc, data, fields[i].px_flen, bytes.data());
              break;
            }
            case FieldType::Bytes: {
              std::string bytes = v.AsText();
              bytes.resize(static_cast<std::size_t>(fields[i].px_flen));
              PX_put_data_bytes(doc, data, fields[i].px_flen, bytes.data());
              break;
            }
            case FieldType::Number:
            case FieldType::Currency:
            case FieldType::Timestamp:
              PX_put_data_double(doc, data, 8, v.AsFloat());
              break;
            case FieldType::Short:
              PX_put_data_short(doc, data, 2, static_cast<short>(v.AsInteger()));
              break;
            case FieldType::Logical:
              PX_put_data_byte(doc, data, 1, static_cast<char>(v.AsInteger()));
              break;
            default:
              PX_put_data_long(doc, data, 4, static_cast<int>(v.AsInteger()));
              break;
          }
        }
        ASSERT_GE(PX_put_record(doc, record.data()), 0);
      }
      PX_close(doc);
      PX_delete(doc);
    }
    if (codePage != 1252) testing::RenameLanguageDriver(file, "intl850");
    const auto table = Table::Open(file, Table::Access::ReadOnly);
    EXPECT_EQ(table->Schema().fileVersion, 0x0C);
    EXPECT_EQ(table->Schema().codePage, codePage);
    const auto read = ReadAllRows(*table);
    ASSERT_EQ(read.size(), rows.size());
    for (std::size_t r = 0; r < rows.size(); ++r) {
      for (std::size_t f = 0; f < schema.fields.size(); ++f) {
        SCOPED_TRACE("row " + std::to_string(r) + " field " + schema.fields[f].name);
        Value want = rows[r][f];
        if (want.GetKind() == Value::Kind::Text && want.AsText().empty()) want = Value();
        if (want.GetKind() == Value::Kind::Float) {
          EXPECT_EQ(std::bit_cast<std::uint64_t>(read[r][f].AsFloat()),
                    std::bit_cast<std::uint64_t>(want.AsFloat()));
        } else {
          EXPECT_EQ(read[r][f], want);
        }
      }
    }
  }
}

// CPMAIN shaped as the product has it (the demo base's: key, date, patient number, accented
// labels, seven amounts, total, a secondary index on the patient number): pxlib reads it as we
// do, and reads the amounts we rewrite in place.
TEST(PxlibPeerTest, PxlibReadsTheDemoCpMainAndOurCorrectionOfIt) {
  TemporaryDirectory dir;
  demo::DemoOptions options;
  options.directory = dir.Path();
  options.rows = 2000;
  demo::WriteDemoBase(options);
  const auto file = dir / "CPMAIN.DB";
  std::vector<std::vector<Value>> rows;
  TableSchema schema;
  {
    const auto table = Table::Open(file, Table::Access::ReadWrite);
    schema = table->Schema();
    rows = ReadAllRows(*table);
    ASSERT_EQ(rows.size(), 2000u);
    ExpectPxlibReads(file, schema, rows);
    int corrected = 0;
    for (auto& row : rows) {
      std::vector<Table::FieldChange> changes;
      for (int f = 4; f <= 10; ++f) {
        if (row[static_cast<std::size_t>(f)].AsFloat() >= 0) continue;
        row[static_cast<std::size_t>(f)] = Value::Float(0);
        changes.push_back({f, Value::Float(0)});
      }
      if (changes.empty()) continue;
      table->Update(*table->FindByKey(std::vector<Value>{row[0]}), changes);
      ++corrected;
    }
    EXPECT_GT(corrected, 0);
    EXPECT_EQ(ReadAllRows(*table), rows);
  }
  ExpectPxlibReads(file, schema, rows);
}

// BCD of every width: values that pxlib's writer encodes read as pxlib's reader reads them, and
// what we encode pxlib reads back. A real table holds 0.123, -0.123 and 0.9999 at 32 decimals.
// (pxlib's writer cuts digits off rather than rounding, and at 0 decimals writes 1 as 0: its
// bytes are still what its reader reads, which is what is compared.)
TEST(PxlibPeerTest, BcdOfEveryWidthReadsAsPxlibReadsIt) {
  const char* const values[] = {"0",          "0.123", "-0.123", "0.9999",   "-0.9999",    "12.5",
                                "-12345.678", "1",     "-1",     "0.000001", "98765432.1", "-0.5"};
  pxdoc_t* doc = PX_new();
  for (const int decimals : {0, 1, 2, 4, 8, 16, 20, 31, 32}) {
    FieldDef field = Field("Precis", FieldType::Bcd, 17, decimals);
    for (const char* value : values) {
      // A value needing more than 32 digits at this width is not one the field can hold.
      const double wanted = std::strtod(value, nullptr);
      if (std::fabs(wanted) >= std::pow(10.0, 32 - decimals)) continue;
      SCOPED_TRACE(std::to_string(decimals) + " decimals, " + value);
      std::string text = value;
      unsigned char bytes[17] = {};
      PX_put_data_bcd(doc, reinterpret_cast<char*>(bytes), decimals, text.data());
      char* read = nullptr;
      ASSERT_EQ(PX_get_data_bcd(doc, bytes, decimals, &read), 1);
      const double pxlibValue = std::strtod(read, nullptr);
      doc->free(doc, read);
      const Value ours = DecodeField(reinterpret_cast<const std::byte*>(bytes), field, 1252);
      EXPECT_EQ(ours.AsFloat(), pxlibValue);
      if (decimals == 32) {
        EXPECT_EQ(ours.AsFloat(), wanted);
      }

      std::byte encoded[17];
      EncodeField(Value::Float(wanted), field, 1252, encoded);
      ASSERT_EQ(PX_get_data_bcd(doc, reinterpret_cast<unsigned char*>(encoded), decimals, &read),
                1);
      // We round to the field's decimals where pxlib's writer cuts the digits off.
      char rounded[64];
      std::snprintf(rounded, sizeof rounded, "%.*f", decimals, wanted);
      EXPECT_EQ(std::strtod(read, nullptr), std::strtod(rounded, nullptr)) << read;
      doc->free(doc, read);
    }
  }
  PX_delete(doc);
}

}  // namespace
}  // namespace patchpav::paradox
