// SPDX-FileCopyrightText: 2026 The Quenlora authors
// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

#include <string>

#include "regional_settings.h"

namespace quenlora {

// The date-time stamp of proposed file names: the current local time
// formatted with the user's regional settings, with ".", ":", blanks and
// every character that cannot stand in a file name removed.
std::u16string FileStamp();
std::u16string FileStamp(const TLocalTime& time, const TRegionalSettings& settings);

// The date and time as the regional settings show them, before any removal.
std::u16string FormatDateTime(const TLocalTime& time, const TRegionalSettings& settings);

// The regional settings used by FileStamp(): read from the user's settings
// on first use, or the defaults where they cannot be read.
const TRegionalSettings& CurrentRegionalSettings();
// Reads the user's settings again (the system announced a change).
void ReloadRegionalSettings();
// Puts settings in place of the user's until the next reload (for tests and tools).
void SetCurrentRegionalSettings(const TRegionalSettings& settings);

// The folder dialogs open in, ending in the path separator: the executable's
// folder when the user can create files there (a portable copy, a build),
// otherwise the user's documents folder (the home folder where there is none).
std::u16string DefaultFolder();

}  // namespace quenlora
