// SPDX-FileCopyrightText: 2026 The Quenlora authors
// SPDX-License-Identifier: GPL-3.0-or-later

// Any sequence of raw scans, deletions, marks, clears and loads keeps the
// batch equal to a plain reference model: scanning adds a code only when no
// entry already holds it, Count and Contains agree with the model, and
// NormalizeScan does what it promises.
//
// Input: pieces separated by 0x00. A piece's first byte chooses what it does
// (see LLVMFuzzerTestOneInput), the rest is its text (DecodeFuzzText) or its
// numbers.
//
// Each step checks what it touched; the whole batch is compared with the
// model once, at the end of the input (and after a load, which touches all).
// The fuzzing build makes the duplicate index settle its recent codes after a
// few scans and the pool compact after a few deleted characters
// (fuzz/CMakeLists.txt), so short inputs reach every path of both.

#include <cstddef>
#include <cstdint>
#include <stdexcept>
#include <string>
#include <vector>

#include "batch_list_file.h"
#include "code_batch.h"
#include "fuzz_support.h"
#include "unicode_text.h"

using namespace quenlora;
using quenlora::fuzz::Same;
using quenlora::fuzz::Show;

namespace {

const char* Name(TScanResult result)
{
  switch (result) {
    case TScanResult::srNothingToAdd: return "srNothingToAdd";
    case TScanResult::srAdded: return "srAdded";
    case TScanResult::srAlreadyPresent: return "srAlreadyPresent";
  }
  return "?";
}

class THarness {
public:
  void Scan(std::u16string_view raw)
  {
    const TNormalizedScan expected = fuzz::ExpectedScan(raw);
    const TNormalizedScan normalized = NormalizeScan(raw);
    FUZZ_CHECK(normalized.Accepted == expected.Accepted && Same(normalized.Candidate, expected.Candidate),
               "NormalizeScan(" + Show(raw) + ") gave " + Show(normalized.Candidate) + ", expected " +
                   Show(expected.Candidate));

    TScanResult want = TScanResult::srAdded;
    if (!expected.Accepted)
      want = TScanResult::srNothingToAdd;
    else if (model_.Holds(expected.Candidate))
      want = TScanResult::srAlreadyPresent;
    const TScanResult got = batch_.AddScanned(raw);
    FUZZ_CHECK(got == want, std::string("AddScanned(") + Show(raw) + ") returned " + Name(got) + ", expected " +
                                Name(want) + " (candidate " + Show(expected.Candidate) + ", count " +
                                std::to_string(model_.Size()) + ")");
    if (want == TScanResult::srAdded) {
      model_.Append(expected.Candidate, true);
      FUZZ_CHECK(batch_.Count() > 0 && Same(batch_.Code(batch_.Count() - 1), expected.Candidate) &&
                     !batch_.WholePackage(batch_.Count() - 1),
                 "the added code is not the last entry: " + Show(expected.Candidate));
    }
    CheckCount();
    if (!expected.Candidate.empty())
      FUZZ_CHECK(batch_.Contains(expected.Candidate) == model_.Holds(expected.Candidate),
                 "Contains(" + Show(expected.Candidate) + ") disagrees with the model");
  }

  // index -1 .. Count()-1, from two bytes of the piece.
  std::ptrdiff_t IndexFrom(std::string_view bytes) const
  {
    unsigned value = 0;
    for (std::size_t i = 0; i < bytes.size() && i < 2; ++i) value = value * 256 + static_cast<unsigned char>(bytes[i]);
    return static_cast<std::ptrdiff_t>(value % (model_.Size() + 1)) - 1;
  }

  void Delete(std::string_view bytes)
  {
    const std::ptrdiff_t index = IndexFrom(bytes);
    const std::u16string code = index >= 0 ? model_.Entries()[static_cast<std::size_t>(index)].Code : u"";
    batch_.DeleteAt(index);
    if (index >= 0) model_.Erase(static_cast<std::size_t>(index));
    CheckCount();
    if (!code.empty())
      FUZZ_CHECK(batch_.Contains(code) == model_.Holds(code),
                 "after deleting entry " + std::to_string(index) + ", Contains(" + Show(code) + ") disagrees");
    if (index >= 0 && static_cast<std::size_t>(index) < model_.Size()) {
      const fuzz::TModelEntry& next = model_.Entries()[static_cast<std::size_t>(index)];
      FUZZ_CHECK(Same(batch_.Code(index), next.Code) && batch_.WholePackage(index) == next.WholePackage,
                 "the entry after a deleted one did not move up with its mark");
      if (!next.Code.empty()) FUZZ_CHECK(batch_.Contains(next.Code), "the entry that moved up is not found");
    }
  }

  void Mark(std::string_view bytes)
  {
    const std::ptrdiff_t index = IndexFrom(bytes);
    if (index < 0) return;
    const bool flag = bytes.size() > 2 ? (bytes[2] & 1) != 0 : true;
    batch_.SetWholePackage(index, flag);
    model_.SetMark(static_cast<std::size_t>(index), flag);
    FUZZ_CHECK(batch_.WholePackage(index) == flag, "SetWholePackage did not take");
  }

