// SPDX-FileCopyrightText: 2026 The Quenlora authors
// SPDX-License-Identifier: GPL-3.0-or-later

// Throughput of the list file and the export on a million codes.
#include <benchmark/benchmark.h>

#include <filesystem>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>

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
  // A user loads a list into a program that has not yet touched that much
  // memory: each load runs in a child process of its own, so that it meets
  // fresh memory as the first load of a run does, not pages an earlier
  // iteration already faulted in. The child times the load alone.
  for (auto _ : state) {
    int channel[2];
    if (::pipe(channel) != 0) return state.SkipWithError("no pipe");
    const pid_t child = ::fork();
    if (child < 0) return state.SkipWithError("no child process");
    if (child == 0) {
      ::close(channel[0]);
      TCodeBatch batch;
      const auto start = std::chrono::steady_clock::now();
      LoadBatchList(batch, path);
      const double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
      const double result = batch.Count() == static_cast<std::ptrdiff_t>(kCodes) ? seconds : -1;
      ::_exit(::write(channel[1], &result, sizeof result) == sizeof result ? 0 : 1);
    }
    ::close(channel[1]);
    double seconds = -1;
    const bool got = ::read(channel[0], &seconds, sizeof seconds) == sizeof seconds;
    ::close(channel[0]);
    ::waitpid(child, nullptr, 0);
    if (!got || seconds < 0) return state.SkipWithError("the load in the child process failed");
    state.SetIterationTime(seconds);
  }
  state.SetItemsProcessed(static_cast<int64_t>(state.iterations() * kCodes));
}
BENCHMARK(BM_LoadBatchList)
    ->Arg(static_cast<int>(TListEncoding::leAnsi))
    ->Arg(static_cast<int>(TListEncoding::leUtf8))
    ->Arg(static_cast<int>(TListEncoding::leUtf16LE))
    ->Unit(benchmark::kMillisecond)
    ->UseManualTime();

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
