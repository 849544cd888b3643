// SPDX-FileCopyrightText: 2026 The Quenlora authors
// SPDX-License-Identifier: GPL-3.0-or-later
//
// The program's folder comes from /proc/self/exe. Where /proc is not mounted
// (a bare chroot, some containers) it is the current folder instead, and
// "./" when even that has no name any more.
#include <gtest/gtest.h>

#include <sched.h>
#include <sys/mount.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <filesystem>
#include <optional>
#include <string>

#include "platform/platform.h"
#include "test_support.h"

namespace quenlora {
namespace {

namespace fs = std::filesystem;

constexpr int kNoNamespace = 77;

// ExecutableFolder() in a child process that sees an empty /proc (a mount
// namespace of its own, with a tmpfs over /proc) and runs in `folder`,
// which it removes first when `removeFolder` is set. Nothing when the system
// does not let this process make a mount namespace.
std::optional<std::u16string> ExecutableFolderWithoutProc(const fs::path& folder, bool removeFolder)
{
  int channel[2];
  if (::pipe(channel) != 0) {
    ADD_FAILURE() << "pipe: " << std::strerror(errno);
    return std::nullopt;
  }
  const pid_t child = ::fork();
  if (child < 0) {
    ADD_FAILURE() << "fork: " << std::strerror(errno);
    return std::nullopt;
  }
  if (child == 0) {
    ::close(channel[0]);
    if (::unshare(CLONE_NEWNS) != 0 || ::mount(nullptr, "/", nullptr, MS_REC | MS_PRIVATE, nullptr) != 0 ||
        ::mount("none", "/proc", "tmpfs", 0, nullptr) != 0)
      ::_exit(kNoNamespace);
    if (::chdir(folder.c_str()) != 0 || (removeFolder && ::rmdir(folder.c_str()) != 0)) ::_exit(3);
    const std::u16string result = platform::ExecutableFolder();
    const auto size = static_cast<ssize_t>(result.size() * sizeof(char16_t));
    if (::write(channel[1], result.data(), static_cast<std::size_t>(size)) != size) ::_exit(4);
#ifdef QUENLORA_COVERAGE
    __gcov_dump();
#endif
    ::_exit(0);
  }
  ::close(channel[1]);
  std::string bytes;
  char buffer[4096];
  for (ssize_t got; (got = ::read(channel[0], buffer, sizeof buffer)) != 0;) {
    if (got < 0 && errno == EINTR) continue;
    if (got < 0) break;
    bytes.append(buffer, static_cast<std::size_t>(got));
  }
  ::close(channel[0]);
  int status = 0;
  while (::waitpid(child, &status, 0) < 0 && errno == EINTR) {
  }
  if (WIFEXITED(status) && WEXITSTATUS(status) == kNoNamespace) return std::nullopt;
  if (!WIFEXITED(status) || WEXITSTATUS(status) != 0) {
    ADD_FAILURE() << "the child failed (status " << status << ")";
    return u"<child failed>";
  }
  std::u16string result(bytes.size() / sizeof(char16_t), u'\0');
  std::memcpy(result.data(), bytes.data(), result.size() * sizeof(char16_t));
  return result;
}

TEST(ExecutableFolder, CurrentFolderWhereProcIsNotMounted)
{
  test::TScratchFolder scratch;
  fs::create_directory(scratch / "here");
  fs::create_directory(scratch / "gone");
  const auto here = ExecutableFolderWithoutProc(scratch / "here", false);
  if (!here) GTEST_SKIP() << "this system lets no test make a mount namespace";
  EXPECT_EQ(*here, (scratch / "here").u16string() + u"/");
  EXPECT_EQ(ExecutableFolderWithoutProc(scratch / "gone", true), u"./");
  // With /proc, the folder of the test program itself.
  EXPECT_EQ(platform::ExecutableFolder(), fs::read_symlink("/proc/self/exe").parent_path().u16string() + u"/");
}

}  // namespace
}  // namespace quenlora
