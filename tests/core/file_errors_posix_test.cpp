// SPDX-FileCopyrightText: 2026 The Quenlora authors
// SPDX-License-Identifier: GPL-3.0-or-later

// Faults injected into every file the program reads or writes, through the
// same calls the front end makes. Whatever fails, the user gets the exact
// message, the files on the disk stay byte for byte as they were, no
// temporary file is left behind and the batch is untouched.
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
using test::AsUnprivilegedUser;
using test::CannotCreate;
using test::CannotOpen;
using test::Codes;
using test::ErrorOf;
using test::Fill;
using test::GiveToUnprivilegedUser;
using test::ListTree;
using test::ReadBytes;
using test::Snapshot;
using test::StateOf;
using test::TBatchState;
using test::TScratchFolder;
using test::U16;
using test::Utf8;
using test::WriteBytes;
using test::Writers;
using test::TWriter;

using Strings = std::vector<std::u16string>;

// A batch whose files outgrow a small file-size limit, with marked and
// unmarked entries so that every export kind has something in each section.
TCodeBatch SampleBatch()
{
  TCodeBatch batch;
  for (int i = 0; i < 200; ++i) {
    const std::string code = "KP-" + std::to_string(1000 + i);
    batch.AddScanned(std::u16string(code.begin(), code.end()));
    if (i % 3 == 0) batch.SetWholePackage(i, true);
  }
  batch.SetListEncoding(TListEncoding::leUtf8);
  return batch;
}

// The file the writer gives for the batch when nothing goes wrong.
std::string CompleteFile(const TWriter& writer, const TCodeBatch& batch)
{
  TScratchFolder folder;
  writer.Write(batch, U16(folder / "complete"));
  return ReadBytes(folder / "complete");
}

const std::string kPrevious = "previous content, \xC4\x8D\r\n";

TEST(WriteFaults, DiskFillingUpPartWay)
{
  const TCodeBatch batch = SampleBatch();
  const TBatchState before = StateOf(batch);
  for (const auto& writer : Writers()) {
    const std::string complete = CompleteFile(writer, batch);
    ASSERT_GT(complete.size(), 1000u) << writer.Name;
    struct TCase {
      const char* Name;
      rlim_t Limit;
      bool Existing;  // whether the target holds a previous file
    };
    const std::vector<TCase> cases = {
        {"no room at all, new file", 0, false},
        {"no room at all, existing file", 0, true},
        {"one byte, new file", 1, false},
        {"one byte, existing file", 1, true},
        {"half the file, new file", complete.size() / 2, false},
        {"half the file, existing file", complete.size() / 2, true},
        {"all but the last byte, new file", complete.size() - 1, false},
        {"all but the last byte, existing file", complete.size() - 1, true},
    };
    for (const auto& c : cases) {
      TScratchFolder folder;
      const auto path = folder / "target";
      if (c.Existing) WriteBytes(path, kPrevious);
      const auto files = Snapshot(folder.Path());
      std::u16string message;
      {
        const test::TFileSizeLimit limit(c.Limit);
        message = ErrorOf([&] { writer.Write(batch, U16(path)); });
      }
      EXPECT_EQ(message, u"Stream write error") << writer.Name << ": " << c.Name;
      EXPECT_EQ(Snapshot(folder.Path()), files) << writer.Name << ": " << c.Name;
      EXPECT_EQ(StateOf(batch), before) << writer.Name << ": " << c.Name;
    }
    // With room for the last byte the same write succeeds, so it was the
    // limit that broke the writes above.
    TScratchFolder folder;
    const auto path = folder / "target";
    WriteBytes(path, kPrevious);
    std::u16string message;
    {
      const test::TFileSizeLimit limit(complete.size());
      message = ErrorOf([&] { writer.Write(batch, U16(path)); });
    }
    EXPECT_EQ(message, u"") << writer.Name;
    EXPECT_EQ(ReadBytes(path), complete) << writer.Name;
    EXPECT_EQ(ListTree(folder.Path()), std::set<std::string>{"target"}) << writer.Name;
  }
}

