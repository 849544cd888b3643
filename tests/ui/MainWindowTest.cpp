// SPDX-FileCopyrightText: 2026 The Quenlora authors
// SPDX-License-Identifier: GPL-3.0-or-later

// The window as it comes up: its controls, sizes, fonts, texts, menus,
// toolbar, keys and tab order.
#include <QAction>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QMenuBar>
#include <QPushButton>
#include <QStatusBar>
#include <QTest>
#include <QToolButton>
#include <memory>

#ifdef Q_OS_WIN
#include <windows.h>
#endif

#include "ColumnCheckList.h"
#include "ImageToolBar.h"
#include "MainForm.h"
#include "StatusPanel.h"
#include "TestSupport.h"
#include "file_stamp.h"
#include "platform/platform.h"
#include "regional_settings.h"

using namespace quenlora;
using namespace quenlora::ui;
using namespace quenlora::ui::test;

class MainWindowTest : public QObject {
  Q_OBJECT

private:
  // Where a control stands in the client area below the menu bar.
  QRect ClientRect(TMain& window, QWidget* control)
  {
    const QPoint origin = window.MainMenu1->geometry().bottomLeft() + QPoint(0, 1);
    return QRect(control->mapTo(&window, QPoint(0, 0)) - origin, control->size());
  }

private Q_SLOTS:
  void startsEmptyWithCountZeroAndFocusInInput()
  {
    TScriptedDialogs dialogs;
    TMain window(dialogs);
    QVERIFY(ShowAndActivate(window));
    QCOMPARE(window.windowTitle(), QStringLiteral("Quenlora"));
    QCOMPARE(window.StatusPanel0->Text(), QStringLiteral("Počet: 0"));
    QCOMPARE(window.Batch().Count(), 0);
    QCOMPARE(window.txtSeznam->model()->rowCount(), 0);
    QCOMPARE(QApplication::focusWidget(), window.txtInput);
    QVERIFY(!window.windowIcon().isNull());
  }

  void hintPanelNeverChanges()
  {
    TScriptedDialogs dialogs;
    TMain window(dialogs);
    QVERIFY(ShowAndActivate(window));
    const QString hint = QStringLiteral(
        "POZOR: Pokud exportujete kombinované KP, potom celá balení označte zaškrtnutím. Označený kód lze "
        "vymazat <DEL>\r\n");
    QCOMPARE(window.StatusPanel1->Text(), hint);
    Scan(window, QStringLiteral("A1"));
    window.A_New->trigger();
    QCOMPARE(window.StatusPanel1->Text(), hint);
    QCOMPARE(window.StatusPanel0->width(), 80);
    QVERIFY(window.StatusPanel1->width() >= 200);
    QCOMPARE(window.StatusBar1->height(), TMain::kStatusBarHeight);
  }

  void controlsStandWhereDesigned_data()
  {
    QTest::addColumn<QString>("name");
    QTest::addColumn<QRect>("expected");  // an empty size: only the place is fixed
    QTest::newRow("AdvToolBar1") << "AdvToolBar1" << QRect(0, 0, 794, 39);
    QTest::newRow("Label3") << "Label3" << QRect(8, 42, 0, 0);
    QTest::newRow("txtInput") << "txtInput" << QRect(8, 61, 742, 26);
    QTest::newRow("Button2") << "Button2" << QRect(753, 61, 26, 26);
    QTest::newRow("Label1") << "Label1" << QRect(8, 93, 0, 0);
    QTest::newRow("txtSeznam") << "txtSeznam" << QRect(0, 113, 794, 391);
    QTest::newRow("StatusBar1") << "StatusBar1" << QRect(0, 504, 794, 19);
  }

  void controlsStandWhereDesigned()
  {
    QFETCH(QString, name);
    QFETCH(QRect, expected);
    TScriptedDialogs dialogs;
    TMain window(dialogs);
    QVERIFY(ShowAndActivate(window));
    QCOMPARE(window.height() - window.MainMenu1->height(), TMain::kClientHeight);
    QCOMPARE(window.width(), TMain::kClientWidth);
    auto* control = window.findChild<QWidget*>(name);
    QVERIFY(control != nullptr);
    const QRect actual = ClientRect(window, control);
    QCOMPARE(actual.topLeft(), expected.topLeft());
    if (!expected.size().isEmpty()) QCOMPARE(actual.size(), expected.size());
  }

