// SPDX-FileCopyrightText: 2026 The Quenlora authors
// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

// Helpers shared by the core tests: scratch folders, raw file bytes and
// small text conversions that do not go through the code under test.

#include <gtest/gtest.h>

#ifdef _WIN32
#include <process.h>
#else
#include <grp.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>
#endif

#include <atomic>
#include <csignal>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <functional>
#include <initializer_list>
#include <iterator>
#include <map>
#include <optional>
#include <set>
#include <string>
#include <string_view>
#include <vector>

#include "batch_error.h"
#include "batch_list_file.h"
#include "code_batch.h"
#include "return_document.h"

namespace quenlora::test {

namespace fs = std::filesystem;

inline unsigned ProcessId()
{
#ifdef _WIN32
  return static_cast<unsigned>(::_getpid());
#else
  return static_cast<unsigned>(::getpid());
#endif
}

// A path as UTF-8 text: path::string() would convert to the ANSI code page
// on Windows and fail on characters it cannot hold.
inline std::string Utf8Name(const fs::path& path)
{
  const std::u8string name = path.u8string();
  return std::string(name.begin(), name.end());
}

// A fresh, empty folder under the system's temporary folder, removed with
// everything in it when the test ends.
class TScratchFolder {
public:
  TScratchFolder()
  {
    static std::atomic<unsigned> counter{0};
    const auto* info = ::testing::UnitTest::GetInstance()->current_test_info();
    std::string name = "quenlora-core-" + std::to_string(ProcessId()) + "-" + std::to_string(counter++);
    if (info != nullptr) name += std::string("-") + info->name();
    for (char& c : name)
      if (c == '/') c = '_';
    path_ = fs::temp_directory_path() / name;
    fs::remove_all(path_);
    fs::create_directories(path_);
  }
  TScratchFolder(const TScratchFolder&) = delete;
  TScratchFolder& operator=(const TScratchFolder&) = delete;
  ~TScratchFolder()
  {
    std::error_code ignored;
    // Permission tests may leave read-only folders behind; open them up first.
    for (auto it = fs::recursive_directory_iterator(path_, ignored); it != fs::recursive_directory_iterator();
         it.increment(ignored))
      fs::permissions(it->path(), fs::perms::owner_all, fs::perm_options::add, ignored);
    fs::permissions(path_, fs::perms::owner_all, fs::perm_options::add, ignored);
    fs::remove_all(path_, ignored);
  }

