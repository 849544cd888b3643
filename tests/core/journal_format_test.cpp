// SPDX-FileCopyrightText: 2026 The Quenlora authors
// SPDX-License-Identifier: GPL-3.0-or-later
//
// The journal's records and their replay: what each change writes, and that
// a journal cut at any byte or with any byte changed gives back exactly the
// batch after the records before the damage.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "crc32c.h"
#include "journal_format.h"
#include "test_support.h"

namespace quenlora {
namespace {

using journal::TJournalEnd;

struct TState {
  std::vector<TBatchEntry> Entries;
  TListEncoding Encoding = TListEncoding::leAnsi;
  bool operator==(const TState&) const = default;
};

TState StateOf(const TCodeBatch& batch)
{
  TState state;
  for (std::ptrdiff_t i = 0; i < batch.Count(); ++i) state.Entries.push_back(batch.Entry(i));
  state.Encoding = batch.ListEncoding();
  return state;
}

std::string Describe(const TState& state)
{
  std::string text = "encoding " + std::to_string(static_cast<int>(state.Encoding)) + ":";
  for (const auto& entry : state.Entries) text += " " + test::Utf8(entry.Code) + (entry.WholePackage ? "[x]" : "");
  return text;
}

// A journal written change by change beside the batch it describes, with
// the batch after every record and where each record ends.
struct TScript {
  TCodeBatch Batch;
  std::string Bytes = journal::Header();
  std::vector<TState> States{TState{}};
  std::vector<std::size_t> Ends{journal::kHeaderSize};

