// SPDX-FileCopyrightText: 2026 The Quenlora authors
// SPDX-License-Identifier: GPL-3.0-or-later

#include <gtest/gtest.h>

#include <algorithm>
#include <random>
#include <set>
#include <span>
#include <stdexcept>
#include <string>
#include <vector>

#include "code_batch.h"
#include "code_filter.h"
#include "test_support.h"

namespace quenlora {
namespace {

using test::Codes;
using test::Fill;
using test::Marks;

std::u16string Prefix() { return std::u16string(ScanPrefix); }

std::u16string LowerAscii(std::u16string_view text)
{
  std::u16string lower(text);
  for (char16_t& c : lower)
    if (c >= u'A' && c <= u'Z') c = static_cast<char16_t>(c - u'A' + u'a');
  return lower;
}

TEST(ScanPrefixConstant, IsUpperCaseHttpsUrlEndingInSlash)
{
  const std::u16string prefix = Prefix();
  ASSERT_GT(prefix.size(), std::u16string_view(u"HTTPS:///").size());
  EXPECT_TRUE(prefix.starts_with(u"HTTPS://"));
  EXPECT_TRUE(prefix.ends_with(u"/"));
  for (char16_t c : prefix) EXPECT_FALSE(c >= u'a' && c <= u'z') << "prefix must be upper case";
}

struct TNormalizeCase {
  const char* Name;
  std::u16string Raw;
  bool Accepted;
  std::u16string Candidate;
};

TEST(NormalizeScan, Table)
{
  const std::u16string p = Prefix();
  const std::vector<TNormalizeCase> cases = {
      {"lower-case url with blanks", u"  " + LowerAscii(p) + u"ABC123\t", true, u"ABC123"},
      {"no prefix, ascii upper-cased", u"abc-123x", true, u"ABC-123X"},
      {"only ascii letters change case", u"čaj", true, u"čAJ"},
      {"blanks and controls only", u" \t\r\n\x01\x1F ", false, u""},
      {"empty input", u"", false, u""},
      {"prefix alone", p, true, u""},
      {"prefix alone, lower case, line break", LowerAscii(p) + u"\r\n", true, u""},
      {"prefix twice then code", p + p + u"x", true, u"X"},
      {"prefix after the code", u"x" + p, true, u"X"},
      {"prefix in the middle", u"ab" + p + u"cd", true, u"ABCD"},
      {"no-break space is not trimmed", u"\u00A0ab\u00A0", true, u"\u00A0AB\u00A0"},
      {"inner blanks stay", u" a b ", true, u"A B"},
      // Removing the inner prefix joins its neighbours into a prefix again;
      // the result is not searched a second time.
      {"no second pass", p.substr(0, 1) + p + p.substr(1), true, p},
  };
  for (const auto& c : cases) {
    const TNormalizedScan scan = NormalizeScan(c.Raw);
    EXPECT_EQ(scan.Accepted, c.Accepted) << c.Name;
    if (c.Accepted) {
      EXPECT_EQ(scan.Candidate, c.Candidate) << c.Name;
    }
  }
}

TEST(AddScanned, IgnoresBlankInput)
{
  TCodeBatch batch;
  Fill(batch, {u"A1"});
  EXPECT_EQ(batch.AddScanned(u" \t\r\n "), TScanResult::srNothingToAdd);
  EXPECT_EQ(Codes(batch), std::vector<std::u16string>{u"A1"});
}

TEST(AddScanned, AppendsNormalisedCodesInOrderUnmarked)
{
  TCodeBatch batch;
  EXPECT_EQ(batch.AddScanned(Prefix() + u"zz9"), TScanResult::srAdded);
  EXPECT_EQ(batch.AddScanned(u" aa1 "), TScanResult::srAdded);
  EXPECT_EQ(Codes(batch), (std::vector<std::u16string>{u"ZZ9", u"AA1"}));
  EXPECT_EQ(Marks(batch), (std::vector<bool>{false, false}));
}

// A scan is already present only when some entry's code equals it exactly.
TEST(AddScanned, DuplicateRuleIsExactEquality)
{
  struct TCase {
    const char* Name;
    std::u16string Raw;
    TScanResult Result;
  };
  const std::vector<TCase> cases = {
      {"same code", u"ABC123", TScanResult::srAlreadyPresent},
      {"same code in lower case", u"abc123", TScanResult::srAlreadyPresent},
      {"same code behind the prefix", Prefix() + u"abc123", TScanResult::srAlreadyPresent},
      {"same code among blanks", u"\tABC123  ", TScanResult::srAlreadyPresent},
      {"part of a code", u"BC12", TScanResult::srAdded},
      {"prefix of a code", u"ABC", TScanResult::srAdded},
      {"longer code", u"ABC1234", TScanResult::srAdded},
      {"two codes joined", u"ABC123X9", TScanResult::srAdded},
      {"empty candidate", Prefix(), TScanResult::srAdded},
  };
  for (const auto& c : cases) {
    TCodeBatch batch;
    Fill(batch, {u"ABC123", u"X9"});
    EXPECT_EQ(batch.AddScanned(c.Raw), c.Result) << c.Name;
    EXPECT_EQ(batch.Count(), c.Result == TScanResult::srAdded ? 3 : 2) << c.Name;
  }
}

TEST(AddScanned, EmptyCandidateIsAppendedEveryTime)
{
  TCodeBatch batch;
  EXPECT_EQ(batch.AddScanned(Prefix()), TScanResult::srAdded);
  EXPECT_EQ(batch.AddScanned(LowerAscii(Prefix())), TScanResult::srAdded);
  EXPECT_EQ(Codes(batch), (std::vector<std::u16string>{u"", u""}));
  EXPECT_FALSE(batch.Contains(u""));
}

TEST(AddScanned, LoadedEntriesCompareAsLoaded)
{
  TCodeBatch batch;
  Fill(batch, {u"abc123", u" XY1", u"DUP", u"DUP"});
  EXPECT_EQ(batch.AddScanned(u"abc123"), TScanResult::srAdded);  // becomes ABC123
  EXPECT_EQ(batch.AddScanned(u"XY1"), TScanResult::srAdded);
  EXPECT_EQ(batch.AddScanned(u"dup"), TScanResult::srAlreadyPresent);
  EXPECT_EQ(Codes(batch), (std::vector<std::u16string>{u"abc123", u" XY1", u"DUP", u"DUP", u"ABC123", u"XY1"}));
}

TEST(CodeBatch, DeleteMovesLaterEntriesUpWithTheirMarks)
{
  TCodeBatch batch;
  Fill(batch, {u"A", u"B", u"C"});
  batch.SetWholePackage(1, true);
  batch.DeleteAt(0);
  EXPECT_EQ(Codes(batch), (std::vector<std::u16string>{u"B", u"C"}));
  EXPECT_EQ(Marks(batch), (std::vector<bool>{true, false}));
}

TEST(CodeBatch, DeleteMinusOneDoesNothing)
{
  TCodeBatch empty;
  empty.DeleteAt(-1);
  EXPECT_EQ(empty.Count(), 0);

  TCodeBatch batch;
  Fill(batch, {u"A", u"B"});
  batch.SetWholePackage(0, true);
  batch.DeleteAt(-1);
  EXPECT_EQ(Codes(batch), (std::vector<std::u16string>{u"A", u"B"}));
  EXPECT_EQ(Marks(batch), (std::vector<bool>{true, false}));
}

TEST(CodeBatch, DeletedCodeCanBeScannedAgainAndOthersStayPresent)
{
  TCodeBatch batch;
  Fill(batch, {u"A1", u"", u"B2", u"C3"});
  batch.DeleteAt(1);  // the empty entry
  batch.DeleteAt(1);  // B2
  EXPECT_EQ(Codes(batch), (std::vector<std::u16string>{u"A1", u"C3"}));
  EXPECT_EQ(batch.AddScanned(u"C3"), TScanResult::srAlreadyPresent);
  EXPECT_EQ(batch.AddScanned(u"A1"), TScanResult::srAlreadyPresent);
  EXPECT_EQ(batch.AddScanned(u"B2"), TScanResult::srAdded);
  batch.DeleteAt(0);
  EXPECT_EQ(batch.AddScanned(u"B2"), TScanResult::srAlreadyPresent);
  EXPECT_EQ(batch.AddScanned(u"A1"), TScanResult::srAdded);
  EXPECT_EQ(Codes(batch), (std::vector<std::u16string>{u"C3", u"B2", u"A1"}));
}

// Many scans and deletions checked against a plain list: exercises index
// growth, deletion from the index and the rewriting of the code storage.
TEST(CodeBatch, StaysConsistentThroughManyScansAndDeletions)
{
  std::mt19937 random(20141203);
  TCodeBatch batch;
  std::vector<std::u16string> model;
  std::vector<bool> marks;
  std::set<std::u16string> present;
  auto code = [](unsigned n) {
    const std::string text = "KP" + std::to_string(n) + "X";
    return std::u16string(text.begin(), text.end());
  };
  // Start from a loaded list, as a resumed batch does.
  std::vector<std::u16string> loaded;
  for (unsigned n = 0; n < 1000; n += 2) loaded.push_back(code(n));
  const std::vector<std::u16string_view> lines(loaded.begin(), loaded.end());
  batch.ReplaceFromLines(lines);
  model = loaded;
  marks.assign(loaded.size(), false);
  present.insert(loaded.begin(), loaded.end());

  for (unsigned n = 0; n < 3000; ++n) {
    const unsigned pick = random() % 4000;  // some picks repeat
    const bool known = present.count(code(pick)) > 0;
    ASSERT_EQ(batch.AddScanned(code(pick)), known ? TScanResult::srAlreadyPresent : TScanResult::srAdded);
    if (!known) {
      model.push_back(code(pick));
      marks.push_back(pick % 3 == 0);
      present.insert(code(pick));
      batch.SetWholePackage(batch.Count() - 1, pick % 3 == 0);
    }
  }
  for (int round = 0; round < 2000 && !model.empty(); ++round) {
    const auto at = static_cast<std::ptrdiff_t>(random() % model.size());
    const std::u16string gone = model[static_cast<std::size_t>(at)];
    batch.DeleteAt(at);
    model.erase(model.begin() + at);
    marks.erase(marks.begin() + at);
    present.erase(gone);
    if (round % 500 == 0) {
      ASSERT_EQ(batch.AddScanned(gone), TScanResult::srAdded) << "round " << round;
      model.push_back(gone);
      marks.push_back(false);
      present.insert(gone);
    }
  }
  ASSERT_EQ(Codes(batch), model);
  ASSERT_EQ(Marks(batch), marks);
  for (unsigned n = 0; n < 4001; ++n) ASSERT_EQ(batch.Contains(code(n)), present.count(code(n)) > 0) << n;
}

TEST(CodeBatch, ReplaceFromLinesTakesLinesUnchangedAndUnmarked)
{
  TCodeBatch batch;
  Fill(batch, {u"OLD1", u"OLD2"});
  batch.SetWholePackage(0, true);
  batch.SetWholePackage(1, true);
  Fill(batch, {u" a1 ", u"", u"A1", u"A1", Prefix()});
  EXPECT_EQ(Codes(batch), (std::vector<std::u16string>{u" a1 ", u"", u"A1", u"A1", Prefix()}));
  EXPECT_EQ(Marks(batch), (std::vector<bool>(5, false)));
  EXPECT_EQ(batch.AddScanned(u"OLD1"), TScanResult::srAdded);
}

TEST(CodeBatch, TextIsEveryCodeFollowedByCrLf)
{
  TCodeBatch batch;
  EXPECT_EQ(batch.Text(), u"");
  Fill(batch, {u"A1", u"", u"b 2"});
  EXPECT_EQ(batch.Text(), u"A1\r\n\r\nb 2\r\n");
  batch.DeleteAt(0);
  EXPECT_EQ(batch.Text(), u"\r\nb 2\r\n");
}

TEST(CodeBatch, ClearEmptiesButKeepsListEncoding)
{
  TCodeBatch batch;
  EXPECT_EQ(batch.ListEncoding(), TListEncoding::leAnsi);
  Fill(batch, {u"A1", u"B2"});
  batch.SetListEncoding(TListEncoding::leUtf16BE);
  batch.Clear();
  EXPECT_EQ(batch.Count(), 0);
  EXPECT_EQ(batch.Text(), u"");
  EXPECT_EQ(batch.ListEncoding(), TListEncoding::leUtf16BE);
  EXPECT_EQ(batch.AddScanned(u"A1"), TScanResult::srAdded);
}

}  // namespace
}  // namespace quenlora

