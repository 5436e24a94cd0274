// Decimal text reads as the same double in every build: the native one, the 64-bit Windows test
// bed and the shipped 32-bit executable. Each build reads the same seeded texts and must reach
// the digest written below, computed once by the native build (where every text also reads as
// glibc's strtod reads it).

#include "engine/core/DecimalText.h"

#include <gtest/gtest.h>

#include <bit>
#include <cstdint>
#include <optional>
#include <string>

#include "support/SeededDigest.h"

namespace patchpav {
namespace {

using testing::Digest;
using testing::Hex;
using testing::SplitMix64;

constexpr std::uint64_t kRefused = 0xFFFF'0000'DEAD'BEEFu;  // no double has these bits here

std::uint64_t Bits(const std::optional<double>& value) {
  return value ? std::bit_cast<std::uint64_t>(*value) : kRefused;
}

TEST(DecimalText, FormsReadOrAreRefusedWhole) {
  struct Case {
    const char* text;
    std::optional<double> expected;
  } cases[] = {
      {"18", 18.0},
      {"-18.5", -18.5},
      {"+7", 7.0},
      {".5", 0.5},
      {"5.", 5.0},
      {"0.1", 0.1},
      {"2.50e3", 2500.0},
      {"1.5E1", 15.0},
      {"-12.5e+3", -12500.0},
      {"1e22", 1e22},
      {"0e5", 0.0},
      {"123e-2", 1.23},
      // Read by the runtime's x87 multiply this lands one unit in the last place too low.
      {"9580951e18", 0x1.fb36193e67827p+82},
      {"1.7976931348623157e308", 0x1.fffffffffffffp+1023},
      {"4.9e-324", 0x0.0000000000001p-1022},
      {"1e309", std::nullopt},
      {"1e-400", std::nullopt},
      {"+-7", std::nullopt},
      {"--7", std::nullopt},
      {"", std::nullopt},
      {".", std::nullopt},
      {"1e", std::nullopt},
      {"1.5e+", std::nullopt},
      {"1,5", std::nullopt},
      {" 1", std::nullopt},
      {"1 ", std::nullopt},
      {"0x10", std::nullopt},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(Hex(Bits(ParseDecimal(c.text))), Hex(Bits(c.expected))) << '"' << c.text << '"';
  }
}

void AppendDigits(SplitMix64& rng, std::string& text, std::uint32_t count) {
  for (std::uint32_t i = 0; i < count; ++i) text += static_cast<char>('0' + rng.Below(10));
}

// A decimal text of one of the kinds the engine reads, or of the kinds where readers part ways:
// many digits, the ends of the doubles' range, positive exponents.
std::string SeededText(SplitMix64& rng) {
  std::string text;
  const std::uint32_t sign = rng.Below(10);
  if (sign < 3) text += '-';
  if (sign == 3) text += '+';
  const std::uint32_t kind = rng.Below(100);
  if (kind < 25) {
    // Amounts in cents, as a user or the product writes them.
    AppendDigits(rng, text, 1 + rng.Below(9));
    text += '.';
    AppendDigits(rng, text, 2);
  } else if (kind < 35) {
    AppendDigits(rng, text, 1 + rng.Below(22));
  } else if (kind < 55) {
    // 17 to 25 significant digits: the last ones decide the rounding.
    const std::uint32_t digits = 17 + rng.Below(9);
    const std::uint32_t point = rng.Below(digits + 1);
    AppendDigits(rng, text, point);
    text += '.';
    AppendDigits(rng, text, digits - point);
    text += rng.Below(2) ? 'e' : 'E';
    text += std::to_string(static_cast<int>(rng.Below(60)) - 30);
  } else if (kind < 75) {
    // A whole number times a power of ten: the shape the x87 multiply rounds twice.
    text += static_cast<char>('1' + rng.Below(9));
    AppendDigits(rng, text, 4 + rng.Below(12));
    text += 'e';
    text += std::to_string(1 + rng.Below(22));
  } else if (kind < 88) {
    // Near the largest double, and beyond it.
    text += static_cast<char>('1' + rng.Below(9));
    text += '.';
    AppendDigits(rng, text, 1 + rng.Below(20));
    text += 'e';
    text += std::to_string(300 + rng.Below(10));
  } else {
    // Down through the subnormals, and below them.
    text += "0.";
    AppendDigits(rng, text, rng.Below(3));
    text += static_cast<char>('1' + rng.Below(9));
    AppendDigits(rng, text, rng.Below(20));
    text += "e-";
    text += std::to_string(300 + rng.Below(30));
  }
  return text;
}

// Computed by the native build (x86-64, SSE2). The texts' digest tells a change of the seeded
// texts from a change of their reading. About 60,000 texts are whole numbers times a power of ten,
// and four of them read one unit in the last place away when multiplied on the x87 unit.
constexpr std::uint64_t kTextsDigest = 0x823BF616E208364;
constexpr std::uint64_t kValuesDigest = 0x48B90EE909092021;
constexpr int kTexts = 300000;

TEST(DecimalText, SeededTextsGiveTheNativeBuildsBits) {
  SplitMix64 rng(20261209);
  Digest texts, values;
  int refused = 0;
  for (int n = 0; n < kTexts; ++n) {
    const std::string text = SeededText(rng);
    // Eight characters a word, the last word padded with zeros.
    for (std::size_t i = 0; i < text.size(); i += 8) {
      std::uint64_t word = 0;
      for (std::size_t j = i; j < text.size() && j < i + 8; ++j) {
        word |= std::uint64_t{static_cast<unsigned char>(text[j])} << (8 * (j - i));
      }
      texts.Add(word);
    }
    const std::optional<double> value = ParseDecimal(text);
    values.Add(Bits(value));
    refused += value ? 0 : 1;
  }
  ASSERT_EQ(Hex(kTextsDigest), Hex(texts.Value())) << "the seeded texts themselves differ";
  EXPECT_EQ(Hex(kValuesDigest), Hex(values.Value()))
      << "this build reads decimal text differently from the native build; refused: " << refused;
}

}  // namespace
}  // namespace patchpav
