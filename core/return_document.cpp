// SPDX-FileCopyrightText: 2026 The Quenlora authors
// SPDX-License-Identifier: GPL-3.0-or-later

#include "return_document.h"

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <stdexcept>

#include "batch_error.h"
#include "platform/platform.h"
#include "unicode_text.h"

namespace quenlora {

TDocumentLines::TDocumentLines() : bytes_{'\xEF', '\xBB', '\xBF'} {}

char* TDocumentLines::Extend(std::size_t count)
{
  const std::size_t size = bytes_.size();
  bytes_.resize(size + count);
  return bytes_.data() + size;
}

void TDocumentLines::Append(std::u16string_view text) { WriteUtf8Lossy(text, Extend(Utf8Length(text))); }

void TDocumentLines::AppendAscii(std::string_view text)
{
  if (!text.empty()) std::memcpy(Extend(text.size()), text.data(), text.size());
}

std::ptrdiff_t TDocumentLines::Count() const
{
  // Every line, and only a line, ends in a CR.
  return static_cast<std::ptrdiff_t>(std::count(bytes_.begin(), bytes_.end(), '\r'));
}

std::u16string TDocumentLines::Line(std::ptrdiff_t index) const
{
  if (index < 0 || index >= Count()) throw std::out_of_range("document line index out of range");
  const std::string_view lines = Utf8();
  std::size_t start = 0;
  for (std::ptrdiff_t i = 0; i < index; ++i) start = lines.find("\r\n", start) + 2;
  return FromUtf8Lossy(lines.substr(start, lines.find("\r\n", start) - start));
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

// What the document's lines would take in bytes, without writing them: the
// document is measured first, so that its buffer is taken once at its exact size.
class TDocumentSize {
public:
  void Append(std::u16string_view text) { bytes_ += Utf8Length(text); }
  void AppendAscii(std::string_view text) { bytes_ += text.size(); }
  void EndLine() { bytes_ += 2; }
  void Add(std::u16string_view line)
  {
    Append(line);
    EndLine();
  }
  std::size_t Bytes() const { return bytes_; }

private:
  std::size_t bytes_ = 0;
};

// Writes the document's lines into a buffer already of their size.
class TDocumentWriter {
public:
  explicit TDocumentWriter(char* out) : out_(out) {}
  void Append(std::u16string_view text) { out_ = WriteUtf8Lossy(text, out_); }
  void AppendAscii(std::string_view text)
  {
    std::memcpy(out_, text.data(), text.size());
    out_ += text.size();
  }
  void EndLine()
  {
    *out_++ = '\r';
    *out_++ = '\n';
  }
  void Add(std::u16string_view line)
  {
    Append(line);
    EndLine();
  }
  const char* End() const { return out_; }

private:
  char* out_;
};

// Appends the code as XML character data, or throws for a character that
// XML 1.0 cannot carry at all.
template <class Lines>
void AppendEscapedCode(std::u16string_view code, std::ptrdiff_t index, Lines& lines)
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

template <class Lines>
void AddCodeLines(const TCodeBatch& batch, Lines& lines, int markFilter)
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
template <class Lines>
void AddSection(const TCodeBatch& batch, Lines& lines, std::string_view element, int markFilter)
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

template <class Lines>
void AddDocument(const TCodeBatch& batch, TExportKind kind, Lines& lines)
{
  lines.Add(u"<?xml version=\"1.0\" encoding=\"utf-8\"?>");
  lines.Add(RootStartTag());
  switch (kind) {  // GCOVR_EXCL_BR_LINE: each value of the enumeration has its case
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
}

}  // namespace

TDocumentLines BuildReturnDocument(const TCodeBatch& batch, TExportKind kind)
{
  // Measuring also meets a code that XML cannot carry, before anything is taken.
  TDocumentSize size;
  AddDocument(batch, kind, size);
  TDocumentLines lines;
  char* const start = lines.Extend(size.Bytes());
  TDocumentWriter writer(start);
  AddDocument(batch, kind, writer);
  // Reached only through a fault in measuring, which the tests would show.
  if (writer.End() != start + size.Bytes()) throw std::logic_error("the document's size was measured wrongly");  // GCOVR_EXCL_BR_LINE
  return lines;
}

void WriteReturnDocument(const TDocumentLines& lines, const std::u16string& path)
{
  platform::ReplaceFileContent(path, lines.Bytes());
}

}  // namespace quenlora
