// SPDX-FileCopyrightText: 2026 The Quenlora authors
// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

#include <cstdint>
#include <vector>

#include "large_allocator.h"

namespace quenlora {

// A blocked Bloom filter over code hashes: answers "certainly absent" or
// "maybe present" from one cache line. At about ten bits a code it stays in
// the processor's cache for a million codes, where the hash table does not.
// Its size is what matters most, so it is sized to the block, not to a power of two.
class TCodeFilter {
public:
  // Sizes the filter for `codes` codes and forgets everything in it.
  void Reset(std::size_t codes);
  std::size_t Capacity() const { return capacity_; }
  void Add(std::uint32_t hash);
  bool MayContain(std::uint32_t hash) const;
  std::size_t MemoryUsage() const { return blocks_.capacity() * sizeof(TBlock); }

private:
  struct alignas(64) TBlock {
    std::uint64_t Words[8];
  };
  // The four bits a hash sets within its block, one per 128-bit quarter.
  static void BitsOf(std::uint32_t hash, unsigned (&bits)[4]);
  // Maps the hash evenly onto the blocks without a division.
  std::size_t BlockOf(std::uint32_t hash) const
  {
    return static_cast<std::size_t>((static_cast<std::uint64_t>(hash) * blocks_.size()) >> 32);
  }

  TLargeVector<TBlock> blocks_;
  std::size_t capacity_ = 0;
};

}  // namespace quenlora
