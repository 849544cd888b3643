// SPDX-FileCopyrightText: 2026 The Quenlora authors
// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

// Failure points of the file layer for the calls that no test can make fail
// with a real file (flushing, closing, every temporary name taken, on Windows
// a share that refuses deleting, ...). A test arms a point; the next calls of
// that kind then fail with the given error as if the system had returned it:
// an errno value on POSIX, a system error code (ERROR_...) on Windows.
// Nothing arms them in the program, and unarmed they cost one test of a flag.

namespace quenlora::platform {

enum class TFilePoint {
  fpUnnamedCreate,  // open(O_TMPFILE) of the file that has no name yet
  fpNamedCreate,    // creating a temporary beside the target (on Windows also the target, where no temporary can be)
  fpLink,           // giving the unnamed file a name
  fpLinkByDescriptor,  // its first way, linkat(AT_EMPTY_PATH), which needs a privilege on older kernels
  fpWrite,
  fpFlush,          // fsync or FlushFileBuffers of the new file
  fpClose,
  fpRename,
  fpFolderFlush,    // fsync of the folder after the rename
  fpRead,
  fpDelete,         // Windows: removing the save's own temporary
  fpOpen,           // Windows: opening a file for reading
  fpCount
};

// The next `times` calls at the point fail with `error`.
void FailFileCalls(TFilePoint point, int error, int times = 1);
// Disarms every point.
void ClearFileFaults();

}  // namespace quenlora::platform