namespace quenlora {
namespace {

// The duplicate index keeps the latest codes in a small table and moves them
// into a large one in bulk, growing the large one's filter as it goes. A
// loaded list starts in the large table. Whichever table holds a code, and
// whatever was deleted in between, a scan finds exactly the codes present.
TEST(CodeBatch, DuplicateTestAcrossTheIndexTables)
{
  auto code = [](unsigned n) {
    std::string text("Z");
    text += std::to_string(n);
    return std::u16string(text.begin(), text.end());
  };
  TCodeBatch batch;
  std::vector<std::u16string> model;
  std::vector<std::u16string> loaded;
  for (unsigned n = 0; n < 3000; ++n) loaded.push_back(code(n));
  const std::vector<std::u16string_view> lines(loaded.begin(), loaded.end());
  batch.ReplaceFromLines(lines);
  model = loaded;

  std::mt19937 random(20141208);
  for (unsigned n = 3000; n < 12000; ++n) {
    ASSERT_EQ(batch.AddScanned(code(n)), TScanResult::srAdded) << n;
    model.push_back(code(n));
    // Now and then a code goes, from anywhere in the batch, and is scanned again.
    if (n % 97 == 0) {
      const auto at = static_cast<std::ptrdiff_t>(random() % model.size());
      const std::u16string gone = model[static_cast<std::size_t>(at)];
      batch.DeleteAt(at);
      model.erase(model.begin() + at);
      ASSERT_FALSE(batch.Contains(gone)) << test::Utf8(gone);
      if (n % 2 == 0) {
        ASSERT_EQ(batch.AddScanned(gone), TScanResult::srAdded) << test::Utf8(gone);
        model.push_back(gone);
      }
    }
    if (n % 1000 == 0) {
      ASSERT_EQ(batch.AddScanned(code(n - 2500)), TScanResult::srAlreadyPresent) << n;
    }
  }
  ASSERT_EQ(Codes(batch), model);
  const std::set<std::u16string> present(model.begin(), model.end());
  for (unsigned n = 0; n < 12500; ++n) ASSERT_EQ(batch.Contains(code(n)), present.count(code(n)) > 0) << n;
  // A part of a code is not a code.
  EXPECT_FALSE(batch.Contains(u"Z"));
}

// A loaded file may hold one code on many lines, and several such codes in
// turn. Every copy is indexed: the code stays present until its last copy is
// deleted, also after scans have grown the index around the copies.
TEST(CodeBatch, LoadedCopiesOfOneCodeStayFoundUntilTheLastGoes)
{
  auto code = [](char lead, unsigned n) {
    const std::string text = lead + std::to_string(n);
    return std::u16string(text.begin(), text.end());
  };
  std::vector<std::u16string> loaded;
  for (unsigned n = 0; n < 6000; ++n) loaded.push_back(n % 3 == 0 ? u"SAME-A" : n % 3 == 1 ? u"SAME-B" : code('D', n));
  const std::vector<std::u16string_view> lines(loaded.begin(), loaded.end());
  TCodeBatch batch;
  batch.ReplaceFromLines(lines);
  std::vector<std::u16string> model = loaded;

  // Enough new scans to move them into the large table and grow it twice.
  for (unsigned n = 0; n < 20000; ++n) {
    ASSERT_EQ(batch.AddScanned(code('N', n)), TScanResult::srAdded) << n;
    model.push_back(code('N', n));
  }
  EXPECT_EQ(batch.AddScanned(u"SAME-A"), TScanResult::srAlreadyPresent);
  EXPECT_EQ(batch.AddScanned(u"SAME-B"), TScanResult::srAlreadyPresent);

  // Delete the copies of SAME-A one after another, from the back and the front.
  std::size_t copies = 2000;
  while (copies > 0) {
    const auto at = copies % 2 == 0 ? std::find(model.begin(), model.end(), u"SAME-A")
                                     : std::find(model.rbegin(), model.rend(), u"SAME-A").base() - 1;
    batch.DeleteAt(at - model.begin());
    model.erase(at);
    --copies;
    ASSERT_EQ(batch.Contains(u"SAME-A"), copies > 0) << copies;
  }
  EXPECT_EQ(batch.AddScanned(u"SAME-A"), TScanResult::srAdded);
  model.push_back(u"SAME-A");
  EXPECT_EQ(batch.AddScanned(u"SAME-B"), TScanResult::srAlreadyPresent);
  ASSERT_EQ(Codes(batch), model);
  for (const std::u16string& present : model) ASSERT_TRUE(batch.Contains(present)) << test::Utf8(present);
}

// Positions outside the batch are refused and change nothing.
TEST(CodeBatch, PositionsOutsideTheBatchAreRefused)
{
  TCodeBatch batch;
  Fill(batch, {u"A1", u"B2"});
  batch.SetWholePackage(1, true);
  const auto state = test::StateOf(batch);
  for (const std::ptrdiff_t index : {std::ptrdiff_t{-2}, std::ptrdiff_t{2}, std::ptrdiff_t{1000}}) {
    EXPECT_THROW(batch.Entry(index), std::out_of_range) << index;
    EXPECT_THROW(batch.Code(index), std::out_of_range) << index;
    EXPECT_THROW(batch.WholePackage(index), std::out_of_range) << index;
    EXPECT_THROW(batch.SetWholePackage(index, true), std::out_of_range) << index;
    EXPECT_THROW(batch.DeleteAt(index), std::out_of_range) << index;
    EXPECT_TRUE(test::StateOf(batch) == state) << index;
  }
  EXPECT_THROW(batch.Entry(-1), std::out_of_range);
}

// More lines, or a longer line, than an entry can hold: refused before
// anything is read or changed. The lines claim sizes that no test could
// allocate; only their sizes are looked at.
TEST(CodeBatch, ListsTooLargeAreRefused)
{
  TCodeBatch batch;
  Fill(batch, {u"A1"});
  const auto state = test::StateOf(batch);
  const char16_t text[] = u"X";
  const std::u16string_view tooLong(text, std::size_t{UINT32_MAX} + 1);
  const std::u16string_view lines[] = {u"B2", tooLong};
  EXPECT_THROW(batch.ReplaceFromLines(lines), std::length_error);
  EXPECT_TRUE(test::StateOf(batch) == state);
  const std::span<const std::u16string_view> tooMany(lines, std::size_t{TCodeIndex::kMaxEntries} + 1);
  EXPECT_THROW(batch.ReplaceFromLines(tooMany), std::length_error);
  EXPECT_TRUE(test::StateOf(batch) == state);
}

}  // namespace
}  // namespace quenlora

