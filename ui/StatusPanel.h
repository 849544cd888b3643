// SPDX-FileCopyrightText: 2026 The Quenlora authors
// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

#include <QFrame>

namespace quenlora::ui {

// One panel of a status bar: a sunken box with one line of text. Line breaks
// in the text are drawn as blanks; the text itself is kept as given. A
// screen reader reads the text as it is shown, and hears of every change.
class TStatusPanel : public QFrame {
  Q_OBJECT

public:
  enum class TWidth {
    AtLeast,  // the width given, or more where the status bar has room
    FitsText, // the width given, or as wide as the text needs when that is more
  };

  TStatusPanel(int width, TWidth rule, QWidget* parent = nullptr);

  const QString& Text() const { return text_; }
  void SetText(const QString& text);
  // The text as the panel shows it, in one line.
  QString ShownText() const;
  // Where the text is drawn, in the panel's coordinates.
  QRect TextArea() const;
  // The width that shows the whole text.
  int TextWidth() const;

  QSize sizeHint() const override;
  QSize minimumSizeHint() const override;

protected:
  void paintEvent(QPaintEvent* event) override;
  void changeEvent(QEvent* event) override;

private:
  void TellAccessibleClients(const QString& shownBefore);

  QString text_;
  int width_;
  TWidth rule_;
};

}  // namespace quenlora::ui
