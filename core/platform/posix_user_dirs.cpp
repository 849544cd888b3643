// SPDX-FileCopyrightText: 2026 The Quenlora authors
// SPDX-License-Identifier: GPL-3.0-or-later

#include "posix_user_dirs.h"

namespace quenlora::platform {

namespace {

std::string_view TrimBlanks(std::string_view text)
{
  while (!text.empty() && (text.front() == ' ' || text.front() == '\t')) text.remove_prefix(1);
  while (!text.empty() && (text.back() == ' ' || text.back() == '\t' || text.back() == '\r')) text.remove_suffix(1);
  return text;
}

// The value between double quotes, with its shell escapes undone.
std::optional<std::string> Unquote(std::string_view value)
{
  if (value.size() < 2 || value.front() != '"' || value.back() != '"') return std::nullopt;
  value = value.substr(1, value.size() - 2);
  std::string text;
  for (std::size_t i = 0; i < value.size(); ++i) {
    if (value[i] == '\\' && i + 1 < value.size()) ++i;
    text += value[i];
  }
  return text;
}

}  // namespace

std::optional<std::string> DocumentsFromUserDirs(std::string_view fileText, const std::string& home)
{
  constexpr std::string_view kKey = "XDG_DOCUMENTS_DIR=";
  // The home folder without a trailing slash, so that "$HOME/..." does not double it.
  std::string bareHome(home);
  while (bareHome.size() > 1 && bareHome.back() == '/') bareHome.pop_back();
  std::optional<std::string> found;
  while (!fileText.empty()) {
    const auto end = fileText.find('\n');
    const std::string_view line = TrimBlanks(fileText.substr(0, end));
    fileText = end == std::string_view::npos ? std::string_view() : fileText.substr(end + 1);
    if (!line.starts_with(kKey)) continue;
    auto value = Unquote(line.substr(kKey.size()));
    if (!value) continue;
    // Only "$HOME/..." and absolute paths are allowed; the last line wins, as in the shell.
    if (*value == "$HOME" || value->starts_with("$HOME/"))
      value = (bareHome == "/" ? std::string() : bareHome) + value->substr(5);
    else if (!value->starts_with("/"))
      continue;
    while (value->size() > 1 && value->back() == '/') value->pop_back();
    if (value->empty()) value = "/";
    found = std::move(value);
  }
  if (found && *found == bareHome) return std::nullopt;
  return found;
}

}  // namespace quenlora::platform
