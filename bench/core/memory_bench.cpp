// SPDX-FileCopyrightText: 2026 The Quenlora authors
// SPDX-License-Identifier: GPL-3.0-or-later

// Memory of a million-code batch with its duplicate index, measured by the
// allocator, for a batch grown scan by scan and for one loaded from a file.
#include <benchmark/benchmark.h>

#include <malloc.h>

#include "bench_codes.h"
#include "large_allocator.h"

namespace quenlora::bench {
namespace {

constexpr std::size_t kCodes = 1'000'000;

// Small blocks, the large ones the allocator maps separately, and the batch's
// large arrays, which come from the system directly.
std::size_t HeapInUse()
{
  const struct mallinfo2 info = mallinfo2();
  return info.uordblks + info.hblkhd + platform::LargeBytesInUse();
}

void ReportBytesPerEntry(benchmark::State& state, std::size_t before, const TCodeBatch& batch)
{
  state.counters["heap_bytes_per_entry"] = static_cast<double>(HeapInUse() - before) / kCodes;
  state.counters["held_bytes_per_entry"] = static_cast<double>(batch.MemoryUsage()) / kCodes;
}

void BM_MemoryScanned(benchmark::State& state)
{
  const std::vector<std::u16string> codes = MakeCodes(0, kCodes);
  for (auto _ : state) {
    const std::size_t before = HeapInUse();
    TCodeBatch batch;
    for (const std::u16string& code : codes) batch.AddScanned(code);
    ReportBytesPerEntry(state, before, batch);
  }
}
BENCHMARK(BM_MemoryScanned)->Iterations(1)->Unit(benchmark::kMillisecond);

void BM_MemoryLoaded(benchmark::State& state)
{
  const std::vector<std::u16string> codes = MakeCodes(0, kCodes);
  const std::vector<std::u16string_view> lines(codes.begin(), codes.end());
  for (auto _ : state) {
    const std::size_t before = HeapInUse();
    TCodeBatch batch;
    batch.ReplaceFromLines(lines);
    ReportBytesPerEntry(state, before, batch);
  }
}
BENCHMARK(BM_MemoryLoaded)->Iterations(1)->Unit(benchmark::kMillisecond);

}  // namespace
}  // namespace quenlora::bench
