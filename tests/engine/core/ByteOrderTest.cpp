// Each width and byte order against the bytes written out by hand, at an odd address so that an
// aligned-only load would be caught by the sanitizers.

#include "engine/core/ByteOrder.h"

#include <gtest/gtest.h>

#include <array>
#include <cstdint>
#include <vector>

namespace patchpav {
namespace {

struct Case {
  std::uint64_t value;
  std::vector<unsigned> big;  // the value's bytes, most significant first
};

std::array<std::byte, 9> Unaligned(const std::vector<unsigned>& bytes) {
  std::array<std::byte, 9> buffer{};
  for (std::size_t i = 0; i < bytes.size(); ++i) buffer[i + 1] = std::byte(bytes[i]);
  return buffer;
}

std::vector<unsigned> Reversed(std::vector<unsigned> bytes) {
  return {bytes.rbegin(), bytes.rend()};
}

std::vector<unsigned> BytesAt(const std::byte* p, std::size_t n) {
  std::vector<unsigned> out;
  for (std::size_t i = 0; i < n; ++i) out.push_back(std::to_integer<unsigned>(p[i]));
  return out;
}

TEST(ByteOrderTest, LoadsAndStoresEachWidthInEachOrder) {
  const Case cases[] = {
      {0x0000, {0x00, 0x00}},
      {0x8001, {0x80, 0x01}},
      {0x12FE, {0x12, 0xFE}},
      {0x00000000, {0x00, 0x00, 0x00, 0x00}},
      {0x80000001, {0x80, 0x00, 0x00, 0x01}},
      {0x0102A3F4, {0x01, 0x02, 0xA3, 0xF4}},
      {0x0000000000000000, {0, 0, 0, 0, 0, 0, 0, 0}},
      {0xC08F400000000000, {0xC0, 0x8F, 0x40, 0x00, 0x00, 0x00, 0x00, 0x00}},
      {0x0102030405060780, {0x01, 0x02, 0x03, 0x04, 0x05, 0x06, 0x07, 0x80}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.value);
    const std::size_t n = c.big.size();
    const auto big = Unaligned(c.big);
    const auto little = Unaligned(Reversed(c.big));
    std::array<std::byte, 9> stored{};
    switch (n) {
      case 2:
        EXPECT_EQ(LoadBigEndian16(big.data() + 1), c.value);
        EXPECT_EQ(LoadLittleEndian16(little.data() + 1), c.value);
        StoreBigEndian16(stored.data() + 1, static_cast<std::uint16_t>(c.value));
        EXPECT_EQ(BytesAt(stored.data() + 1, n), c.big);
        StoreLittleEndian16(stored.data() + 1, static_cast<std::uint16_t>(c.value));
        EXPECT_EQ(BytesAt(stored.data() + 1, n), Reversed(c.big));
        break;
      case 4:
        EXPECT_EQ(LoadBigEndian32(big.data() + 1), c.value);
        EXPECT_EQ(LoadLittleEndian32(little.data() + 1), c.value);
        StoreBigEndian32(stored.data() + 1, static_cast<std::uint32_t>(c.value));
        EXPECT_EQ(BytesAt(stored.data() + 1, n), c.big);
        StoreLittleEndian32(stored.data() + 1, static_cast<std::uint32_t>(c.value));
        EXPECT_EQ(BytesAt(stored.data() + 1, n), Reversed(c.big));
        break;
      default:
        EXPECT_EQ(LoadBigEndian64(big.data() + 1), c.value);
        StoreBigEndian64(stored.data() + 1, c.value);
        EXPECT_EQ(BytesAt(stored.data() + 1, n), c.big);
        break;
    }
    EXPECT_EQ(LoadBigEndian(big.data() + 1, static_cast<int>(n)), c.value);
    // A store writes its own bytes only.
    EXPECT_EQ(stored[0], std::byte{0});
  }
}

// Short keys read as integers order as their bytes do, whatever their length.
TEST(ByteOrderTest, ShortBigEndianPrefixes) {
  const auto bytes = Unaligned({0xFF, 0x01, 0x80, 0x00, 0x7F, 0x10, 0x20, 0x30});
  const std::uint64_t expected[] = {
      0xFF,         0xFF01,         0xFF0180,         0xFF018000,
      0xFF0180007F, 0xFF0180007F10, 0xFF0180007F1020, 0xFF0180007F102030};
  for (int size = 1; size <= 8; ++size) {
    EXPECT_EQ(LoadBigEndian(bytes.data() + 1, size), expected[size - 1]) << size;
  }
}

}  // namespace
}  // namespace patchpav
