#include "code_lookup.h"

#include <vector>

namespace quenlora {

void TCodeLookup::Insert(std::uint32_t entry, std::uint32_t hash)
{
  recent_.Insert(entry, hash);
  if (recent_.Size() >= kRecentLimit) Settle();
}

void TCodeLookup::Settle()
{
  const std::size_t total = settled_.Size() + recent_.Size();
  settled_.Reserve(total);
  if (total > filter_.Capacity()) {
    // Grown past the filter's size: rebuild it, with room to grow again.
    filter_.Reset(total + total / 4);
    settled_.ForEach([this](std::uint32_t, std::uint32_t hash) { filter_.Add(hash); });
  }
  std::vector<TCodeIndex::TEntryHash> moving;
  moving.reserve(recent_.Size());
  recent_.ForEach([&](std::uint32_t entry, std::uint32_t hash) {
    moving.push_back({entry, hash});
    filter_.Add(hash);
  });
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
}

void TCodeLookup::Load(std::span<const TCodeIndex::TEntryHash> entries)
{
  // Room to grow by an eighth before the filter has to be rebuilt.
  filter_.Reset(entries.size() + entries.size() / 8 + 64);
  for (const auto& entry : entries) filter_.Add(entry.Hash);
  settled_.InsertAll(entries);
}

std::size_t TCodeLookup::MemoryUsage() const
{
  return recent_.MemoryUsage() + settled_.MemoryUsage() + filter_.MemoryUsage();
}

}  // namespace quenlora
