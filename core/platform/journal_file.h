// SPDX-FileCopyrightText: 2026 The Quenlora authors
// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

// The files of the batch journal: the user's state folder, one journal per
// run held open so that no other run takes it, and the calls that bring its
// bytes to the disk. Failures throw TBatchError whose message is the
// system's own description of the failure.

#include <chrono>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace quenlora::platform {

// A journal file held by this process: while it is open, no other program's
// OpenUnheld() gets it (flock on POSIX; a handle without delete or write
// sharing on Windows).
class TJournalFile {
public:
  TJournalFile() = default;
  ~TJournalFile();
  TJournalFile(TJournalFile&& other) noexcept;
  TJournalFile& operator=(TJournalFile&& other) noexcept;
  TJournalFile(const TJournalFile&) = delete;
  TJournalFile& operator=(const TJournalFile&) = delete;

  // Creates a file that does not exist yet, for writing, and holds it.
  static TJournalFile CreateNew(const std::u16string& path);
  // Opens an existing file and holds it; nothing when another running
  // program holds it or it is gone.
  static std::optional<TJournalFile> OpenUnheld(const std::u16string& path);

  bool IsOpen() const { return handle_ != -1; }
  // Appends the bytes at the end of the file.
  void Write(std::string_view bytes);
  // Brings what was written to the disk (fdatasync, FlushFileBuffers).
  void Flush();
  // The whole file, from its start.
  std::string ReadAll();
  void Close();

  // Gives `fresh`, the file at freshPath, the name path, in place of the
  // file `held` (open by this process under that name); held is closed.
  // Either name then refers to the old file or the new one.
  static void Replace(TJournalFile& held, TJournalFile& fresh, const std::u16string& freshPath,
                      const std::u16string& path);

private:
  explicit TJournalFile(std::intptr_t handle) : handle_(handle) {}
  std::intptr_t handle_ = -1;
};

// The folder for the program's state: $XDG_STATE_HOME/quenlora (by default
// ~/.local/state/quenlora) on POSIX, %LOCALAPPDATA%\Quenlora on Windows,
// made when missing; ends in the path separator.
std::u16string StateFolder();

struct TFolderEntry {
  std::u16string Name;
  std::int64_t Modified = 0;  // nanoseconds of the file's last change, to compare with other entries
};
// The regular files of a folder (nothing when it cannot be listed).
std::vector<TFolderEntry> ListFiles(const std::u16string& folder);

// Both return false when the system refused.
bool RemoveFile(const std::u16string& path);
// Renames without replacing an existing file.
bool RenameFile(const std::u16string& from, const std::u16string& to);

// A random number for names, from the system's source.
std::uint64_t RandomNumber();

// Test seams; nothing sets them in the program.
// Every Flush() takes at least this long (a slow disk).
void SetJournalFlushDelay(std::chrono::milliseconds delay);
// StateFolder() fails with this system error (errno, or a Win32 error
// code); 0 disarms.
void FailStateFolder(int error);
enum class TJournalCall { jcCreate, jcWrite, jcFlush, jcReplace, jcRead, jcCount };
// The next `times` calls of the kind fail with the system error; times 0 disarms.
void FailJournalCalls(TJournalCall call, int error, int times);

}  // namespace quenlora::platform
