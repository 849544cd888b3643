// SPDX-FileCopyrightText: 2026 The Quenlora authors
// SPDX-License-Identifier: GPL-3.0-or-later

#include "ErrorBox.h"

#include <QLabel>
#include <QMessageBox>

#include "FixedDialog.h"
#include "FocusButton.h"
#include "SvgIcon.h"

namespace quenlora::ui {

QString ErrorBoxText(const QString& message)
{
  if (message.isEmpty() || message.back().unicode() <= u'.') return message;
  return message + u'.';
}

void ShowErrorBox(QWidget* owner, const QString& text)
{
  QMessageBox box(QMessageBox::Critical, QStringLiteral("Quenlora"), text, QMessageBox::NoButton, owner);
  box.setObjectName(QStringLiteral("ErrorBox"));
  MakeFixedDialog(&box);
  // The text names files; nothing in a path may be taken for markup.
  box.setTextFormat(Qt::PlainText);
  auto* ok = new TFocusButton(QStringLiteral("OK"));
  box.addButton(ok, QMessageBox::AcceptRole);
  box.setDefaultButton(ok);
  box.setEscapeButton(ok);
  // Qt draws its error icon from a small bitmap, scaled up on a screen scaled
  // to 150% or 200%.
  if (auto* icon = box.findChild<QLabel*>(QStringLiteral("qt_msgboxex_icon_label")))
    icon->setPixmap(
        MessageIcon(QStyle::SP_MessageBoxCritical, box.style()->pixelMetric(QStyle::PM_MessageBoxIconSize, nullptr, &box), &box));
  box.exec();
}

}  // namespace quenlora::ui
