// SPDX-FileCopyrightText: 2026 The Quenlora authors
// SPDX-License-Identifier: GPL-3.0-or-later

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "return_document.h"
#include "test_support.h"

namespace quenlora {
namespace {

using test::Fill;
using test::Hex;
using test::ReadBytes;
using test::TScratchFolder;
using test::U16;
using test::Utf8;

std::vector<std::u16string> LinesOf(const TDocumentLines& document)
{
  std::vector<std::u16string> lines;
  for (std::ptrdiff_t i = 0; i < document.Count(); ++i) lines.emplace_back(document.Line(i));
  return lines;
}

const std::u16string kDeclaration = u"<?xml version=\"1.0\" encoding=\"utf-8\"?>";
const std::u16string kRootEnd = u"</VraceneKontrolniPasky>";

std::u16string RootStart()
{
  return u"<VraceneKontrolniPasky xmlns=\"http://" + std::u16string(NamespaceHost) +
         u"/XMLSchema/RZL/VraceneKP/1.0.0\">";
}

std::u16string CodeLine(std::u16string_view text)
{
  return u"<IndividualniKod>" + std::u16string(text) + u"</IndividualniKod>";
}

// The file as it must be: mark, then every line ended by CR LF.
std::string FileBytes(const std::vector<std::u16string>& lines)
{
  std::string bytes = "\xEF\xBB\xBF";
  for (const auto& line : lines) bytes += Utf8(line) + "\r\n";
  return bytes;
}

// AB12 marked, " CD34" unmarked.
void FillWorkedExample(TCodeBatch& batch)
{
  Fill(batch, {u"AB12", u" CD34"});
  batch.SetWholePackage(0, true);
}

TEST(ReturnDocument, WorkedExampleWrittenByteForByte)
{
  TCodeBatch batch;
  FillWorkedExample(batch);
  struct TCase {
    TExportKind Kind;
    std::vector<std::u16string> Lines;
  };
  const std::vector<TCase> cases = {
      {xkKombi,
       {kDeclaration, RootStart(), u"<NeporusenaBaleni>", CodeLine(u"AB12"), u"</NeporusenaBaleni>",
        u"<JednotliveKontrolniPasky>", CodeLine(u"CD34"), u"</JednotliveKontrolniPasky>", kRootEnd}},
      {xkFull,
       {kDeclaration, RootStart(), u"<NeporusenaBaleni>", CodeLine(u"AB12"), CodeLine(u"CD34"),
        u"</NeporusenaBaleni>", kRootEnd}},
      {xkSingle,
       {kDeclaration, RootStart(), u"<JednotliveKontrolniPasky>", CodeLine(u"AB12"), CodeLine(u"CD34"),
        u"</JednotliveKontrolniPasky>", kRootEnd}},
  };
  TScratchFolder folder;
  for (const auto& c : cases) {
    const TDocumentLines document = BuildReturnDocument(batch, c.Kind);
    EXPECT_EQ(LinesOf(document), c.Lines) << "kind " << c.Kind;
    const auto path = folder / ("export" + std::to_string(c.Kind) + ".xml");
    WriteReturnDocument(document, U16(path));
    const std::string expected = FileBytes(c.Lines);
    const std::string actual = ReadBytes(path);
    EXPECT_EQ(actual, expected) << "kind " << c.Kind << "\nactual:   " << Hex(actual) << "\nexpected: " << Hex(expected);
  }
  // The entry keeps its blank; only the written text is trimmed.
  EXPECT_EQ(batch.Entry(1).Code, u" CD34");
}

TEST(ReturnDocument, EmptyBatch)
{
  const TCodeBatch batch;
  EXPECT_EQ(LinesOf(BuildReturnDocument(batch, xkSingle)),
            (std::vector<std::u16string>{kDeclaration, RootStart(), u"<JednotliveKontrolniPasky>",
                                         u"</JednotliveKontrolniPasky>", kRootEnd}));
  EXPECT_EQ(LinesOf(BuildReturnDocument(batch, xkFull)),
            (std::vector<std::u16string>{kDeclaration, RootStart(), u"<NeporusenaBaleni>", u"</NeporusenaBaleni>",
                                         kRootEnd}));
  EXPECT_EQ(LinesOf(BuildReturnDocument(batch, xkKombi)),
            (std::vector<std::u16string>{kDeclaration, RootStart(), kRootEnd}));
}

TEST(ReturnDocument, KombiWritesOnlySectionsThatHaveEntries)
{
  TCodeBatch batch;
  Fill(batch, {u"A1", u"B2"});
  EXPECT_EQ(LinesOf(BuildReturnDocument(batch, xkKombi)),
            (std::vector<std::u16string>{kDeclaration, RootStart(), u"<JednotliveKontrolniPasky>", CodeLine(u"A1"),
                                         CodeLine(u"B2"), u"</JednotliveKontrolniPasky>", kRootEnd}));
  batch.SetWholePackage(0, true);
  batch.SetWholePackage(1, true);
  EXPECT_EQ(LinesOf(BuildReturnDocument(batch, xkKombi)),
            (std::vector<std::u16string>{kDeclaration, RootStart(), u"<NeporusenaBaleni>", CodeLine(u"A1"),
                                         CodeLine(u"B2"), u"</NeporusenaBaleni>", kRootEnd}));
}

TEST(ReturnDocument, KombiKeepsBatchOrderWithinEachSection)
{
  TCodeBatch batch;
  Fill(batch, {u"U1", u"M1", u"U2", u"M2"});
  batch.SetWholePackage(1, true);
  batch.SetWholePackage(3, true);
  EXPECT_EQ(LinesOf(BuildReturnDocument(batch, xkKombi)),
            (std::vector<std::u16string>{kDeclaration, RootStart(), u"<NeporusenaBaleni>", CodeLine(u"M1"),
                                         CodeLine(u"M2"), u"</NeporusenaBaleni>", u"<JednotliveKontrolniPasky>",
                                         CodeLine(u"U1"), CodeLine(u"U2"), u"</JednotliveKontrolniPasky>",
                                         kRootEnd}));
}

// Codes are written so that an XML parser reads back the trimmed code exactly.
TEST(ReturnDocument, CodeLinesAreTrimmedAndEscaped)
{
  struct TCase {
    std::u16string Code;
    std::u16string Written;
  };
  const std::vector<TCase> cases = {
      {u"A&B", u"A&amp;B"},
      {u" <x>\t", u"&lt;x&gt;"},
      {u"x>y", u"x&gt;y"},
      {u"&amp;", u"&amp;amp;"},
      {u"\"q'", u"\"q'"},
      {u"A\tB\nC", u"A\tB\nC"},
      {u"C\rD", u"C&#13;D"},
      {u"\r\n", u""},
      {u" \t ", u""},
      {u"", u""},
      {u"\x01" u"ABC\x1F", u"ABC"},  // control characters at the ends are trimmed away
      {u"čaj Ř\u00A0", u"čaj Ř\u00A0"},
      {u"\U0001F600\uFFFD\uE000", u"\U0001F600\uFFFD\uE000"},
      {std::u16string(64, u'Q'), std::u16string(64, u'Q')},
      {std::u16string(65, u'Q') + u"\x7F", std::u16string(65, u'Q') + u"\x7F"},
      {std::u16string(70, u'Z') + u"<&>\rY", std::u16string(70, u'Z') + u"&lt;&amp;&gt;&#13;Y"},
  };
  TCodeBatch batch;
  for (const auto& c : cases) {
    Fill(batch, {c.Code});
    const TDocumentLines document = BuildReturnDocument(batch, xkSingle);
    ASSERT_EQ(document.Count(), 6);
    EXPECT_EQ(document.Line(3), CodeLine(c.Written)) << "code " << Utf8(c.Code);
  }
}

TEST(ReturnDocument, EscapedCodeIsWrittenAsUtf8)
{
  TCodeBatch batch;
  Fill(batch, {u"č&\rX\U0001F600"});
  TScratchFolder folder;
  const auto path = folder / "escaped.xml";
  WriteReturnDocument(BuildReturnDocument(batch, xkFull), U16(path));
  const std::string expected = "\xEF\xBB\xBF" + Utf8(kDeclaration) + "\r\n" + Utf8(RootStart()) +
                               "\r\n<NeporusenaBaleni>\r\n<IndividualniKod>\xC4\x8D&amp;&#13;X\xF0\x9F\x98\x80"
                               "</IndividualniKod>\r\n</NeporusenaBaleni>\r\n</VraceneKontrolniPasky>\r\n";
  EXPECT_EQ(ReadBytes(path), expected);
}

// A character XML 1.0 cannot carry stops the export before anything is written.
TEST(ReturnDocument, UnwritableCharacterFailsNamingThePosition)
{
  struct TCase {
    std::u16string Code;
    std::u16string Hex;
  };
  const std::vector<TCase> cases = {
      {std::u16string(u"A\0B", 3), u"0000"},
      {u"A\x01" u"B", u"0001"},
      {u"A\x1F" u"B", u"001F"},
      {u"A\x0B" u"B", u"000B"},
      {u"A\xD800", u"D800"},
      {u"\xDC00" u"B", u"DC00"},
      {u"\xD800\xD800\xDC00", u"D800"},
      {u"A\uFFFE", u"FFFE"},
      {u"A\uFFFF", u"FFFF"},
  };
  TScratchFolder folder;
  const auto path = folder / "bad.xml";
  for (const auto& c : cases) {
    TCodeBatch batch;
    // The bad code is the third entry, and the only unmarked one, so in the
    // kombi document it is the first individual strip: the position names
    // the entry in the batch, not in its section.
    Fill(batch, {u"M1", u"M2", c.Code});
    batch.SetWholePackage(0, true);
    batch.SetWholePackage(1, true);
    for (TExportKind kind : {xkSingle, xkFull, xkKombi}) {
      const std::u16string message = test::BatchErrorOf([&] {
        const TDocumentLines document = BuildReturnDocument(batch, kind);
        WriteReturnDocument(document, U16(path));
      });
      EXPECT_TRUE(message.starts_with(u"Kód na pozici 3 obsahuje znak U+" + c.Hex + u", "))
          << "U+" << Utf8(c.Hex) << " kind " << kind << ": " << Utf8(message);
      EXPECT_FALSE(test::fs::exists(path));
    }
  }
}

TEST(ReturnDocument, PositionCountsFromOneOverTheWholeBatch)
{
  TCodeBatch batch;
  std::vector<std::u16string> codes(11, u"OK");
  codes[10] = u"X\x02Y";
  std::vector<std::u16string_view> lines(codes.begin(), codes.end());
  batch.ReplaceFromLines(lines);
  const std::u16string message = test::BatchErrorOf([&] { BuildReturnDocument(batch, xkSingle); });
  EXPECT_TRUE(message.starts_with(u"Kód na pozici 11 obsahuje znak U+0002, ")) << Utf8(message);
}

TEST(ReturnDocument, ExportReplacesExistingFileAndRepeatsIdentically)
{
  TCodeBatch batch;
  FillWorkedExample(batch);
  TScratchFolder folder;
  const auto path = folder / "export.xml";
  test::WriteBytes(path, std::string(5000, 'x'));
  WriteReturnDocument(BuildReturnDocument(batch, xkKombi), U16(path));
  const std::string first = ReadBytes(path);
  ASSERT_TRUE(first.starts_with("\xEF\xBB\xBF<?xml"));
  ASSERT_TRUE(first.ends_with("</VraceneKontrolniPasky>\r\n"));
  WriteReturnDocument(BuildReturnDocument(batch, xkKombi), U16(path));
  EXPECT_EQ(ReadBytes(path), first);
  EXPECT_EQ(test::ListTree(folder.Path()), std::set<std::string>{"export.xml"});
}

}  // namespace
}  // namespace quenlora
