// SPDX-FileCopyrightText: 2026 The Quenlora authors
// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

class QDialog;

namespace quenlora::ui {

// Makes a dialog of a fixed size look and act fixed: a title bar with only a
// close button (no minimise, maximise or context help button), no resizing.
// Some window managers show their minimise and maximise buttons whatever the
// window asks for; the dialog then takes its normal state back at once, since
// a minimised modal dialog would leave its owner blocked with nothing to see.
// Call it before the dialog is shown; its size must be fixed by its layout or
// by setFixedSize.
void MakeFixedDialog(QDialog* dialog);

}  // namespace quenlora::ui
