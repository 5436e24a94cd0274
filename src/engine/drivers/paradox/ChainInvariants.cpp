#include "engine/drivers/paradox/ChainInvariants.h"

#include <string>

#include "engine/core/DebugCheck.h"

namespace patchpav::paradox {
namespace {

[[maybe_unused]] std::string At(const WalkedChain& walked, std::size_t position) {
  const ChainBlock& b = walked.chain[position];
  return "table " + std::string(walked.table) + ", block " + std::to_string(b.block) +
         " (position " + std::to_string(position) + " of the chain, " + std::to_string(b.count) +
         " records): ";
}

[[maybe_unused]] std::string SlotsOf(const WalkedChain& walked, std::uint16_t block) {
  return block < walked.slots.size() ? std::to_string(walked.slots[block]) : "none";
}

// The first key kept for the block at position, and the one before it (zeros before the first).
struct KeyPair {
  std::string_view before;
  std::string_view key;
};
KeyPair KeysAt(const WalkedChain& walked, std::size_t position, const std::string& zeros) {
  const std::size_t size = walked.keySize;
  return KeyPair{position == 0 ? std::string_view(zeros)
                               : walked.firstKeys.substr((position - 1) * size, size),
                 walked.firstKeys.substr(position * size, size)};
}

// An empty block repeats the key before it; a block after records holds a higher first key when
// the keys ascend. recordsBefore: the records of the blocks before it.
void CheckFirstKey(const WalkedChain& walked, std::size_t position, std::uint64_t recordsBefore,
                   const std::string& zeros) {
  const KeyPair keys = KeysAt(walked, position, zeros);
  if (walked.chain[position].count == 0) {
    PATCHPAV_CHECK(keys.key == keys.before,
                   At(walked, position) +
                       "an empty block keeps another first key than the one "
                       "before it");
  } else if (walked.keysAscend && recordsBefore > 0) {
    PATCHPAV_CHECK(keys.before < keys.key, At(walked, position) +
                                               "its first key is not above the first key of the "
                                               "block before it, though the keys ascend");
  }
}

}  // namespace

void CheckLastWalkedBlock(const WalkedChain& walked, const std::byte* firstRecord) {
  PATCHPAV_CHECK(!walked.chain.empty(),
                 "table " + std::string(walked.table) + ": a block walked but none in the chain");
  const std::size_t position = walked.chain.size() - 1;
  const ChainBlock& last = walked.chain[position];
  PATCHPAV_CHECK(last.block < walked.slots.size() && walked.slots[last.block] == last.count,
                 At(walked, position) + SlotsOf(walked, last.block) + " slots recorded");
  if (walked.keySize == 0) return;
  PATCHPAV_CHECK(walked.firstKeys.size() == walked.chain.size() * walked.keySize,
                 At(walked, position) + std::to_string(walked.firstKeys.size()) +
                     " bytes of first keys for " + std::to_string(walked.chain.size()) +
                     " blocks of keys of " + std::to_string(walked.keySize) + " bytes");
  const std::string zeros(walked.keySize, '\0');
  if (last.count != 0) {
    const std::string_view record(reinterpret_cast<const char*>(firstRecord), walked.keySize);
    PATCHPAV_CHECK(KeysAt(walked, position, zeros).key == record,
                   At(walked, position) + "the first key kept is not its first record's key");
  }
  CheckFirstKey(walked, position, walked.records - last.count, zeros);
}

void CheckWalkedChain(const WalkedChain& walked, std::uint32_t recordCount) {
  const std::string table = "table " + std::string(walked.table) + ": ";
  std::uint64_t sum = 0;
  for (std::size_t i = 0; i < walked.chain.size(); ++i) {
    const ChainBlock& b = walked.chain[i];
    PATCHPAV_CHECK(b.block < walked.slots.size() && walked.slots[b.block] == b.count,
                   At(walked, i) + SlotsOf(walked, b.block) + " slots recorded");
    sum += b.count;
  }
  std::size_t walkedBlocks = 0;
  for (const std::int32_t s : walked.slots) walkedBlocks += s >= 0 ? 1 : 0;
  PATCHPAV_CHECK(walkedBlocks == walked.chain.size(),
                 table + std::to_string(walkedBlocks) + " blocks have slots recorded, " +
                     std::to_string(walked.chain.size()) + " blocks in the chain");
  PATCHPAV_CHECK(sum == recordCount && sum == walked.records,
                 table + "the blocks' records add up to " + std::to_string(sum) + ", the header " +
                     "counts " + std::to_string(recordCount) + ", the walk counted " +
                     std::to_string(walked.records));
  if (walked.keySize == 0) return;
  PATCHPAV_CHECK(walked.firstKeys.size() == walked.chain.size() * walked.keySize,
                 table + std::to_string(walked.firstKeys.size()) + " bytes of first keys for " +
                     std::to_string(walked.chain.size()) + " blocks of keys of " +
                     std::to_string(walked.keySize) + " bytes");
  const std::string zeros(walked.keySize, '\0');
  std::uint64_t recordsBefore = 0;
  for (std::size_t i = 0; i < walked.chain.size(); ++i) {
    CheckFirstKey(walked, i, recordsBefore, zeros);
    recordsBefore += walked.chain[i].count;
  }
}

}  // namespace patchpav::paradox
