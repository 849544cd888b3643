// SPDX-FileCopyrightText: 2026 The Quenlora authors
// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

#include <QFileDialog>

#include "Dialogs.h"

namespace quenlora::ui {

// The dialogs a user sees: Qt's file dialog, the notice and the error box.
class TQtDialogs : public TDialogs {
public:
  // On Windows the file dialogs are the system's; tests of Qt's own dialog set this.
  bool UseQtFileDialogs = false;

  bool Execute(TFileDialog& dialog, QWidget* owner) override;
  void ShowNotice(QWidget* owner, const QString& instruction, const QString& content) override;
  void ShowError(const QString& text) override;
};

// Qt's file dialog set up from a TFileDialog. Qt's own widgets are used
// rather than the desktop's, because only they can show the start folder
// while the name box proposes a full path elsewhere, and keep a typed name to
// the selected type's extension.
class TFileChooser : public QFileDialog {
  Q_OBJECT

public:
  TFileChooser(const TFileDialog& dialog, QWidget* owner);

  // The Qt name filter for a file type: the display name, with the mask in
  // a hidden second pair of brackets ("*.*" admits every name, as it does
  // for the user).
  static QString NameFilter(const TFileType& type);
  int SelectedFileType() const;
  QString NameBoxText() const;

  void accept() override;

private:
  QStringList filters_;
  QList<TFileType> types_;
};

// Qt's file dialog keeps its history in a settings file; the program keeps
// nothing between runs, so such settings go to a folder that lives as long
// as the process.
void KeepNoSettingsBetweenRuns();

}  // namespace quenlora::ui
