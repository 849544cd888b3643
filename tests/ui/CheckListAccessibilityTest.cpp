// SPDX-FileCopyrightText: 2026 The Quenlora authors
// SPDX-License-Identifier: GPL-3.0-or-later

// The check list as a screen reader sees it through Qt's accessibility: a
// list whose rows are check boxes named by their codes, made only when asked
// for, and the events that tell a reader of every move, tick and change.
#include <QAccessible>
#include <QLineEdit>
#include <QStandardItemModel>
#include <QTemporaryDir>
#include <QTest>
#include <memory>

#include "AccessibleEventLog.h"
#include "ColumnCheckList.h"
#include "MainForm.h"
#include "StatusPanel.h"
#include "TestSupport.h"

using namespace quenlora;
using namespace quenlora::ui;
using namespace quenlora::ui::test;

namespace {

using TEntry = TAccessibleEventLog::TEntry;

// A window shown as after start-up, with the codes in its batch.
struct TFilledWindow {
  explicit TFilledWindow(const QStringList& codes) : Window(Dialogs)
  {
    Shown = ShowAndActivate(Window);
    Fill(Window, codes);
  }
  TScriptedDialogs Dialogs;
  TMain Window;
  bool Shown = false;
};

QAccessibleInterface* ListOf(TMain& window) { return QAccessible::queryAccessibleInterface(window.txtSeznam); }

QStringList RowNames(QAccessibleInterface* list)
{
  QStringList names;
  for (int i = 0; i < list->childCount(); ++i) names << list->child(i)->text(QAccessible::Name);
  return names;
}

// The rows the focus events name, in order: a row by its code, the list
// itself as "<list>".
QStringList FocusedNames(const TAccessibleEventLog& log, const QObject* list)
{
  QStringList names;
  for (const TEntry& entry : log.Of(QAccessible::Focus, list))
    names << (entry.Child < 0 ? QStringLiteral("<list>") : entry.Name);
  return names;
}

}  // namespace

class CheckListAccessibilityTest : public QObject {
  Q_OBJECT

private Q_SLOTS:
  void rowsAreCheckBoxesNamedByTheirCodes()
  {
    TFilledWindow filled({"AB12", "CD34", "EF56"});
    QVERIFY(filled.Shown);
    TMain& window = filled.Window;
    window.txtSeznam->ToggleMark(1);
    QAccessibleInterface* list = ListOf(window);
    QCOMPARE(list->role(), QAccessible::List);
    QCOMPARE(list->text(QAccessible::Name), QStringLiteral("Načtené kódy"));
    QCOMPARE(list->childCount(), 3);
    QCOMPARE(RowNames(list), (QStringList{"AB12", "CD34", "EF56"}));
    QAccessibleTableInterface* table = list->tableInterface();
    QVERIFY(table != nullptr);
    QCOMPARE(table->rowCount(), 3);
    QCOMPARE(table->columnCount(), 1);
    for (int i = 0; i < 3; ++i) {
      QAccessibleInterface* row = list->child(i);
      QCOMPARE(row->role(), QAccessible::CheckBox);
      QVERIFY(row->isValid());
      QCOMPARE(row->parent(), list);
      QCOMPARE(list->indexOfChild(row), i);
      QCOMPARE(list->child(i), row);  // one object per row
      QCOMPARE(table->cellAt(i, 0), row);
      QAccessibleTableCellInterface* cell = row->tableCellInterface();
      QVERIFY(cell != nullptr);
      QCOMPARE(cell->rowIndex(), i);
      QCOMPARE(cell->columnIndex(), 0);
      QCOMPARE(cell->table(), list);
      const QAccessible::State state = row->state();
      QVERIFY(state.focusable);
      QVERIFY(state.selectable);
      QVERIFY(state.checkable);
      QCOMPARE(bool(state.checked), i == 1);
      QVERIFY(!state.selected);
      QVERIFY(!state.focused);
      QVERIFY(!state.offscreen);
      // The row stands where it is drawn, and a point there finds it.
      const QRect drawn = window.txtSeznam->RowRect(i);
      QCOMPARE(row->rect(), QRect(window.txtSeznam->viewport()->mapToGlobal(drawn.topLeft()), drawn.size()));
      QCOMPARE(list->childAt(row->rect().center().x(), row->rect().center().y()), row);
    }
    // No row before the first or after the last, and no second column.
    QCOMPARE(list->child(-1), nullptr);
    QCOMPARE(list->child(3), nullptr);
    QCOMPARE(table->cellAt(0, 1), nullptr);
    QCOMPARE(list->indexOfChild(ListOf(window)), -1);
    // Another list's row is no row of this one.
    TFilledWindow other({"AB12"});
    QCOMPARE(list->indexOfChild(ListOf(other.Window)->child(0)), -1);
  }

