// SPDX-FileCopyrightText: 2026 The Quenlora authors
// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

// The thin layer between the batch core and the operating system. Everything
// here has one implementation per platform (POSIX and Win32).

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "../regional_settings.h"

namespace quenlora::platform {

// A file opened for reading while other programs are denied writing to it,
// read from the start in pieces.
class TFileReader {
public:
  // Throws TBatchError "Cannot open file ..." when the file cannot be opened
  // for reading (missing, a folder, no access, being written by another program).
  explicit TFileReader(const std::u16string& path);
  ~TFileReader();
  TFileReader(const TFileReader&) = delete;
  TFileReader& operator=(const TFileReader&) = delete;

  // The file's size, where the system knows it before reading (a regular file).
  std::optional<std::uint64_t> Size() const { return size_; }
  // Reads the next bytes into buffer and returns how many; 0 at the end.
  // Throws TBatchError "Cannot open file ..." when reading fails.
  std::size_t Read(char* buffer, std::size_t capacity);

private:
  std::u16string path_;
  std::intptr_t handle_;
  std::optional<std::uint64_t> size_;
};

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
// Decodes ANSI text that arrives in pieces: writes the characters of the
// piece to out (room for piece.size() characters: no code page gives more
// characters than bytes), sets written to how many, and returns how many of
// its bytes it took. Bytes at the end that may begin a character whose other
// bytes come with the next piece are left for it (only in code pages of more
// than one byte a character, and never more than follow the piece's last byte
// below 0x30, which is never part of another character); with last set every
// byte is taken. Decoding a text in pieces gives exactly what decoding it
// whole gives.
std::size_t DecodeAnsiPiece(std::string_view piece, bool last, char16_t* out, std::size_t& written);

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
