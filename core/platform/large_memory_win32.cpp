// SPDX-FileCopyrightText: 2026 The Quenlora authors
// SPDX-License-Identifier: GPL-3.0-or-later

#include "../large_allocator.h"

#include <atomic>

#include "win32.h"

namespace quenlora::platform {

namespace {
std::atomic<std::size_t> inUse{0};
}  // namespace

std::size_t LargeBytesInUse() { return inUse.load(std::memory_order_relaxed); }

void* AllocateLarge(std::size_t bytes)
{
  // Committed at once, zero-filled, backed page by page as it is written.
  void* memory = ::VirtualAlloc(nullptr, bytes, MEM_RESERVE | MEM_COMMIT, PAGE_READWRITE);
  if (memory != nullptr) inUse += bytes;
  return memory;
}

void FreeLarge(void* memory, std::size_t bytes)
{
  if (memory == nullptr) return;
  ::VirtualFree(memory, 0, MEM_RELEASE);
  inUse -= bytes;
}

}  // namespace quenlora::platform