// Places a file cannot be written to. Cases marked Unprivileged run as a
// user bound by permissions; the controls among them show that this user
// can write where the permissions allow it.
TEST(WriteFaults, UnwritablePlaces)
{
  struct TCase {
    const char* Name;
    std::string Target;  // relative to the scratch folder
    int Error;           // 0: the write succeeds
    bool Unprivileged;
  };
  const std::vector<TCase> cases = {
      {"folder does not exist", "missing/target.xml", ENOENT, false},
      {"target is a folder", "folder", EISDIR, false},
      {"parent is a file", "file.txt/target.xml", ENOTDIR, false},
      // The new file is complete before renaming it to this name fails.
      {"name longer than the file system allows", std::string(300, 'n'), ENAMETOOLONG, false},
      {"new file in a folder without write permission", "locked/new.txt", EACCES, true},
      // No new file can be made beside it, so the file itself is written.
      {"existing file in a folder without write permission", "locked/old.txt", 0, true},
      {"read-only existing file", "read-only.txt", EACCES, true},
      {"read-only existing file of a read-only folder", "locked/read-only.txt", EACCES, true},
      {"control: new file in a writable folder", "open/new.txt", 0, true},
      {"control: existing file in a writable folder", "open/old.txt", 0, true},
      // A folder the user may add to but not list or open (a drop box): the
      // new name is made durable as far as the system lets the user.
      {"new file in a folder that cannot be listed", "drop/new.txt", 0, true},
      {"existing file in a folder that cannot be listed", "drop/old.txt", 0, true},
  };
  const TCodeBatch batch = SampleBatch();
  const TBatchState before = StateOf(batch);
  for (const auto& writer : Writers()) {
    const std::string complete = CompleteFile(writer, batch);
    for (const auto& c : cases) {
      TScratchFolder folder;
      fs::create_directory(folder / "folder");
      fs::create_directory(folder / "locked");
      fs::create_directory(folder / "open");
      fs::create_directory(folder / "drop");
      WriteBytes(folder / "file.txt", kPrevious);
      WriteBytes(folder / "locked/old.txt", kPrevious);
      WriteBytes(folder / "locked/read-only.txt", kPrevious);
      WriteBytes(folder / "read-only.txt", kPrevious);
      WriteBytes(folder / "open/old.txt", kPrevious);
      WriteBytes(folder / "drop/old.txt", kPrevious);
      GiveToUnprivilegedUser(folder.Path());
      fs::permissions(folder / "read-only.txt", fs::perms::owner_read | fs::perms::group_read | fs::perms::others_read);
      fs::permissions(folder / "locked/read-only.txt", fs::perms::owner_read);
      fs::permissions(folder / "locked", fs::perms::owner_read | fs::perms::owner_exec);
      fs::permissions(folder / "drop", fs::perms::owner_write | fs::perms::owner_exec);
      const auto files = Snapshot(folder.Path());

      const auto path = folder / c.Target;
      const auto attempt = [&] {
        std::u16string message = ErrorOf([&] { writer.Write(batch, U16(path)); });
        if (StateOf(batch) != before) message += u" <the batch changed>";
        return message;
      };
      const std::u16string message = c.Unprivileged ? AsUnprivilegedUser(attempt) : attempt();
      const std::string label = std::string(writer.Name) + ": " + c.Name;
      if (c.Error == 0) {
        EXPECT_EQ(message, u"") << label;
        auto expected = files;
        expected[c.Target] = complete;
        EXPECT_EQ(Snapshot(folder.Path()), expected) << label;
      } else {
        EXPECT_EQ(message, CannotCreate(path, c.Error)) << label;
        EXPECT_EQ(Snapshot(folder.Path()), files) << label;
      }
    }
  }
}