  void resizingFollowsTheAnchors()
  {
    TScriptedDialogs dialogs;
    TMain window(dialogs);
    QVERIFY(ShowAndActivate(window));
    window.resize(window.width() + 100, window.height() + 60);
    QTRY_COMPARE(window.txtInput->width(), 842);
    QCOMPARE(window.txtSeznam->width(), 894);
    QCOMPARE(window.txtSeznam->height(), 451);
    QCOMPARE(ClientRect(window, window.Button2).topLeft(), QPoint(853, 61));
    QCOMPARE(ClientRect(window, window.txtInput).topLeft(), QPoint(8, 61));
    QCOMPARE(ClientRect(window, window.StatusBar1).top(), 564);
  }

  void fontsAndColours_data()
  {
    QTest::addColumn<QString>("name");
    QTest::addColumn<int>("pixelSize");
    QTest::addColumn<bool>("bold");
    QTest::addColumn<QColor>("colour");  // invalid: not fixed
    QTest::newRow("window") << "Main" << 11 << false << QColor();
    QTest::newRow("Label3") << "Label3" << 13 << true << QColor(0x80, 0x80, 0x80);
    QTest::newRow("Label1") << "Label1" << 13 << true << QColor(0x80, 0x80, 0x80);
    QTest::newRow("txtInput") << "txtInput" << 15 << true << QColor(0x00, 0x00, 0x80);
    QTest::newRow("txtSeznam") << "txtSeznam" << 13 << false << QColor();
  }

  void fontsAndColours()
  {
    QFETCH(QString, name);
    QFETCH(int, pixelSize);
    QFETCH(bool, bold);
    QFETCH(QColor, colour);
    TScriptedDialogs dialogs;
    TMain window(dialogs);
    QWidget* control = name == QStringLiteral("Main") ? &window : window.findChild<QWidget*>(name);
    QVERIFY(control != nullptr);
    QCOMPARE(control->font().pixelSize(), pixelSize);
    QCOMPARE(control->font().bold(), bold);
    QCOMPARE(control->font().families().value(0), QStringLiteral("Tahoma"));
    // Where Tahoma is missing, one of the sans-serif faces named after it stands in.
    QVERIFY2(control->font().families().contains(QFontInfo(control->font()).family()),
             qPrintable(QFontInfo(control->font()).family()));
    if (colour.isValid()) {
      const QPalette::ColorRole role = qobject_cast<QLineEdit*>(control) ? QPalette::Text : QPalette::WindowText;
      QCOMPARE(control->palette().color(role), colour);
    }
  }

  void texts()
  {
    TScriptedDialogs dialogs;
    TMain window(dialogs);
    QCOMPARE(window.Label3->text(), QStringLiteral("Vstup QR kódu:"));
    QCOMPARE(window.Label1->text(), QStringLiteral("Načtené kódy:"));
    QVERIFY(window.txtInput->text().isEmpty());
    QVERIFY(window.Button2->text().isEmpty());
    QVERIFY(!window.Button2->icon().isNull());
  }

  void actions_data()
  {
    QTest::addColumn<QString>("name");
    QTest::addColumn<QString>("caption");
    QTest::addColumn<QString>("hint");  // the toolbar's tooltip; empty: none
    QTest::addColumn<QList<QKeySequence>>("keys");
    QTest::addColumn<bool>("hasImage");
    using Keys = QList<QKeySequence>;
    QTest::newRow("A_Input") << "A_Input" << "" << "Vložit do seznamu"
                             << Keys{QKeySequence(Qt::Key_Return), QKeySequence(Qt::Key_Enter)} << true;
    QTest::newRow("A_New") << "A_New" << "Nová dávka" << "Nová dávka" << Keys{QKeySequence(QStringLiteral("Ctrl+N"))} << true;
    QTest::newRow("A_LoadList") << "A_LoadList" << "Načíst seznam..." << "Načíst kódy ze souboru"
                                << Keys{QKeySequence(QStringLiteral("Ctrl+O"))} << true;
    QTest::newRow("A_SaveList") << "A_SaveList" << "Uložit seznam..." << "Uložit načtené kódy"
                                << Keys{QKeySequence(QStringLiteral("Ctrl+S"))} << true;
    QTest::newRow("A_Close") << "A_Close" << "Konec" << "" << Keys{QKeySequence(QStringLiteral("Alt+F4"))} << false;
    QTest::newRow("A_XMLSingle") << "A_XMLSingle" << "Jednotlivé KP" << "Vrácené jednotlivé KP" << Keys{} << true;
    QTest::newRow("A_XMLFull") << "A_XMLFull" << "Celé KP" << "Vrácené celé KP" << Keys{} << true;
    QTest::newRow("A_XMLKombi") << "A_XMLKombi" << "Kombinované KP" << "Vrácené kombinované KP" << Keys{} << true;
    QTest::newRow("A_About") << "A_About" << "O Aplikaci" << "" << Keys{} << true;
  }

