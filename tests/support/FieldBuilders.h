#pragma once

#include <string>

#include "engine/drivers/paradox/ParadoxTable.h"

namespace patchpav::testing {

// A field of a table to create; a size of 0 leaves the size to the type where it has one.
paradox::FieldDef Field(std::string name, paradox::FieldType type, int size = 0, int decimals = 0);

// What may differ between the CPMAIN tables of the tests.
struct CpMainShape {
  int labelSize = 0;  // the width of a trailing Alpha column "Libelle"; 0 for none
  // MontantSS2 may be made an integer column, which refuses a write of 19.5.
  paradox::FieldType secondAmount = paradox::FieldType::Number;
};

// CPMAIN as far as the tool is concerned: the key CPMain_ID, the seven amounts MontantSS1 to
// MontantSS7, and maybe a label.
paradox::TableSchema CpMainSchema(const CpMainShape& shape = {});

}  // namespace patchpav::testing
