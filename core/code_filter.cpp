// SPDX-FileCopyrightText: 2026 The Quenlora authors
// SPDX-License-Identifier: GPL-3.0-or-later

#include "code_filter.h"

namespace quenlora {

void TCodeFilter::Reset(std::size_t codes)
{
  // About eight bits a code: a few percent of absent codes get a "maybe".
  blocks_.assign(codes / 64 + 1, TBlock{});
  capacity_ = codes;
}

void TCodeFilter::BitsOf(std::uint32_t hash, unsigned (&bits)[4])
{
  // Bits taken from a second mix of the hash, independent of the block choice.
  std::uint32_t mixed = hash * 0x85EBCA6Bu;
  mixed ^= mixed >> 13;
  mixed *= 0xC2B2AE35u;
  for (unsigned quarter = 0; quarter < 4; ++quarter) bits[quarter] = quarter * 128 + ((mixed >> (quarter * 7)) & 127);
}

void TCodeFilter::Add(std::uint32_t hash)
{
  if (blocks_.empty()) return;
  unsigned bits[4];
  BitsOf(hash, bits);
  TBlock& block = blocks_[BlockOf(hash)];
  for (unsigned bit : bits) block.Words[bit / 64] |= std::uint64_t{1} << (bit % 64);
}

bool TCodeFilter::MayContain(std::uint32_t hash) const
{
  if (blocks_.empty()) return false;
  unsigned bits[4];
  BitsOf(hash, bits);
  const TBlock& block = blocks_[BlockOf(hash)];
  for (unsigned bit : bits)
    if ((block.Words[bit / 64] & (std::uint64_t{1} << (bit % 64))) == 0) return false;
  return true;
}

}  // namespace quenlora
