// SPDX-FileCopyrightText: 2026 The Quenlora authors
// SPDX-License-Identifier: GPL-3.0-or-later
//
// Every step of a save and of a load made to fail as Windows and its file
// servers make them fail, though Wine does not: a share that refuses
// deleting or changing access lists, a file in use, a full disk, a folder
// that vanished. Each time the message is exact, the old file is whole (or,
// where the save may write it in place, holds the new content), nothing is
// left beside it unless the message names it, and the batch is unchanged.
#include <gtest/gtest.h>

#include <windows.h>

#include <set>
#include <string>
#include <vector>

#include "platform/file_faults.h"
#include "platform/platform.h"
#include "test_support.h"
#include "win32/test_support_win32.h"

namespace quenlora {
namespace {

namespace fs = std::filesystem;
using platform::TFilePoint;
using test::CannotCreate;
using test::CannotOpen;
using test::ErrorOf;
using test::ReadBytes;
using test::StateOf;
using test::TBatchState;
using test::TScratchFolder;
using test::U16;
using test::WriteBytes;

constexpr int kAlways = 1000000;

struct TArmed {
  TFilePoint Point;
  DWORD Error;
  int Times;
};

// Arms the points for as long as it lives.
class TFaults {
public:
  explicit TFaults(const std::vector<TArmed>& faults)
  {
    for (const auto& fault : faults) platform::FailFileCalls(fault.Point, static_cast<int>(fault.Error), fault.Times);
  }
  TFaults(const TFaults&) = delete;
  TFaults& operator=(const TFaults&) = delete;
  ~TFaults() { platform::ClearFileFaults(); }
};

// What identifies a file whatever its name: replacing gives a new one,
// writing in place keeps it.
std::uint64_t FileIdentity(const fs::path& path)
{
  const HANDLE file = ::CreateFileW(path.c_str(), FILE_READ_ATTRIBUTES,
                                    FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr, OPEN_EXISTING,
                                    FILE_FLAG_BACKUP_SEMANTICS, nullptr);
  BY_HANDLE_FILE_INFORMATION info{};
  const bool known = file != INVALID_HANDLE_VALUE && ::GetFileInformationByHandle(file, &info);
  if (file != INVALID_HANDLE_VALUE) ::CloseHandle(file);
  EXPECT_TRUE(known) << test::Utf8Name(path);
  return (static_cast<std::uint64_t>(info.nFileIndexHigh) << 32) | info.nFileIndexLow;
}

TCodeBatch SampleBatch()
{
  TCodeBatch batch;
  test::Fill(batch, {u"KP0001", u"KP0002", u"KP0003"});
  batch.SetWholePackage(2, true);
  return batch;
}

const std::string kPrevious = "\xEF\xBB\xBFPREVIOUS1\r\nPREVIOUS2\r\n";
const std::vector<DWORD> kErrors = {ERROR_ACCESS_DENIED, ERROR_SHARING_VIOLATION, ERROR_DISK_FULL,
                                    ERROR_PATH_NOT_FOUND};

std::string ErrorName(DWORD error)
{
  switch (error) {
    case ERROR_ACCESS_DENIED: return "access denied";
    case ERROR_SHARING_VIOLATION: return "sharing violation";
    case ERROR_DISK_FULL: return "disk full";
    case ERROR_PATH_NOT_FOUND: return "path not found";
    default: return std::to_string(error);
  }
}

enum class TOutcome {
  Replaced,  // the new content, through the temporary
  InPlace,   // the new content, written into the old file
  Kept,      // the old file as it was
};

struct TSaveCase {
  std::string Name;
  std::vector<TArmed> Faults;
  TOutcome Outcome;
  // The message: empty when the save succeeds, else built from the target.
  std::function<std::u16string(const fs::path&)> Error;
  // The system's error for a temporary that could not be deleted, or 0.
  DWORD Leftover = 0;
};

std::vector<TSaveCase> SaveCases()
{
  using TMessage = std::function<std::u16string(const fs::path&)>;
  const TMessage none = [](const fs::path&) { return std::u16string(); };
  const auto cannotCreate = [](DWORD error) -> TMessage {
    return [error](const fs::path& path) { return CannotCreate(path, error); };
  };
  const TMessage writeError = [](const fs::path&) { return std::u16string(u"Stream write error"); };
  std::vector<TSaveCase> cases;
  for (const DWORD error : kErrors) {
    const std::string name = ErrorName(error);
    const bool denied = error == ERROR_ACCESS_DENIED;
    // No temporary that the save could delete again: the file is written in place.
    cases.push_back({"create: " + name, {{TFilePoint::fpNamedCreate, error, kAlways}},
                     denied ? TOutcome::InPlace : TOutcome::Kept, denied ? none : cannotCreate(error)});
    cases.push_back({"write: " + name, {{TFilePoint::fpWrite, error, 1}}, TOutcome::Kept, writeError});
    cases.push_back({"flush: " + name, {{TFilePoint::fpFlush, error, 1}}, TOutcome::Kept, writeError});
    // The file may be written but not replaced: it is written in place.
    cases.push_back({"rename: " + name, {{TFilePoint::fpRename, error, kAlways}},
                     denied ? TOutcome::InPlace : TOutcome::Kept, denied ? none : cannotCreate(error)});
    // The temporary of a failed save cannot be deleted: the message names it.
    cases.push_back({"delete after a failed write: " + name,
                     {{TFilePoint::fpWrite, ERROR_DISK_FULL, 1}, {TFilePoint::fpDelete, error, kAlways}},
                     TOutcome::Kept, writeError, error});
  }
  // Creating with the right to change the access list refused, without it allowed.
  cases.push_back({"access list rights refused", {{TFilePoint::fpNamedCreate, ERROR_ACCESS_DENIED, 1}},
                   TOutcome::Replaced, none});
  // Held for a moment only.
  cases.push_back({"create: sharing violation once", {{TFilePoint::fpNamedCreate, ERROR_SHARING_VIOLATION, 2}},
                   TOutcome::Replaced, none});
  cases.push_back({"rename: access denied once", {{TFilePoint::fpRename, ERROR_ACCESS_DENIED, 2}},
                   TOutcome::Replaced, none});
  // Written in place, but the temporary cannot be deleted first: nothing is written.
  cases.push_back({"rename denied, delete denied",
                   {{TFilePoint::fpRename, ERROR_ACCESS_DENIED, kAlways},
                    {TFilePoint::fpDelete, ERROR_ACCESS_DENIED, kAlways}},
                   TOutcome::Kept, cannotCreate(ERROR_ACCESS_DENIED), ERROR_ACCESS_DENIED});
  cases.push_back({"in place, write fails", {{TFilePoint::fpNamedCreate, ERROR_ACCESS_DENIED, kAlways},
                    {TFilePoint::fpWrite, ERROR_DISK_FULL, 1}}, TOutcome::Kept, writeError});
  return cases;
}

TEST(Win32FileFaults, EverySaveStepFails)
{
  const TCodeBatch batch = SampleBatch();
  const TBatchState before = StateOf(batch);
  for (const auto& c : SaveCases()) {
    for (const auto& writer : test::Writers()) {
      const std::string name = c.Name + ", " + writer.Name;
      TScratchFolder folder;
      const fs::path path = folder / "Vrácené kódy.txt";
      WriteBytes(path, kPrevious);
      const std::uint64_t identity = FileIdentity(path);
      TScratchFolder reference;
      const fs::path expectedFile = reference / "expected";
      writer.Write(batch, U16(expectedFile));

      std::u16string error;
      {
        const TFaults faults(c.Faults);
        error = ErrorOf([&] { writer.Write(batch, U16(path)); });
      }
      EXPECT_EQ(StateOf(batch), before) << name;

      std::set<std::string> names = test::ListTree(folder.Path());
      EXPECT_EQ(names.count("Vrácené kódy.txt"), 1u) << name;
      names.erase("Vrácené kódy.txt");
      std::u16string expected = c.Error(path);
      if (c.Leftover != 0) {
        // Exactly one temporary remains, and the message names it.
        ASSERT_EQ(names.size(), 1u) << name;
        const fs::path leftover = folder.Path() / fs::u8path(*names.begin());
        expected += u". The temporary file \"" + U16(leftover) + u"\" could not be deleted. " +
                    test::SystemReason(c.Leftover);
        fs::remove(leftover);
      } else {
        EXPECT_TRUE(names.empty()) << name << ": " << (names.empty() ? "" : *names.begin());
      }
      EXPECT_EQ(test::Utf8(error), test::Utf8(expected)) << name;

      switch (c.Outcome) {
        case TOutcome::Kept:
          EXPECT_EQ(ReadBytes(path), kPrevious) << name;
          EXPECT_EQ(FileIdentity(path), identity) << name;
          break;
        case TOutcome::InPlace:
          EXPECT_EQ(ReadBytes(path), ReadBytes(expectedFile)) << name;
          EXPECT_EQ(FileIdentity(path), identity) << name;
          break;
        case TOutcome::Replaced:
          EXPECT_EQ(ReadBytes(path), ReadBytes(expectedFile)) << name;
          EXPECT_NE(FileIdentity(path), identity) << name;
          break;
      }
    }
  }
}

// A new file in a folder that takes no temporary this save could delete
// again is written under its own name from the start; where the folder takes
// no new file at all, the save reports the system's reason.
TEST(Win32FileFaults, NewFileWhereNoTemporaryCanBe)
{
  const TCodeBatch batch = SampleBatch();
  for (const auto& writer : test::Writers()) {
    TScratchFolder folder;
    const fs::path path = folder / "nový.xml";
    {
      // The temporary refused twice (with and without access list rights), the file itself not.
      const TFaults faults({{TFilePoint::fpNamedCreate, ERROR_ACCESS_DENIED, 2}});
      EXPECT_EQ(ErrorOf([&] { writer.Write(batch, U16(path)); }), u"") << writer.Name;
    }
    TScratchFolder reference;
    writer.Write(batch, U16(reference / "expected"));
    EXPECT_EQ(ReadBytes(path), ReadBytes(reference / "expected")) << writer.Name;
    EXPECT_EQ(test::ListTree(folder.Path()), std::set<std::string>{"nový.xml"}) << writer.Name;

    const fs::path refused = folder / "odmítnutý.xml";
    {
      const TFaults faults({{TFilePoint::fpNamedCreate, ERROR_ACCESS_DENIED, kAlways}});
      EXPECT_EQ(ErrorOf([&] { writer.Write(batch, U16(refused)); }), CannotCreate(refused, ERROR_ACCESS_DENIED))
          << writer.Name;
    }
    EXPECT_EQ(test::ListTree(folder.Path()), std::set<std::string>{"nový.xml"}) << writer.Name;
  }
}

TEST(Win32FileFaults, EveryLoadStepFails)
{
  TScratchFolder folder;
  const fs::path path = folder / "seznam.txt";
  WriteBytes(path, kPrevious);
  for (const TFilePoint point : {TFilePoint::fpOpen, TFilePoint::fpRead}) {
    for (const DWORD error : kErrors) {
      const std::string name = std::string(point == TFilePoint::fpOpen ? "open: " : "read: ") + ErrorName(error);
      TCodeBatch batch = SampleBatch();
      batch.SetListEncoding(TListEncoding::leUtf16BE);
      const TBatchState before = StateOf(batch);
      {
        const TFaults faults({{point, error, 1}});
        EXPECT_EQ(ErrorOf([&] { LoadBatchList(batch, U16(path)); }), CannotOpen(path, error)) << name;
      }
      EXPECT_EQ(StateOf(batch), before) << name;
      EXPECT_EQ(ReadBytes(path), kPrevious) << name;
    }
  }
  // Disarmed, the same load goes through.
  TCodeBatch batch;
  LoadBatchList(batch, U16(path));
  EXPECT_EQ(test::Codes(batch), (std::vector<std::u16string>{u"PREVIOUS1", u"PREVIOUS2"}));
}

}  // namespace
}  // namespace quenlora
