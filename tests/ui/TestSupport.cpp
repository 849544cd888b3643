#include "TestSupport.h"

#include <QDir>
#include <QDirIterator>
#include <QFile>
#include <QLineEdit>
#include <QTest>
#include <algorithm>
#include <csignal>
#include <vector>
#include <grp.h>
#include <sys/resource.h>
#include <unistd.h>

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

bool ShowAndActivate(TMain& window)
{
  window.show();
  window.activateWindow();
  return QTest::qWaitForWindowActive(&window);
}

}  // namespace quenlora::ui::test
