// SPDX-FileCopyrightText: 2026 The Quenlora authors
// SPDX-License-Identifier: GPL-3.0-or-later

#include "platform.h"

#include "win32.h"

#include <aclapi.h>

#include <algorithm>
#include <cstdint>
#include <optional>
#include <random>

#include "../batch_error.h"
#include "temporary_name.h"

namespace quenlora::platform {

namespace {

const wchar_t* Wide(const std::u16string& path) { return reinterpret_cast<const wchar_t*>(path.c_str()); }

// A NUL would silently cut the path short and name another file.
bool HasNul(const std::u16string& path) { return path.find(u'\0') != std::u16string::npos; }

std::u16string Decimal(std::uint64_t value)
{
  const std::string digits = std::to_string(value);
  return std::u16string(digits.begin(), digits.end());
}

// The system's own text for an error, in the user's language (language 0
// lets the system pick it), or nothing when the system has no text for it.
std::optional<std::u16string> SystemText(DWORD error)
{
  wchar_t* buffer = nullptr;
  const DWORD length = ::FormatMessageW(
      FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS, nullptr, error,
      0, reinterpret_cast<wchar_t*>(&buffer), 0, nullptr);
  if (buffer == nullptr) return std::nullopt;
  std::u16string text(reinterpret_cast<const char16_t*>(buffer), length);
  ::LocalFree(buffer);
  if (text.empty()) return std::nullopt;
  return text;
}

std::u16string Reason(DWORD error) { return SystemText(error).value_or(u"System error " + Decimal(error)); }

// Not in every SDK's headers; the system knows its text from Windows 8 on.
constexpr DWORD kDirectoryNotSupported = 336;

// Opening a folder as a file fails with "Access is denied", which sends the
// user looking for a permission problem; name the real one instead.
std::u16string FolderReason()
{
  return SystemText(kDirectoryNotSupported).value_or(u"The path names a folder, not a file");
}

bool IsFolder(const std::u16string& path)
{
  const DWORD attributes = ::GetFileAttributesW(Wide(path));
  return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
}

class THandle {
public:
  explicit THandle(HANDLE handle) : handle_(handle) {}
  THandle(const THandle&) = delete;
  THandle& operator=(const THandle&) = delete;
  ~THandle() { Close(); }
  HANDLE Get() const { return handle_; }
  // Hands the handle over to the caller, who closes it.
  HANDLE Release()
  {
    const HANDLE handle = handle_;
    handle_ = INVALID_HANDLE_VALUE;
    return handle;
  }
  bool Valid() const { return handle_ != INVALID_HANDLE_VALUE; }
  // False when closing failed, which can mean that buffered data was lost.
  bool Close()
  {
    if (!Valid()) return true;
    const BOOL closed = ::CloseHandle(handle_);
    handle_ = INVALID_HANDLE_VALUE;
    return closed != FALSE;
  }

private:
  HANDLE handle_;
};

bool WriteAll(HANDLE file, std::string_view bytes)
{
  while (!bytes.empty()) {
    // WriteFile takes a 32-bit count; large blocks go in slices.
    const auto slice = static_cast<DWORD>(std::min<std::size_t>(bytes.size(), 1U << 30));
    DWORD written = 0;
    if (!::WriteFile(file, bytes.data(), slice, &written, nullptr) || written == 0) return false;
    bytes.remove_prefix(written);
  }
  return true;
}

// The file that a save really replaces: renaming onto a symbolic link would
// replace the link, not the file it points to.
std::u16string ResolveLink(HANDLE opened, const std::u16string& path)
{
  std::wstring resolved(MAX_PATH, L'\0');
  for (;;) {
    const DWORD length = ::GetFinalPathNameByHandleW(opened, resolved.data(), static_cast<DWORD>(resolved.size()),
                                                     FILE_NAME_NORMALIZED | VOLUME_NAME_DOS);
    if (length == 0) return path;
    // Too small a buffer gets back the size it needs, terminating NUL included.
    if (length < resolved.size()) return std::u16string(reinterpret_cast<const char16_t*>(resolved.data()), length);
    resolved.resize(length);
  }
}

// The folder part of a path, with its separator: "" for a bare name, "C:"
// for "C:name" (relative to that drive's current folder).
std::u16string FolderOf(const std::u16string& path)
{
  const auto cut = path.find_last_of(u"\\/");
  if (cut != std::u16string::npos) return path.substr(0, cut + 1);
  if (path.size() >= 2 && path[1] == u':') return path.substr(0, 2);
  return {};
}

// A save that was killed leaves its temporary file behind. Only names with
// the program's mark are looked at, so another program's temporary is never
// touched. A running save holds its temporary open without sharing it for
// deletion, so the system refuses to delete the temporary of a save that is
// still running; one it deletes belonged to no running save.
void RemoveStaleTemporaries(const std::u16string& folder)
{
  WIN32_FIND_DATAW found{};
  const std::u16string pattern = folder + u".*.tmp";
  const HANDLE search = ::FindFirstFileExW(Wide(pattern), FindExInfoBasic, &found, FindExSearchNameMatch, nullptr, 0);
  if (search == INVALID_HANDLE_VALUE) return;
  do {
    constexpr DWORD kNotAFile = FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_REPARSE_POINT | FILE_ATTRIBUTE_READONLY;
    if ((found.dwFileAttributes & kNotAFile) != 0) continue;
    const std::u16string name(reinterpret_cast<const char16_t*>(found.cFileName));
    if (IsTemporaryFileName(name)) ::DeleteFileW(Wide(folder + name));
  } while (::FindNextFileW(search, &found));
  ::FindClose(search);
}

// Which failures a call is tried again after: another program (an antivirus
// scanner, the search indexer, a backup or sync client) opens a freshly
// written file for a moment as a matter of course, and a rename or an open
// that meets it fails with a sharing violation, or, for a rename, with
// access denied.
enum class TRetry { rtSharing, rtSharingOrAccess };

bool MayPassSoon(DWORD error, TRetry retry, const std::u16string& path)
{
  if (error == ERROR_SHARING_VIOLATION || error == ERROR_LOCK_VIOLATION) return true;
  if (error != ERROR_ACCESS_DENIED || retry != TRetry::rtSharingOrAccess) return false;
  // Access to a file marked read-only (or to a folder) stays denied.
  const DWORD attributes = ::GetFileAttributesW(Wide(path));
  return attributes == INVALID_FILE_ATTRIBUTES || (attributes & (FILE_ATTRIBUTE_READONLY | FILE_ATTRIBUTE_DIRECTORY)) == 0;
}

// Runs the call until it succeeds, or fails for good, or has been tried for
// about a second with growing pauses; returns 0 or the last error.
template <class Call>
DWORD Retried(const std::u16string& path, TRetry retry, const Call& call)
{
  constexpr DWORD kPatience = 1000;  // milliseconds
  DWORD pause = 10;
  DWORD waited = 0;
  for (;;) {
    if (call()) return 0;
    const DWORD error = ::GetLastError();
    if (waited >= kPatience || !MayPassSoon(error, retry, path)) return error;
    ::Sleep(pause);
    waited += pause;
    pause = std::min<DWORD>(pause * 2, 250);
  }
}

// Gives the new file what the file it replaces had beyond its bytes and its
// marks: its creation time and its access list (explicit entries, and
// whether it inherits from the folder). A file that keeps them only by being
// renamed over would lose them. Failing here loses nothing of the content,
// so it is not an error.
void TakeOverIdentity(const std::u16string& target, HANDLE replacement)
{
  WIN32_FILE_ATTRIBUTE_DATA data{};
  if (::GetFileAttributesExW(Wide(target), GetFileExInfoStandard, &data))
    ::SetFileTime(replacement, &data.ftCreationTime, nullptr, nullptr);
  PACL access = nullptr;
  PSECURITY_DESCRIPTOR descriptor = nullptr;
  if (::GetNamedSecurityInfoW(Wide(target), SE_FILE_OBJECT, DACL_SECURITY_INFORMATION, nullptr, nullptr, &access,
                              nullptr, &descriptor) != ERROR_SUCCESS)
    return;
  SECURITY_DESCRIPTOR_CONTROL control = 0;
  DWORD revision = 0;
  if (access != nullptr && ::GetSecurityDescriptorControl(descriptor, &control, &revision)) {
    const SECURITY_INFORMATION inheritance =
        (control & SE_DACL_PROTECTED) != 0 ? PROTECTED_DACL_SECURITY_INFORMATION : UNPROTECTED_DACL_SECURITY_INFORMATION;
    ::SetSecurityInfo(replacement, SE_FILE_OBJECT, DACL_SECURITY_INFORMATION | inheritance, nullptr, nullptr, access,
                      nullptr);
  }
  ::LocalFree(descriptor);
}

// Creates a new, empty file beside the target under a name nobody else uses,
// held without sharing of any kind for as long as it is open.
HANDLE CreateSiblingFile(const std::u16string& target, DWORD attributes, std::u16string& created)
{
  thread_local std::mt19937_64 random{std::random_device{}() ^ static_cast<std::uint64_t>(::GetTickCount64()) ^
                                      (static_cast<std::uint64_t>(::GetCurrentProcessId()) << 32)};
  const std::u16string folder = FolderOf(target);
  const std::u16string name = target.substr(folder.size());

  for (int attempt = 0; attempt < 100; ++attempt) {
    std::u16string candidate = folder + TemporaryFileName(name, random());
    // Access to its access list, which it takes over from the file it replaces.
    const HANDLE file =
        ::CreateFileW(Wide(candidate), GENERIC_WRITE | WRITE_DAC, 0, nullptr, CREATE_NEW, attributes, nullptr);
    if (file != INVALID_HANDLE_VALUE) {
      created = std::move(candidate);
      return file;
    }
    const DWORD error = ::GetLastError();
    if (error != ERROR_FILE_EXISTS && error != ERROR_ALREADY_EXISTS) return INVALID_HANDLE_VALUE;
  }
  ::SetLastError(ERROR_FILE_EXISTS);
  return INVALID_HANDLE_VALUE;
}

}  // namespace

TFileReader::TFileReader(const std::u16string& path)
    : path_(path), handle_(reinterpret_cast<std::intptr_t>(INVALID_HANDLE_VALUE))
{
  if (HasNul(path)) throw CannotOpenFile(path, Reason(ERROR_INVALID_NAME));
  // Sharing for reading only keeps other programs from changing the file
  // while it is read, and fails if one of them is writing it right now.
  THandle file(::CreateFileW(Wide(path), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                             FILE_ATTRIBUTE_NORMAL | FILE_FLAG_SEQUENTIAL_SCAN, nullptr));
  if (!file.Valid()) {
    const DWORD error = ::GetLastError();
    if (IsFolder(path)) throw CannotOpenFile(path, FolderReason());
    throw CannotOpenFile(path, Reason(error));
  }
  LARGE_INTEGER size{};
  if (::GetFileType(file.Get()) == FILE_TYPE_DISK && ::GetFileSizeEx(file.Get(), &size) && size.QuadPart >= 0)
    size_ = static_cast<std::uint64_t>(size.QuadPart);
  handle_ = reinterpret_cast<std::intptr_t>(file.Release());
}

TFileReader::~TFileReader()
{
  const auto handle = reinterpret_cast<HANDLE>(handle_);
  if (handle != INVALID_HANDLE_VALUE) ::CloseHandle(handle);
}

std::size_t TFileReader::Read(char* buffer, std::size_t capacity)
{
  DWORD got = 0;
  // ReadFile takes a 32-bit count.
  const auto wanted = static_cast<DWORD>(std::min<std::size_t>(capacity, 1U << 30));
  if (!::ReadFile(reinterpret_cast<HANDLE>(handle_), buffer, wanted, &got, nullptr)) {
    const DWORD error = ::GetLastError();
    // A pipe reports its end as an error.
    if (error == ERROR_BROKEN_PIPE) return 0;
    throw CannotOpenFile(path_, Reason(error));
  }
  return got;
}

void ReplaceFileContent(const std::u16string& path, std::string_view bytes)
{
  if (HasNul(path)) throw CannotCreateFile(path, Reason(ERROR_INVALID_NAME));
  std::u16string target = path;

  // Hidden and system files keep those marks; a new file gets the plain ones.
  DWORD attributes = FILE_ATTRIBUTE_NORMAL;
  const DWORD existing = ::GetFileAttributesW(Wide(path));
  if (existing == INVALID_FILE_ATTRIBUTES) {
    // Only a missing file may be created; anything else unknown about the
    // path could be a file that is there and must not be replaced blindly.
    const DWORD error = ::GetLastError();
    if (error != ERROR_FILE_NOT_FOUND && error != ERROR_PATH_NOT_FOUND) throw CannotCreateFile(path, Reason(error));
  } else {
    if (existing & FILE_ATTRIBUTE_DIRECTORY) throw CannotCreateFile(path, FolderReason());
    // The read-only mark refuses writing to every user, administrators
    // included. Checked here rather than left to the open below, which a
    // privileged compatibility layer can let through, after which the rename
    // would replace a file the user marked as not to be changed.
    if (existing & FILE_ATTRIBUTE_READONLY) throw CannotCreateFile(path, Reason(ERROR_ACCESS_DENIED));
    // A file the user may not write to (read-only, denied, in use) must stay
    // as it is, even though its folder would let a new file take its name.
    // One that another program has open for a moment is waited for.
    HANDLE opened = INVALID_HANDLE_VALUE;
    const DWORD error = Retried(path, TRetry::rtSharing, [&] {
      opened = ::CreateFileW(Wide(path), GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING,
                             FILE_ATTRIBUTE_NORMAL, nullptr);
      return opened != INVALID_HANDLE_VALUE;
    });
    THandle probe(opened);
    if (error != 0) throw CannotCreateFile(path, Reason(error));
    // Devices and pipes cannot be swapped for a file; they are written as they are.
    if (::GetFileType(probe.Get()) != FILE_TYPE_DISK) {
      if (!WriteAll(probe.Get(), bytes) || !probe.Close()) throw StreamWriteError();
      return;
    }
    if (existing & FILE_ATTRIBUTE_REPARSE_POINT) target = ResolveLink(probe.Get(), path);
    const DWORD kept = existing & (FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM |
                                   FILE_ATTRIBUTE_NOT_CONTENT_INDEXED | FILE_ATTRIBUTE_ARCHIVE);
    if (kept != 0) attributes = kept;
  }

  RemoveStaleTemporaries(FolderOf(target));
  std::u16string temporary;
  HANDLE created = INVALID_HANDLE_VALUE;
  const DWORD createError = Retried(target, TRetry::rtSharing, [&] {
    created = CreateSiblingFile(target, attributes, temporary);
    return created != INVALID_HANDLE_VALUE;
  });
  THandle file(created);
  if (createError != 0) throw CannotCreateFile(path, Reason(createError));

  auto discard = [&] {
    file.Close();
    ::DeleteFileW(Wide(temporary));
  };
  if (!WriteAll(file.Get(), bytes) || !::FlushFileBuffers(file.Get())) {
    discard();
    throw StreamWriteError();
  }
  if (existing != INVALID_FILE_ATTRIBUTES) TakeOverIdentity(target, file.Get());
  if (!file.Close()) {
    discard();
    throw StreamWriteError();
  }
  // One rename, which the file system makes at once: at every moment the
  // target is the whole old file or the whole new one. (ReplaceFileW moves
  // the old file aside before the new one takes its name; a save ended
  // between the two would leave no file under the name at all.) Write-through
  // returns only when the new name is on the disk as well.
  const DWORD flags = MOVEFILE_WRITE_THROUGH | (existing != INVALID_FILE_ATTRIBUTES ? MOVEFILE_REPLACE_EXISTING : 0);
  const DWORD renameError = Retried(target, TRetry::rtSharingOrAccess, [&] {
    return ::MoveFileExW(Wide(temporary), Wide(target), flags) != FALSE;
  });
  if (renameError != 0) {
    discard();
    throw CannotCreateFile(path, Reason(renameError));
  }
}

}  // namespace quenlora::platform
