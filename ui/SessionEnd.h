// SPDX-FileCopyrightText: 2026 The Quenlora authors
// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

namespace quenlora::ui {

class TMain;

// The end of the user's session reaches the window as its own kind of end,
// which keeps the batch's journal for the next start: SIGTERM and SIGHUP on
// POSIX (a logout, a shutdown), WM_QUERYENDSESSION and WM_ENDSESSION on
// Windows. On Windows the program also asks to be started again after an
// update's restart or an installer that closed it.
void EndWithTheSession(TMain& window);

}  // namespace quenlora::ui
