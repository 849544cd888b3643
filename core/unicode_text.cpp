// SPDX-FileCopyrightText: 2026 The Quenlora authors
// SPDX-License-Identifier: GPL-3.0-or-later

#include "unicode_text.h"

#include <cstdint>
#include <cstring>

namespace quenlora {

std::u16string_view Trim(std::u16string_view text)
{
  std::size_t begin = 0;
  std::size_t end = text.size();
  while (begin < end && IsTrimmable(text[begin])) ++begin;
  while (end > begin && IsTrimmable(text[end - 1])) --end;
  return text.substr(begin, end - begin);
}

bool HasOnlyPairedSurrogates(std::u16string_view text)
{
  for (std::size_t i = 0; i < text.size(); ++i) {
    const char16_t c = text[i];
    if (IsHighSurrogate(c) && i + 1 < text.size() && IsLowSurrogate(text[i + 1])) {
      ++i;
    } else if (IsHighSurrogate(c) || IsLowSurrogate(c)) {
      return false;
    }
  }
  return true;
}

std::size_t Utf8Length(std::u16string_view text)
{
  std::size_t length = 0;
  for (std::size_t i = 0; i < text.size(); ++i) {
    const char16_t c = text[i];
    if (c < 0x80) {
      length += 1;
    } else if (c < 0x800) {
      length += 2;
    } else if (IsHighSurrogate(c) && i + 1 < text.size() && IsLowSurrogate(text[i + 1])) {
      length += 4;
      ++i;
    } else {
      length += 3;
    }
  }
  return length;
}

char* WriteUtf8Lossy(std::u16string_view text, char* out)
{
  for (std::size_t i = 0; i < text.size(); ++i) {
    char32_t cp = text[i];
    if (cp < 0x80) {
      *out++ = static_cast<char>(cp);
      continue;
    }
    if (IsHighSurrogate(text[i]) && i + 1 < text.size() && IsLowSurrogate(text[i + 1])) {
      cp = 0x10000 + ((cp - 0xD800) << 10) + (text[i + 1] - 0xDC00);
      ++i;
    } else if (IsHighSurrogate(text[i]) || IsLowSurrogate(text[i])) {
      cp = 0xFFFD;
    }
    if (cp < 0x800) {
      *out++ = static_cast<char>(0xC0 | (cp >> 6));
    } else if (cp < 0x10000) {
      *out++ = static_cast<char>(0xE0 | (cp >> 12));
      *out++ = static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
    } else {
      *out++ = static_cast<char>(0xF0 | (cp >> 18));
      *out++ = static_cast<char>(0x80 | ((cp >> 12) & 0x3F));
      *out++ = static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
    }
    *out++ = static_cast<char>(0x80 | (cp & 0x3F));
  }
  return out;
}

namespace {

// Encodes one UTF-16 unit or pair starting at text[i]; advances i past it.
// Returns false for an unpaired surrogate, appending U+FFFD when lossy.
bool AppendOneUtf8(std::u16string_view text, std::size_t& i, std::string& out, bool lossy)
{
  char32_t cp = text[i];
  if (IsHighSurrogate(text[i]) && i + 1 < text.size() && IsLowSurrogate(text[i + 1])) {
    cp = 0x10000 + ((cp - 0xD800) << 10) + (text[i + 1] - 0xDC00);
    ++i;
  } else if (IsHighSurrogate(text[i]) || IsLowSurrogate(text[i])) {
    if (!lossy) return false;
    cp = 0xFFFD;
  }
  ++i;
  // The callers copy ASCII themselves, so cp is never below 0x80 here.
  if (cp < 0x80) {  // GCOVR_EXCL_BR_LINE
    out.push_back(static_cast<char>(cp));
  } else if (cp < 0x800) {
    out.push_back(static_cast<char>(0xC0 | (cp >> 6)));
    out.push_back(static_cast<char>(0x80 | (cp & 0x3F)));
  } else if (cp < 0x10000) {
    out.push_back(static_cast<char>(0xE0 | (cp >> 12)));
    out.push_back(static_cast<char>(0x80 | ((cp >> 6) & 0x3F)));
    out.push_back(static_cast<char>(0x80 | (cp & 0x3F)));
  } else {
    out.push_back(static_cast<char>(0xF0 | (cp >> 18)));
    out.push_back(static_cast<char>(0x80 | ((cp >> 12) & 0x3F)));
    out.push_back(static_cast<char>(0x80 | ((cp >> 6) & 0x3F)));
    out.push_back(static_cast<char>(0x80 | (cp & 0x3F)));
  }
  return true;
}

bool AppendUtf8Impl(std::u16string_view text, std::string& out, bool lossy)
{
  std::size_t i = 0;
  while (i < text.size()) {
    // Codes are mostly ASCII: copy runs of it without the general path.
    std::size_t run = i;
    while (run < text.size() && text[run] < 0x80) ++run;
    if (run > i) {
      const std::size_t old = out.size();
      out.resize(old + (run - i));
      for (std::size_t k = i; k < run; ++k) out[old + (k - i)] = static_cast<char>(text[k]);
      i = run;
      continue;
    }
    if (!AppendOneUtf8(text, i, out, lossy)) return false;
  }
  return true;
}

// Decodes one code point at bytes[i]; returns false on any invalid sequence.
bool DecodeOneUtf8(std::string_view bytes, std::size_t& i, char32_t& cp)
{
  const auto b0 = static_cast<unsigned char>(bytes[i]);
  std::size_t len;
  char32_t min;
  if (b0 < 0x80) { cp = b0; ++i; return true; }
  if (b0 >= 0xC2 && b0 <= 0xDF) { len = 2; cp = b0 & 0x1F; min = 0x80; }
  else if (b0 >= 0xE0 && b0 <= 0xEF) { len = 3; cp = b0 & 0x0F; min = 0x800; }
  else if (b0 >= 0xF0 && b0 <= 0xF4) { len = 4; cp = b0 & 0x07; min = 0x10000; }
  else return false;
  if (bytes.size() - i < len) return false;
  for (std::size_t k = 1; k < len; ++k) {
    const auto b = static_cast<unsigned char>(bytes[i + k]);
    if ((b & 0xC0) != 0x80) return false;
    cp = (cp << 6) | (b & 0x3F);
  }
  if (cp < min || cp > 0x10FFFF || (cp >= 0xD800 && cp <= 0xDFFF)) return false;
  i += len;
  return true;
}

}  // namespace

void AppendCodePoint(char32_t cp, std::u16string& out)
{
  if (cp < 0x10000) {
    out.push_back(static_cast<char16_t>(cp));
  } else {
    cp -= 0x10000;
    out.push_back(static_cast<char16_t>(0xD800 + (cp >> 10)));
    out.push_back(static_cast<char16_t>(0xDC00 + (cp & 0x3FF)));
  }
}

bool AppendUtf8(std::u16string_view text, std::string& out)
{
  return AppendUtf8Impl(text, out, false);
}

std::string ToUtf8Lossy(std::u16string_view text)
{
  std::string out;
  out.reserve(text.size());
  AppendUtf8Impl(text, out, true);
  return out;
}

bool DecodeUtf8StrictTo(std::string_view bytes, char16_t* out, std::size_t& written)
{
  const auto* b = reinterpret_cast<const unsigned char*>(bytes.data());
  const std::size_t size = bytes.size();
  char16_t* p = out;
  std::size_t i = 0;
  while (i < size) {
    // Codes are mostly ASCII: eight bytes at a time while none has its high bit.
    while (i + 8 <= size) {
      std::uint64_t word;
      std::memcpy(&word, b + i, 8);
      if (word & 0x8080808080808080ull) break;
      for (int k = 0; k < 8; ++k) p[k] = b[i + k];
      p += 8;
      i += 8;
    }
    if (i == size) break;
    if (b[i] < 0x80) {
      *p++ = b[i++];
      continue;
    }
    char32_t cp;
    if (!DecodeOneUtf8(bytes, i, cp)) return false;
    if (cp < 0x10000) {
      *p++ = static_cast<char16_t>(cp);
    } else {
      cp -= 0x10000;
      *p++ = static_cast<char16_t>(0xD800 + (cp >> 10));
      *p++ = static_cast<char16_t>(0xDC00 + (cp & 0x3FF));
    }
  }
  written = static_cast<std::size_t>(p - out);
  return true;
}

bool DecodeUtf8Strict(std::string_view bytes, std::u16string& out)
{
  const std::size_t old = out.size();
  out.resize(old + bytes.size());
  std::size_t written = 0;
  if (!DecodeUtf8StrictTo(bytes, out.data() + old, written)) {
    out.resize(old);
    return false;
  }
  out.resize(old + written);
  return true;
}

std::u16string FromUtf8Lossy(std::string_view bytes)
{
  std::u16string out;
  out.reserve(bytes.size());
  std::size_t i = 0;
  while (i < bytes.size()) {
    char32_t cp;
    if (DecodeOneUtf8(bytes, i, cp)) {
      AppendCodePoint(cp, out);
    } else {
      out.push_back(u'\uFFFD');
      ++i;
    }
  }
  return out;
}

void AppendUtf16LE(std::u16string_view text, std::string& out)
{
  const std::size_t old = out.size();
  out.resize(old + text.size() * 2);
  char* p = out.data() + old;
  for (char16_t c : text) {
    *p++ = static_cast<char>(c & 0xFF);
    *p++ = static_cast<char>(c >> 8);
  }
}

void AppendUtf16BE(std::u16string_view text, std::string& out)
{
  const std::size_t old = out.size();
  out.resize(old + text.size() * 2);
  char* p = out.data() + old;
  for (char16_t c : text) {
    *p++ = static_cast<char>(c >> 8);
    *p++ = static_cast<char>(c & 0xFF);
  }
}

namespace {
std::u16string DecodeUtf16(std::string_view bytes, bool bigEndian)
{
  std::u16string out(bytes.size() / 2, u'\0');
  for (std::size_t i = 0; i < out.size(); ++i) {
    const auto first = static_cast<unsigned char>(bytes[2 * i]);
    const auto second = static_cast<unsigned char>(bytes[2 * i + 1]);
    out[i] = bigEndian ? static_cast<char16_t>((first << 8) | second)
                       : static_cast<char16_t>((second << 8) | first);
  }
  return out;
}
}  // namespace

std::u16string DecodeUtf16LE(std::string_view bytes) { return DecodeUtf16(bytes, false); }
std::u16string DecodeUtf16BE(std::string_view bytes) { return DecodeUtf16(bytes, true); }

}  // namespace quenlora
