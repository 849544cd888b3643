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
