// SPDX-FileCopyrightText: 2026 The Quenlora authors
// SPDX-License-Identifier: GPL-3.0-or-later

// The POSIX half of the platform layer: regional settings from the C
// library's locale data, the folder the file dialogs open in, and the ANSI
// code page (windows-1250, built in).
#include <gtest/gtest.h>

#include <pwd.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "file_stamp.h"
#include "platform/platform.h"
#include "platform/posix_time_formats.h"
#include "platform/posix_user_dirs.h"
#include "test_support.h"

namespace quenlora {
namespace {

namespace fs = std::filesystem;

TLocalTime At(int year, int month, int day, int hour = 0, int minute = 0, int second = 0)
{
  return TLocalTime{year, month, day, hour, minute, second, 0};
}

TEST(RegionalSettings, TranslatedFromPosixFormats)
{
  struct TCase {
    const char* Name;
    std::string DateFormat;
    std::string TimeFormat;
    std::string Am;
    std::string Pm;
    std::u16string Formatted;  // 8 December 2014, 09:05:03
    std::u16string Afternoon;  // the same day, 15:04:05
  };
  const std::vector<TCase> cases = {
      {"Czech", "%-d.%-m.%Y", "%H:%M:%S", "", "", u"8.12.2014 09:05:03", u"8.12.2014 15:04:05"},
      {"United States", "%m/%d/%Y", "%r", "AM", "PM", u"12/08/2014 09:05:03 AM", u"12/08/2014 03:04:05 PM"},
      {"shorthands", "%D", "%T", "", "", u"12/08/14 09:05:03", u"12/08/14 15:04:05"},
      {"ISO", "%F", "%k:%M:%S", "", "", u"2014-12-08 9:05:03", u"2014-12-08 15:04:05"},
      {"unpadded 12-hour clock", "%e.%m.%y", "%-I.%M.%S %p", "dop.", "odp.", u"8.12.14 9.05.03 dop.",
       u"8.12.14 3.04.05 odp."},
      {"designator first", "%Y/%m/%d", "%p %I:%M:%S", "AM", "PM", u"2014/12/08 AM 09:05:03",
       u"2014/12/08 PM 03:04:05"},
  };
  for (const auto& c : cases) {
    const TRegionalSettings s = platform::RegionalSettingsFromPosixFormats(c.DateFormat, c.TimeFormat, c.Am, c.Pm);
    EXPECT_EQ(FormatDateTime(At(2014, 12, 8, 9, 5, 3), s), c.Formatted) << c.Name;
    EXPECT_EQ(FormatDateTime(At(2014, 12, 8, 15, 4, 5), s), c.Afternoon) << c.Name;
  }
}

// Separators that are not ASCII are one character of several UTF-8 bytes; the
// whole character is the separator and reaches the stamp unchanged.
TEST(RegionalSettings, NonAsciiSeparatorsTakenWhole)
{
  struct TCase {
    const char* Name;
    std::string DateFormat;
    std::string TimeFormat;
    std::u16string DateSeparator;
    std::u16string TimeSeparator;
    std::u16string Stamp;  // 8 December 2014, 09:05:03
  };
  const std::vector<TCase> cases = {
      {"Japanese", "%Y年%m月%d日", "%H時%M分%S秒", u"年", u"時", u"2014年12月08日09時05時03"},
      {"Chinese", "%Y年%m月%d日", "%H时%M分%S秒", u"年", u"时", u"2014年12月08日09时05时03"},
      {"two-byte separator", "%d·%m·%Y", "%H·%M·%S", u"·", u"·", u"08·12·201409·05·03"},
      {"separator outside the BMP", "%d😀%m😀%Y", "%H😀%M😀%S", u"😀", u"😀", u"08😀12😀201409😀05😀03"},
      {"non-ASCII literal after an ASCII separator", "%d-%m-%Y г.", "%H:%M:%S", u"-", u":", u"08-12-2014г090503"},
  };
  for (const auto& c : cases) {
    const TRegionalSettings s = platform::RegionalSettingsFromPosixFormats(c.DateFormat, c.TimeFormat, "", "");
    EXPECT_EQ(s.DateSeparator, c.DateSeparator) << c.Name;
    EXPECT_EQ(s.TimeSeparator, c.TimeSeparator) << c.Name;
    EXPECT_EQ(s.ShortDatePattern.find(u'\uFFFD'), std::u16string::npos) << c.Name;
    EXPECT_EQ(FileStamp(At(2014, 12, 8, 9, 5, 3), s), c.Stamp) << c.Name;
  }
}

TEST(RegionalSettings, PosixFormatFlags)
{
  const TRegionalSettings cz = platform::RegionalSettingsFromPosixFormats("%-d.%-m.%Y", "%H:%M:%S", "", "");
  EXPECT_EQ(cz.DateSeparator, u".");
  EXPECT_EQ(cz.TimeSeparator, u":");
  EXPECT_TRUE(cz.LeadingZeroHours);
  EXPECT_FALSE(cz.TwelveHourClock);

  const TRegionalSettings us = platform::RegionalSettingsFromPosixFormats("%m/%d/%Y", "%r", "AM", "PM");
  EXPECT_EQ(us.DateSeparator, u"/");
  EXPECT_EQ(us.TimeSeparator, u":");
  EXPECT_TRUE(us.LeadingZeroHours);
  EXPECT_TRUE(us.TwelveHourClock);
  EXPECT_FALSE(us.DesignatorBeforeTime);
  EXPECT_EQ(us.AMDesignator, u"AM");
  EXPECT_EQ(us.PMDesignator, u"PM");
}

// Sets an environment variable for the test's duration.
class TEnvironment {
public:
  TEnvironment(const char* name, const char* value) : name_(name)
  {
    if (const char* old = std::getenv(name)) saved_ = old;
    ::setenv(name, value, 1);
  }
  TEnvironment(const TEnvironment&) = delete;
  TEnvironment& operator=(const TEnvironment&) = delete;
  ~TEnvironment()
  {
    if (saved_)
      ::setenv(name_, saved_->c_str(), 1);
    else
      ::unsetenv(name_);
    ReloadRegionalSettings();
  }

private:
  const char* name_;
  std::optional<std::string> saved_;
};

TEST(RegionalSettings, DefaultsWhereSettingsCannotBeRead)
{
  for (const char* locale : {"C", "POSIX", "C.UTF-8", "xx_NOWHERE.UTF-8"}) {
    const TEnvironment environment("LC_ALL", locale);
    ReloadRegionalSettings();
    EXPECT_EQ(CurrentRegionalSettings(), TRegionalSettings{}) << locale;
  }
}

// The locale named by the environment, by POSIX's precedence: LC_ALL, then
// LC_TIME, then LANG; empty values do not count. The locale is the C.utf8
// locale that every system has, installed under a name of a user's locale in
// a locale folder of the test's own.
TEST(RegionalSettings, ReadFromTheLocaleTheEnvironmentNames)
{
  const fs::path cUtf8 = "/usr/lib/locale/C.utf8";
  if (!fs::is_directory(cUtf8)) GTEST_SKIP() << "no " << cUtf8;
  test::TScratchFolder locales;
  fs::create_directory_symlink(cUtf8, locales / "qq_QQ.utf8");
  const TEnvironment path("LOCPATH", locales.Path().c_str());
  const std::string name = "qq_QQ.utf8";
  const TRegionalSettings fromLocale = platform::RegionalSettingsFromPosixFormats("%m/%d/%y", "%H:%M:%S", "AM", "PM");
  ASSERT_NE(fromLocale, TRegionalSettings{}) << "the locale's settings must differ from the defaults";
  struct TCase {
    const char* Name;
    const char* All;
    const char* Time;
    const char* Lang;
    bool Read;
  };
  const std::vector<TCase> cases = {
      {"LC_ALL", name.c_str(), "", "", true},
      {"LC_TIME", "", name.c_str(), "C", true},
      {"LANG", "", "", name.c_str(), true},
      {"LC_ALL before LC_TIME", "C", name.c_str(), name.c_str(), false},
      {"LC_TIME before LANG", "", "POSIX", name.c_str(), false},
      {"nothing set", "", "", "", false},
      {"unknown locale", "", "", "xx_NOWHERE.utf8", false},
  };
  for (const auto& c : cases) {
    const TEnvironment all("LC_ALL", c.All);
    const TEnvironment time("LC_TIME", c.Time);
    const TEnvironment lang("LANG", c.Lang);
    const auto read = platform::ReadUserRegionalSettings();
    EXPECT_EQ(read.has_value(), c.Read) << c.Name;
    if (read) {
      EXPECT_EQ(*read, fromLocale) << c.Name;
    }
    ReloadRegionalSettings();
    EXPECT_EQ(CurrentRegionalSettings(), c.Read ? fromLocale : TRegionalSettings{}) << c.Name;
  }
}

// The stamp of "now" is the stamp of the local time with the settings read last.
TEST(FileStamp, NowWithTheSettingsReadLast)
{
  TRegionalSettings czech;
  czech.ShortDatePattern = u"d.M.yyyy";
  czech.DateSeparator = u".";
  czech.TwelveHourClock = false;
  SetCurrentRegionalSettings(czech);
  const TLocalTime before = platform::LocalNow();
  const std::u16string stamp = FileStamp();
  const TLocalTime after = platform::LocalNow();
  EXPECT_TRUE(stamp == FileStamp(before, czech) || stamp == FileStamp(after, czech)) << test::Utf8(stamp);
  EXPECT_EQ(stamp.find_first_not_of(u"0123456789"), std::u16string::npos) << test::Utf8(stamp);
  ReloadRegionalSettings();
}

// Formats beyond the common ones: flags and modifiers of conversions, names
// that have no place in a stamp, letters and quotes between the fields.
TEST(RegionalSettings, UnusualPosixFormats)
{
  struct TCase {
    const char* Name;
    std::string DateFormat;
    std::string TimeFormat;
    std::u16string Formatted;  // 8 December 2014, 09:05:03
  };
  const std::vector<TCase> cases = {
      {"flags and modifiers", "%_d.%0m.%^Ey", "%OH:%#M:%S", u"8.12.14 09:05:03"},
      {"blank-padded hour", "%d/%m/%Y", "%_H:%M:%S", u"08/12/2014 9:05:03"},
      {"%R and names left out", "%A %d.%m.%Y", "%R", u" 08.12.2014 09:05:03"},
      // The first character after a field separates the date, even a quote.
      {"letters and quotes between fields", "%Y'r'%m\"m\"%d", "%Hh%M", u"2014'r'12m08 09h05h03"},
      {"no fields at all", "today", "now", u"today 9:05:03 am"},
      {"a lone percent at the end", "%d.%m.%", "%H:%M:%S%", u"08.12. 09:05:03"},
      {"hour twice", "%d.%m.%Y", "%H.%M %I", u"08.12.2014 09.05.03"},
      {"no separator after the hour", "%d.%m.%Y", "%H%M%S", u"08.12.2014 09:05:03"},
      {"capital letter after the fields", "%d.%m.%Y T", "%H:%M:%S", u"08.12.2014 T 09:05:03"},
      {"names only keep the default date", "%A%B", "%H:%M:%S", u"12/8/14 09:05:03"},
      {"12-hour clock without padding", "%d.%m.%Y", "%l:%M:%S", u"08.12.2014 9:05:03 am"},
      {"hour last", "%d.%m.%Y", "%M-%H", u"08.12.2014 09:05:03"},
      {"a quote that is no separator, a sign past the letters", "%d.%m.%Y'~", "%H:%M:%S", u"08.12.2014~ 09:05:03"},
  };
  for (const auto& c : cases) {
    const TRegionalSettings s = platform::RegionalSettingsFromPosixFormats(c.DateFormat, c.TimeFormat, "", "");
    EXPECT_EQ(FormatDateTime(At(2014, 12, 8, 9, 5, 3), s), c.Formatted) << c.Name;
  }
}

TEST(UserFolders, DocumentsFromUserDirsFile)
{
  struct TCase {
    const char* Name;
    std::string Text;
    std::optional<std::string> Documents;
  };
  const std::string home = "/home/jana";
  const std::vector<TCase> cases = {
      {"relative to home", "XDG_DESKTOP_DIR=\"$HOME/Plocha\"\nXDG_DOCUMENTS_DIR=\"$HOME/Dokumenty\"\n",
       "/home/jana/Dokumenty"},
      {"absolute, CR LF, blanks", "  XDG_DOCUMENTS_DIR=\"/data/doklady/\"\r\n", "/data/doklady"},
      {"escaped characters", "XDG_DOCUMENTS_DIR=\"$HOME/Moje \\\"dokumenty\\\"\"\n", "/home/jana/Moje \"dokumenty\""},
      {"last line wins", "XDG_DOCUMENTS_DIR=\"$HOME/A\"\nXDG_DOCUMENTS_DIR=\"$HOME/B\"", "/home/jana/B"},
      {"commented out", "# XDG_DOCUMENTS_DIR=\"$HOME/Dokumenty\"\n", std::nullopt},
      {"home itself means none", "XDG_DOCUMENTS_DIR=\"$HOME/\"\n", std::nullopt},
      {"another variable", "XDG_DOCUMENTS_DIR=\"$HOMEDRIVE/Dokumenty\"\n", std::nullopt},
      {"relative path is not allowed", "XDG_DOCUMENTS_DIR=\"Dokumenty\"\n", std::nullopt},
      {"unquoted", "XDG_DOCUMENTS_DIR=$HOME/Dokumenty\n", std::nullopt},
      {"other folders only", "XDG_DOWNLOAD_DIR=\"$HOME/Stazene\"\n", std::nullopt},
      {"empty file", "", std::nullopt},
      {"tabs around, CR at the end", "\t XDG_DOCUMENTS_DIR=\"$HOME/Doc\"\t \r\n", "/home/jana/Doc"},
      {"only the home, written bare", "XDG_DOCUMENTS_DIR=\"$HOME\"\n", std::nullopt},
      {"trailing slashes", "XDG_DOCUMENTS_DIR=\"$HOME/Doc///\"\n", "/home/jana/Doc"},
      {"the root folder", "XDG_DOCUMENTS_DIR=\"/\"\n", "/"},
      {"a lone quote", "XDG_DOCUMENTS_DIR=\"\n", std::nullopt},
      {"no closing quote", "XDG_DOCUMENTS_DIR=\"$HOME/Doc\n", std::nullopt},
      {"backslash at the end", "XDG_DOCUMENTS_DIR=\"/data/a\\\"\n", "/data/a\\"},
      {"blank line and a key without value", "\n\nXDG_DOCUMENTS_DIR=\nXDG_DOCUMENTS_DIR=\"/x\"", "/x"},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(platform::DocumentsFromUserDirs(c.Text, home), c.Documents) << c.Name;
    // A home written with a trailing slash names the same folders.
    EXPECT_EQ(platform::DocumentsFromUserDirs(c.Text, home + "/"), c.Documents) << c.Name << ", home with a slash";
  }
  EXPECT_EQ(platform::DocumentsFromUserDirs("XDG_DOCUMENTS_DIR=\"$HOME/Doc\"", "/"), "/Doc");
  EXPECT_EQ(platform::DocumentsFromUserDirs("XDG_DOCUMENTS_DIR=\"$HOME/\"", "/"), std::nullopt);
  EXPECT_EQ(platform::DocumentsFromUserDirs("XDG_DOCUMENTS_DIR=\"$HOME\"", "/"), std::nullopt);
}

// Settings are equal only when every one of them is.
TEST(RegionalSettings, EqualOnlyWhenEverySettingIs)
{
  const TRegionalSettings base;
  const std::vector<std::function<void(TRegionalSettings&)>> changes = {
      [](TRegionalSettings& s) { s.ShortDatePattern = u"d.M.yyyy"; },
      [](TRegionalSettings& s) { s.DateSeparator = u"."; },
      [](TRegionalSettings& s) { s.TimeSeparator = u"."; },
      [](TRegionalSettings& s) { s.LeadingZeroHours = !s.LeadingZeroHours; },
      [](TRegionalSettings& s) { s.TwelveHourClock = !s.TwelveHourClock; },
      [](TRegionalSettings& s) { s.DesignatorBeforeTime = !s.DesignatorBeforeTime; },
      [](TRegionalSettings& s) { s.AMDesignator = u"dop."; },
      [](TRegionalSettings& s) { s.PMDesignator = u"odp."; },
  };
  for (std::size_t i = 0; i < changes.size(); ++i) {
    TRegionalSettings changed = base;
    changes[i](changed);
    EXPECT_FALSE(changed == base) << "setting " << i;
    EXPECT_TRUE(changed == changed) << "setting " << i;
  }
}

// Runs DefaultFolder() as a user with the given home folder who cannot write
// beside the test program (root's build folder), and returns what it gives.
std::u16string DefaultFolderOfUserWithHome(const fs::path& home)
{
  return test::AsUnprivilegedUser([&] {
    ::setenv("HOME", home.c_str(), 1);
    ::unsetenv("XDG_CONFIG_HOME");
    return DefaultFolder();
  });
}

// CanCreateFilesIn as the user AsUnprivilegedUser runs as: "yes" or "no".
std::u16string UnprivilegedCanCreateFilesIn(const std::u16string& folder)
{
  return test::AsUnprivilegedUser([&] { return std::u16string(platform::CanCreateFilesIn(folder) ? u"yes" : u"no"); });
}

TEST(DefaultFolder, ExecutablesFolderWhereTheUserCanWrite)
{
  const auto executable = fs::read_symlink("/proc/self/exe");
  const std::u16string folder = executable.parent_path().u16string() + u"/";
  ASSERT_TRUE(platform::CanCreateFilesIn(folder)) << "the tests run from a folder their user can write to";
  EXPECT_EQ(DefaultFolder(), folder);
}

TEST(DefaultFolder, DocumentsOrHomeWhereTheUserCannotWrite)
{
  if (!test::RunningAsRoot()) GTEST_SKIP() << "needs root to act as a user who cannot write beside the test program";
  const std::u16string programFolder = fs::read_symlink("/proc/self/exe").parent_path().u16string();
  ASSERT_EQ(UnprivilegedCanCreateFilesIn(programFolder), u"no") << "the build folder must not be writable by everyone";
  test::TScratchFolder scratch;
  const fs::path withDocuments = scratch / "jana";
  fs::create_directories(withDocuments / ".config");
  fs::create_directories(withDocuments / "Dokumenty");
  test::WriteBytes(withDocuments / ".config/user-dirs.dirs", "XDG_DOCUMENTS_DIR=\"$HOME/Dokumenty\"\n");
  const fs::path documentsGone = scratch / "petr";
  fs::create_directories(documentsGone / ".config");
  test::WriteBytes(documentsGone / ".config/user-dirs.dirs", "XDG_DOCUMENTS_DIR=\"$HOME/Dokumenty\"\n");
  const fs::path plainHome = scratch / "eva";
  fs::create_directories(plainHome);
  test::GiveToUnprivilegedUser(scratch.Path());

  EXPECT_EQ(DefaultFolderOfUserWithHome(withDocuments), (withDocuments / "Dokumenty/").u16string());
  EXPECT_EQ(DefaultFolderOfUserWithHome(documentsGone), (documentsGone / "").u16string());
  EXPECT_EQ(DefaultFolderOfUserWithHome(plainHome), (plainHome / "").u16string());
}

// A user the password database does not know (an arbitrary user id, as
// containers give) and without HOME has no documents folder; the dialogs
// then open beside the program, even where that user cannot write.
TEST(DefaultFolder, UserWithoutHomeGetsTheProgramsFolder)
{
  if (!test::RunningAsRoot()) GTEST_SKIP() << "needs root to act as a user the system does not know";
  constexpr uid_t kUnknownUser = 54321;
  if (::getpwuid(kUnknownUser) != nullptr) GTEST_SKIP() << "user " << kUnknownUser << " exists here";
  const std::u16string programFolder = fs::read_symlink("/proc/self/exe").parent_path().u16string() + u"/";
  const std::u16string folders = test::AsUnprivilegedUser(
      [] {
        ::unsetenv("HOME");
        return platform::DocumentsFolder() + u"|" + DefaultFolder();
      },
      kUnknownUser);
  EXPECT_EQ(folders, u"|" + programFolder);
}

// The documents folder from the environment: HOME (or, without a usable one,
// the user's entry in the password database), XDG_CONFIG_HOME or ~/.config.
TEST(UserFolders, DocumentsFolderFromTheEnvironment)
{
  test::TScratchFolder scratch;
  const fs::path home = scratch / "jana";
  fs::create_directories(home / ".config");
  fs::create_directories(home / "Dokumenty");
  fs::create_directories(home / "Jinde");
  test::WriteBytes(home / ".config/user-dirs.dirs", "XDG_DOCUMENTS_DIR=\"$HOME/Dokumenty\"\n");
  const fs::path config = scratch / "config";
  fs::create_directories(config);
  fs::create_directories(scratch / "gone");
  test::WriteBytes(scratch / "gone/user-dirs.dirs", "XDG_DOCUMENTS_DIR=\"$HOME/Zmizele\"\n");
  test::WriteBytes(config / "user-dirs.dirs", "XDG_DOCUMENTS_DIR=\"$HOME/Jinde/\"\n");
  const passwd* user = ::getpwuid(::geteuid());
  ASSERT_NE(user, nullptr);
  const std::string databaseHome = user->pw_dir;

  struct TCase {
    const char* Name;
    std::optional<std::string> Home;
    std::optional<std::string> ConfigHome;
    std::u16string Expected;
  };
  const std::vector<TCase> cases = {
      {"documents under the home", home.string(), std::nullopt, (home / "Dokumenty/").u16string()},
      {"home with a slash", home.string() + "/", std::nullopt, (home / "Dokumenty/").u16string()},
      {"own configuration folder", home.string(), config.string(), (home / "Jinde/").u16string()},
      {"relative configuration folder is ignored", home.string(), "config", (home / "Dokumenty/").u16string()},
      {"configuration without the file", home.string(), (home / "Dokumenty").string(), (home / "").u16string()},
      {"documents folder missing", home.string(), (scratch / "gone").string(), (home / "").u16string()},
      {"home with a slash, no documents", home.string() + "/", (home / "Dokumenty").string(),
       (home / "").u16string()},
      {"relative home", std::string("jana"), std::nullopt,
       fs::path(databaseHome + (databaseHome.ends_with('/') ? "" : "/")).u16string()},
      {"no home", std::nullopt, std::nullopt,
       fs::path(databaseHome + (databaseHome.ends_with('/') ? "" : "/")).u16string()},
  };
  for (const auto& c : cases) {
    const TEnvironment homeVariable("HOME", c.Home.value_or("").c_str());
    if (!c.Home) ::unsetenv("HOME");
    const TEnvironment configVariable("XDG_CONFIG_HOME", c.ConfigHome.value_or("").c_str());
    if (!c.ConfigHome) ::unsetenv("XDG_CONFIG_HOME");
    EXPECT_EQ(platform::DocumentsFolder(), c.Expected) << c.Name;
  }
}

// Every byte decodes, whole or in pieces of any size, to the character that
// encodes back to it; the bytes windows-1250 leaves undefined stand for the
// control characters of the same number, as Windows maps them.
TEST(AnsiCodePage, EveryByteDecodesAndEncodesBack)
{
  std::string bytes;
  for (int b = 1; b < 256; ++b) bytes += static_cast<char>(b);
  const std::u16string text = platform::DecodeAnsi(bytes);
  ASSERT_EQ(text.size(), bytes.size());
  EXPECT_EQ(text[0x41 - 1], u'A');
  EXPECT_EQ(text[0x80 - 1], u'\u20AC');
  EXPECT_EQ(text[0x81 - 1], u'\u0081');
  EXPECT_EQ(text[0x8A - 1], u'\u0160');
  EXPECT_EQ(text[0xE8 - 1], u'\u010D');
  EXPECT_EQ(text[0xFF - 1], u'\u02D9');
  std::string encoded;
  EXPECT_TRUE(platform::EncodeAnsi(text, encoded));
  EXPECT_EQ(test::Hex(encoded), test::Hex(bytes));

  for (std::size_t piece : {1u, 7u, 64u}) {
    std::u16string pieces;
    for (std::size_t at = 0; at < bytes.size(); at += piece) {
      const std::string_view part = std::string_view(bytes).substr(at, piece);
      std::u16string room(part.size(), u'\0');
      std::size_t written = 0;
      EXPECT_EQ(platform::DecodeAnsiPiece(part, at + piece >= bytes.size(), room.data(), written), part.size());
      pieces += room.substr(0, written);
    }
    EXPECT_EQ(pieces, text) << "pieces of " << piece;
  }
  EXPECT_EQ(platform::DecodeAnsi(""), u"");
}

TEST(DefaultFolder, CanCreateFilesIn)
{
  test::TScratchFolder scratch;
  fs::create_directories(scratch / "open");
  fs::create_directories(scratch / "closed");
  test::WriteBytes(scratch / "file", "x");
  test::GiveToUnprivilegedUser(scratch.Path());
  fs::permissions(scratch / "closed", fs::perms::owner_read | fs::perms::owner_exec);
  struct TCase {
    const char* Name;
    bool Expected;
  };
  for (const TCase c : {TCase{"open", true}, TCase{"closed", false}, TCase{"file", false}, TCase{"missing", false}}) {
    EXPECT_EQ(UnprivilegedCanCreateFilesIn((scratch / c.Name).u16string()), c.Expected ? u"yes" : u"no") << c.Name;
  }
}

}  // namespace
}  // namespace quenlora
