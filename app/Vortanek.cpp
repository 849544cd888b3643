// SPDX-FileCopyrightText: 2026 The Quenlora authors
// SPDX-License-Identifier: GPL-3.0-or-later

// The program's start: the application, its one window, the event loop.
#include <QApplication>

#include "Images.h"
#include "MainForm.h"
#include "QtDialogs.h"
#include "QtTranslation.h"
#include "SessionEnd.h"

int main(int argc, char* argv[])
{
  QApplication application(argc, argv);
  QApplication::setApplicationName(QStringLiteral("Quenlora"));
  QApplication::setApplicationVersion(QStringLiteral(QUENLORA_PRODUCT_VERSION));
  QApplication::setWindowIcon(quenlora::ui::ProgramIcon());
  // Lets Wayland and X11 shells match the window to the installed desktop entry and its icon.
  QGuiApplication::setDesktopFileName(QStringLiteral(QUENLORA_APP_ID));
  quenlora::ui::KeepNoSettingsBetweenRuns();

  quenlora::ui::InstallQtCzechTexts();

  quenlora::ui::TQtDialogs dialogs;
  quenlora::ui::TMain window(dialogs);
  // The batch of a run that did not end by the user's close comes back.
  window.KeepBatch();
  quenlora::ui::EndWithTheSession(window);
  window.show();
  return QApplication::exec();
}
