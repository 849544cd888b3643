#include "TestSupport.h"

#include <QFile>
#include <QLineEdit>
#include <QTest>

#include "MainForm.h"

namespace quenlora::ui::test {

void TScriptedDialogs::ChooseNext(const QString& path, int fileType) { answers_.append({true, path, fileType}); }

void TScriptedDialogs::CancelNext() { answers_.append({false, QString(), -1}); }

bool TScriptedDialogs::Execute(TFileDialog& dialog, QWidget*)
{
  Shown.append({dialog.Name(), dialog.Kind(), dialog.FileTypes(), dialog.DefaultExtension(), dialog.ConfirmsOverwrite(),
                dialog.DefaultFolder, dialog.FileName, dialog.FileTypeIndex});
  if (answers_.isEmpty()) {
    ++Unexpected;
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
