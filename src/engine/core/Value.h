#pragma once

#include <cstdint>
#include <string>
#include <variant>

namespace patchpav {

// One field value or parameter value as the engine passes it between drivers and callers. A
// value-less field (a blank Paradox field, an SQL NULL) is the null value, which reads as 0.
class Value {
 public:
  enum class Kind { Null, Integer, Float, Text };

  Value() = default;
  static Value Integer(std::int64_t v) { return Value(v); }
  static Value Float(double v) { return Value(v); }
  static Value Text(std::string v) { return Value(std::move(v)); }

  Kind GetKind() const { return static_cast<Kind>(data_.index()); }
  bool IsNull() const { return data_.index() == 0; }

  // Null reads as an empty text; an integer in decimal digits; a float in the general format with
  // up to 15 significant digits and a full stop as decimal separator.
  std::string AsText() const;
  // Null reads as 0; a float is rounded to the nearest integer; a text must be a decimal integer
  // (optional sign, blanks around it allowed), else EConvertError
  // "'<text>' n'est pas une valeur entière correcte". Out of range is an EConvertError too.
  std::int64_t AsInteger() const;
  // Null reads as 0; a text must be a decimal number, else EConvertError
  // "'<text>' n'est pas une valeur décimale correcte".
  double AsFloat() const;

  friend bool operator==(const Value&, const Value&) = default;

 private:
  explicit Value(std::int64_t v) : data_(v) {}
  explicit Value(double v) : data_(v) {}
  explicit Value(std::string v) : data_(std::move(v)) {}
  std::variant<std::monostate, std::int64_t, double, std::string> data_;
};

}  // namespace patchpav
