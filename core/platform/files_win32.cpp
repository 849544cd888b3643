// SPDX-FileCopyrightText: 2026 The Quenlora authors
// SPDX-License-Identifier: GPL-3.0-or-later

#include "platform.h"

#include "win32.h"

#include <aclapi.h>

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <optional>
#include <random>
#include <vector>

#include "../batch_error.h"
#include "file_faults.h"
#include "long_path.h"
#include "temporary_name.h"

namespace quenlora::platform {

namespace {

const wchar_t* Wide(const std::u16string& path) { return reinterpret_cast<const wchar_t*>(path.c_str()); }

// A NUL would silently cut the path short and name another file.
bool HasNul(const std::u16string& path) { return path.find(u'\0') != std::u16string::npos; }

struct TFault {
  DWORD Error = 0;
  int Remaining = 0;
};
TFault faults[static_cast<int>(TFilePoint::fpCount)];
// Whether any point is armed: all that an unarmed point costs is testing it.
bool anyFault = false;

// The error a test armed at the point, set as the last error, or 0: then the
// real call is made.
DWORD InjectedFault(TFilePoint point)
{
  if (!anyFault) [[likely]]
    return 0;
  TFault& fault = faults[static_cast<int>(point)];
  if (fault.Remaining <= 0) return 0;
  --fault.Remaining;
  ::SetLastError(fault.Error);
  return fault.Error;
}

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

// The path's attributes are asked for in the form the system is handed.
bool IsFolder(const std::u16string& systemPath)
{
  const DWORD attributes = ::GetFileAttributesW(Wide(systemPath));
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
    if (InjectedFault(TFilePoint::fpWrite) != 0) return false;
    if (!::WriteFile(file, bytes.data(), slice, &written, nullptr) || written == 0) return false;
    bytes.remove_prefix(written);
  }
  return true;
}

bool Flush(HANDLE file) { return InjectedFault(TFilePoint::fpFlush) == 0 && ::FlushFileBuffers(file); }

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
// touched. A running save holds its temporary open without sharing of any
// kind from the moment it creates it until it has renamed or deleted it (the
// rename is made through that handle), so the system refuses to delete the
// temporary of a save that is still running, in this program or in one on
// another computer that saves into the same share; one it deletes belonged
// to no running save.
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
// so it is not an error; the access list is left to the folder's inheritance
// where the new file could not be opened for changing it.
void TakeOverIdentity(const std::u16string& target, HANDLE replacement, bool mayChangeAccess)
{
  WIN32_FILE_ATTRIBUTE_DATA data{};
  if (::GetFileAttributesExW(Wide(target), GetFileExInfoStandard, &data))
    ::SetFileTime(replacement, &data.ftCreationTime, nullptr, nullptr);
  if (!mayChangeAccess) return;
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

// The class of SetFileInformationByHandle that renames with flags (Windows 10
// 1607 on), and its flags; not in every SDK's headers.
constexpr auto kFileRenameInfoEx = static_cast<FILE_INFO_BY_HANDLE_CLASS>(22);
constexpr DWORD kRenameReplaceIfExists = 0x1;
constexpr DWORD kRenamePosixSemantics = 0x2;

// A save's temporary file beside the target. It is held open, without
// sharing of any kind, from its creation until it has taken the target's
// name or is deleted: both are done through this handle, so there is no
// moment at which another program's clean-up could take it for a leftover.
class TTemporary {
public:
  TTemporary() = default;
  TTemporary(const TTemporary&) = delete;
  TTemporary& operator=(const TTemporary&) = delete;
  ~TTemporary()
  {
    if (file_ != INVALID_HANDLE_VALUE) ::CloseHandle(file_);
  }

  // Creates a new, empty file beside the target under a name nobody else
  // uses, with the right to delete it (to rename it, or to delete it when the
  // save fails) and, where that is granted, to change its access list, which
  // is optional. Returns 0 or the error, also as the last error:
  // ERROR_ACCESS_DENIED when the folder takes no file that this save could
  // delete again.
  DWORD Create(const std::u16string& target, DWORD attributes)
  {
    thread_local std::mt19937_64 random{std::random_device{}() ^ static_cast<std::uint64_t>(::GetTickCount64()) ^
                                        (static_cast<std::uint64_t>(::GetCurrentProcessId()) << 32)};
    const std::u16string folder = FolderOf(target);
    const std::u16string name = target.substr(folder.size());
    DWORD error = ERROR_FILE_EXISTS;
    for (const DWORD access : {GENERIC_WRITE | DELETE | WRITE_DAC, GENERIC_WRITE | DELETE}) {
      for (int attempt = 0; attempt < 100; ++attempt) {
        std::u16string candidate = folder + TemporaryFileName(name, random());
        const HANDLE file = InjectedFault(TFilePoint::fpNamedCreate) != 0
                                ? INVALID_HANDLE_VALUE
                                : ::CreateFileW(Wide(candidate), access, 0, nullptr, CREATE_NEW, attributes, nullptr);
        if (file != INVALID_HANDLE_VALUE) {
          file_ = file;
          path_ = std::move(candidate);
          mayChangeAccess_ = (access & WRITE_DAC) != 0;
          return 0;
        }
        error = ::GetLastError();
        if (error != ERROR_FILE_EXISTS && error != ERROR_ALREADY_EXISTS) break;
      }
      if (error != ERROR_ACCESS_DENIED) break;
    }
    ::SetLastError(error);
    return error;
  }

  HANDLE Get() const { return file_; }
  bool MayChangeAccess() const { return mayChangeAccess_; }

  // Gives the file the target's name, replacing the target; true when done,
  // else the last error tells why. First with the semantics of POSIX, where
  // the system has them (Windows 10 1607 on, NTFS): a target that a viewer
  // or a preview pane holds open with deleting shared is replaced too, and
  // keeps its old content for that program. Then as every version does it.
  bool RenameTo(const std::u16string& target)
  {
    if (InjectedFault(TFilePoint::fpRename) != 0) return false;
    const std::size_t nameBytes = target.size() * sizeof(wchar_t);
    // The structure holds one character of the name already: room for the
    // terminating NUL, which some of the system's paths read the name up to.
    std::vector<unsigned char> buffer(sizeof(FILE_RENAME_INFO) + nameBytes);
    auto* info = reinterpret_cast<FILE_RENAME_INFO*>(buffer.data());
    info->RootDirectory = nullptr;
    info->FileNameLength = static_cast<DWORD>(nameBytes);
    std::memcpy(info->FileName, target.data(), nameBytes);
    // The flags share their place with the older structure's ReplaceIfExists.
    const DWORD flags = kRenameReplaceIfExists | kRenamePosixSemantics;
    std::memcpy(buffer.data(), &flags, sizeof flags);
    const auto size = static_cast<DWORD>(buffer.size());
    if (::SetFileInformationByHandle(file_, kFileRenameInfoEx, info, size)) return true;
    const DWORD none = 0;
    std::memcpy(buffer.data(), &none, sizeof none);
    info->ReplaceIfExists = TRUE;
    return ::SetFileInformationByHandle(file_, FileRenameInfo, info, size) != FALSE;
  }

  // After the rename: asks the file system to make the new name durable too
  // (the data are on the disk already), and lets the file go.
  void Finish()
  {
    ::FlushFileBuffers(file_);
    ::CloseHandle(file_);
    file_ = INVALID_HANDLE_VALUE;
  }

  // Deletes the file through its handle. One that cannot be deleted is never
  // left behind silently: the save ends with the failure given, and the
  // message names the file.
  void Remove(const TBatchError& failure)
  {
    FILE_DISPOSITION_INFO disposition{};
    disposition.DeleteFile = TRUE;
    DWORD error = 0;
    if (InjectedFault(TFilePoint::fpDelete) != 0 ||
        !::SetFileInformationByHandle(file_, FileDispositionInfo, &disposition, sizeof disposition))
      error = ::GetLastError();
    ::CloseHandle(file_);
    file_ = INVALID_HANDLE_VALUE;
    if (error != 0)
      throw TBatchError(failure.Message() + u". The temporary file \"" + DisplayedPath(path_) +
                        u"\" could not be deleted. " + CleanReason(Reason(error)));
  }

  // Ends a failed save: deletes the file and throws the failure.
  [[noreturn]] void Fail(const TBatchError& failure)
  {
    Remove(failure);
    throw failure;
  }

private:
  HANDLE file_ = INVALID_HANDLE_VALUE;
  std::u16string path_;
  bool mayChangeAccess_ = false;
};

// Opens an existing file for writing into it, as other programs may read and
// write it meanwhile; waits for one that has it open for a moment.
HANDLE OpenForWriting(const std::u16string& target, DWORD& error)
{
  HANDLE opened = INVALID_HANDLE_VALUE;
  error = Retried(target, TRetry::rtSharing, [&] {
    opened = ::CreateFileW(Wide(target), GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING,
                           FILE_ATTRIBUTE_NORMAL, nullptr);
    return opened != INVALID_HANDLE_VALUE;
  });
  return opened;
}

// Writes the bytes into the open file from its start and cuts it there. Not
// atomic: a failure part-way leaves the file cut short or mixed.
void WriteInPlace(HANDLE file, std::string_view bytes)
{
  THandle held(file);
  LARGE_INTEGER start{};
  if (!::SetFilePointerEx(held.Get(), start, nullptr, FILE_BEGIN) || !WriteAll(held.Get(), bytes) ||
      !::SetEndOfFile(held.Get()) || !Flush(held.Get()) || !held.Close())
    throw StreamWriteError();
}

}  // namespace

std::u16string SystemPath(const std::u16string& path)
{
  if (path.empty() || HasNul(path)) return path;
  std::wstring full(MAX_PATH, L'\0');
  for (;;) {
    const DWORD length = ::GetFullPathNameW(Wide(path), static_cast<DWORD>(full.size()), full.data(), nullptr);
    if (length == 0) return path;
    // Too small a buffer gets back the size it needs, terminating NUL included.
    if (length < full.size()) {
      full.resize(length);
      break;
    }
    full.resize(length);
  }
  return ExtendedLengthPath(std::u16string_view(reinterpret_cast<const char16_t*>(full.data()), full.size()));
}

void FailFileCalls(TFilePoint point, int error, int times)
{
  faults[static_cast<int>(point)] = {static_cast<DWORD>(error), times};
  anyFault = true;
}

void ClearFileFaults()
{
  for (TFault& fault : faults) fault = {};
  anyFault = false;
}

TFileReader::TFileReader(const std::u16string& path)
    : path_(path), handle_(reinterpret_cast<std::intptr_t>(INVALID_HANDLE_VALUE))
{
  if (HasNul(path)) throw CannotOpenFile(path, Reason(ERROR_INVALID_NAME));
  const std::u16string system = SystemPath(path);
  // Sharing for reading only keeps other programs from changing the file
  // while it is read, and fails if one of them is writing it right now.
  THandle file(InjectedFault(TFilePoint::fpOpen) != 0
                   ? INVALID_HANDLE_VALUE
                   : ::CreateFileW(Wide(system), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                                   FILE_ATTRIBUTE_NORMAL | FILE_FLAG_SEQUENTIAL_SCAN, nullptr));
  if (!file.Valid()) {
    const DWORD error = ::GetLastError();
    if (IsFolder(system)) throw CannotOpenFile(path, FolderReason());
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
  if (InjectedFault(TFilePoint::fpRead) != 0 ||
      !::ReadFile(reinterpret_cast<HANDLE>(handle_), buffer, wanted, &got, nullptr)) {
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
  // Messages name the path as the caller gave it; the system gets its full,
  // extended-length form.
  std::u16string target = SystemPath(path);

  // Hidden and system files keep those marks; a new file gets the plain ones.
  DWORD attributes = FILE_ATTRIBUTE_NORMAL;
  const DWORD existing = ::GetFileAttributesW(Wide(target));
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
    DWORD error = 0;
    THandle probe(OpenForWriting(target, error));
    if (error != 0) throw CannotCreateFile(path, Reason(error));
    // Devices and pipes cannot be swapped for a file; they are written as they are.
    if (::GetFileType(probe.Get()) != FILE_TYPE_DISK) {
      if (!WriteAll(probe.Get(), bytes) || !probe.Close()) throw StreamWriteError();
      return;
    }
    if (existing & FILE_ATTRIBUTE_REPARSE_POINT) target = ExtendedLengthPath(ResolveLink(probe.Get(), target));
    const DWORD kept = existing & (FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM |
                                   FILE_ATTRIBUTE_NOT_CONTENT_INDEXED | FILE_ATTRIBUTE_ARCHIVE);
    if (kept != 0) attributes = kept;
  }

  RemoveStaleTemporaries(FolderOf(target));
  TTemporary temporary;
  const DWORD createError = Retried(target, TRetry::rtSharing, [&] { return temporary.Create(target, attributes) == 0; });
  if (createError == ERROR_ACCESS_DENIED) {
    // The folder takes no file that this save could delete again (a share
    // that grants writing but not deleting), or no new file at all. A file
    // that is there is written in place; a new one is written under its own
    // name from the start. Neither is atomic, and there is no other way.
    if (existing != INVALID_FILE_ATTRIBUTES) {
      DWORD error = 0;
      const HANDLE file = OpenForWriting(target, error);
      if (error != 0) throw CannotCreateFile(path, Reason(error));
      return WriteInPlace(file, bytes);
    }
    THandle file(InjectedFault(TFilePoint::fpNamedCreate) != 0
                     ? INVALID_HANDLE_VALUE
                     : ::CreateFileW(Wide(target), GENERIC_WRITE, 0, nullptr, CREATE_NEW, attributes, nullptr));
    if (!file.Valid()) throw CannotCreateFile(path, Reason(::GetLastError()));
    if (!WriteAll(file.Get(), bytes) || !Flush(file.Get()) || !file.Close()) throw StreamWriteError();
    return;
  }
  if (createError != 0) throw CannotCreateFile(path, Reason(createError));

  if (!WriteAll(temporary.Get(), bytes) || !Flush(temporary.Get())) temporary.Fail(StreamWriteError());
  if (existing != INVALID_FILE_ATTRIBUTES) TakeOverIdentity(target, temporary.Get(), temporary.MayChangeAccess());
  // One rename, which the file system makes at once: at every moment the
  // target is the whole old file or the whole new one. (ReplaceFileW moves
  // the old file aside before the new one takes its name; a save ended
  // between the two would leave no file under the name at all.)
  const DWORD renameError = Retried(target, TRetry::rtSharingOrAccess, [&] { return temporary.RenameTo(target); });
  if (renameError == 0) return temporary.Finish();
  if (renameError == ERROR_ACCESS_DENIED && existing != INVALID_FILE_ATTRIBUTES) {
    // The target may be written but not replaced: the share grants writing
    // but not deleting, or another program holds it open beyond the wait. It
    // is written in place, as where no temporary can be made.
    DWORD error = 0;
    const HANDLE file = OpenForWriting(target, error);
    if (error == 0) {
      THandle inPlace(file);
      temporary.Remove(CannotCreateFile(path, Reason(renameError)));
      return WriteInPlace(inPlace.Release(), bytes);
    }
  }
  temporary.Fail(CannotCreateFile(path, Reason(renameError)));
}

}  // namespace quenlora::platform