  void rowsAreNamedAsShown_data()
  {
    QTest::addColumn<QString>("code");
    QTest::addColumn<QString>("name");
    QTest::newRow("plain") << "AB12" << "AB12";
    QTest::newRow("empty: still an item") << "" << "";
    QTest::newRow("blanks kept") << " A B " << " A B ";
    QTest::newRow("control characters as blanks") << "A\tB\nC" << "A B C";
    QTest::newRow("Czech letters") << "ŽLUŤ-1" << "ŽLUŤ-1";
  }

  void rowsAreNamedAsShown()
  {
    // Codes a scan never yields, in a list over a model of any kind.
    QFETCH(QString, code);
    QFETCH(QString, name);
    QStandardItemModel model;
    auto* item = new QStandardItem(code);
    item->setCheckable(true);
    model.appendRow(item);
    TColumnCheckList list;
    list.setModel(&model);
    list.resize(600, 200);
    QAccessibleInterface* accessible = QAccessible::queryAccessibleInterface(&list);
    QCOMPARE(accessible->childCount(), 1);
    QAccessibleInterface* row = accessible->child(0);
    QCOMPARE(row->role(), QAccessible::CheckBox);
    QCOMPARE(row->text(QAccessible::Name), name);
    QCOMPARE(list.ShownCode(0), name);
  }

  void selectionAndFocusShowOnTheRow()
  {
    TFilledWindow filled({"AB12", "CD34", "EF56"});
    QVERIFY(filled.Shown);
    TMain& window = filled.Window;
    TColumnCheckList* list = window.txtSeznam;
    QAccessibleInterface* accessible = ListOf(window);
    QAccessibleTableInterface* table = accessible->tableInterface();
    // Selected without the focus: selected, not focused.
    list->SelectRow(2);
    QVERIFY(accessible->child(2)->state().selected);
    QVERIFY(!accessible->child(2)->state().focused);
    QVERIFY(!accessible->child(0)->state().selected);
    QCOMPARE(accessible->focusChild(), nullptr);
    QCOMPARE(table->selectedRows(), QList<int>{2});
    QCOMPARE(table->selectedCells(), QList<QAccessibleInterface*>{accessible->child(2)});
    QVERIFY(table->isRowSelected(2));
    QVERIFY(accessible->child(2)->tableCellInterface()->isSelected());
    // With the focus the selected row is the focused one.
    list->setFocus();
    QVERIFY(accessible->child(2)->state().focused);
    QCOMPARE(accessible->focusChild(), accessible->child(2));
    // A client may select a row, or unselect the selected one.
    QVERIFY(table->selectRow(0));
    QCOMPARE(list->SelectedRow(), 0);
    QVERIFY(accessible->child(0)->state().focused);
    QVERIFY(!accessible->child(2)->state().selected);
    QVERIFY(!table->unselectRow(2));
    QVERIFY(table->unselectRow(0));
    QCOMPARE(list->SelectedRow(), -1);
    QCOMPARE(table->selectedRowCount(), 0);
    QCOMPARE(accessible->focusChild(), nullptr);
    QVERIFY(!table->selectRow(3));
    QVERIFY(!table->selectRow(-1));
    QCOMPARE(list->SelectedRow(), -1);
  }

