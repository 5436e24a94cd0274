#pragma once

// What a walk of a table's block chain has learnt, as the open table keeps it, and the checks of
// its invariants in debug builds (see the design comment of ParadoxTable.cpp). A broken one is a
// bug of the table's code, never damage of the file: damage is refused while walking, before
// anything is kept.

#include <cstddef>
#include <cstdint>
#include <span>
#include <string_view>

namespace patchpav::paradox {

struct ChainBlock {
  std::uint16_t block = 0;  // its number in the file, from 1
  std::uint16_t count = 0;  // records it holds
};

struct WalkedChain {
  std::string_view table;               // the table's name, for the report
  std::span<const ChainBlock> chain;    // the blocks walked so far, in chain order
  std::span<const std::int32_t> slots;  // records per block number; -1 for a block not walked
  std::uint64_t records = 0;            // records counted by the walk so far
  std::string_view firstKeys;           // keySize bytes per chain block (keyed tables)
  std::size_t keySize = 0;              // 0: the table has no key
  bool keysAscend = false;              // the records' keys are known to ascend along the chain
};

// After a block is walked: the last block of the chain has its records in slots, and one first
// key, which is its first record's key (firstRecord; unused for an empty block, which repeats
// the key before it) and, when the keys ascend, lies above the first key of the blocks before.
// Costs the length of one key.
void CheckLastWalkedBlock(const WalkedChain& walked, const std::byte* firstRecord);

// Once the whole chain is walked: the blocks' records add up to the header's recordCount; the
// chain's blocks, and only they, have their records in slots; one first key per block, and
// ascending ones when the keys ascend. Costs one pass over the chain and the slots.
void CheckWalkedChain(const WalkedChain& walked, std::uint32_t recordCount);

}  // namespace patchpav::paradox
