#pragma once

// What the tests that compare every build's bits with the native build's share: a seeded source
// of numbers that uses integer arithmetic only, so every build draws the same ones, and a digest
// of 64-bit words that every build computes alike.

#include <cstdint>
#include <sstream>
#include <string>

namespace patchpav::testing {

// splitmix64: integer arithmetic only, so every build draws the same numbers.
class SplitMix64 {
 public:
  explicit SplitMix64(std::uint64_t seed) : state_(seed) {}

  std::uint64_t Next() {
    std::uint64_t z = state_ += 0x9E3779B97F4A7C15u;
    z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9u;
    z = (z ^ (z >> 27)) * 0x94D049BB133111EBu;
    return z ^ (z >> 31);
  }

  // In [0, n); the slight bias of the modulo does not matter here, its determinism does.
  std::uint32_t Below(std::uint32_t n) { return static_cast<std::uint32_t>(Next() % n); }

 private:
  std::uint64_t state_;
};

// FNV-1a over 64-bit words, byte by byte from the low end: the same on every build.
class Digest {
 public:
  void Add(std::uint64_t word) {
    for (int i = 0; i < 8; ++i) {
      value_ = (value_ ^ (word >> (8 * i) & 0xFF)) * 0x100000001B3u;
    }
  }
  std::uint64_t Value() const { return value_; }

 private:
  std::uint64_t value_ = 0xCBF29CE484222325u;
};

inline std::string Hex(std::uint64_t v) {
  std::ostringstream out;
  out << "0x" << std::hex << std::uppercase << v;
  return out.str();
}

}  // namespace patchpav::testing
