// SPDX-FileCopyrightText: 2026 The Quenlora authors
// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

#include <QAbstractItemView>
#include <optional>

#include "CheckListAccessible.h"
#include "TypeAhead.h"

namespace quenlora::ui {

// A check list in six columns of equal width, filled one column from top to
// bottom before the next, scrolled sideways a column at a time. Where a row
// stands is pure arithmetic on its number, so adding, removing or scrolling
// costs the same at a million rows as at ten; only the rows in sight are drawn.
//
// Selection is single, and the selected row is the current one. A press on a
// row's check box toggles its mark (each press of a double click counts),
// Space toggles the selected row, the arrows, Home, End, Page Up and Page Down
// select the row they reach, other characters search by prefix. Delete is
// left to the owner through KeyDown.
//
// Assistive technology sees a list of check boxes, one per row (see
// CheckListAccessible.h), and hears of the selection moving, of ticks and of
// rows coming and going while it listens.
class TColumnCheckList : public QAbstractItemView {
  Q_OBJECT

public:
  static constexpr int kColumns = 6;

  explicit TColumnCheckList(QWidget* parent = nullptr);

  void setModel(QAbstractItemModel* model) override;

  int RowCount() const;
  // -1 when no row is selected.
  int SelectedRow() const;
  // Selects the row (and makes it current) and scrolls it into sight; a row
  // that does not exist clears the selection.
  void SelectRow(int row);
  bool IsMarked(int row) const;
  // Ticks an unticked row and unticks a ticked one, as Space does on the
  // selected row.
  void ToggleMark(int row);
  // The row's code as the list shows it: on one line, control characters
  // as blanks.
  QString ShownCode(int row) const;
  // Whether any of the row is in the visible part of the list.
  bool RowInSight(int row) const;
  TAccessibleRows& AccessibleRows() const { return accessibleRows_; }

  int RowsPerColumn() const { return rowsPerColumn_; }
  int ColumnWidth() const;
  int ItemHeight() const;
  // The part of a row at its left edge where a press toggles the mark.
  int CheckBoxWidth() const;
  int FirstVisibleColumn() const;
  // The row's place in viewport coordinates (outside it when scrolled away).
  QRect RowRect(int row) const;
  int RowAt(const QPoint& point) const;

  TTypeAhead& TypeAhead() { return typeAhead_; }

  QRect visualRect(const QModelIndex& index) const override;
  void scrollTo(const QModelIndex& index, ScrollHint hint = EnsureVisible) override;
  QModelIndex indexAt(const QPoint& point) const override;

Q_SIGNALS:
  // Every key pressed in the list, before the list acts on it.
  void KeyDown(int key, Qt::KeyboardModifiers modifiers);

protected:
  QModelIndex moveCursor(CursorAction cursorAction, Qt::KeyboardModifiers modifiers) override;
  int horizontalOffset() const override;
  int verticalOffset() const override;
  bool isIndexHidden(const QModelIndex& index) const override;
  void setSelection(const QRect& rect, QItemSelectionModel::SelectionFlags command) override;
  QRegion visualRegionForSelection(const QItemSelection& selection) const override;

  void updateGeometries() override;
  void reset() override;
  void rowsInserted(const QModelIndex& parent, int start, int end) override;
  void rowsAboutToBeRemoved(const QModelIndex& parent, int start, int end) override;
  void scrollContentsBy(int dx, int dy) override;
  void currentChanged(const QModelIndex& current, const QModelIndex& previous) override;
  void dataChanged(const QModelIndex& topLeft, const QModelIndex& bottomRight, const QList<int>& roles) override;

  void paintEvent(QPaintEvent* event) override;
  void keyPressEvent(QKeyEvent* event) override;
  void mousePressEvent(QMouseEvent* event) override;
  void mouseDoubleClickEvent(QMouseEvent* event) override;
  void mouseMoveEvent(QMouseEvent* event) override;
  void mouseReleaseEvent(QMouseEvent* event) override;
  void wheelEvent(QWheelEvent* event) override;
  void focusInEvent(QFocusEvent* event) override;
  void selectionChanged(const QItemSelection& selected, const QItemSelection& deselected) override;

private:
  // The move a navigation key makes; none for other keys.
  static std::optional<CursorAction> NavigationOf(int key);
  int LastVisibleRow() const;
  void PressAt(const QPoint& point);
  void RowsRemoved(int first, int last);
  // Tells a listening client about the row (nothing when none listens, so
  // no row object is made for nobody).
  void NotifyAccessible(QAccessible::Event type, int row);
  void NotifyAccessibleFocus();
  void SearchTyped(const QString& search);
  int FindPrefix(const QString& prefix) const;
  void PaintRows(QPainter& painter, const QRect& area, int selected);
  void PaintRow(QPainter& painter, int row, int selectedRow);

  int rowsPerColumn_ = 1;
  int wheelRemainder_ = 0;
  TTypeAhead typeAhead_;
  QMetaObject::Connection rowsRemovedConnection_;
  // Whether the rows being removed hold the selected row while the list has the focus.
  bool removingFocusedRow_ = false;
  mutable TAccessibleRows accessibleRows_{this};
};

}  // namespace quenlora::ui
