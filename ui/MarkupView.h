// SPDX-FileCopyrightText: 2026 The Quenlora authors
// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

#include <QTextDocument>
#include <QWidget>

namespace quenlora::ui {

// Shows a short text in simple markup (font, bold, line breaks, links). A left
// press on a link reports its target; the pointer is a hand over links.
class TMarkupView : public QWidget {
  Q_OBJECT

public:
  explicit TMarkupView(QWidget* parent = nullptr);

  void SetMarkup(const QString& markup);
  void SetTextWidth(int width);
  // The height the text takes at the current width.
  int TextHeight() const;
  QString PlainText() const { return document_.toPlainText(); }
  QString AnchorAt(const QPoint& point) const;
  const QTextDocument& Document() const { return document_; }

Q_SIGNALS:
  void LinkPressed(const QString& target);

protected:
  void paintEvent(QPaintEvent* event) override;
  void mousePressEvent(QMouseEvent* event) override;
  void mouseMoveEvent(QMouseEvent* event) override;
  void changeEvent(QEvent* event) override;

private:
  QTextDocument document_;
};

}  // namespace quenlora::ui
