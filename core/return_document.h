#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "code_batch.h"

namespace quenlora {

// The host part of the returned-strips namespace URI; set when building.
extern const std::u16string_view NamespaceHost;

enum TExportKind { xkSingle, xkFull, xkKombi };

// The document as a list of text lines. They are kept as the file will hold
// them, UTF-8 with every line followed by CR LF, so that a million codes are
// built and written without a second copy in another encoding.
class TDocumentLines {
public:
  // Appends text to the line being built; EndLine closes it. Text that UTF-8
  // cannot carry (an unpaired surrogate) is appended as U+FFFD.
  void Append(std::u16string_view text);
  void AppendAscii(std::string_view text) { utf8_.append(text); }
  void EndLine();
  void Add(std::u16string_view line)
  {
    Append(line);
    EndLine();
  }

  std::ptrdiff_t Count() const { return static_cast<std::ptrdiff_t>(ends_.size()); }
  std::u16string Line(std::ptrdiff_t index) const;
  // All lines in UTF-8, each followed by CR LF.
  std::string_view Utf8() const { return utf8_; }
  void Reserve(std::size_t lines, std::size_t bytes);

private:
  std::string utf8_;
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
