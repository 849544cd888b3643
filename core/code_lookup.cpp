#include "code_lookup.h"

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
  recent_.ForEach([this](std::uint32_t, std::uint32_t hash) { filter_.Add(hash); });
  settled_.InsertAll(recent_);
  recent_.Clear();
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

void TCodeLookup::Reserve(std::size_t entries)
{
  settled_.Reserve(settled_.Size() + entries);
  if (settled_.Size() + entries > filter_.Capacity()) {
    filter_.Reset(settled_.Size() + entries);
    settled_.ForEach([this](std::uint32_t, std::uint32_t hash) { filter_.Add(hash); });
  }
}

std::size_t TCodeLookup::MemoryUsage() const
{
  return recent_.MemoryUsage() + settled_.MemoryUsage() + filter_.MemoryUsage();
}

}  // namespace quenlora
