// SPDX-FileCopyrightText: 2026 The Quenlora authors
// SPDX-License-Identifier: GPL-3.0-or-later

#include "xkb_keymaps.h"

#include <stdexcept>

#include "unicode_text.h"

namespace quenlora::test {

namespace {

// X11 keycodes are evdev key codes plus 8.
constexpr xkb_keycode_t kEvdevOffset = 8;

}  // namespace

std::vector<TKeyPosition> CharacterKeyPositions()
{
  std::vector<TKeyPosition> positions;
  auto range = [&](TKeyPosition first, TKeyPosition last) {
    for (int p = first; p <= last; ++p) positions.push_back(static_cast<TKeyPosition>(p));
  };
  range(0x02, 0x0D);  // the digit row, 1 to the key left of Backspace
  range(0x10, 0x1B);  // Q to the key left of Return
  range(0x1E, 0x29);  // A to the key above Tab (grave on US)
  range(0x2B, 0x35);  // the key above Return (backslash on US), Z to slash
  positions.push_back(0x39);  // space
  positions.push_back(0x56);  // the key between left Shift and Z
  return positions;
}

TXkbLayout::TXkbLayout(const std::string& layout, const std::string& variant)
{
  context_ = xkb_context_new(XKB_CONTEXT_NO_ENVIRONMENT_NAMES);
  if (!context_) throw std::runtime_error("no XKB context");
  const xkb_rule_names names{"evdev", "pc105", layout.c_str(), variant.c_str(), ""};
  keymap_ = xkb_keymap_new_from_names(context_, &names, XKB_KEYMAP_COMPILE_NO_FLAGS);
  if (!keymap_) {
    xkb_context_unref(context_);
    throw std::runtime_error("XKB cannot compile the layout " + layout + "(" + variant + ")");
  }
  plain_ = xkb_state_new(keymap_);
  shifted_ = xkb_state_new(keymap_);
  const xkb_mod_mask_t shift = 1u << xkb_keymap_mod_get_index(keymap_, XKB_MOD_NAME_SHIFT);
  xkb_state_update_mask(shifted_, shift, 0, 0, 0, 0, 0);
}

TXkbLayout::~TXkbLayout()
{
  xkb_state_unref(shifted_);
  xkb_state_unref(plain_);
  xkb_keymap_unref(keymap_);
  xkb_context_unref(context_);
}

xkb_keysym_t TXkbLayout::Keysym(TKeyStroke stroke) const
{
  return xkb_state_key_get_one_sym(stroke.Shift ? shifted_ : plain_, stroke.Position + kEvdevOffset);
}

std::string TXkbLayout::KeyName(TKeyPosition position) const
{
  const char* name = xkb_keymap_key_get_name(keymap_, position + kEvdevOffset);
  return name ? name : "";
}

bool IsDeadKeysym(xkb_keysym_t keysym) { return keysym >= XKB_KEY_dead_grave && keysym <= XKB_KEY_dead_greek; }

char16_t TableSymbolOf(xkb_keysym_t keysym)
{
  switch (keysym) {
    case XKB_KEY_dead_grave: return 0x0300;
    case XKB_KEY_dead_acute: return 0x0301;
    case XKB_KEY_dead_circumflex: return 0x0302;
    case XKB_KEY_dead_tilde: return 0x0303;
    case XKB_KEY_dead_macron: return 0x0304;
    case XKB_KEY_dead_breve: return 0x0306;
    case XKB_KEY_dead_abovedot: return 0x0307;
    case XKB_KEY_dead_diaeresis: return 0x0308;
    case XKB_KEY_dead_abovering: return 0x030A;
    case XKB_KEY_dead_doubleacute: return 0x030B;
    case XKB_KEY_dead_caron: return 0x030C;
    case XKB_KEY_dead_cedilla: return 0x0327;
    case XKB_KEY_dead_ogonek: return 0x0328;
    default: break;
  }
  if (IsDeadKeysym(keysym)) throw std::runtime_error("a dead key the layout tables have no form for");
  const char32_t c = xkb_keysym_to_utf32(keysym);
  if (c > 0xFFFF) throw std::runtime_error("a key that types a character outside the Basic Multilingual Plane");
  return static_cast<char16_t>(c);
}

TXkbCompose::TXkbCompose()
{
  context_ = xkb_context_new(XKB_CONTEXT_NO_ENVIRONMENT_NAMES);
  if (!context_) throw std::runtime_error("no XKB context");
  table_ = xkb_compose_table_new_from_locale(context_, "cs_CZ.UTF-8", XKB_COMPOSE_COMPILE_NO_FLAGS);
  if (!table_) {
    xkb_context_unref(context_);
    throw std::runtime_error("no compose rules for cs_CZ.UTF-8");
  }
  state_ = xkb_compose_state_new(table_, XKB_COMPOSE_STATE_NO_FLAGS);
}

TXkbCompose::~TXkbCompose()
{
  xkb_compose_state_unref(state_);
  xkb_compose_table_unref(table_);
  xkb_context_unref(context_);
}

xkb_compose_status TXkbCompose::Feed(std::span<const xkb_keysym_t> keysyms) const
{
  xkb_compose_state_reset(state_);
  xkb_compose_status status = XKB_COMPOSE_NOTHING;
  for (xkb_keysym_t keysym : keysyms) {
    xkb_compose_state_feed(state_, keysym);
    status = xkb_compose_state_get_status(state_);
  }
  return status;
}

std::u16string TXkbCompose::Result() const
{
  char utf8[64];
  xkb_compose_state_get_utf8(state_, utf8, sizeof utf8);
  std::u16string result;
  // The compose results are short; decode their UTF-8 by hand.
  for (const unsigned char* p = reinterpret_cast<const unsigned char*>(utf8); *p;) {
    char32_t c = *p;
    int extra = c >= 0xF0 ? 3 : c >= 0xE0 ? 2 : c >= 0xC0 ? 1 : 0;
    if (extra) c &= 0x3Fu >> extra;
    ++p;
    for (; extra > 0 && *p; --extra, ++p) c = (c << 6) | (*p & 0x3Fu);
    AppendCodePoint(c, result);
  }
  return result;
}

std::optional<std::u16string> TXkbCompose::Rule(std::span<const xkb_keysym_t> keysyms) const
{
  if (Feed(keysyms) != XKB_COMPOSE_COMPOSED) return std::nullopt;
  return Result();
}

bool TXkbCompose::Begins(std::span<const xkb_keysym_t> keysyms) const { return Feed(keysyms) == XKB_COMPOSE_COMPOSING; }

std::u16string TXkbCompose::Type(std::span<const xkb_keysym_t> keysyms) const
{
  // As Qt's compose input context does on X11: a key that leaves the
  // sequence composing types nothing yet; a finished sequence types its
  // result; a key that cancels it, or starts none, is delivered as itself.
  std::u16string typed;
  xkb_compose_state_reset(state_);
  for (xkb_keysym_t keysym : keysyms) {
    xkb_compose_state_feed(state_, keysym);
    switch (xkb_compose_state_get_status(state_)) {
      case XKB_COMPOSE_COMPOSING:
        break;
      case XKB_COMPOSE_COMPOSED:
        typed += Result();
        xkb_compose_state_reset(state_);
        break;
      case XKB_COMPOSE_CANCELLED:
      case XKB_COMPOSE_NOTHING:
        xkb_compose_state_reset(state_);
        if (!IsDeadKeysym(keysym) && xkb_keysym_to_utf32(keysym) != 0) AppendCodePoint(xkb_keysym_to_utf32(keysym), typed);
        break;
    }
  }
  return typed;
}

}  // namespace quenlora::test
