#pragma once

// A demo Klinova SQL base laid out as the product has it: CPMAIN with accounting rows (some of
// them with the negative amounts that the correction repairs) and a secondary index on the
// patient number, VERSION, the five marker tables and the version file. Deterministic: the same
// options give the same bytes.

#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <vector>

#include "engine/core/Value.h"
#include "engine/drivers/paradox/ParadoxTable.h"

namespace patchpav::demo {

struct DemoOptions {
  std::filesystem::path directory;
  std::size_t rows = 1000;
  double negativeShare = 0.05;  // share of CPMAIN rows holding a negative amount
  int version = 430;            // VERSION of module DATABASE
  std::uint32_t seed = 1;
};

// CPMain_ID (key), DateActe, NoPatient, Libelle, MontantSS1..MontantSS7, Total.
paradox::TableSchema CpMainSchema();

// CPMAIN's rows, one at a time, in key order.
class CpMainRows {
 public:
  CpMainRows(std::size_t rows, double negativeShare, std::uint32_t seed);
  bool Next(std::vector<Value>& row);

 private:
  std::uint32_t Random();
  std::size_t rows_;
  std::size_t made_ = 0;
  std::uint32_t negativeThreshold_;
  std::uint64_t state_;
};

// CPMAIN.X03 and CPMAIN.Y03 beside CPMAIN.DB: a secondary index on NoPatient, which the
// correction must leave as it is (it covers no amount).
void WriteNoPatientIndex(const std::filesystem::path& directory);

void WriteDemoBase(const DemoOptions& options);

}  // namespace patchpav::demo