  const fs::path& Path() const { return path_; }
  fs::path operator/(std::string_view name) const { return path_ / fs::u8path(name); }

private:
  fs::path path_;
};

inline std::u16string U16(const fs::path& path) { return path.u16string(); }

// Every path below the folder, relative to it.
inline std::set<std::string> ListTree(const fs::path& folder)
{
  std::set<std::string> names;
  for (const auto& entry : fs::recursive_directory_iterator(folder))
    names.insert(Utf8Name(entry.path().lexically_relative(folder)));
  return names;
}

inline void WriteBytes(const fs::path& path, std::string_view bytes)
{
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
  ASSERT_TRUE(out.good()) << "cannot write " << path;
}

// The file's bytes, or nothing when it cannot be opened.
inline std::optional<std::string> TryReadBytes(const fs::path& path)
{
  std::ifstream in(path, std::ios::binary | std::ios::ate);
  if (!in) return std::nullopt;
  // Read in one piece: the large-file tests read hundreds of megabytes, and
  // character by character that takes long in a sanitizer build.
  std::string bytes(static_cast<std::size_t>(in.tellg()), '\0');
  in.seekg(0);
  in.read(bytes.data(), static_cast<std::streamsize>(bytes.size()));
  if (!in) return std::nullopt;
  return bytes;
}

inline std::string ReadBytes(const fs::path& path)
{
  auto bytes = TryReadBytes(path);
  EXPECT_TRUE(bytes.has_value()) << "cannot read " << path;
  return bytes.value_or(std::string());
}

// Every path below the folder, relative to it, with the bytes of each file
// ("<folder>" for a folder): equal snapshots mean nothing was added, removed
// or changed.
inline std::map<std::string, std::string> Snapshot(const fs::path& folder)
{
  std::map<std::string, std::string> tree;
  for (const auto& entry : fs::recursive_directory_iterator(folder)) {
    std::string& content = tree[Utf8Name(entry.path().lexically_relative(folder))];
    if (entry.is_directory()) {
      content = "<folder>";
      continue;
    }
    content = TryReadBytes(entry.path()).value_or("<unreadable>");
  }
  return tree;
}

// Shows bytes as hex pairs, so that a mismatch is readable in the failure message.
inline std::string Hex(std::string_view bytes)
{
  static const char digits[] = "0123456789ABCDEF";
  std::string out;
  for (unsigned char b : bytes) {
    if (!out.empty()) out += ' ';
    out += digits[b >> 4];
    out += digits[b & 15];
  }
  return out;
}

// An independent UTF-16 to UTF-8 encoder for building expected bytes
// (valid input only).
inline std::string Utf8(std::u16string_view text)
{
  std::string out;
  for (std::size_t i = 0; i < text.size(); ++i) {
    char32_t cp = text[i];
    if (cp >= 0xD800 && cp <= 0xDBFF && i + 1 < text.size()) {
      cp = 0x10000 + ((cp - 0xD800) << 10) + (text[++i] - 0xDC00);
    }
    if (cp < 0x80) {
      out += static_cast<char>(cp);
    } else if (cp < 0x800) {
      out += static_cast<char>(0xC0 | (cp >> 6));
      out += static_cast<char>(0x80 | (cp & 0x3F));
    } else if (cp < 0x10000) {
      out += static_cast<char>(0xE0 | (cp >> 12));
      out += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
      out += static_cast<char>(0x80 | (cp & 0x3F));
    } else {
      out += static_cast<char>(0xF0 | (cp >> 18));
      out += static_cast<char>(0x80 | ((cp >> 12) & 0x3F));
      out += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
      out += static_cast<char>(0x80 | (cp & 0x3F));
    }
  }
  return out;
}

// Runs the action and returns the message of the TBatchError it throws;
// records a failure when it throws none.
inline std::u16string BatchErrorOf(const std::function<void()>& action)
{
  try {
    action();
  } catch (const TBatchError& error) {
    return error.Message();
  }
  ADD_FAILURE() << "expected a TBatchError";
  return u"<no error>";
}

// Runs the action and returns the message of the TBatchError it throws, or
// an empty text when it throws none.
inline std::u16string ErrorOf(const std::function<void()>& action)
{
  try {
    action();
  } catch (const TBatchError& error) {
    return error.Message();
  }
  return {};
}

// Every way the program writes a file, for the tests that make each of them fail.
struct TWriter {
  const char* Name;
  std::function<void(const TCodeBatch&, const std::u16string&)> Write;
};

inline const std::vector<TWriter>& Writers()
{
  const auto exporter = [](TExportKind kind) {
    return [kind](const TCodeBatch& batch, const std::u16string& path) {
      WriteReturnDocument(BuildReturnDocument(batch, kind), path);
    };
  };
  static const std::vector<TWriter> writers = {
      {"list", [](const TCodeBatch& batch, const std::u16string& path) { SaveBatchList(batch, path); }},
      {"single export", exporter(xkSingle)},
      {"full export", exporter(xkFull)},
      {"kombi export", exporter(xkKombi)},
  };
  return writers;
}

// Replaces the batch with these codes, unmarked.
inline void Fill(TCodeBatch& batch, std::initializer_list<std::u16string_view> codes)
{
  const std::vector<std::u16string_view> lines(codes);
  batch.ReplaceFromLines(lines);
}

inline std::vector<std::u16string> Codes(const TCodeBatch& batch)
{
  std::vector<std::u16string> codes;
  for (std::ptrdiff_t i = 0; i < batch.Count(); ++i) codes.push_back(batch.Entry(i).Code);
  return codes;
}

inline std::vector<bool> Marks(const TCodeBatch& batch)
{
  std::vector<bool> marks;
  for (std::ptrdiff_t i = 0; i < batch.Count(); ++i) marks.push_back(batch.Entry(i).WholePackage);
  return marks;
}

// Everything about a batch that a failed load or save must leave alone.
struct TBatchState {
  std::vector<std::u16string> Codes;
  std::vector<bool> Marks;
  TListEncoding Encoding;
  bool operator==(const TBatchState&) const = default;
};

inline TBatchState StateOf(const TCodeBatch& batch) { return {Codes(batch), Marks(batch), batch.ListEncoding()}; }

#ifndef _WIN32

// The C library's reason for an error number as the messages carry it:
// widened (glibc's C-locale texts are ASCII) and without a trailing period.
inline std::u16string Reason(int error)
{
  std::string text = std::strerror(error);
  while (!text.empty() && text.back() == '.') text.pop_back();
  return std::u16string(text.begin(), text.end());
}

inline std::u16string CannotOpen(const fs::path& path, int error)
{
  return u"Cannot open file \"" + U16(path) + u"\". " + Reason(error);
}

inline std::u16string CannotCreate(const fs::path& path, int error)
{
  return u"Cannot create file \"" + U16(path) + u"\". " + Reason(error);
}

// Caps the size of files this process writes, so that a write fails part-way
// even for root; the write then reports EFBIG instead of killing the process.
class TFileSizeLimit {
public:
  explicit TFileSizeLimit(rlim_t bytes)
  {
    ::getrlimit(RLIMIT_FSIZE, &saved_);
    previousHandler_ = std::signal(SIGXFSZ, SIG_IGN);
    rlimit limited = saved_;
    limited.rlim_cur = bytes;
    EXPECT_EQ(::setrlimit(RLIMIT_FSIZE, &limited), 0);
  }
  TFileSizeLimit(const TFileSizeLimit&) = delete;
  TFileSizeLimit& operator=(const TFileSizeLimit&) = delete;
  ~TFileSizeLimit()
  {
    ::setrlimit(RLIMIT_FSIZE, &saved_);
    std::signal(SIGXFSZ, previousHandler_);
  }

private:
  rlimit saved_{};
  void (*previousHandler_)(int) = SIG_DFL;
};

inline bool RunningAsRoot() { return ::geteuid() == 0; }

#ifdef QUENLORA_COVERAGE
}  // namespace quenlora::test
// Writes the counts of a coverage build (gcc --coverage).
extern "C" void __gcov_dump();
namespace quenlora::test {
#endif

// Root passes every permission check, and CI runs as root; permission cases
// therefore run as the user nobody, who owns the files the test prepares and
// is bound by their permission bits like any user.
inline constexpr uid_t kUnprivilegedUser = 65534;
inline constexpr gid_t kUnprivilegedGroup = 65534;

// Makes the path and everything below it belong to the user that
// AsUnprivilegedUser runs as. Nothing to do when the tests do not run as root.
inline void GiveToUnprivilegedUser(const fs::path& path)
{
  if (!RunningAsRoot()) return;
  ASSERT_EQ(::lchown(path.c_str(), kUnprivilegedUser, kUnprivilegedGroup), 0) << path;
  if (!fs::is_directory(path)) return;
  for (const auto& entry : fs::recursive_directory_iterator(path))
    ASSERT_EQ(::lchown(entry.path().c_str(), kUnprivilegedUser, kUnprivilegedGroup), 0) << entry.path();
}

// Runs the action as a user whom file permissions bind and returns its
// result: under root in a child process that has given up root for the user
// nobody (or the given one) for good, otherwise here. The child reports only its result, so the
// action must not rely on test assertions; a child that cannot give up root
// or does not end normally fails the test.
inline std::u16string AsUnprivilegedUser(const std::function<std::u16string()>& action,
                                         uid_t user = kUnprivilegedUser)
{
  if (!RunningAsRoot()) return action();
  int channel[2];
  if (::pipe(channel) != 0) {
    ADD_FAILURE() << "pipe: " << std::strerror(errno);
    return u"<no child>";
  }
  const pid_t child = ::fork();
  if (child < 0) {
    ADD_FAILURE() << "fork: " << std::strerror(errno);
    ::close(channel[0]);
    ::close(channel[1]);
    return u"<no child>";
  }
  if (child == 0) {
    ::close(channel[0]);
    if (::setgroups(0, nullptr) != 0 || ::setgid(kUnprivilegedGroup) != 0 || ::setuid(user) != 0 ||
        ::geteuid() != user || ::setuid(0) == 0)
      ::_exit(3);
    std::u16string result;
    try {
      result = action();
    } catch (...) {
      ::_exit(4);
    }
    const char* bytes = reinterpret_cast<const char*>(result.data());
    std::size_t left = result.size() * sizeof(char16_t);
    while (left > 0) {
      const ssize_t written = ::write(channel[1], bytes, left);
      if (written <= 0) ::_exit(5);
      bytes += written;
      left -= static_cast<std::size_t>(written);
    }
    // No exit handlers: the child must not tidy up the parent's scratch folders.
#ifdef QUENLORA_COVERAGE
    // A coverage build still records what the child ran.
    __gcov_dump();
#endif
    ::_exit(0);
  }
  ::close(channel[1]);
  std::string bytes;
  char buffer[4096];
  for (;;) {
    const ssize_t got = ::read(channel[0], buffer, sizeof buffer);
    if (got < 0 && errno == EINTR) continue;
    if (got <= 0) break;
    bytes.append(buffer, static_cast<std::size_t>(got));
  }
  ::close(channel[0]);
  int status = 0;
  while (::waitpid(child, &status, 0) < 0 && errno == EINTR) {
  }
  if (!WIFEXITED(status) || WEXITSTATUS(status) != 0) {
    ADD_FAILURE() << "the unprivileged child failed (exit status " << (WIFEXITED(status) ? WEXITSTATUS(status) : -1)
                  << ", signal " << (WIFSIGNALED(status) ? WTERMSIG(status) : 0) << ")";
    return u"<child failed>";
  }
  std::u16string result(bytes.size() / sizeof(char16_t), u'\0');
  std::memcpy(result.data(), bytes.data(), result.size() * sizeof(char16_t));
  return result;
}

#endif  // !_WIN32

}  // namespace quenlora::test
