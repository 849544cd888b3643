// SPDX-FileCopyrightText: 2026 The Quenlora authors
// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

#include <cstdint>
#include <span>
#include <string_view>
#include <vector>

#include "large_allocator.h"

namespace quenlora {

// A hash index from code text to the positions of the entries holding it, so
// that the duplicate test of a scan costs the same for ten codes as for a
// million. Entries are named by position; the index stores only the position
// and the code's hash (8 bytes a cell) and asks its owner for the code text.
// A parallel array of one-byte tags (0 for a free cell) is what a probe reads
// first: at a million codes it is a few megabytes that stay in the cache,
// while the cells are not, so a code that is absent is usually known to be
// absent without touching the cells at all.
class TCodeIndex {
public:
  static constexpr std::uint32_t kMaxEntries = 0xFFFFFFFEu;

  static std::uint32_t HashOf(std::u16string_view code);

  // codeOf(entry) returns the code of the entry at that position.
  template <class CodeOf>
  bool Contains(std::u16string_view code, std::uint32_t hash, const CodeOf& codeOf) const
  {
    if (cells_.empty()) return false;
    const std::uint8_t tag = TagOf(hash);
    for (std::size_t cell = Home(hash);; cell = (cell + 1) & mask_) {
      const std::uint8_t found = tags_[cell];
      if (found == 0) return false;
      if (found == tag && cells_[cell].Hash == hash && codeOf(cells_[cell].Entry) == code) return true;
    }
  }

  void Insert(std::uint32_t entry, std::uint32_t hash);
  struct TEntryHash {
    std::uint32_t Entry;
    std::uint32_t Hash;
  };
  // Inserts many entries, reading ahead so that the cache misses of a large
  // table overlap instead of following one another.
  void InsertAll(std::span<const TEntryHash> entries);
  // The same for `count` entries that next() gives one after another, so
  // that a whole loaded batch is indexed without a list of its hashes.
  template <class Next>
  void InsertEach(std::size_t count, Next next);
  // Forgets every entry but keeps the table's size.
  void Empty();
  // Forgets the entry if it is indexed here; false when it is not.
  bool Erase(std::uint32_t entry, std::uint32_t hash);
  // After the entry at position `entry` was removed from the batch: later
  // positions move up by one.
  void ShiftAfter(std::uint32_t entry);
  std::size_t Size() const { return used_; }
  // Calls visit(entry, hash) for every indexed entry.
  template <class Visit>
  void ForEach(const Visit& visit) const
  {
    for (std::size_t cell = 0; cell < cells_.size(); ++cell)
      if (tags_[cell] != 0) visit(cells_[cell].Entry, cells_[cell].Hash);
  }
  void Clear();
  void Reserve(std::size_t entries);
  std::size_t MemoryUsage() const { return cells_.capacity() * sizeof(TCell) + tags_.capacity(); }

private:
  static constexpr std::uint32_t kEmpty = 0xFFFFFFFFu;
  struct TCell {
    std::uint32_t Entry = kEmpty;
    std::uint32_t Hash = 0;
  };

  std::size_t Home(std::uint32_t hash) const { return (hash * 0x9E3779B9u) >> shift_; }
  static std::uint8_t TagOf(std::uint32_t hash) { return static_cast<std::uint8_t>((hash & 0x7F) | 0x80); }
  void Rehash(std::size_t cellCount);
  void Place(TCell cell);
  // Places the cell at the first free cell at least `distance` cells past its
  // home and returns how far past its home that is.
  std::size_t PlaceFrom(TCell cell, std::size_t distance);

  // Remembers, for the hashes placed last, how far past its home the latest
  // cell of each went. The cells from that home up to there are all taken,
  // and stay taken while cells are only added, so the next cell of the same
  // hash starts looking after them. Without it, a code on many lines of a
  // loaded file would make each of its copies walk past all the earlier ones:
  // 40,000 copies took over half a second, a million would take many minutes.
  class TRecentRuns {
  public:
    std::size_t Start(std::uint32_t hash) const
    {
      const TRun& run = runs_[hash % kRuns];
      return run.Taken && run.Hash == hash ? run.Distance + 1 : 0;
    }
    void Placed(std::uint32_t hash, std::size_t distance) { runs_[hash % kRuns] = {hash, true, distance}; }

  private:
    static constexpr std::size_t kRuns = 64;
    struct TRun {
      std::uint32_t Hash = 0;
      bool Taken = false;
      std::size_t Distance = 0;
    };
    TRun runs_[kRuns];
  };
  // Asks for the cache lines of a hash's home ahead of writing them; a hint
  // only, so a compiler without one simply goes without.
  void PrefetchHome(std::uint32_t hash) const
  {
#if defined(__GNUC__) || defined(__clang__)
    const std::size_t home = Home(hash);
    __builtin_prefetch(&tags_[home], 1);
    __builtin_prefetch(&cells_[home], 1);
#else
    (void)hash;
#endif
  }

  TLargeVector<TCell> cells_;
  TLargeVector<std::uint8_t> tags_;
  std::size_t used_ = 0;
  std::size_t mask_ = 0;
  unsigned shift_ = 32;
};

template <class Next>
void TCodeIndex::InsertEach(std::size_t count, Next next)
{
  Reserve(used_ + count);
  // The entries wait in a small ring while the cells of those ahead of them
  // are fetched.
  constexpr std::size_t kAhead = 16;
  TEntryHash ring[kAhead];
  const std::size_t first = count < kAhead ? count : kAhead;
  for (std::size_t i = 0; i < first; ++i) {
    ring[i] = next();
    PrefetchHome(ring[i].Hash);
  }
  TRecentRuns runs;
  for (std::size_t i = 0; i < count; ++i) {
    const TEntryHash entry = ring[i % kAhead];
    if (i + kAhead < count) {
      ring[i % kAhead] = next();
      PrefetchHome(ring[i % kAhead].Hash);
    }
    runs.Placed(entry.Hash, PlaceFrom(TCell{entry.Entry, entry.Hash}, runs.Start(entry.Hash)));
  }
  used_ += count;
}

}  // namespace quenlora
