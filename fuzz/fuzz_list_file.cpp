// Any bytes as a batch list file: LoadBatchList either gives exactly the
// lines of the decoded text, with ListEncoding from the byte-order mark, or
// fails with the program's own message and leaves the batch and ListEncoding
// as they were. What loads is saved in each of the four encodings and must
// load back to the same entries.

#include <cstddef>
#include <cstdint>
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

// Well-formed UTF-8 by the table of the Unicode standard (no overlong forms,
// no surrogates, nothing above U+10FFFF, nothing cut short).
bool ReferenceDecodeUtf8(std::string_view bytes, std::u16string& text)
{
  for (std::size_t i = 0; i < bytes.size();) {
    const auto b0 = static_cast<unsigned char>(bytes[i]);
    std::size_t length = 0;
    unsigned char low = 0x80;
    unsigned char high = 0xBF;
    char32_t cp = 0;
    if (b0 < 0x80) {
      length = 1, cp = b0;
    } else if (b0 >= 0xC2 && b0 <= 0xDF) {
      length = 2, cp = b0 & 0x1F;
    } else if (b0 >= 0xE0 && b0 <= 0xEF) {
      length = 3, cp = b0 & 0x0F;
      if (b0 == 0xE0) low = 0xA0;
      if (b0 == 0xED) high = 0x9F;
    } else if (b0 >= 0xF0 && b0 <= 0xF4) {
      length = 4, cp = b0 & 0x07;
      if (b0 == 0xF0) low = 0x90;
      if (b0 == 0xF4) high = 0x8F;
    } else {
      return false;
    }
    if (bytes.size() - i < length) return false;
    for (std::size_t k = 1; k < length; ++k) {
      const auto b = static_cast<unsigned char>(bytes[i + k]);
      if (b < (k == 1 ? low : 0x80) || b > (k == 1 ? high : 0xBF)) return false;
      cp = (cp << 6) | (b & 0x3F);
    }
    i += length;
    if (cp >= 0x10000) {
      text.push_back(static_cast<char16_t>(0xD800 + ((cp - 0x10000) >> 10)));
      text.push_back(static_cast<char16_t>(0xDC00 + ((cp - 0x10000) & 0x3FF)));
    } else {
      text.push_back(static_cast<char16_t>(cp));
    }
  }
  return true;
}

struct TExpectedLoad {
  TListEncoding Encoding = TListEncoding::leAnsi;
  std::optional<std::u16string> Text;  // nothing when the file must be refused
};

TExpectedLoad ExpectedLoad(std::string_view bytes)
{
  TExpectedLoad expected;
  std::u16string text;
  auto pairs = [&](std::size_t from, bool bigEndian) {
    for (std::size_t i = from; i + 1 < bytes.size(); i += 2) {
      const auto a = static_cast<unsigned char>(bytes[i]);
      const auto b = static_cast<unsigned char>(bytes[i + 1]);
      text.push_back(static_cast<char16_t>(bigEndian ? (a << 8 | b) : (b << 8 | a)));
    }
  };
  if (bytes.starts_with("\xEF\xBB\xBF")) {
    expected.Encoding = TListEncoding::leUtf8;
    if (!ReferenceDecodeUtf8(bytes.substr(3), text)) return expected;
  } else if (bytes.starts_with("\xFF\xFE")) {
    expected.Encoding = TListEncoding::leUtf16LE;
    pairs(2, false);
  } else if (bytes.starts_with("\xFE\xFF")) {
    expected.Encoding = TListEncoding::leUtf16BE;
    pairs(2, true);
  } else {
    for (char byte : bytes) text.push_back(DecodeCp1250(static_cast<unsigned char>(byte)));
  }
  if (text.find(u'\0') != std::u16string::npos) return expected;
  expected.Text = std::move(text);
  return expected;
}

// Lines at CR LF, lone CR and lone LF; a break at the very end starts no line.
std::vector<std::u16string> ReferenceLines(std::u16string_view text)
{
  std::vector<std::u16string> lines;
  std::u16string line;
  bool open = false;
  for (std::size_t i = 0; i < text.size(); ++i) {
    if (text[i] == u'\r' || text[i] == u'\n') {
      lines.push_back(line);
      line.clear();
      open = false;
      if (text[i] == u'\r' && i + 1 < text.size() && text[i + 1] == u'\n') ++i;
    } else {
      line.push_back(text[i]);
      open = true;
    }
  }
  if (open) lines.push_back(line);
  return lines;
}

