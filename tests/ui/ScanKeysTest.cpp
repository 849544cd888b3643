// SPDX-FileCopyrightText: 2026 The Quenlora authors
// SPDX-License-Identifier: GPL-3.0-or-later

// Scans typed through another keyboard layout than the scanner's: the input
// box keeps the keys that typed its text, and a scan whose text lacks the
// prefix is taken as the scanner's keys read through its layout.
#include <QApplication>
#include <QClipboard>
#include <QLineEdit>
#include <QTest>
#include <functional>
#include <memory>

#include "ColumnCheckList.h"
#include "MainForm.h"
#include "QtText.h"
#include "SimulatedKeyboard.h"
#include "StatusPanel.h"
#include "TestSupport.h"
#include "code_batch.h"
#include "keyboard_layout.h"

using namespace quenlora;
using namespace quenlora::ui;
using namespace quenlora::ui::test;

namespace {

// The verification URL as a QR code holds it.
QString Url(const QString& code) { return ToQString(ScanPrefix).toLower() + code; }

const TKeyboardLayout& LayoutNamed(const QString& name)
{
  for (const TKeyboardLayout* layout : ScannerLayouts())
    if (QString::fromLatin1(layout->Name().data(), static_cast<qsizetype>(layout->Name().size())) == name) return *layout;
  qFatal("no layout %s", qPrintable(name));
}

// What NormalizeScan makes of the text: a scan that is taken as typed.
QString AsTyped(const QString& text) { return ToQString(NormalizeScan(ViewOf(text)).Candidate); }

}  // namespace

class ScanKeysTest : public QObject {
  Q_OBJECT

private Q_SLOTS:
  void scansAreStoredAsTheScannerRead_data()
  {
    QTest::addColumn<QString>("scanner");
    QTest::addColumn<QString>("active");
    QTest::addColumn<QString>("code");
    QTest::newRow("US on US (control)") << "us" << "us" << "KP0123456789";
    QTest::newRow("US on Czech") << "us" << "cz" << "KP0123456789";
    QTest::newRow("US on Czech, Y and Z") << "us" << "cz" << "ZY-98765YZ";
    QTest::newRow("US on Czech QWERTY, Y and Z") << "us" << "cz(qwerty)" << "ZY-98765YZ";
    QTest::newRow("Czech on US") << "cz" << "us" << "KP0123456789";
    QTest::newRow("Czech on US, Y and Z") << "cz" << "us" << "ZY-98765YZ";
    // = and + are dead keys on the Czech layouts: acute before B, caron before 1.
    QTest::newRow("US on Czech, dead keys") << "us" << "cz" << "A=B+1=\\E";
  }

  void scansAreStoredAsTheScannerRead()
  {
    QFETCH(QString, scanner);
    QFETCH(QString, active);
    QFETCH(QString, code);
    TScriptedDialogs dialogs;
    TMain window(dialogs);
    QVERIFY(ShowAndActivate(window));
    TSimulatedKeyboard keyboard(LayoutNamed(active));
    for (int round = 0; round < 2; ++round) {
      keyboard.Press(KeysTyping(LayoutNamed(scanner), Url(code)));
      if (scanner != active) QVERIFY(AsTyped(window.txtInput->text()) != code);
      keyboard.PressReturn();
      // Scanned again, the code is already present.
      QCOMPARE(Codes(window.Batch()), QStringList{code});
      QVERIFY(window.txtInput->text().isEmpty());
      QCOMPARE(window.StatusPanel0->Text(), QStringLiteral("Počet: 1"));
      QCOMPARE(QApplication::focusWidget(), window.txtInput);
    }
  }

  void editsLeaveTheTypedTextAsItIs_data()
  {
    // A US scanner's scan on the Czech layout, with something done to the box
    // before Enter: the keys no longer tell its text, and the text is taken
    // as it stands.
    QTest::addColumn<std::function<void(TMain&, TSimulatedKeyboard&)>>("edit");
    using TEdit = std::function<void(TMain&, TSimulatedKeyboard&)>;
    const auto retypeLast = [](TMain& window, TSimulatedKeyboard& keyboard) {
      keyboard.Press(KeysTyping(UsLayout(), Url(QStringLiteral("KP1")).right(1)));
      Q_UNUSED(window);
    };
    QTest::newRow("Backspace, then the key again") << TEdit([&](TMain& window, TSimulatedKeyboard& keyboard) {
      QTest::keyClick(window.txtInput, Qt::Key_Backspace);
      retypeLast(window, keyboard);
    });
    QTest::newRow("Left and End") << TEdit([](TMain& window, TSimulatedKeyboard&) {
      QTest::keyClick(window.txtInput, Qt::Key_Left);
      QTest::keyClick(window.txtInput, Qt::Key_End);
    });
    QTest::newRow("Shift+Home, Shift+End") << TEdit([](TMain& window, TSimulatedKeyboard&) {
      QTest::keyClick(window.txtInput, Qt::Key_Home, Qt::ShiftModifier);
      QTest::keyClick(window.txtInput, Qt::Key_End, Qt::ShiftModifier);
    });
    QTest::newRow("a key typed before the end") << TEdit([&](TMain& window, TSimulatedKeyboard& keyboard) {
      window.txtInput->setCursorPosition(0);
      retypeLast(window, keyboard);
    });
    QTest::newRow("a key typed over a selection") << TEdit([&](TMain& window, TSimulatedKeyboard& keyboard) {
      window.txtInput->setSelection(window.txtInput->text().size() - 1, 1);
      retypeLast(window, keyboard);
    });
    QTest::newRow("paste") << TEdit([](TMain& window, TSimulatedKeyboard&) {
      QApplication::clipboard()->setText(QStringLiteral("9"));
      QTest::keyClick(window.txtInput, Qt::Key_V, Qt::ControlModifier);
    });
    QTest::newRow("undo and redo") << TEdit([](TMain& window, TSimulatedKeyboard&) {
      QTest::keyClick(window.txtInput, Qt::Key_Z, Qt::ControlModifier);
      QTest::keyClick(window.txtInput, Qt::Key_Y, Qt::ControlModifier);
    });
    QTest::newRow("text put in without keys") << TEdit([](TMain& window, TSimulatedKeyboard&) {
      window.txtInput->insert(QStringLiteral("9"));
    });
    QTest::newRow("a key with no native press") << TEdit([](TMain& window, TSimulatedKeyboard&) {
      QTest::keyClick(window.txtInput, Qt::Key_9);
    });
  }

