#pragma once

// A table of every field type (those of level 4 only below level 5) and rows with edge values
// and blanks, shared by the round-trip and the pxlib peer tests.

#include <vector>

#include "engine/paradox/ParadoxTestSupport.h"

namespace patchpav::paradox::testing {

inline TableSchema AllTypes(int level) {
  TableSchema s;
  s.fileVersion = level;
  s.keyFieldCount = 1;
  s.fields = {Field("ID", level >= 0x0A ? FieldType::Long : FieldType::Short),
              Field("Libelle", FieldType::Alpha, 20),
              Field("Montant", FieldType::Number),
              Field("Total", FieldType::Currency),
              Field("Jour", FieldType::Date),
              Field("Petit", FieldType::Short),
              Field("Note", FieldType::Memo, 15)};
  if (level >= 0x0A) {
    s.fields.push_back(Field("Grand", FieldType::Long));
    s.fields.push_back(Field("Vrai", FieldType::Logical));
    s.fields.push_back(Field("Heure", FieldType::Time));
    s.fields.push_back(Field("Quand", FieldType::Timestamp));
    s.fields.push_back(Field("Compteur", FieldType::AutoIncrement));
    s.fields.push_back(Field("Precis", FieldType::Bcd, 0, 4));
    s.fields.push_back(Field("Octets", FieldType::Bytes, 6));
  }
  return s;
}

inline std::vector<std::vector<Value>> AllTypesRows(const TableSchema& s) {
  const bool level5 = s.fields.size() > 7;
  std::vector<std::vector<Value>> rows;
  const auto add = [&](std::vector<Value> common, std::vector<Value> extra) {
    if (level5) common.insert(common.end(), extra.begin(), extra.end());
    rows.push_back(std::move(common));
  };
  using V = Value;
  add({V::Integer(1), V::Text("Acte été"), V::Float(25), V::Float(-18), V::Integer(738945),
       V::Integer(-5), V::Text("court")},
      {V::Integer(-100000), V::Integer(1), V::Integer(49507250), V::Float(62135683200000.0),
       V::Integer(1), V::Float(123.45), V::Text("ab\x01")});
  add({V::Integer(2), V(), V(), V(), V(), V(), V()}, {V(), V(), V(), V(), V(), V(), V()});
  add({V::Integer(3), V::Text("ZZZZZZZZZZZZZZZZZZZZ"), V::Float(0.30000000000000004),
       V::Float(-1.7976931348623157e308), V::Integer(1), V::Integer(32767), V::Text("")},
      {V::Integer(2147483647), V::Integer(0), V::Integer(0), V::Float(1e-300), V::Integer(7),
       V::Float(-0.5), V::Text("xyz")});
  add({V::Integer(4), V::Text("x"), V::Float(0), V::Float(1e-300), V::Integer(3652059),
       V::Integer(-32767), V()},
      {V::Integer(-2147483647), V(), V(), V(), V(), V::Float(99999999.9999), V()});
  return rows;
}

}  // namespace patchpav::paradox::testing
