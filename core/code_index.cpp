// SPDX-FileCopyrightText: 2026 The Quenlora authors
// SPDX-License-Identifier: GPL-3.0-or-later

#include "code_index.h"

#include <algorithm>
#include <bit>

namespace quenlora {

std::uint32_t TCodeIndex::HashOf(std::u16string_view code)
{
  std::uint64_t hash = 0xCBF29CE484222325ull;  // FNV-1a over the UTF-16 units
  for (char16_t c : code) {
    hash ^= c;
    hash *= 0x100000001B3ull;
  }
  return static_cast<std::uint32_t>(hash ^ (hash >> 32));
}

void TCodeIndex::Place(TCell cell) { PlaceFrom(cell, 0); }

std::size_t TCodeIndex::PlaceFrom(TCell cell, std::size_t distance)
{
  std::size_t slot = (Home(cell.Hash) + distance) & mask_;
  while (tags_[slot] != 0) {
    slot = (slot + 1) & mask_;
    ++distance;
  }
  cells_[slot] = cell;
  tags_[slot] = TagOf(cell.Hash);
  return distance;
}

void TCodeIndex::Rehash(std::size_t cellCount)
{
  // The new table is complete before the old one goes, so a failed
  // allocation leaves the index as it was.
  TLargeVector<TCell> cells(cellCount, TCell{});
  TLargeVector<std::uint8_t> tags(cellCount, 0);
  cells.swap(cells_);
  tags.swap(tags_);
  mask_ = cellCount - 1;
  shift_ = 32 - static_cast<unsigned>(std::countr_zero(cellCount));
  TRecentRuns runs;
  for (std::size_t cell = 0; cell < cells.size(); ++cell) {
    if (tags[cell] == 0) continue;
    const std::uint32_t hash = cells[cell].Hash;
    runs.Placed(hash, PlaceFrom(cells[cell], runs.Start(hash)));
  }
}

void TCodeIndex::Reserve(std::size_t entries)
{
  // At most three quarters full, so that probe runs stay short.
  std::size_t cellCount = std::bit_ceil(entries + entries / 3 + 1);
  if (cellCount < 16) cellCount = 16;
  if (cellCount > cells_.size()) Rehash(cellCount);
}

void TCodeIndex::Insert(std::uint32_t entry, std::uint32_t hash)
{
  Reserve(used_ + 1);
  Place(TCell{entry, hash});
  ++used_;
}

void TCodeIndex::InsertAll(std::span<const TEntryHash> entries)
{
  std::size_t next = 0;
  InsertEach(entries.size(), [&] { return entries[next++]; });
}

void TCodeIndex::Empty()
{
  std::fill(tags_.begin(), tags_.end(), std::uint8_t{0});
  std::fill(cells_.begin(), cells_.end(), TCell{});
  used_ = 0;
}

bool TCodeIndex::Erase(std::uint32_t entry, std::uint32_t hash)
{
  if (cells_.empty()) return false;
  std::size_t hole = Home(hash);
  for (; cells_[hole].Entry != entry; hole = (hole + 1) & mask_)
    if (tags_[hole] == 0) return false;
  // Free cells hold kEmpty, which is no entry's position: the search stops at
  // one only for an entry of kEmpty, which the batch never asks for.
  if (tags_[hole] == 0) return false;  // GCOVR_EXCL_BR_LINE
  // Backward-shift deletion: pull later members of the probe run into the
  // hole, so lookups never need tombstones.
  for (std::size_t next = (hole + 1) & mask_; tags_[next] != 0; next = (next + 1) & mask_) {
    const std::size_t home = Home(cells_[next].Hash);
    const bool homeOutsideRun = hole <= next ? (home <= hole || home > next) : (home <= hole && home > next);
    if (homeOutsideRun) {
      cells_[hole] = cells_[next];
      tags_[hole] = tags_[next];
      hole = next;
    }
  }
  cells_[hole] = TCell{};
  tags_[hole] = 0;
  --used_;
  return true;
}

void TCodeIndex::ShiftAfter(std::uint32_t entry)
{
  for (TCell& cell : cells_)
    cell.Entry -= static_cast<std::uint32_t>(cell.Entry > entry && cell.Entry != kEmpty);
}

void TCodeIndex::Clear()
{
  cells_.clear();
  cells_.shrink_to_fit();
  tags_.clear();
  tags_.shrink_to_fit();
  used_ = 0;
  mask_ = 0;
  shift_ = 32;
}

}  // namespace quenlora
