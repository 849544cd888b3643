// SPDX-FileCopyrightText: 2026 The Quenlora authors
// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

// Helpers of the Windows tests of the platform layer: the messages as the
// file errors carry the system's reasons.

#include <windows.h>

#include <string>

#include "../test_support.h"

namespace quenlora::test {

// The system's text for an error as the file messages carry it.
inline std::u16string SystemReason(DWORD error)
{
  wchar_t* buffer = nullptr;
  const DWORD length =
      ::FormatMessageW(FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS,
                       nullptr, error, 0, reinterpret_cast<wchar_t*>(&buffer), 0, nullptr);
  std::u16string text = buffer != nullptr ? std::u16string(reinterpret_cast<const char16_t*>(buffer), length) : u"";
  ::LocalFree(buffer);
  return CleanReason(text);
}

inline std::u16string CannotOpen(const fs::path& path, DWORD error)
{
  return u"Cannot open file \"" + U16(path) + u"\". " + SystemReason(error);
}

inline std::u16string CannotCreate(const fs::path& path, DWORD error)
{
  return u"Cannot create file \"" + U16(path) + u"\". " + SystemReason(error);
}

}  // namespace quenlora::test