  void Done()
  {
    States.push_back(StateOf(Batch));
    Ends.push_back(Bytes.size());
  }
  void Add(std::u16string_view code)
  {
    journal::AppendAdd(Bytes, code);
    Batch.AppendCode(code);
    Done();
  }
  void Mark(std::ptrdiff_t index, bool flag)
  {
    journal::AppendMark(Bytes, index, flag);
    Batch.SetWholePackage(index, flag);
    Done();
  }
  void Delete(std::ptrdiff_t index)
  {
    journal::AppendDelete(Bytes, index);
    Batch.DeleteAt(index);
    Done();
  }
  void Clear()
  {
    journal::AppendClear(Bytes);
    Batch.Clear();
    Done();
  }
  void Encoding(TListEncoding encoding)
  {
    journal::AppendEncoding(Bytes, encoding);
    Batch.SetListEncoding(encoding);
    Done();
  }
  void Replace(std::initializer_list<std::u16string_view> lines, TListEncoding encoding)
  {
    TCodeBatch loaded;
    test::Fill(loaded, lines);
    loaded.SetListEncoding(encoding);
    Batch = std::move(loaded);
    journal::AppendSnapshot(Bytes, Batch);
    Done();
  }
};

// Every kind of record, codes that UTF-8 cannot carry and empty ones among them.
TScript EveryKind()
{
  TScript script;
  script.Add(u"ABC123");
  script.Add(u"");
  script.Add(u"čAJ-\U0001F600");
  script.Add(std::u16string(1, u'\xD800') + u"X");  // a lone surrogate
  script.Mark(0, true);
  script.Mark(3, true);
  script.Mark(0, false);
  script.Delete(1);
  script.Encoding(TListEncoding::leUtf16BE);
  script.Replace({u"lower", u"", u"  blanks  ", u"\xDC00"}, TListEncoding::leUtf8);
  script.Mark(2, true);
  script.Add(u"AFTER");
  script.Clear();
  script.Add(u"LAST");
  script.Mark(0, true);
  return script;
}

TEST(Crc32c, KnownValues)
{
  EXPECT_EQ(Crc32c("123456789"), 0xE3069283u);
  EXPECT_EQ(Crc32c(""), 0u);
  // Continued over pieces, of every length around the eight-byte steps.
  const std::string text = "The quick brown fox jumps over the lazy dog";
  for (std::size_t cut = 0; cut <= text.size(); ++cut)
    EXPECT_EQ(Crc32c(text.substr(cut), Crc32c(text.substr(0, cut))), 0x22620404u) << cut;
}

TEST(JournalReplay, WholeJournalGivesTheLastBatch)
{
  const TScript script = EveryKind();
  const journal::TReplay replay = journal::ReplayJournal(script.Bytes);
  EXPECT_EQ(replay.End, TJournalEnd::jeComplete);
  EXPECT_EQ(replay.Records, script.States.size() - 1);
  EXPECT_EQ(StateOf(replay.Batch), script.States.back()) << Describe(StateOf(replay.Batch));
  // The snapshot in the middle carried its marks and encoding.
  EXPECT_EQ(script.States[10].Encoding, TListEncoding::leUtf8);
  EXPECT_EQ(script.States[11].Entries[2], (TBatchEntry{u"  blanks  ", true}));
  // A replayed batch still finds its codes, so later scans are not duplicated.
  EXPECT_TRUE(replay.Batch.Contains(u"LAST"));
}

TEST(JournalReplay, CutAtEveryByteGivesTheRecordsBefore)
{
  const TScript script = EveryKind();
  for (std::size_t cut = 0; cut <= script.Bytes.size(); ++cut) {
    const journal::TReplay replay = journal::ReplayJournal(std::string_view(script.Bytes).substr(0, cut));
    std::size_t whole = 0;
    while (whole + 1 < script.Ends.size() && script.Ends[whole + 1] <= cut) ++whole;
    ASSERT_EQ(StateOf(replay.Batch), script.States[whole]) << "cut at " << cut;
    ASSERT_EQ(replay.Records, whole) << "cut at " << cut;
    const TJournalEnd expected = cut < journal::kHeaderSize    ? TJournalEnd::jeNotJournal
                                 : cut == script.Ends[whole] ? TJournalEnd::jeComplete
                                                             : TJournalEnd::jeCut;
    ASSERT_EQ(replay.End, expected) << "cut at " << cut;
  }
}

TEST(JournalReplay, ChangedByteAnywhereGivesTheRecordsBefore)
{
  const TScript script = EveryKind();
  for (std::size_t at = 0; at < script.Bytes.size(); ++at) {
    for (const unsigned char flip : {0x01, 0x80, 0xFF}) {
      std::string bytes = script.Bytes;
      bytes[at] = static_cast<char>(bytes[at] ^ flip);
      const journal::TReplay replay = journal::ReplayJournal(bytes);
      std::size_t before = 0;
      while (script.Ends[before + 1] <= at) ++before;
      if (at < journal::kHeaderSize) before = 0;
      ASSERT_EQ(StateOf(replay.Batch), script.States[before]) << "byte " << at << " ^ " << int(flip);
      ASSERT_NE(replay.End, TJournalEnd::jeComplete) << "byte " << at << " ^ " << int(flip);
    }
  }
}

// The bytes of a literal, NULs included.
template <std::size_t N>
std::string B(const char (&literal)[N])
{
  return std::string(literal, N - 1);
}

// A record with a correct check whose body makes no sense ends the replay.
std::string Record(std::string body)
{
  std::string record(8, '\0');
  const std::uint32_t length = static_cast<std::uint32_t>(body.size());
  const std::uint32_t crc = Crc32c(body);
  for (int i = 0; i < 4; ++i) {
    record[i] = static_cast<char>(length >> (8 * i));
    record[4 + i] = static_cast<char>(crc >> (8 * i));
  }
  return record + body;
}

TEST(JournalReplay, RecordsThatMakeNoSense)
{
  std::string good = journal::Header();
  journal::AppendAdd(good, u"A1");
  journal::AppendAdd(good, u"B2");
  const std::vector<std::pair<const char*, std::string>> cases = {
      {"unknown kind", Record(B("\x09"))},
      {"kind 0", Record(std::string(1, '\0'))},
      {"empty body", std::string(8, '\0')},
      {"mark past the end", Record(B("\x03\x02"))},
      {"unmark past the end", Record(B("\x04\x05"))},
      {"delete past the end", Record(B("\x05\x02"))},
      {"index with more after it", Record(B("\x05\x00\x00"))},
      {"index without its end", Record(B("\x05\x80"))},
      {"index of eleven bytes", Record(B("\x05\xFF\xFF\xFF\xFF\xFF\xFF\xFF\xFF\xFF\x01"))},
      {"index above 64 bits", Record(B("\x05\xFF\xFF\xFF\xFF\xFF\xFF\xFF\xFF\xFF\x7F"))},
      {"clear with data", Record(B("\x06\x00"))},
      {"encoding out of range", Record(B("\x07\x04"))},
      {"encoding missing", Record(B("\x07"))},
      {"encoding with more", Record(B("\x07\x01\x01"))},
      {"invalid UTF-8", Record(B("\x01\xC0\xAF"))},
      {"odd UTF-16", Record(B("\x02" "A"))},
      {"snapshot without encoding", Record(B("\x08"))},
      {"snapshot encoding out of range", Record(B("\x08\x09\x00"))},
      {"snapshot without count", Record(B("\x08\x00"))},
      {"snapshot of more entries than bytes", Record(B("\x08\x00\x05\x04"))},
      {"snapshot entry cut", Record(B("\x08\x00\x01\x08" "A"))},
      {"snapshot entry invalid UTF-8", Record(B("\x08\x00\x01\x04\xFF"))},
      {"snapshot entry odd UTF-16", Record(B("\x08\x00\x01\x06" "A"))},
      {"snapshot with more after it", Record(B("\x08\x00\x01\x04" "AB"))},
      {"snapshot entry head cut", Record(B("\x08\x00\x01\x80"))},
  };
  for (const auto& [name, bad] : cases) {
    std::string bytes = good + bad;
    journal::AppendAdd(bytes, u"C3");
    const journal::TReplay replay = journal::ReplayJournal(bytes);
    EXPECT_EQ(replay.End, TJournalEnd::jeGarbled) << name;
    EXPECT_EQ(test::Codes(replay.Batch), (std::vector<std::u16string>{u"A1", u"B2"})) << name;
  }
  // The same bodies where they do make sense, so the cases above fail for the reason named.
  std::string fine = good + Record(B("\x03\x01")) + Record(B("\x08\x02\x02\x09" "AB" "\x0A" "\x41\x00"));
  const journal::TReplay replay = journal::ReplayJournal(fine);
  EXPECT_EQ(replay.End, TJournalEnd::jeComplete);
  EXPECT_EQ(test::Codes(replay.Batch), (std::vector<std::u16string>{u"AB", u"A"}));
  EXPECT_EQ(test::Marks(replay.Batch), (std::vector<bool>{true, false}));
  EXPECT_EQ(replay.Batch.ListEncoding(), TListEncoding::leUtf16LE);
}

TEST(JournalReplay, HeadersOfOtherFilesAndVersions)
{
  std::string newer = journal::Header();
  newer[8] = 2;
  journal::AppendAdd(newer, u"A1");
  EXPECT_EQ(journal::ReplayJournal(newer).End, TJournalEnd::jeNewerVersion);
  EXPECT_EQ(journal::ReplayJournal(newer).Batch.Count(), 0);
  std::string zero = journal::Header();
  zero[8] = 0;
  EXPECT_EQ(journal::ReplayJournal(zero).End, TJournalEnd::jeNotJournal);
  EXPECT_EQ(journal::ReplayJournal("A1\r\nB2\r\n").End, TJournalEnd::jeNotJournal);
  EXPECT_EQ(journal::ReplayJournal(journal::Header()).End, TJournalEnd::jeComplete);
}

TEST(JournalFormat, NegativeIndexIsRefused)
{
  std::string bytes;
  EXPECT_THROW(journal::AppendDelete(bytes, -1), std::out_of_range);
  EXPECT_TRUE(bytes.empty());
}

}  // namespace
}  // namespace quenlora
