// SPDX-FileCopyrightText: 2026 The Quenlora authors
// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

// The allocator of the batch's large arrays (the character pool, the entries,
// the duplicate index). A million codes take some sixty megabytes, and
// faulting that in page by page cost more than all the work of a load; large
// arrays therefore come straight from the system, in huge pages where it
// offers them. Elements are default-initialised, so that growing an array of
// characters that is about to be written does not first fill it with zeros.

#include <cstddef>
#include <memory>
#include <new>
#include <utility>
#include <vector>

namespace quenlora {

namespace platform {
// Memory for a large array, page-aligned and zero-filled, or nullptr when the
// system has none; released with FreeLarge and the same size.
void* AllocateLarge(std::size_t bytes);
void FreeLarge(void* memory, std::size_t bytes);
// The bytes of large arrays allocated now (for measuring memory).
std::size_t LargeBytesInUse();
}  // namespace platform

// Builds that check every access keep every array on the ordinary heap,
// where their checker can see it.
#if defined(__SANITIZE_ADDRESS__)
#define QUENLORA_ORDINARY_HEAP_ONLY 1
#elif defined(__has_feature)
#if __has_feature(address_sanitizer) || __has_feature(memory_sanitizer)
#define QUENLORA_ORDINARY_HEAP_ONLY 1
#endif
#endif

template <class T>
class TLargeAllocator {
public:
  using value_type = T;
  // Smaller arrays stay with the ordinary allocator.
  static constexpr std::size_t kLargeBytes = std::size_t{1} << 20;

  TLargeAllocator() noexcept = default;
  template <class U>
  TLargeAllocator(const TLargeAllocator<U>&) noexcept
  {
  }

  T* allocate(std::size_t count)
  {
#ifndef QUENLORA_ORDINARY_HEAP_ONLY
    if (count >= kLargeBytes / sizeof(T)) {
      if (count > static_cast<std::size_t>(-1) / sizeof(T)) throw std::bad_array_new_length();
      void* memory = platform::AllocateLarge(count * sizeof(T));
      if (memory == nullptr) throw std::bad_alloc();
      return static_cast<T*>(memory);
    }
#endif
    return std::allocator<T>().allocate(count);
  }

  void deallocate(T* memory, std::size_t count) noexcept
  {
#ifndef QUENLORA_ORDINARY_HEAP_ONLY
    if (count >= kLargeBytes / sizeof(T)) return platform::FreeLarge(memory, count * sizeof(T));
#endif
    std::allocator<T>().deallocate(memory, count);
  }

  template <class U>
  void construct(U* place) noexcept(noexcept(::new (static_cast<void*>(place)) U))
  {
    ::new (static_cast<void*>(place)) U;
  }
  template <class U, class... Arguments>
  void construct(U* place, Arguments&&... arguments)
  {
    ::new (static_cast<void*>(place)) U(std::forward<Arguments>(arguments)...);
  }

  template <class U>
  bool operator==(const TLargeAllocator<U>&) const noexcept
  {
    return true;
  }
};

template <class T>
using TLargeVector = std::vector<T, TLargeAllocator<T>>;

}  // namespace quenlora
