// SPDX-FileCopyrightText: 2026 The Quenlora authors
// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

#include <QPushButton>

namespace quenlora::ui {

// A push button that shows the keyboard focus also while it is the default
// button: some styles (Fusion among them) draw a default button exactly as a
// focused one, so that the focus on it cannot be seen. It adds the style's own
// focus rectangle inside the button when the focus came by keyboard.
class TFocusButton : public QPushButton {
  Q_OBJECT

public:
  explicit TFocusButton(QWidget* parent = nullptr);
  explicit TFocusButton(const QString& text, QWidget* parent = nullptr);

protected:
  void paintEvent(QPaintEvent* event) override;
};

}  // namespace quenlora::ui
