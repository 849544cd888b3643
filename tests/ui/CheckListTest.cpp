// SPDX-FileCopyrightText: 2026 The Quenlora authors
// SPDX-License-Identifier: GPL-3.0-or-later

// The check list: columns, ticking, deleting and type-ahead, by mouse and key.
#include <QLineEdit>
#include <QProxyStyle>
#include <QScrollBar>
#include <QTemporaryDir>
#include <QTest>
#include <memory>

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

QPoint OnText(TColumnCheckList* list, int row)
{
  const QRect rect = list->RowRect(row);
  return {rect.left() + list->CheckBoxWidth() + 20, rect.center().y()};
}

// Fills three whole columns of the list; returns the rows in a column.
int FillThreeColumns(TMain& window)
{
  const int rows = window.txtSeznam->RowsPerColumn();
  QStringList codes;
  for (int i = 0; i < rows * 3; ++i) codes << QStringLiteral("N%1").arg(i);
  Fill(window, codes);
  return rows;
}

// The style of the window, recording where it draws focus rectangles.
class TFocusRecordingStyle : public QProxyStyle {
public:
  void drawPrimitive(PrimitiveElement element, const QStyleOption* option, QPainter* painter,
                     const QWidget* widget) const override
  {
    if (element == PE_FrameFocusRect) FocusRects.append(option->rect);
    QProxyStyle::drawPrimitive(element, option, painter, widget);
  }

  mutable QList<QRect> FocusRects;
};

// Where the list draws its focus when painted whole now.
QList<QRect> FocusDrawn(TColumnCheckList* list, TFocusRecordingStyle& style)
{
  style.FocusRects.clear();
  list->viewport()->repaint();
  return style.FocusRects;
}

}  // namespace

class CheckListTest : public QObject {
  Q_OBJECT

private Q_SLOTS:
  void sixEqualColumnsFilledTopToBottom()
  {
    TScriptedDialogs dialogs;
    TMain window(dialogs);
    QVERIFY(ShowAndActivate(window));
    TColumnCheckList* list = window.txtSeznam;
    const int rows = list->RowsPerColumn();
    QCOMPARE(rows, list->viewport()->height() / list->ItemHeight());
    QVERIFY(rows >= 20);
    QCOMPARE(list->ColumnWidth(), list->viewport()->width() / 6);
    QStringList codes;
    for (int i = 0; i < rows * 6; ++i) codes << QStringLiteral("R%1").arg(i);
    Fill(window, codes);
    // Exactly six full columns fit: no scroll bar yet.
    QVERIFY(!list->horizontalScrollBar()->isVisible());
    for (int row : {0, 1, rows - 1, rows, rows * 5 + 3, rows * 6 - 1}) {
      const QRect rect = list->RowRect(row);
      QCOMPARE(rect.left(), (row / rows) * list->ColumnWidth());
      QCOMPARE(rect.top(), (row % rows) * list->ItemHeight());
      QCOMPARE(list->indexAt(rect.center()).row(), row);
    }
    // One more row needs a seventh column, reached by scrolling one column.
    Fill(window, {QStringLiteral("MORE")});
    QVERIFY(list->horizontalScrollBar()->isVisible());
    const int rowsNow = list->RowsPerColumn();
    QCOMPARE(list->horizontalScrollBar()->maximum(), (rows * 6 + 1 + rowsNow - 1) / rowsNow - 6);
    list->horizontalScrollBar()->setValue(1);
    QCOMPARE(list->indexAt(list->RowRect(rowsNow).center()).row(), rowsNow);
    QCOMPARE(list->RowRect(rowsNow).left(), 0);
  }

