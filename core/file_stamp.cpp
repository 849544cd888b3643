// SPDX-FileCopyrightText: 2026 The Quenlora authors
// SPDX-License-Identifier: GPL-3.0-or-later

#include "file_stamp.h"

#include <optional>
#include <string_view>

#include "platform/platform.h"
#include "unicode_text.h"

namespace quenlora {

namespace {

void AppendNumber(std::u16string& out, int value, int minDigits)
{
  std::u16string digits;
  do {
    digits.insert(digits.begin(), static_cast<char16_t>(u'0' + value % 10));
    value /= 10;
  } while (value > 0);
  while (static_cast<int>(digits.size()) < minDigits) digits.insert(digits.begin(), u'0');
  out += digits;
}

// A separator counts when it is one character: one UTF-16 unit or one surrogate pair.
std::u16string_view SingleOr(const std::u16string& separator, std::u16string_view fallback)
{
  const bool single = separator.size() == 1 ||
                      (separator.size() == 2 && IsHighSurrogate(separator[0]) && IsLowSurrogate(separator[1]));
  return single ? std::u16string_view(separator) : fallback;
}

void FormatDate(const TLocalTime& time, const TRegionalSettings& settings, std::u16string& out)
{
  const std::u16string_view pattern = settings.ShortDatePattern;
  for (std::size_t i = 0; i < pattern.size();) {
    const char16_t c = pattern[i];
    if (c == u'\'' || c == u'"') {
      const std::size_t close = pattern.find(c, i + 1);
      const std::size_t end = close == std::u16string_view::npos ? pattern.size() : close;
      out += pattern.substr(i + 1, end - i - 1);
      i = end + 1;
      continue;
    }
    if (c == u'/') {
      out += SingleOr(settings.DateSeparator, u"/");
      ++i;
      continue;
    }
    if (c != u'd' && c != u'M' && c != u'y') {
      out += c;
      ++i;
      continue;
    }
    std::size_t run = i;
    while (run < pattern.size() && pattern[run] == c) ++run;
    const auto letters = static_cast<int>(run - i);
    i = run;
    switch (c) {
      case u'd': AppendNumber(out, time.Day, letters >= 2 ? 2 : 1); break;
      case u'M': AppendNumber(out, time.Month, letters >= 2 ? 2 : 1); break;
      default:
        if (letters <= 2)
          AppendNumber(out, time.Year % 100, 2);
        else
          AppendNumber(out, time.Year, 4);
        break;
    }
  }
}

void FormatTime(const TLocalTime& time, const TRegionalSettings& settings, std::u16string& out)
{
  const std::u16string_view separator = SingleOr(settings.TimeSeparator, u":");
  int hour = time.Hour;
  if (settings.TwelveHourClock) {
    hour %= 12;
    if (hour == 0) hour = 12;
  }
  const std::u16string& designator = time.Hour < 12 ? settings.AMDesignator : settings.PMDesignator;
  if (settings.TwelveHourClock && settings.DesignatorBeforeTime) {
    out += designator;
    out += u' ';
  }
  AppendNumber(out, hour, settings.LeadingZeroHours ? 2 : 1);
  out += separator;
  AppendNumber(out, time.Minute, 2);
  out += separator;
  AppendNumber(out, time.Second, 2);
  if (settings.TwelveHourClock && !settings.DesignatorBeforeTime) {
    out += u' ';
    out += designator;
  }
}

// ".", ":" and " " go by design; the rest cannot stand in a file name on
// Windows or Linux, and a "/" would point the name into a folder.
constexpr std::u16string_view kRemoved = u".: /\\*?\"<>|";

std::optional<TRegionalSettings>& CachedSettings()
{
  // A local static's guard has paths that only a thread meeting another one
  // in its initialisation takes; its branches are not counted.
  static std::optional<TRegionalSettings> settings;  // GCOVR_EXCL_BR_LINE
  return settings;
}

}  // namespace

std::u16string FormatDateTime(const TLocalTime& time, const TRegionalSettings& settings)
{
  std::u16string text;
  FormatDate(time, settings, text);
  const bool midnight = time.Hour == 0 && time.Minute == 0 && time.Second == 0 && time.Millisecond == 0;
  if (!midnight) {
    text += u' ';
    FormatTime(time, settings, text);
  }
  return text;
}

std::u16string FileStamp(const TLocalTime& time, const TRegionalSettings& settings)
{
  std::u16string stamp;
  for (char16_t c : FormatDateTime(time, settings))
    if (kRemoved.find(c) == std::u16string_view::npos) stamp += c;
  return stamp;
}

std::u16string FileStamp() { return FileStamp(platform::LocalNow(), CurrentRegionalSettings()); }

const TRegionalSettings& CurrentRegionalSettings()
{
  auto& cached = CachedSettings();
  if (!cached) ReloadRegionalSettings();
  return *cached;
}

void ReloadRegionalSettings()
{
  CachedSettings() = platform::ReadUserRegionalSettings().value_or(TRegionalSettings{});
}

void SetCurrentRegionalSettings(const TRegionalSettings& settings) { CachedSettings() = settings; }

std::u16string DefaultFolder()
{
  // An installed copy lives where its user cannot write (/usr/bin, Program
  // Files); dialogs opened there would lead every save into a failure.
  std::u16string folder = platform::ExecutableFolder();
  if (platform::CanCreateFilesIn(folder)) return folder;
  std::u16string documents = platform::DocumentsFolder();
  return documents.empty() ? folder : documents;
}

}  // namespace quenlora
