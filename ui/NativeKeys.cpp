// SPDX-FileCopyrightText: 2026 The Quenlora authors
// SPDX-License-Identifier: GPL-3.0-or-later

#include "NativeKeys.h"

#ifdef Q_OS_WIN
#include <windows.h>
#elif defined(QUENLORA_XCB_KEYS)
#include <xcb/xcb.h>
#endif

namespace quenlora::ui {

namespace {

#ifdef Q_OS_WIN
// Windows reports the set-1 scan code itself, with 0x100 for the keys that
// send an E0 prefix (the keypad's Enter, the arrows, right Control and Alt).
constexpr quint32 kExtendedKey = 0x100;

bool Held(int virtualKey) { return GetKeyState(virtualKey) < 0; }
#else
// X key codes are the evdev key codes plus 8, and evdev numbers the typing
// block's keys by their set-1 scan codes.
constexpr quint32 kEvdevOffset = 8;
#endif

}  // namespace

std::optional<TNativeKeyPress> NativeKeyPressOf(const QByteArray& eventType, void* message)
{
#ifdef Q_OS_WIN
  // The window procedure's messages; the same message also passes the event
  // dispatcher's filter, under another type, and must count once.
  if (eventType != "windows_generic_MSG") return std::nullopt;
  const MSG* msg = static_cast<const MSG*>(message);
  if (msg->message != WM_KEYDOWN && msg->message != WM_SYSKEYDOWN) return std::nullopt;
  TNativeKeyPress press;
  press.NativeCode = static_cast<quint32>((msg->lParam >> 16) & 0x1FF);
  // The key state as of this message, which Windows keeps in step with the queue.
  press.Shift = Held(VK_SHIFT);
  press.OtherModifiers = Held(VK_CONTROL) || Held(VK_MENU) || Held(VK_LWIN) || Held(VK_RWIN);
  return press;
#elif defined(QUENLORA_XCB_KEYS)
  if (eventType != "xcb_generic_event_t") return std::nullopt;
  const auto* event = static_cast<const xcb_generic_event_t*>(message);
  if ((event->response_type & 0x7F) != XCB_KEY_PRESS) return std::nullopt;
  const auto* key = static_cast<const xcb_key_press_event_t*>(message);
  TNativeKeyPress press;
  press.NativeCode = key->detail;
  press.Shift = (key->state & XCB_MOD_MASK_SHIFT) != 0;
  // Caps Lock and Num Lock (Mod2) change nothing a scanner's keys mean;
  // Mod1 is Alt, Mod4 the logo key, Mod5 AltGr (the third level).
  press.OtherModifiers =
      (key->state & (XCB_MOD_MASK_CONTROL | XCB_MOD_MASK_1 | XCB_MOD_MASK_3 | XCB_MOD_MASK_4 | XCB_MOD_MASK_5)) != 0;
  return press;
#else
  Q_UNUSED(eventType);
  Q_UNUSED(message);
  return std::nullopt;
#endif
}

std::optional<TKeyPosition> KeyPositionOf(quint32 nativeCode)
{
#ifdef Q_OS_WIN
  if (nativeCode & kExtendedKey) return std::nullopt;
  const quint32 position = nativeCode;
#else
  if (nativeCode < kEvdevOffset) return std::nullopt;
  const quint32 position = nativeCode - kEvdevOffset;
#endif
  if (position >= TKeyboardLayout::kPositions) return std::nullopt;
  const TKeyLevels& levels = UsLayout().Levels(static_cast<TKeyPosition>(position));
  if (levels.Plain == 0) return std::nullopt;
  return static_cast<TKeyPosition>(position);
}

}  // namespace quenlora::ui