  void editsLeaveTheTypedTextAsItIs()
  {
    QFETCH(std::function<void(TMain&, TSimulatedKeyboard&)>, edit);
    TScriptedDialogs dialogs;
    TMain window(dialogs);
    QVERIFY(ShowAndActivate(window));
    TSimulatedKeyboard keyboard(CzechLayout());
    keyboard.Press(KeysTyping(UsLayout(), Url(QStringLiteral("KP1"))));
    edit(window, keyboard);
    const QString typed = window.txtInput->text();
    QVERIFY(!typed.isEmpty());
    keyboard.PressReturn();
    QCOMPARE(Codes(window.Batch()), QStringList{AsTyped(typed)});
    // The box was emptied: the next scan's keys count again.
    keyboard.Press(KeysTyping(UsLayout(), Url(QStringLiteral("KP2"))));
    keyboard.PressReturn();
    QCOMPARE(Codes(window.Batch()).last(), QStringLiteral("KP2"));
  }

  void pastedOrHandTypedTextIsTakenAsItIs()
  {
    TScriptedDialogs dialogs;
    TMain window(dialogs);
    QVERIFY(ShowAndActivate(window));
    TSimulatedKeyboard keyboard(CzechLayout());
    // A mistyped scan pasted into the box: there are no keys to read.
    keyboard.Press(KeysTyping(UsLayout(), Url(QStringLiteral("KP1"))));
    const QString mistyped = window.txtInput->text();
    window.A_New->trigger();
    QApplication::clipboard()->setText(mistyped);
    QTest::keyClick(window.txtInput, Qt::Key_V, Qt::ControlModifier);
    keyboard.PressReturn();
    // Typed by hand on the Czech layout, with no prefix: no reading has one.
    keyboard.Press(KeysTyping(CzechLayout(), QStringLiteral("kůl-ěš")));
    keyboard.PressReturn();
    QCOMPARE(Codes(window.Batch()), (QStringList{AsTyped(mistyped), QStringLiteral("KůL-ěš")}));
  }

  void keysWhoseEventsAreStillQueuedAreMatchedInOrder()
  {
    // Windows reports key presses before Qt delivers their events: a scanner
    // faster than the window has the next scan's keys reported before the
    // Enter of this one is handled.
    TScriptedDialogs dialogs;
    TMain window(dialogs);
    QVERIFY(ShowAndActivate(window));
    TSimulatedKeyboard keyboard(CzechLayout());
    const std::vector<TKeyStroke> first = KeysTyping(UsLayout(), Url(QStringLiteral("A=B1")));
    const std::vector<TKeyStroke> second = KeysTyping(UsLayout(), Url(QStringLiteral("ZY2")));
    keyboard.Note(first);
    keyboard.Deliver(first);
    keyboard.Note(second);
    keyboard.PressReturn();
    QCOMPARE(Codes(window.Batch()), QStringList{QStringLiteral("A=B1")});
    keyboard.Deliver(second);
    keyboard.PressReturn();
    QCOMPARE(Codes(window.Batch()), (QStringList{QStringLiteral("A=B1"), QStringLiteral("ZY2")}));
  }

  void keysTypedElsewhereDoNotCount()
  {
    TScriptedDialogs dialogs;
    TMain window(dialogs);
    QVERIFY(ShowAndActivate(window));
    TSimulatedKeyboard keyboard(CzechLayout());
    window.txtInput->setText(QStringLiteral("X"));
    window.A_Input->trigger();
    // In the list: letters pick a row, and a dead key waits there.
    window.txtSeznam->setFocus();
    QCOMPARE(QApplication::focusWidget(), window.txtSeznam);
    keyboard.Press(KeysTyping(UsLayout(), QStringLiteral("x=")));
    window.txtInput->setFocus();
    keyboard.Press(KeysTyping(UsLayout(), Url(QStringLiteral("KP3"))));
    keyboard.PressReturn();
    QCOMPARE(Codes(window.Batch()), (QStringList{QStringLiteral("X"), QStringLiteral("KP3")}));
  }
};

std::unique_ptr<QObject> MakeScanKeysTest() { return std::make_unique<ScanKeysTest>(); }

#include "ScanKeysTest.moc"
