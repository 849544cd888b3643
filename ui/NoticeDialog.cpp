// SPDX-FileCopyrightText: 2026 The Quenlora authors
// SPDX-License-Identifier: GPL-3.0-or-later

#include "NoticeDialog.h"

#include <QBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QScreen>
#include <QStyle>
#include <algorithm>

#include "FixedDialog.h"
#include "FocusButton.h"
#include "SvgIcon.h"
#include "UiFonts.h"

namespace quenlora::ui {

TNoticeDialog::TNoticeDialog(QWidget* owner, const QString& instruction, const QString& content) : QDialog(owner)
{
  setObjectName(QStringLiteral("AdvTaskDialog1"));
  setWindowTitle(QStringLiteral("Vortanek"));
  MakeFixedDialog(this);
  setModal(true);
  setFont(TahomaFont(12));

  // The message stands on a white pane above the button row, as in a task dialog.
  auto* pane = new QWidget(this);
  pane->setAutoFillBackground(true);
  QPalette panePalette = pane->palette();
  panePalette.setColor(QPalette::Window, panePalette.color(QPalette::Base));
  pane->setPalette(panePalette);

  IconLabel = new QLabel(pane);
  IconLabel->setFixedSize(kIconSize, kIconSize);
  DrawIcon();
  IconLabel->setAlignment(Qt::AlignTop);

  InstructionLabel = new QLabel(instruction, pane);
  InstructionLabel->setTextFormat(Qt::PlainText);
  InstructionLabel->setFont(TahomaFont(16));
  QPalette instructionPalette = InstructionLabel->palette();
  instructionPalette.setColor(QPalette::WindowText, QColor(0x00, 0x33, 0x99));
  InstructionLabel->setPalette(instructionPalette);

  // Paths are shown as they are: "C:\new" is a folder name, not a line break.
  ContentLabel = new QLabel(content, pane);
  ContentLabel->setTextFormat(Qt::PlainText);
  ContentLabel->setTextInteractionFlags(Qt::TextSelectableByMouse);

  auto* text = new QVBoxLayout;
  text->setSpacing(10);
  text->addWidget(InstructionLabel);
  text->addWidget(ContentLabel);
  text->addStretch(1);
  auto* paneLayout = new QHBoxLayout(pane);
  paneLayout->setContentsMargins(12, 12, 16, 16);
  paneLayout->setSpacing(10);
  paneLayout->addWidget(IconLabel, 0, Qt::AlignTop);
  paneLayout->addLayout(text, 1);

  OkButton = new TFocusButton(QStringLiteral("OK"), this);
  OkButton->setDefault(true);
  OkButton->setAutoDefault(true);
  OkButton->setMinimumWidth(75);
  connect(OkButton, &QPushButton::clicked, this, &QDialog::accept);
  auto* buttons = new QHBoxLayout;
  buttons->setContentsMargins(12, 8, 12, 8);
  buttons->addStretch(1);
  buttons->addWidget(OkButton);

  auto* layout = new QVBoxLayout(this);
  layout->setContentsMargins(0, 0, 0, 0);
  layout->setSpacing(0);
  layout->addWidget(pane, 1);
  layout->addLayout(buttons);
  layout->setSizeConstraint(QLayout::SetFixedSize);
  setMinimumWidth(360);
}

void TNoticeDialog::DrawIcon()
{
  // At the pixel density of the screen the dialog is on, not a bitmap scaled up.
  IconLabel->setPixmap(MessageIcon(QStyle::SP_MessageBoxInformation, kIconSize, this));
}

void TNoticeDialog::showEvent(QShowEvent* event)
{
  QDialog::showEvent(event);
  DrawIcon();
  OkButton->setFocus();
  const QScreen* where = screen();
  if (where == nullptr) return;
  const QRect area = where->availableGeometry();
  const QSize outer = frameGeometry().size().expandedTo(size());
  move(area.left() + std::max(0, (area.width() - outer.width()) / 2),
       area.top() + std::max(0, (area.height() - outer.height()) / 2));
}

void ShowNotice(QWidget* owner, const QString& instruction, const QString& content)
{
  TNoticeDialog notice(owner, instruction, content);
  notice.exec();
}

}  // namespace quenlora::ui
