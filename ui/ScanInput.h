// SPDX-FileCopyrightText: 2026 The Quenlora authors
// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

#include <QAbstractNativeEventFilter>
#include <QLineEdit>
#include <deque>
#include <span>
#include <vector>

#include "NativeKeys.h"
#include "keyboard_layout.h"

namespace quenlora::ui {

// The input box for scans. Besides the text it keeps the keys that typed
// it, since it was last empty: which key of the typing block, and whether
// Shift was held, for each press in order, dead keys included. A scanner set
// up for another keyboard layout than the active one is told by its keys,
// not by the characters they made (see ReadThroughScannerLayouts).
//
// The keys are known only while they alone made the text: an editing key
// (Backspace, Delete, the arrows, Home, End, with or without Shift), a
// Control or Alt combination (paste, undo), an edit with the mouse (a drop,
// a paste with the middle button, the context menu), typing anywhere but at
// the end, or any change the keys do not account for drops them until the
// box is emptied.
class TScanInput : public QLineEdit, private QAbstractNativeEventFilter {
  Q_OBJECT

public:
  explicit TScanInput(QWidget* parent = nullptr);
  ~TScanInput() override;

  // The key presses that typed exactly the text the box holds; empty when
  // they are not known.
  std::span<const TKeyStroke> TypingKeys() const;

protected:
  void keyPressEvent(QKeyEvent* event) override;
  void inputMethodEvent(QInputMethodEvent* event) override;
  void focusInEvent(QFocusEvent* event) override;

private:
  // A key press the window system reported while the box had the focus,
  // whose key event is still to come (or never comes: dead keys).
  struct TPendingPress {
    quint32 NativeCode;
    std::optional<TKeyStroke> Stroke;  // nothing for keys that type no text
  };

  bool nativeEventFilter(const QByteArray& eventType, void* message, qintptr* result) override;
  // Moves the pending presses up to the one with the code (all of them for
  // none) out of the queue: the typing keys among them made the text about to
  // be typed. False when no such press was pending.
  bool TakePending(std::optional<quint32> nativeCode, std::vector<TKeyStroke>& strokes);
  bool AtEndWithoutSelection() const;
  // A key pressed in an empty box begins its keys afresh.
  void StartIfEmpty();
  void TextChanged(const QString& text);
  // Adds the strokes that typed the text about to come, at the end of the
  // box; when they did not (typing false), the keys are no longer known.
  void Record(bool typing, const std::vector<TKeyStroke>& strokes);
  void Drop();

  std::deque<TPendingPress> pending_;
  std::optional<quint32> lastTaken_;
  std::vector<TKeyStroke> keys_;
  bool known_ = true;
  bool typing_ = false;
  QString text_;
};

}  // namespace quenlora::ui
