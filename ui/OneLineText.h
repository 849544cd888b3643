// SPDX-FileCopyrightText: 2026 The Quenlora authors
// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

#include <QString>

namespace quenlora::ui {

// The text as a single line shows it: line breaks, tabs and other control
// characters as blanks, one for one, so offsets stay those of the text.
inline QString OneLineText(QString text)
{
  for (QChar& c : text)
    if (c.unicode() < u' ') c = u' ';
  return text;
}

}  // namespace quenlora::ui
