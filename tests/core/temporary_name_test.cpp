// SPDX-FileCopyrightText: 2026 The Quenlora authors
// SPDX-License-Identifier: GPL-3.0-or-later

// The names of a save's temporary files: the program's mark, a length that
// fits where the target's name fits, and a recogniser that knows only them.
#include <gtest/gtest.h>

#include <string>

#include "platform/temporary_name.h"

namespace quenlora {
namespace {

using platform::IsTemporaryFileName;
using platform::TemporaryFileName;

TEST(TemporaryName, MarkedAndRecognised)
{
  EXPECT_EQ(TemporaryFileName("list.txt", 0x0123456789ABCDEFull), ".list.txt.vortanek-0123456789abcdef.tmp");
  EXPECT_EQ(TemporaryFileName(u"seznam ě.txt", 0xFull), u".seznam ě.txt.vortanek-000000000000000f.tmp");
  EXPECT_TRUE(IsTemporaryFileName(TemporaryFileName("a", 42)));
  EXPECT_TRUE(IsTemporaryFileName(TemporaryFileName(u"a", 42)));
  for (const char* name : {".notes.2024.tmp", ".name.1.tmp", "name.tmp", ".name.123456789.tmp",
                           "..vortanek-0123456789abcdef.tmp", ".a.vortanek-0123456789abcdeg.tmp",
                           ".a.vortanek_0123456789abcdef.tmp", ".a.vortanek-0123456789abcdef.tm", ""}) {
    EXPECT_FALSE(IsTemporaryFileName(std::string(name))) << name;
    EXPECT_FALSE(IsTemporaryFileName(std::u16string(name, name + std::char_traits<char>::length(name)))) << name;
  }
}

// A name as long as a file system allows still has a temporary that fits;
// the shortening never splits a character.
TEST(TemporaryName, LongNamesShortenedAtCharacterBoundaries)
{
  for (std::size_t length = 220; length <= 255; ++length) {
    std::string utf8;
    while (utf8.size() + 2 <= length) utf8 += "\xC5\xBE";  // ž, two bytes
    const std::string name = TemporaryFileName(utf8, 1);
    EXPECT_LE(name.size(), 255u) << length;
    EXPECT_TRUE(IsTemporaryFileName(name));
    const std::size_t kept = name.size() - std::string(".vortanek-0000000000000001.tmp").size() - 1;
    EXPECT_EQ(kept % 2, 0u) << "a character was split at length " << length;

    std::u16string utf16;
    while (utf16.size() + 2 <= length) utf16 += u"\U0001F600";  // a surrogate pair
    const std::u16string wide = TemporaryFileName(utf16, 1);
    EXPECT_LE(wide.size(), 255u) << length;
    EXPECT_TRUE(IsTemporaryFileName(wide));
    const std::size_t keptUnits = wide.size() - std::u16string(u".vortanek-0000000000000001.tmp").size() - 1;
    EXPECT_EQ(keptUnits % 2, 0u) << "a surrogate pair was split at length " << length;
  }
}

}  // namespace
}  // namespace quenlora
