// SPDX-FileCopyrightText: 2026 The Quenlora authors
// SPDX-License-Identifier: GPL-3.0-or-later

#include "code_batch.h"

#include <stdexcept>

#include "unicode_text.h"

// How many characters of deleted codes the pool may hold before it is
// rewritten (and then only when they are most of it). A fuzzing build sets it
// tiny, so that a few short deletions already compact the pool.
#ifndef QUENLORA_POOL_SLACK
#define QUENLORA_POOL_SLACK 4096
#endif

namespace quenlora {

namespace {

// Scans are compared with their ASCII letters upper-cased.
std::u16string UpperCaseAscii(std::u16string_view text)
{
  std::u16string upper(text);
  for (char16_t& c : upper)
    if (c >= u'a' && c <= u'z') c = static_cast<char16_t>(c - u'a' + u'A');
  return upper;
}

}  // namespace

TNormalizedScan NormalizeScan(std::u16string_view raw)
{
  const std::u16string_view trimmed = Trim(raw);
  if (trimmed.empty()) return {};

  const std::u16string upper = UpperCaseAscii(trimmed);

  std::u16string candidate;
  candidate.reserve(upper.size());
  const std::u16string_view text(upper);
  std::size_t from = 0;
  for (std::size_t at = text.find(ScanPrefix); at != std::u16string_view::npos; at = text.find(ScanPrefix, from)) {
    candidate.append(text.substr(from, at - from));
    from = at + ScanPrefix.size();
  }
  candidate.append(text.substr(from));
  return {std::move(candidate), true};
}

bool CarriesScanPrefix(std::u16string_view text)
{
  // Trimming cannot matter: the prefix begins and ends with no blank.
  return UpperCaseAscii(text).find(ScanPrefix) != std::u16string::npos;
}

TScanResult TCodeBatch::AddScanned(std::u16string_view raw)
{
  const TNormalizedScan scan = NormalizeScan(raw);
  if (!scan.Accepted) return TScanResult::srNothingToAdd;
  if (Contains(scan.Candidate)) return TScanResult::srAlreadyPresent;
  Append(scan.Candidate);
  return TScanResult::srAdded;
}

bool TCodeBatch::Contains(std::u16string_view code) const
{
  if (code.empty()) return false;
  return index_.Contains(code, TCodeIndex::HashOf(code),
                         [this](std::uint32_t entry) { return CodeOf(slots_[entry]); });
}

const TCodeBatch::TSlot& TCodeBatch::SlotAt(std::ptrdiff_t index) const
{
  if (index < 0 || index >= Count()) throw std::out_of_range("batch entry index out of range");
  return slots_[static_cast<std::size_t>(index)];
}

TBatchEntry TCodeBatch::Entry(std::ptrdiff_t index) const
{
  const TSlot& slot = SlotAt(index);
  return {std::u16string(CodeOf(slot)), slot.WholePackage};
}

std::u16string_view TCodeBatch::Code(std::ptrdiff_t index) const { return CodeOf(SlotAt(index)); }

bool TCodeBatch::WholePackage(std::ptrdiff_t index) const { return SlotAt(index).WholePackage; }

void TCodeBatch::SetWholePackage(std::ptrdiff_t index, bool flag)
{
  SlotAt(index);  // range check
  slots_[static_cast<std::size_t>(index)].WholePackage = flag;
}

void TCodeBatch::AppendUnindexed(std::u16string_view code)
{
  // Four billion codes, or one of four billion characters, take more memory
  // than a test machine has: the limits are not counted as branches.
  if (slots_.size() >= TCodeIndex::kMaxEntries || code.size() > UINT32_MAX)  // GCOVR_EXCL_BR_LINE
    throw std::length_error("batch too large");  // GCOVR_EXCL_BR_LINE
  // Either both the characters and the slot are added, or neither.
  const std::size_t start = pool_.size();
  pool_.insert(pool_.end(), code.begin(), code.end());
  try {
    slots_.push_back(TSlot{start, static_cast<std::uint32_t>(code.size()), false});
  } catch (...) {
    pool_.resize(start);
    throw;
  }
}

void TCodeBatch::Append(std::u16string_view code)
{
  const auto position = static_cast<std::uint32_t>(slots_.size());
  AppendUnindexed(code);
  if (code.empty()) return;
  try {
    index_.Insert(position, TCodeIndex::HashOf(code));
  } catch (...) {
    // An entry the index does not know would slip past the duplicate test.
    slots_.pop_back();
    pool_.resize(pool_.size() - code.size());
    throw;
  }
}

void TCodeBatch::DeleteAt(std::ptrdiff_t index)
{
  if (index == -1) return;
  const TSlot slot = SlotAt(index);
  const auto position = static_cast<std::uint32_t>(index);
  const bool indexed = slot.Length > 0;
  index_.EraseAndShift(position, indexed ? TCodeIndex::HashOf(CodeOf(slot)) : 0, indexed);
  slots_.erase(slots_.begin() + index);
  unusedPoolChars_ += slot.Length;
  CompactPoolIfWasteful();
}

void TCodeBatch::CompactPoolIfWasteful()
{
  // Deleted codes leave their characters in the pool; once they make up
  // most of it, the pool is rewritten. Positions do not change, so the index stays valid.
  if (unusedPoolChars_ < QUENLORA_POOL_SLACK || unusedPoolChars_ * 2 < pool_.size()) return;
  TLargeVector<char16_t> compact;
  compact.reserve(pool_.size() - unusedPoolChars_);
  for (TSlot& slot : slots_) {
    const std::size_t start = compact.size();
    compact.insert(compact.end(), pool_.begin() + static_cast<std::ptrdiff_t>(slot.Start),
                   pool_.begin() + static_cast<std::ptrdiff_t>(slot.Start + slot.Length));
    slot.Start = start;
  }
  pool_.swap(compact);
  unusedPoolChars_ = 0;
}

void TCodeBatch::Clear()
{
  pool_.clear();
  pool_.shrink_to_fit();
  slots_.clear();
  slots_.shrink_to_fit();
  unusedPoolChars_ = 0;
  index_.Clear();
}

std::u16string TCodeBatch::Text() const
{
  std::u16string text;
  text.reserve(pool_.size() - unusedPoolChars_ + 2 * slots_.size());
  for (const TSlot& slot : slots_) {
    text.append(CodeOf(slot));
    text.append(u"\r\n");
  }
  return text;
}

void TCodeBatch::ReplaceFromLines(std::span<const std::u16string_view> lines)
{
  // Checked before anything is read, so that no line is read past its end.
  if (lines.size() > TCodeIndex::kMaxEntries) throw std::length_error("batch too large");
  std::size_t characters = 0;
  for (const auto& line : lines) {
    if (line.size() > UINT32_MAX) throw std::length_error("code too long");
    characters += line.size();
  }
  TBatchBuilder builder;
  builder.Reserve(characters, lines.size());
  for (const auto& line : lines) {
    builder.Append(line);
    builder.EndLine();
  }
  builder.Finish(*this);
}

void TBatchBuilder::Reserve(std::size_t characters, std::size_t entries)
{
  // Room for the scans that usually follow a load, so the first of them does
  // not have to move a large batch. Reserved pages that are never written
  // cost no memory.
  built_.pool_.reserve(characters + characters / 8 + 1024);
  built_.slots_.reserve(entries + entries / 8 + 64);
}

char16_t* TBatchBuilder::Room(std::size_t count)
{
  roomStart_ = built_.pool_.size();
  built_.pool_.resize(roomStart_ + count);
  return built_.pool_.data() + roomStart_;
}

void TBatchBuilder::Keep(std::size_t written) { built_.pool_.resize(roomStart_ + written); }

void TBatchBuilder::Append(std::u16string_view text)
{
  built_.pool_.insert(built_.pool_.end(), text.begin(), text.end());
}

void TBatchBuilder::EndLineAt(std::size_t end, std::size_t next)
{
  // As in AppendUnindexed, limits that no test machine has the memory to reach.
  if (end - lineStart_ > UINT32_MAX) throw std::length_error("code too long");  // GCOVR_EXCL_BR_LINE
  if (built_.slots_.size() >= TCodeIndex::kMaxEntries) throw std::length_error("batch too large");  // GCOVR_EXCL_BR_LINE
  const auto length = static_cast<std::uint32_t>(end - lineStart_);
  built_.slots_.push_back(TCodeBatch::TSlot{lineStart_, length, false});
  lineStart_ = next;
  codeCharacters_ += length;
  nonEmpty_ += length > 0 ? 1 : 0;
}

void TBatchBuilder::Finish(TCodeBatch& batch)
{
  // A last line without a line end is still a line; a line end at the very
  // end adds none.
  if (TextSize() > lineStart_) EndLineAt(TextSize(), TextSize());
  const auto& slots = built_.slots_;
  std::size_t next = 0;
  built_.index_.LoadEach(nonEmpty_, [&] {
    while (slots[next].Length == 0) ++next;
    const std::u16string_view code = built_.CodeOf(slots[next]);
    return TCodeIndex::TEntryHash{static_cast<std::uint32_t>(next++), TCodeIndex::HashOf(code)};
  });
  // The line ends stay in the pool among the codes, as characters no entry uses.
  built_.unusedPoolChars_ = built_.pool_.size() - codeCharacters_;
  built_.listEncoding_ = batch.listEncoding_;
  batch = std::move(built_);
  built_ = TCodeBatch();
  lineStart_ = 0;
  codeCharacters_ = 0;
  nonEmpty_ = 0;
}

std::size_t TCodeBatch::MemoryUsage() const
{
  return pool_.capacity() * sizeof(char16_t) + slots_.capacity() * sizeof(TSlot) + index_.MemoryUsage();
}

}  // namespace quenlora
