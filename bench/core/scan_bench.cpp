// SPDX-FileCopyrightText: 2026 The Quenlora authors
// SPDX-License-Identifier: GPL-3.0-or-later

// The cost of one scan must not grow with the batch: a scanner types a code
// every few hundred milliseconds into batches of up to a million codes.
#include <benchmark/benchmark.h>

#include "bench_codes.h"

namespace quenlora::bench {
namespace {

constexpr int kScansPerRepetition = 200;

void BM_AddScanned(benchmark::State& state)
{
  const auto held = static_cast<std::size_t>(state.range(0));
  TCodeBatch batch;
  FillBatch(batch, held);
  // What the scanner types: the verification URL in lower case, then the code.
  std::u16string prefix(ScanPrefix);
  for (char16_t& c : prefix)
    if (c >= u'A' && c <= u'Z') c = static_cast<char16_t>(c - u'A' + u'a');
  std::vector<std::u16string> scans;
  for (const std::u16string& code : MakeCodes(held, kScansPerRepetition)) scans.push_back(prefix + code);

  std::size_t next = 0;
  for (auto _ : state) {
    benchmark::DoNotOptimize(batch.AddScanned(scans[next++]));
  }
  if (batch.Count() != static_cast<std::ptrdiff_t>(held + kScansPerRepetition))
    state.SkipWithError("a scan was not added");
}
BENCHMARK(BM_AddScanned)
    ->Arg(1'000)
    ->Arg(1'000'000)
    ->Iterations(kScansPerRepetition)
    ->Repetitions(15)
    ->ReportAggregatesOnly(true)
    ->Unit(benchmark::kMicrosecond);

void BM_ScanAlreadyPresent(benchmark::State& state)
{
  const auto held = static_cast<std::size_t>(state.range(0));
  TCodeBatch batch;
  FillBatch(batch, held);
  const std::vector<std::u16string> present = MakeCodes(0, 1000);
  std::size_t next = 0;
  for (auto _ : state) {
    benchmark::DoNotOptimize(batch.AddScanned(present[next++ % present.size()]));
  }
}
BENCHMARK(BM_ScanAlreadyPresent)->Arg(1'000)->Arg(1'000'000)->Unit(benchmark::kMicrosecond);

// A loaded file that holds one code on most of its lines (a list pasted into
// itself, a file that is no list at all) must load in about the time distinct
// codes take, and later scans must grow the index around the copies without
// stalling.
// Argument: how many of the million lines are the same code.
void BM_LoadRepeatedCode(benchmark::State& state)
{
  constexpr std::size_t kLines = 1'000'000;
  const auto repeated = static_cast<std::size_t>(state.range(0));
  std::vector<std::u16string> codes = MakeCodes(0, kLines - repeated);
  codes.resize(kLines, u"KP-THE-SAME-CODE");
  const std::vector<std::u16string_view> lines(codes.begin(), codes.end());
  const std::vector<std::u16string> scans = MakeCodes(kLines, 5000);
  for (auto _ : state) {
    TCodeBatch batch;
    batch.ReplaceFromLines(lines);
    for (const std::u16string& scan : scans) benchmark::DoNotOptimize(batch.AddScanned(scan));
  }
  state.SetItemsProcessed(static_cast<int64_t>(state.iterations() * kLines));
}
BENCHMARK(BM_LoadRepeatedCode)->Arg(0)->Arg(1'000'000)->Unit(benchmark::kMillisecond)->UseRealTime();

}  // namespace
}  // namespace quenlora::bench
