#pragma once

// The field list that pxlib's PX_create_file takes for one of our schemas, for the tests that
// have pxlib write a table.

extern "C" {
#include <paradox.h>
}

#include "engine/drivers/paradox/ParadoxTable.h"

namespace patchpav::paradox::testing {

// Allocated with the document's allocator, which frees it with the document; recordSize gets the
// length of a record.
inline pxfield_t* PxlibFields(pxdoc_t* doc, const TableSchema& schema, int& recordSize) {
  const std::size_t n = schema.fields.size();
  auto* fields = static_cast<pxfield_t*>(doc->malloc(doc, sizeof(pxfield_t) * n, "test"));
  recordSize = 0;
  for (std::size_t i = 0; i < n; ++i) {
    const FieldDef& f = schema.fields[i];
    int length = f.size;  // Alpha, Bytes and the BLOb family: as the schema says
    switch (f.type) {
      case FieldType::Short:
        length = 2;
        break;
      case FieldType::Logical:
        length = 1;
        break;
      case FieldType::Number:
      case FieldType::Currency:
      case FieldType::Timestamp:
        length = 8;
        break;
      case FieldType::Date:
      case FieldType::Long:
      case FieldType::Time:
      case FieldType::AutoIncrement:
        length = 4;
        break;
      default:
        break;
    }
    fields[i].px_fname = PX_strdup(doc, f.name.c_str());
    fields[i].px_ftype = static_cast<char>(f.type);
    fields[i].px_flen = length;
    fields[i].px_fdc = 0;
    recordSize += length;
  }
  return fields;
}

}  // namespace patchpav::paradox::testing
