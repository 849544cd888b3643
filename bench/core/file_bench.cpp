// Throughput of the list file and the export on a million codes.
#include <benchmark/benchmark.h>

#include <filesystem>
#include <unistd.h>

#include "batch_list_file.h"
#include "bench_codes.h"
#include "return_document.h"

namespace quenlora::bench {
namespace {

constexpr std::size_t kCodes = 1'000'000;

std::filesystem::path BenchFolder()
{
  static const std::filesystem::path folder = [] {
    auto path = std::filesystem::temp_directory_path() / ("quenlora-bench-" + std::to_string(::getpid()));
    std::filesystem::create_directories(path);
    return path;
  }();
  return folder;
}

std::u16string BenchFile(const char* name) { return (BenchFolder() / name).u16string(); }

const TCodeBatch& MillionCodes()
{
  static const TCodeBatch batch = [] {
    TCodeBatch b;
    FillBatch(b, kCodes);
    for (std::ptrdiff_t i = 0; i < b.Count(); i += 2) b.SetWholePackage(i, true);
    return b;
  }();
  return batch;
}

void BM_SaveBatchList(benchmark::State& state)
{
  TCodeBatch batch = MillionCodes();
  batch.SetListEncoding(static_cast<TListEncoding>(state.range(0)));
  const std::u16string path = BenchFile("save.txt");
  for (auto _ : state) SaveBatchList(batch, path);
  state.SetItemsProcessed(static_cast<int64_t>(state.iterations() * kCodes));
}
BENCHMARK(BM_SaveBatchList)
    ->Arg(static_cast<int>(TListEncoding::leAnsi))
    ->Arg(static_cast<int>(TListEncoding::leUtf8))
    ->Arg(static_cast<int>(TListEncoding::leUtf16LE))
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime();

void BM_LoadBatchList(benchmark::State& state)
{
  TCodeBatch source = MillionCodes();
  source.SetListEncoding(static_cast<TListEncoding>(state.range(0)));
  const std::u16string path = BenchFile("load.txt");
  SaveBatchList(source, path);
  TCodeBatch batch;
  for (auto _ : state) LoadBatchList(batch, path);
  if (batch.Count() != static_cast<std::ptrdiff_t>(kCodes)) state.SkipWithError("wrong count loaded");
  state.SetItemsProcessed(static_cast<int64_t>(state.iterations() * kCodes));
}
BENCHMARK(BM_LoadBatchList)
    ->Arg(static_cast<int>(TListEncoding::leAnsi))
    ->Arg(static_cast<int>(TListEncoding::leUtf8))
    ->Arg(static_cast<int>(TListEncoding::leUtf16LE))
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime();

void BM_BuildAndWriteReturnDocument(benchmark::State& state)
{
  const TCodeBatch& batch = MillionCodes();
  const auto kind = static_cast<TExportKind>(state.range(0));
  const std::u16string path = BenchFile("export.xml");
  for (auto _ : state) WriteReturnDocument(BuildReturnDocument(batch, kind), path);
  state.SetItemsProcessed(static_cast<int64_t>(state.iterations() * kCodes));
}
BENCHMARK(BM_BuildAndWriteReturnDocument)
    ->Arg(xkSingle)
    ->Arg(xkKombi)
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime();

}  // namespace
}  // namespace quenlora::bench
