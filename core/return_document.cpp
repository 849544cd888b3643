#include "return_document.h"

#include <cstdio>
#include <stdexcept>

#include "batch_error.h"
#include "platform/platform.h"
#include "unicode_text.h"

namespace quenlora {

void TDocumentLines::Append(std::u16string_view text)
{
  const std::size_t before = utf8_.size();
  if (!AppendUtf8(text, utf8_)) {
    // BuildReturnDocument lets no unpaired surrogate through; other callers get U+FFFD.
    utf8_.resize(before);
    utf8_ += ToUtf8Lossy(text);
  }
}

void TDocumentLines::EndLine()
{
  ends_.push_back(utf8_.size());
  utf8_.append("\r\n");
}

std::u16string TDocumentLines::Line(std::ptrdiff_t index) const
{
  if (index < 0 || index >= Count()) throw std::out_of_range("document line index out of range");
  const auto i = static_cast<std::size_t>(index);
  const std::size_t start = i == 0 ? 0 : ends_[i - 1] + 2;
  return FromUtf8Lossy(std::string_view(utf8_).substr(start, ends_[i] - start));
}

void TDocumentLines::Reserve(std::size_t lines, std::size_t bytes)
{
  ends_.reserve(lines);
  utf8_.reserve(bytes + 2 * lines);
}

namespace {

constexpr std::string_view kCodeStart = "<IndividualniKod>";
constexpr std::string_view kCodeEnd = "</IndividualniKod>";

std::u16string RootStartTag()
{
  std::u16string tag = u"<VraceneKontrolniPasky xmlns=\"http://";
  tag += NamespaceHost;
  tag += u"/XMLSchema/RZL/VraceneKP/1.0.0\">";
  return tag;
}

[[noreturn]] void ThrowUnwritableCharacter(std::ptrdiff_t index, char32_t character)
{
  char hex[16];
  std::snprintf(hex, sizeof hex, "%04X", static_cast<unsigned>(character));
  std::u16string message = u"Kód na pozici ";
  message += FromUtf8Lossy(std::to_string(index + 1));
  message += u" obsahuje znak U+";
  message += FromUtf8Lossy(hex);
  message += u", který nelze zapsat do XML souboru. Export nebyl proveden.";
  throw TBatchError(std::move(message));
}

// Appends the code as XML character data, or throws for a character that
// XML 1.0 cannot carry at all.
void AppendEscapedCode(std::u16string_view code, std::ptrdiff_t index, TDocumentLines& lines)
{
  // Nearly every code is printable ASCII that needs no escaping.
  char ascii[64];
  bool plainAscii = code.size() <= sizeof ascii;
  for (std::size_t i = 0; plainAscii && i < code.size(); ++i) {
    const char16_t c = code[i];
    plainAscii = c >= 0x20 && c < 0x7F && c != u'&' && c != u'<' && c != u'>';
    ascii[i] = static_cast<char>(c);
  }
  if (plainAscii) {
    lines.AppendAscii(std::string_view(ascii, code.size()));
    return;
  }

  std::size_t plain = 0;  // start of the run not yet appended
  auto flush = [&](std::size_t upTo) {
    lines.Append(code.substr(plain, upTo - plain));
    plain = upTo + 1;
  };
  for (std::size_t i = 0; i < code.size(); ++i) {
    const char16_t c = code[i];
    if (c >= 0x20 && c < 0xD800 && c != u'&' && c != u'<' && c != u'>') continue;
    switch (c) {
      case u'&': flush(i); lines.AppendAscii("&amp;"); continue;
      case u'<': flush(i); lines.AppendAscii("&lt;"); continue;
      case u'>': flush(i); lines.AppendAscii("&gt;"); continue;
      case u'\r': flush(i); lines.AppendAscii("&#13;"); continue;
      case u'\t': case u'\n': continue;
      default: break;
    }
    if (IsHighSurrogate(c) && i + 1 < code.size() && IsLowSurrogate(code[i + 1])) {
      ++i;
      continue;
    }
    if (c < 0x20 || IsHighSurrogate(c) || IsLowSurrogate(c) || c == 0xFFFE || c == 0xFFFF)
      ThrowUnwritableCharacter(index, c);
  }
  lines.Append(code.substr(plain));
}

void AddCodeLines(const TCodeBatch& batch, TDocumentLines& lines, int markFilter)
{
  for (std::ptrdiff_t i = 0; i < batch.Count(); ++i) {
    if (markFilter >= 0 && batch.WholePackage(i) != (markFilter == 1)) continue;
    lines.AppendAscii(kCodeStart);
    AppendEscapedCode(Trim(batch.Code(i)), i, lines);
    lines.AppendAscii(kCodeEnd);
    lines.EndLine();
  }
}

// markFilter: -1 every entry, 1 the marked ones, 0 the unmarked ones.
void AddSection(const TCodeBatch& batch, TDocumentLines& lines, std::string_view element, int markFilter)
{
  lines.AppendAscii("<");
  lines.AppendAscii(element);
  lines.AppendAscii(">");
  lines.EndLine();
  AddCodeLines(batch, lines, markFilter);
  lines.AppendAscii("</");
  lines.AppendAscii(element);
  lines.AppendAscii(">");
  lines.EndLine();
}

constexpr std::string_view kUnbroken = "NeporusenaBaleni";
constexpr std::string_view kIndividual = "JednotliveKontrolniPasky";

}  // namespace

TDocumentLines BuildReturnDocument(const TCodeBatch& batch, TExportKind kind)
{
  TDocumentLines lines;
  const auto count = static_cast<std::size_t>(batch.Count());
  std::size_t characters = 0;
  for (std::ptrdiff_t i = 0; i < batch.Count(); ++i) characters += batch.Code(i).size();
  lines.Reserve(count + 8, characters + count * (kCodeStart.size() + kCodeEnd.size()) + 256);

  lines.Add(u"<?xml version=\"1.0\" encoding=\"utf-8\"?>");
  lines.Add(RootStartTag());
  switch (kind) {
    case xkSingle: AddSection(batch, lines, kIndividual, -1); break;
    case xkFull: AddSection(batch, lines, kUnbroken, -1); break;
    case xkKombi: {
      std::ptrdiff_t marked = 0;
      for (std::ptrdiff_t i = 0; i < batch.Count(); ++i) marked += batch.WholePackage(i) ? 1 : 0;
      if (marked > 0) AddSection(batch, lines, kUnbroken, 1);
      if (marked < batch.Count()) AddSection(batch, lines, kIndividual, 0);
      break;
    }
  }
  lines.Add(u"</VraceneKontrolniPasky>");
  return lines;
}

void WriteReturnDocument(const TDocumentLines& lines, const std::u16string& path)
{
  constexpr std::string_view kByteOrderMark = "\xEF\xBB\xBF";
  std::string bytes;
  bytes.reserve(kByteOrderMark.size() + lines.Utf8().size());
  bytes.append(kByteOrderMark).append(lines.Utf8());
  platform::ReplaceFileContent(path, bytes);
}

}  // namespace quenlora
