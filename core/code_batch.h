// SPDX-FileCopyrightText: 2026 The Quenlora authors
// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

#include <cstddef>
#include <cstdint>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "code_index.h"
#include "code_lookup.h"
#include "large_allocator.h"
#include "list_encoding.h"

namespace quenlora {

// The text removed from scanned input: "HTTPS://", the verification host in
// upper case, and "/". Its host is set when building.
extern const std::u16string_view ScanPrefix;

struct TBatchEntry {
  std::u16string Code;
  bool WholePackage = false;

  bool operator==(const TBatchEntry&) const = default;
};

struct TNormalizedScan {
  std::u16string Candidate;
  bool Accepted = false;
};

// Trims the raw input, upper-cases its ASCII letters and removes every
// occurrence of ScanPrefix. Not accepted only when the trimmed input is empty.
TNormalizedScan NormalizeScan(std::u16string_view raw);
// Whether NormalizeScan removes ScanPrefix from the text at least once.
bool CarriesScanPrefix(std::u16string_view text);

enum class TScanResult { srNothingToAdd, srAdded, srAlreadyPresent };

// The ordered codes collected since the batch was started, each with its
// whole-package mark. Codes live in one shared character pool so that a
// million of them cost little more than their characters; positions run from
// 0 to Count() - 1.
class TCodeBatch {
public:
  // Normalises the raw input and appends it unless an entry already holds
  // exactly that code. An empty candidate is never present, so it is appended.
  TScanResult AddScanned(std::u16string_view raw);
  // Whether some entry's code equals the code exactly; never for an empty code.
  bool Contains(std::u16string_view code) const;

  std::ptrdiff_t Count() const { return static_cast<std::ptrdiff_t>(slots_.size()); }
  TBatchEntry Entry(std::ptrdiff_t index) const;
  // The entry's code without a copy; valid until the batch next changes.
  std::u16string_view Code(std::ptrdiff_t index) const;
  bool WholePackage(std::ptrdiff_t index) const;
  void SetWholePackage(std::ptrdiff_t index, bool flag);
  // Removes one entry; -1 (no selection) does nothing.
  void DeleteAt(std::ptrdiff_t index);
  void Clear();

  // Every code followed by CR LF, in order.
  std::u16string Text() const;
  // Discards all entries and appends one unmarked entry per line, unchanged.
  void ReplaceFromLines(std::span<const std::u16string_view> lines);
  // Appends the code as it stands, unmarked, with no normalisation and no
  // duplicate test: an entry that was added before, as a journal replays it.
  void AppendCode(std::u16string_view code) { Append(code); }

  // The encoding of list files; kept when the batch is cleared.
  TListEncoding ListEncoding() const { return listEncoding_; }
  void SetListEncoding(TListEncoding encoding) { listEncoding_ = encoding; }

  // Bytes held for the entries and the duplicate index.
  std::size_t MemoryUsage() const;

private:
  friend class TBatchBuilder;
  struct TSlot {
    std::size_t Start;
    std::uint32_t Length;
    bool WholePackage;
  };

  const TSlot& SlotAt(std::ptrdiff_t index) const;
  std::u16string_view CodeOf(const TSlot& slot) const { return {pool_.data() + slot.Start, slot.Length}; }
  void Append(std::u16string_view code);
  void AppendUnindexed(std::u16string_view code);
  void CompactPoolIfWasteful();

  TLargeVector<char16_t> pool_;
  TLargeVector<TSlot> slots_;
  std::size_t unusedPoolChars_ = 0;
  TCodeLookup index_;
  TListEncoding listEncoding_ = TListEncoding::leAnsi;
};

// Builds a new batch line by line, as a list file is read. A file's text is
// decoded straight into the new batch's character pool, line ends and all,
// and its lines are marked in place: no line is ever copied, and a line that
// arrives in pieces is simply where it was written. The duplicate index is
// built once, at the end.
class TBatchBuilder {
public:
  // Room for about this many characters and entries, taken at once rather
  // than grown into; a hint, not a limit.
  void Reserve(std::size_t characters, std::size_t entries);

  // The text so far: where the next characters go.
  std::size_t TextSize() const { return built_.pool_.size(); }
  const char16_t* Text() const { return built_.pool_.data(); }
  // Room for up to `count` more characters at the end of the text, to be
  // written directly; Keep(written) then keeps the first `written` of them.
  char16_t* Room(std::size_t count);
  void Keep(std::size_t written);
  // The line being built ends at text position `end`; the next one begins
  // at `next`, after the line end, whose characters belong to no entry.
  void EndLineAt(std::size_t end, std::size_t next);
  // The line being built begins at `start` instead (past the second half of
  // a line end that arrived late).
  void StartLineAt(std::size_t start) { lineStart_ = start; }

  // Appends to the line being built, and ends it where the text ends.
  void Append(std::u16string_view text);
  void EndLine() { EndLineAt(TextSize(), TextSize()); }

  std::size_t Lines() const { return built_.slots_.size(); }
  // Ends a last line that has no line end, indexes the codes and replaces
  // the batch's entries with the built ones, unmarked; the batch keeps its
  // ListEncoding. If indexing fails, the batch stays as it was.
  void Finish(TCodeBatch& batch);

private:
  TCodeBatch built_;
  std::size_t lineStart_ = 0;
  std::size_t roomStart_ = 0;
  std::size_t codeCharacters_ = 0;
  std::size_t nonEmpty_ = 0;
};

}  // namespace quenlora