  void actions()
  {
    QFETCH(QString, name);
    QFETCH(QString, caption);
    QFETCH(QString, hint);
    QFETCH(QList<QKeySequence>, keys);
    QFETCH(bool, hasImage);
    TScriptedDialogs dialogs;
    TMain window(dialogs);
    auto* action = window.findChild<QAction*>(name);
    QVERIFY(action != nullptr);
    QCOMPARE(action->text(), caption);
    QCOMPARE(action->shortcuts(), keys);
    QCOMPARE(!action->icon().isNull(), hasImage);
    if (!hint.isEmpty()) QCOMPARE(action->toolTip(), hint);
  }

  void toolbarHoldsSixImageButtonsAndASeparator()
  {
    TScriptedDialogs dialogs;
    TMain window(dialogs);
    QVERIFY(ShowAndActivate(window));
    TImageToolBar* bar = window.AdvToolBar1;
    const QList<QAction*> expected = {window.A_New,       window.A_SaveList, window.A_LoadList, nullptr,
                                      window.A_XMLSingle, window.A_XMLFull,  window.A_XMLKombi};
    const QList<QAction*> actual = bar->actions();
    QCOMPARE(actual.size(), expected.size());
    for (int i = 0; i < actual.size(); ++i) {
      if (expected[i] == nullptr) {
        QVERIFY(actual[i]->isSeparator());
        continue;
      }
      QCOMPARE(actual[i], expected[i]);
      auto* button = qobject_cast<QToolButton*>(bar->widgetForAction(actual[i]));
      QVERIFY(button != nullptr);
      QCOMPARE(button->size(), QSize(34, 30));
      QCOMPARE(button->toolButtonStyle(), Qt::ToolButtonIconOnly);
      QCOMPARE(button->toolTip(), expected[i]->toolTip());
      QCOMPARE(button->focusPolicy(), Qt::NoFocus);
    }
    QVERIFY(!bar->isMovable());
    QVERIFY(!bar->isFloatable());
    QCOMPARE(bar->iconSize(), QSize(24, 24));
    // Nothing outside the toolbar shows hints.
    QVERIFY(window.Button2->toolTip().isEmpty());
    for (QMenu* menu : {window.MenuSoubor, window.MenuExport, window.MenuAbout}) QVERIFY(!menu->toolTipsVisible());
  }

  void toolbarButtonRunsItsAction()
  {
    TScriptedDialogs dialogs;
    TMain window(dialogs);
    QVERIFY(ShowAndActivate(window));
    Scan(window, QStringLiteral("A1"));
    QTest::mouseClick(window.AdvToolBar1->widgetForAction(window.A_New), Qt::LeftButton);
    QCOMPARE(window.Batch().Count(), 0);
    QCOMPARE(window.StatusPanel0->Text(), QStringLiteral("Počet: 0"));
  }

  void menusInOrder()
  {
    TScriptedDialogs dialogs;
    TMain window(dialogs);
    const QList<QAction*> menus = window.MainMenu1->actions();
    QCOMPARE(menus.size(), 3);
    QCOMPARE(menus[0]->text(), QStringLiteral("&Soubor"));
    QCOMPARE(menus[1]->text(), QStringLiteral("&Export"));
    QCOMPARE(menus[2]->text(), QStringLiteral("O aplikaci"));
    QCOMPARE(menus[0]->menu()->actions(), (QList<QAction*>{window.A_New, window.A_LoadList, window.A_SaveList, window.A_Close}));
    QCOMPARE(menus[1]->menu()->actions(), (QList<QAction*>{window.A_XMLSingle, window.A_XMLFull, window.A_XMLKombi}));
    QCOMPARE(menus[2]->menu()->actions(), (QList<QAction*>{window.A_About}));
    // The delete command is bound to nothing.
    QVERIFY(window.A_DelItem->associatedObjects().isEmpty());
  }

