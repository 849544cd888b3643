// SPDX-FileCopyrightText: 2026 The Quenlora authors
// SPDX-License-Identifier: GPL-3.0-or-later

#include "TypeAhead.h"

#include <QElapsedTimer>

namespace quenlora::ui {

TTypeAhead::TTypeAhead()
    : clock_([] {
        static QElapsedTimer timer = [] {
          QElapsedTimer t;
          t.start();
          return t;
        }();
        return timer.elapsed();
      })
{
}

void TTypeAhead::StartNewSearchAfterPause()
{
  const qint64 now = clock_();
  if (!typed_ || now - lastKey_ >= kPauseMs) text_.clear();
  lastKey_ = now;
  typed_ = true;
}

const QString& TTypeAhead::Type(const QString& text)
{
  StartNewSearchAfterPause();
  text_ += text;
  return text_;
}

const QString& TTypeAhead::Backspace()
{
  StartNewSearchAfterPause();
  text_.chop(1);
  return text_;
}

}  // namespace quenlora::ui
