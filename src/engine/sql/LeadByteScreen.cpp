#include "engine/sql/LeadByteScreen.h"

#include <algorithm>
#include <stdexcept>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif
// AVX2 is chosen at run time where the processor has it. Not on Windows: GCC cannot keep the
// 32-byte stack alignment that spilled AVX registers need there. The 32-bit build has no SSE2
// by default and takes the portable loop.
#if defined(__x86_64__) && !defined(_WIN32)
#define PATCHPAV_SCREEN_AVX2 1
#include <immintrin.h>
#endif

namespace patchpav::sql {
namespace {

std::uint8_t ByteAt(const std::byte* p) { return std::to_integer<std::uint8_t>(*p); }

// Between a lane mask in ascending order (bit j: the lane of bytes 2j and 2j + 1 of 64) and the
// order in which packing two vectors of lanes into one of bytes leaves them (eight lanes of the
// first vector, eight of the second, then the second halves likewise): swapping the middle two
// bytes of the mask goes either way.
inline std::uint32_t SwapMiddleBytes(std::uint32_t mask) {
  return (mask & 0xFF0000FFu) | (mask >> 8 & 0x0000FF00u) | (mask << 8 & 0x00FF0000u);
}

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

#if defined(PATCHPAV_SCREEN_AVX2)
// The bytes of 32 starting at p whose field, if one starts there, passes: first byte in range,
// first two bytes not both zero. kSignRange: the range is 0x00..0x7F (the "below zero" of every
// number), where the sign bit alone decides.
template <bool kSignRange>
__attribute__((target("avx2"))) inline std::uint32_t PassingAvx2(const std::byte* p, __m256i shift,
                                                                 __m256i limit) {
  const __m256i first = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(p));
  const __m256i second = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(p + 1));
  std::uint32_t outside;
  if constexpr (kSignRange) {
    outside = static_cast<std::uint32_t>(_mm256_movemask_epi8(first));
  } else {
    outside = static_cast<std::uint32_t>(
        _mm256_movemask_epi8(_mm256_cmpgt_epi8(_mm256_add_epi8(first, shift), limit)));
  }
  const auto blank = static_cast<std::uint32_t>(_mm256_movemask_epi8(
      _mm256_cmpeq_epi8(_mm256_or_si256(first, second), _mm256_setzero_si256())));
  return ~(outside | blank);
}

// 64 bytes a turn, then 32, then the last field starts one by one. The loads one byte further on
// stay inside the record area while at + 65 (at + 33) <= bytes.
template <bool kSignRange>
__attribute__((target("avx2"))) void MarkAvx2Range(const LeadByteScreen& screen,
                                                   const std::byte* records, std::size_t count,
                                                   std::vector<std::uint32_t>& marked) {
  const std::size_t bytes = count * screen.RecordSize();
  const __m256i shift = _mm256_set1_epi8(static_cast<char>(0x80 - screen.Low()));
  const __m256i limit = _mm256_set1_epi8(static_cast<char>(screen.Span() ^ 0x80));
  const std::uint32_t* starts = screen.StartWords();
  std::size_t at = 0;
  for (; at + 65 <= bytes; at += 64) {
    const std::uint64_t fieldStarts = starts[at / 32] | std::uint64_t{starts[at / 32 + 1]} << 32;
    if (fieldStarts == 0) continue;  // a stretch of the record holding no compared field
    const std::uint64_t passing =
        PassingAvx2<kSignRange>(records + at, shift, limit) |
        std::uint64_t{PassingAvx2<kSignRange>(records + at + 32, shift, limit)} << 32;
    const std::uint64_t candidates = fieldStarts & passing;
    if (__builtin_expect(candidates != 0, 0)) MarkCandidates(screen, at, candidates, marked);
  }
  for (; at + 33 <= bytes; at += 32) {
    const std::uint32_t candidates =
        starts[at / 32] & PassingAvx2<kSignRange>(records + at, shift, limit);
    if (candidates != 0) MarkCandidates(screen, at, candidates, marked);
  }
  MarkTail(screen, records, at, bytes, marked);
}

void MarkAvx2(const LeadByteScreen& screen, const std::byte* records, std::size_t count,
              std::vector<std::uint32_t>& marked) {
  if (screen.Low() == 0x00 && screen.Span() == 0x7F) {
    MarkAvx2Range<true>(screen, records, count, marked);
  } else {
    MarkAvx2Range<false>(screen, records, count, marked);
  }
}

void MarkLanes(const LeadByteScreen& screen, std::size_t from, std::uint32_t lanes,
               std::vector<std::uint32_t>& marked) {
  while (lanes != 0) {
    const int lane = __builtin_ctz(lanes);
    lanes &= lanes - 1;
    MarkRecordAt(screen, from + 2 * static_cast<std::size_t>(lane), marked);
  }
}

