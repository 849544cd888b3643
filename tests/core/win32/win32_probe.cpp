// A second process for the Windows tests of the platform layer.
//
//   win32_probe hold <how> <file> <ready event> <release event>
//     Opens the file as another program would and keeps it open until the
//     release event is signalled; signals the ready event once the file is
//     open. <how>: "write" (writing, other readers allowed), "read" (reading,
//     other writers denied) or "exclusive" (nothing shared). Exit code 2: the
//     file could not be opened.
//   win32_probe folders <output file>
//     Writes ExecutableFolder(), a NUL, and DefaultFolder() to the output
//     file as raw UTF-16, for a test that started this program from a
//     folder of its choice.
#include <windows.h>

#include <cstdio>
#include <string>

#include "file_stamp.h"
#include "platform/platform.h"

namespace {

int Hold(const std::wstring& how, const wchar_t* path, const wchar_t* ready, const wchar_t* release)
{
  DWORD access = GENERIC_READ;
  DWORD share = FILE_SHARE_READ;
  if (how == L"write") {
    access = GENERIC_WRITE;
  } else if (how == L"exclusive") {
    access = GENERIC_READ | GENERIC_WRITE;
    share = 0;
  } else if (how != L"read") {
    return 3;
  }
  const HANDLE file = ::CreateFileW(path, access, share, nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
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

int Folders(const wchar_t* output)
{
  const std::u16string text = quenlora::platform::ExecutableFolder() + u'\0' + quenlora::DefaultFolder();
  FILE* file = ::_wfopen(output, L"wb");
  if (file == nullptr) return 2;
  const bool written = std::fwrite(text.data(), sizeof(char16_t), text.size(), file) == text.size();
  return std::fclose(file) == 0 && written ? 0 : 6;
}

}  // namespace

int wmain(int argc, wchar_t* argv[])
{
  const std::wstring command = argc > 1 ? argv[1] : L"";
  if (command == L"hold" && argc == 6) return Hold(argv[2], argv[3], argv[4], argv[5]);
  if (command == L"folders" && argc == 3) return Folders(argv[2]);
  std::fputs("usage: win32_probe hold <how> <file> <ready event> <release event> | folders <output file>\n", stderr);
  return 1;
}
