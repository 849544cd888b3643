// SPDX-FileCopyrightText: 2026 The Quenlora authors
// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

#include <string_view>

#include "../regional_settings.h"

namespace quenlora::platform {

// Translates a POSIX locale's strftime formats (D_FMT, T_FMT) and AM/PM
// strings into regional settings.
TRegionalSettings RegionalSettingsFromPosixFormats(std::string_view dateFormat, std::string_view timeFormat,
                                                   std::string_view am, std::string_view pm);

}  // namespace quenlora::platform
