// SPDX-FileCopyrightText: 2026 The Quenlora authors
// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

// Failure points of the POSIX large-memory layer for the refusals no test can
// make the system give: no address space for a mapping, no huge pages for it.
// A test arms a point; the next calls of that kind are then refused as if the
// system had refused them. Nothing arms them in the program, and unarmed they
// cost one comparison a large allocation.

namespace quenlora::platform {

enum class TMemoryPoint {
  mpMap,        // mmap of a large array
  mpHugePages,  // the hint that asks for huge pages behind it
  mpCount
};

// The next `times` calls at the point are refused.
void FailMemoryCalls(TMemoryPoint point, int times = 1);
// Disarms every point.
void ClearMemoryFaults();

}  // namespace quenlora::platform