// The encoding a save really writes: the chosen one, unless it cannot hold
// some character (ANSI: outside the code page; UTF-8: an unpaired surrogate).
TListEncoding WrittenEncoding(const std::u16string& text, TListEncoding chosen)
{
  if (chosen == TListEncoding::leAnsi) {
    bool fits = true;
    unsigned char byte;
    for (char16_t c : text) fits = fits && EncodeCp1250(c, byte);
    if (fits) return chosen;
  }
  if (chosen == TListEncoding::leAnsi || chosen == TListEncoding::leUtf8) {
    std::string ignored;
    return fuzz::ReferenceUtf8(text, ignored) ? TListEncoding::leUtf8 : TListEncoding::leUtf16LE;
  }
  return chosen;
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
  const std::u16string inPath16 = fuzz::Widen(inPath);
  const std::u16string outPath16 = fuzz::Widen(outPath);
  fuzz::WriteBytes(inPath, bytes);

  TCodeBatch batch;
  Prefill(batch, size);
  const TSnapshot before(batch);
  const TExpectedLoad expected = ExpectedLoad(bytes);

  try {
    LoadBatchList(batch, inPath16);
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

  const std::vector<std::u16string> lines = ReferenceLines(*expected.Text);
  const std::vector<std::u16string_view> split = SplitLines(*expected.Text);
  FUZZ_CHECK(std::vector<std::u16string>(split.begin(), split.end()) == lines, "SplitLines differs from the reference");
  const std::vector<std::u16string> codes = CodesOf(batch);
  FUZZ_CHECK(codes == lines, "loaded " + std::to_string(codes.size()) + " entries, expected " +
                                 std::to_string(lines.size()) + " lines of " + Show(*expected.Text));
  for (std::ptrdiff_t i = 0; i < batch.Count(); ++i) {
    FUZZ_CHECK(!batch.WholePackage(i), "a loaded entry is marked");
    const std::u16string_view code = batch.Code(i);
    FUZZ_CHECK(code.find_first_of(std::u16string_view(u"\r\n\0", 3)) == std::u16string_view::npos,
               "a loaded code holds CR, LF or NUL: " + Show(code));
    if (!code.empty()) FUZZ_CHECK(batch.Contains(code), "loaded code not found by Contains: " + Show(code));
  }
  // The loaded codes take part in the duplicate test of later scans.
  for (std::ptrdiff_t i = 0; i < batch.Count() && i < 16; ++i) {
    const std::u16string code(batch.Code(i));
    if (code.empty() || NormalizeScan(code).Candidate != code) continue;
    TCodeBatch scanned = batch;
    FUZZ_CHECK(scanned.AddScanned(code) == TScanResult::srAlreadyPresent && scanned.Count() == batch.Count(),
               "a scan of loaded code " + Show(code) + " was not recognised as present");
  }

  const std::u16string text = batch.Text();
  for (TListEncoding chosen : {TListEncoding::leAnsi, TListEncoding::leUtf8, TListEncoding::leUtf16LE,
                               TListEncoding::leUtf16BE}) {
    TCodeBatch saving = batch;
    saving.SetListEncoding(chosen);
    SaveBatchList(saving, outPath16);
    FUZZ_CHECK(saving.ListEncoding() == chosen, "a save changed ListEncoding");
    const std::string saved = fuzz::ReadBytes(outPath);
    FUZZ_CHECK(saved == EncodeBatchList(text, chosen), "the saved file differs from EncodeBatchList");
    const TListEncoding written = WrittenEncoding(text, chosen);

    TCodeBatch reloaded;
    Prefill(reloaded, size + 1);
    try {
      LoadBatchList(reloaded, outPath16);
    } catch (const TBatchError& error) {
      FUZZ_CHECK(false, std::string("a file saved in ") + Name(chosen) + " cannot be loaded: " + Show(error.Message()) +
                            " saved bytes " + Hex(saved));
    }
    FUZZ_CHECK(CodesOf(reloaded) == codes, std::string("saved in ") + Name(chosen) + " (written as " + Name(written) +
                                               "), loaded back " + std::to_string(reloaded.Count()) + " entries, " +
                                               "first " + (reloaded.Count() > 0 ? Show(reloaded.Code(0)) : "none") +
                                               ", expected " + std::to_string(codes.size()) + ", first " +
                                               (codes.empty() ? "none" : Show(codes[0])) + "; saved bytes " +
                                               Hex(saved));
    FUZZ_CHECK(reloaded.ListEncoding() == written, std::string("saved in ") + Name(chosen) + ", loaded back as " +
                                                       Name(reloaded.ListEncoding()) + ", expected " + Name(written));
  }
  return 0;
}
