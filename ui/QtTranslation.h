// SPDX-FileCopyrightText: 2026 The Quenlora authors
// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

namespace quenlora::ui {

// The program speaks Czech, and so must the parts of Qt it shows (the file
// dialogs' labels and buttons, the overwrite question, the standard buttons).
// Qt's Czech texts are compiled into the program, so they do not depend on a
// translations package being installed. Returns false if they cannot be loaded.
bool InstallQtCzechTexts();

}  // namespace quenlora::ui
