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
// the shortening never splits a character and keeps all it can. The prefixes
// move the characters' boundaries against the place where the cut falls.
template <class Char>
void ExpectShortenedAtBoundary(const std::basic_string<Char>& target, bool (*inside)(Char), const std::string& what)
{
  const std::basic_string<Char> name = TemporaryFileName(target, 1);
  EXPECT_LE(name.size(), 255u) << what;
  EXPECT_TRUE(IsTemporaryFileName(name)) << what;
  const std::size_t suffix = std::string_view(".vortanek-0000000000000001.tmp").size();
  ASSERT_GT(name.size(), suffix + 1) << what;
  const std::basic_string<Char> kept = name.substr(1, name.size() - suffix - 1);
  EXPECT_TRUE(target.starts_with(kept)) << what;
  if (kept.size() < target.size()) {
    EXPECT_FALSE(inside(target[kept.size()])) << "a character was split: " << what;
    EXPECT_GE(kept.size() + 3, 255 - suffix - 1) << "more was cut than needed: " << what;
  }
}

bool InsideUtf8(char c) { return (static_cast<unsigned char>(c) & 0xC0) == 0x80; }
bool InsideUtf16(char16_t c) { return c >= 0xDC00 && c <= 0xDFFF; }

TEST(TemporaryName, LongNamesShortenedAtCharacterBoundaries)
{
  for (const std::string prefix : {"", "a", "ab"}) {
    for (std::size_t length = 220; length <= 255; ++length) {
      const std::string what = "prefix \"" + prefix + "\", length " + std::to_string(length);
      std::string utf8 = prefix;
      while (utf8.size() + 2 <= length) utf8 += "\xC5\xBE";  // ž, two bytes
      ExpectShortenedAtBoundary(utf8, InsideUtf8, what + ", two-byte characters");
      utf8 = prefix;
      while (utf8.size() + 3 <= length) utf8 += "\xE2\x82\xAC";  // €, three bytes
      ExpectShortenedAtBoundary(utf8, InsideUtf8, what + ", three-byte characters");

      std::u16string utf16(prefix.begin(), prefix.end());
      while (utf16.size() + 2 <= length) utf16 += u"\U0001F600";  // a surrogate pair
      ExpectShortenedAtBoundary(utf16, InsideUtf16, what + ", surrogate pairs");
      // Characters above the surrogates are whole in one unit.
      utf16.assign(prefix.begin(), prefix.end());
      while (utf16.size() < length) utf16 += u'\uFF21';  // Ａ
      ExpectShortenedAtBoundary(utf16, InsideUtf16, what + ", characters above the surrogates");
    }
  }
}

// A name with no character boundary at all (bytes that are no UTF-8, lone
// low surrogates, both possible in file names) is cut where it must be: its
// temporary still fits and is still recognised, so a killed save's leftover
// is cleaned up like any other.
TEST(TemporaryName, NamesWithoutBoundariesCutWhereTheyMust)
{
  const std::string bytes(300, '\x80');
  const std::string name = TemporaryFileName(bytes, 7);
  EXPECT_EQ(name.size(), 255u);
  EXPECT_TRUE(IsTemporaryFileName(name));
  EXPECT_EQ(name.substr(0, 5), ".\x80\x80\x80\x80");

  const std::u16string halves(300, u'\xDC00');
  const std::u16string wide = TemporaryFileName(halves, 7);
  EXPECT_EQ(wide.size(), 255u);
  EXPECT_TRUE(IsTemporaryFileName(wide));
}

}  // namespace
}  // namespace quenlora
