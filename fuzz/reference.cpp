// SPDX-FileCopyrightText: 2026 The Quenlora authors
// SPDX-License-Identifier: GPL-3.0-or-later

#include "reference.h"

#include "code_page_1250.h"

namespace quenlora::fuzz {

bool Same(std::u16string_view a, std::u16string_view b) { return a == b; }
bool Same(std::string_view a, std::string_view b) { return a == b; }
bool Same(const std::vector<std::u16string>& a, const std::vector<std::u16string>& b) { return a == b; }
bool Same(const std::vector<std::u16string_view>& a, const std::vector<std::u16string>& b)
{
  if (a.size() != b.size()) return false;
  for (std::size_t i = 0; i < a.size(); ++i)
    if (a[i] != b[i]) return false;
  return true;
}

std::u16string_view ReferenceTrim(std::u16string_view text)
{
  std::size_t begin = 0;
  std::size_t end = text.size();
  while (begin < end && text[begin] <= 0x20) ++begin;
  while (end > begin && text[end - 1] <= 0x20) --end;
  return text.substr(begin, end - begin);
}

bool ReferenceUtf8(std::u16string_view text, std::string& out)
{
  out.clear();
  for (std::size_t i = 0; i < text.size(); ++i) {
    char32_t cp = text[i];
    if (cp >= 0xD800 && cp <= 0xDBFF && i + 1 < text.size() && text[i + 1] >= 0xDC00 && text[i + 1] <= 0xDFFF) {
      cp = 0x10000 + ((cp - 0xD800) << 10) + (text[i + 1] - 0xDC00);
      ++i;
    } else if (cp >= 0xD800 && cp <= 0xDFFF) {
      return false;
    }
    if (cp < 0x80) {
      out += static_cast<char>(cp);
    } else if (cp < 0x800) {
      out += static_cast<char>(0xC0 | (cp >> 6));
      out += static_cast<char>(0x80 | (cp & 0x3F));
    } else if (cp < 0x10000) {
      out += static_cast<char>(0xE0 | (cp >> 12));
      out += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
      out += static_cast<char>(0x80 | (cp & 0x3F));
    } else {
      out += static_cast<char>(0xF0 | (cp >> 18));
      out += static_cast<char>(0x80 | ((cp >> 12) & 0x3F));
      out += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
      out += static_cast<char>(0x80 | (cp & 0x3F));
    }
  }
  return true;
}

// --- Scanning ---------------------------------------------------------------

TNormalizedScan ExpectedScan(std::u16string_view raw)
{
  const std::u16string_view trimmed = ReferenceTrim(raw);
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

bool TScanModel::Holds(std::u16string_view code) const
{
  return !code.empty() && codes_.contains(std::u16string(code));
}

void TScanModel::Append(std::u16string_view code, bool scanned)
{
  if (!code.empty()) ++codes_[std::u16string(code)];
  entries_.push_back({std::u16string(code), false, scanned});
}

void TScanModel::Erase(std::size_t index)
{
  const std::u16string& code = entries_[index].Code;
  if (!code.empty() && --codes_[code] == 0) codes_.erase(code);
  entries_.erase(entries_.begin() + static_cast<std::ptrdiff_t>(index));
}

void TScanModel::Clear()
{
  entries_.clear();
  codes_.clear();
}

std::u16string TScanModel::Text() const
{
  std::u16string text;
  for (const TModelEntry& entry : entries_) text.append(entry.Code).append(u"\r\n");
  return text;
}

std::optional<std::u16string> TScanModel::RepeatedScannedCode() const
{
  // A code added by a scan is held by exactly one entry: the scan would have
  // found any earlier copy, and later ones can only come from scans.
  for (const TModelEntry& entry : entries_)
    if (entry.Scanned && !entry.Code.empty() && codes_.at(entry.Code) != 1) return entry.Code;
  return std::nullopt;
}

// --- List files -------------------------------------------------------------

namespace {

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

constexpr std::string_view kUtf8Mark = "\xEF\xBB\xBF";
constexpr std::string_view kUtf16LEMark = "\xFF\xFE";
constexpr std::string_view kUtf16BEMark = "\xFE\xFF";

bool StartsLikeMark(std::string_view bytes)
{
  return bytes.starts_with(kUtf8Mark) || bytes.starts_with(kUtf16LEMark) || bytes.starts_with(kUtf16BEMark);
}

// windows-1250 bytes of the text, or false for a character outside the page.
bool ReferenceAnsi(std::u16string_view text, std::string& out)
{
  out.clear();
  for (char16_t c : text) {
    unsigned char byte = 0;
    if (!EncodeCp1250(c, byte)) return false;
    out.push_back(static_cast<char>(byte));
  }
  return true;
}

void ReferenceUtf16(std::u16string_view text, bool bigEndian, std::string& out)
{
  out = bigEndian ? kUtf16BEMark : kUtf16LEMark;
  for (char16_t c : text) {
    const char high = static_cast<char>(c >> 8);
    const char low = static_cast<char>(c & 0xFF);
    out.push_back(bigEndian ? high : low);
    out.push_back(bigEndian ? low : high);
  }
}

}  // namespace

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
  if (bytes.starts_with(kUtf8Mark)) {
    expected.Encoding = TListEncoding::leUtf8;
    if (!ReferenceDecodeUtf8(bytes.substr(3), text)) return expected;
  } else if (bytes.starts_with(kUtf16LEMark)) {
    expected.Encoding = TListEncoding::leUtf16LE;
    pairs(2, false);
  } else if (bytes.starts_with(kUtf16BEMark)) {
    expected.Encoding = TListEncoding::leUtf16BE;
    pairs(2, true);
  } else {
    for (char byte : bytes) text.push_back(DecodeCp1250(static_cast<unsigned char>(byte)));
  }
  if (text.find(u'\0') != std::u16string::npos) return expected;
  expected.Text = std::move(text);
  return expected;
}

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

TExpectedSave::TExpectedSave(std::u16string_view text)
{
  ansiFits_ = ReferenceAnsi(text, ansi_) && !StartsLikeMark(ansi_);
  std::string bytes;
  utf8Fits_ = ReferenceUtf8(text, bytes);
  if (utf8Fits_) utf8_ = std::string(kUtf8Mark) + bytes;
  ReferenceUtf16(text, false, utf16LE_);
  ReferenceUtf16(text, true, utf16BE_);
}

TListEncoding TExpectedSave::Written(TListEncoding chosen) const
{
  if (chosen == TListEncoding::leAnsi && ansiFits_) return chosen;
  if (chosen == TListEncoding::leAnsi || chosen == TListEncoding::leUtf8)
    return utf8Fits_ ? TListEncoding::leUtf8 : TListEncoding::leUtf16LE;
  return chosen;
}

const std::string& TExpectedSave::Bytes(TListEncoding chosen) const
{
  switch (Written(chosen)) {
    case TListEncoding::leAnsi: return ansi_;
    case TListEncoding::leUtf8: return utf8_;
    case TListEncoding::leUtf16LE: return utf16LE_;
    case TListEncoding::leUtf16BE: return utf16BE_;
  }
  return utf16LE_;
}

// --- Export -----------------------------------------------------------------

std::optional<char16_t> FirstUnwritable(std::u16string_view text)
{
  for (std::size_t i = 0; i < text.size(); ++i) {
    const char16_t c = text[i];
    if (c >= 0xD800 && c <= 0xDBFF && i + 1 < text.size() && text[i + 1] >= 0xDC00 && text[i + 1] <= 0xDFFF) {
      ++i;
      continue;
    }
    const bool allowed = c == 0x9 || c == 0xA || c == 0xD || (c >= 0x20 && c <= 0xD7FF) || (c >= 0xE000 && c <= 0xFFFD);
    if (!allowed) return c;
  }
  return std::nullopt;
}

}  // namespace quenlora::fuzz
