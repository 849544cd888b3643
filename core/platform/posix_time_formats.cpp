// SPDX-FileCopyrightText: 2026 The Quenlora authors
// SPDX-License-Identifier: GPL-3.0-or-later

#include "posix_time_formats.h"

#include <string>

#include "../unicode_text.h"

namespace quenlora::platform {

namespace {

// One strftime conversion: its letter and whether a flag asked for no padding.
struct TConversion {
  char Letter = 0;
  bool Unpadded = false;
};

// Reads the conversion that starts at format[i] (just after '%'); advances i past it.
TConversion ReadConversion(std::string_view format, std::size_t& i)
{
  TConversion conversion;
  while (i < format.size() && std::string_view("-_0^#").find(format[i]) != std::string_view::npos) {
    if (format[i] == '-' || format[i] == '_') conversion.Unpadded = true;
    ++i;
  }
  while (i < format.size() && (format[i] == 'E' || format[i] == 'O')) ++i;
  if (i < format.size()) conversion.Letter = format[i++];
  return conversion;
}

// The bytes of the one character that starts at text[i]: a UTF-8 lead byte
// and the continuation bytes after it, so that a separator such as "年" or
// "時" is taken whole rather than as its first byte.
std::string_view CharacterAt(std::string_view text, std::size_t i)
{
  std::size_t end = i + 1;
  if (static_cast<unsigned char>(text[i]) >= 0xC0)
    while (end < text.size() && end - i < 4 && (static_cast<unsigned char>(text[end]) & 0xC0) == 0x80) ++end;
  return text.substr(i, end - i);
}

std::string ExpandShorthands(std::string_view format)
{
  std::string expanded;
  for (std::size_t i = 0; i < format.size(); ++i) {
    if (format[i] == '%' && i + 1 < format.size()) {
      switch (format[i + 1]) {
        case 'D': expanded += "%m/%d/%y"; ++i; continue;
        case 'F': expanded += "%Y-%m-%d"; ++i; continue;
        case 'T': expanded += "%H:%M:%S"; ++i; continue;
        case 'R': expanded += "%H:%M"; ++i; continue;
        case 'r': expanded += "%I:%M:%S %p"; ++i; continue;
        default: break;
      }
    }
    expanded += format[i];
  }
  return expanded;
}

void TranslateDate(std::string_view dateFormat, TRegionalSettings& settings)
{
  const std::string format = ExpandShorthands(dateFormat);
  std::string pattern;
  std::string separator;
  bool afterField = false;
  for (std::size_t i = 0; i < format.size();) {
    if (format[i] == '%') {
      ++i;
      const TConversion c = ReadConversion(format, i);
      switch (c.Letter) {
        case 'd': pattern += c.Unpadded ? "d" : "dd"; break;
        case 'e': pattern += "d"; break;
        case 'm': pattern += c.Unpadded ? "M" : "MM"; break;
        case 'y': pattern += "yy"; break;
        case 'Y': pattern += "yyyy"; break;
        default: continue;  // names and the like have no place in a stamp
      }
      afterField = true;
      continue;
    }
    const std::string_view literal = CharacterAt(format, i);
    i += literal.size();
    if (separator.empty() && afterField) separator = literal;
    afterField = false;
    const char first = literal[0];
    if (literal == separator) {
      pattern += '/';
    } else if ((first >= 'A' && first <= 'Z') || (first >= 'a' && first <= 'z')) {
      pattern += '\'';
      pattern += first;
      pattern += '\'';
    } else if (first != '\'' && first != '"') {
      pattern += literal;
    }
  }
  if (pattern.empty()) return;
  settings.ShortDatePattern = FromUtf8Lossy(pattern);
  if (!separator.empty()) settings.DateSeparator = FromUtf8Lossy(separator);
}

void TranslateTime(std::string_view timeFormat, TRegionalSettings& settings)
{
  const std::string format = ExpandShorthands(timeFormat);
  bool sawHour = false;
  bool sawDesignator = false;
  bool twelveHour = false;
  for (std::size_t i = 0; i < format.size();) {
    if (format[i] != '%') {
      ++i;
      continue;
    }
    ++i;
    const TConversion c = ReadConversion(format, i);
    switch (c.Letter) {
      case 'H': case 'k': case 'I': case 'l':
        if (sawHour) break;
        sawHour = true;
        twelveHour = c.Letter == 'I' || c.Letter == 'l';
        settings.LeadingZeroHours = (c.Letter == 'H' || c.Letter == 'I') && !c.Unpadded;
        settings.DesignatorBeforeTime = sawDesignator;
        if (i < format.size() && format[i] != '%') settings.TimeSeparator = FromUtf8Lossy(CharacterAt(format, i));
        break;
      case 'p': case 'P':
        sawDesignator = true;
        twelveHour = true;
        break;
      default: break;
    }
  }
  if (sawHour) settings.TwelveHourClock = twelveHour;
}

}  // namespace

TRegionalSettings RegionalSettingsFromPosixFormats(std::string_view dateFormat, std::string_view timeFormat,
                                                   std::string_view am, std::string_view pm)
{
  TRegionalSettings settings;
  TranslateDate(dateFormat, settings);
  TranslateTime(timeFormat, settings);
  if (!am.empty()) settings.AMDesignator = FromUtf8Lossy(am);
  if (!pm.empty()) settings.PMDesignator = FromUtf8Lossy(pm);
  return settings;
}

}  // namespace quenlora::platform
