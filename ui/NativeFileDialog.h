// SPDX-FileCopyrightText: 2026 The Quenlora authors
// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

// The system's own open and save dialogs on Windows (the Common Item
// Dialog), asked exactly for what the program's file dialogs promise: the
// start folder at every showing, the file types and the one last chosen, the
// default extension, the proposed name or the full path last chosen, a
// question before a file is replaced, and no insisting that a file or folder
// exists (a name that cannot be used is reported when it is used).

#include "Dialogs.h"

#ifdef Q_OS_WIN

struct IFileDialog;

namespace quenlora::ui {

// Shows the dialog modally over owner. False when cancelled (the dialog is
// left as it was); true with FileName and FileTypeIndex set to the choice.
// Throws TBatchError "Cannot show the file dialog. <the system's reason>"
// when the system cannot show it.
bool ExecuteNativeFileDialog(TFileDialog& dialog, QWidget* owner);

// For tests: the next showing ends at once with this result (an HRESULT) as
// if the system's dialog had returned it.
void FailNextNativeFileDialog(long result);

// The system dialog while it is shown, or nullptr (for tests, which act in
// it and read its state while it is open).
IFileDialog* ShownNativeFileDialog();

}  // namespace quenlora::ui

#endif
