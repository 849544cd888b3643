// SPDX-FileCopyrightText: 2026 The Quenlora authors
// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

// The names of the files a save writes beside its target before they take
// the target's name: "." + the target's name + ".vortanek-" + 16 hexadecimal
// digits + ".tmp". The mark in the middle is the program's own, so that the
// clean-up after a killed save can never take another program's temporary
// (editors and office programs use ".<name>.<number>.tmp" too) for one of ours.

#include <cstdint>
#include <string>
#include <string_view>

namespace quenlora::platform {

// A temporary name for a target named targetName (the name only, no folder),
// from 64 random bits. It fits wherever the target's name fits (255 bytes of
// UTF-8, or 255 UTF-16 units): a long target name is shortened, never cut
// inside a character.
std::string TemporaryFileName(std::string_view targetName, std::uint64_t random);
std::u16string TemporaryFileName(std::u16string_view targetName, std::uint64_t random);

// Whether a name (no folder) has exactly the form above.
bool IsTemporaryFileName(std::string_view name);
bool IsTemporaryFileName(std::u16string_view name);

}  // namespace quenlora::platform
