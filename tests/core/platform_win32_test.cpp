// SPDX-FileCopyrightText: 2026 The Quenlora authors
// SPDX-License-Identifier: GPL-3.0-or-later

// The Win32 half of the platform layer, as only Windows has it: files that
// another process holds open, paths in Czech, the ANSI code pages of Czech
// and Western users, the system's own error texts, the user's locale.
// Runs as a Czech user (code page 1250) and as a Western one (code page 1252).
#include <gtest/gtest.h>

#include <windows.h>

#include <sddl.h>

#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <functional>
#include <random>
#include <set>
#include <string>
#include <thread>
#include <vector>

#include "batch_error.h"
#include "batch_list_file.h"
#include "code_page_1250.h"
#include "file_stamp.h"
#include "platform/code_page_win32.h"
#include "platform/platform.h"
#include "return_document.h"
#include "test_support.h"
#include "win32/test_support_win32.h"

namespace quenlora {
namespace {

namespace fs = std::filesystem;
using test::CannotCreate;
using test::CannotOpen;
using test::Codes;
using test::ErrorOf;
using test::Fill;
using test::Hex;
using test::ListTree;
using test::ReadBytes;
using test::StateOf;
using test::TBatchState;
using test::TScratchFolder;
using test::U16;
using test::WriteBytes;
using test::Writers;

fs::path ThisProgram()
{
  std::wstring path(32768, L'\0');
  path.resize(::GetModuleFileNameW(nullptr, path.data(), static_cast<DWORD>(path.size())));
  return fs::path(path);
}

fs::path ProbeProgram() { return ThisProgram().parent_path() / L"win32_probe.exe"; }

// Starts the program with the arguments, each quoted, and returns its exit
// code, or -1 when it could not be started or did not end in time.
int RunProgram(const fs::path& program, const std::vector<std::wstring>& arguments, HANDLE* running = nullptr)
{
  std::wstring commandLine = L"\"" + program.wstring() + L"\"";
  for (const auto& argument : arguments) commandLine += L" \"" + argument + L"\"";
  STARTUPINFOW startup{};
  startup.cb = sizeof startup;
  PROCESS_INFORMATION process{};
  if (!::CreateProcessW(program.c_str(), commandLine.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup,
                        &process))
    return -1;
  ::CloseHandle(process.hThread);
  if (running != nullptr) {
    *running = process.hProcess;
    return 0;
  }
  DWORD code = static_cast<DWORD>(-1);
  if (::WaitForSingleObject(process.hProcess, 60000) == WAIT_OBJECT_0) ::GetExitCodeProcess(process.hProcess, &code);
  ::CloseHandle(process.hProcess);
  return static_cast<int>(code);
}

// Another process that holds the file open the given way for as long as
// this object lives.
class THeldFile {
public:
  THeldFile(const std::wstring& how, const fs::path& path)
  {
    static unsigned counter = 0;
    const std::wstring unique = std::to_wstring(::GetCurrentProcessId()) + L"-" + std::to_wstring(++counter);
    const std::wstring readyName = L"quenlora-test-ready-" + unique;
    const std::wstring releaseName = L"quenlora-test-release-" + unique;
    ready_ = ::CreateEventW(nullptr, TRUE, FALSE, readyName.c_str());
    release_ = ::CreateEventW(nullptr, TRUE, FALSE, releaseName.c_str());
    if (RunProgram(ProbeProgram(), {L"hold", how, path.wstring(), readyName, releaseName}, &process_) != 0) return;
    const HANDLE waitFor[] = {ready_, process_};
    holding_ = ::WaitForMultipleObjects(2, waitFor, FALSE, 60000) == WAIT_OBJECT_0;
  }
  THeldFile(const THeldFile&) = delete;
  THeldFile& operator=(const THeldFile&) = delete;
  ~THeldFile()
  {
    ::SetEvent(release_);
    if (process_ != nullptr) {
      ::WaitForSingleObject(process_, 60000);
      ::CloseHandle(process_);
    }
    ::CloseHandle(ready_);
    ::CloseHandle(release_);
  }
  bool Holding() const { return holding_; }

private:
  HANDLE ready_ = nullptr;
  HANDLE release_ = nullptr;
  HANDLE process_ = nullptr;
  bool holding_ = false;
};

// The cases that depend on the user's locale know a Czech and a United
// States user. tools/wine-run names the locale it runs them in, and there
// anything else is a failure; elsewhere another locale skips them.
bool RunInKnownLocale() { return std::getenv("QUENLORA_TEST_LOCALE") != nullptr; }
bool RunAsCzechUser() { return std::string(std::getenv("QUENLORA_TEST_LOCALE")).starts_with("cs_CZ"); }

// The start tags of the elements of that name, whatever namespace prefix a
// manifest tool gave them.
std::vector<std::string> StartTags(const std::string& xml, const std::string& name)
{
  std::vector<std::string> tags;
  for (auto at = xml.find(name); at != std::string::npos; at = xml.find(name, at + 1)) {
    const auto open = xml.rfind('<', at);
    const auto close = xml.find('>', at);
    if (open == std::string::npos || close == std::string::npos) break;
    const std::string before = xml.substr(open + 1, at - open - 1);
    if (before.find_first_of(" \t\r\n\"=/>") == std::string::npos) tags.push_back(xml.substr(open, close - open + 1));
  }
  return tags;
}

bool AnyTagHas(const std::vector<std::string>& tags, std::initializer_list<std::string_view> attributes)
{
  return std::any_of(tags.begin(), tags.end(), [&](const std::string& tag) {
    return std::all_of(attributes.begin(), attributes.end(),
                       [&](std::string_view attribute) { return tag.find(attribute) != std::string::npos; });
  });
}

TCodeBatch SampleBatch()
{
  TCodeBatch batch;
  Fill(batch, {u"KP0001", u"KP0002", u"KP0003"});
  batch.SetWholePackage(1, true);
  return batch;
}

const std::string kPrevious = "\xEF\xBB\xBFPREVIOUS1\r\nPREVIOUS2\r\n";

TEST(Win32Files, FileHeldByAnotherProcess)
{
  struct TCase {
    const wchar_t* How;
    bool Readable;  // we read while denying writers, so only a reader that denies them too lets us in
  };
  for (const TCase c : {TCase{L"write", false}, TCase{L"read", true}, TCase{L"exclusive", false}}) {
    SCOPED_TRACE(fs::path(c.How).string());
    TScratchFolder folder;
    const fs::path path = folder / "Vrácené kódy.txt";
    WriteBytes(path, kPrevious);
    const TCodeBatch batch = SampleBatch();
    const TBatchState before = StateOf(batch);
    {
      const THeldFile held(c.How, path);
      ASSERT_TRUE(held.Holding());

      TCodeBatch loaded = SampleBatch();
      const std::u16string loadError = ErrorOf([&] { LoadBatchList(loaded, U16(path)); });
      if (c.Readable) {
        EXPECT_EQ(loadError, u"");
        EXPECT_EQ(Codes(loaded), (std::vector<std::u16string>{u"PREVIOUS1", u"PREVIOUS2"}));
      } else {
        EXPECT_EQ(loadError, CannotOpen(path, ERROR_SHARING_VIOLATION));
        EXPECT_EQ(StateOf(loaded), before);
      }

      // Whoever holds the file, nobody else may write it: every save is refused.
      for (const auto& writer : Writers()) {
        EXPECT_EQ(ErrorOf([&] { writer.Write(batch, U16(path)); }), CannotCreate(path, ERROR_SHARING_VIOLATION))
            << writer.Name;
        EXPECT_EQ(StateOf(batch), before);
      }
    }
    EXPECT_EQ(ReadBytes(path), kPrevious);
    EXPECT_EQ(ListTree(folder.Path()), (std::set<std::string>{"Vrácené kódy.txt"}));

    // Once the other program lets go, the same save goes through.
    SaveBatchList(batch, U16(path));
    EXPECT_EQ(ReadBytes(path), "KP0001\r\nKP0002\r\nKP0003\r\n");
  }
}

TEST(Win32Files, CzechPaths)
{
  TScratchFolder scratch;
  const fs::path folder = scratch / "Vrácené pásky – Žďár nad Sázavou";
  fs::create_directories(folder);
  const TCodeBatch batch = SampleBatch();

  const fs::path list = folder / "Dávka č. 1 – ěščřžýáíéůú.txt";
  SaveBatchList(batch, U16(list));
  TCodeBatch loaded;
  LoadBatchList(loaded, U16(list));
  EXPECT_EQ(StateOf(loaded).Codes, StateOf(batch).Codes);

  // The export under a Czech name is byte for byte the one under a plain name.
  const fs::path plain = scratch / "plain.xml";
  const fs::path czech = folder / "VraceneKombiKP_10. 12. 2026 – příliš žluťoučký.xml";
  WriteReturnDocument(BuildReturnDocument(batch, xkKombi), U16(plain));
  WriteReturnDocument(BuildReturnDocument(batch, xkKombi), U16(czech));
  EXPECT_EQ(ReadBytes(czech), ReadBytes(plain));

  const fs::path missing = folder / "Chybějící seznam.txt";
  EXPECT_EQ(ErrorOf([&] { LoadBatchList(loaded, U16(missing)); }), CannotOpen(missing, ERROR_FILE_NOT_FOUND));
  const fs::path nowhere = folder / "Neexistující složka" / "Seznam.txt";
  EXPECT_EQ(ErrorOf([&] { SaveBatchList(batch, U16(nowhere)); }), CannotCreate(nowhere, ERROR_PATH_NOT_FOUND));
}

TEST(Win32Files, RefusedSavesKeepTheOldFile)
{
  TScratchFolder folder;
  const fs::path readOnly = folder / "jen pro čtení.txt";
  WriteBytes(readOnly, kPrevious);
  ASSERT_TRUE(::SetFileAttributesW(readOnly.c_str(), FILE_ATTRIBUTE_READONLY));
  const fs::path subfolder = folder / "složka";
  fs::create_directory(subfolder);
  const auto before = test::Snapshot(folder.Path());

  const TCodeBatch batch = SampleBatch();
  for (const auto& writer : Writers()) {
    EXPECT_EQ(ErrorOf([&] { writer.Write(batch, U16(readOnly)); }), CannotCreate(readOnly, ERROR_ACCESS_DENIED))
        << writer.Name;
    // A folder is named as what it is, not as a missing permission.
    const std::u16string folderError = ErrorOf([&] { writer.Write(batch, U16(subfolder)); });
    EXPECT_TRUE(folderError.starts_with(u"Cannot create file \"" + U16(subfolder) + u"\". ")) << writer.Name;
    EXPECT_NE(folderError, CannotCreate(subfolder, ERROR_ACCESS_DENIED)) << writer.Name;
  }
  TCodeBatch loaded;
  const std::u16string loadError = ErrorOf([&] { LoadBatchList(loaded, U16(subfolder)); });
  EXPECT_TRUE(loadError.starts_with(u"Cannot open file \"" + U16(subfolder) + u"\". ")) << test::Utf8(loadError);
  EXPECT_NE(loadError, CannotOpen(subfolder, ERROR_ACCESS_DENIED));
  EXPECT_EQ(test::Snapshot(folder.Path()), before);
  ::SetFileAttributesW(readOnly.c_str(), FILE_ATTRIBUTE_NORMAL);
}

TEST(Win32Files, SaveKeepsHiddenMark)
{
  TScratchFolder folder;
  const fs::path path = folder / "skrytý.txt";
  WriteBytes(path, kPrevious);
  ASSERT_TRUE(::SetFileAttributesW(path.c_str(), FILE_ATTRIBUTE_HIDDEN));
  SaveBatchList(SampleBatch(), U16(path));
  EXPECT_EQ(ReadBytes(path), "KP0001\r\nKP0002\r\nKP0003\r\n");
  EXPECT_NE(::GetFileAttributesW(path.c_str()) & FILE_ATTRIBUTE_HIDDEN, 0u);
}

// Another program that opens the file for a moment, as antivirus scanners,
// the search indexer and sync clients do with a freshly written file, only
// delays a save. One that keeps it open without sharing writing makes the
// save fail with the system's reason, the old file intact. One that keeps it
// open for reading while sharing writing (a scanner that takes its time, a
// viewer or a preview pane) lets it be written but not replaced: the save
// writes it in place. Either way nothing is left beside it.
TEST(Win32Files, SaveWaitsForAFileHeldForAMoment)
{
  struct TCase {
    const wchar_t* How;  // exclusive: nothing shared; scan: reading and writing shared; viewer: deleting too
    unsigned Milliseconds;
    bool Saved;
  };
  const std::vector<TCase> cases = {{L"exclusive", 300, true}, {L"scan", 300, true},    {L"exclusive", 5000, false},
                                    {L"scan", 5000, true},     {L"viewer", 5000, true}};
  for (const auto& c : cases) {
    TScratchFolder folder;
    const fs::path path = folder / "seznam.txt";
    WriteBytes(path, kPrevious);
    static unsigned counter = 0;
    const std::wstring readyName =
        L"quenlora-test-held-" + std::to_wstring(::GetCurrentProcessId()) + L"-" + std::to_wstring(++counter);
    const HANDLE ready = ::CreateEventW(nullptr, TRUE, FALSE, readyName.c_str());
    HANDLE holder = nullptr;
    ASSERT_EQ(RunProgram(ProbeProgram(), {L"hold-for", c.How, std::to_wstring(c.Milliseconds), path.wstring(), readyName},
                         &holder),
              0);
    const HANDLE started[] = {ready, holder};
    ASSERT_EQ(::WaitForMultipleObjects(2, started, FALSE, 60000), WAIT_OBJECT_0) << c.Milliseconds;
    const std::u16string error = ErrorOf([&] { SaveBatchList(SampleBatch(), U16(path)); });
    ::WaitForSingleObject(holder, 60000);
    ::CloseHandle(holder);
    ::CloseHandle(ready);
    const std::string name = test::Utf8Name(c.How) + " for " + std::to_string(c.Milliseconds) + " ms";
    if (c.Saved) {
      EXPECT_EQ(error, u"") << name;
      EXPECT_EQ(ReadBytes(path), "KP0001\r\nKP0002\r\nKP0003\r\n") << name;
    } else {
      EXPECT_EQ(error, CannotCreate(path, ERROR_SHARING_VIOLATION)) << name;
      EXPECT_EQ(ReadBytes(path), kPrevious) << name;
    }
    EXPECT_EQ(ListTree(folder.Path()), std::set<std::string>{"seznam.txt"}) << name;
  }
}

// A save that waits to rename its temporary over a file in use still holds
// the temporary: a save of another program into the same folder (another
// computer on the same share) meanwhile removes leftovers, and must not take
// the running save's temporary for one.
TEST(Win32Files, RunningSaveKeepsItsTemporaryFromAnotherSavesCleanUp)
{
  TScratchFolder folder;
  TScratchFolder contents;
  const fs::path path = folder / "seznam.txt";
  const fs::path other = folder / "jiný seznam.txt";
  WriteBytes(path, kPrevious);
  const fs::path content = contents / "content.txt";
  WriteBytes(content, "OTHER\r\n");

  // Held as a scanner holds it, for less than a save waits.
  const std::wstring readyName = L"quenlora-test-cleanup-" + std::to_wstring(::GetCurrentProcessId());
  const HANDLE ready = ::CreateEventW(nullptr, TRUE, FALSE, readyName.c_str());
  HANDLE holder = nullptr;
  ASSERT_EQ(RunProgram(ProbeProgram(), {L"hold-for", L"scan", L"700", path.wstring(), readyName}, &holder), 0);
  const HANDLE started[] = {ready, holder};
  ASSERT_EQ(::WaitForMultipleObjects(2, started, FALSE, 60000), WAIT_OBJECT_0);
  ::ResetEvent(ready);

  std::u16string error = u"<not run>";
  std::thread saving([&] { error = ErrorOf([&] { SaveBatchList(SampleBatch(), U16(path)); }); });
  // Once the temporary is there, the save waits for the holder; the other save runs now.
  const ULONGLONG deadline = ::GetTickCount64() + 10000;
  while (ListTree(folder.Path()).size() < 2 && ::GetTickCount64() < deadline) ::Sleep(1);
  const bool temporarySeen = ListTree(folder.Path()).size() == 2;
  const int otherSave = RunProgram(ProbeProgram(), {L"save", other.wstring(), content.wstring(), readyName});
  saving.join();
  ::WaitForSingleObject(holder, 60000);
  ::CloseHandle(holder);
  ::CloseHandle(ready);

  ASSERT_TRUE(temporarySeen);
  EXPECT_EQ(otherSave, 0);
  EXPECT_EQ(error, u"");
  EXPECT_EQ(ReadBytes(path), "KP0001\r\nKP0002\r\nKP0003\r\n");
  EXPECT_EQ(ReadBytes(other), "OTHER\r\n");
  EXPECT_EQ(ListTree(folder.Path()), (std::set<std::string>{"jiný seznam.txt", "seznam.txt"}));
}

// A save removes the temporaries that killed saves left in its folder, and
// nothing else: only names with the program's mark, not one that a running
// save holds open, not a read-only one. Other programs' temporaries that look
// alike survive byte for byte.
TEST(Win32Files, OnlyTheProgramsOwnLeftoversAreRemoved)
{
  TScratchFolder folder;
  WriteBytes(folder / "seznam.txt", kPrevious);
  const std::vector<std::string> stale = {".seznam.txt.vortanek-0123456789abcdef.tmp",
                                          ".jiný export.xml.vortanek-fedcba9876543210.tmp"};
  const std::vector<std::string> kept = {".notes.2024.tmp", ".name.1.tmp", "name.tmp", ".name.123456789.tmp",
                                         ".seznam.txt.vortanek-0123456789ABCDEF.tmp",
                                         "seznam.txt.vortanek-0123456789abcdef.tmp"};
  for (const auto& name : stale) WriteBytes(folder / name, "left by a killed save");
  for (const auto& name : kept) WriteBytes(folder / name, "not a temporary of this program: " + name);
  const fs::path readOnly = folder / ".ro.vortanek-1111111111111111.tmp";
  WriteBytes(readOnly, "marked read-only by someone");
  ASSERT_TRUE(::SetFileAttributesW(readOnly.c_str(), FILE_ATTRIBUTE_READONLY));
  fs::create_directory(folder / ".folder.vortanek-2222222222222222.tmp");
  // A running save holds its temporary without sharing it at all.
  const fs::path running = folder / ".seznam.txt.vortanek-7777777777777777.tmp";
  WriteBytes(running, "a save that is still running");
  const HANDLE held = ::CreateFileW(running.c_str(), GENERIC_WRITE, 0, nullptr, OPEN_EXISTING, 0, nullptr);
  ASSERT_NE(held, INVALID_HANDLE_VALUE);
  auto expected = test::Snapshot(folder.Path());
  for (const auto& name : stale) expected.erase(name);
  expected["seznam.txt"] = "KP0001\r\nKP0002\r\nKP0003\r\n";
  expected[".seznam.txt.vortanek-7777777777777777.tmp"] = "<unreadable>";

  SaveBatchList(SampleBatch(), U16(folder / "seznam.txt"));
  EXPECT_EQ(test::Snapshot(folder.Path()), expected);
  ::CloseHandle(held);
  ::SetFileAttributesW(readOnly.c_str(), FILE_ATTRIBUTE_NORMAL);
}

// Saves that are ended by TerminateProcess at random moments. Each time the
// target is the complete old or the complete new file, and the next save
// leaves no temporary behind.
TEST(Win32Files, KilledSaveLeavesTargetWholeAndNextSaveTidiesUp)
{
  TScratchFolder folder;
  TScratchFolder contents;
  const fs::path target = folder / "dávka.txt";
  std::vector<std::string> files(2);
  std::vector<fs::path> contentFiles(2);
  for (int version = 0; version < 2; ++version) {
    for (int i = 0; i < 400000; ++i) files[version] += "KP-" + std::to_string(version * 1000000 + i) + "\r\n";
    contentFiles[version] = contents / ("version" + std::to_string(version) + ".txt");
    WriteBytes(contentFiles[version], files[version]);
  }
  WriteBytes(target, files[0]);
  const ULONGLONG before = ::GetTickCount64();
  platform::ReplaceFileContent(U16(target), files[0]);
  const auto saveTime = static_cast<unsigned>(::GetTickCount64() - before) + 1;

  const unsigned seed = std::random_device{}();
  std::mt19937 random(seed);
  int current = 0;
  int leftBehind = 0;
  for (int run = 0; run < 20; ++run) {
    const int saving = 1 - current;
    const std::wstring readyName =
        L"quenlora-test-saving-" + std::to_wstring(::GetCurrentProcessId()) + L"-" + std::to_wstring(run);
    const HANDLE ready = ::CreateEventW(nullptr, TRUE, FALSE, readyName.c_str());
    HANDLE child = nullptr;
    ASSERT_EQ(RunProgram(ProbeProgram(), {L"save", target.wstring(), contentFiles[saving].wstring(), readyName},
                         &child),
              0);
    const HANDLE started[] = {ready, child};
    ASSERT_EQ(::WaitForMultipleObjects(2, started, FALSE, 60000), WAIT_OBJECT_0) << "run " << run;
    if (run % 2 == 1) {
      // Ended while its temporary exists: from when it appears, at a random moment.
      const ULONGLONG deadline = ::GetTickCount64() + 10000;
      while (ListTree(folder.Path()).size() == 1 && ::WaitForSingleObject(child, 0) == WAIT_TIMEOUT &&
             ::GetTickCount64() < deadline)
        ::Sleep(0);
      ::Sleep(std::uniform_int_distribution<unsigned>(0, saveTime / 4)(random));
    } else {
      ::Sleep(std::uniform_int_distribution<unsigned>(0, saveTime * 5 / 4)(random));
    }
    ::TerminateProcess(child, 9);
    ASSERT_EQ(::WaitForSingleObject(child, 60000), WAIT_OBJECT_0);
    DWORD code = 0;
    ::GetExitCodeProcess(child, &code);
    ::CloseHandle(child);
    ::CloseHandle(ready);
    ASSERT_TRUE(code == 9 || code == 0) << "run " << run << ", seed " << seed << ": exit code " << code;

    const std::string content = test::TryReadBytes(target).value_or("<unreadable>");
    std::string names;
    for (const auto& name : ListTree(folder.Path())) names += " " + name;
    ASSERT_TRUE(content == files[0] || content == files[1])
        << "run " << run << ", seed " << seed << ": the target holds " << content.size() << " bytes; the folder:"
        << names;
    current = content == files[0] ? 0 : 1;
    leftBehind += ListTree(folder.Path()).size() > 1 ? 1 : 0;

    // The next save, here in this process, completes and tidies up.
    current = 1 - current;
    platform::ReplaceFileContent(U16(target), files[current]);
    ASSERT_EQ(ListTree(folder.Path()), std::set<std::string>{"dávka.txt"}) << "run " << run << ", seed " << seed;
    ASSERT_EQ(ReadBytes(target), files[current]);
  }
  // Without saves ended while their temporary exists nothing here would show the tidying up.
  EXPECT_GT(leftBehind, 0) << "seed " << seed;
}

// The file's security descriptor as text (owner, group and access list).
std::wstring SecurityOf(const fs::path& path)
{
  constexpr SECURITY_INFORMATION kParts = OWNER_SECURITY_INFORMATION | GROUP_SECURITY_INFORMATION |
                                          DACL_SECURITY_INFORMATION;
  DWORD needed = 0;
  ::GetFileSecurityW(path.c_str(), kParts, nullptr, 0, &needed);
  std::vector<unsigned char> descriptor(needed);
  if (needed == 0 || !::GetFileSecurityW(path.c_str(), kParts, descriptor.data(), needed, &needed)) return L"<none>";
  wchar_t* text = nullptr;
  if (!::ConvertSecurityDescriptorToStringSecurityDescriptorW(descriptor.data(), SDDL_REVISION_1, kParts, &text,
                                                              nullptr))
    return L"<none>";
  std::wstring result(text);
  ::LocalFree(text);
  return result;
}

FILETIME CreationTimeOf(const fs::path& path)
{
  WIN32_FILE_ATTRIBUTE_DATA data{};
  EXPECT_TRUE(::GetFileAttributesExW(path.c_str(), GetFileExInfoStandard, &data)) << path;
  return data.ftCreationTime;
}

// A save replaces the bytes and keeps what the old file had besides them:
// its access list and its creation time.
TEST(Win32Files, SaveKeepsSecurityAndCreationTime)
{
  TScratchFolder folder;
  const fs::path path = folder / "starý seznam.txt";
  const fs::path fresh = folder / "nový.txt";
  WriteBytes(path, kPrevious);
  WriteBytes(fresh, kPrevious);

  const SYSTEMTIME longAgo{2001, 2, 0, 3, 4, 5, 6, 0};
  FILETIME created{};
  ASSERT_TRUE(::SystemTimeToFileTime(&longAgo, &created));
  HANDLE file = ::CreateFileW(path.c_str(), FILE_WRITE_ATTRIBUTES, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                              OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
  ASSERT_NE(file, INVALID_HANDLE_VALUE);
  EXPECT_TRUE(::SetFileTime(file, &created, nullptr, nullptr));
  ::CloseHandle(file);

  // An access list of its own: this user may do anything, nobody else anything at all.
  HANDLE token = nullptr;
  ASSERT_TRUE(::OpenProcessToken(::GetCurrentProcess(), TOKEN_QUERY, &token));
  DWORD size = 0;
  ::GetTokenInformation(token, TokenUser, nullptr, 0, &size);
  std::vector<unsigned char> user(size);
  ASSERT_TRUE(::GetTokenInformation(token, TokenUser, user.data(), size, &size));
  ::CloseHandle(token);
  wchar_t* sid = nullptr;
  ASSERT_TRUE(::ConvertSidToStringSidW(reinterpret_cast<TOKEN_USER*>(user.data())->User.Sid, &sid));
  const std::wstring acl = L"D:P(A;;FA;;;" + std::wstring(sid) + L")";
  ::LocalFree(sid);
  PSECURITY_DESCRIPTOR descriptor = nullptr;
  ASSERT_TRUE(
      ::ConvertStringSecurityDescriptorToSecurityDescriptorW(acl.c_str(), SDDL_REVISION_1, &descriptor, nullptr));
  EXPECT_TRUE(::SetFileSecurityW(path.c_str(), DACL_SECURITY_INFORMATION, descriptor));
  ::LocalFree(descriptor);
  const std::wstring security = SecurityOf(path);
  ASSERT_NE(security, L"<none>");
  // Otherwise the comparison below would not tell a kept access list from a new one.
  ASSERT_NE(security, SecurityOf(fresh));

  // Wine's replacement swaps the files like a rename and keeps neither; there
  // only the replacement itself can be checked.
  const bool wine = ::GetProcAddress(::GetModuleHandleW(L"ntdll.dll"), "wine_get_version") != nullptr;
  for (const auto& writer : Writers()) {
    writer.Write(SampleBatch(), U16(path));
    EXPECT_NE(ReadBytes(path), kPrevious) << writer.Name;
    EXPECT_EQ(ListTree(folder.Path()), (std::set<std::string>{"nový.txt", "starý seznam.txt"})) << writer.Name;
    if (wine) continue;
    EXPECT_EQ(SecurityOf(path), security) << writer.Name;
    const FILETIME kept = CreationTimeOf(path);
    EXPECT_EQ(::CompareFileTime(&created, &kept), 0) << writer.Name;
  }
  if (wine) GTEST_SKIP() << "Wine does not keep a replaced file's access list and creation time";
}

TEST(Win32CodePage, Conversions)
{
  struct TCase {
    unsigned CodePage;
    std::u16string Text;
    bool Representable;
    std::string Bytes;
  };
  const std::vector<TCase> cases = {
      {1250, u"Žluťoučký kůň €", true, "\x8Elu\x9Dou\xE8k\xFD k\xF9\xF2 \x80"},
      {1250, u"ñ", false, ""},
      {1250, u"Ω", false, ""},
      {1252, u"é€ñß", true, "\xE9\x80\xF1\xDF"},
      // Best fit would quietly write "c" and "r": the user's codes would change.
      {1252, u"č", false, ""},
      {1252, u"abcř", false, ""},
      {65001, u"č€", true, "\xC4\x8D\xE2\x82\xAC"},
      {65001, std::u16string(1, u'\xD800'), false, ""},
  };
  for (const auto& c : cases) {
    std::string out = "kept";
    EXPECT_EQ(platform::EncodeInCodePage(c.CodePage, c.Text, out), c.Representable)
        << c.CodePage << " " << test::Utf8(c.Text);
    EXPECT_EQ(Hex(out), Hex("kept" + c.Bytes)) << c.CodePage << " " << test::Utf8(c.Text);
    if (c.Representable) {
      EXPECT_EQ(platform::DecodeFromCodePage(c.CodePage, c.Bytes), c.Text) << c.CodePage;
    }
  }
}

// A list in the ANSI code page is decoded in pieces as it is read: whatever
// the code page, and wherever the pieces end (inside a character of two or
// more bytes too), the text is what decoding the whole gives.
TEST(Win32CodePage, DecodedInPiecesAsWhole)
{
  struct TCase {
    unsigned CodePage;
    std::string Bytes;
  };
  const std::vector<TCase> cases = {
      {1250, "\x8Elu\x9Dou\xE8k\xFD\r\nk\xF9\xF2 \x80\r\n"},
      {1252, "\xE9\x80\xF1\xDF\r\n\x81\x8D\r\n"},
      // Shift-JIS and GBK: lead bytes whose trail bytes look like ASCII, and a
      // lead byte at the very end with no trail.
      {932, "\x83\x41\x83\x43KP\x82\xA0\r\n\x88\x9F\x5C\x81\x40\r\n\x83"},
      {936, "\xC4\xE3\xBA\xC3KP\r\n\xB0\xA1\x7E\x81\x40\r\n\xB0"},
      // UTF-8 as the ANSI code page, with a broken sequence and a cut one.
      {65001, "\xC4\x8D\xE2\x82\xAC\r\nK\xF0\x9F\x98\x80\x80\xC3\r\n\xE2\x82"},
  };
  for (const auto& c : cases) {
    const std::u16string whole = platform::DecodeFromCodePage(c.CodePage, c.Bytes);
    for (std::size_t size = 1; size <= 7; ++size) {
      std::u16string pieces;
      std::string pending;
      for (std::size_t at = 0; at <= c.Bytes.size(); at += size) {
        const bool last = at + size > c.Bytes.size();
        pending += c.Bytes.substr(at, size);
        std::u16string out(pending.size(), u'\0');
        std::size_t written = 0;
        const std::size_t taken = platform::DecodePieceFromCodePage(c.CodePage, pending, last, out.data(), written);
        pieces += out.substr(0, written);
        pending.erase(0, taken);
        if (last) break;
      }
      EXPECT_TRUE(pending.empty()) << c.CodePage << ", pieces of " << size;
      EXPECT_EQ(pieces, whole) << c.CodePage << ", pieces of " << size;
    }
  }
}

// Lists move between Windows and the other systems unchanged: the system's
// windows-1250 and the built-in table agree on every byte.
TEST(Win32CodePage, Windows1250MatchesBuiltInTable)
{
  for (int value = 1; value < 256; ++value) {
    const auto byte = static_cast<unsigned char>(value);
    const std::u16string decoded = platform::DecodeFromCodePage(1250, std::string(1, static_cast<char>(byte)));
    ASSERT_EQ(decoded.size(), 1u) << value;
    EXPECT_EQ(static_cast<unsigned>(decoded[0]), static_cast<unsigned>(DecodeCp1250(byte))) << "byte " << value;
    unsigned char back = 0;
    std::string encoded;
    const bool builtIn = EncodeCp1250(decoded[0], back);
    EXPECT_EQ(platform::EncodeInCodePage(1250, decoded, encoded), builtIn) << "byte " << value;
    if (builtIn) {
      EXPECT_EQ(encoded, std::string(1, static_cast<char>(back))) << "byte " << value;
    }
  }
}

// A list saved as ANSI uses the user's code page, and falls back to UTF-8
// when that page cannot hold the codes.
TEST(Win32CodePage, ListFilesUseTheUsersCodePage)
{
  const UINT codePage = ::GetACP();
  if (RunInKnownLocale()) {
    ASSERT_EQ(codePage, RunAsCzechUser() ? 1250u : 1252u);
  } else if (codePage != 1250 && codePage != 1252) {
    GTEST_SKIP() << "knows the code pages 1250 and 1252, not " << codePage;
  }
  struct TCase {
    std::u16string Code;
    std::string In1250;
    std::string In1252;
  };
  const std::string utf8Mark = "\xEF\xBB\xBF";
  const std::vector<TCase> cases = {
      {u"KPŘ1", "KP\xD8" "1\r\n", utf8Mark + "KP\xC5\x98" "1\r\n"},
      {u"KPÑ1", utf8Mark + "KP\xC3\x91" "1\r\n", "KP\xD1" "1\r\n"},
      {u"KPÉ1", "KP\xC9" "1\r\n", "KP\xC9" "1\r\n"},
  };
  TScratchFolder folder;
  for (const auto& c : cases) {
    TCodeBatch batch;
    Fill(batch, {c.Code});
    batch.SetListEncoding(TListEncoding::leAnsi);
    const fs::path path = folder / "seznam.txt";
    SaveBatchList(batch, U16(path));
    EXPECT_EQ(Hex(ReadBytes(path)), Hex(codePage == 1250 ? c.In1250 : c.In1252)) << test::Utf8(c.Code);
    TCodeBatch loaded;
    LoadBatchList(loaded, U16(path));
    EXPECT_EQ(Codes(loaded), std::vector<std::u16string>{c.Code});
  }
}

TEST(Win32System, ProgramInCzechFolder)
{
  TScratchFolder scratch;
  const fs::path folder = scratch / "Program Files – Žluťoučký kůň" / "Vrácené KP";
  fs::create_directories(folder);
  const fs::path copy = folder / "win32_probe.exe";
  fs::copy_file(ProbeProgram(), copy);
  const fs::path output = scratch / "výstup.bin";
  ASSERT_EQ(RunProgram(copy, {L"folders", output.wstring()}), 0);

  const std::string bytes = ReadBytes(output);
  const std::u16string text(reinterpret_cast<const char16_t*>(bytes.data()), bytes.size() / sizeof(char16_t));
  const auto split = text.find(u'\0');
  ASSERT_NE(split, std::u16string::npos);
  EXPECT_EQ(text.substr(0, split), U16(folder) + u"\\");
  // The user can write there: dialogs open beside the program.
  EXPECT_EQ(text.substr(split + 1), U16(folder) + u"\\");
}

TEST(Win32System, FoldersForTheDialogs)
{
  TScratchFolder scratch;
  EXPECT_TRUE(platform::CanCreateFilesIn(U16(scratch.Path())));
  EXPECT_TRUE(platform::CanCreateFilesIn(U16(scratch.Path()) + u"\\"));
  EXPECT_TRUE(ListTree(scratch.Path()).empty()) << "the check leaves nothing behind";
  EXPECT_FALSE(platform::CanCreateFilesIn(U16(scratch / "chybí")));
  WriteBytes(scratch / "soubor", "x");
  EXPECT_FALSE(platform::CanCreateFilesIn(U16(scratch / "soubor")));

  const std::u16string documents = platform::DocumentsFolder();
  ASSERT_FALSE(documents.empty());
  EXPECT_EQ(documents.back(), u'\\');
  EXPECT_TRUE(fs::is_directory(fs::path(documents)));
}

TEST(Win32System, RegionalSettingsOfTheUser)
{
  wchar_t name[LOCALE_NAME_MAX_LENGTH] = {};
  ASSERT_GT(::GetUserDefaultLocaleName(name, LOCALE_NAME_MAX_LENGTH), 0);
  const std::wstring locale = name;
  if (RunInKnownLocale()) {
    ASSERT_TRUE(locale == (RunAsCzechUser() ? L"cs-CZ" : L"en-US"));
  } else if (locale != L"cs-CZ" && locale != L"en-US") {
    GTEST_SKIP() << "knows the Czech and the United States user, not this one";
  }

  const auto settings = platform::ReadUserRegionalSettings();
  ASSERT_TRUE(settings.has_value());
  ReloadRegionalSettings();
  EXPECT_EQ(CurrentRegionalSettings(), *settings);
  const TLocalTime afternoon{2014, 12, 8, 15, 4, 5, 0};
  if (locale == L"cs-CZ") {
    EXPECT_FALSE(settings->TwelveHourClock);
    EXPECT_EQ(settings->TimeSeparator, u":");
    // Day, month, year with dots (Windows versions differ on padding and blanks).
    const std::u16string stamp = FileStamp(afternoon, *settings);
    EXPECT_TRUE(stamp == u"8122014150405" || stamp == u"08122014150405") << test::Utf8(stamp);
  } else {
    EXPECT_TRUE(settings->TwelveHourClock);
    EXPECT_EQ(FormatDateTime(afternoon, *settings), u"12/8/2014 3:04:05 PM");
    EXPECT_EQ(FileStamp(afternoon, *settings), u"128201430405PM");
  }
}

// The program's executable as Windows sees it: versions in the Properties
// dialog, the manifest that asks for no elevation and the current common
// controls, and no console window.
TEST(Win32ProgramResources, VersionManifestAndSubsystem)
{
  const fs::path program = ThisProgram().parent_path() / L"resource_probe.exe";
  DWORD ignored = 0;
  const DWORD size = ::GetFileVersionInfoSizeW(program.c_str(), &ignored);
  ASSERT_GT(size, 0u);
  std::vector<char> info(size);
  ASSERT_TRUE(::GetFileVersionInfoW(program.c_str(), 0, size, info.data()));

  VS_FIXEDFILEINFO* fixed = nullptr;
  UINT length = 0;
  ASSERT_TRUE(::VerQueryValueW(info.data(), L"\\", reinterpret_cast<void**>(&fixed), &length));
  const auto version = [](DWORD high, DWORD low) {
    return std::to_string(HIWORD(high)) + "." + std::to_string(LOWORD(high)) + "." + std::to_string(HIWORD(low)) +
           "." + std::to_string(LOWORD(low));
  };
  EXPECT_EQ(version(fixed->dwFileVersionMS, fixed->dwFileVersionLS), "1.0.0.1");
  EXPECT_EQ(version(fixed->dwProductVersionMS, fixed->dwProductVersionLS), "1.0.0.0");

  const auto text = [&](const wchar_t* name) {
    wchar_t* value = nullptr;
    UINT chars = 0;
    const std::wstring key = std::wstring(L"\\StringFileInfo\\040504B0\\") + name;
    if (!::VerQueryValueW(info.data(), key.c_str(), reinterpret_cast<void**>(&value), &chars) || value == nullptr)
      return std::u16string(u"<none>");
    return std::u16string(reinterpret_cast<const char16_t*>(value));
  };
  EXPECT_EQ(text(L"FileVersion"), u"1.0.0.1");
  EXPECT_EQ(text(L"ProductVersion"), u"1.0.0.0");
  EXPECT_EQ(text(L"ProductName"), u"Quenlora");
  EXPECT_EQ(text(L"CompanyName"), u"Vývojový tým Quenlora");
  EXPECT_EQ(text(L"OriginalFilename"), u"vortanek.exe");

  const HMODULE module = ::LoadLibraryExW(program.c_str(), nullptr, LOAD_LIBRARY_AS_DATAFILE | LOAD_LIBRARY_AS_IMAGE_RESOURCE);
  ASSERT_NE(module, nullptr);
  const HRSRC found = ::FindResourceW(module, MAKEINTRESOURCEW(1), MAKEINTRESOURCEW(24));
  ASSERT_NE(found, nullptr) << "no manifest";
  const char* manifest = static_cast<const char*>(::LockResource(::LoadResource(module, found)));
  const std::string xml(manifest, ::SizeofResource(module, found));
  ::FreeLibrary(module);
  // Attribute by attribute: a manifest tool may reorder and reformat them.
  EXPECT_TRUE(AnyTagHas(StartTags(xml, "requestedExecutionLevel"), {R"(level="asInvoker")", R"(uiAccess="false")"}))
      << xml;
  EXPECT_TRUE(AnyTagHas(StartTags(xml, "assemblyIdentity"),
                        {R"(name="Microsoft.Windows.Common-Controls")", R"(version="6.0.0.0")"}))
      << xml;

  // The subsystem field of the PE optional header: 2 is the GUI, 3 the console.
  const std::string image = ReadBytes(program);
  ASSERT_GT(image.size(), 0x40u);
  const auto peOffset = static_cast<std::size_t>(*reinterpret_cast<const std::uint32_t*>(image.data() + 0x3C));
  ASSERT_EQ(image.compare(peOffset, 4, std::string("PE\0\0", 4)), 0);
  const std::size_t subsystemOffset = peOffset + 4 + 20 + 68;
  ASSERT_GT(image.size(), subsystemOffset + 2);
  EXPECT_EQ(*reinterpret_cast<const std::uint16_t*>(image.data() + subsystemOffset), IMAGE_SUBSYSTEM_WINDOWS_GUI);
}

}  // namespace
}  // namespace quenlora
