// SPDX-FileCopyrightText: 2026 The Quenlora authors
// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

#include <QDialog>
#include <functional>

class QPushButton;

namespace quenlora::ui {

class TMarkupView;

// The About box: the program's heading and the maker's contact lines, laid
// out in dialog units of its font.
class TAboutDialog : public QDialog {
  Q_OBJECT

public:
  static constexpr int kClientWidth = 400;
  static constexpr int kClientHeight = 180;

  explicit TAboutDialog(QWidget* owner);

  // The markup source: its lines joined by single spaces.
  static QString Markup();
  // Where a dialog of outer size dialog goes over an owner window with outer
  // frame owner: centred, but not beyond the desktop's left and top edges.
  static QPoint CenteredOver(const QRect& owner, const QSize& dialog, const QRect& desktop);
  // Whether a pressed link target is handed to the system.
  static bool IsOpenableTarget(const QString& target);

  // One horizontal dialog unit is a quarter of the font's average character
  // width, one vertical unit an eighth of its height.
  int HorizontalUnits(int units) const;
  int VerticalUnits(int units) const;

  TMarkupView* TextView;
  QPushButton* OkButton;
  // Opens a link target with the system's default handler; replaceable for tests.
  std::function<void(const QString&)> OpenTarget;

protected:
  void keyPressEvent(QKeyEvent* event) override;
  void showEvent(QShowEvent* event) override;

private:
  void LayOut(int outerWidth);
  void LinkPressed(const QString& target);
};

}  // namespace quenlora::ui
