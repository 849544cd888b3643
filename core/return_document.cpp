#include "return_document.h"

#include <cstdio>
#include <stdexcept>

#include "batch_error.h"
#include "platform/platform.h"
#include "unicode_text.h"

namespace quenlora {

void TDocumentLines::EndLine()
{
  ends_.push_back(text_.size());
  text_.append(u"\r\n");
}

std::u16string_view TDocumentLines::Line(std::ptrdiff_t index) const
{
  if (index < 0 || index >= Count()) throw std::out_of_range("document line index out of range");
  const auto i = static_cast<std::size_t>(index);
  const std::size_t start = i == 0 ? 0 : ends_[i - 1] + 2;
  return std::u16string_view(text_).substr(start, ends_[i] - start);
}

void TDocumentLines::Reserve(std::size_t lines, std::size_t characters)
{
  ends_.reserve(lines);
  text_.reserve(characters + 2 * lines);
}

namespace {

constexpr std::u16string_view kCodeStart = u"<IndividualniKod>";
constexpr std::u16string_view kCodeEnd = u"</IndividualniKod>";

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
  std::size_t plain = 0;  // start of the run not yet appended
  auto flush = [&](std::size_t upTo) {
    lines.Append(code.substr(plain, upTo - plain));
    plain = upTo + 1;
  };
  for (std::size_t i = 0; i < code.size(); ++i) {
    const char16_t c = code[i];
    if (c >= 0x20 && c < 0xD800 && c != u'&' && c != u'<' && c != u'>') continue;
    switch (c) {
      case u'&': flush(i); lines.Append(u"&amp;"); continue;
      case u'<': flush(i); lines.Append(u"&lt;"); continue;
      case u'>': flush(i); lines.Append(u"&gt;"); continue;
      case u'\r': flush(i); lines.Append(u"&#13;"); continue;
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
    lines.Append(kCodeStart);
    AppendEscapedCode(Trim(batch.Code(i)), i, lines);
    lines.Append(kCodeEnd);
    lines.EndLine();
  }
}

// markFilter: -1 every entry, 1 the marked ones, 0 the unmarked ones.
void AddSection(const TCodeBatch& batch, TDocumentLines& lines, std::u16string_view element, int markFilter)
{
  std::u16string tag = u"<";
  tag += element;
  tag += u">";
  lines.Add(tag);
  AddCodeLines(batch, lines, markFilter);
  tag.insert(1, u"/");
  lines.Add(tag);
}

constexpr std::u16string_view kUnbroken = u"NeporusenaBaleni";
constexpr std::u16string_view kIndividual = u"JednotliveKontrolniPasky";

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
  const std::u16string_view text = lines.JoinedText();
  std::string bytes = "\xEF\xBB\xBF";
  bytes.reserve(3 + text.size() + text.size() / 8);
  // The lines come from BuildReturnDocument, which lets no unpaired surrogate through.
  if (!AppendUtf8(text, bytes)) throw std::invalid_argument("document holds an unpaired surrogate");
  platform::ReplaceFile(path, bytes);
}

}  // namespace quenlora