// The 64 bytes starting at p, taken two by two as the big-endian 16-bit numbers that open the
// fields starting there: a mask of the 32 lanes whose number lies in [low, low + span], in
// packed order (see SwapMiddleBytes). A field passes when its first byte is in range and its
// first two bytes are not both zero, which is exactly its opening number lying between
// max(lowByte << 8, 1) and highByte << 8 | 0xFF. kSignRange: that interval is 1..0x7FFF, the
// numbers that stay above zero when packed into signed bytes with saturation.
template <bool kSignRange>
__attribute__((target("avx2"))) inline std::uint32_t PassingLanesAvx2(const std::byte* p,
                                                                      __m256i low, __m256i span) {
  const __m256i swap = _mm256_setr_epi8(1, 0, 3, 2, 5, 4, 7, 6, 9, 8, 11, 10, 13, 12, 15, 14,  //
                                        1, 0, 3, 2, 5, 4, 7, 6, 9, 8, 11, 10, 13, 12, 15, 14);
  const __m256i first =
      _mm256_shuffle_epi8(_mm256_loadu_si256(reinterpret_cast<const __m256i*>(p)), swap);
  const __m256i second =
      _mm256_shuffle_epi8(_mm256_loadu_si256(reinterpret_cast<const __m256i*>(p + 32)), swap);
  if constexpr (kSignRange) {
    const __m256i packed = _mm256_packs_epi16(first, second);
    return static_cast<std::uint32_t>(
        _mm256_movemask_epi8(_mm256_cmpgt_epi8(packed, _mm256_setzero_si256())));
  } else {
    const __m256i firstOffset = _mm256_sub_epi16(first, low);
    const __m256i secondOffset = _mm256_sub_epi16(second, low);
    const __m256i firstIn = _mm256_cmpeq_epi16(_mm256_min_epu16(firstOffset, span), firstOffset);
    const __m256i secondIn = _mm256_cmpeq_epi16(_mm256_min_epu16(secondOffset, span), secondOffset);
    return static_cast<std::uint32_t>(_mm256_movemask_epi8(_mm256_packs_epi16(firstIn, secondIn)));
  }
}

// One load per 32 bytes, no byte-by-byte blank test and one mask per 64 bytes: about half the
// work of MarkAvx2Range, for the layouts where every field starts on a lane (PairBase() is not
// -1). 128 bytes a turn, 64, then one last load ending where the records end.
template <bool kSignRange>
__attribute__((target("avx2"))) void MarkAvx2PairsRange(const LeadByteScreen& screen,
                                                        const std::byte* records, std::size_t count,
                                                        std::vector<std::uint32_t>& marked) {
  const std::size_t base = static_cast<std::size_t>(screen.PairBase());
  const std::size_t bytes = count * screen.RecordSize();
  if (bytes < base + 64) {
    MarkTail(screen, records, 0, bytes, marked);
    return;
  }
  const std::byte* from = records + base;
  const std::size_t end = bytes - base;  // bytes from the base
  const int low = screen.Low() == 0 ? 1 : screen.Low() << 8;
  const int high = (screen.Low() + screen.Span()) << 8 | 0xFF;
  const __m256i low16 = _mm256_set1_epi16(static_cast<short>(low));
  const __m256i span16 = _mm256_set1_epi16(static_cast<short>(high - low));
  const std::uint32_t* packedStarts = screen.PackedLaneStarts();
  std::size_t at = 0;
  for (; at + 128 <= end; at += 128) {
    const std::uint32_t first =
        packedStarts[at / 64] & PassingLanesAvx2<kSignRange>(from + at, low16, span16);
    const std::uint32_t second =
        packedStarts[at / 64 + 1] & PassingLanesAvx2<kSignRange>(from + at + 64, low16, span16);
    if (__builtin_expect((first | second) != 0, 0)) {
      MarkLanes(screen, base + at, SwapMiddleBytes(first), marked);
      MarkLanes(screen, base + at + 64, SwapMiddleBytes(second), marked);
    }
  }
  if (at + 64 <= end) {
    const std::uint32_t candidates =
        packedStarts[at / 64] & PassingLanesAvx2<kSignRange>(from + at, low16, span16);
    if (candidates != 0) MarkLanes(screen, base + at, SwapMiddleBytes(candidates), marked);
    at += 64;
  }
  if (at >= end) return;
  // The last bytes: 64 more, ending at the end of the records (less one when the base is odd),
  // of which only the lanes past those already screened count.
  const std::size_t last = (end - 64) & ~std::size_t{1};
  const std::size_t firstLane = last / 2;
  const std::uint32_t* laneStarts = screen.LaneStarts();
  const std::uint64_t starts =
      laneStarts[firstLane / 32] | std::uint64_t{laneStarts[firstLane / 32 + 1]} << 32;
  const std::size_t screened = (at - last) / 2;  // lanes of the load already screened: 1..32
  if (screened >= 32) return;
  const auto fresh =
      static_cast<std::uint32_t>(starts >> (firstLane % 32)) & (~std::uint32_t{0} << screened);
  const std::uint32_t candidates =
      fresh & SwapMiddleBytes(PassingLanesAvx2<kSignRange>(from + last, low16, span16));
  if (candidates != 0) MarkLanes(screen, base + last, candidates, marked);
}

