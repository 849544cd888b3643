// SPDX-FileCopyrightText: 2026 The Quenlora authors
// SPDX-License-Identifier: GPL-3.0-or-later

#include "FocusButton.h"

#include <QStyleOptionButton>
#include <QStyleOptionFocusRect>
#include <QStylePainter>

namespace quenlora::ui {

TFocusButton::TFocusButton(QWidget* parent) : QPushButton(parent) {}

TFocusButton::TFocusButton(const QString& text, QWidget* parent) : QPushButton(text, parent) {}

void TFocusButton::paintEvent(QPaintEvent* event)
{
  QPushButton::paintEvent(event);
  QStyleOptionButton button;
  initStyleOption(&button);
  if (!(button.state & QStyle::State_HasFocus) || !(button.features & QStyleOptionButton::DefaultButton)) return;
  QStyleOptionFocusRect focus;
  focus.QStyleOption::operator=(button);
  focus.rect = style()->subElementRect(QStyle::SE_PushButtonFocusRect, &button, this);
  focus.backgroundColor = palette().color(QPalette::Button);
  QStylePainter painter(this);
  painter.drawPrimitive(QStyle::PE_FrameFocusRect, focus);
}

}  // namespace quenlora::ui