// Loading fails without touching the batch, its marks or its encoding.
TEST(LoadFaults, UnreadablePlaces)
{
  struct TCase {
    const char* Name;
    std::string Source;  // relative to the scratch folder
    int Error;           // 0: the load succeeds
    bool Unprivileged;
  };
  const std::vector<TCase> cases = {
      {"missing file", "chybí.txt", ENOENT, false},
      {"missing folder", "missing/list.txt", ENOENT, false},
      {"folder chosen as file", "folder", EISDIR, false},
      {"parent is a file", "list.txt/list.txt", ENOTDIR, false},
      {"name longer than the file system allows", std::string(300, 'n'), ENAMETOOLONG, false},
      {"file without read permission", "unreadable.txt", EACCES, true},
      {"file in a folder that may not be entered", "closed/list.txt", EACCES, true},
      {"control: readable file", "list.txt", 0, true},
  };
  for (const auto& c : cases) {
    TScratchFolder folder;
    fs::create_directory(folder / "folder");
    fs::create_directory(folder / "closed");
    WriteBytes(folder / "list.txt", "\xEF\xBB\xBFR1\r\n");
    WriteBytes(folder / "unreadable.txt", "\xEF\xBB\xBFR1\r\n");
    WriteBytes(folder / "closed/list.txt", "\xEF\xBB\xBFR1\r\n");
    GiveToUnprivilegedUser(folder.Path());
    fs::permissions(folder / "unreadable.txt", fs::perms::owner_write);
    fs::permissions(folder / "closed", fs::perms::owner_read | fs::perms::owner_write);
    const auto files = Snapshot(folder.Path());

    TCodeBatch batch;
    Fill(batch, {u"KEEP1", u"KEEP2"});
    batch.SetWholePackage(1, true);
    batch.SetListEncoding(TListEncoding::leUtf16BE);
    const TBatchState before = StateOf(batch);
    const TBatchState loaded{{u"R1"}, {false}, TListEncoding::leUtf8};
    const auto path = folder / c.Source;
    const auto attempt = [&] {
      std::u16string message = ErrorOf([&] { LoadBatchList(batch, U16(path)); });
      if (StateOf(batch) != (c.Error == 0 ? loaded : before)) message += u" <the batch is wrong>";
      return message;
    };
    const std::u16string message = c.Unprivileged ? AsUnprivilegedUser(attempt) : attempt();
    EXPECT_EQ(message, c.Error == 0 ? u"" : CannotOpen(path, c.Error)) << c.Name;
    EXPECT_EQ(Snapshot(folder.Path()), files) << c.Name;
  }
}

