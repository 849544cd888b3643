// SPDX-FileCopyrightText: 2026 The Quenlora authors
// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

namespace quenlora::ui {

// Keeps the file stamp's regional settings current: when the system announces
// that the user changed them, they are read again, without a restart. Windows
// announces it to every top-level window as WM_SETTINGCHANGE with the section
// "intl", which Qt does not promise to pass on as an event, so the program
// listens to the message itself there. Elsewhere the window's locale-change
// event does it. Safe to call more than once.
void WatchRegionalSettings();

}  // namespace quenlora::ui
