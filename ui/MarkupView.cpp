// SPDX-FileCopyrightText: 2026 The Quenlora authors
// SPDX-License-Identifier: GPL-3.0-or-later

#include "MarkupView.h"

#include <QAbstractTextDocumentLayout>
#include <QMouseEvent>
#include <QPainter>
#include <cmath>

namespace quenlora::ui {

TMarkupView::TMarkupView(QWidget* parent) : QWidget(parent)
{
  setMouseTracking(true);
  document_.setDocumentMargin(0);
  document_.setDefaultStyleSheet(QStringLiteral("a { color: #0000ff; text-decoration: underline; }"));
  document_.setDefaultFont(font());
}

void TMarkupView::SetMarkup(const QString& markup)
{
  document_.setHtml(markup);
  update();
}

void TMarkupView::SetTextWidth(int width)
{
  document_.setTextWidth(width);
  update();
}

int TMarkupView::TextHeight() const { return static_cast<int>(std::ceil(document_.size().height())); }

QString TMarkupView::AnchorAt(const QPoint& point) const { return document_.documentLayout()->anchorAt(point); }

void TMarkupView::paintEvent(QPaintEvent* event)
{
  QPainter painter(this);
  QAbstractTextDocumentLayout::PaintContext context;
  context.palette = palette();
  context.palette.setColor(QPalette::Text, palette().color(QPalette::WindowText));
  context.clip = event->rect();
  document_.documentLayout()->draw(&painter, context);
}

void TMarkupView::mousePressEvent(QMouseEvent* event)
{
  if (event->button() != Qt::LeftButton) return;
  const QString target = AnchorAt(event->position().toPoint());
  if (!target.isEmpty()) Q_EMIT LinkPressed(target);
}

void TMarkupView::mouseMoveEvent(QMouseEvent* event)
{
  const bool overLink = !AnchorAt(event->position().toPoint()).isEmpty();
  if (overLink)
    setCursor(Qt::PointingHandCursor);
  else
    unsetCursor();
}

void TMarkupView::changeEvent(QEvent* event)
{
  if (event->type() == QEvent::FontChange) document_.setDefaultFont(font());
  QWidget::changeEvent(event);
}

}  // namespace quenlora::ui
