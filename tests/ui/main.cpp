// SPDX-FileCopyrightText: 2026 The Quenlora authors
// SPDX-License-Identifier: GPL-3.0-or-later

// Runs one group of the front end's tests, named by the first argument, or all of them.
#include <QApplication>
#include <QTest>
#include <cstring>
#include <functional>
#include <memory>
#include <vector>

#include "QtDialogs.h"
#include "QtTranslation.h"

std::unique_ptr<QObject> MakeMainWindowTest();
std::unique_ptr<QObject> MakeInputTest();
std::unique_ptr<QObject> MakeScanKeysTest();
std::unique_ptr<QObject> MakeCheckListTest();
std::unique_ptr<QObject> MakeCommandsTest();
std::unique_ptr<QObject> MakeDialogsTest();
std::unique_ptr<QObject> MakeLookTest();
std::unique_ptr<QObject> MakeAccessibilityTest();
std::unique_ptr<QObject> MakeCheckListAccessibilityTest();
std::unique_ptr<QObject> MakeBatchJournalTest();
#ifdef Q_OS_WIN
std::unique_ptr<QObject> MakeNativeDialogsTest();
#endif

int main(int argc, char* argv[])
{
#ifndef Q_OS_WIN
  // Windows runs go through the real window code, on a virtual display.
  if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
#endif
  QApplication application(argc, argv);
  QApplication::setApplicationName(QStringLiteral("Quenlora"));
  quenlora::ui::KeepNoSettingsBetweenRuns();
  // As at the program's start.
  if (!quenlora::ui::InstallQtCzechTexts()) qFatal("Qt's Czech texts cannot be loaded");

  const std::vector<std::pair<const char*, std::function<std::unique_ptr<QObject>()>>> groups = {
      {"MainWindowTest", MakeMainWindowTest}, {"InputTest", MakeInputTest},     {"ScanKeysTest", MakeScanKeysTest},
      {"CheckListTest", MakeCheckListTest},
      {"CommandsTest", MakeCommandsTest},     {"DialogsTest", MakeDialogsTest},
      {"LookTest", MakeLookTest},             {"AccessibilityTest", MakeAccessibilityTest},
      {"CheckListAccessibilityTest", MakeCheckListAccessibilityTest},
      {"BatchJournalTest", MakeBatchJournalTest},
#ifdef Q_OS_WIN
      {"NativeDialogsTest", MakeNativeDialogsTest},
#endif
  };
  const char* only = argc > 1 && argv[1][0] != '-' ? argv[1] : nullptr;
  // The group name is ours; what follows goes to Qt Test.
  std::vector<char*> arguments{argv[0]};
  for (int i = only != nullptr ? 2 : 1; i < argc; ++i) arguments.push_back(argv[i]);

  int failures = 0;
  bool found = false;
  for (const auto& [name, make] : groups) {
    if (only != nullptr && std::strcmp(only, name) != 0) continue;
    found = true;
    const std::unique_ptr<QObject> group = make();
    failures += QTest::qExec(group.get(), static_cast<int>(arguments.size()), arguments.data());
  }
  if (!found) {
    qWarning("No test group named %s", only);
    return 1;
  }
  return failures == 0 ? 0 : 1;
}