  void toggleActionTicksLikeSpace()
  {
    TFilledWindow filled({"AB12", "CD34"});
    QVERIFY(filled.Shown);
    TMain& window = filled.Window;
    QAccessibleInterface* row = ListOf(window)->child(1);
    QAccessibleActionInterface* actions = row->actionInterface();
    QVERIFY(actions != nullptr);
    QCOMPARE(actions->actionNames(), QStringList{QAccessibleActionInterface::toggleAction()});
    QCOMPARE(actions->keyBindingsForAction(QAccessibleActionInterface::toggleAction()),
             QStringList{QKeySequence(Qt::Key_Space).toString(QKeySequence::NativeText)});
    actions->doAction(QAccessibleActionInterface::toggleAction());
    QCOMPARE(Marks(window.Batch()), (QList<bool>{false, true}));
    QVERIFY(row->state().checked);
    // It ticks the row it stands for, wherever the selection is, and moves no selection.
    QCOMPARE(window.txtSeznam->SelectedRow(), -1);
    QCOMPARE(window.StatusPanel0->Text(), QStringLiteral("Počet: 2"));
    actions->doAction(QAccessibleActionInterface::toggleAction());
    QCOMPARE(Marks(window.Batch()), (QList<bool>{false, false}));
    QVERIFY(!row->state().checked);
    // Other actions do nothing.
    actions->doAction(QAccessibleActionInterface::pressAction());
    QCOMPARE(Marks(window.Batch()), (QList<bool>{false, false}));
  }

  void rowObjectsAreMadeOnlyWhenAskedAndFollowTheirEntries()
  {
    TFilledWindow filled({});
    QVERIFY(filled.Shown);
    TMain& window = filled.Window;
    TAccessibleEventLog listening;
    QStringList codes;
    for (int i = 0; i < 2000; ++i) codes << QStringLiteral("K%1").arg(i);
    Fill(window, codes);
    TColumnCheckList* list = window.txtSeznam;
    // Two thousand scans heard by a listening client, and not one row object.
    QCOMPARE(list->AccessibleRows().Made(), std::size_t(0));
    QAccessibleInterface* accessible = ListOf(window);
    QCOMPARE(accessible->childCount(), 2000);
    QCOMPARE(list->AccessibleRows().Made(), std::size_t(0));
    QAccessibleInterface* far = accessible->child(1500);
    QAccessibleInterface* near = accessible->child(10);
    QCOMPARE(list->AccessibleRows().Made(), std::size_t(2));
    const QAccessible::Id farId = QAccessible::uniqueId(far);
    const QAccessible::Id nearId = QAccessible::uniqueId(near);
    // Removing a row before them: each object moves up with its entry.
    list->SelectRow(5);
    window.A_DelItem->trigger();
    QCOMPARE(accessible->child(1499), far);
    QCOMPARE(far->text(QAccessible::Name), QStringLiteral("K1500"));
    QCOMPARE(accessible->indexOfChild(far), 1499);
    QCOMPARE(far->tableCellInterface()->rowIndex(), 1499);
    QCOMPARE(accessible->child(9), near);
    // Removing a row's own entry ends its object, and only that one.
    list->SelectRow(9);
    window.A_DelItem->trigger();
    QCOMPARE(QAccessible::accessibleInterface(nearId), nullptr);
    QCOMPARE(list->AccessibleRows().Made(), std::size_t(1));
    QCOMPARE(accessible->child(9)->text(QAccessible::Name), QStringLiteral("K11"));
    QCOMPARE(accessible->child(1498), far);
    // A new scan at the end leaves the objects before it where they are.
    Fill(window, {"NEW"});
    QCOMPARE(accessible->child(1498), far);
    QCOMPARE(accessible->child(1998)->text(QAccessible::Name), QStringLiteral("NEW"));
    // A new batch ends every row object.
    window.A_New->trigger();
    QCOMPARE(QAccessible::accessibleInterface(farId), nullptr);
    QCOMPARE(list->AccessibleRows().Made(), std::size_t(0));
    QCOMPARE(accessible->childCount(), 0);
  }

