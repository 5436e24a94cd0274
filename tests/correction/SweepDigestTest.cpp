// The correction rule gives the same bits in every build: the native one, the 64-bit Windows test
// bed and the shipped 32-bit executable. Each build runs the same seeded rows through the rule and
// its sweeps and must reach the digest written below, computed once by the native build. A build
// that rounds differently anywhere (80-bit x87 intermediates, a fused multiply-add, a flushed
// subnormal) changes some row's bits and so the digest.

#include "correction/RedistributeNegativeAmount.h"

#include <gtest/gtest.h>

#include <bit>
#include <cstdint>
#include <limits>
#include <sstream>

#include "support/SeededDigest.h"

namespace patchpav {
namespace {

using testing::Digest;
using testing::Hex;
using testing::SplitMix64;

// A double from its fields: exponent field in [lowExponent, highExponent], any mantissa.
double FromFields(SplitMix64& rng, std::uint32_t lowExponent, std::uint32_t highExponent) {
  const std::uint64_t exponent = lowExponent + rng.Below(highExponent - lowExponent + 1);
  const std::uint64_t mantissa = rng.Next() & ((std::uint64_t{1} << 52) - 1);
  return std::bit_cast<double>(exponent << 52 | mantissa);
}

// A positive amount (or a blank, read as 0) of one of the kinds a table may hold.
double Magnitude(SplitMix64& rng, bool blankAllowed) {
  for (;;) {
    const std::uint32_t kind = rng.Below(100);
    if (kind < 20) {
      if (blankAllowed) return 0.0;
    } else if (kind < 50) {
      // Fees in cents, as the product stores them: the nearest double to k / 100.
      return static_cast<double>(1 + rng.Below(30000)) / 100;
    } else if (kind < 65) {
      return static_cast<double>(1 + rng.Below(1000000000)) / 100;
    } else if (kind < 75) {
      return FromFields(rng, 1023 - 8, 1023 + 20);  // amounts with every mantissa bit in use
    } else if (kind < 87) {
      return FromFields(rng, 1023 + 40, 2046);  // huge, up to the largest double
    } else {
      return FromFields(rng, 0, 1023 - 40);  // tiny, down to the subnormals
    }
  }
}

// A row with one to seven negative amounts at random positions; now and then an amount equal to
// what the first negative one leaves to absorb, where "greater" and "equal" part ways.
Amounts SeededRow(SplitMix64& rng) {
  Amounts row{};
  int positions[7] = {0, 1, 2, 3, 4, 5, 6};
  const std::uint32_t negatives = 1 + rng.Below(7);
  for (std::uint32_t i = 0; i < negatives; ++i) {
    const std::uint32_t j = i + rng.Below(7 - i);
    std::swap(positions[i], positions[j]);
    row[positions[i]] = -Magnitude(rng, false);
  }
  for (std::uint32_t i = negatives; i < 7; ++i) row[positions[i]] = Magnitude(rng, true);
  if (negatives < 7 && rng.Below(8) == 0) {
    int first = 0;
    while (!(row[first] < 0)) ++first;
    row[positions[negatives + rng.Below(7 - negatives)]] = -row[first];
  }
  return row;
}

struct Swept {
  Amounts amounts;
  int applications = 0;
  bool givenUp = false;
};

// The rule applied again and again, as the run's sweeps do, until no amount is negative; a row
// that did not lose a negative amount since the last application is given up, as the run does.
Swept Sweep(const Amounts& row) {
  const auto countNegative = [](const Amounts& a) {
    int n = 0;
    for (double v : a) n += v < 0 ? 1 : 0;
    return n;
  };
  Swept s{row};
  int lastNegatives = std::numeric_limits<int>::max();
  for (;;) {
    const int negatives = countNegative(s.amounts);
    const Redistribution r = RedistributeNegativeAmount(s.amounts);
    if (r.outcome == RedistributionOutcome::NothingNegative) return s;
    if (r.outcome == RedistributionOutcome::NotFinite || negatives >= lastNegatives) {
      s.givenUp = true;
      return s;
    }
    s.amounts = r.corrected;
    ++s.applications;
    lastNegatives = negatives;
  }
}

void Add(Digest& digest, const Amounts& amounts) {
  for (double v : amounts) digest.Add(std::bit_cast<std::uint64_t>(v));
}

// Computed by the native build (x86-64, SSE2). The rows' digest tells a change of the seeded rows
// from a change of the arithmetic.
constexpr std::uint64_t kRowsDigest = 0x8090D40C1F4CE89D;
constexpr std::uint64_t kSweptDigest = 0x92D62DE52B56ABC3;
constexpr int kRows = 120000;

TEST(SweepDigest, SeededRowsGiveTheNativeBuildsBits) {
  SplitMix64 rng(20261208);
  Digest rows, swept;
  int applications[8] = {};
  int givenUp = 0;
  for (int n = 0; n < kRows; ++n) {
    const Amounts row = SeededRow(rng);
    Add(rows, row);
    const Swept s = Sweep(row);
    Add(swept, s.amounts);
    swept.Add(static_cast<std::uint64_t>(s.applications) << 1 | (s.givenUp ? 1 : 0));
    ++applications[s.applications];
    givenUp += s.givenUp ? 1 : 0;
  }
  std::ostringstream spread;
  for (int a : applications) spread << a << ' ';
  ASSERT_EQ(Hex(kRowsDigest), Hex(rows.Value())) << "the seeded rows themselves differ";
  EXPECT_EQ(Hex(kSweptDigest), Hex(swept.Value()))
      << "this build computes the rule's doubles differently from the native build; rows by "
      << "number of applications: " << spread.str() << "given up: " << givenUp;
}

// A row where keeping the remainder in extended precision changes the last bits: 18 - 5.19 is
// rounded to a double before 14.65 takes it up.
TEST(SweepDigest, RemainderIsRoundedToDoubleBetweenSteps) {
  const Amounts row = {5.19, -18, 14.65, 0, 16.97, -18, 24.95};
  const Redistribution first = RedistributeNegativeAmount(row);
  const Amounts afterFirst = {5.19, 0, 14.65, 0, 16.97, -18, 6.949999999999999};
  const Redistribution second = RedistributeNegativeAmount(first.corrected);
  const Amounts afterSecond = {0, 0, 1.8400000000000016, 0, 16.97, 0, 6.949999999999999};
  for (int i = 0; i < 7; ++i) {
    EXPECT_EQ(Hex(std::bit_cast<std::uint64_t>(afterFirst[i])),
              Hex(std::bit_cast<std::uint64_t>(first.corrected[i])))
        << "first sweep, position " << i + 1;
    EXPECT_EQ(Hex(std::bit_cast<std::uint64_t>(afterSecond[i])),
              Hex(std::bit_cast<std::uint64_t>(second.corrected[i])))
        << "second sweep, position " << i + 1;
  }
}

}  // namespace
}  // namespace patchpav
