// demobase: a look at the accounting rows of a base (the demo writes the base with mkdemobase).
//
//   demobase negatives DIR      prints the rows that hold a negative amount
//   demobase show DIR ID...     prints the rows with these keys
// Rows are printed as "CPMain_ID;MontantSS1;...;MontantSS7".

#include <cstdio>
#include <cstdlib>
#include <exception>
#include <filesystem>
#include <set>
#include <stdexcept>
#include <string>

#include "engine/drivers/paradox/ParadoxTable.h"

namespace {

using patchpav::paradox::Table;

void Print(const std::filesystem::path& directory, bool negativesOnly, const std::set<long>& keys) {
  auto table = Table::Open(directory / "CPMAIN.DB", Table::Access::ReadOnly);
  // Columns by name: the base may hold more columns than the key and the amounts.
  const auto column = [&](const std::string& name) {
    const auto index = table->Schema().FindField(name);
    if (!index) throw std::runtime_error("CPMAIN has no column " + name);
    return *index;
  };
  const int keyColumn = column("CPMain_ID");
  int amountColumns[7];
  for (int f = 0; f < 7; ++f) amountColumns[f] = column("MontantSS" + std::to_string(f + 1));
  table->ForEachBlock([&](const std::byte* records, std::size_t count, auto) {
    for (std::size_t i = 0; i < count; ++i) {
      const std::byte* record = records + i * static_cast<std::size_t>(table->RecordSize());
      long id = static_cast<long>(table->Decode(record, keyColumn).AsInteger());
      double amounts[7];
      bool negative = false;
      for (int f = 0; f < 7; ++f) {
        amounts[f] = table->Decode(record, amountColumns[f]).AsFloat();  // blank reads as 0
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
    if (command == "negatives" && argc == 3) {
      Print(argv[2], true, {});
    } else if (command == "show" && argc >= 3) {
      std::set<long> keys;
      for (int i = 3; i < argc; ++i) keys.insert(std::atol(argv[i]));
      Print(argv[2], false, keys);
    } else {
      std::fprintf(stderr, "usage: demobase negatives DIR\n       demobase show DIR ID...\n");
      return 2;
    }
  } catch (const std::exception& e) {
    std::fprintf(stderr, "demobase: %s\n", e.what());
    return 1;
  }
  return 0;
}