  void pressOnBoxTicksPressOnTextSelects()
  {
    TScriptedDialogs dialogs;
    TMain window(dialogs);
    QVERIFY(ShowAndActivate(window));
    Fill(window, {"A1", "B2", "C3"});
    TColumnCheckList* list = window.txtSeznam;
    QTest::mouseClick(list->viewport(), Qt::LeftButton, {}, OnBox(list, 1));
    QCOMPARE(Marks(window.Batch()), (QList<bool>{false, true, false}));
    QCOMPARE(list->SelectedRow(), 1);
    QTest::mouseClick(list->viewport(), Qt::LeftButton, {}, OnText(list, 2));
    QCOMPARE(Marks(window.Batch()), (QList<bool>{false, true, false}));
    QCOMPARE(list->SelectedRow(), 2);
    QTest::mouseClick(list->viewport(), Qt::LeftButton, {}, OnBox(list, 1));
    QCOMPARE(Marks(window.Batch()), (QList<bool>{false, false, false}));
    // A right press does nothing to the mark.
    QTest::mouseClick(list->viewport(), Qt::RightButton, {}, OnBox(list, 0));
    QCOMPARE(Marks(window.Batch()), (QList<bool>{false, false, false}));
  }

  void doubleClickOnBoxLeavesTheMark()
  {
    TScriptedDialogs dialogs;
    TMain window(dialogs);
    QVERIFY(ShowAndActivate(window));
    Fill(window, {"A1", "B2"});
    TColumnCheckList* list = window.txtSeznam;
    QTest::mouseDClick(list->viewport(), Qt::LeftButton, {}, OnBox(list, 0));
    QCOMPARE(Marks(window.Batch()), (QList<bool>{false, false}));
    QTest::mouseClick(list->viewport(), Qt::LeftButton, {}, OnBox(list, 1));
    QTest::qWait(QApplication::doubleClickInterval() + 50);
    QTest::mouseDClick(list->viewport(), Qt::LeftButton, {}, OnBox(list, 1));
    QCOMPARE(Marks(window.Batch()), (QList<bool>{false, true}));
  }

  void spaceTogglesTheSelectedRowOnly()
  {
    TScriptedDialogs dialogs;
    TMain window(dialogs);
    QVERIFY(ShowAndActivate(window));
    Fill(window, {"A1", "B2"});
    TColumnCheckList* list = window.txtSeznam;
    list->setFocus();
    QTest::keyClick(list, Qt::Key_Space);
    QCOMPARE(Marks(window.Batch()), (QList<bool>{false, false}));
    list->SelectRow(1);
    QTest::keyClick(list, Qt::Key_Space);
    QCOMPARE(Marks(window.Batch()), (QList<bool>{false, true}));
    QTest::keyClick(list, Qt::Key_Space);
    QCOMPARE(Marks(window.Batch()), (QList<bool>{false, false}));
  }

  void deleteRemovesTheSelectedEntry_data()
  {
    QTest::addColumn<int>("modifiers");
    QTest::newRow("Delete") << int(Qt::NoModifier);
    QTest::newRow("Shift+Delete") << int(Qt::ShiftModifier);
    QTest::newRow("Ctrl+Delete") << int(Qt::ControlModifier);
  }

  void deleteRemovesTheSelectedEntry()
  {
    QFETCH(int, modifiers);
    TScriptedDialogs dialogs;
    TMain window(dialogs);
    QVERIFY(ShowAndActivate(window));
    Fill(window, {"A1", "B2", "C3"});
    TColumnCheckList* list = window.txtSeznam;
    QTest::mouseClick(list->viewport(), Qt::LeftButton, {}, OnBox(list, 1));
    QTest::mouseClick(list->viewport(), Qt::LeftButton, {}, OnText(list, 0));
    QCOMPARE(QApplication::focusWidget(), list);
    QTest::keyClick(list, Qt::Key_Delete, Qt::KeyboardModifiers(modifiers));
    // The marks move up with their entries; no other row becomes selected.
    QCOMPARE(Codes(window.Batch()), (QStringList{"B2", "C3"}));
    QCOMPARE(Marks(window.Batch()), (QList<bool>{true, false}));
    QCOMPARE(window.StatusPanel0->Text(), QStringLiteral("Počet: 2"));
    QCOMPARE(list->SelectedRow(), -1);
    QCOMPARE(QApplication::focusWidget(), list);
    // With nothing selected, Delete and Space change nothing.
    QTest::keyClick(list, Qt::Key_Delete);
    QTest::keyClick(list, Qt::Key_Space);
    QCOMPARE(Codes(window.Batch()), (QStringList{"B2", "C3"}));
    QCOMPARE(Marks(window.Batch()), (QList<bool>{true, false}));
    QCOMPARE(window.StatusPanel0->Text(), QStringLiteral("Počet: 2"));
  }

