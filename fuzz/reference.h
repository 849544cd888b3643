// SPDX-FileCopyrightText: 2026 The Quenlora authors
// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

// The reference side of the fuzz targets: what the core must do, written out
// again from its description without reusing the core's code. It is compiled
// without the fuzzer's instrumentation (fuzz/CMakeLists.txt): its comparisons
// say nothing about the code under test, and with the fuzzer's comparison
// hooks they took most of the time of a run.

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

#include "code_batch.h"
#include "list_encoding.h"

namespace quenlora::fuzz {

// Equal texts, compared here rather than in the instrumented harness.
bool Same(std::u16string_view a, std::u16string_view b);
bool Same(std::string_view a, std::string_view b);
bool Same(const std::vector<std::u16string>& a, const std::vector<std::u16string>& b);
bool Same(const std::vector<std::u16string_view>& a, const std::vector<std::u16string>& b);

// Characters U+0020 and below removed from both ends.
std::u16string_view ReferenceTrim(std::u16string_view text);

// UTF-8 of the text, or false for an unpaired surrogate.
bool ReferenceUtf8(std::u16string_view text, std::string& out);

// --- Scanning ---------------------------------------------------------------

// Trim, upper-case the ASCII letters, drop each occurrence of the prefix from
// left to right; accepted unless the trimmed text is empty.
TNormalizedScan ExpectedScan(std::u16string_view raw);

struct TModelEntry {
  std::u16string Code;
  bool WholePackage = false;
  bool Scanned = false;
};

// The batch as a plain list, with a count of the entries holding each code.
class TScanModel {
public:
  const std::vector<TModelEntry>& Entries() const { return entries_; }
  std::size_t Size() const { return entries_.size(); }
  bool Holds(std::u16string_view code) const;
  void Append(std::u16string_view code, bool scanned);
  void Erase(std::size_t index);
  void SetMark(std::size_t index, bool flag) { entries_[index].WholePackage = flag; }
  void Clear();
  // Every code followed by CR LF.
  std::u16string Text() const;
  // A code added by a scan that more than one entry holds, if any.
  std::optional<std::u16string> RepeatedScannedCode() const;

private:
  std::vector<TModelEntry> entries_;
  std::unordered_map<std::u16string, std::size_t> codes_;
};

// --- List files -------------------------------------------------------------

struct TExpectedLoad {
  TListEncoding Encoding = TListEncoding::leAnsi;
  std::optional<std::u16string> Text;  // nothing when the file must be refused
};

// The encoding from the byte-order mark and the decoded text; windows-1250
// without a mark. Refused: invalid UTF-8 after its mark, or a NUL anywhere.
TExpectedLoad ExpectedLoad(std::string_view bytes);

// Lines at CR LF, lone CR and lone LF; a break at the very end starts no line.
std::vector<std::u16string> ReferenceLines(std::u16string_view text);

// What a save of the text writes for each chosen encoding. The text is put
// into each encoding once, however often it is asked about.
class TExpectedSave {
public:
  explicit TExpectedSave(std::u16string_view text);

  // The encoding a save really writes: the chosen one, unless it cannot hold
  // some character (ANSI: outside the code page or beginning like a
  // byte-order mark; UTF-8: an unpaired surrogate).
  TListEncoding Written(TListEncoding chosen) const;

  // The bytes a save writes: the written encoding's mark and the text in it.
  const std::string& Bytes(TListEncoding chosen) const;

private:
  bool ansiFits_ = false;
  bool utf8Fits_ = false;
  std::string ansi_, utf8_, utf16LE_, utf16BE_;
};

// --- Export -----------------------------------------------------------------

// The first character of the text outside XML 1.0's Char production:
// #x9 | #xA | #xD | [#x20-#xD7FF] | [#xE000-#xFFFD] | [#x10000-#x10FFFF].
std::optional<char16_t> FirstUnwritable(std::u16string_view text);

}  // namespace quenlora::fuzz
