// SPDX-FileCopyrightText: 2026 The Quenlora authors
// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

// Failure points of the POSIX file layer for the calls that no test can make
// fail with a real file (flushing, closing, every temporary name taken, ...).
// A test arms a point; the next calls of that kind then fail with the given
// error as if the system had returned it. Nothing arms them in the program.

namespace quenlora::platform {

enum class TFilePoint {
  fpUnnamedCreate,  // open(O_TMPFILE) of the file that has no name yet
  fpNamedCreate,    // open(O_CREAT | O_EXCL) of a temporary beside the target
  fpLink,           // giving the unnamed file a name
  fpWrite,
  fpFlush,          // fsync of the new file
  fpClose,
  fpRename,
  fpFolderFlush,    // fsync of the folder after the rename
  fpRead,
  fpCount
};

// The next `times` calls at the point fail with `error`.
void FailFileCalls(TFilePoint point, int error, int times = 1);
// Disarms every point.
void ClearFileFaults();

}  // namespace quenlora::platform
