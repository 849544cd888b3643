// The program's start: the application, its one window, the event loop.
#include <QApplication>
#include <QLibraryInfo>
#include <QLocale>
#include <QTranslator>

#include "Images.h"
#include "MainForm.h"
#include "QtDialogs.h"

int main(int argc, char* argv[])
{
  QApplication application(argc, argv);
  QApplication::setApplicationName(QStringLiteral("Quenlora"));
  QApplication::setApplicationVersion(QStringLiteral(QUENLORA_PRODUCT_VERSION));
  QApplication::setWindowIcon(quenlora::ui::ProgramIcon());
  // Lets Wayland and X11 shells match the window to the installed desktop entry and its icon.
  QGuiApplication::setDesktopFileName(QStringLiteral(QUENLORA_APP_ID));
  quenlora::ui::KeepNoSettingsBetweenRuns();

  // The program speaks Czech; so should the parts of Qt's dialogs it shows.
  QTranslator qtTexts;
  if (qtTexts.load(QLocale(QLocale::Czech, QLocale::CzechRepublic), QStringLiteral("qtbase"), QStringLiteral("_"),
                   QLibraryInfo::path(QLibraryInfo::TranslationsPath)))
    QApplication::installTranslator(&qtTexts);

  quenlora::ui::TQtDialogs dialogs;
  quenlora::ui::TMain window(dialogs);
  window.show();
  return QApplication::exec();
}
