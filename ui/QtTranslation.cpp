// SPDX-FileCopyrightText: 2026 The Quenlora authors
// SPDX-License-Identifier: GPL-3.0-or-later

#include "QtTranslation.h"

#include <QCoreApplication>
#include <QString>
#include <QTranslator>

// The texts live in a static library; its resources must be registered by hand.
static void RegisterQtTexts() { Q_INIT_RESOURCE(qt_texts); }

namespace quenlora::ui {

bool InstallQtCzechTexts()
{
  RegisterQtTexts();
  // Lives as long as the application that uses it.
  static QTranslator* const texts = new QTranslator(QCoreApplication::instance());
  static const bool loaded = texts->load(QStringLiteral(":/translations/qtbase_cs.qm"));
  return loaded && QCoreApplication::installTranslator(texts);
}

}  // namespace quenlora::ui
