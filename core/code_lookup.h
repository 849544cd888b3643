#pragma once

#include <cstdint>
#include <string_view>

#include "code_filter.h"
#include "code_index.h"

namespace quenlora {

// The duplicate test of the batch: whether some entry holds a code, in about
// the same time for a thousand codes as for a million.
//
// A large hash table cannot stay in the processor's cache, and one uncached
// read costs more than the rest of a scan. So codes are indexed in two
// tables: a small one for the latest codes, which stays cached, and a large
// settled one, guarded by a filter that stays cached too and rules out almost
// every code that is not there. The small table is moved into the large one
// in bulk, where the reads overlap instead of waiting one by one.
class TCodeLookup {
public:
  template <class CodeOf>
  bool Contains(std::u16string_view code, std::uint32_t hash, const CodeOf& codeOf) const
  {
    return recent_.Contains(code, hash, codeOf) ||
           (filter_.MayContain(hash) && settled_.Contains(code, hash, codeOf));
  }

  void Insert(std::uint32_t entry, std::uint32_t hash);
  // Forgets the entry (if indexed) and moves every later position up by
  // one, as a deletion from the batch does.
  void EraseAndShift(std::uint32_t entry, std::uint32_t hash, bool indexed);
  void Clear();
  // Indexes a whole loaded batch at once; the lookup must be empty.
  void Load(std::span<const TCodeIndex::TEntryHash> entries);
  // The same for `count` entries that next() gives one after another.
  template <class Next>
  void LoadEach(std::size_t count, Next next)
  {
    // Room to grow by an eighth before the filter has to be rebuilt.
    filter_.Reset(count + count / 8 + 64);
    // Each hash goes into the filter a few entries after its block was asked
    // for, so that the filter's cache misses overlap too.
    constexpr std::size_t kAhead = 8;
    std::uint32_t waiting[kAhead];
    std::size_t given = 0;
    settled_.InsertEach(count, [&] {
      const TCodeIndex::TEntryHash entry = next();
      filter_.Prefetch(entry.Hash);
      if (given >= kAhead) filter_.Add(waiting[given % kAhead]);
      waiting[given++ % kAhead] = entry.Hash;
      return entry;
    });
    for (std::size_t i = given > kAhead ? given - kAhead : 0; i < given; ++i) filter_.Add(waiting[i % kAhead]);
  }
  std::size_t MemoryUsage() const;

private:
  void Settle();

  TCodeIndex recent_;
  TCodeIndex settled_;
  TCodeFilter filter_;
};

}  // namespace quenlora
