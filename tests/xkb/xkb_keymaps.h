// SPDX-FileCopyrightText: 2026 The Quenlora authors
// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

#include <xkbcommon/xkbcommon-compose.h>
#include <xkbcommon/xkbcommon.h>

#include <optional>
#include <span>
#include <string>
#include <vector>

#include "keyboard_layout.h"

namespace quenlora::test {

// The main-block keys that type characters: the positions the layout tables cover.
std::vector<TKeyPosition> CharacterKeyPositions();

// A layout compiled by the system's own XKB compiler from its symbol files,
// as setxkbmap sets it (rules evdev, model pc105).
class TXkbLayout {
public:
  TXkbLayout(const std::string& layout, const std::string& variant);
  ~TXkbLayout();
  TXkbLayout(const TXkbLayout&) = delete;
  TXkbLayout& operator=(const TXkbLayout&) = delete;

  // The keysym the key gives with or without Shift held.
  xkb_keysym_t Keysym(TKeyStroke stroke) const;
  // The key's name in the XKB definitions ("AE01").
  std::string KeyName(TKeyPosition position) const;

private:
  xkb_context* context_ = nullptr;
  xkb_keymap* keymap_ = nullptr;
  xkb_state* plain_ = nullptr;
  xkb_state* shifted_ = nullptr;
};

bool IsDeadKeysym(xkb_keysym_t keysym);
// How the layout tables write a keysym: a character, or a dead key as the
// combining form of its accent; 0 for a keysym that types nothing.
char16_t TableSymbolOf(xkb_keysym_t keysym);

// The system's compose rules for a Czech user (the Compose file of
// cs_CZ.UTF-8), applied as an X program's input box applies them.
class TXkbCompose {
public:
  TXkbCompose();
  ~TXkbCompose();
  TXkbCompose(const TXkbCompose&) = delete;
  TXkbCompose& operator=(const TXkbCompose&) = delete;

  // What the keysyms, pressed one after another, put into an input box: a
  // sequence that matches a rule gives its text; one that stops matching is
  // dropped and its last key types its own character (a dead key none).
  std::u16string Type(std::span<const xkb_keysym_t> keysyms) const;
  // The text of the rule for exactly these keysyms, if there is one.
  std::optional<std::u16string> Rule(std::span<const xkb_keysym_t> keysyms) const;
  // Whether the keysyms begin a longer rule.
  bool Begins(std::span<const xkb_keysym_t> keysyms) const;

private:
  xkb_compose_status Feed(std::span<const xkb_keysym_t> keysyms) const;
  std::u16string Result() const;

  xkb_context* context_ = nullptr;
  xkb_compose_table* table_ = nullptr;
  xkb_compose_state* state_ = nullptr;
};

}  // namespace quenlora::test
