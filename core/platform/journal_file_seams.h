// SPDX-FileCopyrightText: 2026 The Quenlora authors
// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

// What the tests set through the journal files' seams, as each system's
// layer reads it. Unset, each costs one atomic load.

#include "journal_file.h"

namespace quenlora::platform {

// The system error the call is to fail with when a test armed it (counting
// that call off), else 0.
int TakeJournalFault(TJournalCall call);
// The system error StateFolder() is to fail with, else 0.
int StateFolderFault();
// Waits as a slow disk would make a flush wait.
void WaitAsASlowDisk();

}  // namespace quenlora::platform
