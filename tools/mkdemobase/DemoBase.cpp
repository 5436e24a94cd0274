#include "mkdemobase/DemoBase.h"

#include <algorithm>
#include <array>
#include <fstream>
#include <iterator>
#include <string>

#include "engine/core/ByteOrder.h"

namespace patchpav::demo {
namespace {

using paradox::FieldDef;
using paradox::FieldType;
using paradox::Table;
using paradox::TableSchema;

constexpr std::int64_t kFirstDay = 738886;  // 2024-01-01 as a Paradox day number
constexpr int kAmounts = 7;

FieldDef Field(std::string name, FieldType type, int size = 0) {
  FieldDef f;
  f.name = std::move(name);
  f.type = type;
  f.size = size;
  return f;
}

void WriteSmallTable(const std::filesystem::path& file, TableSchema schema,
                     const std::vector<std::vector<Value>>& rows) {
  Table::Create(file, schema, rows, true);
}

std::string ReadFile(const std::filesystem::path& file) {
  std::ifstream in(file, std::ios::binary);
  return {std::istreambuf_iterator<char>(in), {}};
}

void WriteFile(const std::filesystem::path& file, const std::string& bytes) {
  std::ofstream(file, std::ios::binary | std::ios::trunc) << bytes;
}

}  // namespace

void WriteNoPatientIndex(const std::filesystem::path& directory) {
  struct Entry {
    std::int64_t patient;
    std::int64_t id;
    std::uint16_t block;
  };
  std::vector<Entry> entries;
  {
    const auto table = Table::Open(directory / "CPMAIN.DB", Table::Access::ReadOnly);
    const int patient = table->Schema().FindField("NoPatient").value();
    entries.reserve(table->RecordCount());
    table->ForEachBlock(
        [&](const std::byte* records, std::size_t count, paradox::RecordLocator first) {
          for (std::size_t i = 0; i < count; ++i) {
            const std::byte* record = records + i * static_cast<std::size_t>(table->RecordSize());
            entries.push_back({table->Decode(record, patient).AsInteger(),
                               table->Decode(record, 0).AsInteger(), first.block});
          }
        });
  }
  std::sort(entries.begin(), entries.end(), [](const Entry& a, const Entry& b) {
    return a.patient != b.patient ? a.patient < b.patient : a.id < b.id;
  });
  // The index is written as a keyed table of its own (its .PX is the .Y03), in a directory of
  // its own so that its primary index does not land on CPMAIN.PX, then given its place.
  TableSchema index;
  index.keyFieldCount = 2;
  index.fields = {Field("NoPatient", FieldType::Long), Field("CPMain_ID", FieldType::Long),
                  Field("Hint", FieldType::Short)};
  std::vector<std::vector<Value>> rows;
  rows.reserve(entries.size());
  for (const Entry& e : entries) {
    // The hint is the record's block, kept as an unsigned 16-bit number; the one block number
    // whose bytes would read as blank is left blank (a hint only spares the engine a search).
    const auto hint = static_cast<std::int16_t>(e.block);
    std::vector<Value>& row = rows.emplace_back(3);
    row[0] = Value::Integer(e.patient);
    row[1] = Value::Integer(e.id);
    if (hint != -32768) row[2] = Value::Integer(hint);
  }
  const std::filesystem::path work = directory / "~INDEX";
  std::filesystem::create_directories(work);
  Table::Create(work / "X03.DB", index, rows, true);
  std::string x = ReadFile(work / "X03.DB");
  std::string y = ReadFile(work / "X03.PX");
  std::filesystem::remove_all(work);
  // X03: a non-incrementing secondary index file on DB field 3, which its field numbers list
  // first; Y03: the index of its blocks.
  x[0x04] = 3;
  x[0x15] = 3;
  const std::size_t fieldNumbers =
      LoadLittleEndian16(reinterpret_cast<const std::byte*>(x.data()) + 0x66) + 0x58u;
  x[fieldNumbers] = 3;
  x[fieldNumbers + 1] = 0;
  y[0x04] = 4;
  WriteFile(directory / "CPMAIN.X03", x);
  WriteFile(directory / "CPMAIN.Y03", y);
}

TableSchema CpMainSchema() {
  TableSchema s;
  s.keyFieldCount = 1;
  s.fields = {Field("CPMain_ID", FieldType::Long), Field("DateActe", FieldType::Date),
              Field("NoPatient", FieldType::Long), Field("Libelle", FieldType::Alpha, 30)};
  for (int i = 1; i <= kAmounts; ++i) {
    s.fields.push_back(Field("MontantSS" + std::to_string(i), FieldType::Number));
  }
  s.fields.push_back(Field("Total", FieldType::Currency));
  return s;
}

CpMainRows::CpMainRows(std::size_t rows, double negativeShare, std::uint32_t seed)
    : rows_(rows),
      negativeThreshold_(static_cast<std::uint32_t>(std::clamp(negativeShare, 0.0, 1.0) * 1000000)),
      state_(seed * 0x9E3779B97F4A7C15ull + 1) {}

// A fixed generator (not a library distribution) so every platform makes the same base.
std::uint32_t CpMainRows::Random() {
  state_ ^= state_ << 13;
  state_ ^= state_ >> 7;
  state_ ^= state_ << 17;
  return static_cast<std::uint32_t>(state_ >> 16);
}

bool CpMainRows::Next(std::vector<Value>& row) {
  if (made_ == rows_) return false;
  ++made_;
  static constexpr std::array<double, 6> kFees = {25, 30, 23, 26.5, 46, 50};
  static constexpr std::array<const char*, 5> kLabels = {"Consultation", "Visite à domicile",
                                                         "Acte technique", "Séance", "Majoration"};
  std::array<double, kAmounts> amounts{};
  std::array<bool, kAmounts> blank{};
  const char* label = kLabels[Random() % kLabels.size()];
  if (Random() % 1000000 < negativeThreshold_) {
    // The four kinds of rows the deduction of 18 € leaves behind.
    switch (Random() % 4) {
      case 0:  // an act absorbs it
        amounts = {25, -18};
        break;
      case 1:  // on the care-pathway act, which has no value
        amounts = {-18};
        label = "Parcours de soins";
        break;
      case 2:  // two negative amounts
        amounts = {-18, 30, -5};
        break;
      default:  // the whole row is negative
        amounts = {10, -18, 5};
        break;
    }
  } else {
    amounts[0] = kFees[Random() % kFees.size()];
    if (Random() % 4 == 0) amounts[1] = 7.5;
  }
  // Older rows leave the last amounts blank rather than zero.
  if (Random() % 3 == 0) blank[4] = blank[5] = blank[6] = true;
  double total = 0;
  row.assign(12, Value());  // the fields of CpMainSchema()
  row[0] = Value::Integer(static_cast<std::int64_t>(made_));
  row[1] = Value::Integer(kFirstDay + static_cast<std::int64_t>(made_ % 700));
  row[2] = Value::Integer(1 + Random() % 5000);
  row[3] = Value::Text(label);
  for (int i = 0; i < kAmounts; ++i) {
    total += amounts[static_cast<std::size_t>(i)];
    if (!blank[static_cast<std::size_t>(i)] || amounts[static_cast<std::size_t>(i)] != 0) {
      row[4 + static_cast<std::size_t>(i)] = Value::Float(amounts[static_cast<std::size_t>(i)]);
    }
  }
  row[11] = Value::Float(total);
  return true;
}

void WriteDemoBase(const DemoOptions& options) {
  const auto& dir = options.directory;
  std::filesystem::create_directories(dir);

  CpMainRows cpMain(options.rows, options.negativeShare, options.seed);
  Table::CreateStreaming(
      dir / "CPMAIN.DB", CpMainSchema(), [&](std::vector<Value>& row) { return cpMain.Next(row); },
      true);
  WriteNoPatientIndex(dir);

  TableSchema version;
  version.fields = {Field("MODULE", FieldType::Alpha, 20), Field("VERSION", FieldType::Number)};
  WriteSmallTable(dir / "VERSION.DB", version,
                  {{Value::Text("DATABASE"), Value::Float(options.version)}});

  TableSchema metaTable;
  metaTable.fields = {Field("TableName", FieldType::Alpha, 32),
                      Field("Description", FieldType::Alpha, 60)};
  WriteSmallTable(dir / "metatable.db", metaTable,
                  {{Value::Text("CPMAIN"), Value::Text("Comptabilité")},
                   {Value::Text("VERSION"), Value::Text("Version de la base")}});
  TableSchema metaField;
  metaField.fields = {Field("TableName", FieldType::Alpha, 32),
                      Field("FieldName", FieldType::Alpha, 32)};
  std::vector<std::vector<Value>> fields;
  for (const FieldDef& f : CpMainSchema().fields)
    fields.push_back({Value::Text("CPMAIN"), Value::Text(f.name)});
  WriteSmallTable(dir / "metafield.db", metaField, fields);
  TableSchema tableLink;
  tableLink.fields = {Field("Source", FieldType::Alpha, 32), Field("Target", FieldType::Alpha, 32)};
  WriteSmallTable(dir / "tablelink.db", tableLink,
                  {{Value::Text("CPMAIN"), Value::Text("patients")}});
  TableSchema patients;
  patients.keyFieldCount = 1;
  patients.fields = {Field("NoPatient", FieldType::Long), Field("Nom", FieldType::Alpha, 30),
                     Field("Prenom", FieldType::Alpha, 30)};
  WriteSmallTable(dir / "patients.db", patients,
                  {{Value::Integer(1), Value::Text("Martin"), Value::Text("Hélène")},
                   {Value::Integer(2), Value::Text("Bernard"), Value::Text("François")}});
  TableSchema doctors;
  doctors.keyFieldCount = 1;
  doctors.fields = {Field("NoMedecin", FieldType::Long), Field("Nom", FieldType::Alpha, 30)};
  WriteSmallTable(dir / "medecins.db", doctors, {{Value::Integer(1), Value::Text("Dr Lefèvre")}});

  std::ofstream ver(dir / "VARDOMEX.VER", std::ios::binary | std::ios::trunc);
  ver << "[DBKERNEL]\r\nDBType=1\r\n";
}

}  // namespace patchpav::demo