// A file cut short in the middle of its last character. UTF-8 is refused, as
// the cut sequence cannot be decoded; in UTF-16 the odd byte is half a
// character and ignored, while an unpaired surrogate is kept as it is; ANSI
// has a character for every byte. What loads saves and loads back unchanged.
TEST(LoadFaults, LastCharacterCutShort)
{
  struct TCase {
    const char* Name;
    std::string Bytes;
    bool Refused;
    Strings Codes;
    TListEncoding Encoding;
  };
  const std::string utf8 = "\xEF\xBB\xBF" "A1\r\n";
  const std::string le("\xFF\xFE" "A\0" "1\0\r\0\n\0", 10);
  const std::string be("\xFE\xFF\0A\0" "1\0\r\0\n", 10);
  const auto u8 = TListEncoding::leUtf8;
  const auto u16le = TListEncoding::leUtf16LE;
  const auto u16be = TListEncoding::leUtf16BE;
  const auto ansi = TListEncoding::leAnsi;
  const std::vector<TCase> cases = {
      {"empty file", "", false, {}, ansi},
      {"UTF-8, mark only", "\xEF\xBB\xBF", false, {}, u8},
      {"UTF-8, complete last character", utf8 + "\xE2\x82\xAC", false, {u"A1", u"\u20AC"}, u8},
      {"UTF-8, 1 of 2 bytes", utf8 + "\xC4", true, {}, u8},
      {"UTF-8, 1 of 3 bytes", utf8 + "\xE2", true, {}, u8},
      {"UTF-8, 2 of 3 bytes", utf8 + "\xE2\x82", true, {}, u8},
      {"UTF-8, 1 of 4 bytes", utf8 + "\xF0", true, {}, u8},
      {"UTF-8, 2 of 4 bytes", utf8 + "\xF0\x9F", true, {}, u8},
      {"UTF-8, 3 of 4 bytes", utf8 + "\xF0\x9F\x98", true, {}, u8},
      {"UTF-8, cut character before the line end", utf8 + "\xF0\x9F\x98\r\n", true, {}, u8},
      {"UTF-8, only a lead byte after the mark", "\xEF\xBB\xBF\xC4", true, {}, u8},
      {"UTF-16 LE, mark only", "\xFF\xFE", false, {}, u16le},
      {"UTF-16 LE, odd byte after a line end", le + "B", false, {u"A1"}, u16le},
      {"UTF-16 LE, odd byte after a character", le + std::string("B\0C", 3), false, {u"A1", u"B"}, u16le},
      {"UTF-16 LE, pair cut after its first half", le + "\x3D\xD8", false, {u"A1", u"\xD83D"}, u16le},
      {"UTF-16 LE, pair cut inside its second half", le + "\x3D\xD8\x00", false, {u"A1", u"\xD83D"}, u16le},
      {"UTF-16 BE, mark only", "\xFE\xFF", false, {}, u16be},
      {"UTF-16 BE, odd byte after a line end", be + std::string("\0", 1), false, {u"A1"}, u16be},
      {"UTF-16 BE, odd byte after a character", be + std::string("\0B\0", 3), false, {u"A1", u"B"}, u16be},
      {"UTF-16 BE, pair cut after its first half", be + "\xD8\x3D", false, {u"A1", u"\xD83D"}, u16be},
      {"UTF-16 BE, pair cut inside its second half", be + "\xD8\x3D\xDE", false, {u"A1", u"\xD83D"}, u16be},
      {"ANSI, last byte a UTF-8 lead byte", "A1\r\n\xC4", false, {u"A1", u"\u00C4"}, ansi},
      {"ANSI, last byte undefined in the code page", "A1\r\n\x98", false, {u"A1", u"\u0098"}, ansi},
      {"ANSI, last byte 0xFF", "A1\r\n\xFF", false, {u"A1", u"\u02D9"}, ansi},
  };
  for (const auto& c : cases) {
    TScratchFolder folder;
    const auto path = folder / "list.txt";
    WriteBytes(path, c.Bytes);
    TCodeBatch batch;
    Fill(batch, {u"KEEP"});
    batch.SetWholePackage(0, true);
    batch.SetListEncoding(c.Encoding == u16be ? u16le : u16be);
    const TBatchState before = StateOf(batch);
    const std::u16string message = ErrorOf([&] { LoadBatchList(batch, U16(path)); });
    if (c.Refused) {
      EXPECT_EQ(message, u"Cannot read file \"" + U16(path) +
                             u"\". Invalid UTF-8 data after the UTF-8 byte-order mark") << c.Name;
      EXPECT_EQ(StateOf(batch), before) << c.Name;
      continue;
    }
    ASSERT_EQ(message, u"") << c.Name;
    EXPECT_EQ(StateOf(batch), (TBatchState{c.Codes, std::vector<bool>(c.Codes.size(), false), c.Encoding})) << c.Name;
    const auto copy = folder / "copy.txt";
    SaveBatchList(batch, U16(copy));
    TCodeBatch reloaded;
    LoadBatchList(reloaded, U16(copy));
    EXPECT_EQ(StateOf(reloaded), StateOf(batch)) << c.Name;
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
  for (const auto& writer : Writers()) {
    try {
      writer.Write(batch, U16(path));
    } catch (const TBatchError& error) {
      ADD_FAILURE() << writer.Name << ": " << Utf8(error.Message());
    }
    EXPECT_EQ(ListTree(folder.Path()), std::set<std::string>{path.filename().string()}) << writer.Name;
  }
}

}  // namespace
}  // namespace quenlora
