// SPDX-FileCopyrightText: 2026 The Quenlora authors
// SPDX-License-Identifier: GPL-3.0-or-later

#include "AccessibleEventLog.h"

#include <QtGui/private/qguiapplication_p.h>
#include <qpa/qplatformaccessibility.h>
#include <qpa/qplatformintegration.h>

namespace quenlora::ui::test {

namespace {

TAccessibleEventLog* current = nullptr;

// Qt produces accessibility events only while its platform accessibility is
// active, as it is once an assistive client has connected.
void SetPlatformAccessibilityActive(bool active)
{
  if (QPlatformIntegration* integration = QGuiApplicationPrivate::platformIntegration())
    if (QPlatformAccessibility* accessibility = integration->accessibility()) accessibility->setActive(active);
}

}  // namespace

TAccessibleEventLog::TAccessibleEventLog()
{
  Q_ASSERT(current == nullptr);
  current = this;
  QAccessible::installUpdateHandler(&TAccessibleEventLog::Record);
  SetPlatformAccessibilityActive(true);
}

TAccessibleEventLog::~TAccessibleEventLog()
{
  SetPlatformAccessibilityActive(false);
  QAccessible::installUpdateHandler(nullptr);
  current = nullptr;
}

QList<TAccessibleEventLog::TEntry> TAccessibleEventLog::Of(QAccessible::Event type, const QObject* object) const
{
  QList<TEntry> found;
  for (const TEntry& entry : entries_)
    if (entry.Type == type && entry.Object == object) found << entry;
  return found;
}

void TAccessibleEventLog::Record(QAccessibleEvent* event)
{
  if (current == nullptr) return;
  TEntry entry{event->type(), event->object(), event->child(), QAccessible::NoRole, {}, {}, {},
               QAccessibleTableModelChangeEvent::ModelReset, -1, -1, {}, {}, {}};
  if (QAccessibleInterface* about = event->accessibleInterface()) {
    // A bridge names the object by its id before it sends anything.
    (void)QAccessible::uniqueId(about);
    entry.Role = about->role();
    entry.Name = about->text(QAccessible::Name);
    entry.State = about->state();
  }
  if (event->type() == QAccessible::StateChanged)
    entry.Changed = static_cast<QAccessibleStateChangeEvent*>(event)->changedStates();
  if (event->type() == QAccessible::TableModelChanged) {
    const auto* change = static_cast<QAccessibleTableModelChangeEvent*>(event);
    entry.ModelChange = change->modelChangeType();
    entry.FirstRow = change->firstRow();
    entry.LastRow = change->lastRow();
  }
  if (event->type() == QAccessible::TextUpdated) {
    const auto* update = static_cast<QAccessibleTextUpdateEvent*>(event);
    entry.TextRemoved = update->textRemoved();
    entry.TextInserted = update->textInserted();
  }
  if (event->type() == QAccessible::ValueChanged)
    entry.Value = static_cast<QAccessibleValueChangeEvent*>(event)->value().toString();
  current->entries_ << entry;
}

}  // namespace quenlora::ui::test
