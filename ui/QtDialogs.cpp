// SPDX-FileCopyrightText: 2026 The Quenlora authors
// SPDX-License-Identifier: GPL-3.0-or-later

#include "QtDialogs.h"

#include <QApplication>
#include <QMainWindow>
#include <QDir>
#include <QLineEdit>
#include <QRegularExpression>
#include <QSettings>
#include <QTemporaryDir>

#include "ErrorBox.h"
#include "NativeFileDialog.h"
#include "NoticeDialog.h"

namespace quenlora::ui {

namespace {

QString QtMask(const QString& mask) { return mask == QStringLiteral("*.*") ? QStringLiteral("*") : mask; }

bool MatchesMask(const QString& name, const QString& mask)
{
  const QRegularExpression pattern(QRegularExpression::wildcardToRegularExpression(mask, QRegularExpression::UnanchoredWildcardConversion),
                                   QRegularExpression::CaseInsensitiveOption);
  const QRegularExpression anchored(QRegularExpression::anchoredPattern(pattern.pattern()), pattern.patternOptions());
  return anchored.match(name).hasMatch();
}

}  // namespace

TFileChooser::TFileChooser(const TFileDialog& dialog, QWidget* owner) : QFileDialog(owner), types_(dialog.FileTypes())
{
  setObjectName(dialog.Name());
  setOption(QFileDialog::DontUseNativeDialog);
  setOption(QFileDialog::HideNameFilterDetails);
  setAcceptMode(dialog.Kind() == TFileDialog::fdOpen ? QFileDialog::AcceptOpen : QFileDialog::AcceptSave);
  // Neither kind insists that the file or folder exists; a name that cannot
  // be read or written is reported when it is used.
  setFileMode(QFileDialog::AnyFile);
  for (const TFileType& type : types_) filters_ << NameFilter(type);
  setNameFilters(filters_);
  if (dialog.FileTypeIndex >= 0 && dialog.FileTypeIndex < filters_.size()) selectNameFilter(filters_[dialog.FileTypeIndex]);
  if (!dialog.DefaultExtension().isEmpty()) setDefaultSuffix(dialog.DefaultExtension());
  setDirectory(dialog.DefaultFolder);
  if (!dialog.FileName.isEmpty()) {
    if (QDir::isRelativePath(dialog.FileName)) {
      selectFile(dialog.FileName);
    } else if (auto* nameBox = findChild<QLineEdit*>(QStringLiteral("fileNameEdit"))) {
      // A full path goes into the name box as it is; the dialog stays in the start folder.
      nameBox->setText(dialog.FileName);
    }
  }
}

QString TFileChooser::NameFilter(const TFileType& type)
{
  return type.DisplayName + QStringLiteral(" (") + QtMask(type.Mask) + u')';
}

int TFileChooser::SelectedFileType() const
{
  // With the masks hidden, the dialog reports the filter as it shows it.
  const QString selected = selectedNameFilter();
  for (int i = 0; i < types_.size(); ++i)
    if (selected == filters_[i] || selected == types_[i].DisplayName) return i;
  return 0;
}

QString TFileChooser::NameBoxText() const
{
  const auto* nameBox = findChild<QLineEdit*>(QStringLiteral("fileNameEdit"));
  return nameBox != nullptr ? nameBox->text() : QString();
}

void TFileChooser::accept()
{
  auto* nameBox = findChild<QLineEdit*>(QStringLiteral("fileNameEdit"));
  const int type = SelectedFileType();
  if (acceptMode() == QFileDialog::AcceptSave && nameBox != nullptr && type < types_.size()) {
    // A name with another extension than the selected type's gets the type's
    // extension as well; "*.*" admits any name.
    const QString mask = QtMask(types_[type].Mask);
    const QString typed = nameBox->text();
    const QFileInfo info(directory(), typed);
    const bool hasExtension = !info.suffix().isEmpty();
    if (mask != QStringLiteral("*") && hasExtension && !info.isDir() && !MatchesMask(info.fileName(), mask)) {
      const QString extension = mask.mid(mask.lastIndexOf(u'.') + 1);
      nameBox->setText(typed + u'.' + extension);
    }
  }
  // Qt's dialog stays open without a word on a name longer than the file
  // system allows. A file that does not exist needs no question, so the
  // name is taken as it is; one that cannot be created or read is reported
  // when it is used, like any other.
  const QStringList files = selectedFiles();
  if (fileMode() == QFileDialog::AnyFile && files.size() == 1) {
    const QFileInfo chosen(files.first());
    if (!chosen.exists() && !chosen.isDir()) {
      Q_EMIT filesSelected(files);
      Q_EMIT fileSelected(files.first());
      QDialog::accept();
      return;
    }
  }
  QFileDialog::accept();
}

bool TQtDialogs::Execute(TFileDialog& dialog, QWidget* owner)
{
#ifdef Q_OS_WIN
  // Windows users get the system's own dialogs.
  if (!UseQtFileDialogs) return ExecuteNativeFileDialog(dialog, owner);
#endif
  TFileChooser chooser(dialog, owner);
  if (chooser.exec() != QDialog::Accepted) return false;
  const QStringList files = chooser.selectedFiles();
  if (files.isEmpty()) return false;
  dialog.FileName = QDir::toNativeSeparators(files.first());
  dialog.FileTypeIndex = chooser.SelectedFileType();
  return true;
}

void TQtDialogs::ShowNotice(QWidget* owner, const QString& instruction, const QString& content)
{
  ui::ShowNotice(owner, instruction, content);
}

void TQtDialogs::ShowError(const QString& text)
{
  // Right after a file dialog closes the window system may not have made the
  // main window active again yet; the box still belongs to it, not to nobody.
  QWidget* owner = QApplication::activeWindow();
  for (QWidget* candidate : QApplication::topLevelWidgets()) {
    if (owner != nullptr) break;
    if (candidate->isVisible() && qobject_cast<QMainWindow*>(candidate) != nullptr) owner = candidate;
  }
  ShowErrorBox(owner, text);
}

void KeepNoSettingsBetweenRuns()
{
  static QTemporaryDir folder;
  QSettings::setDefaultFormat(QSettings::IniFormat);
  if (folder.isValid()) {
    QSettings::setPath(QSettings::IniFormat, QSettings::UserScope, folder.path());
    QSettings::setPath(QSettings::NativeFormat, QSettings::UserScope, folder.path());
  }
}

}  // namespace quenlora::ui
