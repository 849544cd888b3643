// SPDX-FileCopyrightText: 2026 The Quenlora authors
// SPDX-License-Identifier: GPL-3.0-or-later

#include "code_lookup.h"

#include <new>
#include <vector>

// How many of the latest codes the small table holds before they settle into
// the large one: enough to keep scans cheap, few enough that the small table
// stays in the cache. A fuzzing build sets it tiny, so that a handful of
// scans already takes every path of the two tables.
#ifndef QUENLORA_RECENT_CODES
#define QUENLORA_RECENT_CODES 2048
#endif

namespace quenlora {

namespace {
constexpr std::size_t kRecentLimit = QUENLORA_RECENT_CODES;
}  // namespace

void TCodeLookup::Insert(std::uint32_t entry, std::uint32_t hash)
{
  recent_.Insert(entry, hash);
  if (recent_.Size() < kRecentLimit) return;
  try {
    Settle();
  } catch (const std::bad_alloc&) {  // GCOVR_EXCL_BR_LINE: Settle throws nothing else
    // Nothing moved; the codes stay in the small table until a later try.
  }
}

void TCodeLookup::Settle()
{
  // Everything that can fail comes first, so a failure changes nothing.
  std::vector<TCodeIndex::TEntryHash> moving;
  moving.reserve(recent_.Size());
  recent_.ForEach([&](std::uint32_t entry, std::uint32_t hash) { moving.push_back({entry, hash}); });
  const std::size_t total = settled_.Size() + moving.size();
  settled_.Reserve(total);
  if (total > filter_.Capacity() || !filterCoversSettled_) {
    // Grown past the filter's size, or not yet filled after a load: build it
    // anew from the settled codes, with room to grow again.
    TCodeFilter larger;
    larger.Reset(total + total / 4);
    settled_.ForEach([&](std::uint32_t, std::uint32_t hash) { larger.Add(hash); });
    filter_ = std::move(larger);
    filterCoversSettled_ = true;
  }
  for (const auto& item : moving) filter_.Add(item.Hash);
  settled_.InsertAll(moving);
  recent_.Empty();
}

void TCodeLookup::EraseAndShift(std::uint32_t entry, std::uint32_t hash, bool indexed)
{
  // A deleted code stays set in the filter; that costs at most a wasted look
  // into the settled table, never a wrong answer.
  if (indexed && !recent_.Erase(entry, hash)) settled_.Erase(entry, hash);
  recent_.ShiftAfter(entry);
  settled_.ShiftAfter(entry);
}

void TCodeLookup::Clear()
{
  recent_.Clear();
  settled_.Clear();
  filter_.Reset(0);
  filterCoversSettled_ = true;
}

std::size_t TCodeLookup::MemoryUsage() const
{
  return recent_.MemoryUsage() + settled_.MemoryUsage() + filter_.MemoryUsage();
}

}  // namespace quenlora
