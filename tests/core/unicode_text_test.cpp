// SPDX-FileCopyrightText: 2026 The Quenlora authors
// SPDX-License-Identifier: GPL-3.0-or-later

// Conversions between UTF-16 and UTF-8, strict and lossy, and the reasons
// of file errors as the messages carry them.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "batch_error.h"
#include "code_page_1250.h"
#include "return_document.h"
#include "test_support.h"
#include "unicode_text.h"

namespace quenlora {
namespace {

using test::Hex;

TEST(UnicodeText, PairedSurrogates)
{
  struct TCase {
    std::u16string Text;
    bool Paired;
  };
  const std::vector<TCase> cases = {
      {u"", true},
      {u"abc \u010D", true},
      {u"\U0001F600", true},
      {u"a\U0001F600b\U0001F600", true},
      {std::u16string(1, u'\xD83D'), false},             // high alone
      {std::u16string(1, u'\xDE00'), false},             // low alone
      {u"x" + std::u16string(1, u'\xD83D') + u"y", false},  // high before a non-surrogate
      {std::u16string{u'\xDE00', u'\xD83D'}, false},     // the pair reversed
      {std::u16string{u'\xD83D', u'\xD83D', u'\xDE00'}, false},
  };
  for (const auto& c : cases) EXPECT_EQ(HasOnlyPairedSurrogates(c.Text), c.Paired) << test::Utf8(c.Text);
}

// Lossy conversions stand in U+FFFD for what cannot be converted and keep the rest.
TEST(UnicodeText, LossyConversions)
{
  struct TToUtf8 {
    std::u16string Text;
    std::string Utf8;
  };
  const std::vector<TToUtf8> toUtf8 = {
      {u"A\u00E9\u20AC\U0001F600", "A\xC3\xA9\xE2\x82\xAC\xF0\x9F\x98\x80"},
      {u"a" + std::u16string(1, u'\xD800') + u"b", "a\xEF\xBF\xBD" "b"},
      {std::u16string{u'\xDC00', u'\xD800'}, "\xEF\xBF\xBD\xEF\xBF\xBD"},
      {std::u16string(1, u'\x7F') + std::u16string(1, u'\x80') + std::u16string(1, u'\x7FF') + u"\u0800",
       "\x7F\xC2\x80\xDF\xBF\xE0\xA0\x80"},
  };
  for (const auto& c : toUtf8) EXPECT_EQ(Hex(ToUtf8Lossy(c.Text)), Hex(c.Utf8)) << Hex(c.Utf8);

  struct TFromUtf8 {
    std::string Bytes;
    std::u16string Text;
  };
  const std::vector<TFromUtf8> fromUtf8 = {
      {"ok \xC4\x8D", u"ok \u010D"},
      {"\xF0\x9F\x98\x80", u"\U0001F600"},
      {"a\xFF" "b", u"a\uFFFDb"},                       // never a UTF-8 byte
      {"\xC0\xAF", u"\uFFFD\uFFFD"},                    // overlong
      {"\xE0\x80\xAF", u"\uFFFD\uFFFD\uFFFD"},          // overlong, three bytes
      {"\xED\xA0\x80", u"\uFFFD\uFFFD\uFFFD"},          // an encoded surrogate
      {"\xF4\x90\x80\x80", u"\uFFFD\uFFFD\uFFFD\uFFFD"},  // above U+10FFFF
      {"\xE2\x82", u"\uFFFD\uFFFD"},                    // cut short
      {"\xC3(", u"\uFFFD("},                            // no continuation byte
  };
  for (const auto& c : fromUtf8) EXPECT_EQ(FromUtf8Lossy(c.Bytes), c.Text) << Hex(c.Bytes);
}

// Strict UTF-8 encoding refuses an unpaired half wherever it stands; the
// text before it has been appended.
TEST(UnicodeText, StrictEncodingRefusesUnpairedSurrogates)
{
  struct TCase {
    std::u16string Text;
    std::string Appended;  // what out holds after the refusal
  };
  const std::vector<TCase> cases = {
      {u"ab" + std::u16string(1, u'\xD800'), ">ab"},
      {std::u16string(1, u'\xDC00') + u"ab", ">"},
      {u"\u010D" + std::u16string{u'\xD83D', u'x'}, ">\xC4\x8D"},
  };
  for (const auto& c : cases) {
    std::string out = ">";
    EXPECT_FALSE(AppendUtf8(c.Text, out)) << Hex(c.Appended);
    EXPECT_EQ(Hex(out), Hex(c.Appended));
  }
  std::string out = ">";
  EXPECT_TRUE(AppendUtf8(u"a\u00E9\u20AC\U0001F600", out));
  EXPECT_EQ(Hex(out), Hex(">a\xC3\xA9\xE2\x82\xAC\xF0\x9F\x98\x80"));
}

TEST(UnicodeText, StrictDecodingRefusesWhatLossyReplaces)
{
  for (const std::string bytes : {"a\xFF", "\xC0\xAF", "\xED\xA0\x80", "\xF4\x90\x80\x80", "\xE2\x82", "\xF8\x88\x80\x80\x80"}) {
    std::u16string out = u"kept";
    EXPECT_FALSE(DecodeUtf8Strict(bytes, out)) << Hex(bytes);
    EXPECT_EQ(out, u"kept") << Hex(bytes);
  }
  std::u16string out = u">";
  EXPECT_TRUE(DecodeUtf8Strict("\xF0\x9F\x98\x80\xC4\x8D", out));
  EXPECT_EQ(out, u">\U0001F600\u010D");

  // ASCII goes eight bytes at a time: texts that end exactly at, just before
  // and just after such a step, and a non-ASCII byte in each position of one.
  for (std::size_t length : {7u, 8u, 9u, 16u, 17u}) {
    std::string ascii;
    std::u16string expected;
    for (std::size_t i = 0; i < length; ++i) {
      ascii += static_cast<char>('A' + i);
      expected += static_cast<char16_t>(u'A' + i);
    }
    std::u16string decoded;
    EXPECT_TRUE(DecodeUtf8Strict(ascii, decoded)) << length;
    EXPECT_EQ(decoded, expected) << length;
  }
  for (std::size_t at = 0; at < 8; ++at) {
    std::string bytes = "abcdefgh";
    bytes.replace(at, 1, "\xC4\x8D");
    std::u16string expected = u"abcdefgh";
    expected[at] = u'\u010D';
    std::u16string decoded;
    EXPECT_TRUE(DecodeUtf8Strict(bytes, decoded)) << at;
    EXPECT_EQ(decoded, expected) << at;
  }
}

// UTF-16 from bytes in either order; an odd last byte is ignored.
TEST(UnicodeText, Utf16FromBytes)
{
  struct TCase {
    std::string Bytes;
    std::u16string LittleEndian;
    std::u16string BigEndian;
  };
  const std::vector<TCase> cases = {
      {"", u"", u""},
      {"A", u"", u""},
      {std::string("A\0", 2), u"A", u"\u4100"},
      {std::string("\x0D\x01\x3D\xD8\x00\xDE\x7F", 7), u"\u010D\U0001F600", u"\u0D01\u3DD8\u00DE"},
      {"\xFF\xFE", u"\uFEFF", u"\uFFFE"},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(DecodeUtf16LE(c.Bytes), c.LittleEndian) << Hex(c.Bytes);
    EXPECT_EQ(DecodeUtf16BE(c.Bytes), c.BigEndian) << Hex(c.Bytes);
  }
}

// windows-1250 holds ASCII, its own letters, and nothing else.
TEST(UnicodeText, Windows1250Encoding)
{
  struct TCase {
    char16_t Character;
    bool Held;
    unsigned char Byte;
  };
  const std::vector<TCase> cases = {
      {u'A', true, 0x41},      {u'\x7F', true, 0x7F},   {u'\u010D', true, 0xE8},  {u'\u20AC', true, 0x80},
      {u'\u02D9', true, 0xFF},  {u'\u0100', false, 0},   {u'\uFFFF', false, 0},    {u'\u00E0', false, 0},
  };
  for (const auto& c : cases) {
    unsigned char byte = 0;
    EXPECT_EQ(EncodeCp1250(c.Character, byte), c.Held) << static_cast<unsigned>(c.Character);
    if (c.Held) {
      EXPECT_EQ(byte, c.Byte) << static_cast<unsigned>(c.Character);
    }
  }
}

// A document line that holds an unpaired surrogate is carried with U+FFFD in
// its place (the export itself refuses such codes before building lines).
TEST(UnicodeText, DocumentLinesCarryUnpairedSurrogatesAsReplacement)
{
  TDocumentLines lines;
  lines.Add(u"a" + std::u16string(1, u'\xDC01') + u"b");
  lines.Add(u"\u010D");
  // A high half at the very end, or before anything but a low half.
  lines.Add(u"c" + std::u16string(1, u'\xD83D'));
  lines.Add(std::u16string{u'\xD83D', u'\xD83D', u'\xDE00', u'\xD800', u'd'});
  ASSERT_EQ(lines.Count(), 4);
  EXPECT_EQ(lines.Line(0), u"a\uFFFDb");
  EXPECT_EQ(lines.Line(1), u"\u010D");
  EXPECT_EQ(lines.Line(2), u"c\uFFFD");
  EXPECT_EQ(lines.Line(3), u"\uFFFD\U0001F600\uFFFDd");
  EXPECT_EQ(Hex(lines.Utf8()), Hex("a\xEF\xBF\xBD" "b\r\n\xC4\x8D\r\nc\xEF\xBF\xBD\r\n"
                                   "\xEF\xBF\xBD\xF0\x9F\x98\x80\xEF\xBF\xBD" "d\r\n"));
  EXPECT_THROW(lines.Line(4), std::out_of_range);
  EXPECT_THROW(lines.Line(-1), std::out_of_range);
}

// The system's reason goes into a message without its trailing blanks,
// line breaks and periods; a path that is not valid text still reads.
TEST(FileErrors, ReasonsAndPathsInMessages)
{
  struct TCase {
    std::u16string Reason;
    std::u16string Cleaned;
  };
  const std::vector<TCase> cases = {
      {u"Access is denied.\r\n", u"Access is denied"},
      {u"No such file or directory", u"No such file or directory"},
      {u"Too long. \t. ", u"Too long"},
      {u"v1.2 failed\n", u"v1.2 failed"},
      {u" .\t\r\n", u""},
      {u"", u""},
  };
  for (const auto& c : cases) EXPECT_EQ(CleanReason(c.Reason), c.Cleaned) << test::Utf8(c.Reason);

  const std::u16string path = u"/tmp/" + std::u16string(1, u'\xD800') + u".txt";
  const TBatchError error = CannotCreateFile(path, u"Permission denied.");
  EXPECT_EQ(error.Message(), u"Cannot create file \"" + path + u"\". Permission denied");
  EXPECT_STREQ(error.what(), "Cannot create file \"/tmp/\xEF\xBF\xBD.txt\". Permission denied");
  EXPECT_EQ(CannotOpenFile(u"a.txt", u"Gone").Message(), u"Cannot open file \"a.txt\". Gone");
  EXPECT_STREQ(StreamWriteError().what(), "Stream write error");
}

}  // namespace
}  // namespace quenlora
