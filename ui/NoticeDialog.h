// SPDX-FileCopyrightText: 2026 The Quenlora authors
// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

#include <QDialog>

class QLabel;
class QPushButton;

namespace quenlora::ui {

// A notice in the manner of a task dialog: the information icon, a main
// instruction, a content line taken as plain text, and one OK button.
class TNoticeDialog : public QDialog {
  Q_OBJECT

public:
  TNoticeDialog(QWidget* owner, const QString& instruction, const QString& content);

  static constexpr int kIconSize = 32;

  QLabel* IconLabel;
  QLabel* InstructionLabel;
  QLabel* ContentLabel;
  QPushButton* OkButton;

protected:
  void showEvent(QShowEvent* event) override;

private:
  void DrawIcon();
};

// Shows the notice modally, centred on the screen.
void ShowNotice(QWidget* owner, const QString& instruction, const QString& content);

}  // namespace quenlora::ui
