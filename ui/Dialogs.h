// SPDX-FileCopyrightText: 2026 The Quenlora authors
// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

#include <QList>
#include <QString>

class QWidget;

namespace quenlora::ui {

struct TFileType {
  QString DisplayName;
  QString Mask;
};

// One file dialog of the window, kept for the whole run: what it offers, and
// what it remembers from one showing to the next.
class TFileDialog {
public:
  // A save dialog asks before an existing file is replaced.
  enum TKind { fdOpen, fdSave };

  TFileDialog(QString name, TKind kind, QList<TFileType> fileTypes, QString defaultExtension);

  const QString& Name() const { return name_; }
  TKind Kind() const { return kind_; }
  const QList<TFileType>& FileTypes() const { return fileTypes_; }
  // Without a period; appended to a name typed without an extension.
  const QString& DefaultExtension() const { return defaultExtension_; }

  // Set by the caller before each showing.
  QString DefaultFolder;
  // The name proposed in the name box; after a confirmed showing, the chosen file's full path.
  QString FileName;
  // The file type preselected, from 0; after a confirmed showing, the one chosen.
  int FileTypeIndex = 0;

private:
  QString name_;
  TKind kind_;
  QList<TFileType> fileTypes_;
  QString defaultExtension_;
};

// Everything through which the window asks the user something or tells him
// something modally. The window uses nothing else, so that a test can answer
// in the user's place.
class TDialogs {
public:
  virtual ~TDialogs() = default;

  // Shows the dialog modally over owner. False when cancelled (the dialog is
  // left as it was); true with FileName and FileTypeIndex set to the choice.
  // Throws TBatchError when the system cannot show the dialog.
  virtual bool Execute(TFileDialog& dialog, QWidget* owner) = 0;
  // The notice: a main instruction and a content line shown as plain text.
  virtual void ShowNotice(QWidget* owner, const QString& instruction, const QString& content) = 0;
  // The error box, owned by the active window; text as it is to be shown.
  virtual void ShowError(const QString& text) = 0;
};

}  // namespace quenlora::ui
