// SPDX-FileCopyrightText: 2026 The Quenlora authors
// SPDX-License-Identifier: GPL-3.0-or-later
//
// The memory of the batch's large arrays, straight from the system: what it
// gives is zeroed, aligned for huge pages and accounted for; sizes it cannot
// map and a mapping it refuses are allocation failures; refused huge pages
// change nothing but speed. A load whose up-front reservation is refused goes
// on growing as it reads, and one that gets no memory at all keeps the batch.
#include <gtest/gtest.h>

#include <cstdint>
#include <new>
#include <string>
#include <vector>

#include "batch_list_file.h"
#include "large_allocator.h"
#include "platform/memory_faults.h"
#include "test_support.h"

namespace quenlora {
namespace {

using platform::TMemoryPoint;
using test::Codes;
using test::StateOf;

constexpr std::size_t kMegabyte = std::size_t{1} << 20;
constexpr std::uintptr_t kHugePage = std::uintptr_t{2} << 20;

// Disarms every refusal when the test ends, also when it fails.
struct TMemoryFaultsCleared {
  TMemoryFaultsCleared() { platform::ClearMemoryFaults(); }
  ~TMemoryFaultsCleared() { platform::ClearMemoryFaults(); }
};

TEST(LargeMemory, ZeroedAlignedAndAccountedWithOrWithoutHugePages)
{
  const TMemoryFaultsCleared cleared;
  for (const bool hugePagesRefused : {false, true}) {
    if (hugePagesRefused) platform::FailMemoryCalls(TMemoryPoint::mpHugePages);
    const std::size_t before = platform::LargeBytesInUse();
    const std::size_t bytes = 3 * kMegabyte + 1;
    auto* memory = static_cast<unsigned char*>(platform::AllocateLarge(bytes));
    ASSERT_NE(memory, nullptr) << "huge pages refused: " << hugePagesRefused;
    EXPECT_EQ(reinterpret_cast<std::uintptr_t>(memory) % kHugePage, 0u);
    // Whole pages are mapped and counted.
    const std::size_t mapped = platform::LargeBytesInUse() - before;
    EXPECT_GE(mapped, bytes);
    EXPECT_LT(mapped, bytes + 65536);
    bool zero = true;
    for (std::size_t i = 0; i < bytes; i += 4096) zero = zero && memory[i] == 0;
    EXPECT_TRUE(zero && memory[bytes - 1] == 0);
    // Every byte can be written, up to the last one asked for.
    std::fill(memory, memory + bytes, 0xA5);
    EXPECT_EQ(memory[bytes - 1], 0xA5);
    platform::FreeLarge(memory, bytes);
    EXPECT_EQ(platform::LargeBytesInUse(), before);
  }
}

TEST(LargeMemory, SizesThatCannotBeMappedAndRefusedMappings)
{
  const TMemoryFaultsCleared cleared;
  const std::size_t before = platform::LargeBytesInUse();
  for (const std::size_t bytes : {std::size_t{0}, SIZE_MAX, SIZE_MAX - 4095, SIZE_MAX - kHugePage})
    EXPECT_EQ(platform::AllocateLarge(bytes), nullptr) << bytes;
  platform::FreeLarge(nullptr, kMegabyte);

  platform::FailMemoryCalls(TMemoryPoint::mpMap, 2);
  EXPECT_EQ(platform::AllocateLarge(kMegabyte), nullptr);
  EXPECT_EQ(platform::AllocateLarge(kMegabyte), nullptr);
  EXPECT_EQ(platform::LargeBytesInUse(), before);
  void* memory = platform::AllocateLarge(kMegabyte);
  EXPECT_NE(memory, nullptr) << "a refusal outlived the calls it was armed for";
  platform::FreeLarge(memory, kMegabyte);
  EXPECT_EQ(platform::LargeBytesInUse(), before);

  // An array whose size in bytes does not fit in a size_t is refused before
  // anything is asked of the system.
  EXPECT_THROW(TLargeAllocator<std::uint64_t>().allocate(SIZE_MAX / 4), std::bad_array_new_length);
}

#ifdef QUENLORA_ORDINARY_HEAP_ONLY
constexpr bool kLargeArraysFromTheSystem = false;
#else
constexpr bool kLargeArraysFromTheSystem = true;
#endif

TEST(LargeMemory, RefusedMappingThrowsBadAlloc)
{
  if (!kLargeArraysFromTheSystem) GTEST_SKIP() << "this build keeps every array on the ordinary heap";
  const TMemoryFaultsCleared cleared;
  TLargeAllocator<char16_t> allocator;
  platform::FailMemoryCalls(TMemoryPoint::mpMap);
  EXPECT_THROW(allocator.allocate(kMegabyte), std::bad_alloc);
  char16_t* memory = allocator.allocate(kMegabyte);
  memory[kMegabyte - 1] = u'x';
  allocator.deallocate(memory, kMegabyte);
}

// A list of a few megabytes, whose load reserves its whole size after the
// first block.
std::string ListOfCodes(std::size_t count, std::vector<std::u16string>& codes)
{
  std::string bytes;
  for (std::size_t i = 0; i < count; ++i) {
    const std::string code = "KP-" + std::to_string(1000000 + i) + "-\xC8";
    bytes += code + "\r\n";
    std::u16string wide(code.begin(), code.end() - 1);
    codes.push_back(wide + u'\u010C');
  }
  return bytes;
}

TEST(LargeMemory, LoadGoesOnWhenItsReservationIsRefused)
{
  if (!kLargeArraysFromTheSystem) GTEST_SKIP() << "this build keeps every array on the ordinary heap";
  const TMemoryFaultsCleared cleared;
  std::vector<std::u16string> codes;
  const std::string bytes = ListOfCodes(200000, codes);

  TCodeBatch batch;
  platform::FailMemoryCalls(TMemoryPoint::mpMap);
  ReadBatchList(batch, bytes, u"list.txt");
  EXPECT_TRUE(Codes(batch) == codes);
  EXPECT_EQ(batch.ListEncoding(), TListEncoding::leAnsi);
  // The refusal was met (by the reservation), not left over.
  void* memory = platform::AllocateLarge(kMegabyte);
  EXPECT_NE(memory, nullptr);
  platform::FreeLarge(memory, kMegabyte);
}

TEST(LargeMemory, LoadWithoutMemoryKeepsTheBatch)
{
  if (!kLargeArraysFromTheSystem) GTEST_SKIP() << "this build keeps every array on the ordinary heap";
  const TMemoryFaultsCleared cleared;
  std::vector<std::u16string> codes;
  const std::string bytes = ListOfCodes(200000, codes);

  TCodeBatch batch;
  test::Fill(batch, {u"OLD-1", u"OLD-2"});
  batch.SetWholePackage(1, true);
  batch.SetListEncoding(TListEncoding::leUtf16BE);
  const test::TBatchState before = StateOf(batch);
  platform::FailMemoryCalls(TMemoryPoint::mpMap, 1000000);
  EXPECT_THROW(ReadBatchList(batch, bytes, u"list.txt"), std::bad_alloc);
  platform::ClearMemoryFaults();
  EXPECT_TRUE(StateOf(batch) == before);
  EXPECT_EQ(batch.AddScanned(u"OLD-2"), TScanResult::srAlreadyPresent);
  EXPECT_EQ(batch.AddScanned(u"NEW-1"), TScanResult::srAdded);
}

}  // namespace
}  // namespace quenlora
