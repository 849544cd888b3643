// SPDX-FileCopyrightText: 2026 The Quenlora authors
// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

#include <QAccessible>
#include <QAccessibleWidget>
#include <QPointer>
#include <map>

namespace quenlora::ui {

class TColumnCheckList;

// The objects that stand for the check list's rows before assistive
// technology, one per row that a client has asked for, by row number. A
// million-row list makes no objects until a client asks, and then only the
// ones it asks for. Rows keep their object while rows before them come and
// go (the object follows its entry); removed rows and a reset drop theirs.
class TAccessibleRows {
public:
  explicit TAccessibleRows(TColumnCheckList* list) : list_(list) {}
  TAccessibleRows(const TAccessibleRows&) = delete;
  TAccessibleRows& operator=(const TAccessibleRows&) = delete;
  ~TAccessibleRows();

  // The row's object, made on first use; nullptr for a row that does not exist.
  QAccessibleInterface* Row(int row);
  // The row an object of this list stands for; -1 for any other object.
  int RowOf(const QAccessibleInterface* object) const;
  std::size_t Made() const { return ids_.size(); }

  void Inserted(int first, int last);
  void Removed(int first, int last);
  void Reset();

private:
  // Moves the objects of rows from first on by delta.
  void Shift(int first, int delta);

  TColumnCheckList* list_;
  std::map<int, QAccessible::Id> ids_;
};

// The check list as assistive technology sees it: a list named by its label,
// with a child per row, each row a check box named by its code. It also
// answers as a table of one column, as Qt's own list views do, so that
// clients can ask for a row by number and read which row is selected.
class TCheckListAccessible : public QAccessibleWidget, public QAccessibleTableInterface {
public:
  explicit TCheckListAccessible(TColumnCheckList* list);

  void* interface_cast(QAccessible::InterfaceType type) override;
  int childCount() const override;
  QAccessibleInterface* child(int index) const override;
  int indexOfChild(const QAccessibleInterface* child) const override;
  QAccessibleInterface* childAt(int x, int y) const override;
  QAccessibleInterface* focusChild() const override;

  QAccessibleInterface* caption() const override { return nullptr; }
  QAccessibleInterface* summary() const override { return nullptr; }
  QString columnDescription(int) const override { return {}; }
  QString rowDescription(int) const override { return {}; }
  int columnCount() const override { return 1; }
  int rowCount() const override { return childCount(); }
  int selectedCellCount() const override;
  int selectedColumnCount() const override { return 0; }
  int selectedRowCount() const override { return selectedCellCount(); }
  QList<QAccessibleInterface*> selectedCells() const override;
  QList<int> selectedColumns() const override { return {}; }
  QList<int> selectedRows() const override;
  bool isColumnSelected(int) const override { return false; }
  bool isRowSelected(int row) const override;
  bool selectRow(int row) override;
  bool selectColumn(int) override { return false; }
  bool unselectRow(int row) override;
  bool unselectColumn(int) override { return false; }
  QAccessibleInterface* cellAt(int row, int column) const override;
  // The rows follow the list's own notice of every change, which comes
  // whether or not a client listens; Qt's table events add nothing.
  void modelChange(QAccessibleTableModelChangeEvent*) override {}

private:
  TColumnCheckList* List() const;
};

// One row: a check box named by the code as the list shows it, checked when
// the entry is marked as a whole package, selected and focused as the list's
// selection and focus say. Its toggle action ticks or unticks the entry the
// way Space does on the selected row.
class TCheckListRowAccessible : public QAccessibleInterface,
                                public QAccessibleTableCellInterface,
                                public QAccessibleActionInterface {
public:
  TCheckListRowAccessible(TColumnCheckList* list, int row) : list_(list), row_(row) {}

  int Row() const { return row_; }
  void SetRow(int row) { row_ = row; }
  const TColumnCheckList* List() const { return list_; }

  bool isValid() const override;
  QObject* object() const override { return nullptr; }
  QWindow* window() const override;
  QAccessibleInterface* parent() const override;
  QAccessibleInterface* child(int) const override { return nullptr; }
  int childCount() const override { return 0; }
  int indexOfChild(const QAccessibleInterface*) const override { return -1; }
  QAccessibleInterface* childAt(int, int) const override { return nullptr; }
  QString text(QAccessible::Text kind) const override;
  void setText(QAccessible::Text, const QString&) override {}
  QRect rect() const override;
  QAccessible::Role role() const override { return QAccessible::CheckBox; }
  QAccessible::State state() const override;
  void* interface_cast(QAccessible::InterfaceType type) override;

  bool isSelected() const override;
  QList<QAccessibleInterface*> columnHeaderCells() const override { return {}; }
  QList<QAccessibleInterface*> rowHeaderCells() const override { return {}; }
  int columnIndex() const override { return 0; }
  int rowIndex() const override { return row_; }
  int columnExtent() const override { return 1; }
  int rowExtent() const override { return 1; }
  QAccessibleInterface* table() const override { return parent(); }

  QStringList actionNames() const override;
  void doAction(const QString& actionName) override;
  QStringList keyBindingsForAction(const QString& actionName) const override;

private:
  QPointer<TColumnCheckList> list_;
  int row_;
};

// Gives every check list the accessible interface above.
void InstallCheckListAccessibility();

}  // namespace quenlora::ui
