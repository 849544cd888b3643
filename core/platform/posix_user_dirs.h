// SPDX-FileCopyrightText: 2026 The Quenlora authors
// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

// The user's special folders as the desktop's user-dirs.dirs file names them
// (~/.config/user-dirs.dirs), with lines such as
//   XDG_DOCUMENTS_DIR="$HOME/Dokumenty"

#include <optional>
#include <string>
#include <string_view>

namespace quenlora::platform {

// The documents folder named in the file's text, without a trailing slash,
// or nothing when the file names none or names the home folder itself (the
// desktop's way of saying there is no such folder).
std::optional<std::string> DocumentsFromUserDirs(std::string_view fileText, const std::string& home);

}  // namespace quenlora::platform
