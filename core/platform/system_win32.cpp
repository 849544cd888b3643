// SPDX-FileCopyrightText: 2026 The Quenlora authors
// SPDX-License-Identifier: GPL-3.0-or-later

#include "platform.h"

#include "win32.h"

#include <knownfolders.h>
#include <shlobj.h>

#include <cstdint>
#include <string>

namespace quenlora::platform {

namespace {

std::u16string FromWide(const wchar_t* text, std::size_t length)
{
  return std::u16string(reinterpret_cast<const char16_t*>(text), length);
}

// The user's value, with the changes made in the regional settings
// (LOCALE_NAME_USER_DEFAULT without LOCALE_NOUSEROVERRIDE includes them).
std::optional<std::u16string> LocaleText(LCTYPE type)
{
  const int needed = ::GetLocaleInfoEx(LOCALE_NAME_USER_DEFAULT, type, nullptr, 0);
  if (needed <= 0) return std::nullopt;
  std::wstring text(static_cast<std::size_t>(needed), L'\0');
  const int written = ::GetLocaleInfoEx(LOCALE_NAME_USER_DEFAULT, type, text.data(), needed);
  if (written <= 0) return std::nullopt;
  // The count includes the terminating NUL.
  return FromWide(text.data(), static_cast<std::size_t>(written - 1));
}

std::optional<DWORD> LocaleNumber(LCTYPE type)
{
  DWORD value = 0;
  if (::GetLocaleInfoEx(LOCALE_NAME_USER_DEFAULT, type | LOCALE_RETURN_NUMBER, reinterpret_cast<wchar_t*>(&value),
                        sizeof value / sizeof(wchar_t)) <= 0)
    return std::nullopt;
  return value;
}

std::u16string WithBackslash(std::u16string folder)
{
  if (!folder.empty() && folder.back() != u'\\' && folder.back() != u'/') folder += u'\\';
  return folder;
}

std::u16string KnownFolder(REFKNOWNFOLDERID id)
{
  wchar_t* path = nullptr;
  std::u16string folder;
  if (SUCCEEDED(::SHGetKnownFolderPath(id, KF_FLAG_DEFAULT, nullptr, &path)) && path != nullptr)
    folder = FromWide(path, std::char_traits<wchar_t>::length(path));
  ::CoTaskMemFree(path);
  return folder;
}

std::u16string EnvironmentText(const wchar_t* name)
{
  const DWORD needed = ::GetEnvironmentVariableW(name, nullptr, 0);
  if (needed == 0) return {};
  std::wstring value(needed, L'\0');
  const DWORD length = ::GetEnvironmentVariableW(name, value.data(), needed);
  if (length == 0 || length >= needed) return {};
  return FromWide(value.data(), length);
}

}  // namespace

std::optional<TRegionalSettings> ReadUserRegionalSettings()
{
  // The short date pattern already uses our letters and single-quoted
  // literals, and holds its separators as literal text, so it is taken as it is.
  const auto shortDate = LocaleText(LOCALE_SSHORTDATE);
  const auto dateSeparator = LocaleText(LOCALE_SDATE);
  const auto timeSeparator = LocaleText(LOCALE_STIME);
  const auto leadingZero = LocaleNumber(LOCALE_ITLZERO);
  const auto hourFormat = LocaleNumber(LOCALE_ITIME);
  const auto markPosition = LocaleNumber(LOCALE_ITIMEMARKPOSN);
  const auto am = LocaleText(LOCALE_S1159);
  const auto pm = LocaleText(LOCALE_S2359);
  if (!shortDate || !dateSeparator || !timeSeparator || !leadingZero || !hourFormat || !markPosition || !am || !pm)
    return std::nullopt;

  TRegionalSettings settings;
  settings.ShortDatePattern = *shortDate;
  settings.DateSeparator = *dateSeparator;
  settings.TimeSeparator = *timeSeparator;
  settings.LeadingZeroHours = *leadingZero == 1;
  settings.TwelveHourClock = *hourFormat == 0;  // 0: AM/PM, 1: 24 hours
  settings.DesignatorBeforeTime = *markPosition == 1;  // 0: suffix, 1: prefix
  settings.AMDesignator = *am;
  settings.PMDesignator = *pm;
  return settings;
}

TLocalTime LocalNow()
{
  SYSTEMTIME now{};
  ::GetLocalTime(&now);
  return TLocalTime{now.wYear, now.wMonth, now.wDay, now.wHour, now.wMinute, now.wSecond, now.wMilliseconds};
}

std::u16string ExecutableFolder()
{
  // The path can exceed MAX_PATH; a full buffer means it was cut short.
  std::wstring path(MAX_PATH, L'\0');
  for (;;) {
    const DWORD length = ::GetModuleFileNameW(nullptr, path.data(), static_cast<DWORD>(path.size()));
    if (length == 0) break;
    if (length < path.size()) {
      path.resize(length);
      const auto slash = path.find_last_of(L"\\/");
      if (slash != std::wstring::npos) return FromWide(path.data(), slash + 1);
      break;
    }
    if (path.size() >= 0x10000) break;  // beyond any Win32 path: give up
    path.resize(path.size() * 2);
  }
  // Without the module's path, the current folder is the best guess left.
  const DWORD needed = ::GetCurrentDirectoryW(0, nullptr);
  std::wstring current(needed, L'\0');
  const DWORD length = needed == 0 ? 0 : ::GetCurrentDirectoryW(needed, current.data());
  if (length == 0 || length >= needed) return u".\\";
  current.resize(length);
  if (current.back() != L'\\') current += L'\\';
  return FromWide(current.data(), current.size());
}

bool CanCreateFilesIn(const std::u16string& folder)
{
  // Only trying tells: access control lists, a read-only medium or a
  // controlled folder all say no at the moment a file is created. The probe
  // is hidden and goes away by itself when its handle closes.
  if (folder.empty() || folder.find(u'\0') != std::u16string::npos) return false;
  const std::u16string base = WithBackslash(SystemPath(folder)) + u".quenlora-write-check-";
  for (unsigned attempt = 0; attempt < 10; ++attempt) {
    const std::uint64_t unique = (static_cast<std::uint64_t>(::GetCurrentProcessId()) << 32) ^ ::GetTickCount64() ^ attempt;
    const std::string digits = std::to_string(unique);
    const std::u16string probe = base + std::u16string(digits.begin(), digits.end()) + u".tmp";
    const HANDLE file = ::CreateFileW(reinterpret_cast<const wchar_t*>(probe.c_str()), GENERIC_WRITE, 0, nullptr,
                                      CREATE_NEW,
                                      FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_TEMPORARY | FILE_FLAG_DELETE_ON_CLOSE,
                                      nullptr);
    if (file != INVALID_HANDLE_VALUE) {
      ::CloseHandle(file);
      return true;
    }
    const DWORD error = ::GetLastError();
    if (error != ERROR_FILE_EXISTS && error != ERROR_ALREADY_EXISTS) return false;
  }
  return false;
}

std::u16string DocumentsFolder()
{
  std::u16string folder = KnownFolder(FOLDERID_Documents);
  if (folder.empty()) folder = KnownFolder(FOLDERID_Profile);
  if (folder.empty()) folder = EnvironmentText(L"USERPROFILE");
  return WithBackslash(std::move(folder));
}

}  // namespace quenlora::platform
