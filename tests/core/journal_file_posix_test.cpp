// SPDX-FileCopyrightText: 2026 The Quenlora authors
// SPDX-License-Identifier: GPL-3.0-or-later
//
// Where the journal lives on POSIX, and how its files are held.
#include <gtest/gtest.h>

#include <csignal>
#include <cstdlib>
#include <fcntl.h>
#include <pwd.h>
#include <sys/resource.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <optional>
#include <string>

#include "batch_error.h"
#include "batch_journal.h"
#include "platform/journal_file.h"
#include "test_support.h"

namespace quenlora {
namespace {

namespace fs = std::filesystem;
using platform::TJournalFile;
using test::TScratchFolder;

// Sets an environment variable for the test's length.
class TEnvironment {
public:
  TEnvironment(const char* name, const std::optional<std::string>& value) : name_(name)
  {
    if (const char* old = std::getenv(name)) old_ = old;
    if (value)
      ::setenv(name, value->c_str(), 1);
    else
      ::unsetenv(name);
  }
  ~TEnvironment()
  {
    if (old_)
      ::setenv(name_, old_->c_str(), 1);
    else
      ::unsetenv(name_);
  }

private:
  const char* name_;
  std::optional<std::string> old_;
};

TEST(JournalFilePosix, StateFolderFromTheEnvironment)
{
  TScratchFolder folder;
  {
    TEnvironment state("XDG_STATE_HOME", test::Utf8Name(folder / "state") + "//");
    EXPECT_EQ(platform::StateFolder(), test::U16(folder / "state" / "quenlora") + u'/');
    struct stat info {};
    ASSERT_EQ(::stat((folder / "state" / "quenlora").c_str(), &info), 0);
    EXPECT_EQ(info.st_mode & 0777, 0700u);
  }
  {
    // A relative value is not a state folder; the home's default stands.
    TEnvironment state("XDG_STATE_HOME", "relative");
    TEnvironment home("HOME", test::Utf8Name(folder / "home"));
    EXPECT_EQ(platform::StateFolder(), test::U16(folder / "home" / ".local" / "state" / "quenlora") + u'/');
  }
}

TEST(JournalFilePosix, StateFolderByDefault)
{
  TScratchFolder folder;
  TEnvironment state("XDG_STATE_HOME", std::nullopt);
  {
    TEnvironment home("HOME", test::Utf8Name(folder / "home"));
    EXPECT_EQ(platform::StateFolder(), test::U16(folder / "home" / ".local" / "state" / "quenlora") + u'/');
    // A start without a folder of its own uses it.
    TCodeBatch batch;
    TJournalStart start = StartBatchJournal(batch);
    ASSERT_NE(start.Journal, nullptr);
    EXPECT_TRUE(start.Journal->Path().starts_with(test::U16(folder / "home" / ".local" / "state" / "quenlora")));
    start.Journal->Remove();
  }
}

TEST(JournalFilePosix, StateFolderThatCannotBeMade)
{
  TScratchFolder folder;
  test::WriteBytes(folder / "file", "x");
  fs::create_directories(folder / "dangling");
  fs::create_symlink(folder / "nowhere", folder / "dangling" / "quenlora");
  const std::vector<std::pair<std::string, int>> cases = {
      {test::Utf8Name(folder / "file"), ENOTDIR},            // a file where a folder should be
      {test::Utf8Name(folder / "file" / "below"), ENOTDIR},  // a file above it
      {test::Utf8Name(folder / "dangling"), ENOENT},         // quenlora a link to nothing
  };
  for (const auto& [path, error] : cases) {
    TEnvironment state("XDG_STATE_HOME", path);
    EXPECT_EQ(test::BatchErrorOf([] { platform::StateFolder(); }), test::U16(std::strerror(error))) << path;
  }
  // The folder quenlora itself a file.
  fs::create_directories(folder / "state");
  test::WriteBytes(folder / "state" / "quenlora", "x");
  TEnvironment state("XDG_STATE_HOME", test::Utf8Name(folder / "state"));
  EXPECT_EQ(test::BatchErrorOf([] { platform::StateFolder(); }), test::U16(std::strerror(ENOTDIR)));
  if (::geteuid() != 0) {
    fs::create_directories(folder / "locked");
    fs::permissions(folder / "locked", fs::perms::owner_read | fs::perms::owner_exec);
    TEnvironment locked("XDG_STATE_HOME", test::Utf8Name(folder / "locked"));
    EXPECT_EQ(test::BatchErrorOf([] { platform::StateFolder(); }), test::U16(std::strerror(EACCES)));
  }
}

std::u16string StateFolderOrError()
{
  try {
    return platform::StateFolder();
  } catch (const TBatchError& error) {
    return error.Message();
  }
}

// Without a usable HOME, the home is the one the system knows for the user;
// a user it does not know has none, and no state folder.
TEST(JournalFilePosix, StateFolderWithoutHome)
{
  if (!test::RunningAsRoot()) GTEST_SKIP() << "only root can run as a user the system does not know";
  constexpr uid_t kUnknownUser = 54321;
  if (::getpwuid(kUnknownUser) != nullptr) GTEST_SKIP() << "this system knows user " << kUnknownUser;
  // The user nobody's home is by custom a folder that does not exist and that nobody cannot make.
  const passwd* nobody = ::getpwuid(test::kUnprivilegedUser);
  const bool nobodysHomeMissing =
      nobody != nullptr && nobody->pw_dir == std::string("/nonexistent") && !fs::exists("/nonexistent");
  TEnvironment state("XDG_STATE_HOME", std::nullopt);
  const std::vector<std::optional<std::string>> homes = {std::nullopt, "relative"};
  for (const std::optional<std::string>& value : homes) {
    TEnvironment home("HOME", value);
    const std::string what = value.value_or("(unset)");
    EXPECT_EQ(test::AsUnprivilegedUser(StateFolderOrError, kUnknownUser), test::U16(std::strerror(ENOENT))) << what;
    if (nobodysHomeMissing)
      EXPECT_EQ(test::AsUnprivilegedUser(StateFolderOrError), test::U16(std::strerror(EACCES))) << what;
  }
}

// Calls on a file that is not open fail with the system's reason, never
// quietly: bytes that did not reach the file must be told.
TEST(JournalFilePosix, CallsOnAClosedFileFail)
{
  TScratchFolder folder;
  TJournalFile file = TJournalFile::CreateNew(test::U16(folder / "j"));
  file.Close();
  const std::u16string closed = test::U16(std::strerror(EBADF));
  EXPECT_EQ(test::BatchErrorOf([&] { file.Write("abc"); }), closed);
  EXPECT_EQ(test::BatchErrorOf([&] { file.Flush(); }), closed);
  EXPECT_EQ(test::BatchErrorOf([&] { file.ReadAll(); }), closed);
  EXPECT_EQ(test::ReadBytes(folder / "j"), "");
}

// A write that the file's size limit cuts short: what fitted is in the file,
// and the rest fails with the system's reason.
TEST(JournalFilePosix, WriteCutShortFails)
{
  TScratchFolder folder;
  TJournalFile file = TJournalFile::CreateNew(test::U16(folder / "j"));
  rlimit old{};
  ASSERT_EQ(::getrlimit(RLIMIT_FSIZE, &old), 0);
  ASSERT_TRUE(old.rlim_max == RLIM_INFINITY || old.rlim_max >= 10);
  rlimit limited = old;
  limited.rlim_cur = 10;
  ASSERT_EQ(::setrlimit(RLIMIT_FSIZE, &limited), 0);
  // The signal would end the process; the write fails instead.
  const auto oldHandler = std::signal(SIGXFSZ, SIG_IGN);
  const std::u16string error = test::BatchErrorOf([&] { file.Write("0123456789abcdef"); });
  std::signal(SIGXFSZ, oldHandler);
  ::setrlimit(RLIMIT_FSIZE, &old);
  EXPECT_EQ(error, test::U16(std::strerror(EFBIG)));
  EXPECT_EQ(test::ReadBytes(folder / "j"), "0123456789");
}

TEST(JournalFilePosix, HeldFileIsNotOpenedTwice)
{
  TScratchFolder folder;
  const std::u16string path = test::U16(folder / "j");
  TJournalFile held = TJournalFile::CreateNew(path);
  held.Write("abc");
  EXPECT_FALSE(TJournalFile::OpenUnheld(path).has_value());
  EXPECT_EQ(test::BatchErrorOf([&] { TJournalFile::CreateNew(path); }), test::U16(std::strerror(EEXIST)));
  EXPECT_FALSE(TJournalFile::OpenUnheld(test::U16(folder / "missing")).has_value());
  EXPECT_EQ(test::BatchErrorOf([&] { TJournalFile::OpenUnheld(test::U16(folder.Path())); }),
            test::U16(std::strerror(EISDIR)));
  ::mkfifo((folder / "fifo").c_str(), 0600);
  EXPECT_EQ(test::BatchErrorOf([&] { TJournalFile::OpenUnheld(test::U16(folder / "fifo")); }),
            test::U16(std::strerror(EINVAL)));
  held.Close();
  std::optional<TJournalFile> taken = TJournalFile::OpenUnheld(path);
  ASSERT_TRUE(taken.has_value());
  EXPECT_EQ(taken->ReadAll(), "abc");
  // Moved, the hold goes with it.
  TJournalFile moved = std::move(*taken);
  EXPECT_FALSE(taken->IsOpen());
  // Handed to itself, it stays held.
  TJournalFile& same = moved;
  moved = std::move(same);
  EXPECT_TRUE(moved.IsOpen());
  EXPECT_FALSE(TJournalFile::OpenUnheld(path).has_value());
  moved = TJournalFile();
  EXPECT_TRUE(TJournalFile::OpenUnheld(path).has_value());
}

TEST(JournalFilePosix, RenameNeverReplaces)
{
  TScratchFolder folder;
  test::WriteBytes(folder / "a", "A");
  test::WriteBytes(folder / "b", "B");
  EXPECT_FALSE(platform::RenameFile(test::U16(folder / "a"), test::U16(folder / "b")));
  EXPECT_EQ(test::ReadBytes(folder / "b"), "B");
  EXPECT_TRUE(platform::RenameFile(test::U16(folder / "a"), test::U16(folder / "c")));
  EXPECT_FALSE(fs::exists(folder / "a"));
  EXPECT_TRUE(platform::ListFiles(test::U16(folder / "missing")).empty());
}

// Only regular files can be journals: a folder or a link named like one is
// never listed, so a start never takes it up or sets it aside.
TEST(JournalFilePosix, ListsOnlyRegularFiles)
{
  TScratchFolder folder;
  test::WriteBytes(folder / "a.journal", "A");
  fs::create_directories(folder / "b.journal");
  fs::create_symlink(folder / "a.journal", folder / "c.journal");
  const auto entries = platform::ListFiles(test::U16(folder.Path()) + u'/');
  ASSERT_EQ(entries.size(), 1u);
  EXPECT_EQ(entries[0].Name, u"a.journal");
  EXPECT_GT(entries[0].Modified, 0);
}

// A rewrite whose new file cannot take the journal's name leaves the journal
// as it was, still held by this run.
TEST(JournalFilePosix, ReplaceThatFailsKeepsTheHeldJournal)
{
  TScratchFolder folder;
  const std::u16string path = test::U16(folder / "j");
  TJournalFile held = TJournalFile::CreateNew(path);
  held.Write("old");
  TJournalFile fresh = TJournalFile::CreateNew(test::U16(folder / "new"));
  fresh.Write("new");
  fs::remove(folder / "new");
  EXPECT_EQ(test::BatchErrorOf([&] { TJournalFile::Replace(held, fresh, test::U16(folder / "new"), path); }),
            test::U16(std::strerror(ENOENT)));
  EXPECT_TRUE(held.IsOpen());
  EXPECT_EQ(test::ReadBytes(folder / "j"), "old");
  EXPECT_FALSE(TJournalFile::OpenUnheld(path).has_value());
}

}  // namespace
}  // namespace quenlora
