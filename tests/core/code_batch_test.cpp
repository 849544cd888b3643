#include <gtest/gtest.h>

#include <algorithm>
#include <random>
#include <set>
#include <string>
#include <vector>

#include "code_batch.h"
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
