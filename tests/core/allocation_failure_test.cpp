// SPDX-FileCopyrightText: 2026 The Quenlora authors
// SPDX-License-Identifier: GPL-3.0-or-later

// Running out of memory at any allocation of a scan or a load: the operation
// either completes or throws std::bad_alloc, and a batch that threw is exactly
// as it was and goes on working. The test program's allocator can be told to
// fail the n-th allocation from now.
#include <gtest/gtest.h>

#include <cstdlib>
#include <new>
#include <string>
#include <vector>

#include "code_batch.h"
#include "test_support.h"

namespace {
// Allocations left before one fails; negative: none fails.
thread_local long allocationsBeforeFailure = -1;

void* Allocate(std::size_t size, std::size_t alignment)
{
  if (allocationsBeforeFailure == 0) {
    allocationsBeforeFailure = -1;
    throw std::bad_alloc();
  }
  if (allocationsBeforeFailure > 0) --allocationsBeforeFailure;
  if (size == 0) size = 1;
#ifdef _WIN32
  (void)alignment;
  void* memory = std::malloc(size);
#else
  void* memory = alignment <= alignof(std::max_align_t)
                     ? std::malloc(size)
                     : std::aligned_alloc(alignment, (size + alignment - 1) / alignment * alignment);
#endif
  if (memory == nullptr) throw std::bad_alloc();
  return memory;
}
}  // namespace

void* operator new(std::size_t size) { return Allocate(size, alignof(std::max_align_t)); }
void* operator new[](std::size_t size) { return Allocate(size, alignof(std::max_align_t)); }
void operator delete(void* memory) noexcept { std::free(memory); }
void operator delete[](void* memory) noexcept { std::free(memory); }
void operator delete(void* memory, std::size_t) noexcept { std::free(memory); }
void operator delete[](void* memory, std::size_t) noexcept { std::free(memory); }

#ifndef _WIN32
// Memory for over-aligned types (the filter's cache-line blocks); Windows has
// no aligned allocation that free() releases, so there they keep the
// library's own.
void* operator new(std::size_t size, std::align_val_t alignment)
{
  return Allocate(size, static_cast<std::size_t>(alignment));
}
void* operator new[](std::size_t size, std::align_val_t alignment)
{
  return Allocate(size, static_cast<std::size_t>(alignment));
}
void operator delete(void* memory, std::align_val_t) noexcept { std::free(memory); }
void operator delete[](void* memory, std::align_val_t) noexcept { std::free(memory); }
void operator delete(void* memory, std::size_t, std::align_val_t) noexcept { std::free(memory); }
void operator delete[](void* memory, std::size_t, std::align_val_t) noexcept { std::free(memory); }
#endif

namespace quenlora {
namespace {

using test::Codes;

std::u16string Code(unsigned n)
{
  std::string text("M");
  text += std::to_string(n);
  return std::u16string(text.begin(), text.end());
}

// Runs the action with the n-th allocation failing, for n = 0, 1, 2, ...
// until the action completes with no failure left to happen; each time
// `check` says whether the outcome is right (true: it completed).
template <class Prepare, class Action, class Check>
void FailEachAllocationInTurn(const Prepare& prepare, const Action& action, const Check& check)
{
  for (long n = 0;; ++n) {
    auto subject = prepare();
    bool completed = true;
    allocationsBeforeFailure = n;
    try {
      action(subject);
    } catch (const std::bad_alloc&) {
      completed = false;
    }
    const bool failureLeft = allocationsBeforeFailure >= 0;
    allocationsBeforeFailure = -1;
    check(subject, completed, n);
    if (completed && failureLeft) {
      EXPECT_GT(n, 0) << "no allocation failed";
      return;
    }
    ASSERT_LT(n, 1000) << "the action never completed";
  }
}

TEST(OutOfMemory, ScanIntoABatchOfEverySize)
{
  // Sizes around the points where the batch and its index grow and settle.
  for (const unsigned size : {0u, 1u, 15u, 2047u, 4095u}) {
    const auto prepare = [size] {
      TCodeBatch batch;
      for (unsigned n = 0; n < size; ++n) batch.AddScanned(Code(n));
      return batch;
    };
    const std::vector<std::u16string> before = Codes(prepare());
    FailEachAllocationInTurn(
        prepare, [](TCodeBatch& batch) { std::u16string raw(u" ");
          raw += ScanPrefix;
          raw += Code(99999);
          raw += u'\t';
          batch.AddScanned(raw); },
        [&](TCodeBatch& batch, bool completed, long n) {
          std::vector<std::u16string> expected = before;
          if (completed) expected.push_back(Code(99999));
          ASSERT_EQ(Codes(batch), expected) << "size " << size << ", allocation " << n;
          ASSERT_EQ(batch.Contains(Code(99999)), completed) << "size " << size << ", allocation " << n;
          // The batch goes on working: its codes are found, a new one is added.
          if (size > 0) {
            ASSERT_EQ(batch.AddScanned(Code(size - 1)), TScanResult::srAlreadyPresent);
          }
          ASSERT_EQ(batch.AddScanned(Code(88888)), TScanResult::srAdded);
          ASSERT_EQ(batch.AddScanned(Code(99999)),
                    completed ? TScanResult::srAlreadyPresent : TScanResult::srAdded);
        });
  }
}

TEST(OutOfMemory, LoadKeepsTheBatchWhenItFails)
{
  std::vector<std::u16string> codes;
  for (unsigned n = 0; n < 300; ++n) codes.push_back(Code(n));
  const std::vector<std::u16string_view> lines(codes.begin(), codes.end());
  const auto prepare = [] {
    TCodeBatch batch;
    batch.AddScanned(u"OLD-1");
    batch.SetWholePackage(0, true);
    return batch;
  };
  FailEachAllocationInTurn(
      prepare, [&](TCodeBatch& batch) { batch.ReplaceFromLines(lines); },
      [&](TCodeBatch& batch, bool completed, long n) {
        if (completed) {
          ASSERT_EQ(Codes(batch), codes) << "allocation " << n;
        } else {
          ASSERT_EQ(Codes(batch), std::vector<std::u16string>{u"OLD-1"}) << "allocation " << n;
          ASSERT_TRUE(batch.WholePackage(0)) << "allocation " << n;
        }
        ASSERT_EQ(batch.AddScanned(u"OLD-1"), completed ? TScanResult::srAdded : TScanResult::srAlreadyPresent);
      });
}

}  // namespace
}  // namespace quenlora
