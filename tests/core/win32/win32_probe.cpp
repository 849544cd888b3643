// SPDX-FileCopyrightText: 2026 The Quenlora authors
// SPDX-License-Identifier: GPL-3.0-or-later

// A second process for the Windows tests of the platform layer.
//
//   win32_probe hold <how> <file> <ready event> <release event>
//     Opens the file as another program would and keeps it open until the
//     release event is signalled; signals the ready event once the file is
//     open. <how>: "write" (writing, other readers allowed), "read" (reading,
//     other writers denied) or "exclusive" (nothing shared). Exit code 2: the
//     file could not be opened.
//   win32_probe hold-for <how> <milliseconds> <file> <ready event>
//     The same for a while only, as an antivirus scanner or an indexer does
//     with a freshly written file. <how> as above, or "scan" (reading, other
//     readers and writers allowed, deleting and renaming not), or "viewer"
//     (reading, everything shared, as a viewer or a preview pane holds it).
//   win32_probe save <target> <content file> <ready event>
//     Reads the content file, signals the ready event, and saves the content
//     to the target as the program saves a list, for a test that ends this
//     process at a moment of its choice while it saves.
//   win32_probe terminate <window title>
//     Ends the process of the top-level window so titled with
//     TerminateProcess, as a crash or the task manager ends it.
//   win32_probe end-session <window title>
//     Sends the window the messages of a logoff (WM_QUERYENDSESSION, then
//     WM_ENDSESSION), then ends its process as the system does after them.
//     Exit code 3: no such window.
//   win32_probe folders <output file>
//     Writes ExecutableFolder(), a NUL, and DefaultFolder() to the output
//     file as raw UTF-16, for a test that started this program from a
//     folder of its choice.
#include <windows.h>

#include <cstdio>
#include <cwchar>
#include <string>

#include "file_stamp.h"
#include "platform/platform.h"

namespace {

// Opens the file the given way; INVALID_HANDLE_VALUE when it cannot.
HANDLE OpenAs(const std::wstring& how, const wchar_t* path)
{
  DWORD access = GENERIC_READ;
  DWORD share = FILE_SHARE_READ;
  if (how == L"write") {
    access = GENERIC_WRITE;
  } else if (how == L"exclusive") {
    access = GENERIC_READ | GENERIC_WRITE;
    share = 0;
  } else if (how == L"scan") {
    share = FILE_SHARE_READ | FILE_SHARE_WRITE;
  } else if (how == L"viewer") {
    share = FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE;
  } else if (how != L"read") {
    return INVALID_HANDLE_VALUE;
  }
  return ::CreateFileW(path, access, share, nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
}

int Hold(const std::wstring& how, const wchar_t* path, const wchar_t* ready, const wchar_t* release)
{
  const HANDLE file = OpenAs(how, path);
  if (file == INVALID_HANDLE_VALUE) return 2;
  const HANDLE readyEvent = ::OpenEventW(EVENT_MODIFY_STATE, FALSE, ready);
  const HANDLE releaseEvent = ::OpenEventW(SYNCHRONIZE, FALSE, release);
  if (readyEvent == nullptr || releaseEvent == nullptr) return 4;
  ::SetEvent(readyEvent);
  // A test that dies must not leave the file locked for ever.
  const DWORD waited = ::WaitForSingleObject(releaseEvent, 120000);
  ::CloseHandle(file);
  return waited == WAIT_OBJECT_0 ? 0 : 5;
}

int HoldFor(const std::wstring& how, DWORD milliseconds, const wchar_t* path, const wchar_t* ready)
{
  const HANDLE file = OpenAs(how, path);
  if (file == INVALID_HANDLE_VALUE) return 2;
  const HANDLE readyEvent = ::OpenEventW(EVENT_MODIFY_STATE, FALSE, ready);
  if (readyEvent == nullptr) return 4;
  ::SetEvent(readyEvent);
  ::Sleep(milliseconds);
  ::CloseHandle(file);
  return 0;
}

int Save(const wchar_t* target, const wchar_t* contentFile, const wchar_t* ready)
{
  FILE* file = ::_wfopen(contentFile, L"rb");
  if (file == nullptr) return 2;
  std::string content;
  char block[1 << 16];
  for (std::size_t got; (got = std::fread(block, 1, sizeof block, file)) > 0;) content.append(block, got);
  std::fclose(file);
  const HANDLE readyEvent = ::OpenEventW(EVENT_MODIFY_STATE, FALSE, ready);
  if (readyEvent == nullptr) return 4;
  ::SetEvent(readyEvent);
  try {
    quenlora::platform::ReplaceFileContent(reinterpret_cast<const char16_t*>(target), content);
  } catch (...) {
    return 7;
  }
  return 0;
}

int Folders(const wchar_t* output)
{
  const std::u16string text = quenlora::platform::ExecutableFolder() + u'\0' + quenlora::DefaultFolder();
  FILE* file = ::_wfopen(output, L"wb");
  if (file == nullptr) return 2;
  const bool written = std::fwrite(text.data(), sizeof(char16_t), text.size(), file) == text.size();
  return std::fclose(file) == 0 && written ? 0 : 6;
}

}  // namespace

// The process of the top-level window with the title, opened to be ended.
HANDLE WindowProcess(const wchar_t* title, HWND& window)
{
  window = ::FindWindowW(nullptr, title);
  if (window == nullptr) return nullptr;
  DWORD process = 0;
  ::GetWindowThreadProcessId(window, &process);
  return ::OpenProcess(PROCESS_TERMINATE | SYNCHRONIZE, FALSE, process);
}

int Terminate(const wchar_t* title)
{
  HWND window = nullptr;
  const HANDLE process = WindowProcess(title, window);
  if (process == nullptr) return 3;
  ::TerminateProcess(process, 1);
  ::WaitForSingleObject(process, 10000);
  return 0;
}

int EndSession(const wchar_t* title)
{
  HWND window = nullptr;
  const HANDLE process = WindowProcess(title, window);
  if (process == nullptr) return 3;
  DWORD_PTR answer = 0;
  ::SendMessageTimeoutW(window, WM_QUERYENDSESSION, 0, ENDSESSION_LOGOFF, SMTO_NORMAL, 10000, &answer);
  ::SendMessageTimeoutW(window, WM_ENDSESSION, TRUE, ENDSESSION_LOGOFF, SMTO_NORMAL, 10000, &answer);
  // Once WM_ENDSESSION is answered, the system ends the process.
  if (::WaitForSingleObject(process, 500) != WAIT_OBJECT_0) ::TerminateProcess(process, 1);
  ::WaitForSingleObject(process, 10000);
  return 0;
}

int wmain(int argc, wchar_t* argv[])
{
  const std::wstring command = argc > 1 ? argv[1] : L"";
  if (command == L"hold" && argc == 6) return Hold(argv[2], argv[3], argv[4], argv[5]);
  if (command == L"hold-for" && argc == 6)
    return HoldFor(argv[2], static_cast<DWORD>(std::wcstoul(argv[3], nullptr, 10)), argv[4], argv[5]);
  if (command == L"save" && argc == 5) return Save(argv[2], argv[3], argv[4]);
  if (command == L"folders" && argc == 3) return Folders(argv[2]);
  if (command == L"terminate" && argc == 3) return Terminate(argv[2]);
  if (command == L"end-session" && argc == 3) return EndSession(argv[2]);
  std::fputs("usage: win32_probe hold <how> <file> <ready event> <release event> | hold-for <how> <milliseconds> <file> "
             "<ready event> | save <target> <content file> "
             "<ready event> | folders <output file>\n",
             stderr);
  return 1;
}
