#include "engine/core/DecimalText.h"

#include <algorithm>
#include <charconv>
#include <string>
#include <system_error>

namespace patchpav {
namespace {

bool IsDigit(char c) { return c >= '0' && c <= '9'; }

// libstdc++ reads a text whose digits make a whole number m below 2^53 and whose exponent n lies
// in 1..22 as m * 10^n in floating point (its other paths use integers only). The shipped 32-bit
// runtime does that multiply on the x87 unit, which rounds to 64 bits and then to 53, and lands
// one unit in the last place away from the native build for about one such text in ten thousand
// ("9580951e18"). The same number spelled as a whole number has exponent 0 and takes the integer
// paths, so the text is respelled thus when its exponent is positive; nullopt when it is not.
std::optional<std::string> WithoutPositiveExponent(std::string_view text) {
  std::size_t i = 0;
  const std::size_t n = text.size();
  if (i < n && text[i] == '-') ++i;
  const std::size_t first = i;
  while (i < n && IsDigit(text[i])) ++i;
  const std::size_t point = i;
  if (i < n && text[i] == '.') {
    ++i;
    while (i < n && IsDigit(text[i])) ++i;
  }
  const std::size_t mantissaEnd = i;
  if (i == first || (i == first + 1 && text[first] == '.')) return std::nullopt;
  if (i == n || (text[i] != 'e' && text[i] != 'E')) return std::nullopt;
  ++i;
  bool negativeExponent = false;
  if (i < n && (text[i] == '+' || text[i] == '-')) negativeExponent = text[i++] == '-';
  if (i == n) return std::nullopt;
  // Beyond this the value overflows, or is zero whatever the exponent; from_chars says which.
  constexpr long kLargest = 400;
  long exponent = 0;
  for (; i < n && IsDigit(text[i]); ++i) {
    exponent = std::min(exponent * 10 + (text[i] - '0'), 100 * kLargest);
  }
  if (i != n) return std::nullopt;
  const long fractionDigits = static_cast<long>(mantissaEnd - std::min(point + 1, mantissaEnd));
  const long shift = (negativeExponent ? -exponent : exponent) - fractionDigits;
  if (shift < 1 || shift > kLargest) return std::nullopt;
  std::string whole(text.substr(0, point));
  if (point < mantissaEnd) whole += text.substr(point + 1, mantissaEnd - point - 1);
  whole.append(static_cast<std::size_t>(shift), '0');
  return whole;
}

}  // namespace

std::optional<double> ParseDecimal(std::string_view text) {
  // strtod took a leading '+', from_chars takes only '-'.
  if (text.size() > 1 && text[0] == '+' && text[1] != '+' && text[1] != '-') text.remove_prefix(1);
  const std::optional<std::string> respelled = WithoutPositiveExponent(text);
  if (respelled) text = *respelled;
  double value = 0;
  const char* const end = text.data() + text.size();
  const auto [stop, error] = std::from_chars(text.data(), end, value);
  if (error != std::errc() || stop != end) return std::nullopt;
  return value;
}

}  // namespace patchpav
