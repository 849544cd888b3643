// SPDX-FileCopyrightText: 2026 The Quenlora authors
// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

#include <QByteArray>
#include <QtGlobal>
#include <optional>

#include "keyboard_layout.h"

namespace quenlora::ui {

// A key press as the window system reported it, before Qt made a key event
// of it (or, for dead keys and keys that finish a composed character, none).
struct TNativeKeyPress {
  // What Qt's key events carry as nativeScanCode(): the X key code on X11,
  // the scan code with its extended-key bit on Windows.
  quint32 NativeCode = 0;
  bool Shift = false;
  // Control, Alt, AltGr or the logo key held: no key a scanner types text with.
  bool OtherModifiers = false;
};

// The key press a native event reports; nothing for any other event, and on
// window systems whose key events are not known here.
std::optional<TNativeKeyPress> NativeKeyPressOf(const QByteArray& eventType, void* message);

// The typing-block key of a native code, when the scanners' layouts have one
// there; nothing for every other key (editing keys, the keypad, modifiers).
std::optional<TKeyPosition> KeyPositionOf(quint32 nativeCode);

}  // namespace quenlora::ui
