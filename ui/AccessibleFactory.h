// SPDX-FileCopyrightText: 2026 The Quenlora authors
// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

#include <QAccessible>
#include <QString>

namespace quenlora::ui {

// Has Qt make a TInterface for every TWidget (and for classes derived from it
// that have no interface of their own), once per program, however often it
// is called.
template <typename TWidget, typename TInterface>
void InstallAccessibleFactory()
{
  static const bool installed = (QAccessible::installFactory([](const QString& className, QObject* object) {
                                   auto* widget = qobject_cast<TWidget*>(object);
                                   if (widget == nullptr ||
                                       className != QLatin1String(TWidget::staticMetaObject.className()))
                                     return static_cast<QAccessibleInterface*>(nullptr);
                                   return static_cast<QAccessibleInterface*>(new TInterface(widget));
                                 }),
                                 true);
  (void)installed;
}

}  // namespace quenlora::ui
