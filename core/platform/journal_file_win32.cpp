// SPDX-FileCopyrightText: 2026 The Quenlora authors
// SPDX-License-Identifier: GPL-3.0-or-later
#include "journal_file.h"

#include "win32.h"

#include <knownfolders.h>
#include <shlobj.h>

#include <cstring>
#include <vector>

#include "../batch_error.h"
#include "journal_file_seams.h"

namespace quenlora::platform {

namespace {

const wchar_t* Wide(const std::u16string& path) { return reinterpret_cast<const wchar_t*>(path.c_str()); }

[[noreturn]] void Fail(DWORD error)
{
  wchar_t* buffer = nullptr;
  const DWORD length = ::FormatMessageW(
      FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS, nullptr, error,
      0, reinterpret_cast<wchar_t*>(&buffer), 0, nullptr);
  std::u16string text;
  if (buffer != nullptr) {
    text.assign(reinterpret_cast<const char16_t*>(buffer), length);
    ::LocalFree(buffer);
  }
  if (text.empty()) {
    const std::string digits = "System error " + std::to_string(error);
    text.assign(digits.begin(), digits.end());
  }
  throw TBatchError(CleanReason(text));
}

HANDLE Handle(std::intptr_t handle) { return reinterpret_cast<HANDLE>(handle); }

// Fails the call as the system would when a test armed it.
void Guard(TJournalCall call)
{
  if (const int error = TakeJournalFault(call); error != 0) Fail(static_cast<DWORD>(error));
}

}  // namespace

TJournalFile TJournalFile::CreateNew(const std::u16string& path)
{
  Guard(TJournalCall::jcCreate);
  // Others may read it, never write, delete or rename it while it is held.
  // DELETE access lets this handle give the file another name.
  const HANDLE file = ::CreateFileW(Wide(path), GENERIC_READ | GENERIC_WRITE | DELETE, FILE_SHARE_READ, nullptr,
                                    CREATE_NEW, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (file == INVALID_HANDLE_VALUE) Fail(::GetLastError());
  return TJournalFile(reinterpret_cast<std::intptr_t>(file));
}

std::optional<TJournalFile> TJournalFile::OpenUnheld(const std::u16string& path)
{
  const HANDLE file = ::CreateFileW(Wide(path), GENERIC_READ | GENERIC_WRITE | DELETE, FILE_SHARE_READ, nullptr,
                                    OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (file == INVALID_HANDLE_VALUE) {
    const DWORD error = ::GetLastError();
    if (error == ERROR_SHARING_VIOLATION || error == ERROR_FILE_NOT_FOUND || error == ERROR_PATH_NOT_FOUND)
      return std::nullopt;
    Fail(error);
  }
  return TJournalFile(reinterpret_cast<std::intptr_t>(file));
}

void TJournalFile::Write(std::string_view bytes)
{
  Guard(TJournalCall::jcWrite);
  LARGE_INTEGER end{};
  if (!::SetFilePointerEx(Handle(handle_), end, nullptr, FILE_END)) Fail(::GetLastError());
  while (!bytes.empty()) {
    const DWORD chunk = static_cast<DWORD>(std::min<std::size_t>(bytes.size(), 1u << 30));
    DWORD written = 0;
    if (!::WriteFile(Handle(handle_), bytes.data(), chunk, &written, nullptr)) Fail(::GetLastError());
    if (written == 0) Fail(ERROR_DISK_FULL);
    bytes.remove_prefix(written);
  }
}

void TJournalFile::Flush()
{
  Guard(TJournalCall::jcFlush);
  WaitAsASlowDisk();
  if (!::FlushFileBuffers(Handle(handle_))) Fail(::GetLastError());
}

std::string TJournalFile::ReadAll()
{
  Guard(TJournalCall::jcRead);
  LARGE_INTEGER start{};
  if (!::SetFilePointerEx(Handle(handle_), start, nullptr, FILE_BEGIN)) Fail(::GetLastError());
  std::string bytes;
  LARGE_INTEGER size{};
  if (::GetFileSizeEx(Handle(handle_), &size) && size.QuadPart > 0) bytes.reserve(static_cast<std::size_t>(size.QuadPart));
  std::vector<char> buffer(1 << 16);
  for (;;) {
    DWORD got = 0;
    if (!::ReadFile(Handle(handle_), buffer.data(), static_cast<DWORD>(buffer.size()), &got, nullptr))
      Fail(::GetLastError());
    if (got == 0) return bytes;
    bytes.append(buffer.data(), got);
  }
}

void TJournalFile::Close()
{
  if (handle_ != -1) ::CloseHandle(Handle(handle_));
  handle_ = -1;
}

void TJournalFile::Replace(TJournalFile& held, TJournalFile& fresh, const std::u16string& freshPath,
                           const std::u16string& path)
{
  Guard(TJournalCall::jcReplace);
  (void)freshPath;
  // The held file shares no deletion, so it must be closed before the new
  // file can take its name; the new one is renamed through its own handle,
  // which holds it throughout.
  held.Close();
  std::vector<unsigned char> buffer(sizeof(FILE_RENAME_INFO) + path.size() * sizeof(wchar_t));
  auto* info = reinterpret_cast<FILE_RENAME_INFO*>(buffer.data());
  info->ReplaceIfExists = TRUE;
  info->RootDirectory = nullptr;
  info->FileNameLength = static_cast<DWORD>(path.size() * sizeof(wchar_t));
  std::memcpy(info->FileName, path.data(), path.size() * sizeof(wchar_t));
  if (!::SetFileInformationByHandle(Handle(fresh.handle_), FileRenameInfo, info, static_cast<DWORD>(buffer.size())))
    Fail(::GetLastError());
}

std::u16string StateFolder()
{
  if (const int fault = StateFolderFault(); fault != 0) Fail(static_cast<DWORD>(fault));
  PWSTR path = nullptr;
  const HRESULT result = ::SHGetKnownFolderPath(FOLDERID_LocalAppData, KF_FLAG_CREATE, nullptr, &path);
  if (FAILED(result) || path == nullptr) {
    if (path != nullptr) ::CoTaskMemFree(path);
    Fail(HRESULT_CODE(result) != 0 ? static_cast<DWORD>(HRESULT_CODE(result)) : ERROR_PATH_NOT_FOUND);
  }
  std::u16string folder(reinterpret_cast<const char16_t*>(path));
  ::CoTaskMemFree(path);
  if (!folder.empty() && folder.back() != u'\\') folder += u'\\';
  folder += u"Quenlora";
  if (!::CreateDirectoryW(Wide(folder), nullptr)) {
    const DWORD error = ::GetLastError();
    if (error != ERROR_ALREADY_EXISTS) Fail(error);
    const DWORD attributes = ::GetFileAttributesW(Wide(folder));
    if (attributes == INVALID_FILE_ATTRIBUTES) Fail(::GetLastError());
    if ((attributes & FILE_ATTRIBUTE_DIRECTORY) == 0) Fail(ERROR_DIRECTORY);
  }
  return folder + u'\\';
}

std::vector<TFolderEntry> ListFiles(const std::u16string& folder)
{
  std::vector<TFolderEntry> entries;
  WIN32_FIND_DATAW data{};
  const HANDLE find = ::FindFirstFileW(Wide(folder + u"*"), &data);
  if (find == INVALID_HANDLE_VALUE) return entries;
  do {
    if ((data.dwFileAttributes & (FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_REPARSE_POINT)) != 0) continue;
    const std::int64_t modified =
        (std::int64_t{data.ftLastWriteTime.dwHighDateTime} << 32 | data.ftLastWriteTime.dwLowDateTime) * 100;
    entries.push_back({std::u16string(reinterpret_cast<const char16_t*>(data.cFileName)), modified});
  } while (::FindNextFileW(find, &data));
  ::FindClose(find);
  return entries;
}

bool RemoveFile(const std::u16string& path) { return ::DeleteFileW(Wide(path)) != 0; }

bool RenameFile(const std::u16string& from, const std::u16string& to)
{
  return ::MoveFileExW(Wide(from), Wide(to), MOVEFILE_WRITE_THROUGH) != 0;
}

}  // namespace quenlora::platform
