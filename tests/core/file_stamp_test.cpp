// SPDX-FileCopyrightText: 2026 The Quenlora authors
// SPDX-License-Identifier: GPL-3.0-or-later

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <optional>
#include <string>
#include <vector>

#include "file_stamp.h"
#include "test_support.h"

namespace quenlora {
namespace {

using test::Utf8;

TRegionalSettings Czech()
{
  TRegionalSettings s;
  s.ShortDatePattern = u"d.M.yyyy";
  s.DateSeparator = u".";
  s.TimeSeparator = u":";
  s.LeadingZeroHours = false;
  s.TwelveHourClock = false;
  return s;
}

TRegionalSettings UnitedStates()
{
  TRegionalSettings s;
  s.ShortDatePattern = u"M/d/yyyy";
  s.DateSeparator = u"/";
  s.TimeSeparator = u":";
  s.LeadingZeroHours = false;
  s.TwelveHourClock = true;
  s.DesignatorBeforeTime = false;
  s.AMDesignator = u"AM";
  s.PMDesignator = u"PM";
  return s;
}

template <class Change>
TRegionalSettings With(TRegionalSettings settings, Change change)
{
  change(settings);
  return settings;
}

TLocalTime At(int year, int month, int day, int hour = 0, int minute = 0, int second = 0, int millisecond = 0)
{
  return TLocalTime{year, month, day, hour, minute, second, millisecond};
}

struct TStampCase {
  const char* Name;
  TRegionalSettings Settings;
  TLocalTime Time;
  std::u16string Formatted;
  std::u16string Stamp;
};

void CheckStamps(const std::vector<TStampCase>& cases)
{
  for (const auto& c : cases) {
    EXPECT_EQ(FormatDateTime(c.Time, c.Settings), c.Formatted) << c.Name;
    EXPECT_EQ(FileStamp(c.Time, c.Settings), c.Stamp) << c.Name;
  }
}

TEST(FileStamp, CzechSettings)
{
  const TRegionalSettings cz = Czech();
  CheckStamps({
      {"morning", cz, At(2014, 12, 3, 10, 23, 32), u"3.12.2014 10:23:32", u"3122014102332"},
      {"no leading zero on hours", cz, At(2014, 12, 8, 9, 5, 3), u"8.12.2014 9:05:03", u"812201490503"},
      {"midnight", cz, At(2014, 12, 8), u"8.12.2014", u"8122014"},
      {"one millisecond after midnight", cz, At(2014, 12, 8, 0, 0, 0, 1), u"8.12.2014 0:00:00", u"812201400000"},
      {"one second after midnight", cz, At(2014, 12, 8, 0, 0, 1), u"8.12.2014 0:00:01", u"812201400001"},
      {"one minute after midnight", cz, At(2014, 12, 8, 0, 1), u"8.12.2014 0:01:00", u"812201400100"},
      {"noon", cz, At(2014, 12, 8, 12), u"8.12.2014 12:00:00", u"8122014120000"},
      {"last second of the day", cz, At(2015, 1, 31, 23, 59, 59, 999), u"31.1.2015 23:59:59", u"3112015235959"},
  });
}

TEST(FileStamp, TwelveHourClock)
{
  const TRegionalSettings us = UnitedStates();
  const TRegionalSettings before = With(us, [](auto& s) { s.DesignatorBeforeTime = true; });
  CheckStamps({
      {"morning", us, At(2014, 12, 3, 10, 23, 32), u"12/3/2014 10:23:32 AM", u"1232014102332AM"},
      {"hour 0 is 12 AM", us, At(2014, 12, 3, 0, 30), u"12/3/2014 12:30:00 AM", u"1232014123000AM"},
      {"noon is 12 PM", us, At(2014, 12, 3, 12, 0, 1), u"12/3/2014 12:00:01 PM", u"1232014120001PM"},
      {"evening", us, At(2014, 12, 3, 23, 59, 59), u"12/3/2014 11:59:59 PM", u"1232014115959PM"},
      {"midnight has no time", us, At(2014, 12, 3), u"12/3/2014", u"1232014"},
      {"designator before the time", before, At(2014, 12, 3, 10, 23, 32), u"12/3/2014 AM 10:23:32",
       u"1232014AM102332"},
      {"designator before, afternoon", before, At(2014, 12, 3, 13, 2, 3), u"12/3/2014 PM 1:02:03",
       u"1232014PM10203"},
      {"designator ignored on a 24-hour clock",
       With(us, [](auto& s) { s.TwelveHourClock = false; }), At(2014, 12, 3, 13, 2, 3), u"12/3/2014 13:02:03",
       u"1232014130203"},
  });
}

TEST(FileStamp, SettingsShapeTheStamp)
{
  const TRegionalSettings cz = Czech();
  const TLocalTime time = At(2014, 12, 8, 9, 5, 3);
  CheckStamps({
      {"defaults", TRegionalSettings{}, time, u"12/8/14 9:05:03 am", u"1281490503am"},
      {"two-digit year keeps its zero", TRegionalSettings{}, At(2005, 1, 2, 3, 4, 5), u"1/2/05 3:04:05 am",
       u"120530405am"},
      {"leading zeros", With(cz, [](auto& s) {
         s.ShortDatePattern = u"dd.MM.yyyy";
         s.LeadingZeroHours = true;
       }),
       time, u"08.12.2014 09:05:03", u"08122014090503"},
      {"hyphen separator stays", With(cz, [](auto& s) {
         s.ShortDatePattern = u"d/M/yyyy";
         s.DateSeparator = u"-";
       }),
       time, u"8-12-2014 9:05:03", u"8-12-201490503"},
      {"letter as time separator stays", With(cz, [](auto& s) { s.TimeSeparator = u"h"; }), time,
       u"8.12.2014 9h05h03", u"81220149h05h03"},
      {"multi-character separators fall back", With(cz, [](auto& s) {
         s.ShortDatePattern = u"d/M/yyyy";
         s.DateSeparator = u"--";
         s.TimeSeparator = u"h.";
       }),
       time, u"8/12/2014 9:05:03", u"812201490503"},
      {"empty separators fall back", With(cz, [](auto& s) {
         s.ShortDatePattern = u"yyyy/MM/dd";
         s.DateSeparator = u"";
         s.TimeSeparator = u"";
       }),
       time, u"2014/12/08 9:05:03", u"2014120890503"},
      {"blanks in the date pattern", With(cz, [](auto& s) { s.ShortDatePattern = u"d. M. yyyy"; }), time,
       u"8. 12. 2014 9:05:03", u"812201490503"},
      {"quoted literal", With(cz, [](auto& s) { s.ShortDatePattern = u"yyyy'-'MM'-'dd"; }), time,
       u"2014-12-08 9:05:03", u"2014-12-0890503"},
      {"quote left open runs to the end", With(cz, [](auto& s) { s.ShortDatePattern = u"d.M.yyyy 'r"; }), time,
       u"8.12.2014 r 9:05:03", u"8122014r90503"},
      {"separator outside the BMP", With(cz, [](auto& s) {
         s.ShortDatePattern = u"d/M/yyyy";
         s.DateSeparator = u"\U0001F4C5";
       }),
       time, u"8\U0001F4C512\U0001F4C52014 9:05:03", u"8\U0001F4C512\U0001F4C5201490503"},
      {"half a surrogate pair and a letter fall back", With(cz, [](auto& s) {
         s.ShortDatePattern = u"d/M/yyyy";
         s.DateSeparator = std::u16string{u'\xD83D', u'x'};
       }),
       time, u"8/12/2014 9:05:03", u"812201490503"},
      {"designators with periods", With(UnitedStates(), [](auto& s) {
         s.AMDesignator = u"dop.";
         s.PMDesignator = u"odp.";
       }),
       At(2014, 12, 8, 15, 5, 3), u"12/8/2014 3:05:03 odp.", u"128201430503odp"},
      {"characters a file name cannot hold", With(UnitedStates(), [](auto& s) {
         s.ShortDatePattern = u"\"<\"M\\d*y?\"|>\"";
         s.AMDesignator = u"a\"m";
       }),
       At(2014, 12, 8, 1, 2, 3), u"<12\\8*14?|> 1:02:03 a\"m", u"1281410203am"},
  });
}

}  // namespace
}  // namespace quenlora