  // Many scans at once, to fill the duplicate index past several settling
  // steps. The codes are upper-case letters, digits and dashes, which
  // normalise to themselves, so the model can skip its normalisation.
  void Burst(std::string_view bytes)
  {
    if (model_.Size() > 256) return;
    std::u16string stem = u"B";
    for (char c : bytes.substr(bytes.size() > 2 ? 2 : bytes.size()))
      if ((c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '-') stem.push_back(static_cast<char16_t>(c));
    const std::size_t scans = 2 * (bytes.empty() ? 1 : 1 + static_cast<unsigned char>(bytes[0]) % 16);
    const std::size_t distinct = bytes.size() > 1 ? 1 + static_cast<unsigned char>(bytes[1]) % 32 : scans;
    for (std::size_t i = 0; i < scans; ++i) {
      std::u16string code = stem;
      for (char c : std::to_string((i * 7919) % distinct)) code.push_back(static_cast<char16_t>(c));
      const bool present = model_.Holds(code);
      const TScanResult got = batch_.AddScanned(code);
      FUZZ_CHECK(got == (present ? TScanResult::srAlreadyPresent : TScanResult::srAdded),
                 "AddScanned(" + Show(code) + ") returned " + Name(got) + " in a burst, count " +
                     std::to_string(model_.Size()));
      if (!present) model_.Append(code, true);
    }
    CheckCount();
  }

  void Replace(std::u16string_view text)
  {
    const std::vector<std::u16string> owned = fuzz::ReferenceLines(text);
    const std::vector<std::u16string_view> lines(owned.begin(), owned.end());
    batch_.ReplaceFromLines(lines);
    model_.Clear();
    for (const auto& line : lines) model_.Append(std::u16string(line), false);
    CheckAll();
  }

  void Clear()
  {
    batch_.Clear();
    model_.Clear();
    CheckCount();
  }

  void Probe(std::u16string_view code)
  {
    FUZZ_CHECK(batch_.Contains(code) == model_.Holds(code),
               "Contains(" + Show(code) + ") disagrees with the model");
  }

  void OutOfRange()
  {
    const std::ptrdiff_t count = batch_.Count();
    bool thrown = false;
    try {
      batch_.DeleteAt(count);
    } catch (const std::out_of_range&) {
      thrown = true;
    }
    FUZZ_CHECK(thrown && batch_.Count() == count, "DeleteAt(Count()) did not refuse");
  }

  void CheckCount()
  {
    FUZZ_CHECK(batch_.Count() == static_cast<std::ptrdiff_t>(model_.Size()),
               "Count() " + std::to_string(batch_.Count()) + ", model " + std::to_string(model_.Size()));
  }

  void CheckAll()
  {
    CheckCount();
    FUZZ_CHECK(!batch_.Contains(u""), "Contains(\"\") is true");
    for (std::size_t i = 0; i < model_.Size(); ++i) {
      const auto index = static_cast<std::ptrdiff_t>(i);
      const fuzz::TModelEntry& want = model_.Entries()[i];
      const std::u16string_view code = batch_.Code(index);
      FUZZ_CHECK(Same(code, want.Code), "entry " + std::to_string(i) + " is " + Show(code) + ", expected " + Show(want.Code));
      FUZZ_CHECK(batch_.WholePackage(index) == want.WholePackage, "entry " + std::to_string(i) + " has the wrong mark");
      const TBatchEntry entry = batch_.Entry(index);
      FUZZ_CHECK(Same(entry.Code, want.Code) && entry.WholePackage == want.WholePackage, "Entry() disagrees with Code()");
      if (!code.empty())
        FUZZ_CHECK(batch_.Contains(code), "Contains(" + Show(code) + ") is false for entry " + std::to_string(i));
    }
    if (const auto repeated = model_.RepeatedScannedCode())
      FUZZ_CHECK(false, "scanned code " + Show(*repeated) + " is held by more than one entry");
    FUZZ_CHECK(Same(batch_.Text(), model_.Text()), "Text() differs from the codes");
  }

private:
  TCodeBatch batch_;
  fuzz::TScanModel model_;
};

// A longer scan from a short piece: its text repeated up to 16 times.
std::u16string Repeated(std::string_view bytes)
{
  if (bytes.empty()) return {};
  const std::u16string unit = fuzz::DecodeFuzzText(bytes.substr(1));
  std::u16string text;
  for (unsigned i = 0; i <= static_cast<unsigned char>(bytes[0]) % 16u; ++i) text += unit;
  return text;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
  const std::string_view input(reinterpret_cast<const char*>(data), size);
  THarness harness;
  for (std::string_view piece : fuzz::SplitBytes(input, '\0')) {
    const unsigned control = piece.empty() ? 0 : static_cast<unsigned char>(piece[0]);
    const std::string_view rest = piece.substr(piece.empty() ? 0 : 1);
    switch (control % 8) {
      case 0:
      case 1:
      case 2: harness.Scan(fuzz::DecodeFuzzText(rest)); break;
      case 3: harness.Scan(DecodeUtf16LE(rest)); break;
      case 4: harness.Delete(rest); break;
      case 5: harness.Mark(rest); break;
      case 6:
        switch ((control >> 3) % 4) {
          case 0: harness.Burst(rest); break;
          case 1: harness.Scan(Repeated(rest)); break;
          default: harness.Probe(fuzz::DecodeFuzzText(rest)); break;
        }
        break;
      case 7:
        switch ((control >> 3) % 4) {
          case 0: harness.Clear(); break;
          case 1: harness.Replace(fuzz::DecodeFuzzText(rest)); break;
          case 2: harness.OutOfRange(); break;
          default: harness.Probe(fuzz::DecodeFuzzText(rest)); break;
        }
        break;
    }
  }
  harness.CheckAll();
  return 0;
}
