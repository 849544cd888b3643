// SPDX-FileCopyrightText: 2026 The Quenlora authors
// SPDX-License-Identifier: GPL-3.0-or-later

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "batch_error.h"
#include "batch_list_file.h"
#include "list_file_reader.h"
#include "test_support.h"

namespace quenlora {
namespace {

using test::BatchErrorOf;
using test::Codes;
using test::Fill;
using test::Hex;
using test::Marks;
using test::ReadBytes;
using test::TScratchFolder;
using test::U16;
using test::WriteBytes;

using Strings = std::vector<std::u16string>;

const char* NameOf(TListEncoding encoding)
{
  switch (encoding) {
    case TListEncoding::leAnsi: return "ANSI";
    case TListEncoding::leUtf8: return "UTF-8";
    case TListEncoding::leUtf16LE: return "UTF-16 LE";
    case TListEncoding::leUtf16BE: return "UTF-16 BE";
  }
  return "?";
}

class BatchListFile : public ::testing::Test {
protected:
  // Saves the batch and returns the file's bytes.
  std::string SavedBytes(const TCodeBatch& batch)
  {
    const auto path = folder_ / "saved.txt";
    SaveBatchList(batch, U16(path));
    return ReadBytes(path);
  }

  // The bytes read in blocks of every small size, so that block ends fall
  // inside marks, characters and CR LF pairs: each must give what the whole
  // file gives (the entries and ListEncoding, or the same refusal). A block
  // size of 0 stands for 1.
  static void ExpectSameInEveryBlockSize(std::string_view bytes, const TCodeBatch& whole, const char* name)
  {
    for (std::size_t block : {0, 1, 2, 3, 4, 5, 7}) {
      TCodeBatch batch;
      Fill(batch, {u"KEEP1", u"KEEP2"});
      batch.SetWholePackage(1, true);
      batch.SetListEncoding(TListEncoding::leUtf16BE);
      const TCodeBatch before = batch;
      try {
        ReadBatchList(batch, bytes, u"in blocks", block);
      } catch (const TBatchError&) {
        EXPECT_TRUE(test::StateOf(batch) == test::StateOf(before)) << name << ", blocks of " << block;
      }
      EXPECT_EQ(Codes(batch), Codes(whole)) << name << ", blocks of " << block;
      EXPECT_EQ(batch.ListEncoding(), whole.ListEncoding()) << name << ", blocks of " << block;
    }
  }

  // Writes the bytes to a file and loads it into the batch.
  void LoadBytes(TCodeBatch& batch, std::string_view bytes)
  {
    const auto path = folder_ / "loaded.txt";
    WriteBytes(path, bytes);
    LoadBatchList(batch, U16(path));
  }

