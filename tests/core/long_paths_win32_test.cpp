// SPDX-FileCopyrightText: 2026 The Quenlora authors
// SPDX-License-Identifier: GPL-3.0-or-later
//
// Lists and exports in a folder whose path is longer than the system's old
// limit of 260 characters, as synced document libraries reach: saved, loaded
// back, exported, a killed save's leftover removed, and a failure reported
// with the path as the user named it. Wine accepts long paths in every form,
// so tests/windows/long_paths_trace_test.sh runs this again under Wine's
// trace of file calls and checks that the system was handed every path in
// the extended-length form ("\\?\"). The calls of the code under test stand
// between two marks in that trace.
#include <gtest/gtest.h>

#include <windows.h>

#include <set>
#include <string>

#include "batch_list_file.h"
#include "return_document.h"
#include "test_support.h"
#include "win32/test_support_win32.h"

namespace quenlora {
namespace {

namespace fs = std::filesystem;
using test::ErrorOf;
using test::TScratchFolder;
using test::U16;

// A file call the trace shows with the name given, on no file at all.
void TraceMark(const wchar_t* mark) { ::GetFileAttributesW(mark); }

// The test itself reaches the deep folder through the extended-length form,
// which works whatever the system's long-path policy, and through the
// system's own calls, as the standard library's folder functions do not
// take that form.
fs::path Extended(const fs::path& path) { return fs::path(L"\\\\?\\" + path.wstring()); }

std::set<std::string> NamesIn(const fs::path& folder)
{
  std::set<std::string> names;
  WIN32_FIND_DATAW found{};
  const HANDLE search = ::FindFirstFileW((Extended(folder).wstring() + L"\\*").c_str(), &found);
  if (search == INVALID_HANDLE_VALUE) return names;
  do {
    const std::wstring name = found.cFileName;
    if (name != L"." && name != L"..") names.insert(test::Utf8Name(fs::path(name)));
  } while (::FindNextFileW(search, &found));
  ::FindClose(search);
  return names;
}

void RemoveTree(const fs::path& folder)
{
  for (const auto& name : NamesIn(folder)) {
    const fs::path path = folder / fs::u8path(name);
    const DWORD attributes = ::GetFileAttributesW(Extended(path).c_str());
    if (attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY) != 0)
      RemoveTree(path);
    else
      ::DeleteFileW(Extended(path).c_str());
  }
  ::RemoveDirectoryW(Extended(folder).c_str());
}

// Removes the deep folder however the test ends.
class TDeepFolder {
public:
  explicit TDeepFolder(fs::path root) : root_(std::move(root)) {}
  TDeepFolder(const TDeepFolder&) = delete;
  TDeepFolder& operator=(const TDeepFolder&) = delete;
  ~TDeepFolder() { RemoveTree(root_); }

private:
  fs::path root_;
};

TEST(Win32LongPaths, SaveLoadExportAndCleanUpInADeepFolder)
{
  TScratchFolder scratch;
  // The mark in the first folder's name finds the calls in the trace.
  fs::path folder = scratch.Path() / L"quenlora-long-path";
  const TDeepFolder removed(folder);
  ASSERT_TRUE(::CreateDirectoryW(Extended(folder).c_str(), nullptr));
  for (int level = 0; folder.wstring().size() <= 300; ++level) {
    folder /= L"Vrácené kontrolní pásky – odbor " + std::to_wstring(level) + L" – archiv";
    ASSERT_TRUE(::CreateDirectoryW(Extended(folder).c_str(), nullptr)) << level;
  }
  ASSERT_GT(folder.wstring().size(), 300u);
  const fs::path list = folder / L"DavkaKP_10122026150405.txt";
  const fs::path exported = folder / L"VraceneKombiKP_10122026150405.xml";
  const fs::path missing = folder / L"chybí.txt";
  const fs::path leftover = folder / L".DavkaKP_10122026150405.txt.vortanek-0123456789abcdef.tmp";
  test::WriteBytes(Extended(list), "PREVIOUS\r\n");
  test::WriteBytes(Extended(leftover), "left by a killed save");

  TCodeBatch batch;
  test::Fill(batch, {u"KP0001", u"KP0002"});
  batch.SetWholePackage(0, true);
  TCodeBatch loaded;
  std::u16string missingError;
  TraceMark(L"quenlora-trace-begin");
  SaveBatchList(batch, U16(list));
  LoadBatchList(loaded, U16(list));
  WriteReturnDocument(BuildReturnDocument(batch, xkKombi), U16(exported));
  missingError = ErrorOf([&] { LoadBatchList(loaded, U16(missing)); });
  TraceMark(L"quenlora-trace-end");

  EXPECT_EQ(test::ReadBytes(Extended(list)), "KP0001\r\nKP0002\r\n");
  EXPECT_EQ(test::Codes(loaded), (std::vector<std::u16string>{u"KP0001", u"KP0002"}));
  const std::string document = test::ReadBytes(Extended(exported));
  EXPECT_NE(document.find("<IndividualniKod>KP0001</IndividualniKod>"), std::string::npos) << document;
  // The message names the path as the user named it, not the form the system got.
  EXPECT_EQ(missingError, test::CannotOpen(missing, ERROR_FILE_NOT_FOUND));
  // The leftover of a killed save is gone, and nothing else is left.
  EXPECT_EQ(NamesIn(folder), (std::set<std::string>{"DavkaKP_10122026150405.txt", "VraceneKombiKP_10122026150405.xml"}));
}

}  // namespace
}  // namespace quenlora
