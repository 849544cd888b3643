// SPDX-FileCopyrightText: 2026 The Quenlora authors
// SPDX-License-Identifier: GPL-3.0-or-later

#include "StatusPanel.h"

#include <QAccessible>
#include <QEvent>
#include <QPainter>
#include <algorithm>
#include <cmath>

#include "OneLineText.h"
#include "StatusPanelAccessible.h"

namespace quenlora::ui {

namespace {

// One pixel of padding on the left, one on the right.
constexpr int kPadding = 2;

}  // namespace

TStatusPanel::TStatusPanel(int width, TWidth rule, QWidget* parent) : QFrame(parent), width_(width), rule_(rule)
{
  InstallStatusPanelAccessibility();
  setFrameShape(QFrame::Panel);
  setFrameShadow(QFrame::Sunken);
  setLineWidth(1);
  if (rule_ == TWidth::FitsText)
    setSizePolicy(QSizePolicy::Fixed, sizePolicy().verticalPolicy());
  else
    setMinimumWidth(width);
}

void TStatusPanel::SetText(const QString& text)
{
  if (text == text_) return;
  const int before = TextWidth();
  const QString shownBefore = QAccessible::isActive() ? ShownText() : QString();
  text_ = text;
  if (rule_ == TWidth::FitsText && TextWidth() != before && std::max(before, TextWidth()) > width_) updateGeometry();
  update();
  if (QAccessible::isActive()) TellAccessibleClients(shownBefore);
}

void TStatusPanel::TellAccessibleClients(const QString& shownBefore)
{
  // A client that shows the name hears of the new name, one that reads the
  // text of the new text.
  QAccessibleEvent named(this, QAccessible::NameChanged);
  QAccessible::updateAccessibility(&named);
  QAccessibleTextUpdateEvent text(this, 0, shownBefore, ShownText());
  QAccessible::updateAccessibility(&text);
#ifdef Q_OS_WIN
  // Windows screen readers speak a status text only when told to: Qt's UI
  // Automation bridge turns a text value into such a notice.
  QAccessibleValueChangeEvent spoken(this, ShownText().trimmed());
  QAccessible::updateAccessibility(&spoken);
#endif
}

QString TStatusPanel::ShownText() const { return OneLineText(text_); }

QRect TStatusPanel::TextArea() const { return contentsRect().adjusted(kPadding / 2, 0, 0, 0); }

int TStatusPanel::TextWidth() const
{
  const qreal advance = QFontMetricsF(font()).horizontalAdvance(ShownText());
  return static_cast<int>(std::ceil(advance)) + kPadding + 2 * frameWidth();
}

QSize TStatusPanel::sizeHint() const
{
  const int width = rule_ == TWidth::FitsText ? std::max(width_, TextWidth()) : width_;
  return {width, fontMetrics().height() + 2 * frameWidth()};
}

QSize TStatusPanel::minimumSizeHint() const
{
  return rule_ == TWidth::FitsText ? sizeHint() : QFrame::minimumSizeHint();
}

void TStatusPanel::paintEvent(QPaintEvent* event)
{
  QFrame::paintEvent(event);
  QPainter painter(this);
  const QRect area = TextArea();
  painter.setClipRect(area);
  painter.drawText(area, Qt::AlignLeft | Qt::AlignVCenter | Qt::TextSingleLine, ShownText());
}

void TStatusPanel::changeEvent(QEvent* event)
{
  // Another font (or the screen's scaling) may need another width.
  if (event->type() == QEvent::FontChange && rule_ == TWidth::FitsText) updateGeometry();
  QFrame::changeEvent(event);
}

}  // namespace quenlora::ui
