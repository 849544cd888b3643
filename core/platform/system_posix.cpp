#include "platform.h"

#include <climits>
#include <cstdlib>
#include <ctime>
#include <langinfo.h>
#include <locale.h>
#include <unistd.h>

#include "../unicode_text.h"
#include "posix_time_formats.h"

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

}  // namespace quenlora::platform
