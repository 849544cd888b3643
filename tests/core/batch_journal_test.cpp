// SPDX-FileCopyrightText: 2026 The Quenlora authors
// SPDX-License-Identifier: GPL-3.0-or-later
//
// The run's journal in a folder: what a start puts back, which journals it
// leaves, removes or sets aside, the rewrite into a snapshot, and failures
// of the files.
#include <gtest/gtest.h>

#include <cerrno>
#include <string>
#include <vector>

#include "batch_journal.h"
#include "journal_format.h"
#include "platform/journal_file.h"
#include "test_support.h"

namespace quenlora {
namespace {

namespace fs = std::filesystem;
using platform::TJournalCall;
using test::Codes;
using test::Marks;
using test::TScratchFolder;

std::u16string FolderOf(const TScratchFolder& folder) { return test::U16(folder.Path()) + u'/'; }

// System errors for the failure seams, in the platform's own numbers, and the
// text the system gives for them.
#ifdef _WIN32
constexpr int kDiskFull = 112;      // ERROR_DISK_FULL
constexpr int kIoError = 1117;      // ERROR_IO_DEVICE
constexpr int kDenied = 5;          // ERROR_ACCESS_DENIED
constexpr int kReadOnly = 19;       // ERROR_WRITE_PROTECT
#else
constexpr int kDiskFull = ENOSPC;
constexpr int kIoError = EIO;
constexpr int kDenied = EACCES;
constexpr int kReadOnly = EROFS;
#endif

std::u16string ReasonOf(int error)
{
#ifdef _WIN32
  // The state folder's seam gives the system's text for any error.
  platform::FailStateFolder(error);
  const std::u16string reason = test::BatchErrorOf([] { platform::StateFolder(); });
  platform::FailStateFolder(0);
  return reason;
#else
  return test::U16(std::strerror(error));
#endif
}

std::vector<std::string> Names(const TScratchFolder& folder)
{
  std::vector<std::string> names;
  for (const auto& entry : fs::directory_iterator(folder.Path())) names.push_back(entry.path().filename().string());
  std::sort(names.begin(), names.end());
  return names;
}

std::size_t CountEnding(const TScratchFolder& folder, std::string_view ending)
{
  std::size_t count = 0;
  for (const std::string& name : Names(folder)) count += name.ends_with(ending) ? 1 : 0;
  return count;
}

// A run: its batch and journal, as the window keeps them.
struct TRun {
  TCodeBatch Batch;
  TJournalStart Start;
  std::vector<std::u16string> Faults;

