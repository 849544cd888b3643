// SPDX-FileCopyrightText: 2026 The Quenlora authors
// SPDX-License-Identifier: GPL-3.0-or-later

// The core's layout tables against the system's own XKB definitions, compiled
// by libxkbcommon as Qt and the X server compile them.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <string>
#include <vector>

#include "keyboard_layout.h"
#include "xkb_keymaps.h"

namespace quenlora::test {
namespace {

struct TLayoutCase {
  const TKeyboardLayout& (*Layout)();
  const char* XkbLayout;
  const char* XkbVariant;
};

void PrintTo(const TLayoutCase& c, std::ostream* out) { *out << c.XkbLayout << "(" << c.XkbVariant << ")"; }

class LayoutTableAgainstXkb : public testing::TestWithParam<TLayoutCase> {};

std::string Describe(TKeyStroke stroke)
{
  char text[32];
  std::snprintf(text, sizeof text, "key 0x%02X%s", stroke.Position, stroke.Shift ? " with Shift" : "");
  return text;
}

std::string Describe(const std::vector<TKeyStroke>& strokes)
{
  std::string text;
  for (const TKeyStroke stroke : strokes) text += (text.empty() ? "" : ", ") + Describe(stroke);
  return text;
}

std::vector<TKeyStroke> CharacterStrokes()
{
  std::vector<TKeyStroke> strokes;
  for (TKeyPosition p : CharacterKeyPositions())
    for (bool shift : {false, true}) strokes.push_back({p, shift});
  return strokes;
}

TEST_P(LayoutTableAgainstXkb, EveryCharacterKeyAsTheSystemDefinesIt)
{
  const TXkbLayout xkb(GetParam().XkbLayout, GetParam().XkbVariant);
  const TKeyboardLayout& table = GetParam().Layout();
  const std::vector<TKeyPosition> covered = CharacterKeyPositions();
  int characters = 0;
  for (std::size_t p = 0; p < 0x100; ++p) {
    for (bool shift : {false, true}) {
      const TKeyStroke stroke{static_cast<TKeyPosition>(p), shift};
      if (std::find(covered.begin(), covered.end(), stroke.Position) == covered.end()) {
        // Outside the main block's character keys (Escape, Backspace, Tab,
        // Return, the modifiers, the keypad): nothing a scan is read with.
        EXPECT_EQ(table.Symbol(stroke), 0) << Describe(stroke);
        continue;
      }
      const char16_t expected = TableSymbolOf(xkb.Keysym(stroke));
      EXPECT_NE(expected, 0) << Describe(stroke) << " types nothing on the system's layout";
      EXPECT_EQ(table.Symbol(stroke), expected) << Describe(stroke);
      ++characters;
    }
  }
  // The 47 keys of the four character rows, the key between left Shift and Z,
  // and space: each types something, with and without Shift.
  EXPECT_EQ(characters, 2 * 49);
}

TEST_P(LayoutTableAgainstXkb, DeadKeysComposeAsTheSystemsRulesSay)
{
  // Every dead key followed by any two keys reads as the system types it.
  const TXkbLayout xkb(GetParam().XkbLayout, GetParam().XkbVariant);
  const TXkbCompose compose;
  const TKeyboardLayout& table = GetParam().Layout();
  const std::vector<TKeyStroke> strokes = CharacterStrokes();
  int deadKeys = 0;
  int composed = 0;
  for (const TKeyStroke dead : strokes) {
    if (!IsDeadKeysym(xkb.Keysym(dead))) continue;
    ++deadKeys;
    for (const TKeyStroke second : strokes) {
      for (const TKeyStroke third : strokes) {
        const std::vector<TKeyStroke> keys{dead, second, third};
        std::vector<xkb_keysym_t> keysyms;
        for (const TKeyStroke key : keys) keysyms.push_back(xkb.Keysym(key));
        const std::u16string expected = compose.Type(keysyms);
        std::u16string read;
        ASSERT_TRUE(ReadKeys(table, keys, read)) << Describe(keys);
        ASSERT_EQ(read, expected) << Describe(keys);
        if (expected.size() < 3) ++composed;
      }
    }
  }
  if (GetParam().Layout().Name() == "us") {
    EXPECT_EQ(deadKeys, 0);
  } else {
    // Acute and caron on the key right of the digits, diaeresis on the key
    // above Return, ring above with Shift on the key above Tab.
    EXPECT_EQ(deadKeys, 4);
    EXPECT_GT(composed, 1000);
  }
}

INSTANTIATE_TEST_SUITE_P(ScannerLayouts, LayoutTableAgainstXkb,
                         testing::Values(TLayoutCase{&UsLayout, "us", ""}, TLayoutCase{&CzechLayout, "cz", ""},
                                         TLayoutCase{&CzechQwertyLayout, "cz", "qwerty"}),
                         [](const testing::TestParamInfo<TLayoutCase>& info) {
                           return std::string(info.param.XkbLayout) + info.param.XkbVariant;
                         });

TEST(DeadKeyRules, AreTheSystemsRulesForTheKeysTheLayoutsType)
{
  const TXkbCompose compose;
  std::vector<xkb_keysym_t> typed;
  for (const auto& layout : {std::pair{"us", ""}, std::pair{"cz", ""}, std::pair{"cz", "qwerty"}}) {
    const TXkbLayout xkb(layout.first, layout.second);
    for (const TKeyStroke stroke : CharacterStrokes()) typed.push_back(xkb.Keysym(stroke));
  }
  std::sort(typed.begin(), typed.end());
  typed.erase(std::unique(typed.begin(), typed.end()), typed.end());
  const auto keysymOf = [&](char16_t symbol) {
    for (xkb_keysym_t keysym : typed)
      if (TableSymbolOf(keysym) == symbol) return keysym;
    ADD_FAILURE() << "no layout types the symbol " << static_cast<unsigned>(symbol);
    return xkb_keysym_t{0};
  };
  const std::span<const TDeadKeyRule> rules = DeadKeyRules();
  EXPECT_TRUE(std::is_sorted(rules.begin(), rules.end(),
                             [](const TDeadKeyRule& a, const TDeadKeyRule& b) { return a.Keys < b.Keys; }));
  for (const TDeadKeyRule& rule : rules) {
    std::vector<xkb_keysym_t> keysyms;
    for (char16_t symbol : rule.Keys) keysyms.push_back(keysymOf(symbol));
    EXPECT_EQ(compose.Rule(keysyms), std::u16string(rule.Result)) << testing::PrintToString(std::u16string(rule.Keys));
  }
  EXPECT_GT(rules.size(), 100u);
}

}  // namespace
}  // namespace quenlora::test
