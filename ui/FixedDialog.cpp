// SPDX-FileCopyrightText: 2026 The Quenlora authors
// SPDX-License-Identifier: GPL-3.0-or-later

#include "FixedDialog.h"

#include <QDialog>
#include <QEvent>
#include <QTimer>

namespace quenlora::ui {

namespace {

constexpr Qt::WindowStates kNotFixed = Qt::WindowMinimized | Qt::WindowMaximized | Qt::WindowFullScreen;

// Undoes a minimise, maximise or full screen that the window manager did.
class TKeepNormalState : public QObject {
public:
  explicit TKeepNormalState(QDialog* dialog) : QObject(dialog), dialog_(dialog) { dialog->installEventFilter(this); }

  bool eventFilter(QObject* watched, QEvent* event) override
  {
    if (watched == dialog_ && event->type() == QEvent::WindowStateChange && (dialog_->windowState() & kNotFixed))
      // Not from inside the state change itself: the window system finishes it first.
      QTimer::singleShot(0, dialog_, [dialog = dialog_] {
        if (!(dialog->windowState() & kNotFixed)) return;
        // Shown again, the window manager may place it anew; it goes back where it was.
        const QPoint where = dialog->pos();
        dialog->setWindowState(dialog->windowState() & ~kNotFixed);
        dialog->move(where);
        if (dialog->isVisible()) dialog->activateWindow();
      });
    return false;
  }

private:
  QDialog* dialog_;
};

}  // namespace

void MakeFixedDialog(QDialog* dialog)
{
  dialog->setWindowFlags(Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::WindowCloseButtonHint |
                         Qt::MSWindowsFixedSizeDialogHint);
  dialog->setSizeGripEnabled(false);
  new TKeepNormalState(dialog);
}

}  // namespace quenlora::ui