  explicit TRun(const TScratchFolder& folder) : Start(StartBatchJournal(Batch, FolderOf(folder)))
  {
    if (Start.Journal) Start.Journal->OnFault([this](const std::u16string& reason) { Faults.push_back(reason); });
  }
  TBatchJournal& Journal() { return *Start.Journal; }
  void Add(std::u16string_view code)
  {
    Journal().Added(code);
    Batch.AppendCode(code);
  }
  void Mark(std::ptrdiff_t index, bool flag)
  {
    Journal().MarkSet(index, flag);
    Batch.SetWholePackage(index, flag);
  }
  void Delete(std::ptrdiff_t index)
  {
    Journal().Deleted(index);
    Batch.DeleteAt(index);
  }
  void Clear()
  {
    Journal().Cleared();
    Batch.Clear();
  }
  void Load(std::initializer_list<std::u16string_view> lines, TListEncoding encoding)
  {
    TCodeBatch loaded;
    test::Fill(loaded, lines);
    loaded.SetListEncoding(encoding);
    Batch = std::move(loaded);
    Journal().Replaced();
  }
};

// A run that added the codes and ended without the user's close.
void LeaveKilledRun(const TScratchFolder& folder, std::initializer_list<std::u16string_view> codes)
{
  TRun run(folder);
  for (const auto code : codes) run.Add(code);
}

struct TSeamsCleared {
  ~TSeamsCleared()
  {
    platform::SetJournalFlushDelay(std::chrono::milliseconds(0));
    platform::FailStateFolder(0);
    for (int call = 0; call < static_cast<int>(TJournalCall::jcCount); ++call)
      platform::FailJournalCalls(static_cast<TJournalCall>(call), 0, 0);
  }
};

TEST(BatchJournal, KilledRunComesBackWithCodesMarksAndEncoding)
{
  TScratchFolder folder;
  {
    TRun first(folder);
    EXPECT_FALSE(first.Start.Restored);
    EXPECT_TRUE(first.Start.Fault.empty());
    first.Add(u"A1");
    first.Add(u"B2");
    first.Add(u"");
    first.Mark(1, true);
    first.Journal().EncodingSet(TListEncoding::leUtf8);
    first.Batch.SetListEncoding(TListEncoding::leUtf8);
    first.Delete(0);
    first.Add(u"C3");
    // The run ends without the user's close: the journal stays.
  }
  ASSERT_EQ(CountEnding(folder, ".journal"), 1u);
  TRun second(folder);
  EXPECT_TRUE(second.Start.Restored);
  EXPECT_EQ(Codes(second.Batch), (std::vector<std::u16string>{u"B2", u"", u"C3"}));
  EXPECT_EQ(Marks(second.Batch), (std::vector<bool>{true, false, false}));
  EXPECT_EQ(second.Batch.ListEncoding(), TListEncoding::leUtf8);
  // Once the new journal holds the batch, the old one is gone.
  second.Journal().WaitFlushed();
  EXPECT_EQ(CountEnding(folder, ".journal"), 1u);
  second.Add(u"D4");
  second.Journal().Finish();
  TRun third(folder);
  EXPECT_EQ(Codes(third.Batch), (std::vector<std::u16string>{u"B2", u"", u"C3", u"D4"}));
}

TEST(BatchJournal, UsersCloseLeavesNothing)
{
  TScratchFolder folder;
  {
    TRun first(folder);
    first.Add(u"A1");
    first.Journal().Remove();
  }
  EXPECT_TRUE(Names(folder).empty());
  TRun second(folder);
  EXPECT_FALSE(second.Start.Restored);
  EXPECT_EQ(second.Batch.Count(), 0);
}

TEST(BatchJournal, UsersCloseAfterRestoreRemovesBothJournals)
{
  TScratchFolder folder;
  LeaveKilledRun(folder, {u"A1"});
  TSeamsCleared cleared;
  // A slow disk: the close comes before the new journal reached it.
  platform::SetJournalFlushDelay(std::chrono::milliseconds(50));
  TRun second(folder);
  ASSERT_TRUE(second.Start.Restored);
  second.Journal().Remove();
  EXPECT_TRUE(Names(folder).empty());
}

// On a slow disk, changes that come while the new journal of a restored
// batch is still reaching the disk are kept, and the earlier journal goes
// only once the new one holds it all.
TEST(BatchJournal, ChangesDuringTheFirstSlowFlushAfterARestore)
{
  TScratchFolder folder;
  LeaveKilledRun(folder, {u"A1"});
  TSeamsCleared cleared;
  platform::SetJournalFlushDelay(std::chrono::milliseconds(30));
  {
    TRun second(folder);
    ASSERT_TRUE(second.Start.Restored);
    second.Add(u"B2");
    second.Mark(0, true);
    second.Journal().WaitFlushed();
    EXPECT_EQ(CountEnding(folder, ".journal"), 1u);
    EXPECT_TRUE(second.Faults.empty());
  }
  TRun third(folder);
  EXPECT_EQ(Codes(third.Batch), (std::vector<std::u16string>{u"A1", u"B2"}));
  EXPECT_EQ(Marks(third.Batch), (std::vector<bool>{true, false}));
}

TEST(BatchJournal, NewBatchAndLoadedListAreKept)
{
  TScratchFolder folder;
  {
    TRun first(folder);
    first.Add(u"A1");
    first.Clear();
    first.Add(u"B2");
    first.Load({u"x1", u"y2", u"z3"}, TListEncoding::leUtf16LE);
    first.Mark(2, true);
    first.Add(u"W4");
  }
  TRun second(folder);
  EXPECT_EQ(Codes(second.Batch), (std::vector<std::u16string>{u"x1", u"y2", u"z3", u"W4"}));
  EXPECT_EQ(Marks(second.Batch), (std::vector<bool>{false, false, true, false}));
  EXPECT_EQ(second.Batch.ListEncoding(), TListEncoding::leUtf16LE);
}

TEST(BatchJournal, EmptyBatchIsNotRestored)
{
  TScratchFolder folder;
  {
    TRun first(folder);
    first.Add(u"A1");
    first.Clear();
  }
  TRun second(folder);
  EXPECT_FALSE(second.Start.Restored);
  second.Journal().WaitFlushed();
  // The empty journal went; only this run's remains.
  EXPECT_EQ(Names(folder).size(), 1u);
}

TEST(BatchJournal, HeldJournalIsNeverTaken)
{
  TScratchFolder folder;
  TRun running(folder);
  running.Add(u"A1");
  running.Journal().WaitFlushed();
  TRun other(folder);
  EXPECT_FALSE(other.Start.Restored);
  EXPECT_EQ(CountEnding(folder, ".journal"), 2u);
  EXPECT_NE(running.Journal().Path(), other.Journal().Path());
}

// Writes a journal file directly, as an earlier run left it.
void WriteJournal(const TScratchFolder& folder, const std::string& name, const std::string& bytes,
                  fs::file_time_type when)
{
  test::WriteBytes(folder / name, bytes);
  fs::last_write_time(folder / name, when);
}

std::string JournalOf(std::initializer_list<std::u16string_view> codes)
{
  std::string bytes = journal::Header();
  for (const auto code : codes) journal::AppendAdd(bytes, code);
  return bytes;
}

TEST(BatchJournal, NewestWithCodesIsChosenOthersWaitDamagedAreSetAside)
{
  TScratchFolder folder;
  const auto now = fs::file_time_type::clock::now();
  const std::string newest = "batch-000000000000000a.journal";
  const std::string older = "batch-000000000000000b.journal";
  const std::string empty = "batch-000000000000000c.journal";
  const std::string newerVersion = "batch-000000000000000d.journal";
  const std::string garbage = "batch-000000000000000e.journal";
  const std::string leftover = "batch-000000000000000f.compact";
  const std::string foreign = "notes.txt";
  // A run killed before its first byte reached the file.
  const std::string zero = "batch-0000000000000010.journal";
  WriteJournal(folder, zero, "", now);
  WriteJournal(folder, older, JournalOf({u"OLD"}), now - std::chrono::hours(2));
  // The newest is cut in its last record: its whole records come back.
  const std::string whole = JournalOf({u"N1", u"N2"});
  WriteJournal(folder, newest, whole + JournalOf({u"N3"}).substr(journal::kHeaderSize, 5), now - std::chrono::hours(1));
  WriteJournal(folder, empty, journal::Header(), now);
  std::string newer = JournalOf({u"FUTURE"});
  newer[8] = 7;
  WriteJournal(folder, newerVersion, newer, now);
  WriteJournal(folder, garbage, "not a journal", now);
  WriteJournal(folder, leftover, JournalOf({u"HALF"}), now);
  WriteJournal(folder, foreign, "mine", now);

  {
    TRun run(folder);
    ASSERT_TRUE(run.Start.Restored);
    EXPECT_EQ(Codes(run.Batch), (std::vector<std::u16string>{u"N1", u"N2"}));
    run.Journal().WaitFlushed();
    const std::vector<std::string> names = Names(folder);
    auto has = [&](const std::string& name) { return std::find(names.begin(), names.end(), name) != names.end(); };
    EXPECT_TRUE(has(older));
    EXPECT_TRUE(has(foreign));
    EXPECT_FALSE(has(empty));
    EXPECT_FALSE(has(zero));
    EXPECT_FALSE(has(zero + ".aside"));
    EXPECT_FALSE(has(leftover));
    EXPECT_FALSE(has(newest));
    // Set aside, with their bytes as they were.
    EXPECT_TRUE(has(newest + ".aside"));
    EXPECT_TRUE(has(newerVersion + ".aside"));
    EXPECT_TRUE(has(garbage + ".aside"));
    EXPECT_EQ(test::ReadBytes(folder / (garbage + ".aside")), "not a journal");
    run.Journal().Remove();
  }
  // The older batch comes at the next start.
  TRun next(folder);
  EXPECT_EQ(Codes(next.Batch), (std::vector<std::u16string>{u"OLD"}));
  next.Journal().WaitFlushed();
  // A second damaged journal of the same name gets a name of its own.
  WriteJournal(folder, garbage, "garbage again", now);
  TRun after(folder);
  EXPECT_EQ(test::ReadBytes(folder / (garbage + ".aside-2")), "garbage again");
}

// A journal that cannot be read may still hold a batch: it is set aside with
// its bytes, never removed, and the start goes on with an empty batch.
TEST(BatchJournal, UnreadableJournalIsSetAsideNotRemoved)
{
  TSeamsCleared cleared;
  TScratchFolder folder;
  const std::string name = "batch-000000000000000a.journal";
  const std::string bytes = JournalOf({u"A1", u"B2"});
  WriteJournal(folder, name, bytes, fs::file_time_type::clock::now());
  platform::FailJournalCalls(TJournalCall::jcRead, kIoError, 1);
  TRun run(folder);
  EXPECT_FALSE(run.Start.Restored);
  EXPECT_EQ(run.Batch.Count(), 0);
  ASSERT_NE(run.Start.Journal, nullptr);
  EXPECT_FALSE(fs::exists(folder / name));
  EXPECT_EQ(test::TryReadBytes(folder / (name + ".aside")), bytes);
}

// When every name for setting a damaged journal aside is taken, the journal
// stays where it is, whole; the start goes on all the same.
TEST(BatchJournal, DamagedJournalStaysWhenNoNameIsFree)
{
  TScratchFolder folder;
  const std::string name = "batch-000000000000000e.journal";
  const auto now = fs::file_time_type::clock::now();
  WriteJournal(folder, name, "not a journal", now);
  test::WriteBytes(folder / (name + ".aside"), "first");
  for (int attempt = 2; attempt <= 100; ++attempt)
    test::WriteBytes(folder / (name + ".aside-" + std::to_string(attempt)), "taken");
  TRun run(folder);
  ASSERT_NE(run.Start.Journal, nullptr);
  EXPECT_FALSE(run.Start.Restored);
  EXPECT_EQ(test::TryReadBytes(folder / name), "not a journal");
  EXPECT_EQ(test::TryReadBytes(folder / (name + ".aside")), "first");
  EXPECT_EQ(CountEnding(folder, ".journal"), 2u);
}

TEST(BatchJournal, GrownJournalIsRewrittenAsSnapshot)
{
  TScratchFolder folder;
  std::size_t largest = 0;
  std::size_t written = journal::kHeaderSize;
  {
    TRun run(folder);
    for (int i = 0; i < 200; ++i) run.Add(u"CODE-" + test::U16(std::to_string(i)));
    // Ticks and unticks grow the journal, not the batch.
    for (int round = 0; round < 60000; ++round) {
      run.Mark(round % 200, round % 3 == 0);
      largest = std::max(largest, run.Journal().Size());
      std::string record;
      journal::AppendMark(record, round % 200, true);
      written += record.size();
    }
    run.Delete(5);
    run.Journal().WaitFlushed();
    EXPECT_LT(run.Journal().Size(), largest);
    // Rewritten while the changes went on: how many came during the last
    // rewrite depends on the disk, but the file is far below all of them.
    EXPECT_LT(fs::file_size(fs::path(run.Journal().Path())), written / 2);
    EXPECT_EQ(CountEnding(folder, ".compact"), 0u);
    run.Add(u"LAST");
  }
  TRun next(folder);
  ASSERT_EQ(next.Batch.Count(), 200);
  EXPECT_EQ(next.Batch.Code(5), u"CODE-6");
  EXPECT_EQ(next.Batch.Code(199), u"LAST");
}

// A rewrite whose new file cannot be made, or cannot take the journal's
// name, leaves the journal whole; nothing is told, and the run goes on.
TEST(BatchJournal, CompactionThatFailsLeavesTheJournalWhole)
{
  for (const TJournalCall call : {TJournalCall::jcCreate, TJournalCall::jcReplace}) {
    TSeamsCleared cleared;
    TScratchFolder folder;
    {
      TRun run(folder);
      run.Add(u"A1");
      run.Journal().WaitFlushed();
      platform::FailJournalCalls(call, call == TJournalCall::jcCreate ? kDiskFull : kIoError, 1);
      for (int round = 0; round < 20000; ++round) run.Mark(0, round % 2 == 0);
      run.Journal().WaitFlushed();
      EXPECT_TRUE(run.Faults.empty());
      EXPECT_FALSE(run.Journal().Failed());
      EXPECT_EQ(CountEnding(folder, ".compact"), 0u);
      run.Add(u"B2");
    }
    TRun next(folder);
    EXPECT_EQ(Codes(next.Batch), (std::vector<std::u16string>{u"A1", u"B2"}));
    EXPECT_EQ(Marks(next.Batch), (std::vector<bool>{false, false}));
  }
}

TEST(BatchJournal, FailedWriteOrFlushIsToldOnceAndTheRunGoesOn)
{
  for (const TJournalCall call : {TJournalCall::jcWrite, TJournalCall::jcFlush}) {
    TSeamsCleared cleared;
    TScratchFolder folder;
    TRun run(folder);
    run.Add(u"A1");
    run.Journal().WaitFlushed();
    platform::FailJournalCalls(call, kDiskFull, 1);
    run.Add(u"B2");
    run.Journal().WaitFlushed();
    run.Add(u"C3");
    run.Add(u"D4");
    EXPECT_TRUE(run.Journal().Failed());
    ASSERT_EQ(run.Faults.size(), 1u);
    EXPECT_EQ(run.Faults[0], ReasonOf(kDiskFull));
  }
}

TEST(BatchJournal, FolderThatCannotBeUsed)
{
  TSeamsCleared cleared;
  TScratchFolder folder;
  test::WriteBytes(folder / "file", "x");
  TCodeBatch batch;
  // A file where the folder should be.
  const TJournalStart start = StartBatchJournal(batch, test::U16(folder / "file") + u'/');
  EXPECT_EQ(start.Journal, nullptr);
  EXPECT_FALSE(start.Fault.empty());
  // The state folder that the system refuses.
  platform::FailStateFolder(kDenied);
  const TJournalStart refused = StartBatchJournal(batch);
  EXPECT_EQ(refused.Journal, nullptr);
  EXPECT_EQ(refused.Fault, ReasonOf(kDenied));
  EXPECT_EQ(batch.Count(), 0);
}

TEST(BatchJournal, JournalThatCannotBeCreatedKeepsTheEarlierOne)
{
  TSeamsCleared cleared;
  TScratchFolder folder;
  LeaveKilledRun(folder, {u"A1"});
  platform::FailJournalCalls(TJournalCall::jcCreate, kReadOnly, 1);
  {
    TRun second(folder);
    EXPECT_TRUE(second.Start.Restored);
    EXPECT_EQ(second.Start.Journal, nullptr);
    EXPECT_EQ(second.Start.Fault, ReasonOf(kReadOnly));
  }
  TRun third(folder);
  EXPECT_EQ(Codes(third.Batch), (std::vector<std::u16string>{u"A1"}));
}

TEST(BatchJournal, FailuresOnTheJournalsThread)
{
  TSeamsCleared cleared;
  TScratchFolder folder;
  {
    // The header cannot be written: nothing is left behind.
    platform::FailJournalCalls(TJournalCall::jcWrite, kIoError, 1);
    TCodeBatch batch;
    const TJournalStart start = StartBatchJournal(batch, FolderOf(folder));
    EXPECT_EQ(start.Journal, nullptr);
    EXPECT_EQ(start.Fault, ReasonOf(kIoError));
    EXPECT_TRUE(Names(folder).empty());
  }
  TRun run(folder);
  run.Add(u"A1");
  run.Journal().WaitFlushed();
  // A loaded list is written by the journal's thread; that write fails.
  platform::FailJournalCalls(TJournalCall::jcWrite, kDiskFull, 1);
  run.Load({u"x1", u"y2"}, TListEncoding::leAnsi);
  run.Journal().WaitFlushed();
  EXPECT_TRUE(run.Journal().Failed());
  run.Add(u"B2");
  ASSERT_EQ(run.Faults.size(), 1u);
  EXPECT_EQ(run.Faults[0], ReasonOf(kDiskFull));
}

TEST(BatchJournal, WhatIsNotAChange)
{
  TScratchFolder folder;
  {
    TRun run(folder);
    run.Add(u"A1");
    // No selection, or a row that is not there: nothing is recorded.
    run.Journal().Deleted(-1);
    run.Journal().Deleted(1);
    run.Journal().Finish();
    // After the end, nothing is waited for, and changes are not recorded.
    run.Journal().WaitFlushed();
    run.Add(u"B2");
  }
  TRun next(folder);
  EXPECT_EQ(Codes(next.Batch), (std::vector<std::u16string>{u"A1"}));
  // A failure without anyone to tell.
  TSeamsCleared cleared;
  TScratchFolder other;
  TCodeBatch batch;
  TJournalStart start = StartBatchJournal(batch, FolderOf(other));
  platform::FailJournalCalls(TJournalCall::jcWrite, kIoError, 1);
  start.Journal->Added(u"A1");
  EXPECT_TRUE(start.Journal->Failed());
#ifndef _WIN32
  // The file is already gone when the user closes (Windows lets no one
  // remove a held journal).
  fs::remove(fs::path(start.Journal->Path()));
#endif
  start.Journal->Remove();
  EXPECT_TRUE(Names(other).empty());
}

TEST(BatchJournal, JournalNames)
{
  EXPECT_TRUE(IsJournalFileName(u"batch-0123456789abcdef.journal"));
  for (const std::u16string_view name : {u"batch-0123456789abcdeF.journal", u"batch-0123456789abcde.journal",
                                         u"batch-0123456789abcdef.journal.aside", u"batch-0123456789abcdef.compact",
                                         u"xatch-0123456789abcdef.journal", u"batch-0123456789abcdeg.journal",
                                         u"batch-0123456789abcd-f.journal", u"batch-0123456789abcd~f.journal"})
    EXPECT_FALSE(IsJournalFileName(name)) << test::Utf8(name);
}

}  // namespace
}  // namespace quenlora
