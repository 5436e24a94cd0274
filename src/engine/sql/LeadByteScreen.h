#pragma once

// A first sieve for comparisons of Number/Currency fields on a whole block of records.
//
// A stored number's first byte already tells most comparisons apart: the stored forms sort as
// the values do, so "x < 0" can only hold when the first byte is below 0x80, and so on. The
// screen marks the records where at least one screened field has a first byte inside a given
// range and is not blank; the records it marks are a superset of those the comparisons select,
// and each is then confirmed exactly. With SSE2 it tests 16 bytes of the block at once; this is
// what lets a selection on a million rows cost little more than reading the file.

#include <cstddef>
#include <cstdint>
#include <span>
#include <vector>

namespace patchpav::sql {

class LeadByteScreen {
 public:
  // The largest record area a Paradox block holds (32 KiB blocks).
  static constexpr std::size_t kMaxBlockBytes = 32 * 1024;

  // fieldOffsets: where each screened field (8 bytes, stored big-endian) starts in a record.
  // A field passes when its first byte b satisfies low <= b <= high and its first two bytes are
  // not both zero: a blank, or a NaN, which satisfies no ordered comparison.
  // The caller gives low <= high, recordSize > 0 and fields inside the record (debug builds
  // check it; see DebugCheck.h).
  LeadByteScreen(std::span<const int> fieldOffsets, std::size_t recordSize, std::uint8_t low,
                 std::uint8_t high);

  // Appends to marked, in ascending order, the index of each of the count records (packed,
  // recordSize bytes each) with a field that passes. The records lie in one block: count times
  // recordSize is at most kMaxBlockBytes.
  void Mark(const std::byte* records, std::size_t count, std::vector<std::uint32_t>& marked) const;

  // The ways the screen can run in this build, the portable one first and the one Mark uses
  // last: tests run each on the same blocks.
  using Kernel = void (*)(const LeadByteScreen&, const std::byte*, std::size_t,
                          std::vector<std::uint32_t>&);
  static std::vector<Kernel> AvailableKernels();
  void MarkWith(Kernel kernel, const std::byte* records, std::size_t count,
                std::vector<std::uint32_t>& marked) const;

  // Internals shared with the kernels.
  // The field-start map, 32 bytes of the record area per word.
  const std::uint32_t* StartWords() const { return starts_.data(); }
  bool Passes(const std::byte* field) const;
  std::size_t RecordSize() const { return recordSize_; }
  std::span<const int> FieldOffsets() const { return offsets_; }
  std::uint8_t Low() const { return low_; }
  std::uint8_t Span() const { return span_; }

 private:
  std::vector<int> offsets_;
  std::size_t recordSize_;
  std::uint8_t low_;
  std::uint8_t span_;  // high - low
  // Bit i set when byte i of a block's record area is the first byte of a screened field.
  std::vector<std::uint32_t> starts_;
};

}  // namespace patchpav::sql