namespace quenlora {
namespace {

// The index's deletion pulls later members of a probe run into the hole; in a
// small, crowded table the runs wrap around its end. Whatever is inserted and
// erased in whatever order, every entry left is found and no erased one is.
TEST(CodeIndex, ErasingKeepsEveryProbeRunWhole)
{
  std::mt19937 random(8122014);
  for (int round = 0; round < 300; ++round) {
    TCodeIndex index;
    std::vector<std::uint32_t> hashes;  // by entry
    std::vector<bool> held;
    const auto codeOf = [](std::uint32_t entry) { return test::U16(std::to_string(entry)); };
    const auto found = [&](std::uint32_t entry) {
      return index.Contains(codeOf(entry), hashes[entry], [&](std::uint32_t e) { return codeOf(e); });
    };
    const std::uint32_t entries = 4 + random() % 9;  // up to 12 in a table of 16 cells
    for (std::uint32_t entry = 0; entry < entries; ++entry) {
      // Few distinct hashes: many entries share a home cell and a tag.
      hashes.push_back(static_cast<std::uint32_t>(random() % 6) * 0x2F000000u + (round % 3));
      index.Insert(entry, hashes[entry]);
      held.push_back(true);
    }
    for (std::uint32_t step = 0; step < entries; ++step) {
      const auto entry = static_cast<std::uint32_t>(random() % entries);
      ASSERT_EQ(index.Erase(entry, hashes[entry]), held[entry]) << "round " << round;
      held[entry] = false;
      std::size_t count = 0;
      for (std::uint32_t e = 0; e < entries; ++e) {
        ASSERT_EQ(found(e), held[e]) << "round " << round << ", entry " << e;
        count += held[e] ? 1 : 0;
      }
      ASSERT_EQ(index.Size(), count) << "round " << round;
    }
    index.Empty();
    ASSERT_EQ(index.Size(), 0u);
    for (std::uint32_t e = 0; e < entries; ++e) ASSERT_FALSE(found(e));
  }
  TCodeIndex empty;
  EXPECT_FALSE(empty.Erase(0, 0));
}

// The filter in front of the large table never rules out a code it holds; one
// never sized holds nothing and says so.
TEST(CodeFilter, NeverRulesOutWhatItHolds)
{
  TCodeFilter unsized;
  unsized.Add(12345);
  EXPECT_FALSE(unsized.MayContain(12345));
  TCodeFilter filter;
  filter.Reset(1000);
  EXPECT_EQ(filter.Capacity(), 1000u);
  std::mt19937 random(3122014);
  std::vector<std::uint32_t> held;
  for (int i = 0; i < 1000; ++i) held.push_back(static_cast<std::uint32_t>(random()));
  for (const std::uint32_t hash : held) filter.Add(hash);
  for (const std::uint32_t hash : held) ASSERT_TRUE(filter.MayContain(hash)) << hash;
  // Most codes it does not hold are ruled out, which is what it is for.
  int maybe = 0;
  for (int i = 0; i < 10000; ++i) maybe += filter.MayContain(static_cast<std::uint32_t>(random())) ? 1 : 0;
  EXPECT_LT(maybe, 1000);
  filter.Reset(10);
  EXPECT_FALSE(filter.MayContain(held[0]));
}

}  // namespace
}  // namespace quenlora
