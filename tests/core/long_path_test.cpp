// SPDX-FileCopyrightText: 2026 The Quenlora authors
// SPDX-License-Identifier: GPL-3.0-or-later
//
// The form in which Windows paths reach the system: full paths of drives and
// shares get the prefix that lifts the length limit, everything else is left
// as it is, and the form shown to the user is the one without it.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "platform/long_path.h"
#include "test_support.h"

namespace quenlora {
namespace {

using platform::DisplayedPath;
using platform::ExtendedLengthPath;

TEST(LongPath, FullPathsGetTheExtendedForm)
{
  struct TCase {
    std::u16string Path;
    std::u16string Expected;
  };
  const std::u16string deep = u"C:\\" + std::u16string(40, u'x') + u"\\Vrácené pásky – " + std::u16string(300, u'ž');
  const std::vector<TCase> cases = {
      // Drives, their roots and what lies below.
      {u"C:\\Data\\seznam.txt", u"\\\\?\\C:\\Data\\seznam.txt"},
      {u"z:\\", u"\\\\?\\z:\\"},
      {u"D:\\Složka s mezerou\\dávka.txt", u"\\\\?\\D:\\Složka s mezerou\\dávka.txt"},
      {deep, u"\\\\?\\" + deep},
      // Shares.
      {u"\\\\server\\share\\seznam.txt", u"\\\\?\\UNC\\server\\share\\seznam.txt"},
      {u"\\\\server\\share", u"\\\\?\\UNC\\server\\share"},
      {u"\\\\10.0.0.5\\d$\\a\\b.xml", u"\\\\?\\UNC\\10.0.0.5\\d$\\a\\b.xml"},
      // Already in a namespace of the system: never prefixed twice.
      {u"\\\\?\\C:\\Data\\seznam.txt", u"\\\\?\\C:\\Data\\seznam.txt"},
      {u"\\\\?\\UNC\\server\\share\\x", u"\\\\?\\UNC\\server\\share\\x"},
      {u"\\??\\C:\\x", u"\\??\\C:\\x"},
      {u"//?/C:/x", u"//?/C:/x"},
      // Devices.
      {u"\\\\.\\COM1", u"\\\\.\\COM1"},
      {u"\\\\.\\pipe\\quenlora", u"\\\\.\\pipe\\quenlora"},
      {u"\\\\.\\C:\\x", u"\\\\.\\C:\\x"},
      {u"//./nul", u"//./nul"},
      // Relative paths, which the system must first make full.
      {u"seznam.txt", u"seznam.txt"},
      {u"Data\\seznam.txt", u"Data\\seznam.txt"},
      {u"C:seznam.txt", u"C:seznam.txt"},
      {u"\\Data\\seznam.txt", u"\\Data\\seznam.txt"},
      {u"", u""},
      // Not cleaned up yet: the prefix would make "..", "." and "/" literal names.
      {u"C:\\Data\\..\\seznam.txt", u"C:\\Data\\..\\seznam.txt"},
      {u"C:\\Data\\.\\seznam.txt", u"C:\\Data\\.\\seznam.txt"},
      {u"C:/Data/seznam.txt", u"C:/Data/seznam.txt"},
      {u"\\\\server\\share\\..\\x", u"\\\\server\\share\\..\\x"},
      {u"C:\\Data/seznam.txt", u"C:\\Data/seznam.txt"},
      {u"\\\\server\\share/x", u"\\\\server\\share/x"},
      // Half a share name.
      {u"\\\\server", u"\\\\server"},
      {u"\\\\server\\", u"\\\\server\\"},
      {u"\\\\\\share\\x", u"\\\\\\share\\x"},
      {u"\\\\server\\\\share", u"\\\\server\\\\share"},
      // A one-letter server is a server like any other.
      {u"\\\\a\\share\\x", u"\\\\?\\UNC\\a\\share\\x"},
      // Rooted paths that only look like a namespace.
      {u"\\ab\\x", u"\\ab\\x"},
      {u"\\?a\\x", u"\\?a\\x"},
      // No drive letter before the colon.
      {u"1:\\x", u"1:\\x"},
      {u"Ž:\\x", u"Ž:\\x"},
      // Dots that are part of a name stay.
      {u"C:\\..data\\.seznam.txt.vortanek-0123456789abcdef.tmp",
       u"\\\\?\\C:\\..data\\.seznam.txt.vortanek-0123456789abcdef.tmp"},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(ExtendedLengthPath(c.Path), c.Expected) << test::Utf8(c.Path);
    // A path that got the prefix is shown to the user as the user named it.
    if (c.Expected != c.Path) {
      EXPECT_EQ(DisplayedPath(c.Expected), c.Path) << test::Utf8(c.Path);
    }
  }
}

TEST(LongPath, DisplayedPathKeepsWhatIsNotPrefixed)
{
  // A volume's name has no form without the prefix.
  for (const std::u16string path : {u"\\\\?\\", u"\\\\?\\Volume{1b2c}\\x", u"\\\\?\\C:", u"C:\\x",
                                    u"\\\\?\\C:x", u"\\\\?\\CD\\x", u"\\\\?\\1:\\x", u"\\\\?\\Ž:\\x"})
    EXPECT_EQ(DisplayedPath(path), path) << test::Utf8(path);
}

}  // namespace
}  // namespace quenlora
