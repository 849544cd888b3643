// SPDX-FileCopyrightText: 2026 The Quenlora authors
// SPDX-License-Identifier: GPL-3.0-or-later
//
// A list is encoded in pieces of some sixteen thousand characters, so that a
// million codes are never held as one text. Codes longer than a piece, and
// surrogate pairs that fall exactly on a piece's edge, must come out byte for
// byte as if the text had been encoded whole; a batch and the same text give
// the same bytes, and what is saved reads back unchanged.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "batch_list_file.h"
#include "test_support.h"

namespace quenlora {
namespace {

using test::Codes;
using test::Hex;
using test::ReadBytes;
using test::TScratchFolder;
using test::U16;

using Strings = std::vector<std::u16string>;

constexpr std::size_t kPiece = 16384;  // the encoder's piece, in UTF-16 units
const std::u16string kPair = u"\U0001F600";
const std::u16string kLoneHigh(1, u'\xD83D');

std::u16string Repeated(std::size_t count, char16_t c) { return std::u16string(count, c); }

// The list's text: every code followed by CR LF.
std::u16string TextOf(const Strings& codes)
{
  std::u16string text;
  for (const auto& code : codes) text += code + u"\r\n";
  return text;
}

std::string Utf16(std::u16string_view text, bool bigEndian)
{
  std::string out = bigEndian ? "\xFE\xFF" : "\xFF\xFE";
  for (char16_t c : text) {
    const char high = static_cast<char>(c >> 8);
    const char low = static_cast<char>(c & 0xFF);
    out += bigEndian ? high : low;
    out += bigEndian ? low : high;
  }
  return out;
}

// A batch's codes, with the encoding it is saved in and the bytes expected
// (built here, independently of the encoder).
struct TCase {
  const char* Name;
  Strings Codes;
  TListEncoding Encoding;
  std::string Bytes;
};

std::vector<TCase> Cases()
{
  // The pair's high half is the last unit of the first piece: the piece must
  // end before it.
  const std::u16string pairAtEdge = Repeated(kPiece - 1, u'K') + kPair + u"tail";
  // The same at the second edge within a code.
  const std::u16string pairAtSecondEdge = Repeated(kPiece - 1, u'A') + kPair + Repeated(kPiece - 3, u'B') + kPair + u"C";
  // Codes that start part-way into a piece (after a short code and its CR
  // LF), and codes about a piece long, move the later edges elsewhere.
  const std::u16string shortFirst = u"Z1";
  const std::u16string afterShort = Repeated(kPiece - 5, u'D') + kPair + Repeated(3 * kPiece, u'E');
  const std::u16string fillsPiece = Repeated(kPiece - 2, u'F');
  // A pair whose low half is the piece's last unit needs no moving.
  const std::u16string pairInside = Repeated(kPiece - 2, u'P') + kPair + u"Q";
  const Strings pairs = {pairAtEdge, pairAtSecondEdge, shortFirst, afterShort, fillsPiece, u"\u010D" + kPair,
                         pairInside};

  // An unpaired half has no UTF-8 form: the whole file falls back to UTF-16
  // LE, whether the half is in a piece cut from a long code or in a piece
  // that a code ends.
  const std::u16string loneInCutPiece = u"x" + kLoneHigh + Repeated(2 * kPiece, u'G');
  const std::u16string loneEndingPiece = Repeated(kPiece - 3, u'H') + kLoneHigh;
  const Strings lone = {loneInCutPiece};
  const Strings loneAtEnd = {u"first", loneEndingPiece, u"last"};
  // A lone high half at the edge is cut after like any character: UTF-16
  // carries it as it is.
  const Strings loneAtEdge = {Repeated(kPiece - 1, u'L') + kLoneHigh + u"M"};

  std::vector<TCase> cases;
  for (TListEncoding encoding : {TListEncoding::leUtf8, TListEncoding::leAnsi}) {
    // ANSI cannot hold the emoji: UTF-8 with its mark, as for UTF-8.
    cases.push_back({"pairs at piece edges", pairs, encoding, "\xEF\xBB\xBF" + test::Utf8(TextOf(pairs))});
    cases.push_back({"unpaired half in a piece cut from a code", lone, encoding, Utf16(TextOf(lone), false)});
    cases.push_back({"unpaired half ending a piece", loneAtEnd, encoding, Utf16(TextOf(loneAtEnd), false)});
  }
  for (bool bigEndian : {false, true}) {
    const TListEncoding encoding = bigEndian ? TListEncoding::leUtf16BE : TListEncoding::leUtf16LE;
    cases.push_back({"pairs at piece edges", pairs, encoding, Utf16(TextOf(pairs), bigEndian)});
    cases.push_back({"unpaired half", loneAtEnd, encoding, Utf16(TextOf(loneAtEnd), bigEndian)});
    cases.push_back({"unpaired high half at the edge", loneAtEdge, encoding, Utf16(TextOf(loneAtEdge), bigEndian)});
  }
  // A character outside windows-1250 in a piece that a code ends: UTF-8.
  const Strings cjkAtEnd = {Repeated(kPiece - 3, u'C') + u"\u4E2D"};
  cases.push_back({"character outside the code page ending a piece", cjkAtEnd, TListEncoding::leAnsi,
                   "\xEF\xBB\xBF" + test::Utf8(TextOf(cjkAtEnd))});
  // Long plain windows-1250 text stays ANSI, one byte a character.
  const Strings czech = {Repeated(kPiece + 7, u'\u010D'), u"", Repeated(kPiece - 2, u'a')};
  cases.push_back({"long ANSI", czech, TListEncoding::leAnsi,
                   std::string(kPiece + 7, '\xE8') + "\r\n\r\n" + std::string(kPiece - 2, 'a') + "\r\n"});
  return cases;
}

const char* EncodingName(TListEncoding encoding)
{
  switch (encoding) {
    case TListEncoding::leAnsi: return "ANSI";
    case TListEncoding::leUtf8: return "UTF-8";
    case TListEncoding::leUtf16LE: return "UTF-16 LE";
    case TListEncoding::leUtf16BE: return "UTF-16 BE";
  }
  return "?";
}

TEST(ListFilePieces, LongCodesAndPairsAtPieceEdgesEncodeAsWholeText)
{
  TScratchFolder folder;
  const auto path = folder / "long.txt";
  for (const TCase& c : Cases()) {
    const std::string name = std::string(c.Name) + ", " + EncodingName(c.Encoding);
    TCodeBatch batch;
    const std::vector<std::u16string_view> lines(c.Codes.begin(), c.Codes.end());
    batch.ReplaceFromLines(lines);
    batch.SetListEncoding(c.Encoding);

    const std::string fromBatch = EncodeBatchList(batch, c.Encoding);
    const std::string fromText = EncodeBatchList(TextOf(c.Codes), c.Encoding);
    ASSERT_EQ(fromBatch.size(), c.Bytes.size()) << name;
    EXPECT_TRUE(fromBatch == c.Bytes) << name;
    EXPECT_TRUE(fromText == c.Bytes) << name << " (from the text)";

    SaveBatchList(batch, U16(path));
    EXPECT_TRUE(ReadBytes(path) == c.Bytes) << name << " (saved)";
    TCodeBatch loaded;
    LoadBatchList(loaded, U16(path));
    EXPECT_TRUE(Codes(loaded) == c.Codes) << name << " (read back)";
  }
}

// The text form stops at the first piece that cannot be encoded, as the batch
// form does, and ends pieces before a pair's low half too.
TEST(ListFilePieces, TextSplitAtPairsAndShortTexts)
{
  struct TTextCase {
    const char* Name;
    std::u16string Text;
  };
  const std::vector<TTextCase> cases = {
      {"empty", u""},
      {"shorter than a piece", u"A\r\n\u010D\r\n"},
      {"pair at the edge", Repeated(kPiece - 1, u'x') + kPair + u"\r\n"},
      {"exactly two pieces", Repeated(2 * kPiece - 2, u'y') + u"\r\n"},
      {"pair at the second edge", Repeated(2 * kPiece - 1, u'z') + kPair + u"\r\n"},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(Hex(EncodeBatchList(c.Text, TListEncoding::leUtf8)), Hex("\xEF\xBB\xBF" + test::Utf8(c.Text)))
        << c.Name;
    EXPECT_TRUE(EncodeBatchList(c.Text, TListEncoding::leUtf16BE) == Utf16(c.Text, true)) << c.Name;
  }
  // A lone high half at the edge, and one further on.
  for (const std::u16string& lone : {Repeated(kPiece - 1, u'x') + kLoneHigh + u"y\r\n",
                                     Repeated(kPiece, u'x') + kLoneHigh + u"\r\n"}) {
    EXPECT_TRUE(EncodeBatchList(lone, TListEncoding::leUtf8) == Utf16(lone, false));
    EXPECT_TRUE(EncodeBatchList(lone, TListEncoding::leUtf16BE) == Utf16(lone, true));
  }
}

}  // namespace
}  // namespace quenlora
