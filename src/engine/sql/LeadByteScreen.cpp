#include "engine/sql/LeadByteScreen.h"

#include <string>

#include "engine/core/DebugCheck.h"

// Every x86 build has SSE2, the shipped 32-bit one included, so the SSE2 screen is the one that
// runs; the portable loop is for other processors and the tests' comparison. The SSE2 screen
// keeps its vectors in registers and loads the records with unaligned loads, so it needs no
// particular alignment of the block or of the stack (the i686 compiler realigns the stack of a
// function that spills a vector anyway).
#if defined(__SSE2__)
#include <emmintrin.h>
#endif

namespace patchpav::sql {
namespace {

std::uint8_t ByteAt(const std::byte* p) { return std::to_integer<std::uint8_t>(*p); }

// Record by record, field by field: what a processor without vectors does best.
void MarkPortable(const LeadByteScreen& screen, const std::byte* records, std::size_t count,
                  std::vector<std::uint32_t>& marked) {
  const std::span<const int> offsets = screen.FieldOffsets();
  const std::uint8_t low = screen.Low();
  const std::uint8_t span = screen.Span();
  for (std::size_t r = 0; r < count; ++r, records += screen.RecordSize()) {
    // Without branches per field: most records pass no test, and the few that do, unpredictably.
    bool passes = false;
    for (const int offset : offsets) {
      const std::uint8_t first = ByteAt(records + offset);
      const std::uint8_t second = ByteAt(records + offset + 1);
      passes |= (static_cast<std::uint8_t>(first - low) <= span) & ((first | second) != 0);
    }
    if (passes) marked.push_back(static_cast<std::uint32_t>(r));
  }
}

#if defined(__SSE2__)
void MarkRecordAt(const LeadByteScreen& screen, std::size_t at,
                  std::vector<std::uint32_t>& marked) {
  const auto record = static_cast<std::uint32_t>(at / screen.RecordSize());
  if (marked.empty() || marked.back() != record) marked.push_back(record);
}

// The field starts in [from, bytes), one at a time, found through the field-start map.
void MarkTail(const LeadByteScreen& screen, const std::byte* records, std::size_t from,
              std::size_t bytes, std::vector<std::uint32_t>& marked) {
  const std::uint32_t* starts = screen.StartWords();
  for (std::size_t word = from / 32; word * 32 < bytes; ++word) {
    std::uint32_t bits = starts[word];
    if (word == from / 32) bits &= ~std::uint32_t{0} << (from % 32);
    while (bits != 0) {
      const std::size_t at = word * 32 + static_cast<std::size_t>(__builtin_ctz(bits));
      bits &= bits - 1;
      if (at >= bytes) return;
      if (screen.Passes(records + at)) MarkRecordAt(screen, at, marked);
    }
  }
}

void MarkCandidates(const LeadByteScreen& screen, std::size_t from, std::uint64_t candidates,
                    std::vector<std::uint32_t>& marked) {
  while (candidates != 0) {
    const int bit = __builtin_ctzll(candidates);
    candidates &= candidates - 1;
    MarkRecordAt(screen, from + static_cast<std::size_t>(bit), marked);
  }
}

// 16 bytes at a time: the first-byte range test on every byte, then the field-start map picks
// the bytes that matter. The second bytes come from a load one byte further on, which stays
// inside the record area while at + 17 <= bytes.
void MarkSse2(const LeadByteScreen& screen, const std::byte* records, std::size_t count,
              std::vector<std::uint32_t>& marked) {
  const std::size_t bytes = count * screen.RecordSize();
  // x - low lies in [0, span] exactly when (x - low) ^ 0x80, read as signed, is at most
  // span - 128: one addition moves the range to where a signed comparison sees it.
  const __m128i shift = _mm_set1_epi8(static_cast<char>(0x80 - screen.Low()));
  const __m128i limit = _mm_set1_epi8(static_cast<char>(screen.Span() ^ 0x80));
  const __m128i zero = _mm_setzero_si128();
  const std::uint32_t* starts = screen.StartWords();
  std::size_t at = 0;
  for (; at + 17 <= bytes; at += 16) {
    const std::uint32_t fieldStarts = (starts[at / 32] >> (at % 32)) & 0xFFFFu;
    if (fieldStarts == 0) continue;  // a stretch of the record holding no compared field
    const __m128i first = _mm_loadu_si128(reinterpret_cast<const __m128i*>(records + at));
    const __m128i second = _mm_loadu_si128(reinterpret_cast<const __m128i*>(records + at + 1));
    const auto outside = static_cast<std::uint32_t>(
        _mm_movemask_epi8(_mm_cmpgt_epi8(_mm_add_epi8(first, shift), limit)));
    const auto blank = static_cast<std::uint32_t>(
        _mm_movemask_epi8(_mm_cmpeq_epi8(_mm_or_si128(first, second), zero)));
    const std::uint32_t candidates = fieldStarts & ~(outside | blank);
    if (__builtin_expect(candidates != 0, 0)) MarkCandidates(screen, at, candidates, marked);
  }
  MarkTail(screen, records, at, bytes, marked);
}
#endif

// The build decides: there is one way per build, no choice at run time.
#if defined(__SSE2__)
constexpr LeadByteScreen::Kernel kBuildKernel = &MarkSse2;
#else
constexpr LeadByteScreen::Kernel kBuildKernel = &MarkPortable;
#endif

}  // namespace

LeadByteScreen::LeadByteScreen(std::span<const int> fieldOffsets, std::size_t recordSize,
                               std::uint8_t low, std::uint8_t high)
    : offsets_(fieldOffsets.begin(), fieldOffsets.end()),
      recordSize_(recordSize),
      low_(low),
      span_(static_cast<std::uint8_t>(high - low)),
      starts_(kMaxBlockBytes / 32, 0) {
  PATCHPAV_CHECK(low <= high && recordSize != 0, "LeadByteScreen: first bytes from " +
                                                     std::to_string(low) + " to " +
                                                     std::to_string(high) + ", records of " +
                                                     std::to_string(recordSize) + " bytes");
  for (const int offset : fieldOffsets) {
    PATCHPAV_CHECK(offset >= 0 && static_cast<std::size_t>(offset) + 8 <= recordSize,
                   "LeadByteScreen: a field at " + std::to_string(offset) + " in records of " +
                       std::to_string(recordSize) + " bytes");
  }
  for (std::size_t record = 0; record + recordSize <= kMaxBlockBytes; record += recordSize) {
    for (const int offset : fieldOffsets) {
      const std::size_t at = record + static_cast<std::size_t>(offset);
      starts_[at / 32] |= std::uint32_t{1} << (at % 32);
    }
  }
}

bool LeadByteScreen::Passes(const std::byte* field) const {
  const std::uint8_t first = ByteAt(field);
  if (static_cast<std::uint8_t>(first - low_) > span_) return false;
  return first != 0 || ByteAt(field + 1) != 0;
}

void LeadByteScreen::Mark(const std::byte* records, std::size_t count,
                          std::vector<std::uint32_t>& marked) const {
  MarkWith(kBuildKernel, records, count, marked);
}

void LeadByteScreen::MarkWith(Kernel kernel, const std::byte* records, std::size_t count,
                              std::vector<std::uint32_t>& marked) const {
  PATCHPAV_CHECK(count * recordSize_ <= kMaxBlockBytes,
                 "LeadByteScreen: " + std::to_string(count) + " records of " +
                     std::to_string(recordSize_) + " bytes, more than the " +
                     std::to_string(kMaxBlockBytes) + " bytes a block holds");
  kernel(*this, records, count, marked);
}

std::vector<LeadByteScreen::Kernel> LeadByteScreen::AvailableKernels() {
  std::vector<Kernel> kernels{&MarkPortable};
#if defined(__SSE2__)
  kernels.push_back(&MarkSse2);
#endif
  return kernels;
}

}  // namespace patchpav::sql
