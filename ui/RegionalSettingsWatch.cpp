// SPDX-FileCopyrightText: 2026 The Quenlora authors
// SPDX-License-Identifier: GPL-3.0-or-later

#include "RegionalSettingsWatch.h"

#include <QtGlobal>

#ifdef Q_OS_WIN
#include <QAbstractNativeEventFilter>
#include <QByteArray>
#include <QCoreApplication>
#include <cwchar>

#include <windows.h>

#include "file_stamp.h"
#endif

namespace quenlora::ui {

#ifdef Q_OS_WIN

namespace {

class TSettingChangeFilter : public QAbstractNativeEventFilter {
public:
  bool nativeEventFilter(const QByteArray& eventType, void* message, qintptr*) override
  {
    if (eventType != "windows_generic_MSG") return false;
    const auto* msg = static_cast<const MSG*>(message);
    if (msg->message != WM_SETTINGCHANGE || msg->lParam == 0) return false;
    // Every top-level window gets the announcement; reading the settings
    // again once per window costs little and keeps this simple.
    if (std::wcscmp(reinterpret_cast<const wchar_t*>(msg->lParam), L"intl") == 0) ReloadRegionalSettings();
    // Qt and the other windows see the message too.
    return false;
  }
};

}  // namespace

void WatchRegionalSettings()
{
  static TSettingChangeFilter filter;
  static const bool installed = (QCoreApplication::instance()->installNativeEventFilter(&filter), true);
  (void)installed;
}

#else

void WatchRegionalSettings() {}

#endif

}  // namespace quenlora::ui
