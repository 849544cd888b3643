// SPDX-FileCopyrightText: 2026 The Quenlora authors
// SPDX-License-Identifier: GPL-3.0-or-later

#include "StatusPanelAccessible.h"

#include <QFontMetricsF>
#include <algorithm>
#include <cmath>

#include "AccessibleFactory.h"
#include "StatusPanel.h"

namespace quenlora::ui {

TStatusPanelAccessible::TStatusPanelAccessible(TStatusPanel* panel) : QAccessibleWidget(panel, QAccessible::StaticText)
{
}

const TStatusPanel* TStatusPanelAccessible::Panel() const { return static_cast<const TStatusPanel*>(widget()); }

QString TStatusPanelAccessible::text(QAccessible::Text kind) const
{
  if (kind == QAccessible::Name && widget()->accessibleName().isEmpty()) return Panel()->ShownText().trimmed();
  return QAccessibleWidget::text(kind);
}

void* TStatusPanelAccessible::interface_cast(QAccessible::InterfaceType type)
{
  if (type == QAccessible::TextInterface) return static_cast<QAccessibleTextInterface*>(this);
  return QAccessibleWidget::interface_cast(type);
}

QString TStatusPanelAccessible::text(int startOffset, int endOffset) const
{
  const QString shown = Panel()->ShownText();
  const int start = std::clamp(startOffset, 0, int(shown.size()));
  const int end = endOffset < 0 ? int(shown.size()) : std::clamp(endOffset, start, int(shown.size()));
  return shown.mid(start, end - start);
}

int TStatusPanelAccessible::characterCount() const { return int(Panel()->ShownText().size()); }

QRect TStatusPanelAccessible::characterRect(int offset) const
{
  const QString shown = Panel()->ShownText();
  if (offset < 0 || offset >= shown.size()) return {};
  // The text is drawn left-aligned and centred vertically in the panel's text area.
  const QFontMetricsF metrics(Panel()->font());
  const QRect area = Panel()->TextArea();
  const qreal left = area.left() + metrics.horizontalAdvance(shown.left(offset));
  const qreal width = metrics.horizontalAdvance(shown.mid(offset, 1));
  const qreal top = area.top() + (area.height() - metrics.height()) / 2;
  const QRect inPanel(QPoint(int(std::floor(left)), int(std::floor(top))),
                      QSize(int(std::ceil(width)), int(std::ceil(metrics.height()))));
  return {Panel()->mapToGlobal(inPanel.topLeft()), inPanel.size()};
}

int TStatusPanelAccessible::offsetAtPoint(const QPoint& point) const
{
  const QPoint inPanel = Panel()->mapFromGlobal(point);
  const QRect area = Panel()->TextArea();
  if (!area.contains(inPanel)) return -1;
  const QString shown = Panel()->ShownText();
  const QFontMetricsF metrics(Panel()->font());
  const qreal x = inPanel.x() - area.left();
  for (int offset = 0; offset < shown.size(); ++offset)
    if (metrics.horizontalAdvance(shown.left(offset + 1)) > x) return offset;
  return -1;
}

QString TStatusPanelAccessible::attributes(int offset, int* startOffset, int* endOffset) const
{
  // One run of plain text, without attributes of its own.
  const int count = characterCount();
  if (offset < 0 || offset > count) {
    *startOffset = *endOffset = -1;
    return {};
  }
  *startOffset = 0;
  *endOffset = count;
  return {};
}

void InstallStatusPanelAccessibility() { InstallAccessibleFactory<TStatusPanel, TStatusPanelAccessible>(); }

}  // namespace quenlora::ui
