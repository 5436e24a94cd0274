#include "correction/RowKey.h"

#include <cmath>
#include <string>

namespace patchpav {
namespace {

// Floats hold every integer exactly up to 2^53; beyond, a value may stand for several keys.
constexpr double kExactIntegers = 9007199254740992.0;

std::optional<std::int64_t> CanonicalInteger(const std::string& text) {
  const std::size_t digits = text.starts_with('-') ? 1 : 0;
  if (text.size() == digits || text.size() - digits > 18) return std::nullopt;
  if (text[digits] == '0' && text.size() > digits + 1) return std::nullopt;
  std::int64_t value = 0;
  for (std::size_t i = digits; i < text.size(); ++i) {
    if (text[i] < '0' || text[i] > '9') return std::nullopt;
    value = value * 10 + (text[i] - '0');
  }
  if (digits == 1 && value == 0) return std::nullopt;  // "-0"
  return digits == 1 ? -value : value;
}

}  // namespace

std::optional<std::int64_t> RowKeyOf(const Value& key) {
  switch (key.GetKind()) {
    case Value::Kind::Integer:
      return key.AsInteger();
    case Value::Kind::Float: {
      const double number = key.AsFloat();
      if (!std::isfinite(number) || std::trunc(number) != number ||
          std::fabs(number) >= kExactIntegers) {
        return std::nullopt;
      }
      return static_cast<std::int64_t>(number);
    }
    case Value::Kind::Text:
      return CanonicalInteger(key.AsText());
    case Value::Kind::Null:
      break;
  }
  return std::nullopt;
}

}  // namespace patchpav
