// SPDX-FileCopyrightText: 2026 The Quenlora authors
// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

#include <QString>

class QWidget;

namespace quenlora::ui {

// The failure's message as the error box shows it: with a period appended
// unless it is empty or already ends in a character coded "." or lower.
QString ErrorBoxText(const QString& message);

// Modal, with the caption "Quenlora", the error icon and one OK button.
void ShowErrorBox(QWidget* owner, const QString& text);

}  // namespace quenlora::ui