  void deleteCommandDoesTheSame()
  {
    TScriptedDialogs dialogs;
    TMain window(dialogs);
    QVERIFY(ShowAndActivate(window));
    Fill(window, {"A1", "B2"});
    window.A_DelItem->trigger();
    QCOMPARE(window.Batch().Count(), 2);
    window.txtSeznam->SelectRow(1);
    window.A_DelItem->trigger();
    QCOMPARE(Codes(window.Batch()), (QStringList{"A1"}));
    QCOMPARE(window.StatusPanel0->Text(), QStringLiteral("Počet: 1"));
    QCOMPARE(window.txtSeznam->SelectedRow(), -1);
  }

  void arrowsMoveAlongColumns()
  {
    TScriptedDialogs dialogs;
    TMain window(dialogs);
    QVERIFY(ShowAndActivate(window));
    TColumnCheckList* list = window.txtSeznam;
    const int rows = FillThreeColumns(window);
    list->setFocus();
    list->SelectRow(0);
    QTest::keyClick(list, Qt::Key_Down);
    QCOMPARE(list->SelectedRow(), 1);
    QTest::keyClick(list, Qt::Key_Right);
    QCOMPARE(list->SelectedRow(), rows + 1);
    QTest::keyClick(list, Qt::Key_End);
    QCOMPARE(list->SelectedRow(), rows * 3 - 1);
    QTest::keyClick(list, Qt::Key_Home);
    QCOMPARE(list->SelectedRow(), 0);
  }

  void navigationKeysSelectAtOnce_data()
  {
    // Keys pressed right after Tab gave the list the focus with no row
    // selected; the row they leave selected, which Space then ticks. The
    // list holds three full columns.
    QTest::addColumn<QList<int>>("keys");
    QTest::addColumn<QString>("selected");  // "first", "last", or a row number; "rows" stands for the rows per column
    using Keys = QList<int>;
    QTest::newRow("Home") << Keys{Qt::Key_Home} << "first";
    QTest::newRow("End") << Keys{Qt::Key_End} << "last";
    QTest::newRow("Down") << Keys{Qt::Key_Down} << "first";
    QTest::newRow("Up") << Keys{Qt::Key_Up} << "first";
    QTest::newRow("Right") << Keys{Qt::Key_Right} << "first";
    QTest::newRow("Left") << Keys{Qt::Key_Left} << "first";
    QTest::newRow("Page Down") << Keys{Qt::Key_PageDown} << "first";
    QTest::newRow("Page Up") << Keys{Qt::Key_PageUp} << "first";
    QTest::newRow("Home, Home: still selected") << Keys{Qt::Key_Home, Qt::Key_Home} << "first";
    QTest::newRow("Home, Up: stays on the first") << Keys{Qt::Key_Home, Qt::Key_Up} << "first";
    QTest::newRow("End, Down: stays on the last") << Keys{Qt::Key_End, Qt::Key_Down} << "last";
    QTest::newRow("End, Right: no column further") << Keys{Qt::Key_End, Qt::Key_Right} << "last";
    QTest::newRow("End, Home") << Keys{Qt::Key_End, Qt::Key_Home} << "first";
    QTest::newRow("Down, Down") << Keys{Qt::Key_Down, Qt::Key_Down} << "1";
    QTest::newRow("Down, Down, Right: next column") << Keys{Qt::Key_Down, Qt::Key_Down, Qt::Key_Right} << "rows+1";
    QTest::newRow("Page Down: a screenful, at most the last") << Keys{Qt::Key_Home, Qt::Key_PageDown} << "last";
    QTest::newRow("End, Page Up: at least the first") << Keys{Qt::Key_End, Qt::Key_PageUp} << "first";
  }

