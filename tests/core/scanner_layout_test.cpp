// SPDX-FileCopyrightText: 2026 The Quenlora authors
// SPDX-License-Identifier: GPL-3.0-or-later

#include <gtest/gtest.h>

#include <optional>
#include <string>
#include <vector>

#include "code_batch.h"
#include "keyboard_layout.h"
#include "scanner_layout.h"
#include "unicode_text.h"

namespace quenlora {
namespace {

std::u16string LowerAscii(std::u16string_view text)
{
  std::u16string lower(text);
  for (char16_t& c : lower)
    if (c >= u'A' && c <= u'Z') c = static_cast<char16_t>(c - u'A' + u'a');
  return lower;
}

// The verification URL of a strip as its QR code holds it.
std::u16string Url(std::u16string_view code) { return LowerAscii(ScanPrefix) + std::u16string(code); }

// The keys a scanner set up for the layout presses to type the text: each
// character's key, without Shift where the layout has it there.
std::vector<TKeyStroke> KeysTyping(const TKeyboardLayout& layout, std::u16string_view text)
{
  std::vector<TKeyStroke> keys;
  for (char16_t c : text) {
    std::optional<TKeyStroke> found;
    for (bool shift : {false, true})
      for (std::size_t p = 0; p < TKeyboardLayout::kPositions && !found; ++p) {
        const TKeyStroke stroke{static_cast<TKeyPosition>(p), shift};
        if (layout.Symbol(stroke) == c) found = stroke;
      }
    if (!found) {
      ADD_FAILURE() << "no key types character " << static_cast<unsigned>(c) << " on " << layout.Name();
      return keys;
    }
    keys.push_back(*found);
  }
  return keys;
}

// What the input box holds after the keys: the keys read through the active layout.
std::u16string Typed(const TKeyboardLayout& active, const std::vector<TKeyStroke>& keys)
{
  std::u16string typed;
  EXPECT_TRUE(ReadKeys(active, keys, typed));
  return typed;
}

// What the batch gets: the repaired reading where there is one, the typed text otherwise.
std::u16string Stored(std::u16string_view typed, const std::vector<TKeyStroke>& keys)
{
  const std::optional<std::u16string> reading = ReadThroughScannerLayouts(typed, keys);
  return NormalizeScan(reading ? std::u16string_view(*reading) : typed).Candidate;
}

struct TMismatchCase {
  const char* Name;
  const TKeyboardLayout& Scanner;
  const TKeyboardLayout& Active;
  std::u16string Code;
  // What the batch got before mistyped scans were read again (measured on
  // the desktop with the default verification host).
  std::u16string Before;
};

TEST(ScannerLayout, ScansTypedThroughAnotherLayoutAreStoredAsTheQrCodeHoldsThem)
{
  const std::vector<TMismatchCase> cases = {
      {"control", UsLayout(), UsLayout(), u"KP0123456789", u"KP0123456789"},
      {"control", UsLayout(), UsLayout(), u"ZY-98765YZ", u"ZY-98765YZ"},
      {"control, Czech on Czech", CzechLayout(), CzechLayout(), u"ZY-98765YZ", u"ZY-98765YZ"},
      {"US scanner, Czech", UsLayout(), CzechLayout(), u"KP0123456789",
       u"HTTPS\"--OVERENI=KP.EXAMPLE-KPé+ěščřžýáí"},
      {"US scanner, Czech", UsLayout(), CzechLayout(), u"ZY-98765YZ", u"HTTPS\"--OVERENI=KP.EXAMPLE-YZ=íáýžřZY"},
      {"US scanner, Czech", UsLayout(), CzechLayout(), u"AB12CD34", u"HTTPS\"--OVERENI=KP.EXAMPLE-AB+ěCDšč"},
      {"US scanner, Czech QWERTY", UsLayout(), CzechQwertyLayout(), u"KP0123456789",
       u"HTTPS\"--OVERENI=KP.EXAMPLE-KPé+ěščřžýáí"},
      {"US scanner, Czech QWERTY", UsLayout(), CzechQwertyLayout(), u"ZY-98765YZ",
       u"HTTPS\"--OVERENI=KP.EXAMPLE-ZY=íáýžřYZ"},
      {"Czech scanner, US", CzechLayout(), UsLayout(), u"KP0123456789", u"HTTPS>{{OVERENI/KP.EXAMPLE{KP)!@#$%^&*("},
      {"Czech scanner, US", CzechLayout(), UsLayout(), u"ZY-98765YZ", u"HTTPS>{{OVERENI/KP.EXAMPLE{YZ/(*&^%ZY"},
      {"Czech scanner, Czech QWERTY", CzechLayout(), CzechQwertyLayout(), u"KP0123456789", u"KP0123456789"},
  };
  const bool defaultHost = ScanPrefix == u"HTTPS://OVERENI-KP.EXAMPLE/";
  for (const TMismatchCase& c : cases) {
    SCOPED_TRACE(testing::Message() << c.Name << ": " << testing::PrintToString(c.Code));
    const std::vector<TKeyStroke> keys = KeysTyping(c.Scanner, Url(c.Code));
    const std::u16string typed = Typed(c.Active, keys);
    if (defaultHost) {
      EXPECT_EQ(NormalizeScan(typed).Candidate, c.Before);
    }
    EXPECT_EQ(Stored(typed, keys), c.Code);
  }
}

TEST(ScannerLayout, YAndZFollowTheKeysOnBothCzechLayouts)
{
  // The prefix reads the same on both Czech layouts; only the keys say which Y and Z the scanner meant.
  for (const TKeyboardLayout* active : {&CzechLayout(), &CzechQwertyLayout()}) {
    SCOPED_TRACE(std::string(active->Name()));
    const std::vector<TKeyStroke> keys = KeysTyping(UsLayout(), Url(u"XYZ-ZZYY9"));
    EXPECT_EQ(Stored(Typed(*active, keys), keys), u"XYZ-ZZYY9");
  }
}

TEST(ScannerLayout, DeadKeysOfTheActiveLayoutDoNotStopTheReading)
{
  // On the Czech layouts the US keys = and + are dead keys: what the box shows
  // depends on the system (the accent dropped, or its spacing form put before
  // the next character), the keys do not.
  const std::vector<TKeyStroke> keys = KeysTyping(UsLayout(), Url(u"A=B+C\\1"));
  for (const std::u16string& shown : {Typed(CzechLayout(), keys), std::u16string(u"https\"--overeni=kp.example-a´b ˇc¨+")})
    EXPECT_EQ(Stored(shown, keys), u"A=B+C\\1") << testing::PrintToString(shown);
}

TEST(ScannerLayout, LeavesAloneWhatNeedsNoReadingOrHasNone)
{
  const std::vector<TKeyStroke> usKeys = KeysTyping(UsLayout(), Url(u"AB12"));
  const std::u16string viaCzech = Typed(CzechLayout(), usKeys);
  struct TCase {
    const char* Name;
    std::u16string Typed;
    std::vector<TKeyStroke> Keys;
  };
  const std::vector<TCase> cases = {
      // The typed text carries the prefix: it stands, whatever the keys say.
      {"prefix typed", Url(u"AB12"), KeysTyping(CzechLayout(), Url(u"AB12"))},
      {"prefix typed, upper case, blanks", u"  " + std::u16string(ScanPrefix) + u"AB12\t", usKeys},
      // Typed by hand: no reading of its keys has the prefix.
      {"hand-typed code", u"abc-123", KeysTyping(UsLayout(), u"abc-123")},
      {"hand-typed on Czech", u"+ěš", KeysTyping(CzechLayout(), u"+ěš")},
      // Pasted: no keys.
      {"pasted", viaCzech, {}},
      // A key that is no character key of any scanner layout (Escape).
      {"unknown key", viaCzech, [&] { auto keys = usKeys; keys.push_back({0x01, false}); return keys; }()},
      {"empty", u"", {}},
  };
  for (const TCase& c : cases) {
    SCOPED_TRACE(c.Name);
    EXPECT_EQ(ReadThroughScannerLayouts(c.Typed, c.Keys), std::nullopt);
  }
  EXPECT_EQ(ReadThroughScannerLayouts(viaCzech, usKeys), Url(u"AB12"));
}

TEST(ScannerLayout, CarriesScanPrefixAsNormalizeScanWouldRemoveIt)
{
  const std::u16string prefix(ScanPrefix);
  const std::u16string withoutSlash = prefix.substr(0, prefix.size() - 1);
  struct TCase {
    std::u16string Text;
    bool Carries;
  };
  const std::vector<TCase> cases = {
      {prefix, true},
      {LowerAscii(prefix) + u"x", true},
      {u"x" + prefix, true},
      {u"  " + prefix + u"\r\n", true},
      {withoutSlash, false},
      {withoutSlash + u"\\x", false},
      {u"", false},
      {u"čaj", false},
  };
  for (const TCase& c : cases) {
    EXPECT_EQ(CarriesScanPrefix(c.Text), c.Carries) << testing::PrintToString(c.Text);
    // The same answer as the normalisation: the prefix is removed exactly when it is carried.
    const TNormalizedScan scan = NormalizeScan(c.Text);
    if (scan.Accepted) {
      EXPECT_EQ(scan.Candidate.size() < Trim(c.Text).size(), c.Carries);
    }
  }
}

TEST(ReadKeys, DeadKeysComposeOrGiveWayToTheNextKey)
{
  const TKeyStroke acute{0x0D, false}, caron{0x0D, true}, ring{0x29, true}, diaeresis{0x2B, false};
  const TKeyStroke e{0x12, false}, u{0x16, false}, shiftU{0x16, true}, one{0x02, false}, space{0x39, false};
  struct TCase {
    std::vector<TKeyStroke> Keys;
    std::u16string Read;
  };
  const std::vector<TCase> cases = {
      {{acute, e}, u"é"},
      {{caron, e}, u"ě"},
      {{ring, u}, u"ů"},
      {{ring, shiftU}, u"Ů"},
      {{diaeresis, u}, u"ü"},
      {{acute, acute}, u"´"},
      {{acute, space}, u"'"},
      {{acute, one}, u"+"},
      {{e, acute}, u"e"},
      // A dead key that does not combine with the next dead key ends the
      // sequence; the letter after them stands alone, as X types it.
      {{acute, caron, e}, u"e"},
      {{acute, diaeresis, u}, u"ǘ"},
      {{caron}, u""},
  };
  const auto read = [](const TKeyboardLayout& layout, const std::vector<TKeyStroke>& keys) -> std::optional<std::u16string> {
    std::u16string text;
    if (!ReadKeys(layout, keys, text)) return std::nullopt;
    return text;
  };
  for (const TCase& c : cases) EXPECT_EQ(read(CzechLayout(), c.Keys), c.Read) << testing::PrintToString(c.Read);
  // The same keys on US are no dead keys.
  EXPECT_EQ(read(UsLayout(), {acute, e, caron}), u"=e+");
  // Positions outside the table give nothing, so there is no reading.
  EXPECT_EQ(read(UsLayout(), {{0x1C, false}}), std::nullopt);
  EXPECT_EQ(read(UsLayout(), {{0xFF, false}}), std::nullopt);
}

TEST(ComposeSymbols, FollowsTheRulesAndDropsWhatCannotMatch)
{
  struct TCase {
    std::u16string Symbols;
    std::u16string Text;
  };
  const std::vector<TCase> cases = {
      {u"\u0301a", u"á"}, {u"\u030Cc", u"č"}, {u"\u030Au", u"ů"}, {u"\u0301J", u"J\u0301"},
      {u"\u0301\u0308 ", u"\u0385"}, {u"\u0301-", u"-"}, {u"a\u0301", u"a"}, {u"", u""},
      // A dead key no rule begins with, or that sorts after every rule that
      // follows the first one, gives nothing; the next key types alone.
      {u"\u0360a", u"a"}, {u"\u030C\u036Fa", u"a"},
      // Combining marks end at U+036F: the characters after them are no dead keys.
      {u"\u0370\u0400", u"\u0370\u0400"},
  };
  for (const TCase& c : cases) EXPECT_EQ(ComposeSymbols(c.Symbols), c.Text) << testing::PrintToString(c.Symbols);
}

}  // namespace
}  // namespace quenlora
