#include "engine/core/Value.h"

#include <cerrno>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <limits>
#include <optional>

#include "engine/core/DecimalText.h"
#include "engine/core/Errors.h"

namespace patchpav {
namespace {

std::string_view TrimBlanks(std::string_view text) {
  while (!text.empty() && (text.front() == ' ' || text.front() == '\t')) text.remove_prefix(1);
  while (!text.empty() && (text.back() == ' ' || text.back() == '\t')) text.remove_suffix(1);
  return text;
}

std::int64_t ParseInteger(const std::string& text) {
  const std::string trimmed(TrimBlanks(text));
  const auto invalid = [&] {
    return EConvertError("'" + text + "' n'est pas une valeur entière correcte");
  };
  std::size_t i = 0;
  if (i < trimmed.size() && (trimmed[i] == '+' || trimmed[i] == '-')) ++i;
  if (i == trimmed.size()) throw invalid();
  for (std::size_t j = i; j < trimmed.size(); ++j) {
    if (trimmed[j] < '0' || trimmed[j] > '9') throw invalid();
  }
  errno = 0;
  const long long v = std::strtoll(trimmed.c_str(), nullptr, 10);
  if (errno == ERANGE) throw invalid();
  return v;
}

double ParseFloat(const std::string& text) {
  const std::optional<double> v = ParseDecimal(TrimBlanks(text));
  if (!v) throw EConvertError("'" + text + "' n'est pas une valeur décimale correcte");
  return *v;
}

}  // namespace

std::string Value::AsText() const {
  switch (GetKind()) {
    case Kind::Null:
      return {};
    case Kind::Integer:
      return std::to_string(std::get<std::int64_t>(data_));
    case Kind::Float: {
      char buffer[32];
      std::snprintf(buffer, sizeof buffer, "%.15g", std::get<double>(data_));
      return buffer;
    }
    case Kind::Text:
      return std::get<std::string>(data_);
  }
  return {};
}

std::int64_t Value::AsInteger() const {
  switch (GetKind()) {
    case Kind::Null:
      return 0;
    case Kind::Integer:
      return std::get<std::int64_t>(data_);
    case Kind::Float: {
      const double v = std::round(std::get<double>(data_));
      // 2^63 is exactly representable; anything at or beyond it does not fit.
      if (!(v >= -9223372036854775808.0 && v < 9223372036854775808.0)) {
        throw EConvertError("'" + AsText() + "' n'est pas une valeur entière correcte");
      }
      return static_cast<std::int64_t>(v);
    }
    case Kind::Text:
      return ParseInteger(std::get<std::string>(data_));
  }
  return 0;
}

double Value::AsFloat() const {
  switch (GetKind()) {
    case Kind::Null:
      return 0;
    case Kind::Integer:
      return static_cast<double>(std::get<std::int64_t>(data_));
    case Kind::Float:
      return std::get<double>(data_);
    case Kind::Text:
      return ParseFloat(std::get<std::string>(data_));
  }
  return 0;
}

}  // namespace patchpav