void MarkAvx2Pairs(const LeadByteScreen& screen, const std::byte* records, std::size_t count,
                   std::vector<std::uint32_t>& marked) {
  if (screen.PairBase() < 0) {
    MarkAvx2(screen, records, count, marked);
  } else if (screen.Low() == 0x00 && screen.Span() == 0x7F) {
    MarkAvx2PairsRange<true>(screen, records, count, marked);
  } else {
    MarkAvx2PairsRange<false>(screen, records, count, marked);
  }
}
#endif

LeadByteScreen::Kernel FastestKernel() {
  const std::vector<LeadByteScreen::Kernel> kernels = LeadByteScreen::AvailableKernels();
  return kernels.back();
}

}  // namespace

LeadByteScreen::LeadByteScreen(std::span<const int> fieldOffsets, std::size_t recordSize,
                               std::uint8_t low, std::uint8_t high)
    : offsets_(fieldOffsets.begin(), fieldOffsets.end()),
      recordSize_(recordSize),
      low_(low),
      span_(static_cast<std::uint8_t>(high - low)),
      starts_(kMaxBlockBytes / 32, 0) {
  if (high < low || recordSize == 0) throw std::invalid_argument("LeadByteScreen: empty range");
  for (std::size_t record = 0; record + recordSize <= kMaxBlockBytes; record += recordSize) {
    for (const int offset : fieldOffsets) {
      const std::size_t at = record + static_cast<std::size_t>(offset);
      starts_[at / 32] |= std::uint32_t{1} << (at % 32);
    }
  }
  const auto sameParity = [&](int offset) { return offset % 2 == fieldOffsets.front() % 2; };
  if (recordSize % 2 == 0 && !fieldOffsets.empty() &&
      std::all_of(fieldOffsets.begin(), fieldOffsets.end(), sameParity)) {
    pairBase_ = fieldOffsets.front() % 2;
    constexpr std::size_t kWords = kMaxBlockBytes / 64 + 1;
    laneStarts_.assign(kWords, 0);
    for (std::size_t at = static_cast<std::size_t>(pairBase_); at < kMaxBlockBytes; at += 2) {
      if (starts_[at / 32] >> (at % 32) & 1) {
        const std::size_t lane = (at - static_cast<std::size_t>(pairBase_)) / 2;
        laneStarts_[lane / 32] |= std::uint32_t{1} << (lane % 32);
      }
    }
    packedLaneStarts_.resize(kWords);
    for (std::size_t w = 0; w < kWords; ++w) {
      packedLaneStarts_[w] = SwapMiddleBytes(laneStarts_[w]);
    }
  }
  static const Kernel fastest = FastestKernel();
  kernel_ = fastest;
}

bool LeadByteScreen::Passes(const std::byte* field) const {
  const std::uint8_t first = ByteAt(field);
  if (static_cast<std::uint8_t>(first - low_) > span_) return false;
  return first != 0 || ByteAt(field + 1) != 0;
}

void LeadByteScreen::Mark(const std::byte* records, std::size_t count,
                          std::vector<std::uint32_t>& marked) const {
  MarkWith(kernel_, records, count, marked);
}

void LeadByteScreen::MarkWith(Kernel kernel, const std::byte* records, std::size_t count,
                              std::vector<std::uint32_t>& marked) const {
  if (count * recordSize_ > kMaxBlockBytes) {
    throw std::invalid_argument("LeadByteScreen: more records than a block holds");
  }
  kernel(*this, records, count, marked);
}

std::vector<LeadByteScreen::Kernel> LeadByteScreen::AvailableKernels() {
  std::vector<Kernel> kernels{&MarkPortable};
#if defined(__SSE2__)
  kernels.push_back(&MarkSse2);
#endif
#if defined(PATCHPAV_SCREEN_AVX2)
  if (__builtin_cpu_supports("avx2")) {
    kernels.push_back(&MarkAvx2);
    kernels.push_back(&MarkAvx2Pairs);
  }
#endif
  return kernels;
}

}  // namespace patchpav::sql
