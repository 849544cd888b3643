#include "ErrorBox.h"

#include <QMessageBox>

namespace quenlora::ui {

QString ErrorBoxText(const QString& message)
{
  if (message.isEmpty() || message.back().unicode() <= u'.') return message;
  return message + u'.';
}

void ShowErrorBox(QWidget* owner, const QString& text)
{
  QMessageBox box(QMessageBox::Critical, QStringLiteral("Quenlora"), text, QMessageBox::Ok, owner);
  box.setObjectName(QStringLiteral("ErrorBox"));
  // The text names files; nothing in a path may be taken for markup.
  box.setTextFormat(Qt::PlainText);
  box.setDefaultButton(QMessageBox::Ok);
  box.exec();
}

}  // namespace quenlora::ui