  void keyboardShortcutsRunTheirCommands()
  {
    TScriptedDialogs dialogs;
    TMain window(dialogs);
    QVERIFY(ShowAndActivate(window));
    Scan(window, QStringLiteral("A1"));
    QTest::keyClick(window.txtInput, Qt::Key_N, Qt::ControlModifier);
    QCOMPARE(window.Batch().Count(), 0);
    dialogs.CancelNext();
    QTest::keyClick(window.txtInput, Qt::Key_O, Qt::ControlModifier);
    dialogs.CancelNext();
    QTest::keyClick(window.txtInput, Qt::Key_S, Qt::ControlModifier);
    QCOMPARE(dialogs.Shown.size(), 2);
    QCOMPARE(dialogs.Shown[0].Name, QStringLiteral("FileOpenDialog1"));
    QCOMPARE(dialogs.Shown[1].Name, QStringLiteral("FileSaveDialog1"));
    QTest::keyClick(window.txtInput, Qt::Key_F4, Qt::AltModifier);
    QTRY_VERIFY(!window.isVisible());
  }

  void tabOrderIsButtonInputList()
  {
    TScriptedDialogs dialogs;
    TMain window(dialogs);
    QVERIFY(ShowAndActivate(window));
    window.Button2->setFocus();
    QTRY_COMPARE(QApplication::focusWidget(), window.Button2);
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
    QCOMPARE(QApplication::focusWidget(), window.txtInput);
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
    QCOMPARE(QApplication::focusWidget(), window.txtSeznam);
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
    QCOMPARE(QApplication::focusWidget(), window.Button2);
  }

  void closingEndsWithoutQuestions()
  {
    TScriptedDialogs dialogs;
    TMain window(dialogs);
    QVERIFY(ShowAndActivate(window));
    Scan(window, QStringLiteral("UNSAVED"));
    window.A_Close->trigger();
    QVERIFY(!window.isVisible());
    QCOMPARE(dialogs.Shown.size() + dialogs.Notices.size() + dialogs.Errors.size(), 0);
  }

#ifndef Q_OS_WIN
  void readsRegionalSettingsAgainWhenTheSystemSaysSo()
  {
    TScriptedDialogs dialogs;
    TMain window(dialogs);
    const QByteArray saved = qgetenv("LC_ALL");
    // Settings read earlier, then the C locale, which holds none, takes over.
    TRegionalSettings czech;
    czech.ShortDatePattern = u"d.M.yyyy";
    czech.DateSeparator = u".";
    czech.TwelveHourClock = false;
    SetCurrentRegionalSettings(czech);
    qputenv("LC_ALL", "C");
    QEvent change(QEvent::LocaleChange);
    QApplication::sendEvent(&window, &change);
    const TRegionalSettings after = CurrentRegionalSettings();
    if (saved.isNull())
      qunsetenv("LC_ALL");
    else
      qputenv("LC_ALL", saved);
    ReloadRegionalSettings();
    QCOMPARE(after, TRegionalSettings{});
  }
#else
  void readsRegionalSettingsAgainWhenWindowsAnnouncesThem()
  {
    // The user changes the short date pattern in the regional settings, and
    // the system announces it to every window; the program has long started.
    TScriptedDialogs dialogs;
    TMain window(dialogs);
    QVERIFY(ShowAndActivate(window));
    const TRegionalSettings before = CurrentRegionalSettings();
    wchar_t saved[128]{};
    QVERIFY(::GetLocaleInfoW(LOCALE_USER_DEFAULT, LOCALE_SSHORTDATE, saved, 128) > 0);
    QVERIFY(::SetLocaleInfoW(LOCALE_USER_DEFAULT, LOCALE_SSHORTDATE, L"yyyy-MM-dd"));
    const auto changed = platform::ReadUserRegionalSettings();
    const TRegionalSettings unannounced = CurrentRegionalSettings();
    const auto announce = [] {
      DWORD_PTR ignored = 0;
      ::SendMessageTimeoutW(HWND_BROADCAST, WM_SETTINGCHANGE, 0, reinterpret_cast<LPARAM>(L"intl"),
                            SMTO_ABORTIFHUNG, 5000, &ignored);
    };
    announce();
    const TRegionalSettings announced = CurrentRegionalSettings();
    ::SetLocaleInfoW(LOCALE_USER_DEFAULT, LOCALE_SSHORTDATE, saved);
    announce();
    QVERIFY(changed.has_value());
    QCOMPARE(QString::fromStdU16String(changed->ShortDatePattern), QStringLiteral("yyyy-MM-dd"));
    QVERIFY(unannounced == before);
    QCOMPARE(QString::fromStdU16String(announced.ShortDatePattern), QStringLiteral("yyyy-MM-dd"));
    QVERIFY(CurrentRegionalSettings() == before);
  }
#endif
};

std::unique_ptr<QObject> MakeMainWindowTest() { return std::make_unique<MainWindowTest>(); }

#include "MainWindowTest.moc"
