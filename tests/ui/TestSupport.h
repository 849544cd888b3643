// SPDX-FileCopyrightText: 2026 The Quenlora authors
// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

#include <QApplication>
#include <QByteArray>
#include <QList>
#include <QMap>
#include <QPoint>
#include <QString>
#include <QStringList>
#include <QTimer>
#include <functional>

#include "Dialogs.h"

namespace quenlora {
class TCodeBatch;
}

namespace quenlora::ui {
class TMain;
class TColumnCheckList;
}

namespace quenlora::ui::test {

// Answers the window's dialogs in the user's place: each file dialog takes
// the next prepared answer and every dialog shown is recorded. A file dialog
// shown with no answer prepared, or an answer that no dialog took, fails the
// running test when the scripted dialogs go at its end.
class TScriptedDialogs : public TDialogs {
public:
  struct TShownFileDialog {
    QString Name;
    TFileDialog::TKind Kind;
    QList<TFileType> FileTypes;
    QString DefaultExtension;
    QString DefaultFolder;
    QString ProposedName;
    int FileTypeIndex;
  };
  struct TNotice {
    QString Instruction;
    QString Content;
  };

  TScriptedDialogs() = default;
  TScriptedDialogs(const TScriptedDialogs&) = delete;
  TScriptedDialogs& operator=(const TScriptedDialogs&) = delete;
  ~TScriptedDialogs() override;

  // The next file dialog is confirmed with path (and, when given, that file type).
  void ChooseNext(const QString& path, int fileType = -1);
  void CancelNext();

  bool Execute(TFileDialog& dialog, QWidget* owner) override;
  void ShowNotice(QWidget* owner, const QString& instruction, const QString& content) override;
  void ShowError(const QString& text) override;

  QList<TShownFileDialog> Shown;
  QList<TNotice> Notices;
  QStringList Errors;
  // The names of the file dialogs shown with no answer prepared, which the
  // window took for cancelled (a fault of the test or of the window).
  QStringList Unexpected;

private:
  struct TAnswer {
    bool Confirm;
    QString Path;
    int FileType;
  };
  QList<TAnswer> answers_;
};

QByteArray ReadBytes(const QString& path);
bool WriteBytes(const QString& path, const QByteArray& bytes);

// Every path below the folder, relative to it, with the bytes of each file
// ("<folder>" for a folder): equal snapshots mean nothing was added, removed
// or changed.
QMap<QString, QByteArray> Snapshot(const QString& folder);

// A failure of a file command as the system words it: the reason the error
// box shows after the path, without the final period.
enum class TFailure {
  FileNotFound,
  PathNotFound,  // a folder on the way is missing
  IsFolder,      // the path names a folder, not a file
  ParentIsFile,  // a file stands on the way where a folder should be
  AccessDenied,
  HeldByAnother,  // another program holds the file open (Windows)
  NameTooLong,    // a name longer than the file system allows (POSIX)
};
QString SystemReason(TFailure failure);

// Holds a file open as another program can on Windows: for writing, and
// sharing it with nobody, so no one else may read it or write it while the
// object lives. Elsewhere it holds nothing and Holding() is false.
class THeldFile {
public:
  explicit THeldFile(const QString& path);
  THeldFile(const THeldFile&) = delete;
  THeldFile& operator=(const THeldFile&) = delete;
  ~THeldFile();
  bool Holding() const;

private:
  void* handle_ = nullptr;
};

// Root passes every permission check, and CI runs as root. While a scope
// lives, the process acts as the user nobody (only the effective user and
// groups change, so root comes back when it ends); without root it changes
// nothing. Only the command under test may run inside it.
class TUnprivilegedScope {
public:
  TUnprivilegedScope();
  TUnprivilegedScope(const TUnprivilegedScope&) = delete;
  TUnprivilegedScope& operator=(const TUnprivilegedScope&) = delete;
  ~TUnprivilegedScope();

  // Whether the process now acts as a user whom permissions bind.
  bool Active() const { return active_; }

private:
  bool switched_ = false;
  bool active_ = false;
  QList<unsigned> groups_;
};

// Makes the path and everything below it belong to the user of
// TUnprivilegedScope; nothing to do when the tests do not run as root.
bool GiveToUnprivilegedUser(const QString& path);

// A folder on a small disk of its own, named by QUENLORA_TEST_SMALL_DISK
// (the Wine runs mount one when they may); empty where there is none.
QString SmallDiskFolder();

// Fills the disk that holds the folder until not one more byte fits, so that
// the next write there breaks off; the filler goes when the object does.
class TDiskFiller {
public:
  explicit TDiskFiller(const QString& folder);
  TDiskFiller(const TDiskFiller&) = delete;
  TDiskFiller& operator=(const TDiskFiller&) = delete;
  ~TDiskFiller();
  bool Full() const { return full_; }

private:
  QString path_;
  bool full_ = false;
};

// Caps the size of files the process writes while it lives, so that a write
// breaks off part-way even for root; SIGXFSZ is ignored meanwhile (POSIX).
class TFileSizeLimit {
public:
  explicit TFileSizeLimit(qint64 bytes);
  TFileSizeLimit(const TFileSizeLimit&) = delete;
  TFileSizeLimit& operator=(const TFileSizeLimit&) = delete;
  ~TFileSizeLimit();

private:
  qint64 savedLimit_ = -1;
  bool restore_ = false;
  void (*savedHandler_)(int) = nullptr;
};

// Types the text key by key into the widget.
void TypeText(QWidget* widget, const QString& text);
// Types the text into the input box key by key and presses Enter.
void Scan(TMain& window, const QString& text);
// Puts each code into the batch as Enter in the input box does, without typing it.
void Fill(TMain& window, const QStringList& codes);
// Which entries of the batch are ticked, in order.
QList<bool> Marks(const TCodeBatch& batch);
// The batch's codes, in order.
QStringList Codes(const TCodeBatch& batch);
// The middle of the row's check box, in the list's viewport.
QPoint OnBox(TColumnCheckList* list, int row);
// Shows the window and waits until it is active, as after start-up.
bool ShowAndActivate(TMain& window);

// The list's save dialog and open dialog as the window has them, opening in folder.
TFileDialog SaveDialogIn(const QString& folder);
TFileDialog OpenDialogIn(const QString& folder);
// The columns typed, fileType and chosen, and the rows of a name typed into
// the save dialog that every dialog must end the same way; the dialogs differ
// only in a bare name under "*.*".
void AddSavedNameColumnsAndRows();

// Runs act on the first modal widget of type T shown within timeoutMs, from
// inside its own event loop; act must close it.
template <typename T>
void OnModal(std::function<void(T*)> act, int timeoutMs = 5000)
{
  auto* timer = new QTimer;
  auto waited = std::make_shared<int>(0);
  timer->setInterval(10);
  QObject::connect(timer, &QTimer::timeout, [timer, act, waited, timeoutMs] {
    *waited += 10;
    if (auto* modal = qobject_cast<T*>(QApplication::activeModalWidget())) {
      timer->stop();
      timer->deleteLater();
      act(modal);
    } else if (*waited > timeoutMs) {
      timer->stop();
      timer->deleteLater();
    }
  });
  timer->start();
}

}  // namespace quenlora::ui::test
