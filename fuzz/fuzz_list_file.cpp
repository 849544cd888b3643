// SPDX-FileCopyrightText: 2026 The Quenlora authors
// SPDX-License-Identifier: GPL-3.0-or-later

// Any bytes as a batch list file: LoadBatchList either gives exactly the
// lines of the decoded text, with ListEncoding from the byte-order mark, or
// fails with the program's own message and leaves the batch and ListEncoding
// as they were. What loads is encoded in each of the four encodings, exactly
// as the reference says, and must decode back to the same entries. Some
// inputs (ThroughFiles) are loaded from a real file and saved to one, in one
// of the four encodings chosen by the input's size.

#include <cstddef>
#include <cstdint>
#include <iterator>
#include <optional>
#include <string>
#include <vector>

#include "batch_error.h"
#include "batch_list_file.h"
#include "code_batch.h"
#include "code_page_1250.h"
#include "fuzz_support.h"
#include "unicode_text.h"

using namespace quenlora;
using quenlora::fuzz::Hex;
using quenlora::fuzz::Show;

namespace {

const char* Name(TListEncoding encoding)
{
  switch (encoding) {
    case TListEncoding::leAnsi: return "ANSI";
    case TListEncoding::leUtf8: return "UTF-8";
    case TListEncoding::leUtf16LE: return "UTF-16 LE";
    case TListEncoding::leUtf16BE: return "UTF-16 BE";
  }
  return "?";
}

struct TSnapshot {
  std::vector<TBatchEntry> Entries;
  TListEncoding Encoding;

