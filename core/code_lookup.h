// SPDX-FileCopyrightText: 2026 The Quenlora authors
// SPDX-License-Identifier: GPL-3.0-or-later

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
           ((!filterCoversSettled_ || filter_.MayContain(hash)) && settled_.Contains(code, hash, codeOf));
  }

  void Insert(std::uint32_t entry, std::uint32_t hash);
  // Forgets the entry (if indexed) and moves every later position up by
  // one, as a deletion from the batch does.
  void EraseAndShift(std::uint32_t entry, std::uint32_t hash, bool indexed);
  void Clear();
  // Indexes a whole loaded batch at once, `count` entries that next() gives
  // one after another; the lookup must be empty.
  template <class Next>
  void LoadEach(std::size_t count, Next next)
  {
    // The filter is left to the first settling of scanned codes: filling it
    // would cost a loaded million codes a fifth of their load time, and until
    // then the settled table answers by itself, only a little slower.
    settled_.InsertEach(count, next);
    filter_.Reset(0);
    filterCoversSettled_ = false;
  }
  std::size_t MemoryUsage() const;

private:
  void Settle();

  TCodeIndex recent_;
  TCodeIndex settled_;
  TCodeFilter filter_;
  // False while some settled codes are not in the filter (after a load): the
  // filter cannot rule out a code then.
  bool filterCoversSettled_ = true;
};

}  // namespace quenlora
