// SPDX-FileCopyrightText: 2026 The Quenlora authors
// SPDX-License-Identifier: GPL-3.0-or-later

#include "platform.h"

#include <climits>
#include <cstdlib>
#include <ctime>
#include <fcntl.h>
#include <fstream>
#include <iterator>
#include <langinfo.h>
#include <locale.h>
#include <pwd.h>
#include <sys/stat.h>
#include <unistd.h>

#include "../unicode_text.h"
#include "posix_time_formats.h"
#include "posix_user_dirs.h"

namespace quenlora::platform {

namespace {

// The locale name that LC_TIME takes from the environment, by POSIX's precedence.
std::string TimeLocaleName()
{
  for (const char* variable : {"LC_ALL", "LC_TIME", "LANG"}) {
    const char* value = std::getenv(variable);
    if (value != nullptr && *value != '\0') return value;
  }
  return {};
}

std::string HomeFolder()
{
  const char* home = std::getenv("HOME");
  if (home != nullptr && home[0] == '/') return home;
  if (const passwd* user = ::getpwuid(::geteuid()); user != nullptr && user->pw_dir != nullptr && user->pw_dir[0] == '/')
    return user->pw_dir;
  return {};
}

bool IsFolder(const std::string& path)
{
  struct stat info {};
  return ::stat(path.c_str(), &info) == 0 && S_ISDIR(info.st_mode);
}

std::string WithSlash(std::string folder)
{
  if (!folder.empty() && folder.back() != '/') folder += '/';
  return folder;
}

}  // namespace

std::optional<TRegionalSettings> ReadUserRegionalSettings()
{
  const std::string name = TimeLocaleName();
  // The portable C locale (also in its C.UTF-8 form) describes no user's settings.
  if (name.empty() || name == "C" || name == "POSIX" || name.starts_with("C.")) return std::nullopt;
  const locale_t locale = ::newlocale(LC_TIME_MASK, name.c_str(), static_cast<locale_t>(0));
  if (locale == static_cast<locale_t>(0)) return std::nullopt;
  TRegionalSettings settings = RegionalSettingsFromPosixFormats(
      ::nl_langinfo_l(D_FMT, locale), ::nl_langinfo_l(T_FMT, locale), ::nl_langinfo_l(AM_STR, locale),
      ::nl_langinfo_l(PM_STR, locale));
  ::freelocale(locale);
  return settings;
}

TLocalTime LocalNow()
{
  timespec now{};
  ::clock_gettime(CLOCK_REALTIME, &now);
  std::tm local{};
  ::localtime_r(&now.tv_sec, &local);
  return TLocalTime{local.tm_year + 1900, local.tm_mon + 1, local.tm_mday, local.tm_hour,
                    local.tm_min,         local.tm_sec,     static_cast<int>(now.tv_nsec / 1000000)};
}

std::u16string ExecutableFolder()
{
  std::string path(PATH_MAX, '\0');
  const ssize_t length = ::readlink("/proc/self/exe", path.data(), path.size());
  if (length <= 0) {
    char* current = ::getcwd(nullptr, 0);
    std::string folder = current != nullptr ? current : ".";
    std::free(current);
    return FromUtf8Lossy(folder + "/");
  }
  path.resize(static_cast<std::size_t>(length));
  return FromUtf8Lossy(path.substr(0, path.rfind('/') + 1));
}

bool CanCreateFilesIn(const std::u16string& folder)
{
  // The effective user's rights, as opening a file would check them; a
  // read-only mount answers no as well.
  const std::string path = ToUtf8Lossy(folder);
  return IsFolder(path) && ::faccessat(AT_FDCWD, path.c_str(), W_OK | X_OK, AT_EACCESS) == 0;
}

std::u16string DocumentsFolder()
{
  const std::string home = HomeFolder();
  if (home.empty()) return {};
  const char* configHome = std::getenv("XDG_CONFIG_HOME");
  const std::string config = configHome != nullptr && configHome[0] == '/' ? configHome : home + "/.config";
  std::ifstream file(config + "/user-dirs.dirs", std::ios::binary);
  const std::string text(std::istreambuf_iterator<char>(file), {});
  if (const auto documents = DocumentsFromUserDirs(text, home); documents && IsFolder(*documents))
    return FromUtf8Lossy(WithSlash(*documents));
  return FromUtf8Lossy(WithSlash(home));
}

}  // namespace quenlora::platform
