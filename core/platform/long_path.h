// SPDX-FileCopyrightText: 2026 The Quenlora authors
// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

// Windows paths in the form that no length limit applies to. Without the
// "\\?\" prefix the system refuses a path of more than 259 characters unless
// a policy that is off by default allows long paths; with it, the path goes
// to the file system as it stands, without the clean-up the system otherwise
// makes (separators, "." and "..", trailing dots and blanks). So the prefix
// is given only to a full path the system has already cleaned up
// (GetFullPathNameW). Pure text functions, usable on every platform.

#include <string>
#include <string_view>

namespace quenlora::platform {

// "C:\dir\name" gives "\\?\C:\dir\name"; "\\server\share\name" gives
// "\\?\UNC\server\share\name". Everything else comes back unchanged: a path
// that has the prefix already, a device path ("\\.\COM1", "\\.\pipe\x"), a
// relative path ("name", "C:name", "\name"), and a path that still holds
// "." or ".." parts or forward slashes, which only the system's own clean-up
// may resolve.
std::u16string ExtendedLengthPath(std::u16string_view fullPath);

// The inverse, for showing a path to the user: "\\?\C:\x" gives "C:\x",
// "\\?\UNC\server\share\x" gives "\\server\share\x"; anything else unchanged.
std::u16string DisplayedPath(std::u16string_view path);

}  // namespace quenlora::platform
