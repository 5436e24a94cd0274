#include "support/StoredDouble.h"

#include <bit>
#include <cstdint>

namespace patchpav::testing {

std::string StoredDouble(double value) {
  std::uint64_t bits = std::bit_cast<std::uint64_t>(value);
  bits = (bits >> 63) != 0 ? ~bits : bits | (std::uint64_t{1} << 63);
  std::string bytes(8, '\0');
  for (int i = 0; i < 8; ++i) bytes[i] = static_cast<char>(bits >> (56 - 8 * i));
  return bytes;
}

}  // namespace patchpav::testing