  void rowObjectsEndWithTheList()
  {
    QStandardItemModel model;
    model.appendRow(new QStandardItem(QStringLiteral("A")));
    auto list = std::make_unique<TColumnCheckList>();
    list->setModel(&model);
    QAccessibleInterface* row = QAccessible::queryAccessibleInterface(list.get())->child(0);
    const QAccessible::Id id = QAccessible::uniqueId(row);
    // Another model: the old rows' objects go.
    QStandardItemModel other;
    other.appendRow(new QStandardItem(QStringLiteral("B")));
    list->setModel(&other);
    QCOMPARE(QAccessible::accessibleInterface(id), nullptr);
    const QAccessible::Id otherId =
        QAccessible::uniqueId(QAccessible::queryAccessibleInterface(list.get())->child(0));
    list.reset();
    QCOMPARE(QAccessible::accessibleInterface(otherId), nullptr);
  }

  void focusFollowsKeysTypeAheadAndMouse()
  {
    TFilledWindow filled({"AB12", "CD34", "EF56"});
    QVERIFY(filled.Shown);
    TMain& window = filled.Window;
    TColumnCheckList* list = window.txtSeznam;
    TAccessibleEventLog log;
    // Tab: the list, with no row selected yet.
    QTest::keyClick(window.txtInput, Qt::Key_Tab);
    QCOMPARE(QApplication::focusWidget(), list);
    QCOMPARE(FocusedNames(log, list), QStringList{"<list>"});
    log.Clear();
    QTest::keyClick(list, Qt::Key_Home);
    QTest::keyClick(list, Qt::Key_Down);
    QTest::keyClick(list, Qt::Key_End);
    QTest::keyClick(list, Qt::Key_Up);
    QTest::keyClicks(list, QStringLiteral("a"));
    QTest::mouseClick(list->viewport(), Qt::LeftButton, {}, list->RowRect(2).center());
    QCOMPARE(FocusedNames(log, list), (QStringList{"AB12", "CD34", "EF56", "CD34", "AB12", "EF56"}));
    for (const TEntry& entry : log.Of(QAccessible::Focus, list)) {
      QCOMPARE(entry.Role, QAccessible::CheckBox);
      QVERIFY(entry.State.focused);
      QVERIFY(entry.State.selected);
    }
    // The selection moves with the focus: the row left is told it is no longer selected.
    const QList<TEntry> removed = log.Of(QAccessible::SelectionRemove, list);
    QVERIFY(!removed.isEmpty());
    QCOMPARE(removed.last().Name, QStringLiteral("AB12"));
    QVERIFY(!removed.last().State.selected);
    // Leaving the list and coming back: the list, then its selected row.
    log.Clear();
    window.txtInput->setFocus();
    list->setFocus();
    QTRY_COMPARE(FocusedNames(log, list), (QStringList{"<list>", "EF56"}));
    // Deleting the focused row leaves the focus on the list itself.
    log.Clear();
    QTest::keyClick(list, Qt::Key_Delete);
    QCOMPARE(FocusedNames(log, list), QStringList{"<list>"});
    // So does a new batch.
    QTest::keyClick(list, Qt::Key_Home);
    log.Clear();
    window.A_New->trigger();
    QCOMPARE(FocusedNames(log, list), QStringList{"<list>"});
    Fill(window, {"AB12"});
    // Moving the selection without the focus tells nobody of a focus.
    log.Clear();
    window.txtInput->setFocus();
    log.Clear();
    list->SelectRow(0);
    QCOMPARE(FocusedNames(log, list), QStringList{});
  }