  void navigationKeysSelectAtOnce()
  {
    QFETCH(QList<int>, keys);
    QFETCH(QString, selected);
    TScriptedDialogs dialogs;
    TMain window(dialogs);
    QVERIFY(ShowAndActivate(window));
    TColumnCheckList* list = window.txtSeznam;
    const int rows = FillThreeColumns(window);
    QTest::keyClick(window.txtInput, Qt::Key_Tab);
    QCOMPARE(QApplication::focusWidget(), list);
    QCOMPARE(list->SelectedRow(), -1);
    for (int key : keys) QTest::keyClick(list, Qt::Key(key));
    const int expected = selected == QStringLiteral("first") ? 0
                         : selected == QStringLiteral("last") ? rows * 3 - 1
                         : selected == QStringLiteral("rows+1") ? rows + 1
                                                                 : selected.toInt();
    QCOMPARE(list->SelectedRow(), expected);
    QCOMPARE(list->currentIndex().row(), expected);
    QTest::keyClick(list, Qt::Key_Space);
    QList<bool> marks(rows * 3, false);
    marks[expected] = true;
    QCOMPARE(Marks(window.Batch()), marks);
  }

  void focusShowsOnTheRowSpaceTicksOrRoundTheList()
  {
    TFocusRecordingStyle style;
    TScriptedDialogs dialogs;
    TMain window(dialogs);
    QVERIFY(ShowAndActivate(window));
    Fill(window, {"A1", "B2", "C3"});
    TColumnCheckList* list = window.txtSeznam;
    list->setStyle(&style);
    QVERIFY(FocusDrawn(list, style).isEmpty());
    // Tab gives the list the focus and selects nothing: no row looks current,
    // the focus goes round the whole list, and Space ticks nothing.
    QTest::keyClick(window.txtInput, Qt::Key_Tab);
    QCOMPARE(QApplication::focusWidget(), list);
    QCOMPARE(list->SelectedRow(), -1);
    QVERIFY(!list->currentIndex().isValid());
    QCOMPARE(FocusDrawn(list, style), QList<QRect>{list->viewport()->rect()});
    QTest::keyClick(list, Qt::Key_Space);
    QCOMPARE(Marks(window.Batch()), (QList<bool>{false, false, false}));
    // A key selects a row; the focus shows on it, and Space ticks it.
    QTest::keyClick(list, Qt::Key_Down);
    QCOMPARE(FocusDrawn(list, style), QList<QRect>{list->RowRect(0)});
    QTest::keyClick(list, Qt::Key_Down);
    QCOMPARE(FocusDrawn(list, style), QList<QRect>{list->RowRect(1)});
    QTest::keyClick(list, Qt::Key_Space);
    QCOMPARE(Marks(window.Batch()), (QList<bool>{false, true, false}));
    // A press on a row selects it the same way.
    QTest::mouseClick(list->viewport(), Qt::LeftButton, {}, OnText(list, 2));
    QCOMPARE(FocusDrawn(list, style), QList<QRect>{list->RowRect(2)});
    // Deleting the selected row leaves none selected: the focus goes round the list again.
    QTest::keyClick(list, Qt::Key_Delete);
    QCOMPARE(list->SelectedRow(), -1);
    QCOMPARE(FocusDrawn(list, style), QList<QRect>{list->viewport()->rect()});
    // Without the focus the list shows none.
    QTest::keyClick(list, Qt::Key_Tab);
    QVERIFY(QApplication::focusWidget() != list);
    QVERIFY(FocusDrawn(list, style).isEmpty());
    list->setStyle(nullptr);
  }

