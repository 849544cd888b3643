// SPDX-FileCopyrightText: 2026 The Quenlora authors
// SPDX-License-Identifier: GPL-3.0-or-later

#include "AboutDialog.h"

#include <QDesktopServices>
#include <QKeyEvent>
#include <QPushButton>
#include <QScreen>
#include <QStringList>
#include <QUrl>
#include <algorithm>

#include "FixedDialog.h"
#include "FocusButton.h"
#include "MarkupView.h"
#include "UiFonts.h"

namespace quenlora::ui {

namespace {

const char* const kMarkupLines[] = {
    "<b>Aplikace Quenlora</b><br>",
    "<br>",
    "vytvořil:<br>",
    "Vývojový tým Quenlora<br>",
    "E-mail pro podporu: <a href=\"mailto:podpora@quenlora.example\">podpora@quenlora.example</a><br>",
    "Web: <a href=\"https://quenlora.example\">https://quenlora.example</a>",
};

}  // namespace

TAboutDialog::TAboutDialog(QWidget* owner) : QDialog(owner)
{
  setObjectName(QStringLiteral("HTMLDialog1"));
  setWindowTitle(QStringLiteral("O aplikaci"));
  MakeFixedDialog(this);
  setModal(true);
  setFont(TahomaFont(11));
  setFixedSize(kClientWidth, kClientHeight);

  TextView = new TMarkupView(this);
  TextView->setFont(TahomaFont(13));
  TextView->SetMarkup(Markup());
  connect(TextView, &TMarkupView::LinkPressed, this, &TAboutDialog::LinkPressed);

  OkButton = new TFocusButton(QStringLiteral("Ok"), this);
  OkButton->setDefault(true);
  OkButton->setAutoDefault(true);
  connect(OkButton, &QPushButton::clicked, this, &QDialog::accept);

  OpenTarget = [](const QString& target) { QDesktopServices::openUrl(QUrl(target)); };
  LayOut(kClientWidth);
}

QString TAboutDialog::Markup()
{
  QStringList lines;
  for (const char* line : kMarkupLines) lines << QString::fromUtf8(line);
  return lines.join(u' ');
}

QPoint TAboutDialog::CenteredOver(const QRect& owner, const QSize& dialog, const QRect& desktop)
{
  const int left = owner.left() + (owner.width() - dialog.width()) / 2;
  const int top = owner.top() + (owner.height() - dialog.height()) / 2;
  return {std::max(left, desktop.left()), std::max(top, desktop.top())};
}

bool TAboutDialog::IsOpenableTarget(const QString& target)
{
  return target.contains(QStringLiteral("://")) || target.contains(QStringLiteral("mailto:"));
}

int TAboutDialog::HorizontalUnits(int units) const
{
  const QFontMetrics metrics(font());
  const int letters = metrics.horizontalAdvance(QStringLiteral("ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz"));
  const int average = (letters / 26 + 1) / 2;
  return (units * average + 2) / 4;
}

int TAboutDialog::VerticalUnits(int units) const
{
  const QFontMetrics metrics(font());
  return (units * metrics.height() + 4) / 8;
}

void TAboutDialog::LayOut(int outerWidth)
{
  const int left = HorizontalUnits(8);
  const int top = VerticalUnits(8);
  const int width = outerWidth - 2 * left;
  TextView->SetTextWidth(width);
  TextView->setGeometry(left, top, width, TextView->TextHeight() + 6);

  const QFontMetrics metrics(OkButton->font());
  const int buttonWidth = std::max(metrics.horizontalAdvance(OkButton->text()) + 16, HorizontalUnits(50));
  const int buttonHeight = VerticalUnits(14);
  OkButton->setGeometry(kClientWidth - 20 - buttonWidth, kClientHeight - 4 - buttonHeight, buttonWidth, buttonHeight);
}

void TAboutDialog::showEvent(QShowEvent* event)
{
  QDialog::showEvent(event);
  // The outer size includes the window frame, known from the owner's until shown.
  QSize outer = size();
  if (const QWidget* owner = parentWidget() ? parentWidget()->window() : nullptr) {
    outer += owner->frameGeometry().size() - owner->size();
    const QRect desktop = owner->screen() ? owner->screen()->virtualGeometry() : QRect();
    move(CenteredOver(owner->frameGeometry(), outer, desktop));
  }
  LayOut(outer.width());
}

void TAboutDialog::keyPressEvent(QKeyEvent* event)
{
  // Esc does not close the dialog; only Ok, Enter or the close box do.
  if (event->key() == Qt::Key_Escape && event->modifiers() == Qt::NoModifier) {
    event->accept();
    return;
  }
  QDialog::keyPressEvent(event);
}

void TAboutDialog::LinkPressed(const QString& target)
{
  if (IsOpenableTarget(target) && OpenTarget) OpenTarget(target);
}

}  // namespace quenlora::ui
