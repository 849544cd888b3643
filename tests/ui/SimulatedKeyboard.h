// SPDX-FileCopyrightText: 2026 The Quenlora authors
// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

#include <QString>
#include <QWidget>
#include <string>
#include <vector>

#include "keyboard_layout.h"

namespace quenlora::ui::test {

// Presses keys into the application as the window system does with a
// keyboard layout active: each press is first reported to the native event
// filters (an X key press, or a Windows WM_KEYDOWN with the key state set),
// then delivered the way Qt delivers it: a key event with the key's native
// scan code and the text the layout gives; nothing for a dead key that waits
// for the next key; and the composed character when a sequence completes (an
// input method commit on X11, a key event on Windows).
class TSimulatedKeyboard {
public:
  explicit TSimulatedKeyboard(const TKeyboardLayout& active) : active_(active) {}

  // Reports the presses to the native filters only: their key events are
  // still queued, as when the window is busy.
  void Note(const std::vector<TKeyStroke>& strokes);
  // Delivers what the noted presses give, to the focus widget.
  void Deliver(const std::vector<TKeyStroke>& strokes);
  // Both, key by key.
  void Press(const std::vector<TKeyStroke>& strokes);
  // Return, noted as the system reports it and then taken by the shortcut.
  void PressReturn();

  // The native code Qt's key events carry for a key.
  static quint32 NativeCode(TKeyPosition position);

private:
  void NoteOne(TKeyStroke stroke);
  void DeliverOne(TKeyStroke stroke);

  const TKeyboardLayout& active_;
  std::u16string composing_;
  bool shiftNoted_ = false;
  bool shiftDelivered_ = false;
};

// The keys a scanner set up for the layout presses to type the text: each
// character's key, without Shift where the layout has it there.
std::vector<TKeyStroke> KeysTyping(const TKeyboardLayout& layout, const QString& text);

}  // namespace quenlora::ui::test
