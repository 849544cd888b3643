// SPDX-FileCopyrightText: 2026 The Quenlora authors
// SPDX-License-Identifier: GPL-3.0-or-later

#include "CheckListAccessible.h"

#include <QKeySequence>
#include <QWidget>
#include <QWindow>

#include "AccessibleFactory.h"
#include "ColumnCheckList.h"

namespace quenlora::ui {

TAccessibleRows::~TAccessibleRows() { Reset(); }

QAccessibleInterface* TAccessibleRows::Row(int row)
{
  if (row < 0 || row >= list_->RowCount()) return nullptr;
  if (const auto found = ids_.find(row); found != ids_.end()) return QAccessible::accessibleInterface(found->second);
  auto* made = new TCheckListRowAccessible(list_, row);
  ids_.emplace(row, QAccessible::registerAccessibleInterface(made));
  return made;
}

int TAccessibleRows::RowOf(const QAccessibleInterface* object) const
{
  const auto* row = dynamic_cast<const TCheckListRowAccessible*>(object);
  if (row == nullptr || row->List() != list_) return -1;
  const auto found = ids_.find(row->Row());
  return found != ids_.end() && QAccessible::accessibleInterface(found->second) == object ? row->Row() : -1;
}

void TAccessibleRows::Shift(int first, int delta)
{
  std::map<int, QAccessible::Id> moved;
  for (auto it = ids_.lower_bound(first); it != ids_.end(); it = ids_.erase(it)) {
    if (auto* row = static_cast<TCheckListRowAccessible*>(QAccessible::accessibleInterface(it->second)))
      row->SetRow(it->first + delta);
    moved.emplace(it->first + delta, it->second);
  }
  ids_.merge(moved);
}

void TAccessibleRows::Inserted(int first, int last)
{
  if (!ids_.empty()) Shift(first, last - first + 1);
}

void TAccessibleRows::Removed(int first, int last)
{
  if (ids_.empty()) return;
  for (auto it = ids_.lower_bound(first); it != ids_.end() && it->first <= last; it = ids_.erase(it))
    QAccessible::deleteAccessibleInterface(it->second);
  Shift(last + 1, first - last - 1);
}

void TAccessibleRows::Reset()
{
  for (const auto& [row, id] : ids_) QAccessible::deleteAccessibleInterface(id);
  ids_.clear();
}

TCheckListAccessible::TCheckListAccessible(TColumnCheckList* list) : QAccessibleWidget(list, QAccessible::List) {}

TColumnCheckList* TCheckListAccessible::List() const { return static_cast<TColumnCheckList*>(widget()); }

void* TCheckListAccessible::interface_cast(QAccessible::InterfaceType type)
{
  if (type == QAccessible::TableInterface) return static_cast<QAccessibleTableInterface*>(this);
  return QAccessibleWidget::interface_cast(type);
}

int TCheckListAccessible::childCount() const { return List()->RowCount(); }

QAccessibleInterface* TCheckListAccessible::child(int index) const { return List()->AccessibleRows().Row(index); }

int TCheckListAccessible::indexOfChild(const QAccessibleInterface* child) const
{
  return List()->AccessibleRows().RowOf(child);
}

QAccessibleInterface* TCheckListAccessible::childAt(int x, int y) const
{
  const TColumnCheckList* list = List();
  const QPoint point = list->viewport()->mapFromGlobal(QPoint(x, y));
  if (!list->viewport()->rect().contains(point)) return nullptr;
  return child(list->RowAt(point));
}

QAccessibleInterface* TCheckListAccessible::focusChild() const
{
  const TColumnCheckList* list = List();
  return list->hasFocus() ? child(list->SelectedRow()) : nullptr;
}

int TCheckListAccessible::selectedCellCount() const { return List()->SelectedRow() >= 0 ? 1 : 0; }

QList<QAccessibleInterface*> TCheckListAccessible::selectedCells() const
{
  if (QAccessibleInterface* selected = child(List()->SelectedRow())) return {selected};
  return {};
}

QList<int> TCheckListAccessible::selectedRows() const
{
  const int selected = List()->SelectedRow();
  return selected >= 0 ? QList<int>{selected} : QList<int>{};
}

bool TCheckListAccessible::isRowSelected(int row) const { return row >= 0 && row == List()->SelectedRow(); }

bool TCheckListAccessible::selectRow(int row)
{
  if (row < 0 || row >= List()->RowCount()) return false;
  List()->SelectRow(row);
  return true;
}

bool TCheckListAccessible::unselectRow(int row)
{
  if (!isRowSelected(row)) return false;
  List()->SelectRow(-1);
  return true;
}

QAccessibleInterface* TCheckListAccessible::cellAt(int row, int column) const
{
  return column == 0 ? child(row) : nullptr;
}

bool TCheckListRowAccessible::isValid() const
{
  return list_ != nullptr && row_ >= 0 && row_ < list_->RowCount();
}

QWindow* TCheckListRowAccessible::window() const
{
  return list_ != nullptr ? list_->window()->windowHandle() : nullptr;
}

QAccessibleInterface* TCheckListRowAccessible::parent() const
{
  return list_ != nullptr ? QAccessible::queryAccessibleInterface(list_.data()) : nullptr;
}

QString TCheckListRowAccessible::text(QAccessible::Text kind) const
{
  if (kind != QAccessible::Name || !isValid()) return {};
  return list_->ShownCode(row_);
}

QRect TCheckListRowAccessible::rect() const
{
  if (!isValid()) return {};
  const QRect inViewport = list_->RowRect(row_);
  return {list_->viewport()->mapToGlobal(inViewport.topLeft()), inViewport.size()};
}

QAccessible::State TCheckListRowAccessible::state() const
{
  QAccessible::State state;
  if (!isValid()) {
    state.invalid = true;
    return state;
  }
  state.focusable = true;
  state.selectable = true;
  state.checkable = true;
  state.checked = list_->IsMarked(row_);
  state.selected = list_->SelectedRow() == row_;
  state.focused = state.selected && list_->hasFocus();
  state.disabled = !list_->isEnabled();
  state.invisible = !list_->isVisible();
  state.offscreen = state.invisible || !list_->RowInSight(row_);
  return state;
}

void* TCheckListRowAccessible::interface_cast(QAccessible::InterfaceType type)
{
  switch (type) {
    case QAccessible::TableCellInterface:
      return static_cast<QAccessibleTableCellInterface*>(this);
    case QAccessible::ActionInterface:
      return static_cast<QAccessibleActionInterface*>(this);
    default:
      return nullptr;
  }
}

bool TCheckListRowAccessible::isSelected() const { return isValid() && list_->SelectedRow() == row_; }

QStringList TCheckListRowAccessible::actionNames() const { return {toggleAction()}; }

void TCheckListRowAccessible::doAction(const QString& actionName)
{
  if (actionName == toggleAction() && isValid()) list_->ToggleMark(row_);
}

QStringList TCheckListRowAccessible::keyBindingsForAction(const QString& actionName) const
{
  // Space toggles the selected row.
  if (actionName == toggleAction()) return {QKeySequence(Qt::Key_Space).toString(QKeySequence::NativeText)};
  return {};
}

void InstallCheckListAccessibility() { InstallAccessibleFactory<TColumnCheckList, TCheckListAccessible>(); }

}  // namespace quenlora::ui
