// SPDX-FileCopyrightText: 2026 The Quenlora authors
// SPDX-License-Identifier: GPL-3.0-or-later

#include "ImageToolBar.h"

#include <QToolButton>

namespace quenlora::ui {

TImageToolBar::TImageToolBar(QWidget* parent) : QToolBar(parent)
{
  setMovable(false);
  setFloatable(false);
  setAllowedAreas(Qt::TopToolBarArea);
  setToolButtonStyle(Qt::ToolButtonIconOnly);
  setIconSize(QSize(kImageSize, kImageSize));
  setContextMenuPolicy(Qt::PreventContextMenu);
  setFixedHeight(kHeight);
  toggleViewAction()->setEnabled(false);
  toggleViewAction()->setVisible(false);
}

void TImageToolBar::AddButton(QAction* action)
{
  addAction(action);
  if (QWidget* button = widgetForAction(action)) {
    button->setFixedSize(kButtonWidth, kButtonHeight);
    button->setObjectName(action->objectName() + QStringLiteral("Button"));
    // The buttons show no caption; a screen reader names each by its hint.
    button->setAccessibleName(action->toolTip());
  }
}

void TImageToolBar::AddSeparator() { addSeparator(); }

}  // namespace quenlora::ui
