// SPDX-FileCopyrightText: 2026 The Quenlora authors
// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

#include <string>
#include <string_view>

namespace quenlora {

// Blanks and control characters: everything the program trims from the ends of a text.
constexpr bool IsTrimmable(char16_t c) { return c <= u' '; }

// Removes characters of code U+0020 and below from both ends, nothing else.
std::u16string_view Trim(std::u16string_view text);

constexpr bool IsHighSurrogate(char16_t c) { return c >= 0xD800 && c <= 0xDBFF; }
constexpr bool IsLowSurrogate(char16_t c) { return c >= 0xDC00 && c <= 0xDFFF; }

// True when every surrogate in the text is part of a proper pair.
bool HasOnlyPairedSurrogates(std::u16string_view text);

// The number of bytes of the text's UTF-8 form, an unpaired surrogate
// counted as the replacement character that stands for it.
std::size_t Utf8Length(std::u16string_view text);

// Writes the UTF-8 form of text to out, which has room for Utf8Length(text)
// bytes, an unpaired surrogate as U+FFFD; returns the end of what it wrote.
char* WriteUtf8Lossy(std::u16string_view text, char* out);

// Appends the UTF-8 form of text to out. Returns false, leaving out partly
// appended, when the text holds an unpaired surrogate (UTF-8 cannot carry it).
bool AppendUtf8(std::u16string_view text, std::string& out);

// Strict decoding: overlong forms, encoded surrogates, code points above
// U+10FFFF and truncated sequences all make it return false, leaving out as it was.
bool DecodeUtf8Strict(std::string_view bytes, std::u16string& out);
// The same into room for bytes.size() characters (UTF-8 never takes fewer
// bytes than UTF-16 units); sets written to the characters written.
bool DecodeUtf8StrictTo(std::string_view bytes, char16_t* out, std::size_t& written);

// For messages and paths: never fails, replacing what cannot be converted by U+FFFD.
std::string ToUtf8Lossy(std::u16string_view text);
std::u16string FromUtf8Lossy(std::string_view bytes);

// Appends a code point (at most U+10FFFF, no surrogate) as one or two UTF-16 units.
void AppendCodePoint(char32_t cp, std::u16string& out);

void AppendUtf16LE(std::u16string_view text, std::string& out);
void AppendUtf16BE(std::u16string_view text, std::string& out);
// Takes the bytes in pairs; an odd last byte is ignored.
std::u16string DecodeUtf16LE(std::string_view bytes);
std::u16string DecodeUtf16BE(std::string_view bytes);

}  // namespace quenlora
