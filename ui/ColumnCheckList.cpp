// SPDX-FileCopyrightText: 2026 The Quenlora authors
// SPDX-License-Identifier: GPL-3.0-or-later

#include "ColumnCheckList.h"

#include <QAccessible>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QPainter>
#include <QScrollBar>
#include <QStyleOptionButton>
#include <QStyleOptionFocusRect>
#include <QWheelEvent>
#include <algorithm>

#include "BatchListModel.h"
#include "OneLineText.h"

namespace quenlora::ui {

TColumnCheckList::TColumnCheckList(QWidget* parent) : QAbstractItemView(parent)
{
  setSelectionMode(SingleSelection);
  setSelectionBehavior(SelectRows);
  setEditTriggers(NoEditTriggers);
  setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
  setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
  setTabKeyNavigation(false);
  setDragEnabled(false);
  InstallCheckListAccessibility();
}

void TColumnCheckList::setModel(QAbstractItemModel* model)
{
  if (rowsRemovedConnection_) disconnect(rowsRemovedConnection_);
  accessibleRows_.Reset();
  QAbstractItemView::setModel(model);
  if (model != nullptr) {
    rowsRemovedConnection_ = connect(model, &QAbstractItemModel::rowsRemoved, this,
                                     [this](const QModelIndex& parent, int start, int end) {
                                       if (parent == rootIndex()) RowsRemoved(start, end);
                                     });
  }
  updateGeometries();
}

void TColumnCheckList::RowsRemoved(int first, int last)
{
  accessibleRows_.Removed(first, last);
  const bool inSight = first <= LastVisibleRow();
  updateGeometries();
  if (inSight) viewport()->update();
  // The focused row is gone and no other is selected: the focus is on the
  // list itself again.
  if (removingFocusedRow_ && hasFocus()) NotifyAccessible(QAccessible::Focus, -1);
  removingFocusedRow_ = false;
}

int TColumnCheckList::RowCount() const { return model() != nullptr ? model()->rowCount(rootIndex()) : 0; }

bool TColumnCheckList::IsMarked(int row) const
{
  if (row < 0 || row >= RowCount()) return false;
  return model()->index(row, 0, rootIndex()).data(Qt::CheckStateRole).toInt() == Qt::Checked;
}

QString TColumnCheckList::ShownCode(int row) const
{
  if (row < 0 || row >= RowCount()) return {};
  return OneLineText(model()->index(row, 0, rootIndex()).data().toString());
}

bool TColumnCheckList::RowInSight(int row) const
{
  return row >= 0 && row < RowCount() && viewport()->rect().intersects(RowRect(row));
}

int TColumnCheckList::ColumnWidth() const { return std::max(1, viewport()->width() / kColumns); }

int TColumnCheckList::ItemHeight() const
{
  const int glyph = style()->pixelMetric(QStyle::PM_IndicatorHeight, nullptr, this);
  return std::max(fontMetrics().height() + 1, glyph + 2);
}

int TColumnCheckList::CheckBoxWidth() const
{
  return style()->pixelMetric(QStyle::PM_IndicatorWidth, nullptr, this) + 2;
}

int TColumnCheckList::FirstVisibleColumn() const { return horizontalScrollBar()->value(); }

int TColumnCheckList::LastVisibleRow() const { return (FirstVisibleColumn() + kColumns + 1) * rowsPerColumn_ - 1; }

QRect TColumnCheckList::RowRect(int row) const
{
  const int column = row / rowsPerColumn_ - FirstVisibleColumn();
  const int line = row % rowsPerColumn_;
  const int width = ColumnWidth();
  const int height = ItemHeight();
  return {column * width, line * height, width, height};
}

int TColumnCheckList::RowAt(const QPoint& point) const
{
  if (point.x() < 0 || point.y() < 0 || point.x() >= viewport()->width()) return -1;
  const int line = point.y() / ItemHeight();
  if (line >= rowsPerColumn_) return -1;
  const qint64 row = qint64(FirstVisibleColumn() + point.x() / ColumnWidth()) * rowsPerColumn_ + line;
  return row < RowCount() ? static_cast<int>(row) : -1;
}

QRect TColumnCheckList::visualRect(const QModelIndex& index) const
{
  if (!index.isValid() || index.parent() != rootIndex()) return {};
  return RowRect(index.row());
}

QModelIndex TColumnCheckList::indexAt(const QPoint& point) const
{
  const int row = RowAt(point);
  return row >= 0 ? model()->index(row, 0, rootIndex()) : QModelIndex();
}

void TColumnCheckList::scrollTo(const QModelIndex& index, ScrollHint)
{
  if (!index.isValid()) return;
  const int column = index.row() / rowsPerColumn_;
  QScrollBar* bar = horizontalScrollBar();
  if (column < bar->value())
    bar->setValue(column);
  else if (column > bar->value() + kColumns - 1)
    bar->setValue(column - kColumns + 1);
}

int TColumnCheckList::SelectedRow() const
{
  if (selectionModel() == nullptr) return -1;
  const QItemSelection selection = selectionModel()->selection();
  for (const QItemSelectionRange& range : selection)
    if (range.isValid()) return range.top();
  return -1;
}

void TColumnCheckList::SelectRow(int row)
{
  if (model() == nullptr || selectionModel() == nullptr) return;
  if (row < 0 || row >= RowCount()) {
    selectionModel()->clear();
    return;
  }
  const QModelIndex index = model()->index(row, 0, rootIndex());
  selectionModel()->setCurrentIndex(index, QItemSelectionModel::ClearAndSelect);
  scrollTo(index);
}

QModelIndex TColumnCheckList::moveCursor(CursorAction cursorAction, Qt::KeyboardModifiers)
{
  const int count = RowCount();
  if (count == 0) return {};
  // Keys move from the selected row. With none selected, End goes to the last
  // row and every other key to the first: the first key press selects a row.
  const int current = SelectedRow();
  if (current < 0) return model()->index(cursorAction == MoveEnd ? count - 1 : 0, 0, rootIndex());
  const int page = rowsPerColumn_ * kColumns;
  int target = current;
  switch (cursorAction) {
    case MoveUp:
    case MovePrevious:
      target = current - 1;
      break;
    case MoveDown:
    case MoveNext:
      target = current + 1;
      break;
    case MoveLeft:
      target = current - rowsPerColumn_ >= 0 ? current - rowsPerColumn_ : current;
      break;
    case MoveRight:
      target = current + rowsPerColumn_ < count ? current + rowsPerColumn_ : current;
      break;
    case MoveHome:
      target = 0;
      break;
    case MoveEnd:
      target = count - 1;
      break;
    case MovePageUp:
      target = current - page;
      break;
    case MovePageDown:
      target = current + page;
      break;
  }
  target = std::clamp(target, 0, count - 1);
  return model()->index(target, 0, rootIndex());
}

int TColumnCheckList::horizontalOffset() const { return FirstVisibleColumn() * ColumnWidth(); }

int TColumnCheckList::verticalOffset() const { return 0; }

bool TColumnCheckList::isIndexHidden(const QModelIndex&) const { return false; }

void TColumnCheckList::setSelection(const QRect& rect, QItemSelectionModel::SelectionFlags command)
{
  const QModelIndex index = indexAt(rect.topLeft());
  if (index.isValid()) selectionModel()->select(index, command);
}

QRegion TColumnCheckList::visualRegionForSelection(const QItemSelection& selection) const
{
  QRegion region;
  for (const QItemSelectionRange& range : selection)
    for (int row = range.top(); row <= range.bottom(); ++row) region += RowRect(row);
  return region;
}

void TColumnCheckList::updateGeometries()
{
  const int height = ItemHeight();
  const int count = RowCount();
  // Whether the scroll bar is needed depends on the height it would leave.
  const int rowsWithoutBar = std::max(1, contentsRect().height() / height);
  const bool needBar = qint64(count) > qint64(rowsWithoutBar) * kColumns;
  const Qt::ScrollBarPolicy policy = needBar ? Qt::ScrollBarAlwaysOn : Qt::ScrollBarAlwaysOff;
  if (horizontalScrollBarPolicy() != policy) setHorizontalScrollBarPolicy(policy);
  const int rows = std::max(1, viewport()->height() / height);
  if (rows != rowsPerColumn_) {
    rowsPerColumn_ = rows;
    viewport()->update();
  }
  const int columns = static_cast<int>((qint64(count) + rows - 1) / rows);
  QScrollBar* bar = horizontalScrollBar();
  bar->setRange(0, std::max(0, columns - kColumns));
  bar->setSingleStep(1);
  bar->setPageStep(kColumns);
  QAbstractItemView::updateGeometries();
}

void TColumnCheckList::reset()
{
  accessibleRows_.Reset();
  QAbstractItemView::reset();
  updateGeometries();
  horizontalScrollBar()->setValue(0);
  viewport()->update();
  // No row is left to hold the focus: it is on the list itself again.
  if (hasFocus()) NotifyAccessible(QAccessible::Focus, -1);
}

void TColumnCheckList::rowsInserted(const QModelIndex& parent, int start, int end)
{
  if (parent == rootIndex()) accessibleRows_.Inserted(start, end);
  QAbstractItemView::rowsInserted(parent, start, end);
  updateGeometries();
  // Rows after a new one move; a row added beyond sight changes nothing drawn.
  if (start <= LastVisibleRow()) {
    const QRect first = RowRect(start);
    if (end == start && start == RowCount() - 1)
      viewport()->update(first);
    else
      viewport()->update();
  }
}

void TColumnCheckList::rowsAboutToBeRemoved(const QModelIndex& parent, int start, int end)
{
  // Removing the selected row leaves no row selected; the base class would
  // move the selection to a neighbour.
  const int current = currentIndex().isValid() ? currentIndex().row() : -1;
  const int selected = SelectedRow();
  removingFocusedRow_ = parent == rootIndex() && selected >= start && selected <= end && hasFocus();
  if ((current >= start && current <= end) || (selected >= start && selected <= end)) selectionModel()->clear();
  QAbstractItemView::rowsAboutToBeRemoved(parent, start, end);
}

void TColumnCheckList::scrollContentsBy(int, int) { viewport()->update(); }

void TColumnCheckList::paintEvent(QPaintEvent* event)
{
  QPainter painter(viewport());
  const int selected = SelectedRow();
  PaintRows(painter, event->rect(), selected);
  // The focus shows on the selected row, the one Space ticks; with no row
  // selected, or the selected one scrolled out of sight, it goes round the list.
  if (hasFocus() && (selected < 0 || !viewport()->rect().intersects(RowRect(selected)))) {
    QStyleOptionFocusRect focus;
    focus.initFrom(this);
    focus.rect = viewport()->rect();
    focus.backgroundColor = palette().color(QPalette::Base);
    style()->drawPrimitive(QStyle::PE_FrameFocusRect, &focus, &painter, this);
  }
}

void TColumnCheckList::PaintRows(QPainter& painter, const QRect& area, int selected)
{
  const int count = RowCount();
  if (count == 0) return;
  const int width = ColumnWidth();
  const int height = ItemHeight();
  const int firstColumn = FirstVisibleColumn() + std::max(0, area.left() / width);
  const int lastColumn = FirstVisibleColumn() + area.right() / width;
  const int firstLine = std::max(0, area.top() / height);
  const int lastLine = std::min(rowsPerColumn_ - 1, area.bottom() / height);
  for (int column = firstColumn; column <= lastColumn; ++column) {
    for (int line = firstLine; line <= lastLine; ++line) {
      const qint64 row = qint64(column) * rowsPerColumn_ + line;
      if (row >= count) return;
      PaintRow(painter, static_cast<int>(row), selected);
    }
  }
}

void TColumnCheckList::PaintRow(QPainter& painter, int row, int selectedRow)
{
  const QRect rect = RowRect(row);
  const QModelIndex index = model()->index(row, 0, rootIndex());
  const bool selected = row == selectedRow;
  painter.save();
  painter.setClipRect(rect);
  if (selected) painter.fillRect(rect, palette().brush(QPalette::Active, QPalette::Highlight));

  QStyleOptionButton box;
  box.initFrom(this);
  const int glyphWidth = style()->pixelMetric(QStyle::PM_IndicatorWidth, nullptr, this);
  const int glyphHeight = style()->pixelMetric(QStyle::PM_IndicatorHeight, nullptr, this);
  box.rect = QRect(rect.left() + 1, rect.top() + (rect.height() - glyphHeight) / 2, glyphWidth, glyphHeight);
  box.state = QStyle::State_Enabled | (isActiveWindow() ? QStyle::State_Active : QStyle::State_None);
  box.state |= index.data(Qt::CheckStateRole).toInt() == Qt::Checked ? QStyle::State_On : QStyle::State_Off;
  style()->drawPrimitive(QStyle::PE_IndicatorCheckBox, &box, &painter, this);

  const QRect textRect = rect.adjusted(CheckBoxWidth() + 2, 0, 0, 0);
  painter.setPen(palette().color(QPalette::Active, selected ? QPalette::HighlightedText : QPalette::Text));
  painter.drawText(textRect, Qt::AlignLeft | Qt::AlignVCenter | Qt::TextSingleLine, OneLineText(index.data().toString()));

  if (selected && hasFocus()) {
    QStyleOptionFocusRect focus;
    focus.initFrom(this);
    focus.rect = rect;
    focus.backgroundColor = palette().color(selected ? QPalette::Highlight : QPalette::Base);
    style()->drawPrimitive(QStyle::PE_FrameFocusRect, &focus, &painter, this);
  }
  painter.restore();
}

void TColumnCheckList::ToggleMark(int row)
{
  if (row < 0 || row >= RowCount()) return;
  const QModelIndex index = model()->index(row, 0, rootIndex());
  const bool marked = index.data(Qt::CheckStateRole).toInt() == Qt::Checked;
  model()->setData(index, marked ? Qt::Unchecked : Qt::Checked, Qt::CheckStateRole);
}

void TColumnCheckList::PressAt(const QPoint& point)
{
  const int row = RowAt(point);
  if (row < 0) return;
  // A press selects in place: scrolling here would put another row under the
  // second press of a double click.
  const bool scrolls = hasAutoScroll();
  setAutoScroll(false);
  selectionModel()->setCurrentIndex(model()->index(row, 0, rootIndex()), QItemSelectionModel::ClearAndSelect);
  setAutoScroll(scrolls);
  if (point.x() - RowRect(row).left() < CheckBoxWidth()) ToggleMark(row);
}

void TColumnCheckList::mousePressEvent(QMouseEvent* event)
{
  if (event->button() == Qt::LeftButton) PressAt(event->position().toPoint());
  event->accept();
}

void TColumnCheckList::mouseDoubleClickEvent(QMouseEvent* event)
{
  // The second press of a double click counts like the first.
  if (event->button() == Qt::LeftButton) PressAt(event->position().toPoint());
  event->accept();
}

void TColumnCheckList::mouseMoveEvent(QMouseEvent* event) { event->accept(); }

void TColumnCheckList::mouseReleaseEvent(QMouseEvent* event) { event->accept(); }

void TColumnCheckList::wheelEvent(QWheelEvent* event)
{
  const QPoint delta = event->angleDelta();
  wheelRemainder_ += delta.y() != 0 ? delta.y() : delta.x();
  const int steps = wheelRemainder_ / 120;
  wheelRemainder_ -= steps * 120;
  if (steps != 0) horizontalScrollBar()->setValue(horizontalScrollBar()->value() - steps);
  event->accept();
}

void TColumnCheckList::focusInEvent(QFocusEvent* event)
{
  // The item view would make the first row current without selecting it,
  // and draw it as current although Space would not tick it; the list's
  // current row is always its selected row.
  QAbstractScrollArea::focusInEvent(event);
  viewport()->update();
  // Qt announces the list as focused after this; the selected row, where
  // the keys act, is announced next.
  if (QAccessible::isActive() && SelectedRow() >= 0)
    QMetaObject::invokeMethod(this, &TColumnCheckList::NotifyAccessibleFocus, Qt::QueuedConnection);
}

void TColumnCheckList::NotifyAccessibleFocus()
{
  if (hasFocus()) NotifyAccessible(QAccessible::Focus, SelectedRow());
}

void TColumnCheckList::NotifyAccessible(QAccessible::Event type, int row)
{
  if (!QAccessible::isActive() || row >= RowCount()) return;
  QAccessibleEvent event(this, type);
  if (row >= 0) event.setChild(row);
  QAccessible::updateAccessibility(&event);
}

void TColumnCheckList::currentChanged(const QModelIndex& current, const QModelIndex& previous)
{
  QAbstractItemView::currentChanged(current, previous);
  if (current.isValid() && hasFocus()) NotifyAccessible(QAccessible::Focus, current.row());
}

void TColumnCheckList::dataChanged(const QModelIndex& topLeft, const QModelIndex& bottomRight, const QList<int>& roles)
{
  QAbstractItemView::dataChanged(topLeft, bottomRight, roles);
  if (!QAccessible::isActive() || !topLeft.isValid() || !bottomRight.isValid()) return;
  if (!roles.isEmpty() && !roles.contains(Qt::CheckStateRole)) return;
  // The batch's marks change one row at a time.
  for (int row = topLeft.row(); row <= bottomRight.row(); ++row) {
    QAccessible::State changed;
    changed.checked = true;
    QAccessibleStateChangeEvent event(this, changed);
    event.setChild(row);
    QAccessible::updateAccessibility(&event);
  }
}

void TColumnCheckList::selectionChanged(const QItemSelection& selected, const QItemSelection& deselected)
{
  QAbstractItemView::selectionChanged(selected, deselected);
  // The focus frame moves between a row and the whole list.
  viewport()->update();
  // Single selection: at most one row on either side.
  for (const QItemSelectionRange& range : deselected) NotifyAccessible(QAccessible::SelectionRemove, range.top());
  for (const QItemSelectionRange& range : selected) NotifyAccessible(QAccessible::SelectionAdd, range.top());
}

int TColumnCheckList::FindPrefix(const QString& prefix) const
{
  if (const auto* batchModel = qobject_cast<const TBatchListModel*>(model())) return batchModel->FindPrefix(prefix);
  const int count = RowCount();
  for (int row = 0; row < count; ++row)
    if (model()->index(row, 0, rootIndex()).data().toString().startsWith(prefix, Qt::CaseInsensitive)) return row;
  return -1;
}

void TColumnCheckList::SearchTyped(const QString& search)
{
  if (RowCount() == 0) return;
  const int row = search.isEmpty() ? 0 : FindPrefix(search);
  if (row >= 0) SelectRow(row);
}

std::optional<QAbstractItemView::CursorAction> TColumnCheckList::NavigationOf(int key)
{
  switch (key) {
    case Qt::Key_Up:
      return QAbstractItemView::MoveUp;
    case Qt::Key_Down:
      return QAbstractItemView::MoveDown;
    case Qt::Key_Left:
      return QAbstractItemView::MoveLeft;
    case Qt::Key_Right:
      return QAbstractItemView::MoveRight;
    case Qt::Key_Home:
      return QAbstractItemView::MoveHome;
    case Qt::Key_End:
      return QAbstractItemView::MoveEnd;
    case Qt::Key_PageUp:
      return QAbstractItemView::MovePageUp;
    case Qt::Key_PageDown:
      return QAbstractItemView::MovePageDown;
    default:
      return std::nullopt;
  }
}

void TColumnCheckList::keyPressEvent(QKeyEvent* event)
{
  Q_EMIT KeyDown(event->key(), event->modifiers());
  switch (event->key()) {
    case Qt::Key_Delete:
      event->accept();
      return;
    case Qt::Key_Space:
      ToggleMark(SelectedRow());
      event->accept();
      return;
    case Qt::Key_Backspace:
      SearchTyped(typeAhead_.Backspace());
      event->accept();
      return;
    default:
      break;
  }
  if (const std::optional<CursorAction> move = NavigationOf(event->key())) {
    // Every move selects the row it reaches at once, also when it stays where it was.
    const QModelIndex target = moveCursor(*move, event->modifiers());
    if (target.isValid()) SelectRow(target.row());
    event->accept();
    return;
  }
  const QString text = event->text();
  const bool command = (event->modifiers() & (Qt::ControlModifier | Qt::AltModifier | Qt::MetaModifier)) != 0;
  if (!command && !text.isEmpty() && text.at(0).isPrint()) {
    SearchTyped(typeAhead_.Type(text));
    event->accept();
    return;
  }
  QAbstractItemView::keyPressEvent(event);
}

}  // namespace quenlora::ui
