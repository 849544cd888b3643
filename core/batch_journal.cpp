// SPDX-FileCopyrightText: 2026 The Quenlora authors
// SPDX-License-Identifier: GPL-3.0-or-later
#include "batch_journal.h"

#include <algorithm>
#include <new>
#include <optional>
#include <vector>

#include "batch_error.h"
#include "journal_format.h"

namespace quenlora {

namespace {

using platform::TJournalFile;

constexpr std::u16string_view kPrefix = u"batch-";
constexpr std::u16string_view kSuffix = u".journal";
constexpr std::u16string_view kCompactSuffix = u".compact";
constexpr std::size_t kDigits = 16;
// A journal is rewritten once it is more than twice the batch and this much.
constexpr std::size_t kCompactionSlack = 64 * 1024;
// How long the journal's thread gathers changes before it flushes them.
constexpr std::chrono::milliseconds kFlushGathering{100};

bool IsHexName(std::u16string_view name, std::u16string_view suffix)
{
  if (name.size() != kPrefix.size() + kDigits + suffix.size() || !name.starts_with(kPrefix) || !name.ends_with(suffix))
    return false;
  return std::all_of(name.begin() + kPrefix.size(), name.begin() + kPrefix.size() + kDigits,
                     [](char16_t c) { return (c >= u'0' && c <= u'9') || (c >= u'a' && c <= u'f'); });
}

std::u16string NewJournalName()
{
  std::u16string name(kPrefix);
  const std::uint64_t random = platform::RandomNumber();
  for (int shift = 60; shift >= 0; shift -= 4) name += u"0123456789abcdef"[(random >> shift) & 0xF];
  return name.append(kSuffix);
}

// Removes a file this process holds; where the system refuses to remove a
// held file, it is let go first.
void RemoveHeld(TJournalFile& file, const std::u16string& path)
{
  if (!platform::RemoveFile(path)) {
    file.Close();
    platform::RemoveFile(path);
  }
  file.Close();
}

// Gives a damaged journal a name that no start looks at again.
void SetAside(TJournalFile& file, const std::u16string& path)
{
  for (int attempt = 1; attempt <= 100; ++attempt) {
    std::u16string aside = path + u".aside";
    if (attempt > 1) {
      const std::string number = std::to_string(attempt);
      aside.append(u"-").append(std::u16string(number.begin(), number.end()));
    }
    if (platform::RenameFile(path, aside)) break;
    // The system refuses to rename a held file: let it go and try again.
    if (file.IsOpen()) {
      file.Close();
      // Only Windows refuses a held file; elsewhere the name was taken, and still is.
      if (platform::RenameFile(path, aside)) break;  // GCOVR_EXCL_BR_LINE
    }
  }
  file.Close();
}

std::size_t CostOf(const TCodeBatch& batch)
{
  std::size_t cost = 0;
  for (std::ptrdiff_t i = 0; i < batch.Count(); ++i) cost += journal::SnapshotCost(batch.Code(i));
  return cost;
}

}  // namespace

bool IsJournalFileName(std::u16string_view name) { return IsHexName(name, kSuffix); }

TJournalStart StartBatchJournal(TCodeBatch& batch, const std::u16string& folderGiven)
{
  TJournalStart start;
  std::u16string folder = folderGiven;
  try {
    if (folder.empty()) folder = platform::StateFolder();
  } catch (const TBatchError& error) {  // GCOVR_EXCL_BR_LINE: anything else only for want of memory
    start.Fault = error.Message();
    return start;
  }

  std::vector<platform::TFolderEntry> entries = platform::ListFiles(folder);
  // The newest first; the name decides between equal times, so that every start chooses alike.
  std::sort(entries.begin(), entries.end(), [](const auto& a, const auto& b) {
    return a.Modified != b.Modified ? a.Modified > b.Modified : a.Name > b.Name;
  });

  std::optional<TBatchJournal::TAdopted> chosen;
  TCodeBatch restored;
  // The chosen journal's intact records, which become the new journal's.
  std::string restoredRecords;
  for (const platform::TFolderEntry& entry : entries) {
    const bool compaction = IsHexName(entry.Name, kCompactSuffix);
    if (!compaction && !IsJournalFileName(entry.Name)) continue;
    const std::u16string path = folder + entry.Name;
    std::optional<TJournalFile> file;
    try {
      file = TJournalFile::OpenUnheld(path);
    } catch (const TBatchError&) {  // GCOVR_EXCL_BR_LINE: anything else only for want of memory
      // Unreadable even to open: it stays as it is.
      continue;
    }
    if (!file) continue;  // a running program's
    if (compaction) {
      // A rewrite that never took the journal's name: the journal itself is whole.
      RemoveHeld(*file, path);
      continue;
    }
    journal::TReplay replay;
    std::string bytes;
    bool readable = true;
    try {
      bytes = file->ReadAll();
      replay = journal::ReplayJournal(bytes);
    } catch (const TBatchError&) {  // GCOVR_EXCL_BR_LINE: the other kind, want of memory, no test provokes
      readable = false;
    } catch (const std::bad_alloc&) {
      readable = false;
    }
    const bool damaged = !readable || replay.End != journal::TJournalEnd::jeComplete;
    if (readable && replay.Batch.Count() > 0) {
      // The newest batch is put back; older ones wait for later starts.
      if (!chosen) {
        chosen = TBatchJournal::TAdopted{std::move(*file), path, damaged};
        restored = std::move(replay.Batch);
        bytes.resize(replay.IntactEnd);
        restoredRecords = std::move(bytes);
      }
      continue;
    }
    // A file without a byte is a run killed before its header; one that could
    // not be read may hold a batch all the same.
    if (damaged && (!readable || !bytes.empty()))
      SetAside(*file, path);
    else
      RemoveHeld(*file, path);
  }

  if (chosen) {
    batch = std::move(restored);
    start.Restored = true;
  }
  const std::u16string path = folder + NewJournalName();
  TJournalFile file;
  try {
    file = TJournalFile::CreateNew(path);
    // A batch put back comes with its own header, from the journal's thread;
    // until then the file is empty, which a start removes.
    if (!chosen) file.Write(journal::Header());
  } catch (const TBatchError& error) {  // GCOVR_EXCL_BR_LINE: anything else only for want of memory
    // The earlier journal stays for a later start.
    if (file.IsOpen()) RemoveHeld(file, path);
    start.Fault = error.Message();
    return start;
  }
  // The header and records that gave the batch give it again; the journal's
  // thread writes them, and the next rewrite makes them one snapshot.
  start.Journal = std::make_unique<TBatchJournal>(batch, std::move(file), path, std::move(restoredRecords),
                                                  chosen ? std::move(*chosen) : TBatchJournal::TAdopted{});
  return start;
}

TBatchJournal::TBatchJournal(const TCodeBatch& batch, TJournalFile file, std::u16string path, std::string pending,
                             TAdopted adopted)
    : batch_(batch),
      path_(std::move(path)),
      file_(std::move(file)),
      queued_(std::move(pending)),
      size_(queued_.empty() ? journal::kHeaderSize : queued_.size()),
      cost_(CostOf(batch)),
      dirty_(true),
      adopted_(std::move(adopted))
{
  thread_ = std::thread([this] { Run(); });
}

TBatchJournal::~TBatchJournal() { Finish(); }

void TBatchJournal::Added(std::u16string_view code)
{
  std::string record;
  journal::AppendAdd(record, code);
  Record(std::move(record), false, static_cast<std::ptrdiff_t>(journal::SnapshotCost(code)));
}

void TBatchJournal::MarkSet(std::ptrdiff_t index, bool flag)
{
  std::string record;
  journal::AppendMark(record, index, flag);
  Record(std::move(record), false, 0);
}

void TBatchJournal::Deleted(std::ptrdiff_t index)
{
  if (index < 0 || index >= batch_.Count()) return;
  std::string record;
  journal::AppendDelete(record, index);
  Record(std::move(record), false, -static_cast<std::ptrdiff_t>(journal::SnapshotCost(batch_.Code(index))));
}

void TBatchJournal::Cleared()
{
  std::string record;
  journal::AppendClear(record);
  Record(std::move(record), false, 0, 0);
}

void TBatchJournal::EncodingSet(TListEncoding encoding)
{
  std::string record;
  journal::AppendEncoding(record, encoding);
  Record(std::move(record), false, 0);
}

void TBatchJournal::Replaced()
{
  std::string record;
  journal::AppendSnapshot(record, batch_);
  const std::size_t cost = record.size();
  Record(std::move(record), true, 0, cost);
}

void TBatchJournal::Record(std::string&& record, bool queue, std::ptrdiff_t costChange, std::size_t costAfter)
{
  bool grown = false;
  {
    std::lock_guard lock(mutex_);
    if (costAfter != kNoCost)
      cost_ = costAfter;
    else
      cost_ = costChange < 0 ? cost_ - std::min(cost_, static_cast<std::size_t>(-costChange))
                             : cost_ + static_cast<std::size_t>(costChange);
    if (!failed_ && !stopped_) {
      size_ += record.size();
      if (compacting_) tail_ += record;
      if (queue || writing_ || !queued_.empty()) {
        queued_ += record;
      } else {
        try {
          file_.Write(record);
        } catch (const TBatchError& error) {  // GCOVR_EXCL_BR_LINE: anything else only for want of memory
          FailLocked(error.Message());
        }
      }
      if (!dirty_) dirtySince_ = std::chrono::steady_clock::now();
      dirty_ = true;
      grown = !failed_ && !compacting_ && size_ > std::max(2 * cost_ + kCompactionSlack, noCompactionBelow_);
      wake_.notify_one();
    }
  }
  if (grown) Compact(record);
  ReportFault();
}

void TBatchJournal::Compact(const std::string& record)
{
  // The batch as the records before this one leave it (this one, but for a
  // replaced batch, is not applied yet; a replacing snapshot applies alike
  // twice), then this record: the new file holds what the old one does. The
  // records that follow go to the old file and, after these, to the new one.
  std::string snapshot;
  journal::AppendSnapshot(snapshot, batch_);
  std::lock_guard lock(mutex_);
  if (failed_ || stopped_) return;
  snapshot_ = std::move(snapshot);
  tail_ = record;
  compacting_ = true;
  wake_.notify_one();
}

void TBatchJournal::FailLocked(const std::u16string& reason)
{
  if (failed_) return;
  failed_ = true;
  failure_ = reason;
  queued_.clear();
  compacting_ = false;
  snapshot_.clear();
  tail_.clear();
  wake_.notify_all();
  flushed_.notify_all();
}

void TBatchJournal::ReportFault()
{
  std::u16string reason;
  {
    std::lock_guard lock(mutex_);
    if (!failed_ || faultReported_) return;
    faultReported_ = true;
    reason = failure_;
  }
  if (faultHandler_) faultHandler_(reason);
}

bool TBatchJournal::Failed() const
{
  std::lock_guard lock(mutex_);
  return failed_;
}

std::size_t TBatchJournal::Size() const
{
  std::lock_guard lock(mutex_);
  return size_;
}

void TBatchJournal::WaitFlushed()
{
  std::unique_lock lock(mutex_);
  flushed_.wait(lock, [this] {
    return failed_ || stopped_ || (!dirty_ && queued_.empty() && !writing_ && !syncing_ && !compacting_);
  });
}

void TBatchJournal::Run()
{
  std::unique_lock lock(mutex_);
  for (;;) {
    wake_.wait(lock, [this] { return stop_ || failed_ || !queued_.empty() || compacting_ || dirty_; });
    if (failed_) break;
    if (!queued_.empty()) {
      std::string bytes = std::move(queued_);
      queued_.clear();
      writing_ = true;
      lock.unlock();
      try {
        file_.Write(bytes);
        lock.lock();
      } catch (const TBatchError& error) {  // GCOVR_EXCL_BR_LINE: anything else only for want of memory
        lock.lock();
        FailLocked(error.Message());
      }
      writing_ = false;
      dirty_ = true;
      continue;
    }
    if (compacting_) {
      Rewrite(lock);
      continue;
    }
    if (dirty_) {
      // Changes that come close together reach the disk together, still
      // within the second: a scanner's burst costs one flush, not one each.
      const auto due = dirtySince_ + kFlushGathering;
      if (!stop_ && std::chrono::steady_clock::now() < due) {
        wake_.wait_until(lock, due, [this] { return stop_ || failed_ || !queued_.empty() || compacting_; });
        continue;
      }
      dirty_ = false;
      syncing_ = true;
      lock.unlock();
      try {
        file_.Flush();
        lock.lock();
      } catch (const TBatchError& error) {  // GCOVR_EXCL_BR_LINE: anything else only for want of memory
        lock.lock();
        FailLocked(error.Message());
      }
      syncing_ = false;
      if (!failed_ && adopted_.File.IsOpen() && !dirty_) LetAdoptedGo();
      flushed_.notify_all();
      continue;
    }
    // The wait above ends for nothing else but a stop.
    if (stop_) break;  // GCOVR_EXCL_BR_LINE
  }
  flushed_.notify_all();
}

void TBatchJournal::Rewrite(std::unique_lock<std::mutex>& lock)
{
  std::string snapshot = std::move(snapshot_);
  snapshot_.clear();
  const std::u16string freshPath = path_.substr(0, path_.size() - kSuffix.size()) + std::u16string(kCompactSuffix);
  lock.unlock();
  TJournalFile fresh;
  bool written = false;
  try {
    fresh = TJournalFile::CreateNew(freshPath);
    snapshot.insert(0, journal::Header());
    fresh.Write(snapshot);
    fresh.Flush();
    written = true;
  } catch (const TBatchError&) {  // GCOVR_EXCL_BR_LINE: anything else only for want of memory
    // The journal goes on as it is; the next change tries again.
  }
  lock.lock();
  if (written && !failed_) {
    try {
      fresh.Write(tail_);
      TJournalFile::Replace(file_, fresh, freshPath, path_);
      file_ = std::move(fresh);
      // Whatever was still waiting for the old file is in the tail.
      queued_.clear();
      size_ = snapshot.size() + tail_.size();
      dirty_ = true;
    } catch (const TBatchError& error) {  // GCOVR_EXCL_BR_LINE: anything else only for want of memory
      // Only Windows lets the journal go before the new file takes its name.
      if (!file_.IsOpen()) FailLocked(error.Message());  // GCOVR_EXCL_BR_LINE
      written = false;
    }
  }
  if (!written) noCompactionBelow_ = 2 * size_;
  if (fresh.IsOpen()) RemoveHeld(fresh, freshPath);
  compacting_ = false;
  tail_.clear();
}

void TBatchJournal::LetAdoptedGo()
{
  if (adopted_.Damaged)
    SetAside(adopted_.File, adopted_.Path);
  else
    RemoveHeld(adopted_.File, adopted_.Path);
}

void TBatchJournal::Stop(bool discard)
{
  {
    std::lock_guard lock(mutex_);
    if (stopped_) return;
    if (discard) {
      queued_.clear();
      compacting_ = false;
      snapshot_.clear();
      dirty_ = false;
    }
    stop_ = true;
    wake_.notify_all();
  }
  // The constructor starts the thread, and a stop joins it once.
  if (thread_.joinable()) thread_.join();  // GCOVR_EXCL_BR_LINE
  std::lock_guard lock(mutex_);
  stopped_ = true;
  flushed_.notify_all();
}

void TBatchJournal::Remove()
{
  Stop(true);
  RemoveHeld(file_, path_);
  // Its batch was in this window, which the user closed.
  if (adopted_.File.IsOpen()) LetAdoptedGo();
}

void TBatchJournal::Finish()
{
  Stop(false);
  // The next start may take it up.
  file_.Close();
  adopted_.File.Close();
}

}  // namespace quenlora
