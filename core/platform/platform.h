#pragma once

// The thin layer between the batch core and the operating system. Everything
// here has one implementation per platform (POSIX and Win32).

#include <optional>
#include <string>
#include <string_view>

#include "../regional_settings.h"

namespace quenlora::platform {

// Reads the whole file, opened for reading while other programs are denied
// writing to it. Throws TBatchError "Cannot open file ..." on any failure.
std::string ReadWholeFile(const std::u16string& path);

// Replaces the file at path with bytes so that a failure at any point leaves
// the previous file as it was and nothing else behind: the bytes go to a new
// file in the same folder, are flushed to the disk, and only then does the new
// file take the target's name. Throws TBatchError "Cannot create file ..." when
// the file cannot be created or replaced, "Stream write error" when writing fails.
void ReplaceFileContent(const std::u16string& path, std::string_view bytes);

// The ANSI code page: the system's on Windows, windows-1250 elsewhere.
// Encoding appends to out and returns false when some character has no
// representation in the code page. Decoding accepts every byte sequence.
bool EncodeAnsi(std::u16string_view text, std::string& out);
std::u16string DecodeAnsi(std::string_view bytes);

// The folder of the running executable, ending in the path separator.
std::u16string ExecutableFolder();

// Whether the user may create files in the folder. Asked of the system
// itself where permissions are more than the folder's mode bits.
bool CanCreateFilesIn(const std::u16string& folder);

// The user's documents folder, or the home folder where there is none,
// ending in the path separator; empty when neither is known.
std::u16string DocumentsFolder();

// The user's regional settings, or nothing when they cannot be read.
std::optional<TRegionalSettings> ReadUserRegionalSettings();

TLocalTime LocalNow();

}  // namespace quenlora::platform
