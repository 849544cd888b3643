// The POSIX half of the platform layer: regional settings from the C
// library's locale data, and the folder the file dialogs open in.
#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
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
  };
  for (const auto& c : cases) EXPECT_EQ(platform::DocumentsFromUserDirs(c.Text, home), c.Documents) << c.Name;
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
