// SPDX-FileCopyrightText: 2026 The Quenlora authors
// SPDX-License-Identifier: GPL-3.0-or-later

#include "TestSupport.h"

#include <QDir>
#include <QDirIterator>
#include <QFile>
#include <QLineEdit>
#include <QTest>
#include <algorithm>
#include <csignal>
#include <cstring>
#include <vector>

#ifdef Q_OS_WIN
#include <windows.h>
#else
#include <cerrno>
#include <grp.h>
#include <sys/resource.h>
#include <unistd.h>
#endif

#include "batch_error.h"
#include "QtText.h"
#include "code_batch.h"

#include "ColumnCheckList.h"
#include "MainForm.h"

namespace quenlora::ui::test {

void TScriptedDialogs::ChooseNext(const QString& path, int fileType) { answers_.append({true, path, fileType}); }

void TScriptedDialogs::CancelNext() { answers_.append({false, QString(), -1}); }

TScriptedDialogs::~TScriptedDialogs()
{
  // A test that has failed already has said what went wrong first.
  if (QTest::currentTestFailed()) return;
  if (!Unexpected.isEmpty())
    QTest::qFail(qPrintable(QStringLiteral("File dialogs shown without a prepared answer: ") + Unexpected.join(u", ")),
                 __FILE__, __LINE__);
  else if (!answers_.isEmpty())
    QTest::qFail(qPrintable(QStringLiteral("%1 prepared dialog answers were never taken").arg(answers_.size())),
                 __FILE__, __LINE__);
}

bool TScriptedDialogs::Execute(TFileDialog& dialog, QWidget*)
{
  Shown.append({dialog.Name(), dialog.Kind(), dialog.FileTypes(), dialog.DefaultExtension(), dialog.DefaultFolder,
                dialog.FileName, dialog.FileTypeIndex});
  if (answers_.isEmpty()) {
    Unexpected.append(dialog.Name());
    return false;
  }
  const TAnswer answer = answers_.takeFirst();
  if (!answer.Confirm) return false;
  dialog.FileName = answer.Path;
  if (answer.FileType >= 0) dialog.FileTypeIndex = answer.FileType;
  return true;
}

void TScriptedDialogs::ShowNotice(QWidget*, const QString& instruction, const QString& content)
{
  Notices.append({instruction, content});
}

void TScriptedDialogs::ShowError(const QString& text) { Errors.append(text); }

QByteArray ReadBytes(const QString& path)
{
  QFile file(path);
  if (!file.open(QIODevice::ReadOnly)) return QByteArray("<missing>");
  return file.readAll();
}

bool WriteBytes(const QString& path, const QByteArray& bytes)
{
  QFile file(path);
  return file.open(QIODevice::WriteOnly | QIODevice::Truncate) && file.write(bytes) == bytes.size();
}

QMap<QString, QByteArray> Snapshot(const QString& folder)
{
  QMap<QString, QByteArray> tree;
  const QDir root(folder);
  QDirIterator it(folder, QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot,
                  QDirIterator::Subdirectories);
  while (it.hasNext()) {
    const QString path = it.next();
    tree.insert(root.relativeFilePath(path), it.fileInfo().isDir() ? QByteArray("<folder>") : ReadBytes(path));
  }
  return tree;
}

QString SmallDiskFolder() { return qEnvironmentVariable("QUENLORA_TEST_SMALL_DISK"); }

TDiskFiller::TDiskFiller(const QString& folder) : path_(QDir(folder).filePath(QStringLiteral("filler.bin")))
{
  QFile filler(path_);
  if (!filler.open(QIODevice::WriteOnly | QIODevice::Unbuffered)) return;
  // Ever smaller pieces, down to single bytes, until nothing more fits.
  const QByteArray piece(64 * 1024, 'f');
  for (qint64 size = piece.size(); size > 0; size /= 2)
    while (filler.write(piece.constData(), size) == size) {
    }
  full_ = true;
}

TDiskFiller::~TDiskFiller() { QFile::remove(path_); }

#ifdef Q_OS_WIN

QString SystemReason(TFailure failure)
{
  // Not in every SDK's headers: "The directory name is not supported" from Windows 8 on.
  constexpr DWORD kDirectoryNotSupported = 336;
  DWORD error = ERROR_SUCCESS;
  switch (failure) {
    case TFailure::FileNotFound: error = ERROR_FILE_NOT_FOUND; break;
    case TFailure::PathNotFound: error = ERROR_PATH_NOT_FOUND; break;
    case TFailure::IsFolder: error = kDirectoryNotSupported; break;
    case TFailure::ParentIsFile: error = ERROR_PATH_NOT_FOUND; break;
    case TFailure::AccessDenied: error = ERROR_ACCESS_DENIED; break;
    case TFailure::HeldByAnother: error = ERROR_SHARING_VIOLATION; break;
    case TFailure::NameTooLong: qFatal("Windows words a name too long as its file system does");
  }
  wchar_t* buffer = nullptr;
  const DWORD length =
      ::FormatMessageW(FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS,
                       nullptr, error, 0, reinterpret_cast<wchar_t*>(&buffer), 0, nullptr);
  QString text = buffer != nullptr ? QString::fromWCharArray(buffer, static_cast<qsizetype>(length)) : QString();
  ::LocalFree(buffer);
  // A system without the folder text gets the program's own wording.
  if (text.isEmpty() && failure == TFailure::IsFolder) text = QStringLiteral("The path names a folder, not a file");
  return ToQString(CleanReason(ViewOf(text)));
}

THeldFile::THeldFile(const QString& path)
{
  const HANDLE handle = ::CreateFileW(reinterpret_cast<const wchar_t*>(QDir::toNativeSeparators(path).utf16()),
                                      GENERIC_READ | GENERIC_WRITE, 0, nullptr, OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL,
                                      nullptr);
  if (handle != INVALID_HANDLE_VALUE) handle_ = handle;
}

THeldFile::~THeldFile()
{
  if (handle_ != nullptr) ::CloseHandle(static_cast<HANDLE>(handle_));
}

bool THeldFile::Holding() const { return handle_ != nullptr; }

// Windows has no other user to become in these tests, no owners to give
// files to, and no limit on the size of the files a process writes.
TUnprivilegedScope::TUnprivilegedScope() = default;
TUnprivilegedScope::~TUnprivilegedScope() = default;
bool GiveToUnprivilegedUser(const QString&) { return true; }
TFileSizeLimit::TFileSizeLimit(qint64) { qFatal("no file-size limit on Windows: fill a small disk instead"); }
TFileSizeLimit::~TFileSizeLimit() = default;

#else

QString SystemReason(TFailure failure)
{
  int error = 0;
  switch (failure) {
    case TFailure::FileNotFound:
    case TFailure::PathNotFound: error = ENOENT; break;
    case TFailure::IsFolder: error = EISDIR; break;
    case TFailure::ParentIsFile: error = ENOTDIR; break;
    case TFailure::AccessDenied: error = EACCES; break;
    case TFailure::HeldByAnother: qFatal("POSIX systems let any number of programs open a file");
    case TFailure::NameTooLong: error = ENAMETOOLONG; break;
  }
  return ToQString(CleanReason(ViewOf(QString::fromUtf8(std::strerror(error)))));
}

THeldFile::THeldFile(const QString&) {}
THeldFile::~THeldFile() = default;
bool THeldFile::Holding() const { return false; }

namespace {
constexpr uid_t kUnprivilegedUser = 65534;
constexpr gid_t kUnprivilegedGroup = 65534;
}  // namespace

TUnprivilegedScope::TUnprivilegedScope()
{
  if (::geteuid() != 0) {
    active_ = true;
    return;
  }
  const int count = ::getgroups(0, nullptr);
  std::vector<gid_t> groups(static_cast<std::size_t>(std::max(count, 0)));
  if (count > 0 && ::getgroups(count, groups.data()) == count)
    for (gid_t group : groups) groups_.append(group);
  switched_ = true;
  // Root's own groups must not let it in either.
  if (::setgroups(0, nullptr) != 0 || ::setegid(kUnprivilegedGroup) != 0 || ::seteuid(kUnprivilegedUser) != 0) return;
  active_ = ::geteuid() == kUnprivilegedUser && ::getegid() == kUnprivilegedGroup;
}

TUnprivilegedScope::~TUnprivilegedScope()
{
  if (!switched_) return;
  std::vector<gid_t> groups(groups_.begin(), groups_.end());
  if (::seteuid(0) != 0 || ::setegid(0) != 0 || ::setgroups(groups.size(), groups.data()) != 0)
    qFatal("cannot become root again");
}

bool GiveToUnprivilegedUser(const QString& path)
{
  if (::geteuid() != 0) return true;
  bool ok = ::lchown(QFile::encodeName(path).constData(), kUnprivilegedUser, kUnprivilegedGroup) == 0;
  QDirIterator it(path, QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot,
                  QDirIterator::Subdirectories);
  while (it.hasNext())
    ok = ::lchown(QFile::encodeName(it.next()).constData(), kUnprivilegedUser, kUnprivilegedGroup) == 0 && ok;
  return ok;
}

TFileSizeLimit::TFileSizeLimit(qint64 bytes)
{
  rlimit limit{};
  if (::getrlimit(RLIMIT_FSIZE, &limit) != 0) qFatal("getrlimit failed");
  savedLimit_ = static_cast<qint64>(limit.rlim_cur);
  savedHandler_ = std::signal(SIGXFSZ, SIG_IGN);
  limit.rlim_cur = static_cast<rlim_t>(bytes);
  restore_ = ::setrlimit(RLIMIT_FSIZE, &limit) == 0;
  if (!restore_) qFatal("setrlimit failed");
}

TFileSizeLimit::~TFileSizeLimit()
{
  rlimit limit{};
  ::getrlimit(RLIMIT_FSIZE, &limit);
  limit.rlim_cur = static_cast<rlim_t>(savedLimit_);
  if (restore_) ::setrlimit(RLIMIT_FSIZE, &limit);
  std::signal(SIGXFSZ, savedHandler_);
}

#endif

void TypeText(QWidget* widget, const QString& text)
{
  for (const QChar c : text) {
    if (c.unicode() >= 0x20 && c.unicode() < 0x7F) {
      QTest::keyClick(widget, static_cast<char>(c.unicode()));
    } else {
      // Beyond ASCII a key press carries the character as its text, as a keyboard layout gives it.
      const auto key = static_cast<Qt::Key>(c.toUpper().unicode());
      QTest::sendKeyEvent(QTest::Press, widget, key, QString(c), Qt::NoModifier);
      QTest::sendKeyEvent(QTest::Release, widget, key, QString(c), Qt::NoModifier);
    }
  }
}

void Scan(TMain& window, const QString& text)
{
  TypeText(window.txtInput, text);
  QTest::keyClick(window.txtInput, Qt::Key_Return);
}

void Fill(TMain& window, const QStringList& codes)
{
  for (const QString& code : codes) {
    window.txtInput->setText(code);
    window.A_Input->trigger();
  }
}

QList<bool> Marks(const TCodeBatch& batch)
{
  QList<bool> marks;
  for (std::ptrdiff_t i = 0; i < batch.Count(); ++i) marks << batch.WholePackage(i);
  return marks;
}

QStringList Codes(const TCodeBatch& batch)
{
  QStringList codes;
  for (std::ptrdiff_t i = 0; i < batch.Count(); ++i) codes << ToQString(batch.Code(i));
  return codes;
}

QPoint OnBox(TColumnCheckList* list, int row)
{
  const QRect rect = list->RowRect(row);
  return {rect.left() + list->CheckBoxWidth() / 2, rect.center().y()};
}

bool ShowAndActivate(TMain& window)
{
  window.show();
  window.activateWindow();
  return QTest::qWaitForWindowActive(&window);
}

TFileDialog SaveDialogIn(const QString& folder)
{
  TFileDialog fileDialog(QStringLiteral("FileSaveDialog1"), TFileDialog::fdSave,
                         {{QStringLiteral("Textové soubory (*.txt)"), QStringLiteral("*.txt")},
                          {QStringLiteral("Všechny soubory (*.*)"), QStringLiteral("*.*")}},
                         QStringLiteral("txt"));
  fileDialog.DefaultFolder = folder;
  fileDialog.FileName = QStringLiteral("DavkaKP_1.txt");
  return fileDialog;
}

TFileDialog OpenDialogIn(const QString& folder)
{
  TFileDialog fileDialog(QStringLiteral("FileOpenDialog1"), TFileDialog::fdOpen,
                         {{QStringLiteral("Textový soubor (*.txt)"), QStringLiteral("*.txt")},
                          {QStringLiteral("Všechny soubory (*.*)"), QStringLiteral("*.*")}},
                         QString());
  fileDialog.DefaultFolder = folder;
  return fileDialog;
}

void AddSavedNameColumnsAndRows()
{
  QTest::addColumn<QString>("typed");
  QTest::addColumn<int>("fileType");
  QTest::addColumn<QString>("chosen");
  QTest::newRow("no extension gets the default") << "list" << 0 << "list.txt";
  QTest::newRow("own extension stays") << "list.txt" << 0 << "list.txt";
  QTest::newRow("extension in other case stays") << "list.TXT" << 0 << "list.TXT";
  QTest::newRow("other extension gets the type's") << "list.csv" << 0 << "list.csv.txt";
  QTest::newRow("all files admit any name") << "list.csv" << 1 << "list.csv";
}

}  // namespace quenlora::ui::test
