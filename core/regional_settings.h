// SPDX-FileCopyrightText: 2026 The Quenlora authors
// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

#include <string>

namespace quenlora {

// The user's regional settings that a file stamp is formatted with.
struct TRegionalSettings {
  // Letters d, dd, M, MM, y, yy, yyyy; text in single or double quotes is
  // literal; "/" stands for DateSeparator; any other character is literal.
  std::u16string ShortDatePattern = u"M/d/yy";
  // Used only when a single character; otherwise "/" and ":" are used instead.
  std::u16string DateSeparator = u"/";
  std::u16string TimeSeparator = u":";
  bool LeadingZeroHours = false;
  bool TwelveHourClock = true;
  bool DesignatorBeforeTime = false;
  std::u16string AMDesignator = u"am";
  std::u16string PMDesignator = u"pm";

  bool operator==(const TRegionalSettings&) const = default;
};

// A local date and time to the millisecond.
struct TLocalTime {
  int Year = 0;
  int Month = 1;   // 1..12
  int Day = 1;     // 1..31
  int Hour = 0;    // 0..23
  int Minute = 0;
  int Second = 0;
  int Millisecond = 0;
};

}  // namespace quenlora
