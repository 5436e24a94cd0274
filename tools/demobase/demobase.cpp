// demobase: the Paradox base of the demo, and a look at its accounting rows.
//
//   demobase make DIR ROWS NEGATIVE_PER_THOUSAND VERSION
//       writes VARDOMEX.VER, VERSION.DB and CPMAIN.DB into DIR; about NEGATIVE_PER_THOUSAND rows
//       in a thousand carry the "-18" amount, one in ten of those a second negative amount.
//   demobase negatives DIR      prints the rows that hold a negative amount
//   demobase show DIR ID...     prints the rows with these keys
// Rows are printed as "CPMain_ID;MontantSS1;...;MontantSS7".

#include <cstdio>
#include <cstdlib>
#include <exception>
#include <filesystem>
#include <fstream>
#include <set>
#include <string>
#include <vector>

#include "engine/drivers/paradox/ParadoxTable.h"

namespace {

using patchpav::Value;
using patchpav::paradox::FieldDef;
using patchpav::paradox::FieldType;
using patchpav::paradox::Table;
using patchpav::paradox::TableSchema;

void Make(const std::filesystem::path& directory, long rows, long perThousand, int version) {
  std::filesystem::create_directories(directory);
  std::ofstream(directory / "VARDOMEX.VER", std::ios::binary) << "[DBKERNEL]\r\nDBType=1\r\n";

  TableSchema versionSchema;
  versionSchema.fields.push_back(FieldDef{.name = "MODULE", .type = FieldType::Alpha, .size = 20});
  versionSchema.fields.push_back(FieldDef{.name = "VERSION", .type = FieldType::Long, .size = 4});
  std::vector<std::vector<Value>> versionRows{{Value::Text("DATABASE"), Value::Integer(version)}};
  Table::Create(directory / "VERSION.DB", versionSchema, versionRows, true);

  TableSchema cpMain;
  cpMain.fields.push_back(FieldDef{.name = "CPMain_ID", .type = FieldType::Long, .size = 4});
  for (int i = 1; i <= 7; ++i) {
    cpMain.fields.push_back(
        FieldDef{.name = "MontantSS" + std::to_string(i), .type = FieldType::Number, .size = 8});
  }
  cpMain.fields.push_back(FieldDef{.name = "Libelle", .type = FieldType::Alpha, .size = 30});
  cpMain.keyFieldCount = 1;

  std::vector<std::vector<Value>> cpRows;
  cpRows.reserve(static_cast<size_t>(rows));
  std::uint32_t state = 12345;
  auto random = [&state] {
    state = state * 1103515245u + 12345u;
    return (state >> 8) % 1000;
  };
  for (long id = 1; id <= rows; ++id) {
    std::vector<Value> row{Value::Integer(id)};
    double amounts[7] = {23.0 + static_cast<double>(id % 5), 0, 0, 0, 0, 0, 0};
    if (id % 3 == 0) amounts[1] = 12.5;
    if (random() < static_cast<std::uint32_t>(perThousand)) {
      amounts[2] = -18;  // the care-pathway act after which "PAV" was placed
      if (random() < 100) amounts[4] = -5;
    }
    for (double amount : amounts) row.push_back(Value::Float(amount));
    row.push_back(Value::Text("Consultation " + std::to_string(id)));
    cpRows.push_back(std::move(row));
  }
  Table::Create(directory / "CPMAIN.DB", cpMain, cpRows, true);
}

void Print(const std::filesystem::path& directory, bool negativesOnly, const std::set<long>& keys) {
  auto table = Table::Open(directory / "CPMAIN.DB", Table::Access::ReadOnly);
  table->ForEachBlock([&](const std::byte* records, std::size_t count, auto) {
    for (std::size_t i = 0; i < count; ++i) {
      const std::byte* record = records + i * static_cast<std::size_t>(table->RecordSize());
      long id = static_cast<long>(table->Decode(record, 0).AsInteger());
      double amounts[7];
      bool negative = false;
      for (int f = 0; f < 7; ++f) {
        amounts[f] = table->DecodeDouble(record, f + 1);
        negative = negative || amounts[f] < 0;
      }
      if (negativesOnly ? !negative : keys.count(id) == 0) continue;
      std::printf("%ld", id);
      for (double amount : amounts) std::printf(";%g", amount);
      std::printf("\n");
    }
  });
}

}  // namespace

int main(int argc, char** argv) {
  try {
    std::string command = argc > 2 ? argv[1] : "";
    if (command == "make" && argc == 6) {
      Make(argv[2], std::atol(argv[3]), std::atol(argv[4]), std::atoi(argv[5]));
    } else if (command == "negatives" && argc == 3) {
      Print(argv[2], true, {});
    } else if (command == "show" && argc >= 3) {
      std::set<long> keys;
      for (int i = 3; i < argc; ++i) keys.insert(std::atol(argv[i]));
      Print(argv[2], false, keys);
    } else {
      std::fprintf(stderr,
                   "usage: demobase make DIR ROWS NEGATIVE_PER_THOUSAND VERSION\n"
                   "       demobase negatives DIR\n       demobase show DIR ID...\n");
      return 2;
    }
  } catch (const std::exception& e) {
    std::fprintf(stderr, "demobase: %s\n", e.what());
    return 1;
  }
  return 0;
}
