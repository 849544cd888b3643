#include "../large_allocator.h"

#include "win32.h"

namespace quenlora::platform {

void* AllocateLarge(std::size_t bytes)
{
  // Committed at once, zero-filled, backed page by page as it is written.
  return ::VirtualAlloc(nullptr, bytes, MEM_RESERVE | MEM_COMMIT, PAGE_READWRITE);
}

void FreeLarge(void* memory, std::size_t)
{
  if (memory != nullptr) ::VirtualFree(memory, 0, MEM_RELEASE);
}

}  // namespace quenlora::platform
