// SPDX-FileCopyrightText: 2026 The Quenlora authors
// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "code_batch.h"
#include "large_allocator.h"

namespace quenlora {

// The host part of the returned-strips namespace URI; set when building.
extern const std::u16string_view NamespaceHost;

enum TExportKind { xkSingle, xkFull, xkKombi };

// The document as a list of text lines. They are kept as the file will hold
// them, in one buffer: the UTF-8 byte-order mark, then every line in UTF-8
// followed by CR LF, so that a million codes are written from it without a
// second copy. A line never holds a CR of its own (a code's CR is escaped).
class TDocumentLines {
public:
  TDocumentLines();

  // Appends text to the line being built; EndLine closes it. Text that UTF-8
  // cannot carry (an unpaired surrogate) is appended as U+FFFD.
  void Append(std::u16string_view text);
  void AppendAscii(std::string_view text);
  void EndLine() { AppendAscii("\r\n"); }
  void Add(std::u16string_view line)
  {
    Append(line);
    EndLine();
  }

  std::ptrdiff_t Count() const;
  std::u16string Line(std::ptrdiff_t index) const;
  // All lines in UTF-8, each followed by CR LF.
  // (The bytes always begin with the mark: substr's range check never fails.)
  std::string_view Utf8() const { return Bytes().substr(kMarkSize); }  // GCOVR_EXCL_BR_LINE
  // The file's content: the byte-order mark, then the lines.
  std::string_view Bytes() const { return {bytes_.data(), bytes_.size()}; }
  // Room for `count` more bytes of lines at the end, to be written directly.
  char* Extend(std::size_t count);

private:
  static constexpr std::size_t kMarkSize = 3;
  TLargeVector<char> bytes_;
};

// Builds the returned-strips document for the kind. Each code is written
// trimmed, with "&", "<", ">" and CR escaped so that an XML parser reads back
// the trimmed code exactly. Throws TBatchError (a Czech message naming the
// entry's position) when a code holds a character XML 1.0 cannot carry.
TDocumentLines BuildReturnDocument(const TCodeBatch& batch, TExportKind kind);

// Writes the lines, each ended by CR LF, as UTF-8 with a byte-order mark,
// replacing the file at path in one step.
void WriteReturnDocument(const TDocumentLines& lines, const std::u16string& path);

}  // namespace quenlora
