// SPDX-FileCopyrightText: 2026 The Quenlora authors
// SPDX-License-Identifier: GPL-3.0-or-later

// Scanning: what typing into the input box and pressing Enter does.
#include <QClipboard>
#include <QLineEdit>
#include <QPushButton>
#include <QScrollBar>
#include <QTest>
#include <memory>
#include <QKeyEvent>

#include "ColumnCheckList.h"
#include "MainForm.h"
#include "QtText.h"
#include "StatusPanel.h"
#include "TestSupport.h"
#include "code_batch.h"

using namespace quenlora;
using namespace quenlora::ui;
using namespace quenlora::ui::test;

namespace {

QString Prefix(bool lower) { return lower ? ToQString(ScanPrefix).toLower() : ToQString(ScanPrefix); }

}  // namespace

class InputTest : public QObject {
  Q_OBJECT

private Q_SLOTS:
  void scansEndedByEnter_data()
  {
    // How the window hands scans to the batch and what it does with the input
    // box; how a scan is made a code is the batch's own business.
    QTest::addColumn<QStringList>("typed");
    QTest::addColumn<QStringList>("codes");
    QTest::addColumn<QString>("inputAfter");
    QTest::newRow("scanned URL: its code added, box emptied")
        << QStringList{Prefix(false) + "K1", "K2"} << QStringList{"K1", "K2"} << "";
    QTest::newRow("already present: emptied, not added")
        << QStringList{"ABC123", Prefix(false) + "abc123"} << QStringList{"ABC123"} << "";
    QTest::newRow("blanks only: nothing, blanks stay") << QStringList{"   "} << QStringList{} << "   ";
    QTest::newRow("prefix alone: an empty code, box emptied") << QStringList{Prefix(true)} << QStringList{""} << "";
  }

  void scansEndedByEnter()
  {
    QFETCH(QStringList, typed);
    QFETCH(QStringList, codes);
    QFETCH(QString, inputAfter);
    TScriptedDialogs dialogs;
    TMain window(dialogs);
    QVERIFY(ShowAndActivate(window));
    for (const QString& scan : typed) Scan(window, scan);
    QCOMPARE(Codes(window.Batch()), codes);
    QCOMPARE(window.StatusPanel0->Text(), QStringLiteral("Počet: %1").arg(codes.size()));
    QCOMPARE(window.txtInput->text(), inputAfter);
    QCOMPARE(QApplication::focusWidget(), window.txtInput);
    for (std::ptrdiff_t i = 0; i < window.Batch().Count(); ++i) QVERIFY(!window.Batch().WholePackage(i));
  }

  void enterKeysAndButtonAllAdd_data()
  {
    QTest::addColumn<int>("how");
    QTest::newRow("Return") << 0;
    QTest::newRow("keypad Enter") << 1;
    QTest::newRow("Button2") << 2;
  }

  void enterKeysAndButtonAllAdd()
  {
    QFETCH(int, how);
    TScriptedDialogs dialogs;
    TMain window(dialogs);
    QVERIFY(ShowAndActivate(window));
    QTest::keyClicks(window.txtInput, QStringLiteral("k1"));
    if (how == 0) QTest::keyClick(window.txtInput, Qt::Key_Return);
    if (how == 1) QTest::keyClick(window.txtInput, Qt::Key_Enter, Qt::KeypadModifier);
    if (how == 2) QTest::mouseClick(window.Button2, Qt::LeftButton);
    QCOMPARE(Codes(window.Batch()), QStringList{"K1"});
    QVERIFY(window.txtInput->text().isEmpty());
    QCOMPARE(QApplication::focusWidget(), window.txtInput);
  }

  void addingNeitherSelectsNorScrolls()
  {
    TScriptedDialogs dialogs;
    TMain window(dialogs);
    QVERIFY(ShowAndActivate(window));
    for (int i = 0; i < 300; ++i) window.txtInput->setText(QStringLiteral("C%1").arg(i)), window.A_Input->trigger();
    QScrollBar* bar = window.txtSeznam->horizontalScrollBar();
    QVERIFY(bar->maximum() > 2);
    bar->setValue(1);
    Scan(window, QStringLiteral("LAST"));
    QCOMPARE(bar->value(), 1);
    QCOMPARE(window.txtSeznam->SelectedRow(), -1);
    QCOMPARE(window.Batch().Count(), 301);
  }

  void scannerBurstLosesNoKeystroke()
  {
    // A scanner types faster than the window handles keys; the keys wait in
    // the queue and all of them arrive, the Enter last.
    TScriptedDialogs dialogs;
    TMain window(dialogs);
    QVERIFY(ShowAndActivate(window));
    Scan(window, QStringLiteral("FIRST"));
    const QString code = QStringLiteral("Q%1").arg(QString(30, u'7')) + QStringLiteral("Z");
    const QString url = Prefix(true) + code.toLower();
    // All keys are queued before the first is handled, as when the window is busy.
    const auto post = [&window](int key, const QString& text) {
      QCoreApplication::postEvent(window.txtInput, new QKeyEvent(QEvent::KeyPress, key, Qt::NoModifier, text));
      QCoreApplication::postEvent(window.txtInput, new QKeyEvent(QEvent::KeyRelease, key, Qt::NoModifier, text));
    };
    for (const QChar c : url) post(c.isLetter() ? Qt::Key_A + (c.toUpper().unicode() - 'A') : c.unicode(), QString(c));
    post(Qt::Key_Return, QStringLiteral("\r"));
    QCOMPARE(window.Batch().Count(), 1);
    QTRY_COMPARE(window.Batch().Count(), 2);
    QCOMPARE(ToQString(window.Batch().Code(1)), code);
    QVERIFY(window.txtInput->text().isEmpty());
  }

  void pastedMegabyteLineIsTakenWhole()
  {
    // A megabyte pasted as one line: the whole of it becomes one code, and
    // the window goes on taking scans.
    TScriptedDialogs dialogs;
    TMain window(dialogs);
    QVERIFY(ShowAndActivate(window));
    Scan(window, QStringLiteral("FIRST"));
    QString tail;
    tail.reserve(1 << 20);
    for (int i = 0; tail.size() < (1 << 20); ++i) tail += QStringLiteral("kp%1-").arg(i);
    const QString pasted = QStringLiteral("  ") + Prefix(true) + tail + QStringLiteral(" ");
    for (int round = 0; round < 2; ++round) {
      QApplication::clipboard()->setText(pasted);
      QTest::keyClick(window.txtInput, Qt::Key_V, Qt::ControlModifier);
      QCOMPARE(window.txtInput->text().size(), pasted.size());
      window.txtInput->repaint();
      QTest::keyClick(window.txtInput, Qt::Key_Return);
      // The second paste is the same code and adds nothing.
      QCOMPARE(window.Batch().Count(), 2);
      QVERIFY(window.txtInput->text().isEmpty());
    }
    QVERIFY(ToQString(window.Batch().Code(1)) == tail.toUpper());
    QCOMPARE(window.StatusPanel0->Text(), QStringLiteral("Počet: 2"));
    Scan(window, QStringLiteral("after"));
    QCOMPARE(Codes(window.Batch()).last(), QStringLiteral("AFTER"));
    QCOMPARE(window.StatusPanel0->Text(), QStringLiteral("Počet: 3"));
    QCOMPARE(QApplication::focusWidget(), window.txtInput);
  }
};

std::unique_ptr<QObject> MakeInputTest() { return std::make_unique<InputTest>(); }

#include "InputTest.moc"