  explicit TSnapshot(const TCodeBatch& batch) : Encoding(batch.ListEncoding())
  {
    for (std::ptrdiff_t i = 0; i < batch.Count(); ++i) Entries.push_back(batch.Entry(i));
  }
  bool operator==(const TSnapshot&) const = default;
};

std::vector<std::u16string> CodesOf(const TCodeBatch& batch)
{
  std::vector<std::u16string> codes;
  for (std::ptrdiff_t i = 0; i < batch.Count(); ++i) codes.emplace_back(batch.Code(i));
  return codes;
}

void Prefill(TCodeBatch& batch, std::size_t size)
{
  const std::u16string_view lines[] = {u"PRE-1", u"", u"PRE-1", u"\u017Dlut\u00FD k\u016F\u0148", u" x "};
  batch.ReplaceFromLines(lines);
  batch.SetWholePackage(0, true);
  batch.SetWholePackage(3, true);
  batch.SetListEncoding(static_cast<TListEncoding>(size % 4));
}

bool StartsWith(std::u16string_view text, std::u16string_view lead) { return text.substr(0, lead.size()) == lead; }

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***)
{
  // The reference decoding of ANSI files trusts the core's table; it must at
  // least be a one-to-one mapping of all 256 bytes.
  for (unsigned b = 0; b < 256; ++b) {
    unsigned char back = 0;
    FUZZ_CHECK(EncodeCp1250(DecodeCp1250(static_cast<unsigned char>(b)), back) && back == b,
               "windows-1250 byte " + std::to_string(b) + " does not encode back");
  }
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
  const std::string_view bytes(reinterpret_cast<const char*>(data), size);
  static const std::string inPath = fuzz::ScratchFolder() + "/input.txt";
  static const std::string outPath = fuzz::ScratchFolder() + "/saved.txt";
  static const std::u16string inPath16 = fuzz::Widen(inPath);
  static const std::u16string outPath16 = fuzz::Widen(outPath);
  const bool throughFiles = fuzz::ThroughFiles(bytes);

  TCodeBatch batch;
  Prefill(batch, size);
  const TSnapshot before(batch);
  const fuzz::TExpectedLoad expected = fuzz::ExpectedLoad(bytes);

  try {
    if (throughFiles) {
      fuzz::WriteBytes(inPath, bytes);
      LoadBatchList(batch, inPath16);
    } else {
      // What LoadBatchList does with the bytes it reads, here in blocks of
      // sizes that put block ends inside marks, characters and line ends.
      static constexpr std::size_t kBlockSizes[] = {1, 2, 3, 5, 64, 1 << 16};
      ReadBatchList(batch, bytes, inPath16, kBlockSizes[(size / 4) % std::size(kBlockSizes)]);
    }
  } catch (const TBatchError& error) {
    const std::u16string& message = error.Message();
    FUZZ_CHECK(StartsWith(message, u"Cannot read file \"" + inPath16 + u"\". ") ||
                   StartsWith(message, u"Cannot open file \"" + inPath16 + u"\". "),
               "unexpected message " + Show(message));
    FUZZ_CHECK(TSnapshot(batch) == before, "a failed load changed the batch or ListEncoding");
    FUZZ_CHECK(!expected.Text.has_value(), "a readable file was refused: " + Show(message) + " bytes " + Hex(bytes));
    return 0;
  }
  FUZZ_CHECK(expected.Text.has_value(), "a file that must be refused loaded: " + Hex(bytes));
  FUZZ_CHECK(batch.ListEncoding() == expected.Encoding,
             std::string("ListEncoding ") + Name(batch.ListEncoding()) + ", expected " + Name(expected.Encoding));

  const std::vector<std::u16string> lines = fuzz::ReferenceLines(*expected.Text);
  const std::vector<std::u16string> codes = CodesOf(batch);
  FUZZ_CHECK(fuzz::Same(codes, lines), "loaded " + std::to_string(codes.size()) + " entries, expected " +
                                 std::to_string(lines.size()) + " lines of " + Show(*expected.Text));
  for (std::ptrdiff_t i = 0; i < batch.Count(); ++i) {
    FUZZ_CHECK(!batch.WholePackage(i), "a loaded entry is marked");
    const std::u16string_view code = batch.Code(i);
    FUZZ_CHECK(code.find_first_of(std::u16string_view(u"\r\n\0", 3)) == std::u16string_view::npos,
               "a loaded code holds CR, LF or NUL: " + Show(code));
    if (!code.empty()) FUZZ_CHECK(batch.Contains(code), "loaded code not found by Contains: " + Show(code));
  }
  // The loaded codes take part in the duplicate test of later scans. A scan
  // that is found present changes nothing, so one copy serves them all.
  {
    TCodeBatch scanned = batch;
    for (std::ptrdiff_t i = 0; i < batch.Count() && i < 16; ++i) {
      const std::u16string_view code = batch.Code(i);
      if (code.empty() || !fuzz::Same(NormalizeScan(code).Candidate, code)) continue;
      FUZZ_CHECK(scanned.AddScanned(code) == TScanResult::srAlreadyPresent && scanned.Count() == batch.Count(),
                 "a scan of loaded code " + Show(code) + " was not recognised as present");
    }
  }

  const std::u16string text = batch.Text();
  const TListEncoding loaded = batch.ListEncoding();
  const auto onDisk = static_cast<TListEncoding>(size % 4);
  const fuzz::TExpectedSave expectedSave(text);
  for (TListEncoding chosen : {TListEncoding::leAnsi, TListEncoding::leUtf8, TListEncoding::leUtf16LE,
                               TListEncoding::leUtf16BE}) {
    const TListEncoding written = expectedSave.Written(chosen);
    std::string saved = EncodeBatchList(text, chosen);
    FUZZ_CHECK(fuzz::Same(saved, expectedSave.Bytes(chosen)),
               std::string("encoded in ") + Name(chosen) + " (to be written as " + Name(written) + "): " + Hex(saved));
    FUZZ_CHECK(fuzz::Same(EncodeBatchList(batch, chosen), saved),
               std::string("the batch encoded in ") + Name(chosen) + " differs from its text encoded");
    if (throughFiles && chosen == onDisk) {
      batch.SetListEncoding(chosen);
      SaveBatchList(batch, outPath16);
      FUZZ_CHECK(batch.ListEncoding() == chosen, "a save changed ListEncoding");
      FUZZ_CHECK(fuzz::Same(fuzz::ReadBytes(outPath), saved), "the saved file differs from EncodeBatchList");

      TCodeBatch reloaded;
      Prefill(reloaded, size + 1);
      try {
        LoadBatchList(reloaded, outPath16);
      } catch (const TBatchError& error) {
        FUZZ_CHECK(false, std::string("a file saved in ") + Name(chosen) +
                              " cannot be loaded: " + Show(error.Message()) + " saved bytes " + Hex(saved));
      }
      FUZZ_CHECK(fuzz::Same(CodesOf(reloaded), codes) && reloaded.ListEncoding() == written,
                 std::string("saved in ") + Name(chosen) + ", the file did not load back the same entries as " +
                     Name(written));
      batch.SetListEncoding(loaded);
    }

    TCodeBatch decoded;
    try {
      ReadBatchList(decoded, saved, outPath16, 1 + saved.size() % 7);
    } catch (const TBatchError& error) {
      FUZZ_CHECK(false, std::string("a list encoded in ") + Name(chosen) + " cannot be read back: " +
                            Show(error.Message()) + " bytes " + Hex(saved));
    }
    const std::vector<std::u16string> back = CodesOf(decoded);
    FUZZ_CHECK(fuzz::Same(back, codes),
               std::string("encoded in ") + Name(chosen) + " (written as " + Name(written) + "), read back " +
                   std::to_string(back.size()) + " lines, first " + (back.empty() ? "none" : Show(back[0])) +
                   ", expected " + std::to_string(codes.size()) + ", first " +
                   (codes.empty() ? "none" : Show(codes[0])) + "; bytes " + Hex(saved));
    FUZZ_CHECK(decoded.ListEncoding() == written, std::string("encoded in ") + Name(chosen) + ", read back as " +
                                                     Name(decoded.ListEncoding()) + ", expected " + Name(written));
  }
  return 0;
}
