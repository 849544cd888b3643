// SPDX-FileCopyrightText: 2026 The Quenlora authors
// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

// <windows.h> as the Win32 half of the platform layer includes it.

#ifndef NOMINMAX
#define NOMINMAX
#endif
#ifndef WIN32_LEAN_AND_MEAN
#define WIN32_LEAN_AND_MEAN
#endif
#include <windows.h>

// Text travels as UTF-16 and goes to the wide Win32 calls without conversion.
static_assert(sizeof(wchar_t) == sizeof(char16_t), "wchar_t must be UTF-16 on Windows");

#include <string>

namespace quenlora::platform {

// The form of a path that the system is handed: made full (GetFullPathNameW)
// and then given the extended-length prefix ("\\?\", "\\?\UNC\"), so
// that no length limit applies whatever the system's long-path policy. The
// path unchanged where the system cannot make it full.
std::u16string SystemPath(const std::u16string& path);

}  // namespace quenlora::platform
