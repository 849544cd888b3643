#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "code_batch.h"

namespace quenlora {

// The host part of the returned-strips namespace URI; set when building.
extern const std::u16string_view NamespaceHost;

enum TExportKind { xkSingle, xkFull, xkKombi };

// The document as a list of text lines, held in one buffer in which every
// line is already followed by CR LF, as the file has it.
class TDocumentLines {
public:
  // Appends text to the line being built; EndLine closes it.
  void Append(std::u16string_view text) { text_.append(text); }
  void EndLine();
  void Add(std::u16string_view line)
  {
    Append(line);
    EndLine();
  }

  std::ptrdiff_t Count() const { return static_cast<std::ptrdiff_t>(ends_.size()); }
  std::u16string_view Line(std::ptrdiff_t index) const;
  // All lines, each followed by CR LF.
  std::u16string_view JoinedText() const { return text_; }
  void Reserve(std::size_t lines, std::size_t characters);

private:
  std::u16string text_;
  std::vector<std::size_t> ends_;  // where each line's text ends, before its CR LF
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
