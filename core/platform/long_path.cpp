// SPDX-FileCopyrightText: 2026 The Quenlora authors
// SPDX-License-Identifier: GPL-3.0-or-later
#include "long_path.h"

namespace quenlora::platform {

namespace {

constexpr std::u16string_view kPrefix = u"\\\\?\\";
constexpr std::u16string_view kUncPrefix = u"\\\\?\\UNC\\";

bool IsSeparator(char16_t c) { return c == u'\\' || c == u'/'; }

bool IsDriveLetter(char16_t c) { return (c >= u'A' && c <= u'Z') || (c >= u'a' && c <= u'z'); }

// "\\?\", "\\.\", "\??\" and their forward-slash spellings: paths that name
// the system's namespaces directly and are never to be changed.
bool NamesNamespace(std::u16string_view path)
{
  if (path.size() < 4 || !IsSeparator(path[0]) || !IsSeparator(path[3])) return false;
  if (IsSeparator(path[1])) return path[2] == u'?' || path[2] == u'.';
  return path[1] == u'?' && path[2] == u'?';
}

// Whether the system's clean-up would still change the part after the root.
bool NeedsCleanUp(std::u16string_view rest)
{
  if (rest.find(u'/') != std::u16string_view::npos) return true;
  std::size_t start = 0;
  while (start <= rest.size()) {
    std::size_t end = rest.find(u'\\', start);
    if (end == std::u16string_view::npos) end = rest.size();
    const std::u16string_view part = rest.substr(start, end - start);
    if (part == u"." || part == u"..") return true;
    start = end + 1;
  }
  return false;
}

}  // namespace

std::u16string ExtendedLengthPath(std::u16string_view fullPath)
{
  const std::u16string unchanged(fullPath);
  if (NamesNamespace(fullPath)) return unchanged;
  // A drive's root and what lies below it.
  if (fullPath.size() >= 3 && IsDriveLetter(fullPath[0]) && fullPath[1] == u':' && fullPath[2] == u'\\') {
    if (NeedsCleanUp(fullPath.substr(3))) return unchanged;
    return std::u16string(kPrefix) + unchanged;
  }
  // A share: "\\server\share", with both names present.
  if (fullPath.size() >= 5 && fullPath[0] == u'\\' && fullPath[1] == u'\\') {
    const std::u16string_view rest = fullPath.substr(2);
    const std::size_t serverEnd = rest.find(u'\\');
    if (serverEnd == 0 || serverEnd == std::u16string_view::npos || serverEnd + 1 >= rest.size() ||
        rest[serverEnd + 1] == u'\\' || NeedsCleanUp(rest))
      return unchanged;
    return std::u16string(kUncPrefix) + std::u16string(rest);
  }
  return unchanged;
}

std::u16string DisplayedPath(std::u16string_view path)
{
  if (path.substr(0, kUncPrefix.size()) == kUncPrefix) return u"\\\\" + std::u16string(path.substr(kUncPrefix.size()));
  if (path.substr(0, kPrefix.size()) == kPrefix && path.size() >= kPrefix.size() + 3 &&
      IsDriveLetter(path[kPrefix.size()]) && path[kPrefix.size() + 1] == u':' && path[kPrefix.size() + 2] == u'\\')
    return std::u16string(path.substr(kPrefix.size()));
  return std::u16string(path);
}

}  // namespace quenlora::platform
