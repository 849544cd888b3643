// SPDX-FileCopyrightText: 2026 The Quenlora authors
// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

#include <QString>
#include <QtGlobal>
#include <functional>

namespace quenlora::ui {

// The search text of a list's type-ahead: characters typed in quick
// succession add up; a pause starts a new search.
class TTypeAhead {
public:
  // Milliseconds from any fixed point; replaceable so that pauses can be tested.
  using TClock = std::function<qint64()>;
  static constexpr qint64 kPauseMs = 500;

  TTypeAhead();

  void SetClock(TClock clock) { clock_ = std::move(clock); }

  // Adds typed text and returns the search text.
  const QString& Type(const QString& text);
  // Removes the last character and returns the search text (empty: go to the first row).
  const QString& Backspace();
  const QString& Text() const { return text_; }

private:
  void StartNewSearchAfterPause();

  TClock clock_;
  QString text_;
  qint64 lastKey_ = 0;
  bool typed_ = false;
};

}  // namespace quenlora::ui