  TScratchFolder folder_;
};

TEST_F(BatchListFile, SavesAnsiBytes)
{
  TCodeBatch batch;
  Fill(batch, {u"A1", u"B2"});
  batch.SetWholePackage(0, true);  // marks are not part of the file
  EXPECT_EQ(Hex(SavedBytes(batch)), "41 31 0D 0A 42 32 0D 0A");
}

TEST_F(BatchListFile, EmptyBatchGivesBareMark)
{
  struct TCase {
    TListEncoding Encoding;
    std::string Bytes;
  };
  const std::vector<TCase> cases = {
      {TListEncoding::leAnsi, ""},
      {TListEncoding::leUtf8, "\xEF\xBB\xBF"},
      {TListEncoding::leUtf16LE, "\xFF\xFE"},
      {TListEncoding::leUtf16BE, "\xFE\xFF"},
  };
  for (const auto& c : cases) {
    TCodeBatch batch;
    batch.SetListEncoding(c.Encoding);
    EXPECT_EQ(Hex(SavedBytes(batch)), Hex(c.Bytes)) << NameOf(c.Encoding);
  }
}

TEST_F(BatchListFile, SavesEachEncodingWithItsMark)
{
  struct TCase {
    TListEncoding Encoding;
    std::string Bytes;
  };
  const std::vector<TCase> cases = {
      {TListEncoding::leAnsi, "\xE8" "aj\r\n\r\n"},
      {TListEncoding::leUtf8, "\xEF\xBB\xBF\xC4\x8D" "aj\r\n\r\n"},
      {TListEncoding::leUtf16LE, std::string("\xFF\xFE\x0D\x01" "a\0j\0\r\0\n\0\r\0\n\0", 16)},
      {TListEncoding::leUtf16BE, std::string("\xFE\xFF\x01\x0D\0a\0j\0\r\0\n\0\r\0\n", 16)},
  };
  for (const auto& c : cases) {
    TCodeBatch batch;
    Fill(batch, {u"čaj", u""});
    batch.SetListEncoding(c.Encoding);
    EXPECT_EQ(Hex(SavedBytes(batch)), Hex(c.Bytes)) << NameOf(c.Encoding);
  }
}

TEST_F(BatchListFile, RoundTripsThroughEveryEncoding)
{
  const Strings codes = {u"Příliš žluťoučký kůň", u"ÁČĎÉĚÍŇÓŘŠŤÚŮÝŽ", u"", u" a&b\t", u"ABC123", u"€„“"};
  for (TListEncoding encoding :
       {TListEncoding::leAnsi, TListEncoding::leUtf8, TListEncoding::leUtf16LE, TListEncoding::leUtf16BE}) {
    TCodeBatch saved;
    const std::vector<std::u16string_view> lines(codes.begin(), codes.end());
    saved.ReplaceFromLines(lines);
    saved.SetListEncoding(encoding);
    const auto path = folder_ / "round.txt";
    SaveBatchList(saved, U16(path));

    TCodeBatch loaded;
    loaded.SetListEncoding(encoding == TListEncoding::leAnsi ? TListEncoding::leUtf8 : TListEncoding::leAnsi);
    LoadBatchList(loaded, U16(path));
    EXPECT_EQ(Codes(loaded), codes) << NameOf(encoding);
    EXPECT_EQ(loaded.ListEncoding(), encoding) << NameOf(encoding);
  }
}

TEST_F(BatchListFile, AnsiIsWindows1250)
{
  TCodeBatch batch;
  Fill(batch, {u"Příliš žluťoučký kůň"});
  EXPECT_EQ(Hex(SavedBytes(batch)), "50 F8 ED 6C 69 9A 20 9E 6C 75 9D 6F 75 E8 6B FD 20 6B F9 F2 0D 0A");

  // The bytes the code page leaves undefined come back unchanged.
  const std::string odd = "\x80\x81\x83\x88\x90\x98\xFF\r\n";
  LoadBytes(batch, odd);
  EXPECT_EQ(Codes(batch), Strings{u"\u20AC\u0081\u0083\u0088\u0090\u0098\u02D9"});
  EXPECT_EQ(Hex(SavedBytes(batch)), Hex(odd));
}

// What the encoding cannot hold is not lost: the file falls back to a
// Unicode encoding with its mark, and the batch's encoding stays as it was.
TEST_F(BatchListFile, SaveFallsBackWhenEncodingCannotHoldText)
{
  struct TCase {
    const char* Name;
    TListEncoding Encoding;
    std::u16string Code;
    std::string Bytes;
  };
  const std::vector<TCase> cases = {
      {"ANSI, CJK", TListEncoding::leAnsi, u"č\u4E2D", "\xEF\xBB\xBF\xC4\x8D\xE4\xB8\xAD\r\n"},
      {"ANSI bytes that would read as a UTF-16 LE mark", TListEncoding::leAnsi, u"\u02D9\u0163A",
       "\xEF\xBB\xBF\xCB\x99\xC5\xA3\x41\r\n"},
      {"ANSI bytes that would read as a UTF-8 mark", TListEncoding::leAnsi, u"\u010F\u00BB\u017C1",
       "\xEF\xBB\xBF\xC4\x8F\xC2\xBB\xC5\xBC\x31\r\n"},
      {"ANSI bytes that would read as a UTF-16 BE mark", TListEncoding::leAnsi, u"\u0163\u02D9B",
       "\xEF\xBB\xBF\xC5\xA3\xCB\x99\x42\r\n"},
      {"ANSI, emoji", TListEncoding::leAnsi, u"\U0001F600", "\xEF\xBB\xBF\xF0\x9F\x98\x80\r\n"},
      {"ANSI, unpaired surrogate", TListEncoding::leAnsi, u"A\xD800",
       std::string("\xFF\xFE" "A\0\x00\xD8\r\0\n\0", 10)},
      {"UTF-8, unpaired surrogate", TListEncoding::leUtf8, u"A\xDC00",
       std::string("\xFF\xFE" "A\0\x00\xDC\r\0\n\0", 10)},
      {"UTF-16 BE keeps unpaired surrogate", TListEncoding::leUtf16BE, u"A\xD800",
       std::string("\xFE\xFF\0A\xD8\x00\0\r\0\n", 10)},
  };
  for (const auto& c : cases) {
    TCodeBatch batch;
    Fill(batch, {c.Code});
    batch.SetListEncoding(c.Encoding);
    EXPECT_EQ(Hex(SavedBytes(batch)), Hex(c.Bytes)) << c.Name;
    EXPECT_EQ(batch.ListEncoding(), c.Encoding) << c.Name;

    TCodeBatch loaded;
    LoadBatchList(loaded, U16(folder_ / "saved.txt"));
    EXPECT_EQ(Codes(loaded), Strings{c.Code}) << c.Name;
  }
}

TEST_F(BatchListFile, LoadSplitsLines)
{
  struct TCase {
    const char* Name;
    std::string Bytes;
    Strings Codes;
  };
  const std::vector<TCase> cases = {
      {"empty file", "", {}},
      {"only CR LF", "\r\n", {u""}},
      {"lone CR then CR LF", "A1\r\r\nB2", {u"A1", u"", u"B2"}},
      {"LF then CR", "A1\n\rB2", {u"A1", u"", u"B2"}},
      {"lone LF", "A1\nB2\n", {u"A1", u"B2"}},
      {"lone CR", "A1\rB2\r", {u"A1", u"B2"}},
      {"empty lines between", "A1\r\n\r\n\r\nB2\r\n", {u"A1", u"", u"", u"B2"}},
      {"last line without line end", "A1\r\nB2", {u"A1", u"B2"}},
      {"two line ends at the end", "A1\r\n\r\n", {u"A1", u""}},
      {"kept as written", " a1 \r\n\tb2\r\nhttps://x/c3\r\n", {u" a1 ", u"\tb2", u"https://x/c3"}},
      {"duplicates kept", "A1\r\nA1\r\n", {u"A1", u"A1"}},
      {"UTF-16 LE, odd last byte ignored", std::string("\xFF\xFE" "A\0" "1\0\r\0\n\0B", 11), {u"A1"}},
      {"UTF-16 BE, odd last byte ignored", std::string("\xFE\xFF\0A\0\n\0B\x01", 9), {u"A", u"B"}},
      {"UTF-16 LE mark only plus one byte", "\xFF\xFE\x41", {}},
      {"shorter than the UTF-8 mark", "\xEF\xBB", {u"\u010F\u00BB"}},
      {"shorter than a UTF-16 mark", "\xFE", {u"\u0163"}},
  };
  for (const auto& c : cases) {
    TCodeBatch batch;
    Fill(batch, {u"OLD"});
    batch.SetWholePackage(0, true);
    LoadBytes(batch, c.Bytes);
    EXPECT_EQ(Codes(batch), c.Codes) << c.Name;
    EXPECT_EQ(Marks(batch), std::vector<bool>(c.Codes.size(), false)) << c.Name;
    ExpectSameInEveryBlockSize(c.Bytes, batch, c.Name);
  }
}

TEST_F(BatchListFile, DetectsEncodingFromMark)
{
  struct TCase {
    std::string Bytes;
    TListEncoding Encoding;
    Strings Codes;
  };
  const std::vector<TCase> cases = {
      {"A1\r\n", TListEncoding::leAnsi, {u"A1"}},
      {"", TListEncoding::leAnsi, {}},
      {"\xEF\xBB\xBF", TListEncoding::leUtf8, {}},
      {"\xEF\xBB\xBF\xC4\x8D\r\n", TListEncoding::leUtf8, {u"č"}},
      {"\xEF\xBB\xBF\xF0\x9F\x98\x80", TListEncoding::leUtf8, {u"\U0001F600"}},
      {std::string("\xFF\xFE\x0D\x01", 4), TListEncoding::leUtf16LE, {u"č"}},
      {std::string("\xFE\xFF\x01\x0D", 4), TListEncoding::leUtf16BE, {u"č"}},
      {"\xFF\xFE", TListEncoding::leUtf16LE, {}},
  };
  for (const auto& c : cases) {
    TCodeBatch batch;
    LoadBytes(batch, c.Bytes);
    EXPECT_EQ(batch.ListEncoding(), c.Encoding) << Hex(c.Bytes);
    EXPECT_EQ(Codes(batch), c.Codes) << Hex(c.Bytes);
    ExpectSameInEveryBlockSize(c.Bytes, batch, Hex(c.Bytes).c_str());
  }
}

// The encoding of the last loaded file holds for every later save, even
// after the batch was emptied.
TEST_F(BatchListFile, ListEncodingSurvivesClear)
{
  TCodeBatch batch;
  LoadBytes(batch, "A1\r\n");
  batch.Clear();
  Fill(batch, {u"č"});
  EXPECT_EQ(Hex(SavedBytes(batch)), "E8 0D 0A");

  LoadBytes(batch, "\xEF\xBB\xBF" "A1\r\n");
  batch.Clear();
  EXPECT_EQ(Hex(SavedBytes(batch)), "EF BB BF");
  Fill(batch, {u"č"});
  EXPECT_EQ(Hex(SavedBytes(batch)), "EF BB BF C4 8D 0D 0A");

  LoadBytes(batch, "\xFE\xFF");
  batch.Clear();
  EXPECT_EQ(Hex(SavedBytes(batch)), "FE FF");
}

// A file that cannot be decoded faithfully is refused; the batch and its
// encoding stay as they were.
TEST_F(BatchListFile, UndecodableFileIsRefused)
{
  struct TCase {
    const char* Name;
    std::string Bytes;
  };
  const std::vector<TCase> cases = {
      {"UTF-8 lone continuation byte", "\xEF\xBB\xBF" "A1\r\n\x80"},
      {"UTF-8 truncated sequence", "\xEF\xBB\xBF" "A1\xC4"},
      {"UTF-8 overlong form", "\xEF\xBB\xBF\xC0\x80"},
      {"UTF-8 encoded surrogate", "\xEF\xBB\xBF\xED\xA0\x80"},
      {"UTF-8 beyond U+10FFFF", "\xEF\xBB\xBF\xF4\x90\x80\x80"},
      {"UTF-8 windows-1250 text", "\xEF\xBB\xBF\xE8" "aj\r\n"},
      {"UTF-16 LE without mark", std::string("A\0" "1\0\r\0\n\0", 8)},
      {"NUL in ANSI text", std::string("A1\r\n\0B2", 7)},
      {"NUL in UTF-16 LE", std::string("\xFF\xFE" "A\0\0\0B\0", 8)},
      {"UTF-32 LE mark", std::string("\xFF\xFE\0\0A\0\0\0", 8)},
      {"NUL in UTF-8", std::string("\xEF\xBB\xBF" "A\0", 5)},
  };
  const auto path = folder_ / "bad.txt";
  for (const auto& c : cases) {
    TCodeBatch batch;
    Fill(batch, {u"KEEP1", u"KEEP2"});
    batch.SetWholePackage(1, true);
    batch.SetListEncoding(TListEncoding::leUtf16BE);
    WriteBytes(path, c.Bytes);
    const std::u16string message = BatchErrorOf([&] { LoadBatchList(batch, U16(path)); });
    EXPECT_TRUE(message.starts_with(u"Cannot read file \"" + U16(path) + u"\". ")) << c.Name;
    EXPECT_EQ(Codes(batch), (Strings{u"KEEP1", u"KEEP2"})) << c.Name;
    EXPECT_EQ(Marks(batch), (std::vector<bool>{false, true})) << c.Name;
    EXPECT_EQ(batch.ListEncoding(), TListEncoding::leUtf16BE) << c.Name;
    ExpectSameInEveryBlockSize(c.Bytes, batch, c.Name);
  }
}

// A file that is no list is refused in the block that holds the first bad
// byte: nothing after it is read, and nothing large is taken before it.
TEST_F(BatchListFile, RefusedInTheBlockThatHoldsTheFault)
{
  struct TCase {
    const char* Name;
    std::string Bytes;
    std::size_t Fault;  // the position of the byte that completes the bad character
  };
  const std::string lines = "KP0001\r\nKP0002\r\nKP0003\r\n";
  const std::vector<TCase> cases = {
      {"NUL in ANSI text", lines + std::string("\0", 1) + lines, lines.size()},
      {"invalid UTF-8", "\xEF\xBB\xBF" + lines + "\xFF" + lines, 3 + lines.size()},
      {"NUL in UTF-16", std::string("\xFF\xFE" "A\0\r\0\n\0B\0\0\0C\0", 14), 11},
  };
  for (const auto& c : cases) {
    for (std::size_t block : {1, 4, 16}) {
      TListFileReader reader(u"bad.txt", c.Bytes.size());
      std::size_t at = 0;
      std::size_t refusedAt = std::string::npos;
      for (; at < c.Bytes.size(); at += block) {
        try {
          reader.Add(std::string_view(c.Bytes).substr(at, block));
        } catch (const TBatchError& error) {
          EXPECT_TRUE(error.Message().starts_with(u"Cannot read file \"bad.txt\". ")) << c.Name;
          refusedAt = at;
          break;
        }
      }
      EXPECT_LE(refusedAt, c.Fault) << c.Name << ", blocks of " << block;
      EXPECT_LT(c.Fault, refusedAt + block) << c.Name << ", blocks of " << block;
    }
  }
}

TEST_F(BatchListFile, SaveReplacesLongerFileCompletely)
{
  TCodeBatch batch;
  Fill(batch, {u"A1"});
  const auto path = folder_ / "list.txt";
  WriteBytes(path, std::string(10000, 'Z'));
  SaveBatchList(batch, U16(path));
  EXPECT_EQ(Hex(ReadBytes(path)), "41 31 0D 0A");
  EXPECT_EQ(test::ListTree(folder_.Path()), std::set<std::string>{"list.txt"});
}

TEST_F(BatchListFile, WorksWithCzechFileNames)
{
  test::fs::create_directory(folder_ / "dávka č. 1");
  const auto path = folder_ / "dávka č. 1/Seznam kódů.txt";
  TCodeBatch batch;
  Fill(batch, {u"Ž1"});
  batch.SetListEncoding(TListEncoding::leUtf8);
  SaveBatchList(batch, U16(path));
  TCodeBatch loaded;
  LoadBatchList(loaded, U16(path));
  EXPECT_EQ(Codes(loaded), Strings{u"Ž1"});
  EXPECT_EQ(loaded.ListEncoding(), TListEncoding::leUtf8);
}

}  // namespace
}  // namespace quenlora
