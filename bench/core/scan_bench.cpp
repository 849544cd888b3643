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

}  // namespace
}  // namespace quenlora::bench
