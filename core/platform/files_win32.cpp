#include "platform.h"

#include "win32.h"

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

// Creates a new, empty file beside the target under a name nobody else uses.
HANDLE CreateSiblingFile(const std::u16string& target, DWORD attributes, std::u16string& created)
{
  thread_local std::mt19937_64 random{std::random_device{}() ^ static_cast<std::uint64_t>(::GetTickCount64()) ^
                                      (static_cast<std::uint64_t>(::GetCurrentProcessId()) << 32)};
  const auto cut = target.find_last_of(u"\\/");
  std::u16string folder;
  if (cut != std::u16string::npos)
    folder = target.substr(0, cut + 1);
  else if (target.size() >= 2 && target[1] == u':')
    folder = target.substr(0, 2);  // "C:name" is relative to that drive's current folder
  const std::u16string name = target.substr(folder.size());

  for (int attempt = 0; attempt < 100; ++attempt) {
    std::u16string candidate = folder + TemporaryFileName(name, random());
    const HANDLE file =
        ::CreateFileW(Wide(candidate), GENERIC_WRITE, 0, nullptr, CREATE_NEW, attributes, nullptr);
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
    THandle probe(::CreateFileW(Wide(path), GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                                OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!probe.Valid()) throw CannotCreateFile(path, Reason(::GetLastError()));
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

  std::u16string temporary;
  THandle file(CreateSiblingFile(target, attributes, temporary));
  if (!file.Valid()) throw CannotCreateFile(path, Reason(::GetLastError()));

  auto discard = [&] {
    file.Close();
    ::DeleteFileW(Wide(temporary));
  };
  if (!WriteAll(file.Get(), bytes) || !::FlushFileBuffers(file.Get()) || !file.Close()) {
    discard();
    throw StreamWriteError();
  }
  if (existing != INVALID_FILE_ATTRIBUTES) {
    // The system's replacement keeps what the old file had beyond its bytes:
    // its security settings and owner, its creation time, its alternate
    // streams. Moving the new file over it would drop all of them.
    if (!::ReplaceFileW(Wide(target), Wide(temporary), nullptr, REPLACEFILE_IGNORE_MERGE_ERRORS, nullptr, nullptr)) {
      const DWORD error = ::GetLastError();
      discard();
      throw CannotCreateFile(path, Reason(error));
    }
    return;
  }
  // Write-through returns only when the new name is on the disk as well.
  if (!::MoveFileExW(Wide(temporary), Wide(target), MOVEFILE_WRITE_THROUGH)) {
    const DWORD error = ::GetLastError();
    discard();
    throw CannotCreateFile(path, Reason(error));
  }
}

}  // namespace quenlora::platform
