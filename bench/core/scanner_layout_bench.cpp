// SPDX-FileCopyrightText: 2026 The Quenlora authors
// SPDX-License-Identifier: GPL-3.0-or-later

// Reading a scan typed through another keyboard layout must add nothing a
// user notices to the scan: one repaired scan of 60 characters in well under
// 10 µs.
#include <benchmark/benchmark.h>

#include <string>
#include <vector>

#include "code_batch.h"
#include "keyboard_layout.h"
#include "scanner_layout.h"

namespace quenlora::bench {
namespace {

constexpr std::size_t kScanLength = 60;

// The verification URL, lower case as QR codes carry it, made 60 characters
// long with a code of digits, letters and dashes.
std::u16string SixtyCharacterUrl()
{
  std::u16string url(ScanPrefix);
  for (char16_t& c : url)
    if (c >= u'A' && c <= u'Z') c = static_cast<char16_t>(c - u'A' + u'a');
  constexpr std::u16string_view code = u"KP0123456789-ZY98765YZ-AB12CD34-QWERTZUIOP-ASDFGHJKL-YXCVBNM-0";
  while (url.size() < kScanLength) url.push_back(code[url.size() % code.size()]);
  url.resize(kScanLength);
  return url;
}

// The keys a scanner set up for the layout presses to type the text.
std::vector<TKeyStroke> KeysTyping(const TKeyboardLayout& layout, std::u16string_view text)
{
  std::vector<TKeyStroke> keys;
  for (char16_t c : text) {
    for (bool shift : {false, true}) {
      bool found = false;
      for (std::size_t p = 0; p < TKeyboardLayout::kPositions && !found; ++p) {
        const TKeyStroke stroke{static_cast<TKeyPosition>(p), shift};
        if (layout.Symbol(stroke) == c) keys.push_back(stroke), found = true;
      }
      if (found) break;
    }
  }
  return keys;
}

std::u16string Typed(const TKeyboardLayout& active, const std::vector<TKeyStroke>& keys)
{
  std::u16string typed;
  ReadKeys(active, keys, typed);
  return typed;
}

// A scanner set up for Czech on a machine with US active: the US reading is
// tried first and fails, the Czech one gives the URL.
void BM_RepairedScan(benchmark::State& state)
{
  const std::u16string url = SixtyCharacterUrl();
  const std::vector<TKeyStroke> keys = KeysTyping(CzechLayout(), url);
  const std::u16string typed = Typed(UsLayout(), keys);
  if (keys.size() != kScanLength || CarriesScanPrefix(typed)) state.SkipWithError("the scan is not a mistyped one");
  for (auto _ : state) {
    std::optional<std::u16string> reading = ReadThroughScannerLayouts(typed, keys);
    benchmark::DoNotOptimize(reading);
  }
  const std::optional<std::u16string> reading = ReadThroughScannerLayouts(typed, keys);
  if (!reading || NormalizeScan(*reading).Candidate != NormalizeScan(url).Candidate)
    state.SkipWithError("the scan was not read back as the scanner typed it");
}
BENCHMARK(BM_RepairedScan)->Unit(benchmark::kMicrosecond);

// The most work a scan can cost: 60 hand-typed characters whose keys give
// the prefix under none of the layouts, so all three readings are made.
void BM_UnrepairableScan(benchmark::State& state)
{
  const std::u16string typed = SixtyCharacterUrl().substr(ScanPrefix.size());
  std::u16string longer = typed;
  while (longer.size() < kScanLength) longer += typed;
  longer.resize(kScanLength);
  const std::vector<TKeyStroke> keys = KeysTyping(UsLayout(), longer);
  for (auto _ : state) {
    std::optional<std::u16string> reading = ReadThroughScannerLayouts(longer, keys);
    benchmark::DoNotOptimize(reading);
  }
  if (keys.size() != kScanLength || ReadThroughScannerLayouts(longer, keys))
    state.SkipWithError("hand-typed input was read as a scan");
}
BENCHMARK(BM_UnrepairableScan)->Unit(benchmark::kMicrosecond);

}  // namespace
}  // namespace quenlora::bench
