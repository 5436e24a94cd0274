#pragma once

// Unsigned integers read from and written to unaligned bytes in a given byte order. Paradox keeps
// its control structures little-endian and its field values big-endian (so that memcmp order is
// key order). Each load or store compiles to one move, with a byte swap where the order differs
// from the processor's.

#include <bit>
#include <cstddef>
#include <cstdint>
#include <cstring>

namespace patchpav {
namespace byte_order_detail {

template <class T>
T Load(const std::byte* p) {
  T v;
  std::memcpy(&v, p, sizeof v);
  return v;
}

template <class T>
void Store(std::byte* p, T v) {
  std::memcpy(p, &v, sizeof v);
}

constexpr std::uint16_t Swap(std::uint16_t v) { return __builtin_bswap16(v); }
constexpr std::uint32_t Swap(std::uint32_t v) { return __builtin_bswap32(v); }
constexpr std::uint64_t Swap(std::uint64_t v) { return __builtin_bswap64(v); }

template <class T>
constexpr T FromBig(T v) {
  if constexpr (std::endian::native == std::endian::little) return Swap(v);
  return v;
}

template <class T>
constexpr T FromLittle(T v) {
  if constexpr (std::endian::native == std::endian::big) return Swap(v);
  return v;
}

}  // namespace byte_order_detail

inline std::uint16_t LoadBigEndian16(const std::byte* p) {
  return byte_order_detail::FromBig(byte_order_detail::Load<std::uint16_t>(p));
}
inline std::uint32_t LoadBigEndian32(const std::byte* p) {
  return byte_order_detail::FromBig(byte_order_detail::Load<std::uint32_t>(p));
}
inline std::uint64_t LoadBigEndian64(const std::byte* p) {
  return byte_order_detail::FromBig(byte_order_detail::Load<std::uint64_t>(p));
}
inline void StoreBigEndian16(std::byte* p, std::uint16_t v) {
  byte_order_detail::Store(p, byte_order_detail::FromBig(v));
}
inline void StoreBigEndian32(std::byte* p, std::uint32_t v) {
  byte_order_detail::Store(p, byte_order_detail::FromBig(v));
}
inline void StoreBigEndian64(std::byte* p, std::uint64_t v) {
  byte_order_detail::Store(p, byte_order_detail::FromBig(v));
}

// The first size bytes (1 to 8) as a big-endian integer: a key of that length, read so that
// integers order as the bytes do.
inline std::uint64_t LoadBigEndian(const std::byte* p, int size) {
  std::uint64_t v = 0;
  for (int i = 0; i < size; ++i) v = (v << 8) | std::to_integer<std::uint64_t>(p[i]);
  return v;
}

inline std::uint16_t LoadLittleEndian16(const std::byte* p) {
  return byte_order_detail::FromLittle(byte_order_detail::Load<std::uint16_t>(p));
}
inline std::uint32_t LoadLittleEndian32(const std::byte* p) {
  return byte_order_detail::FromLittle(byte_order_detail::Load<std::uint32_t>(p));
}
inline void StoreLittleEndian16(std::byte* p, std::uint16_t v) {
  byte_order_detail::Store(p, byte_order_detail::FromLittle(v));
}
inline void StoreLittleEndian32(std::byte* p, std::uint32_t v) {
  byte_order_detail::Store(p, byte_order_detail::FromLittle(v));
}

}  // namespace patchpav
