// SPDX-FileCopyrightText: 2026 The Quenlora authors
// SPDX-License-Identifier: GPL-3.0-or-later

#include "../large_allocator.h"

#include <sys/mman.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <cstdint>

#include "memory_faults.h"

namespace quenlora::platform {

namespace {

std::atomic<std::size_t> inUse{0};
constexpr std::uintptr_t kHugePage = std::uintptr_t{2} << 20;

int refusals[static_cast<int>(TMemoryPoint::mpCount)] = {};

// Whether a test armed a refusal at the point; counts it off.
bool Refused(TMemoryPoint point)
{
  int& left = refusals[static_cast<int>(point)];
  if (left <= 0) return false;
  --left;
  errno = ENOMEM;
  return true;
}

std::size_t PageRounded(std::size_t bytes)
{
  // A local static's guard has paths that only a thread meeting another one
  // in its initialisation takes; its branches are not counted.
  static const auto page = static_cast<std::size_t>(::sysconf(_SC_PAGESIZE));  // GCOVR_EXCL_BR_LINE
  return (bytes + page - 1) / page * page;
}

}  // namespace

std::size_t LargeBytesInUse() { return inUse.load(std::memory_order_relaxed); }

void* AllocateLarge(std::size_t bytes)
{
  // Mapped with a huge page's worth to spare and trimmed to start on a huge
  // page boundary, so that the system can back all of it with huge pages.
  const std::size_t length = PageRounded(bytes);
  if (length == 0 || length > static_cast<std::size_t>(-1) - kHugePage) return nullptr;
  void* mapped = Refused(TMemoryPoint::mpMap)
                     ? MAP_FAILED
                     : ::mmap(nullptr, length + kHugePage, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
  if (mapped == MAP_FAILED) return nullptr;
  const auto first = reinterpret_cast<std::uintptr_t>(mapped);
  const std::uintptr_t start = (first + kHugePage - 1) & ~(kHugePage - 1);
  const std::uintptr_t end = start + length;
  if (start > first) ::munmap(mapped, start - first);
  // The start moved less than a huge page, so there is always a tail to trim;
  // the test only guards the arithmetic.
  if (first + length + kHugePage > end)  // GCOVR_EXCL_BR_LINE: never false, see above
    ::munmap(reinterpret_cast<void*>(end), first + length + kHugePage - end);
#ifdef MADV_HUGEPAGE
  // A hint: where the system has no huge pages (it answers EINVAL), ordinary ones serve.
  [[maybe_unused]] const int hinted =
      Refused(TMemoryPoint::mpHugePages) ? -1 : ::madvise(reinterpret_cast<void*>(start), length, MADV_HUGEPAGE);
#endif
  inUse += length;
  return reinterpret_cast<void*>(start);
}

void FreeLarge(void* memory, std::size_t bytes)
{
  if (memory == nullptr) return;
  ::munmap(memory, PageRounded(bytes));
  inUse -= PageRounded(bytes);
}

void FailMemoryCalls(TMemoryPoint point, int times) { refusals[static_cast<int>(point)] = times; }

void ClearMemoryFaults()
{
  for (int& left : refusals) left = 0;
}

}  // namespace quenlora::platform
