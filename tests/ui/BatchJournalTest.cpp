// SPDX-FileCopyrightText: 2026 The Quenlora authors
// SPDX-License-Identifier: GPL-3.0-or-later
//
// The window and its batch's journal: every change the window shows is kept,
// a window of the next start shows it again and says so, the user's close
// keeps nothing, and a state folder that cannot be used is told once.
#include <QAction>
#include <QDir>
#include <QFile>
#include <QLineEdit>
#include <QTemporaryDir>
#include <QTest>

#include "BatchListModel.h"
#include "ColumnCheckList.h"
#include "MainForm.h"
#include "QtText.h"
#include "StatusPanel.h"
#include "TestSupport.h"

using namespace quenlora;
using namespace quenlora::ui;
using namespace quenlora::ui::test;

namespace {

std::u16string Folder(const QTemporaryDir& dir) { return ToU16(dir.path() + u'/'); }

QStringList Journals(const QTemporaryDir& dir)
{
  return QDir(dir.path()).entryList(QDir::Files | QDir::NoDotAndDotDot);
}

}  // namespace

class BatchJournalTest : public QObject {
  Q_OBJECT

private Q_SLOTS:
  void restoredBatchIsShownAndTold()
  {
    QTemporaryDir dir;
    QTemporaryDir lists;
    const QString list = lists.filePath(QStringLiteral("list.txt"));
    QVERIFY(WriteBytes(list, QByteArray("\xEF\xBB\xBF" "x1\r\ny2\r\nz3\r\n")));
    {
      TScriptedDialogs dialogs;
      TMain window(dialogs);
      window.KeepBatch(Folder(dir));
      QCOMPARE(window.StatusPanel1->Text(), TMain::kHintPanelText);
      QVERIFY(ShowAndActivate(window));
      Scan(window, QStringLiteral("GONE"));
      window.A_New->trigger();
      dialogs.ChooseNext(list);
      window.A_LoadList->trigger();
      Scan(window, QStringLiteral("A1"));
      window.BatchModel().SetWholePackage(1, true);
      window.txtSeznam->setFocus();
      window.txtSeznam->setCurrentIndex(window.BatchModel().index(0));
      QTest::keyClick(window.txtSeznam, Qt::Key_Delete);
      QCOMPARE(Codes(window.Batch()), (QStringList{u"y2"_qs, u"z3"_qs, u"A1"_qs}));
      // The window goes without the user's close.
    }
    TScriptedDialogs dialogs;
    TMain window(dialogs);
    window.KeepBatch(Folder(dir));
    QCOMPARE(Codes(window.Batch()), (QStringList{u"y2"_qs, u"z3"_qs, u"A1"_qs}));
    QCOMPARE(Marks(window.Batch()), (QList<bool>{true, false, false}));
    QCOMPARE(window.Batch().ListEncoding(), TListEncoding::leUtf8);
    QCOMPARE(window.BatchModel().rowCount(), 3);
    QCOMPARE(window.StatusPanel0->Text(), u"Počet: 3"_qs);
    QCOMPARE(window.StatusPanel1->Text(), u"Obnovena dávka z minulého spuštění: 3 kódy"_qs);
    QVERIFY(ShowAndActivate(window));
    // A scan goes on from the batch put back; the duplicate test knows its codes.
    Scan(window, QStringLiteral("a1"));
    QCOMPARE(window.Batch().Count(), 3);
    // A new batch ends the message.
    window.A_New->trigger();
    QCOMPARE(window.StatusPanel1->Text(), TMain::kHintPanelText);
  }

  void countedInCzech()
  {
    const QList<QPair<int, QString>> cases = {
        {1, u"1 kód"_qs},   {2, u"2 kódy"_qs},   {4, u"4 kódy"_qs},       {5, u"5 kódů"_qs},
        {11, u"11 kódů"_qs}, {22, u"22 kódů"_qs}, {1000000, u"1000000 kódů"_qs},
    };
    for (const auto& [count, ending] : cases)
      QCOMPARE(TMain::RestoredText(count), u"Obnovena dávka z minulého spuštění: "_qs + ending);
  }

  void usersCloseKeepsNothing()
  {
    QTemporaryDir dir;
    {
      TScriptedDialogs dialogs;
      TMain window(dialogs);
      window.KeepBatch(Folder(dir));
      QVERIFY(ShowAndActivate(window));
      Scan(window, QStringLiteral("A1"));
      QCOMPARE(Journals(dir).size(), 1);
      window.A_Close->trigger();
      QVERIFY(Journals(dir).isEmpty());
      // Closing again, or scanning after the close, keeps nothing either.
      Scan(window, QStringLiteral("B2"));
      QVERIFY(Journals(dir).isEmpty());
    }
    TScriptedDialogs dialogs;
    TMain window(dialogs);
    window.KeepBatch(Folder(dir));
    QCOMPARE(window.Batch().Count(), 0);
    QCOMPARE(window.StatusPanel1->Text(), TMain::kHintPanelText);
  }

  void sessionEndKeepsTheBatch()
  {
    QTemporaryDir dir;
    {
      TScriptedDialogs dialogs;
      TMain window(dialogs);
      window.KeepBatch(Folder(dir));
      QVERIFY(ShowAndActivate(window));
      Scan(window, QStringLiteral("A1"));
      // A cancelled end of the session changes nothing.
      window.SessionEnding();
      window.SessionEndCancelled();
      Scan(window, QStringLiteral("B2"));
      window.SessionEnding();
      window.SessionEnded();
      // The system closes the window as the session ends.
      window.close();
    }
    TScriptedDialogs dialogs;
    TMain window(dialogs);
    window.KeepBatch(Folder(dir));
    QCOMPARE(Codes(window.Batch()), (QStringList{u"A1"_qs, u"B2"_qs}));
  }

  void unusableStateFolderIsToldOnce()
  {
    QTemporaryDir dir;
    const QString file = dir.filePath(QStringLiteral("file"));
    QVERIFY(WriteBytes(file, "x"));
    TScriptedDialogs dialogs;
    TMain window(dialogs);
    window.KeepBatch(ToU16(file + u"/"_qs));
    QVERIFY(window.Journal() == nullptr);
    const QString text = window.StatusPanel1->Text();
    QVERIFY2(text.startsWith(u"Dávka se pro případ pádu neukládá: "_qs), qPrintable(text));
    QVERIFY2(text.size() > 36, qPrintable(text));
    // The window works as ever.
    QVERIFY(ShowAndActivate(window));
    Scan(window, QStringLiteral("A1"));
    QCOMPARE(Codes(window.Batch()), QStringList{u"A1"_qs});
    QCOMPARE(window.StatusPanel0->Text(), u"Počet: 1"_qs);
  }
};

std::unique_ptr<QObject> MakeBatchJournalTest() { return std::make_unique<BatchJournalTest>(); }

#include "BatchJournalTest.moc"
