// SPDX-FileCopyrightText: 2026 The Quenlora authors
// SPDX-License-Identifier: GPL-3.0-or-later

// How a save replaces its file on POSIX: through a file that has no name until
// it is complete, or a named temporary where the file system has no such
// files; what a failure at each system call leaves; pipes and devices as
// targets; the temporaries of killed saves; and saves killed at random moments.
#include <gtest/gtest.h>

#include <fcntl.h>
#include <signal.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <random>
#include <string>
#include <thread>
#include <vector>

#include "batch_list_file.h"
#include "platform/file_faults.h"
#include "platform/platform.h"
#include "test_support.h"

namespace quenlora {
namespace {

namespace fs = std::filesystem;
using platform::TFilePoint;
using test::CannotCreate;
using test::CannotOpen;
using test::ErrorOf;
using test::Fill;
using test::ListTree;
using test::ReadBytes;
using test::Snapshot;
using test::StateOf;
using test::TScratchFolder;
using test::U16;
using test::WriteBytes;

const std::string kOld = "OLD-1\r\nOLD-2\r\n";

TCodeBatch NewBatch()
{
  TCodeBatch batch;
  Fill(batch, {u"NEW-1", u"NEW-2", u"NEW-3"});
  return batch;
}
const std::string kNew = "NEW-1\r\nNEW-2\r\nNEW-3\r\n";

// Disarms every failure point when the test ends, also when it fails.
struct TFaultsCleared {
  TFaultsCleared() { platform::ClearFileFaults(); }
  ~TFaultsCleared() { platform::ClearFileFaults(); }
};

struct TArmed {
  TFilePoint Point;
  int Error;
  int Times;
};

// A system call that fails, with each way of replacing: the file without a
// name (where the system has it) and the named temporary. Whatever fails, the
// message is exact, the folder holds the old file or the new one and nothing
// else, and a failure leaves the old file.
TEST(SaveFaults, EveryCallFailing)
{
  constexpr int kAlways = 1000;
  const TArmed noUnnamedFiles{TFilePoint::fpUnnamedCreate, EOPNOTSUPP, kAlways};
  struct TCase {
    const char* Name;
    std::vector<TArmed> Faults;
    bool Existing;   // the target holds the old file
    int Error;       // for "Cannot create file": the reason; -1 "Stream write error"; 0 success
  };
  const std::vector<TCase> cases = {
      {"write fails, unnamed file", {{TFilePoint::fpWrite, EIO, 1}}, true, -1},
      {"write fails, named temporary", {noUnnamedFiles, {TFilePoint::fpWrite, EIO, 1}}, true, -1},
      {"flush fails, unnamed file", {{TFilePoint::fpFlush, EIO, 1}}, true, -1},
      {"flush fails, named temporary", {noUnnamedFiles, {TFilePoint::fpFlush, EIO, 1}}, false, -1},
      {"close fails, unnamed file", {{TFilePoint::fpClose, EIO, 1}}, false, -1},
      {"close fails, named temporary", {noUnnamedFiles, {TFilePoint::fpClose, EIO, 1}}, true, -1},
      {"rename fails, unnamed file", {{TFilePoint::fpRename, EXDEV, 1}}, true, EXDEV},
      {"rename fails, named temporary", {noUnnamedFiles, {TFilePoint::fpRename, EXDEV, 1}}, false, EXDEV},
      {"unnamed file cannot be created", {{TFilePoint::fpUnnamedCreate, ENOSPC, 1}}, true, ENOSPC},
      {"every temporary name taken", {noUnnamedFiles, {TFilePoint::fpNamedCreate, EEXIST, kAlways}}, true, EEXIST},
      {"named temporary cannot be created", {noUnnamedFiles, {TFilePoint::fpNamedCreate, EROFS, 1}}, false, EROFS},
      // No data is at risk once the file has its name.
      {"folder flush fails", {{TFilePoint::fpFolderFlush, EIO, 1}}, true, 0},
      {"folder flush fails, new file", {{TFilePoint::fpFolderFlush, EIO, 1}}, false, 0},
      // The unnamed file cannot be given a name: written again as a named temporary.
      {"unnamed file cannot be linked, new file", {{TFilePoint::fpLink, EPERM, kAlways}}, false, 0},
      {"unnamed file cannot be linked", {{TFilePoint::fpLink, EPERM, kAlways}}, true, 0},
      {"the target appears before the link", {{TFilePoint::fpLink, EEXIST, 1}}, false, 0},
      {"some temporary names taken", {{TFilePoint::fpLink, EEXIST, 2}}, true, 0},
      {"some temporary names taken, named", {noUnnamedFiles, {TFilePoint::fpNamedCreate, EEXIST, 3}}, true, 0},
      // Renaming over the file is refused, writing it is not: written in place.
      {"rename refused, unnamed file", {{TFilePoint::fpRename, EPERM, 1}}, true, 0},
      {"rename refused, named temporary", {noUnnamedFiles, {TFilePoint::fpRename, EACCES, 1}}, true, 0},
      {"no new file allowed", {{TFilePoint::fpUnnamedCreate, EACCES, 1}}, true, 0},
      {"no new file allowed, named", {noUnnamedFiles, {TFilePoint::fpNamedCreate, EACCES, 1}}, true, 0},
      {"no new file allowed, new file", {{TFilePoint::fpUnnamedCreate, EACCES, 1}}, false, EACCES},
      // Each way a system says it has no files without a name.
      {"unnamed files unsupported: EISDIR", {{TFilePoint::fpUnnamedCreate, EISDIR, 1}}, true, 0},
      {"unnamed files unsupported: EINVAL", {{TFilePoint::fpUnnamedCreate, EINVAL, 1}}, false, 0},
      {"unnamed files unsupported: ENOSYS", {{TFilePoint::fpUnnamedCreate, ENOSYS, 1}}, true, 0},
      {"every name for the unnamed file taken", {{TFilePoint::fpLink, EEXIST, 100}}, true, 0},
      // Linking by the descriptor alone needs a privilege on older kernels;
      // the link goes through /proc then. Any other failure: a named temporary.
      {"no privilege to link by descriptor: ENOENT", {{TFilePoint::fpLinkByDescriptor, ENOENT, kAlways}}, false, 0},
      {"no privilege to link by descriptor: EPERM", {{TFilePoint::fpLinkByDescriptor, EPERM, kAlways}}, true, 0},
      {"no privilege to link by descriptor: EACCES", {{TFilePoint::fpLinkByDescriptor, EACCES, kAlways}}, false, 0},
      {"link by descriptor fails", {{TFilePoint::fpLinkByDescriptor, EIO, kAlways}}, false, 0},
      {"link by descriptor fails, existing file", {{TFilePoint::fpLinkByDescriptor, EIO, kAlways}}, true, 0},
      {"in-place write fails",
       {{TFilePoint::fpUnnamedCreate, EACCES, 1}, {TFilePoint::fpWrite, ENOSPC, 1}}, true, -1},
      {"in-place flush fails",
       {{TFilePoint::fpUnnamedCreate, EACCES, 1}, {TFilePoint::fpFlush, EIO, 1}}, true, -1},
      {"in-place close fails",
       {{TFilePoint::fpUnnamedCreate, EACCES, 1}, {TFilePoint::fpClose, EIO, 1}}, true, -1},
  };
  const TCodeBatch batch = NewBatch();
  for (const auto& c : cases) {
    TFaultsCleared cleared;
    TScratchFolder folder;
    const fs::path path = folder / "list.txt";
    if (c.Existing) WriteBytes(path, kOld);
    for (const TArmed& fault : c.Faults) platform::FailFileCalls(fault.Point, fault.Error, fault.Times);
    const std::u16string message = ErrorOf([&] { SaveBatchList(batch, U16(path)); });
    platform::ClearFileFaults();

    std::map<std::string, std::string> expected;
    if (c.Error == 0) {
      EXPECT_EQ(message, u"") << c.Name;
      expected["list.txt"] = kNew;
    } else {
      EXPECT_EQ(message, c.Error < 0 ? u"Stream write error" : CannotCreate(path, c.Error)) << c.Name;
      // A failed in-place write cannot keep the old file; only these cases write in place.
      if (c.Existing && !std::string_view(c.Name).starts_with("in-place")) expected["list.txt"] = kOld;
    }
    if (std::string_view(c.Name).starts_with("in-place")) {
      EXPECT_EQ(ListTree(folder.Path()), std::set<std::string>{"list.txt"}) << c.Name;
      continue;
    }
    EXPECT_EQ(Snapshot(folder.Path()), expected) << c.Name;
  }
}

// Pipes and devices cannot be swapped for a file; they are written as they are.
TEST(SaveFaults, PipesAndDevices)
{
  const TCodeBatch batch = NewBatch();
  EXPECT_EQ(ErrorOf([&] { SaveBatchList(batch, u"/dev/null"); }), u"");
  EXPECT_EQ(ErrorOf([&] { SaveBatchList(batch, u"/dev/full"); }), u"Stream write error");

  TScratchFolder folder;
  const fs::path pipe = folder / "pipe";
  ASSERT_EQ(::mkfifo(pipe.c_str(), 0600), 0);
  std::string received;
  std::thread reader([&] {
    const int fd = ::open(pipe.c_str(), O_RDONLY);
    char chunk[256];
    for (ssize_t got; fd >= 0 && (got = ::read(fd, chunk, sizeof chunk)) > 0;)
      received.append(chunk, static_cast<std::size_t>(got));
    if (fd >= 0) ::close(fd);
  });
  const std::u16string message = ErrorOf([&] { SaveBatchList(batch, U16(pipe)); });
  reader.join();
  EXPECT_EQ(message, u"");
  EXPECT_EQ(received, kNew);
  EXPECT_TRUE(fs::is_fifo(pipe));
  EXPECT_EQ(ListTree(folder.Path()), std::set<std::string>{"pipe"});
}

// A pipe the user may not write to is refused like a read-only file.
TEST(SaveFaults, PipeWithoutWritePermission)
{
  TScratchFolder folder;
  const fs::path pipe = folder / "pipe";
  ASSERT_EQ(::mkfifo(pipe.c_str(), 0444), 0);
  test::GiveToUnprivilegedUser(folder.Path());
  const std::u16string message = test::AsUnprivilegedUser([&] {
    return ErrorOf([&] { SaveBatchList(NewBatch(), U16(pipe)); });
  });
  EXPECT_EQ(message, CannotCreate(pipe, EACCES));
}

// A list read from a pipe, whose size nobody knows beforehand.
TEST(LoadFaults, ListFromAPipe)
{
  TScratchFolder folder;
  const fs::path pipe = folder / "pipe";
  ASSERT_EQ(::mkfifo(pipe.c_str(), 0600), 0);
  std::string content;
  for (int i = 0; i < 20000; ++i) content += "KP-" + std::to_string(i) + "\r\n";
  std::thread writer([&] {
    const int fd = ::open(pipe.c_str(), O_WRONLY);
    for (std::string_view rest = content; fd >= 0 && !rest.empty();) {
      const ssize_t written = ::write(fd, rest.data(), rest.size());
      if (written <= 0) break;
      rest.remove_prefix(static_cast<std::size_t>(written));
    }
    if (fd >= 0) ::close(fd);
  });
  TCodeBatch batch;
  const std::u16string message = ErrorOf([&] { LoadBatchList(batch, U16(pipe)); });
  writer.join();
  EXPECT_EQ(message, u"");
  ASSERT_EQ(batch.Count(), 20000);
  EXPECT_EQ(batch.Code(19999), u"KP-19999");
}

// Calls interrupted by a signal are simply repeated.
TEST(SaveFaults, InterruptedCallsAreRepeated)
{
  TFaultsCleared cleared;
  TScratchFolder folder;
  const fs::path path = folder / "list.txt";
  WriteBytes(path, kOld);
  platform::FailFileCalls(TFilePoint::fpWrite, EINTR, 2);
  SaveBatchList(NewBatch(), U16(path));
  EXPECT_EQ(Snapshot(folder.Path()), (std::map<std::string, std::string>{{"list.txt", kNew}}));
  platform::FailFileCalls(TFilePoint::fpRead, EINTR, 2);
  TCodeBatch loaded;
  LoadBatchList(loaded, U16(path));
  EXPECT_EQ(test::Codes(loaded), test::Codes(NewBatch()));
}

// A path without a folder names a file in the current folder, new or not,
// through the file without a name and through the named temporary.
TEST(SaveReplacement, FileInTheCurrentFolder)
{
  for (const bool named : {false, true}) {
    TScratchFolder folder;
    WriteBytes(folder / "list.txt", kOld);
    TFaultsCleared cleared;
    if (named) platform::FailFileCalls(TFilePoint::fpUnnamedCreate, EOPNOTSUPP, 1000);
    const fs::path previous = fs::current_path();
    fs::current_path(folder.Path());
    const std::u16string replaced = ErrorOf([] { SaveBatchList(NewBatch(), u"list.txt"); });
    const std::u16string created = ErrorOf([] { SaveBatchList(NewBatch(), u"new.txt"); });
    fs::current_path(previous);
    EXPECT_EQ(replaced, u"") << "named: " << named;
    EXPECT_EQ(created, u"") << "named: " << named;
    EXPECT_EQ(Snapshot(folder.Path()), (std::map<std::string, std::string>{{"list.txt", kNew}, {"new.txt", kNew}}))
        << "named: " << named;
  }
}

// A name as long as the file system allows, in a script of two-byte
// characters: the temporary's name is shortened between characters.
TEST(SaveReplacement, LongestNameOfTwoByteCharacters)
{
  TScratchFolder folder;
  std::string name = "x";
  while (name.size() + 2 <= 255) name += "\xC4\x8D";  // "č"
  const fs::path path = folder / name;
  WriteBytes(path, kOld);
  TFaultsCleared cleared;
  platform::FailFileCalls(TFilePoint::fpUnnamedCreate, EOPNOTSUPP, 1);
  platform::FailFileCalls(TFilePoint::fpRename, EIO, 1);
  // The temporary existed under a valid name, or the message would name ENAMETOOLONG.
  EXPECT_EQ(ErrorOf([&] { SaveBatchList(NewBatch(), U16(path)); }), CannotCreate(path, EIO));
  platform::ClearFileFaults();
  SaveBatchList(NewBatch(), U16(path));
  EXPECT_EQ(Snapshot(folder.Path()), (std::map<std::string, std::string>{{name, kNew}}));
}

// A read that fails after the file opened: the batch stays as it was.
TEST(LoadFaults, ReadFails)
{
  TFaultsCleared cleared;
  TScratchFolder folder;
  WriteBytes(folder / "list.txt", kOld);
  struct TCase {
    const char* Name;
    fs::path Path;
    bool Armed;
  };
  // Reading a process's own memory at address 0 fails with a real I/O error.
  const std::vector<TCase> cases = {
      {"memory file", "/proc/self/mem", false},
      {"failing disk", folder / "list.txt", true},
  };
  for (const auto& c : cases) {
    TCodeBatch batch = NewBatch();
    batch.SetListEncoding(TListEncoding::leUtf16BE);
    const auto before = StateOf(batch);
    if (c.Armed) platform::FailFileCalls(TFilePoint::fpRead, EIO);
    EXPECT_EQ(ErrorOf([&] { LoadBatchList(batch, U16(c.Path)); }), CannotOpen(c.Path, EIO)) << c.Name;
    EXPECT_TRUE(StateOf(batch) == before) << c.Name;
    platform::ClearFileFaults();
  }
  EXPECT_EQ(ReadBytes(folder / "list.txt"), kOld);
}

// Holds a file open and locked, as a save that is still running does.
class THeldTemporary {
public:
  explicit THeldTemporary(const fs::path& path)
      : fd_(::open(path.c_str(), O_WRONLY | O_CREAT | O_CLOEXEC, 0644))
  {
    EXPECT_GE(fd_, 0);
    EXPECT_EQ(::flock(fd_, LOCK_EX), 0);
  }
  THeldTemporary(const THeldTemporary&) = delete;
  THeldTemporary& operator=(const THeldTemporary&) = delete;
  ~THeldTemporary() { ::close(fd_); }

private:
  int fd_;
};

// A save removes the temporaries that killed saves left in its folder, and
// nothing else: only names with the program's mark, not one of a save still
// running, not another user's. Other programs' temporaries that look alike
// (editors, office programs, an older naming of this program's own) survive
// byte for byte.
TEST(StaleTemporaries, OnlyTheProgramsOwnLeftoversAreRemoved)
{
  TScratchFolder folder;
  WriteBytes(folder / "list.txt", kOld);
  const std::string own = ".list.txt.vortanek-0123456789abcdef.tmp";
  const std::vector<std::string> stale = {own, ".other export.xml.vortanek-fedcba9876543210.tmp",
                                          ".a.vortanek-0000000000000000.tmp"};
  const std::vector<std::string> kept = {
      ".notes.2024.tmp", ".name.1.tmp", "name.tmp", ".name.123456789.tmp", ".report.docx.1.tmp",
      // Near misses of the mark: no name before it, too few or too many digits,
      // capital digits, another ending, no leading dot, the mark alone.
      "..vortanek-0123456789abcdef.tmp", ".list.txt.vortanek-0123456789abcde.tmp",
      ".list.txt.vortanek-0123456789abcdef0.tmp", ".list.txt.vortanek-0123456789ABCDEF.tmp",
      ".list.txt.vortanek-0123456789abcdef.TMP", "list.txt.vortanek-0123456789abcdef.tmp",
      ".list.txt.vortanek-0123456789abcdef.tmp.bak", ".vortanek-0123456789abcdef.tmp"};
  for (const auto& name : stale) WriteBytes(folder / name, "left by a killed save");
  for (const auto& name : kept) WriteBytes(folder / name, "not a temporary of this program: " + name);
  fs::create_directory(folder / ".folder.vortanek-1111111111111111.tmp");
  fs::create_symlink("list.txt", folder / ".link.vortanek-2222222222222222.tmp");
  if (test::RunningAsRoot()) {
    const fs::path others = folder / ".someone else's.vortanek-3333333333333333.tmp";
    WriteBytes(others, "another user's");
    ASSERT_EQ(::chown(others.c_str(), test::kUnprivilegedUser, test::kUnprivilegedGroup), 0);
  }
  const THeldTemporary running(folder / ".list.txt.vortanek-7777777777777777.tmp");
  auto expected = Snapshot(folder.Path());
  for (const auto& name : stale) expected.erase(name);
  expected["list.txt"] = kNew;
  expected[".link.vortanek-2222222222222222.tmp"] = kNew;

  SaveBatchList(NewBatch(), U16(folder / "list.txt"));
  EXPECT_EQ(Snapshot(folder.Path()), expected);
}

// Saves and exports that are killed at random moments. Each time the target
// is the complete old or the complete new file, and the next save leaves no
// temporary behind, also where a save needs a named temporary.
TEST(KilledSave, TargetWholeAndNoTemporaryAfterTheNextSave)
{
  TScratchFolder folder;
  const fs::path path = folder / "batch.txt";
  std::vector<TCodeBatch> batches(2);
  std::vector<std::string> files(2);
  for (int version = 0; version < 2; ++version) {
    std::vector<std::u16string> codes;
    for (int i = 0; i < 100000; ++i) codes.push_back(u"KP-" + U16(std::to_string(version * 1000000 + i)));
    std::vector<std::u16string_view> lines(codes.begin(), codes.end());
    batches[version].ReplaceFromLines(lines);
    batches[version].SetListEncoding(TListEncoding::leUtf8);
    SaveBatchList(batches[version], U16(path));
    files[version] = ReadBytes(path);
  }
  // The batches are encoded before the children start, so that the kills fall
  // into the writing, where a file is replaced. How long that takes here:
  const auto start = std::chrono::steady_clock::now();
  platform::ReplaceFileContent(U16(path), files[0]);
  const auto saveTime = std::chrono::duration_cast<std::chrono::microseconds>(std::chrono::steady_clock::now() - start);

  const unsigned seed = std::random_device{}();
  std::mt19937 random(seed);
  std::uniform_int_distribution<long> moment(0, saveTime.count() * 5 / 4 + 1);
  int current = 0;  // the version the target holds
  int leftBehind = 0;
  for (int run = 0; run < 32; ++run) {
    const bool named = run % 2 == 1;
    const int saving = 1 - current;
    // The child says when its save starts, so that the moments count from there.
    int started[2];
    ASSERT_EQ(::pipe(started), 0);
    const pid_t child = ::fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
      if (named) platform::FailFileCalls(TFilePoint::fpUnnamedCreate, EOPNOTSUPP, 1000);
      if (::write(started[1], "s", 1) != 1) ::_exit(3);
      try {
        platform::ReplaceFileContent(U16(path), files[saving]);
      } catch (...) {
        ::_exit(2);
      }
      ::_exit(0);
    }
    ::close(started[1]);
    char signal = 0;
    ASSERT_EQ(::read(started[0], &signal, 1), 1);
    ::close(started[0]);
    if (named) {
      // Killed while its temporary exists: from when it appears, at a random moment.
      const auto running = [child] {
        siginfo_t info{};
        return ::waitid(P_PID, static_cast<id_t>(child), &info, WEXITED | WNOHANG | WNOWAIT) == 0 &&
               info.si_pid == 0;
      };
      const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(5);
      while (ListTree(folder.Path()).size() == 1 && running() && std::chrono::steady_clock::now() < deadline)
        std::this_thread::sleep_for(std::chrono::microseconds(20));
      std::this_thread::sleep_for(std::chrono::microseconds(moment(random) / 4));
    } else {
      std::this_thread::sleep_for(std::chrono::microseconds(moment(random)));
    }
    ::kill(child, SIGKILL);
    int status = 0;
    ASSERT_EQ(::waitpid(child, &status, 0), child);
    ASSERT_TRUE(WIFSIGNALED(status) || (WIFEXITED(status) && WEXITSTATUS(status) == 0)) << "seed " << seed;

    const std::string content = ReadBytes(path);
    ASSERT_TRUE(content == files[0] || content == files[1])
        << "run " << run << ", seed " << seed << ": the target holds " << content.size() << " bytes";
    current = content == files[0] ? 0 : 1;
    leftBehind += ListTree(folder.Path()).size() > 1 ? 1 : 0;

    // The next save, here in this process, completes and tidies up.
    current = 1 - current;
    SaveBatchList(batches[current], U16(path));
    ASSERT_EQ(ListTree(folder.Path()), std::set<std::string>{"batch.txt"}) << "run " << run << ", seed " << seed;
    ASSERT_EQ(ReadBytes(path), files[current]);
  }
  // Saves through a named temporary that are killed while writing leave it
  // until the next save; without such kills nothing here would show the
  // tidying up (StaleTemporaries.OnlyTheProgramsOwnLeftoversAreRemoved shows it every time).
  EXPECT_GT(leftBehind, 0) << "seed " << seed;
}

}  // namespace
}  // namespace quenlora
