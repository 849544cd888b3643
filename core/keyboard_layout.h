// SPDX-FileCopyrightText: 2026 The Quenlora authors
// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

#include <array>
#include <cstdint>
#include <span>
#include <string>
#include <string_view>

namespace quenlora {

// A key of the PC keyboard's typing block, named by the set-1 scan code the
// keyboard sends for it. The code belongs to the key, not to what is printed
// on it, so it is the same under every layout and on every system: Windows
// reports it as the key's scan code, Linux as the evdev key code (an X key
// code less 8).
using TKeyPosition = std::uint8_t;

// One key press: the key and whether Shift was held.
struct TKeyStroke {
  TKeyPosition Position = 0;
  bool Shift = false;

  bool operator==(const TKeyStroke&) const = default;
};

// What a key gives without and with Shift. A dead key is written as the
// combining form of its accent (U+0300 to U+036F), which no key types itself;
// 0 marks a position where the layout has no key.
struct TKeyLevels {
  char16_t Plain = 0;
  char16_t Shifted = 0;
};

struct TLayoutKey {
  TKeyPosition Position;
  TKeyLevels Levels;
};

constexpr bool IsDeadKey(char16_t symbol) { return symbol >= 0x0300 && symbol <= 0x036F; }

// A keyboard layout as a table from key positions to what the keys give.
class TKeyboardLayout {
public:
  static constexpr std::size_t kPositions = 0x80;

  template <std::size_t N>
  constexpr TKeyboardLayout(std::string_view name, const std::array<TLayoutKey, N>& keys) : name_(name)
  {
    for (const TLayoutKey& key : keys) levels_[key.Position] = key.Levels;
  }

  // The layout's name as the X keyboard configuration knows it ("cz(qwerty)").
  std::string_view Name() const { return name_; }
  // 0 where the layout has no such key.
  char16_t Symbol(TKeyStroke stroke) const
  {
    if (stroke.Position >= kPositions) return 0;
    const TKeyLevels& levels = levels_[stroke.Position];
    return stroke.Shift ? levels.Shifted : levels.Plain;
  }
  const TKeyLevels& Levels(TKeyPosition position) const { return levels_[position % kPositions]; }

private:
  std::string_view name_;
  std::array<TKeyLevels, kPositions> levels_{};
};

// The layouts keyboard-wedge scanners are set up for in this country, in the
// order a scan is tried with them: US first, then Czech QWERTZ (the default
// Czech layout) and Czech QWERTY.
const TKeyboardLayout& UsLayout();
const TKeyboardLayout& CzechLayout();
const TKeyboardLayout& CzechQwertyLayout();
std::span<const TKeyboardLayout* const> ScannerLayouts();

// One rule of how dead keys combine with the keys after them: the symbols
// pressed (dead keys in their combining form) and the text they give.
struct TDeadKeyRule {
  std::u16string_view Keys;
  std::u16string_view Result;
};
// Every rule whose keys the layouts above can type, sorted by Keys.
std::span<const TDeadKeyRule> DeadKeyRules();

// The text that the symbols of successive key presses give, as the X
// keyboard's compose rules make it: a dead key waits for the next key; a
// sequence that matches a rule gives the rule's text; one that can no longer
// match is dropped, and its last key gives its own character (nothing when it
// is a dead key); a sequence still waiting at the end gives nothing.
std::u16string ComposeSymbols(std::u16string_view symbols);

// The text the key presses type under the layout; false when a key is not
// on the layout (the keys were not typed for it).
bool ReadKeys(const TKeyboardLayout& layout, std::span<const TKeyStroke> keys, std::u16string& text);

}  // namespace quenlora
