#include "platform.h"

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <random>
#include <sys/stat.h>
#include <unistd.h>

#include "../batch_error.h"
#include "../unicode_text.h"

namespace quenlora::platform {

namespace {

std::u16string Reason(int error) { return FromUtf8Lossy(std::strerror(error)); }

std::string NativePath(const std::u16string& path) { return ToUtf8Lossy(path); }

class TFileDescriptor {
public:
  explicit TFileDescriptor(int fd) : fd_(fd) {}
  TFileDescriptor(const TFileDescriptor&) = delete;
  TFileDescriptor& operator=(const TFileDescriptor&) = delete;
  ~TFileDescriptor() { Close(); }
  int Get() const { return fd_; }
  // Returns the error of close(), or 0.
  int Close()
  {
    if (fd_ < 0) return 0;
    const int result = ::close(fd_);
    fd_ = -1;
    return result == 0 ? 0 : errno;
  }

private:
  int fd_;
};

// Returns 0 or the error that stopped the writing.
int WriteAll(int fd, std::string_view bytes)
{
  while (!bytes.empty()) {
    const ssize_t written = ::write(fd, bytes.data(), bytes.size());
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

// Creates a new, empty file beside the target under a name nobody else uses.
int CreateSiblingFile(const std::string& target, std::string& created)
{
  static std::mt19937_64 random{std::random_device{}()};
  // The temporary name must fit where the target's name fits: shorten the
  // borrowed part, cutting at a character boundary, to leave room for the
  // dot, the number and the ending (at most 15 bytes).
  std::string name = FileNameOf(target);
  constexpr std::size_t kLongestBorrowed = 255 - 15;
  if (name.size() > kLongestBorrowed) {
    std::size_t cut = kLongestBorrowed;
    while (cut > 0 && (static_cast<unsigned char>(name[cut]) & 0xC0) == 0x80) --cut;
    name.resize(cut);
  }
  const std::string stem = FolderOf(target) + "/." + name + ".";
  for (int attempt = 0; attempt < 100; ++attempt) {
    std::string candidate = stem + std::to_string(random() % 1000000000ULL) + ".tmp";
    const int fd = ::open(candidate.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
    if (fd >= 0) {
      created = std::move(candidate);
      return fd;
    }
    if (errno != EEXIST) return -1;
  }
  errno = EEXIST;
  return -1;
}

void WriteInPlace(const std::u16string& path, const std::string& native, std::string_view bytes)
{
  TFileDescriptor file(::open(native.c_str(), O_WRONLY | O_TRUNC | O_CLOEXEC | O_NOCTTY));
  if (file.Get() < 0) throw CannotCreateFile(path, Reason(errno));
  if (WriteAll(file.Get(), bytes) != 0 || file.Close() != 0) throw StreamWriteError();
}

}  // namespace

std::string ReadWholeFile(const std::u16string& path)
{
  // POSIX has no mandatory share modes; another writer can only be kept out
  // by cooperation, so the file is simply read in one go.
  const std::string native = NativePath(path);
  TFileDescriptor file(::open(native.c_str(), O_RDONLY | O_CLOEXEC | O_NOCTTY));
  if (file.Get() < 0) throw CannotOpenFile(path, Reason(errno));
  struct stat info {};
  if (::fstat(file.Get(), &info) != 0) throw CannotOpenFile(path, Reason(errno));
  if (S_ISDIR(info.st_mode)) throw CannotOpenFile(path, Reason(EISDIR));

  std::string content;
  if (S_ISREG(info.st_mode) && info.st_size > 0) content.reserve(static_cast<std::size_t>(info.st_size));
  char chunk[1 << 16];
  for (;;) {
    const ssize_t got = ::read(file.Get(), chunk, sizeof chunk);
    if (got < 0) {
      if (errno == EINTR) continue;
      throw CannotOpenFile(path, Reason(errno));
    }
    if (got == 0) break;
    content.append(chunk, static_cast<std::size_t>(got));
  }
  return content;
}

void ReplaceFileContent(const std::u16string& path, std::string_view bytes)
{
  const std::string target = ResolveLinks(NativePath(path));

  struct stat existing {};
  const bool exists = ::stat(target.c_str(), &existing) == 0;
  if (exists) {
    if (S_ISDIR(existing.st_mode)) throw CannotCreateFile(path, Reason(EISDIR));
    // Devices and pipes cannot be swapped for a file; they are written as they are.
    if (!S_ISREG(existing.st_mode)) return WriteInPlace(path, target, bytes);
    // A file the user may not write to must stay as it is, even though its
    // folder would let a new file take its name.
    TFileDescriptor probe(::open(target.c_str(), O_WRONLY | O_CLOEXEC | O_NOCTTY));
    if (probe.Get() < 0) throw CannotCreateFile(path, Reason(errno));
  }

  std::string temporary;
  TFileDescriptor file(CreateSiblingFile(target, temporary));
  if (file.Get() < 0) throw CannotCreateFile(path, Reason(errno));

  auto discard = [&] {
    file.Close();
    ::unlink(temporary.c_str());
  };
  if (exists) {
    // Keep the replaced file's permissions and, where allowed, its owner.
    ::fchmod(file.Get(), existing.st_mode & 07777);
    [[maybe_unused]] const int ignored = ::fchown(file.Get(), existing.st_uid, existing.st_gid);
  }
  if (WriteAll(file.Get(), bytes) != 0 || ::fsync(file.Get()) != 0 || file.Close() != 0) {
    discard();
    throw StreamWriteError();
  }
  if (::rename(temporary.c_str(), target.c_str()) != 0) {
    const int error = errno;
    discard();
    throw CannotCreateFile(path, Reason(error));
  }
  // Make the new name itself durable; a failure here no longer endangers any data.
  TFileDescriptor folder(::open(FolderOf(target).c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
  if (folder.Get() >= 0) ::fsync(folder.Get());
}

}  // namespace quenlora::platform
