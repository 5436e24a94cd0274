#include "support/FieldBuilders.h"

#include <utility>

namespace patchpav::testing {

using paradox::FieldType;

paradox::FieldDef Field(std::string name, FieldType type, int size, int decimals) {
  paradox::FieldDef field;
  field.name = std::move(name);
  field.type = type;
  field.size = size;
  field.decimals = decimals;
  return field;
}

paradox::TableSchema CpMainSchema(const CpMainShape& shape) {
  paradox::TableSchema schema;
  schema.fields.push_back(Field("CPMain_ID", FieldType::Long, 4));
  for (int i = 1; i <= 7; ++i) {
    const FieldType type = i == 2 ? shape.secondAmount : FieldType::Number;
    schema.fields.push_back(
        Field("MontantSS" + std::to_string(i), type, type == FieldType::Long ? 4 : 8));
  }
  if (shape.labelSize > 0)
    schema.fields.push_back(Field("Libelle", FieldType::Alpha, shape.labelSize));
  schema.keyFieldCount = 1;
  return schema;
}

}  // namespace patchpav::testing
