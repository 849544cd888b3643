// Any sequence of raw scans, deletions, marks, clears and loads keeps the
// batch equal to a plain reference model: scanning adds a code only when no
// entry already holds it, Count and Contains agree with the model, and
// NormalizeScan does what it promises.
//
// Input: pieces separated by 0x00. A piece's first byte chooses what it does
// (see Step), the rest is its text (DecodeFuzzText) or its numbers.

#include <cstddef>
#include <cstdint>
#include <unordered_map>
#include <stdexcept>
#include <string>
#include <vector>

#include "batch_list_file.h"
#include "code_batch.h"
#include "fuzz_support.h"
#include "unicode_text.h"

using namespace quenlora;
using quenlora::fuzz::Show;

namespace {

struct TModelEntry {
  std::u16string Code;
  bool WholePackage = false;
  bool Scanned = false;
};

struct TModel {
  std::vector<TModelEntry> Entries;
  // How many entries hold each non-empty code. Hashed rather than ordered:
  // the fuzzer instruments every comparison the harness makes, and a hash
  // lookup makes far fewer than a tree.
  std::unordered_map<std::u16string, std::size_t> Codes;

  bool Holds(const std::u16string& code) const { return !code.empty() && Codes.contains(code); }
  void Append(const std::u16string& code, bool scanned)
  {
    if (!code.empty()) ++Codes[code];
    Entries.push_back({code, false, scanned});
  }
  void Erase(std::size_t index)
  {
    const std::u16string& code = Entries[index].Code;
    if (!code.empty() && --Codes[code] == 0) Codes.erase(code);
    Entries.erase(Entries.begin() + static_cast<std::ptrdiff_t>(index));
  }
  void Clear()
  {
    Entries.clear();
    Codes.clear();
  }
};

// The normalisation written out from its description: trim U+0020 and below
// from both ends, upper-case the ASCII letters, then drop each occurrence of
// the prefix from left to right; accepted unless the trimmed text is empty.
TNormalizedScan ExpectedScan(std::u16string_view raw)
{
  const std::u16string_view trimmed = fuzz::ReferenceTrim(raw);
  if (trimmed.empty()) return {};
  std::u16string upper;
  for (char16_t c : trimmed) upper.push_back(c >= u'a' && c <= u'z' ? static_cast<char16_t>(c - 0x20) : c);
  std::u16string candidate;
  for (std::size_t i = 0; i < upper.size();) {
    if (upper[i] == ScanPrefix[0] && upper.compare(i, ScanPrefix.size(), ScanPrefix) == 0) {
      i += ScanPrefix.size();
    } else {
      candidate.push_back(upper[i++]);
    }
  }
  return {candidate, true};
}

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
    const TNormalizedScan expected = ExpectedScan(raw);
    const TNormalizedScan normalized = NormalizeScan(raw);
    FUZZ_CHECK(normalized.Accepted == expected.Accepted && normalized.Candidate == expected.Candidate,
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
                                std::to_string(model_.Entries.size()) + ")");
    if (want == TScanResult::srAdded) {
      model_.Append(expected.Candidate, true);
      FUZZ_CHECK(batch_.Count() > 0 && batch_.Code(batch_.Count() - 1) == expected.Candidate,
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
    return static_cast<std::ptrdiff_t>(value % (model_.Entries.size() + 1)) - 1;
  }

  void Delete(std::string_view bytes)
  {
    const std::ptrdiff_t index = IndexFrom(bytes);
    const std::u16string code = index >= 0 ? model_.Entries[static_cast<std::size_t>(index)].Code : u"";
    batch_.DeleteAt(index);
    if (index >= 0) model_.Erase(static_cast<std::size_t>(index));
    CheckCount();
    if (!code.empty())
      FUZZ_CHECK(batch_.Contains(code) == model_.Holds(code),
                 "after deleting entry " + std::to_string(index) + ", Contains(" + Show(code) + ") disagrees");
    if (index >= 0 && static_cast<std::size_t>(index) < model_.Entries.size())
      FUZZ_CHECK(batch_.Code(index) == model_.Entries[static_cast<std::size_t>(index)].Code,
                 "the entry after a deleted one did not move up");
  }

  void Mark(std::string_view bytes)
  {
    const std::ptrdiff_t index = IndexFrom(bytes);
    if (index < 0) return;
    const bool flag = bytes.size() > 2 ? (bytes[2] & 1) != 0 : true;
    batch_.SetWholePackage(index, flag);
    model_.Entries[static_cast<std::size_t>(index)].WholePackage = flag;
    FUZZ_CHECK(batch_.WholePackage(index) == flag, "SetWholePackage did not take");
  }

  // Many scans at once: the duplicate index keeps recent codes apart from
  // settled ones, and only a few thousand codes reach the settled part. The
  // codes are upper-case letters, digits and dashes, which normalise to
  // themselves, so the model can skip its slow normalisation.
  void Burst(std::string_view bytes)
  {
    if (model_.Entries.size() > 6000) return;
    std::u16string stem = u"B";
    for (char c : bytes.substr(bytes.size() > 2 ? 2 : bytes.size()))
      if ((c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '-') stem.push_back(static_cast<char16_t>(c));
    const std::size_t scans = 64 * (bytes.empty() ? 1 : 1 + static_cast<unsigned char>(bytes[0]) % 48);
    const std::size_t distinct = bytes.size() > 1 ? 1 + static_cast<unsigned char>(bytes[1]) * 16 : scans;
    for (std::size_t i = 0; i < scans; ++i) {
      std::u16string code = stem;
      for (char c : std::to_string((i * 7919) % distinct)) code.push_back(static_cast<char16_t>(c));
      const bool present = model_.Holds(code);
      const TScanResult got = batch_.AddScanned(code);
      FUZZ_CHECK(got == (present ? TScanResult::srAlreadyPresent : TScanResult::srAdded),
                 "AddScanned(" + Show(code) + ") returned " + Name(got) + " in a burst, count " +
                     std::to_string(model_.Entries.size()));
      if (!present) model_.Append(code, true);
    }
    CheckCount();
  }

  void Replace(std::u16string_view text)
  {
    const std::vector<std::u16string_view> lines = SplitLines(text);
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
    FUZZ_CHECK(batch_.Contains(code) == model_.Holds(std::u16string(code)),
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
    FUZZ_CHECK(batch_.Count() == static_cast<std::ptrdiff_t>(model_.Entries.size()),
               "Count() " + std::to_string(batch_.Count()) + ", model " + std::to_string(model_.Entries.size()));
  }

  void CheckAll()
  {
    CheckCount();
    FUZZ_CHECK(!batch_.Contains(u""), "Contains(\"\") is true");
    std::unordered_map<std::u16string_view, std::size_t> seen;
    std::u16string text;
    for (std::size_t i = 0; i < model_.Entries.size(); ++i) {
      const auto index = static_cast<std::ptrdiff_t>(i);
      const TModelEntry& want = model_.Entries[i];
      const std::u16string_view code = batch_.Code(index);
      FUZZ_CHECK(code == want.Code, "entry " + std::to_string(i) + " is " + Show(code) + ", expected " + Show(want.Code));
      FUZZ_CHECK(batch_.WholePackage(index) == want.WholePackage, "entry " + std::to_string(i) + " has the wrong mark");
      FUZZ_CHECK(batch_.Entry(index) == (TBatchEntry{want.Code, want.WholePackage}), "Entry() disagrees with Code()");
      if (!code.empty()) {
        FUZZ_CHECK(batch_.Contains(code), "Contains(" + Show(code) + ") is false for entry " + std::to_string(i));
        ++seen[code];
      }
      text += want.Code;
      text += u"\r\n";
    }
    // A code added by a scan is held by exactly one entry: the scan would
    // have found any earlier copy, and later ones can only come from scans.
    for (const TModelEntry& entry : model_.Entries)
      if (entry.Scanned && !entry.Code.empty())
        FUZZ_CHECK(seen[entry.Code] == 1, "scanned code " + Show(entry.Code) + " is held by " +
                                              std::to_string(seen[entry.Code]) + " entries");
    FUZZ_CHECK(batch_.Text() == text, "Text() differs from the codes");
  }

private:
  TCodeBatch batch_;
  TModel model_;
};

// A long scan from a short piece: its text repeated up to a thousand times.
// Deleting such codes is what makes the batch compact its character pool.
std::u16string Repeated(std::string_view bytes)
{
  if (bytes.empty()) return {};
  const std::u16string unit = fuzz::DecodeFuzzText(bytes.substr(1));
  std::u16string text;
  for (unsigned i = 0; i <= static_cast<unsigned char>(bytes[0]) * 4u; ++i) text += unit;
  return text;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
  const std::string_view input(reinterpret_cast<const char*>(data), size);
  THarness harness;
  std::size_t step = 0;
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
    if (++step % 64 == 0) harness.CheckAll();
  }
  harness.CheckAll();
  return 0;
}
