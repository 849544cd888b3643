// SPDX-FileCopyrightText: 2026 The Quenlora authors
// SPDX-License-Identifier: GPL-3.0-or-later
#include "journal_file.h"

#include <algorithm>
#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <dirent.h>
#include <fcntl.h>
#include <pwd.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include "../batch_error.h"
#include "journal_file_seams.h"
#include "../unicode_text.h"

namespace quenlora::platform {

namespace {

[[noreturn]] void Fail(int error) { throw TBatchError(CleanReason(FromUtf8Lossy(std::strerror(error)))); }

std::string Native(const std::u16string& path) { return ToUtf8Lossy(path); }

// Makes the folder and those above it that are missing, private to the user.
void MakeFolders(const std::string& path)
{
  for (std::size_t slash = path.find('/', 1);; slash = path.find('/', slash + 1)) {
    const std::string part = path.substr(0, slash);
    // The path is absolute, so no part is empty.
    if (::mkdir(part.c_str(), 0700) != 0 && errno != EEXIST) Fail(errno);
    if (slash == std::string::npos) break;
  }
  struct stat info {};
  if (::stat(path.c_str(), &info) != 0) Fail(errno);
  if (!S_ISDIR(info.st_mode)) Fail(ENOTDIR);
}

std::string Home()
{
  if (const char* home = std::getenv("HOME"); home != nullptr && home[0] == '/') return home;
  if (const passwd* user = ::getpwuid(::getuid()); user != nullptr && user->pw_dir != nullptr) return user->pw_dir;
  return {};
}

// Fails the call as the system would when a test armed it.
void Guard(TJournalCall call)
{
  if (const int error = TakeJournalFault(call); error != 0) Fail(static_cast<int>(error));
}

}  // namespace

TJournalFile TJournalFile::CreateNew(const std::u16string& path)
{
  Guard(TJournalCall::jcCreate);
  const int fd = ::open(Native(path).c_str(), O_RDWR | O_CREAT | O_EXCL | O_CLOEXEC | O_APPEND, 0600);
  if (fd < 0) Fail(errno);
  TJournalFile file(fd);
  // A file nobody else knows yet: the lock cannot be taken by anyone first.
  if (::flock(fd, LOCK_EX | LOCK_NB) != 0) Fail(errno);  // GCOVR_EXCL_BR_LINE
  return file;
}

std::optional<TJournalFile> TJournalFile::OpenUnheld(const std::u16string& path)
{
  const int fd = ::open(Native(path).c_str(), O_RDWR | O_CLOEXEC | O_NOFOLLOW | O_NONBLOCK | O_NOCTTY);
  if (fd < 0) {
    if (errno == ENOENT) return std::nullopt;
    Fail(errno);
  }
  TJournalFile file(fd);
  struct stat info {};
  // A descriptor just opened: fstat fails on none.
  if (::fstat(fd, &info) != 0) Fail(errno);  // GCOVR_EXCL_BR_LINE
  if (!S_ISREG(info.st_mode)) Fail(EINVAL);
  if (::flock(fd, LOCK_EX | LOCK_NB) != 0) {
    // Anything but another's hold: a file system without locks, which no test has at hand.
    if (errno == EWOULDBLOCK) return std::nullopt;  // GCOVR_EXCL_BR_LINE
    Fail(errno);
  }
  return file;
}

void TJournalFile::Write(std::string_view bytes)
{
  Guard(TJournalCall::jcWrite);
  const int fd = static_cast<int>(handle_);
  while (!bytes.empty()) {
    const ssize_t written = ::write(fd, bytes.data(), bytes.size());
    if (written < 0) {
      // Signals interrupt writes only on some network file systems.
      if (errno == EINTR) continue;  // GCOVR_EXCL_BR_LINE
      Fail(errno);
    }
    bytes.remove_prefix(static_cast<std::size_t>(written));
  }
}

void TJournalFile::Flush()
{
  Guard(TJournalCall::jcFlush);
  WaitAsASlowDisk();
  if (::fdatasync(static_cast<int>(handle_)) != 0) Fail(errno);
}

std::string TJournalFile::ReadAll()
{
  Guard(TJournalCall::jcRead);
  const int fd = static_cast<int>(handle_);
  std::string bytes;
  std::size_t size = 0;
  // Read straight into the string: as large as the file, and larger only
  // when the file goes on.
  struct stat info {};
  if (::fstat(fd, &info) == 0) bytes.resize(static_cast<std::size_t>(info.st_size) + 1);
  for (;;) {
    if (bytes.size() == size) bytes.resize(std::max<std::size_t>(2 * bytes.size(), size + 65536));
    const ssize_t got = ::pread(fd, bytes.data() + size, bytes.size() - size, static_cast<off_t>(size));
    if (got < 0) {
      // Signals interrupt reads only on some network file systems.
      if (errno == EINTR) continue;  // GCOVR_EXCL_BR_LINE
      Fail(errno);
    }
    if (got == 0) break;
    size += static_cast<std::size_t>(got);
  }
  bytes.resize(size);
  return bytes;
}

void TJournalFile::Close()
{
  if (handle_ != -1) ::close(static_cast<int>(handle_));
  handle_ = -1;
}

void TJournalFile::Replace(TJournalFile& held, TJournalFile& fresh, const std::u16string& freshPath,
                           const std::u16string& path)
{
  Guard(TJournalCall::jcReplace);
  (void)fresh;
  // The new file is held already; its lock goes with it to the new name.
  if (::rename(Native(freshPath).c_str(), Native(path).c_str()) != 0) Fail(errno);
  held.Close();
  // The rename itself reaches the disk with the folder.
  const std::string folder = Native(path.substr(0, path.rfind(u'/') + 1));
  const int dir = ::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (dir >= 0) {
    ::fsync(dir);
    ::close(dir);
  }
}

std::u16string StateFolder()
{
  if (const int fault = StateFolderFault(); fault != 0) Fail(fault);
  std::string base;
  if (const char* state = std::getenv("XDG_STATE_HOME"); state != nullptr && state[0] == '/') {
    base = state;
  } else {
    const std::string home = Home();
    if (home.empty()) Fail(ENOENT);
    base = home + "/.local/state";
  }
  while (base.size() > 1 && base.back() == '/') base.pop_back();
  const std::string folder = base + "/quenlora";
  MakeFolders(folder);
  return FromUtf8Lossy(folder + "/");
}

std::vector<TFolderEntry> ListFiles(const std::u16string& folder)
{
  std::vector<TFolderEntry> entries;
  const std::string native = Native(folder);
  DIR* listing = ::opendir(native.c_str());
  if (listing == nullptr) return entries;
  while (const dirent* entry = ::readdir(listing)) {
    struct stat info {};
    if (::fstatat(::dirfd(listing), entry->d_name, &info, AT_SYMLINK_NOFOLLOW) != 0 || !S_ISREG(info.st_mode))
      continue;
    entries.push_back({FromUtf8Lossy(entry->d_name),
                       std::int64_t{info.st_mtim.tv_sec} * 1000000000 + info.st_mtim.tv_nsec});
  }
  ::closedir(listing);
  return entries;
}

bool RemoveFile(const std::u16string& path) { return ::unlink(Native(path).c_str()) == 0; }

bool RenameFile(const std::u16string& from, const std::u16string& to)
{
  // link() refuses an existing name, so nothing is replaced.
  if (::link(Native(from).c_str(), Native(to).c_str()) != 0) return false;
  ::unlink(Native(from).c_str());
  return true;
}

}  // namespace quenlora::platform
