#include <gtest/gtest.h>

#include <sys/stat.h>

#include <cerrno>
#include <functional>
#include <string>
#include <vector>

#include "batch_list_file.h"
#include "return_document.h"
#include "test_support.h"

namespace quenlora {
namespace {

namespace fs = std::filesystem;
using test::BatchErrorOf;
using test::CannotCreate;
using test::CannotOpen;
using test::Codes;
using test::Fill;
using test::ListTree;
using test::ReadBytes;
using test::TScratchFolder;
using test::U16;
using test::Utf8;
using test::WriteBytes;

// A batch big enough that its files outgrow a small file-size limit.
TCodeBatch SampleBatch()
{
  TCodeBatch batch;
  for (int i = 0; i < 200; ++i) {
    const std::string code = "KP-" + std::to_string(1000 + i);
    batch.AddScanned(std::u16string(code.begin(), code.end()));
  }
  return batch;
}

// Both ways the program writes a file.
struct TSaver {
  const char* Name;
  std::function<void(const TCodeBatch&, const std::u16string&)> Save;
};

const std::vector<TSaver>& Savers()
{
  static const std::vector<TSaver> savers = {
      {"list", [](const TCodeBatch& batch, const std::u16string& path) { SaveBatchList(batch, path); }},
      {"xml",
       [](const TCodeBatch& batch, const std::u16string& path) {
         WriteReturnDocument(BuildReturnDocument(batch, xkSingle), path);
       }},
  };
  return savers;
}

// Loading fails without touching the batch or its encoding.
void ExpectLoadFails(const fs::path& path, const std::u16string& expectedMessage)
{
  TCodeBatch batch;
  Fill(batch, {u"KEEP"});
  batch.SetWholePackage(0, true);
  batch.SetListEncoding(TListEncoding::leUtf16LE);
  EXPECT_EQ(BatchErrorOf([&] { LoadBatchList(batch, U16(path)); }), expectedMessage);
  EXPECT_EQ(Codes(batch), std::vector<std::u16string>{u"KEEP"});
  EXPECT_TRUE(batch.WholePackage(0));
  EXPECT_EQ(batch.ListEncoding(), TListEncoding::leUtf16LE);
}

TEST(LoadErrors, MissingFile)
{
  TScratchFolder folder;
  const auto path = folder / "chybí.txt";
  ExpectLoadFails(path, u"Cannot open file \"" + U16(path) + u"\". No such file or directory");
  ExpectLoadFails(path, CannotOpen(path, ENOENT));
}

TEST(LoadErrors, FolderInsteadOfFile)
{
  TScratchFolder folder;
  ExpectLoadFails(folder.Path(), CannotOpen(folder.Path(), EISDIR));
}

TEST(LoadErrors, UnreadableFile)
{
  if (test::RunningAsRoot()) GTEST_SKIP() << "root reads every file";
  TScratchFolder folder;
  const auto path = folder / "locked.txt";
  WriteBytes(path, "A1\r\n");
  fs::permissions(path, fs::perms::owner_write);
  ExpectLoadFails(path, CannotOpen(path, EACCES));
}

// A file that cannot be created leaves the folders exactly as they were.
TEST(SaveErrors, CannotCreate)
{
  struct TCase {
    const char* Name;
    std::string Target;  // relative to the scratch folder
    int Error;
  };
  const std::vector<TCase> cases = {
      {"folder does not exist", "missing/list.txt", ENOENT},
      {"target is a folder", "folder", EISDIR},
      {"parent is a file", "file.txt/list.txt", ENOTDIR},
  };
  const TCodeBatch batch = SampleBatch();
  for (const auto& saver : Savers()) {
    for (const auto& c : cases) {
      TScratchFolder folder;
      fs::create_directory(folder / "folder");
      WriteBytes(folder / "file.txt", "old");
      const auto before = ListTree(folder.Path());
      const auto path = folder / c.Target;
      EXPECT_EQ(BatchErrorOf([&] { saver.Save(batch, U16(path)); }), CannotCreate(path, c.Error))
          << saver.Name << ": " << c.Name;
      EXPECT_EQ(ListTree(folder.Path()), before) << saver.Name << ": " << c.Name;
      EXPECT_EQ(ReadBytes(folder / "file.txt"), "old");
    }
  }
}

// A write that breaks off part-way leaves the previous file and nothing else.
TEST(SaveErrors, WriteFailureKeepsPreviousFile)
{
  const TCodeBatch batch = SampleBatch();
  for (const auto& saver : Savers()) {
    TScratchFolder folder;
    const auto path = folder / "target.txt";
    const std::string previous = "previous content\r\n";
    WriteBytes(path, previous);
    std::u16string message;
    {
      const test::TFileSizeLimit limit(64);
      message = BatchErrorOf([&] { saver.Save(batch, U16(path)); });
    }
    EXPECT_EQ(message, u"Stream write error") << saver.Name;
    EXPECT_EQ(ReadBytes(path), previous) << saver.Name;
    EXPECT_EQ(ListTree(folder.Path()), std::set<std::string>{"target.txt"}) << saver.Name;
  }
}

TEST(SaveErrors, WriteFailureCreatesNothing)
{
  const TCodeBatch batch = SampleBatch();
  for (const auto& saver : Savers()) {
    TScratchFolder folder;
    std::u16string message;
    {
      const test::TFileSizeLimit limit(64);
      message = BatchErrorOf([&] { saver.Save(batch, U16(folder / "new.txt")); });
    }
    EXPECT_EQ(message, u"Stream write error") << saver.Name;
    EXPECT_TRUE(ListTree(folder.Path()).empty()) << saver.Name;
  }
}

TEST(SaveErrors, ReadOnlyFileIsKept)
{
  if (test::RunningAsRoot()) GTEST_SKIP() << "root may write every file";
  const TCodeBatch batch = SampleBatch();
  for (const auto& saver : Savers()) {
    TScratchFolder folder;
    const auto path = folder / "read-only.txt";
    WriteBytes(path, "old");
    fs::permissions(path, fs::perms::owner_read);
    EXPECT_EQ(BatchErrorOf([&] { saver.Save(batch, U16(path)); }), CannotCreate(path, EACCES)) << saver.Name;
    EXPECT_EQ(ReadBytes(path), "old") << saver.Name;
    EXPECT_EQ(ListTree(folder.Path()), std::set<std::string>{"read-only.txt"}) << saver.Name;
  }
}

TEST(SaveErrors, ReadOnlyFolderIsKept)
{
  if (test::RunningAsRoot()) GTEST_SKIP() << "root may write every folder";
  const TCodeBatch batch = SampleBatch();
  for (const auto& saver : Savers()) {
    TScratchFolder folder;
    const auto inner = folder / "inner";
    fs::create_directory(inner);
    WriteBytes(inner / "old.txt", "old");
    fs::permissions(inner, fs::perms::owner_read | fs::perms::owner_exec);
    for (const char* name : {"old.txt", "new.txt"}) {
      const auto path = inner / name;
      EXPECT_EQ(BatchErrorOf([&] { saver.Save(batch, U16(path)); }), CannotCreate(path, EACCES))
          << saver.Name << " " << name;
    }
    fs::permissions(inner, fs::perms::owner_all);
    EXPECT_EQ(ReadBytes(inner / "old.txt"), "old") << saver.Name;
    EXPECT_EQ(ListTree(inner), std::set<std::string>{"old.txt"}) << saver.Name;
  }
}

TEST(SaveReplacement, KeepsPermissionsOfReplacedFile)
{
  TScratchFolder folder;
  const auto path = folder / "list.txt";
  WriteBytes(path, "old");
  fs::permissions(path, fs::perms::owner_read | fs::perms::owner_write | fs::perms::group_read);
  SaveBatchList(SampleBatch(), U16(path));
  EXPECT_EQ(fs::status(path).permissions(), fs::perms::owner_read | fs::perms::owner_write | fs::perms::group_read);
}

// Saving through a symbolic link replaces the file it points to.
TEST(SaveReplacement, FollowsSymbolicLink)
{
  TScratchFolder folder;
  fs::create_directory(folder / "real");
  WriteBytes(folder / "real/list.txt", "old");
  fs::create_symlink(folder / "real/list.txt", folder / "link.txt");
  TCodeBatch batch;
  Fill(batch, {u"A1"});
  SaveBatchList(batch, U16(folder / "link.txt"));
  EXPECT_TRUE(fs::is_symlink(folder / "link.txt"));
  EXPECT_EQ(ReadBytes(folder / "real/list.txt"), "A1\r\n");
  EXPECT_EQ(ListTree(folder.Path()), (std::set<std::string>{"link.txt", "real", "real/list.txt"}));
}

// The longest name the file system allows must still be usable.
TEST(SaveReplacement, LongestFileName)
{
  TScratchFolder folder;
  const auto path = folder / (std::string(251, 'k') + ".txt");
  TCodeBatch batch;
  Fill(batch, {u"A1"});
  for (const auto& saver : Savers()) {
    try {
      saver.Save(batch, U16(path));
    } catch (const TBatchError& error) {
      ADD_FAILURE() << saver.Name << ": " << Utf8(error.Message());
    }
    EXPECT_EQ(ListTree(folder.Path()), std::set<std::string>{path.filename().string()}) << saver.Name;
  }
}

}  // namespace
}  // namespace quenlora