  void ticksAreToldAsCheckedChanges()
  {
    TFilledWindow filled({"AB12", "CD34"});
    QVERIFY(filled.Shown);
    TMain& window = filled.Window;
    TColumnCheckList* list = window.txtSeznam;
    TAccessibleEventLog log;
    list->setFocus();
    list->SelectRow(1);
    QTest::keyClick(list, Qt::Key_Space);  // CD34 ticked
    QTest::keyClick(list, Qt::Key_Space);  // and unticked
    QTest::mouseClick(list->viewport(), Qt::LeftButton, {}, OnBox(list, 0));  // AB12 ticked
    ListOf(window)->child(0)->actionInterface()->doAction(QAccessibleActionInterface::toggleAction());
    const QList<TEntry> changes = log.Of(QAccessible::StateChanged, list);
    QCOMPARE(changes.size(), 4);
    const QList<std::pair<QString, bool>> expected{{"CD34", true}, {"CD34", false}, {"AB12", true}, {"AB12", false}};
    for (int i = 0; i < changes.size(); ++i) {
      QCOMPARE(changes[i].Name, expected[i].first);
      QVERIFY(changes[i].Changed.checked);
      QCOMPARE(bool(changes[i].State.checked), expected[i].second);
    }
  }

  void batchChangesAreToldAsModelChanges()
  {
    TFilledWindow filled({"AB12", "CD34", "EF56"});
    QVERIFY(filled.Shown);
    TMain& window = filled.Window;
    TColumnCheckList* list = window.txtSeznam;
    TAccessibleEventLog log;
    const auto changes = [&] {
      QList<std::tuple<QAccessibleTableModelChangeEvent::ModelChangeType, int, int>> found;
      for (const TEntry& entry : log.Of(QAccessible::TableModelChanged, list))
        found.append({entry.ModelChange, entry.FirstRow, entry.LastRow});
      log.Clear();
      return found;
    };
    const auto countHeard = [&] {
      QStringList heard;
      for (const TEntry& entry : log.Of(QAccessible::NameChanged, window.StatusPanel0)) heard << entry.Name;
      return heard;
    };
    using Change = QAccessibleTableModelChangeEvent;
    Scan(window, QStringLiteral("GH78"));
    QCOMPARE(countHeard(), QStringList{"Počet: 4"});
    QCOMPARE(changes(), (QList<std::tuple<Change::ModelChangeType, int, int>>{{Change::RowsInserted, 3, 3}}));
    // A code already there adds no row.
    Scan(window, QStringLiteral("AB12"));
    QCOMPARE(changes(), (QList<std::tuple<Change::ModelChangeType, int, int>>{}));
    list->SelectRow(1);
    window.A_DelItem->trigger();
    QCOMPARE(countHeard(), QStringList{"Počet: 3"});
    QCOMPARE(changes(), (QList<std::tuple<Change::ModelChangeType, int, int>>{{Change::RowsRemoved, 1, 1}}));
    QTemporaryDir folder;
    const QString path = folder.filePath(QStringLiteral("list.txt"));
    QVERIFY(WriteBytes(path, "L1\r\nL2\r\n"));
    filled.Dialogs.ChooseNext(path);
    window.A_LoadList->trigger();
    QCOMPARE(countHeard(), QStringList{"Počet: 2"});
    QCOMPARE(changes().size(), 1);
    QCOMPARE(RowNames(ListOf(window)), (QStringList{"L1", "L2"}));
    window.A_New->trigger();
    QCOMPARE(countHeard(), QStringList{"Počet: 0"});
    const auto reset = changes();
    QCOMPARE(reset.size(), 1);
    QCOMPARE(std::get<0>(reset.first()), Change::ModelReset);
    QCOMPARE(ListOf(window)->childCount(), 0);
  }
};

std::unique_ptr<QObject> MakeCheckListAccessibilityTest() { return std::make_unique<CheckListAccessibilityTest>(); }

#include "CheckListAccessibilityTest.moc"
