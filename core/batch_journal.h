// SPDX-FileCopyrightText: 2026 The Quenlora authors
// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

// The journal of this run's batch, kept in the user's state folder so that a
// run that ends without the user's close (a crash, a kill, a power cut, the
// end of the session) can be taken up again at the next start.
//
// Every change is written to the journal's file before the caller shows it,
// from the caller's thread; a thread of the journal's own brings the file to
// the disk within a second and rewrites the journal as one snapshot when it
// has grown to more than about twice the batch. The caller's thread never
// waits for the disk.

#include <chrono>
#include <condition_variable>
#include <cstddef>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <string_view>
#include <thread>

#include "code_batch.h"
#include "platform/journal_file.h"

namespace quenlora {

class TBatchJournal;

struct TJournalStart {
  // This run's journal; null when the state folder cannot be used.
  std::unique_ptr<TBatchJournal> Journal;
  // Why the batch is not kept (the system's text); empty when it is.
  std::u16string Fault;
  // Whether a batch of an earlier run was put back into the batch.
  bool Restored = false;
};

// Finds the newest journal that no running program holds and that has
// codes, puts its batch into `batch` (which must be empty), and opens this
// run's journal holding that batch. Journals without codes are removed;
// damaged ones and those of a newer version are set aside under another
// name, never removed. The folder is the state folder unless one is given.
TJournalStart StartBatchJournal(TCodeBatch& batch, const std::u16string& folder = {});

// The journal's file names: "batch-" + 16 hexadecimal digits + ".journal";
// a compaction writes ".compact" in place of ".journal" before the rename; a
// journal set aside gets ".aside" appended (and a number if that is taken).
bool IsJournalFileName(std::u16string_view name);

class TBatchJournal {
public:
  // A journal of an earlier run whose batch was put back: it goes once this
  // journal holds that batch on the disk, removed, or set aside if damaged.
  struct TAdopted {
    platform::TJournalFile File;
    std::u16string Path;
    bool Damaged = false;
  };

  // Takes over an open journal file (its header written) at path, for the
  // batch; `pending` is written first, on the journal's thread.
  TBatchJournal(const TCodeBatch& batch, platform::TJournalFile file, std::u16string path, std::string pending,
                TAdopted adopted);
  // Ends the journal's thread after its last flush and leaves the file: the
  // run ended in another way than the user's close.
  ~TBatchJournal();
  TBatchJournal(const TBatchJournal&) = delete;
  TBatchJournal& operator=(const TBatchJournal&) = delete;

  // Called once when writing fails, on the caller's thread, during a later
  // change; the journal keeps nothing after that.
  void OnFault(std::function<void(const std::u16string&)> handler) { faultHandler_ = std::move(handler); }

  // The changes, each recorded before the batch changes.
  void Added(std::u16string_view code);
  void MarkSet(std::ptrdiff_t index, bool flag);
  void Deleted(std::ptrdiff_t index);
  void Cleared();
  void EncodingSet(TListEncoding encoding);
  // The batch was replaced (a list loaded): recorded after the change, as a
  // snapshot of the whole batch, which the journal's thread writes.
  void Replaced();

  // The user's close: the journal's thread ends and the file is removed.
  void Remove();
  // The session ends: everything reaches the disk and the file stays.
  void Finish();

  bool Failed() const;
  const std::u16string& Path() const { return path_; }

  // The file's size as written so far (for tests and benchmarks).
  std::size_t Size() const;
  // Waits until everything written is on the disk (for tests).
  void WaitFlushed();

private:
  static constexpr std::size_t kNoCost = static_cast<std::size_t>(-1);
  // Writes the record; the cost of a snapshot changes by costChange, or becomes costAfter.
  void Record(std::string&& record, bool queue, std::ptrdiff_t costChange, std::size_t costAfter = kNoCost);
  void Compact(const std::string& record);
  void FailLocked(const std::u16string& reason);
  void ReportFault();
  void Run();
  void Rewrite(std::unique_lock<std::mutex>& lock);
  void LetAdoptedGo();
  void Stop(bool discard);

  const TCodeBatch& batch_;
  std::u16string path_;
  std::function<void(const std::u16string&)> faultHandler_;
  bool faultReported_ = false;

  mutable std::mutex mutex_;
  std::condition_variable wake_;
  std::condition_variable flushed_;
  platform::TJournalFile file_;
  // Bytes for the file that the journal's thread writes, in order, before
  // the caller may write again itself.
  std::string queued_;
  bool writing_ = false;
  // A compaction under way: the snapshot for the new file, and the records
  // that came after it, which go to both files.
  std::string snapshot_;
  bool compacting_ = false;
  std::string tail_;
  std::size_t size_ = 0;
  std::size_t cost_ = 0;  // about what a snapshot of the batch takes
  // After a compaction failed, the next waits until the journal has grown this far.
  std::size_t noCompactionBelow_ = 0;
  bool dirty_ = false;
  std::chrono::steady_clock::time_point dirtySince_{};
  bool syncing_ = false;
  bool stop_ = false;
  bool failed_ = false;
  std::u16string failure_;
  TAdopted adopted_;
  bool stopped_ = false;
  std::thread thread_;
};

}  // namespace quenlora