  void typeAhead_data()
  {
    // Keys typed into the list, each after a pause in milliseconds ("\b" is
    // Backspace), and the row selected after each.
    QTest::addColumn<QStringList>("keys");
    QTest::addColumn<QList<int>>("pauses");
    QTest::addColumn<QList<int>>("selected");
    QTest::newRow("prefix grows") << QStringList{"b", "e", "t", "t"} << QList<int>{0, 100, 100, 100} << QList<int>{1, 1, 1, 2};
    QTest::newRow("letters without regard to case") << QStringList{"G", "A"} << QList<int>{0, 10} << QList<int>{4, 4};
    QTest::newRow("pause of 500 ms starts anew") << QStringList{"b", "e", "a"} << QList<int>{0, 100, 500} << QList<int>{1, 1, 0};
    QTest::newRow("499 ms is no pause") << QStringList{"b", "e", "t", "t"} << QList<int>{0, 499, 499, 499} << QList<int>{1, 1, 1, 2};
    QTest::newRow("no match keeps the selection") << QStringList{"g", "x"} << QList<int>{0, 10} << QList<int>{4, 4};
    QTest::newRow("backspace shortens") << QStringList{"b", "e", "t", "t", "\b"} << QList<int>{0, 10, 10, 10, 10}
                                        << QList<int>{1, 1, 1, 2, 1};
    QTest::newRow("backspace to nothing: first row") << QStringList{"g", "\b"} << QList<int>{0, 10} << QList<int>{4, 0};
    QTest::newRow("backspace after a pause: first row") << QStringList{"g", "a", "\b"} << QList<int>{0, 10, 600} << QList<int>{4, 4, 0};
    QTest::newRow("digits and punctuation") << QStringList{"1", "-"} << QList<int>{0, 10} << QList<int>{5, 5};
  }

  void typeAhead()
  {
    QFETCH(QStringList, keys);
    QFETCH(QList<int>, pauses);
    QFETCH(QList<int>, selected);
    TScriptedDialogs dialogs;
    TMain window(dialogs);
    QVERIFY(ShowAndActivate(window));
    // Loaded entries keep their case; type-ahead ignores it.
    QTemporaryDir folder;
    const QString path = folder.filePath(QStringLiteral("list.txt"));
    QVERIFY(WriteBytes(path, "ALPHA\r\nBeta\r\nbETTER\r\nDELTA\r\ngamma\r\n1-X\r\n"));
    dialogs.ChooseNext(path);
    window.A_LoadList->trigger();
    QCOMPARE(window.Batch().Count(), 6);
    TColumnCheckList* list = window.txtSeznam;
    qint64 now = 100000;
    list->TypeAhead().SetClock([&now] { return now; });
    list->setFocus();
    for (int i = 0; i < keys.size(); ++i) {
      now += pauses[i];
      if (keys[i] == QStringLiteral("\b"))
        QTest::keyClick(list, Qt::Key_Backspace);
      else
        QTest::keyClicks(list, keys[i]);
      QCOMPARE(list->SelectedRow(), selected[i]);
    }
    QCOMPARE(window.Batch().Count(), 6);
  }

  void typeAheadScrollsToTheFoundRow()
  {
    TScriptedDialogs dialogs;
    TMain window(dialogs);
    QVERIFY(ShowAndActivate(window));
    TColumnCheckList* list = window.txtSeznam;
    QStringList codes;
    for (int i = 0; i < 400; ++i) codes << QStringLiteral("A%1").arg(i, 3, 10, QChar(u'0'));
    codes << QStringLiteral("ZULU");
    Fill(window, codes);
    list->setFocus();
    QCOMPARE(list->horizontalScrollBar()->value(), 0);
    QTest::keyClicks(list, QStringLiteral("z"));
    QCOMPARE(list->SelectedRow(), 400);
    QVERIFY(list->horizontalScrollBar()->value() > 0);
    QVERIFY(list->viewport()->rect().contains(list->RowRect(400)));
  }

  void newBatchClearsListAndSelection()
  {
    TScriptedDialogs dialogs;
    TMain window(dialogs);
    QVERIFY(ShowAndActivate(window));
    Fill(window, {"A1", "B2"});
    window.txtSeznam->SelectRow(1);
    window.txtInput->setText(QStringLiteral("typed"));
    window.A_New->trigger();
    QCOMPARE(window.Batch().Count(), 0);
    QCOMPARE(window.txtSeznam->model()->rowCount(), 0);
    QCOMPARE(window.txtSeznam->SelectedRow(), -1);
    QVERIFY(window.txtInput->text().isEmpty());
    QCOMPARE(window.StatusPanel0->Text(), QStringLiteral("Počet: 0"));
    QCOMPARE(QApplication::focusWidget(), window.txtInput);
  }
};

std::unique_ptr<QObject> MakeCheckListTest() { return std::make_unique<CheckListTest>(); }

#include "CheckListTest.moc"
