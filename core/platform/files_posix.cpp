// SPDX-FileCopyrightText: 2026 The Quenlora authors
// SPDX-License-Identifier: GPL-3.0-or-later

#include "platform.h"

#include <cerrno>
#include <cstring>
#include <dirent.h>
#include <fcntl.h>
#include <random>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include "../batch_error.h"
#include "../unicode_text.h"
#include "file_faults.h"
#include "temporary_name.h"

namespace quenlora::platform {

namespace {

struct TFault {
  int Error = 0;
  int Remaining = 0;
};
TFault faults[static_cast<int>(TFilePoint::fpCount)];

// Runs the system call unless a test armed a failure at its point; either way
// returns what the call returns, with errno set on failure.
template <class Call>
auto Guarded(TFilePoint point, Call call) -> decltype(call())
{
  TFault& fault = faults[static_cast<int>(point)];
  if (fault.Remaining > 0) {
    --fault.Remaining;
    errno = fault.Error;
    return -1;
  }
  return call();
}

std::u16string Reason(int error) { return FromUtf8Lossy(std::strerror(error)); }

std::string NativePath(const std::u16string& path) { return ToUtf8Lossy(path); }

class TFileDescriptor {
public:
  explicit TFileDescriptor(int fd) : fd_(fd) {}
  TFileDescriptor(const TFileDescriptor&) = delete;
  TFileDescriptor& operator=(const TFileDescriptor&) = delete;
  ~TFileDescriptor()
  {
    if (fd_ >= 0) ::close(fd_);
  }
  int Get() const { return fd_; }
  // Hands the descriptor over to the caller, who closes it.
  int Release()
  {
    const int fd = fd_;
    fd_ = -1;
    return fd;
  }
  // Closes the file where its error matters; returns the error of close(), or 0.
  int Close()
  {
    if (fd_ < 0) return 0;
    const int result = ::close(fd_);
    fd_ = -1;
    return Guarded(TFilePoint::fpClose, [result] { return result; }) == 0 ? 0 : errno;
  }

private:
  int fd_;
};

// Returns 0 or the error that stopped the writing.
int WriteAll(int fd, std::string_view bytes)
{
  while (!bytes.empty()) {
    const ssize_t written =
        Guarded(TFilePoint::fpWrite, [&] { return ::write(fd, bytes.data(), bytes.size()); });
    if (written < 0) {
      if (errno == EINTR) continue;
      return errno;
    }
    if (written == 0) return ENOSPC;
    bytes.remove_prefix(static_cast<std::size_t>(written));
  }
  return 0;
}

std::string FolderOf(const std::string& path)
{
  const auto slash = path.rfind('/');
  if (slash == std::string::npos) return ".";
  if (slash == 0) return "/";
  return path.substr(0, slash);
}

std::string FileNameOf(const std::string& path)
{
  const auto slash = path.rfind('/');
  return slash == std::string::npos ? path : path.substr(slash + 1);
}

// The file that a save really replaces: a symbolic link stands for its target.
std::string ResolveLinks(const std::string& path)
{
  char* resolved = ::realpath(path.c_str(), nullptr);
  if (resolved == nullptr) return path;
  std::string result(resolved);
  std::free(resolved);
  return result;
}

// A fresh temporary name beside the target, with the program's mark.
std::string TemporaryName(const std::string& target)
{
  // A local static's guard has paths that only a thread meeting another one
  // in its initialisation takes; its branches are not counted.
  static std::mt19937_64 random{std::random_device{}()};  // GCOVR_EXCL_BR_LINE
  return FolderOf(target) + "/" + TemporaryFileName(FileNameOf(target), random());
}

// A save that was killed leaves its temporary file behind. Only names with
// the program's mark are looked at, so another program's temporary is never
// touched. Every save holds a lock on its own temporary for as long as it
// runs, and the system drops the lock of a process that died; so a marked
// temporary of the user's own whose lock can be taken belongs to no running
// save and is removed.
void RemoveStaleTemporaries(const std::string& folder)
{
  DIR* listing = ::opendir(folder.c_str());
  if (listing == nullptr) return;
  while (const dirent* entry = ::readdir(listing)) {
    if (!IsTemporaryFileName(entry->d_name)) continue;
    const std::string path = folder + "/" + entry->d_name;
    TFileDescriptor file(::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NOFOLLOW | O_NONBLOCK | O_NOCTTY));
    if (file.Get() < 0) continue;
    struct stat info {};
    if (::fstat(file.Get(), &info) == 0 && S_ISREG(info.st_mode) && info.st_uid == ::geteuid() &&
        ::flock(file.Get(), LOCK_EX | LOCK_NB) == 0)
      ::unlink(path.c_str());
  }
  ::closedir(listing);
}

// Creates a new, empty temporary file beside the target under a name nobody
// else uses, locked for as long as it is open.
int CreateNamedTemporary(const std::string& target, std::string& created)
{
  for (int attempt = 0; attempt < 100; ++attempt) {
    std::string candidate = TemporaryName(target);
    const int fd = Guarded(TFilePoint::fpNamedCreate, [&] {
      return ::open(candidate.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC | O_NOCTTY, 0666);
    });
    if (fd >= 0) {
      ::flock(fd, LOCK_EX);
      created = std::move(candidate);
      return fd;
    }
    if (errno != EEXIST) return -1;
  }
  errno = EEXIST;
  return -1;
}

// A file in the folder that has no name until it is complete, so that a save
// killed part-way leaves nothing behind. -1 with errno where the system or
// the file system has no such files.
int CreateUnnamedFile(const std::string& folder)
{
#ifdef O_TMPFILE
  const int fd = Guarded(TFilePoint::fpUnnamedCreate,
                         [&] { return ::open(folder.c_str(), O_TMPFILE | O_WRONLY | O_CLOEXEC, 0666); });
  if (fd >= 0) ::flock(fd, LOCK_EX);
  return fd;
#else
  (void)folder;
  errno = EOPNOTSUPP;
  return -1;
#endif
}

bool UnnamedFilesUnsupported(int error)
{
  return error == EOPNOTSUPP || error == EISDIR || error == EINVAL || error == ENOSYS;
}

// Gives the unnamed file the name; 0 or the error.
int LinkUnnamedFile(int fd, const std::string& name)
{
  const int linked = Guarded(TFilePoint::fpLink, [&] {
#ifdef AT_EMPTY_PATH
    // Needs a privilege on older kernels; the path through /proc does not.
    if (Guarded(TFilePoint::fpLinkByDescriptor,
                [&] { return ::linkat(fd, "", AT_FDCWD, name.c_str(), AT_EMPTY_PATH); }) == 0)
      return 0;
    if (errno != ENOENT && errno != EPERM && errno != EACCES) return -1;
#endif
    const std::string self = "/proc/self/fd/" + std::to_string(fd);
    return ::linkat(AT_FDCWD, self.c_str(), AT_FDCWD, name.c_str(), AT_SYMLINK_FOLLOW);
  });
  return linked == 0 ? 0 : errno;
}

// Writes into the file itself: devices and pipes, which cannot be swapped
// for a file, and a file the user may write in a folder where they may not
// create files. Not atomic: a failure part-way leaves the file cut short.
void WriteInPlace(const std::u16string& path, const std::string& native, std::string_view bytes)
{
  TFileDescriptor file(::open(native.c_str(), O_WRONLY | O_TRUNC | O_CLOEXEC | O_NOCTTY));
  if (file.Get() < 0) throw CannotCreateFile(path, Reason(errno));
  if (WriteAll(file.Get(), bytes) != 0) throw StreamWriteError();
  struct stat info {};
  const bool regular = ::fstat(file.Get(), &info) == 0 && S_ISREG(info.st_mode);
  if (regular && Guarded(TFilePoint::fpFlush, [&] { return ::fsync(file.Get()); }) != 0) throw StreamWriteError();
  if (file.Close() != 0) throw StreamWriteError();
}

// Makes a new name in the folder durable; a failure here no longer endangers any data.
void FlushFolder(const std::string& folder)
{
  TFileDescriptor handle(::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
  if (handle.Get() >= 0) Guarded(TFilePoint::fpFolderFlush, [&] { return ::fsync(handle.Get()); });
}

bool MayWriteInPlaceAfter(int error) { return error == EACCES || error == EPERM; }

}  // namespace

void FailFileCalls(TFilePoint point, int error, int times) { faults[static_cast<int>(point)] = {error, times}; }

void ClearFileFaults()
{
  for (TFault& fault : faults) fault = {};
}

TFileReader::TFileReader(const std::u16string& path) : path_(path), handle_(-1)
{
  // POSIX has no mandatory share modes; another writer can only be kept out
  // by cooperation, so the file is simply read.
  TFileDescriptor file(::open(NativePath(path).c_str(), O_RDONLY | O_CLOEXEC | O_NOCTTY));
  if (file.Get() < 0) throw CannotOpenFile(path, Reason(errno));
  struct stat info {};
  // fstat of a descriptor just opened fails only on a broken system (EIO, or
  // EOVERFLOW where off_t is narrower than the file): no test can make it.
  if (::fstat(file.Get(), &info) != 0) throw CannotOpenFile(path, Reason(errno));  // GCOVR_EXCL_BR_LINE
  if (S_ISDIR(info.st_mode)) throw CannotOpenFile(path, Reason(EISDIR));
  if (S_ISREG(info.st_mode)) size_ = static_cast<std::uint64_t>(info.st_size);
#ifdef POSIX_FADV_SEQUENTIAL
  ::posix_fadvise(file.Get(), 0, 0, POSIX_FADV_SEQUENTIAL);
#endif
  handle_ = file.Release();
}

TFileReader::~TFileReader()
{
  // A reader that exists has its file open; the test is only a safeguard.
  if (handle_ >= 0) ::close(static_cast<int>(handle_));  // GCOVR_EXCL_BR_LINE
}

std::size_t TFileReader::Read(char* buffer, std::size_t capacity)
{
  for (;;) {
    const ssize_t got =
        Guarded(TFilePoint::fpRead, [&] { return ::read(static_cast<int>(handle_), buffer, capacity); });
    if (got >= 0) return static_cast<std::size_t>(got);
    if (errno != EINTR) throw CannotOpenFile(path_, Reason(errno));
  }
}

namespace {

// What a save knows about its target.
struct TTarget {
  const std::u16string& Path;  // as the caller named it, for messages
  std::string Native;          // symbolic links resolved
  std::string Folder;
  bool Exists = false;
  struct stat Existing {};
};

// Holds a temporary's lock until the save ends, whatever happens to the
// descriptor the save writes through (the lock belongs to the open file,
// which the duplicate keeps open).
class TLock {
public:
  explicit TLock(int fd) : fd_(fd >= 0 ? ::fcntl(fd, F_DUPFD_CLOEXEC, 0) : -1) {}
  TLock(const TLock&) = delete;
  TLock& operator=(const TLock&) = delete;
  ~TLock()
  {
    if (fd_ >= 0) ::close(fd_);
  }
  // The open file, also after the save's own descriptor is closed.
  int Get() const { return fd_; }

private:
  int fd_;
};

// Gives the new file the replaced file's permissions and, where allowed, its
// owner; writes and flushes the bytes. False when writing or flushing failed.
bool Fill(const TTarget& target, int fd, std::string_view bytes)
{
  if (target.Exists) {
    ::fchmod(fd, target.Existing.st_mode & 07777);
    [[maybe_unused]] const int ignored = ::fchown(fd, target.Existing.st_uid, target.Existing.st_gid);
  }
  return WriteAll(fd, bytes) == 0 && Guarded(TFilePoint::fpFlush, [&] { return ::fsync(fd); }) == 0;
}

// Moves the complete temporary over the target; on failure removes it and
// writes in place where that is what the user may still do.
void RenameOver(const TTarget& target, const std::string& temporary, std::string_view bytes)
{
  if (Guarded(TFilePoint::fpRename, [&] { return ::rename(temporary.c_str(), target.Native.c_str()); }) != 0) {
    const int error = errno;
    ::unlink(temporary.c_str());
    if (target.Exists && MayWriteInPlaceAfter(error)) return WriteInPlace(target.Path, target.Native, bytes);
    throw CannotCreateFile(target.Path, Reason(error));
  }
  FlushFolder(target.Folder);
}

// Through a file without a name: a save killed before the end leaves nothing.
// False when this system or file system has no such files, or the file cannot
// be given a name; nothing has changed then.
bool ReplaceThroughUnnamedFile(const TTarget& target, std::string_view bytes)
{
  TFileDescriptor file(CreateUnnamedFile(target.Folder));
  if (file.Get() < 0) {
    const int error = errno;
    if (UnnamedFilesUnsupported(error)) return false;
    if (target.Exists && MayWriteInPlaceAfter(error)) {
      WriteInPlace(target.Path, target.Native, bytes);
      return true;
    }
    throw CannotCreateFile(target.Path, Reason(error));
  }
  const TLock lock(file.Get());
  if (!Fill(target, file.Get(), bytes)) throw StreamWriteError();
  if (file.Close() != 0) throw StreamWriteError();
  // A new target simply gets the file's name; an existing one is replaced by
  // renaming, which needs a name to rename from.
  if (!target.Exists) {
    const int error = LinkUnnamedFile(lock.Get(), target.Native);
    if (error == 0) {
      FlushFolder(target.Folder);
      return true;
    }
    if (error != EEXIST) return false;
  }
  std::string temporary;
  int error = EEXIST;
  for (int attempt = 0; error == EEXIST && attempt < 100; ++attempt) {
    temporary = TemporaryName(target.Native);
    error = LinkUnnamedFile(lock.Get(), temporary);
  }
  if (error != 0) return false;
  RenameOver(target, temporary, bytes);
  return true;
}

// Through a temporary file beside the target, named from the start; a save
// killed part-way leaves it, and the next save removes it.
void ReplaceThroughNamedFile(const TTarget& target, std::string_view bytes)
{
  std::string temporary;
  TFileDescriptor file(CreateNamedTemporary(target.Native, temporary));
  if (file.Get() < 0) {
    const int error = errno;
    if (target.Exists && MayWriteInPlaceAfter(error)) return WriteInPlace(target.Path, target.Native, bytes);
    throw CannotCreateFile(target.Path, Reason(error));
  }
  const TLock lock(file.Get());
  if (!Fill(target, file.Get(), bytes) || file.Close() != 0) {
    file.Close();
    ::unlink(temporary.c_str());
    throw StreamWriteError();
  }
  RenameOver(target, temporary, bytes);
}

}  // namespace

void ReplaceFileContent(const std::u16string& path, std::string_view bytes)
{
  TTarget target{path, ResolveLinks(NativePath(path)), {}};
  target.Folder = FolderOf(target.Native);
  target.Exists = ::stat(target.Native.c_str(), &target.Existing) == 0;
  if (target.Exists) {
    if (S_ISDIR(target.Existing.st_mode)) throw CannotCreateFile(path, Reason(EISDIR));
    // Devices and pipes cannot be swapped for a file; they are written as they are.
    if (!S_ISREG(target.Existing.st_mode)) return WriteInPlace(path, target.Native, bytes);
    // A file the user may not write to must stay as it is, even though its
    // folder would let a new file take its name.
    TFileDescriptor probe(::open(target.Native.c_str(), O_WRONLY | O_CLOEXEC | O_NOCTTY));
    if (probe.Get() < 0) throw CannotCreateFile(path, Reason(errno));
  }
  RemoveStaleTemporaries(target.Folder);
  if (!ReplaceThroughUnnamedFile(target, bytes)) ReplaceThroughNamedFile(target, bytes);
}

}  // namespace quenlora::platform
