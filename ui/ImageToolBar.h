// SPDX-FileCopyrightText: 2026 The Quenlora authors
// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

#include <QToolBar>

namespace quenlora::ui {

// A fixed strip of image-only buttons, each running its action, with
// vertical separator lines. It shows its actions' hints as tooltips; it
// cannot be moved, floated or hidden.
class TImageToolBar : public QToolBar {
  Q_OBJECT

public:
  static constexpr int kHeight = 39;
  static constexpr int kButtonWidth = 34;
  static constexpr int kButtonHeight = 30;
  static constexpr int kImageSize = 24;

  explicit TImageToolBar(QWidget* parent = nullptr);

  void AddButton(QAction* action);
  void AddSeparator();
};

}  // namespace quenlora::ui
