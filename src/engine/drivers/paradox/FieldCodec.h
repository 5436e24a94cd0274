#pragma once

// The byte encodings of Paradox field values. Numbers are stored so that memcmp order is numeric
// order: integers big-endian with the sign bit flipped, doubles big-endian with the sign bit set
// for positives and every bit inverted for negatives. All-zero bytes are a blank (null) field.

#include <cstddef>
#include <cstdint>
#include <cstring>
#include <optional>
#include <string>

#include "engine/core/ByteOrder.h"
#include "engine/core/Value.h"
#include "engine/drivers/paradox/ParadoxTable.h"

namespace patchpav::paradox {

inline bool IsBlankBytes(const std::byte* p, int size) {
  for (int i = 0; i < size; ++i) {
    if (p[i] != std::byte{0}) return false;
  }
  return true;
}

// A Number, Currency or Timestamp field as a double; blank reads as 0.
inline double DecodeDoubleBytes(const std::byte* p) {
  std::uint64_t bits = LoadBigEndian64(p);
  if (bits == 0) return 0.0;
  bits = (bits & 0x8000000000000000ull) ? bits & 0x7FFFFFFFFFFFFFFFull : ~bits;
  double value;
  std::memcpy(&value, &bits, sizeof value);
  return value;
}

inline void EncodeDoubleBytes(double value, std::byte* out) {
  if (value == 0.0) value = 0.0;  // -0.0 becomes +0.0, so that zero never reads as negative
  std::uint64_t bits;
  std::memcpy(&bits, &value, sizeof bits);
  bits = (bits & 0x8000000000000000ull) ? ~bits : bits | 0x8000000000000000ull;
  StoreBigEndian64(out, bits);
}

// The bytes a field of this type takes in a record, from its descriptor's size byte; nullopt for
// an unknown type or a size the type cannot have.
std::optional<int> StoredFieldSize(std::uint8_t type, std::uint8_t sizeByte);

// One field's value: the null value for a blank field. Throws EDatabaseError for bytes that no
// value encodes (a BCD value whose first digit is above 9 or whose first byte lacks its marker
// bit, text in a code page we do not know).
Value DecodeField(const std::byte* p, const FieldDef& field, int codePage);

// Writes field.size bytes at out. Throws EDatabaseError naming what the type cannot hold (the
// caller adds the table and field). The null value and the empty text give a blank.
void EncodeField(const Value& value, const FieldDef& field, int codePage, std::byte* out);

}  // namespace patchpav::paradox
