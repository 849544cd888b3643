// SPDX-FileCopyrightText: 2026 The Quenlora authors
// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

// Helpers shared by the fuzz targets: turning fuzzer bytes into UTF-16 text,
// a private scratch folder, and the failure report. The reference encodings
// that do not reuse the core's own are in reference.h.

#include <fcntl.h>
#include <signal.h>
#include <unistd.h>

#include <cerrno>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <string_view>
#include <vector>

#include "reference.h"
#include "unicode_text.h"

namespace quenlora::fuzz {

// Shows UTF-16 text with every unit outside printable ASCII as \uXXXX, so
// that a failure report says exactly which characters were involved.
inline std::string Show(std::u16string_view text)
{
  std::string shown = "\"";
  for (char16_t c : text) {
    if (c >= 0x20 && c < 0x7F && c != u'\\' && c != u'"') {
      shown.push_back(static_cast<char>(c));
    } else {
      char unit[8];
      std::snprintf(unit, sizeof unit, "\\u%04X", static_cast<unsigned>(c));
      shown += unit;
    }
  }
  return shown + "\"";
}

// A violated property: the message goes to the log and abort() makes
// libFuzzer keep the input as a crash artifact.
[[noreturn]] inline void Fail(const char* condition, const std::string& detail, int line)
{
  std::fprintf(stderr, "\n*** Property violated (line %d): %s\n*** %s\n", line, condition, detail.c_str());
  std::fflush(stderr);
  std::abort();
}

#define FUZZ_CHECK(condition, detail)                                              \
  do {                                                                             \
    if (!(condition)) ::quenlora::fuzz::Fail(#condition, (detail), __LINE__);      \
  } while (0)

inline std::vector<std::string_view> SplitBytes(std::string_view bytes, char separator)
{
  std::vector<std::string_view> pieces;
  std::size_t start = 0;
  for (std::size_t i = 0; i <= bytes.size(); ++i) {
    if (i == bytes.size() || bytes[i] == separator) {
      pieces.push_back(bytes.substr(start, i - start));
      start = i + 1;
    }
  }
  return pieces;
}

// Fuzzer bytes as UTF-16 text: UTF-8, malformed bytes becoming U+FFFD, except
// that 0xFE (never part of UTF-8) and the two bytes after it stand for one
// UTF-16 unit in little-endian order. So every unit can appear: unpaired
// surrogates, NUL, U+FFFE, while readable text stays readable in the corpus.
inline std::u16string DecodeFuzzText(std::string_view bytes)
{
  std::u16string text;
  std::size_t run = 0;
  for (std::size_t i = 0; i < bytes.size();) {
    if (static_cast<unsigned char>(bytes[i]) == 0xFE && i + 2 < bytes.size()) {
      text += FromUtf8Lossy(bytes.substr(run, i - run));
      text.push_back(static_cast<char16_t>(static_cast<unsigned char>(bytes[i + 1]) |
                                           (static_cast<unsigned char>(bytes[i + 2]) << 8)));
      i += 3;
      run = i;
    } else {
      ++i;
    }
  }
  text += FromUtf8Lossy(bytes.substr(run));
  return text;
}

inline std::string Hex(std::string_view bytes, std::size_t limit = 64)
{
  std::string shown;
  for (std::size_t i = 0; i < bytes.size() && i < limit; ++i) {
    char byte[4];
    std::snprintf(byte, sizeof byte, "%02X ", static_cast<unsigned char>(bytes[i]));
    shown += byte;
  }
  if (bytes.size() > limit) shown += "...";
  return shown;
}

// A folder of this process's own (fuzzers may run side by side), on tmpfs
// where there is one: every save flushes to the disk, which a real disk
// would make the slowest part of a run. It is removed when the fuzzer exits;
// one left by a fuzzer that crashed or was killed is removed by the next.
inline const std::string& ScratchFolder()
{
  static const std::string folder = [] {
    std::string base = "/tmp";
    if (const char* chosen = std::getenv("QUENLORA_FUZZ_TMP"); chosen != nullptr && *chosen != '\0')
      base = chosen;
    else if (::access("/dev/shm", W_OK) == 0)
      base = "/dev/shm";
    const std::string lead = "quenlora-fuzz-";
    std::error_code ignored;
    for (const auto& entry : std::filesystem::directory_iterator(base, ignored)) {
      const std::string name = entry.path().filename().string();
      if (!name.starts_with(lead)) continue;
      const long pid = std::strtol(name.c_str() + lead.size(), nullptr, 10);
      if (pid > 0 && ::kill(static_cast<pid_t>(pid), 0) != 0 && errno == ESRCH)
        std::filesystem::remove_all(entry.path(), ignored);
    }
    const std::string path = base + "/" + lead + std::to_string(::getpid());
    std::filesystem::remove_all(path, ignored);
    if (!std::filesystem::create_directory(path, ignored)) Fail("create_directory", path, __LINE__);
    return path;
  }();
  static const bool cleanup = [] {
    std::atexit([] {
      std::error_code ignored;
      std::filesystem::remove_all(folder, ignored);
    });
    return true;
  }();
  (void)cleanup;
  return folder;
}

// Whether this input also goes through real files. The file layer treats the
// bytes as opaque and has tests of its own for every failure; what depends on
// the input is checked in memory for every input. Real files for one input in
// sixteen (chosen by the input, so that a failing input repeats) keep the
// whole road from bytes to file and back under the fuzzer without making
// every run pay for the system calls.
inline bool ThroughFiles(std::string_view input)
{
  std::uint32_t hash = 2166136261u;
  for (char c : input) hash = (hash ^ static_cast<unsigned char>(c)) * 16777619u;
  return hash % 16 == 0;
}

inline std::u16string Widen(const std::string& ascii) { return std::u16string(ascii.begin(), ascii.end()); }

// Plain system calls: the streams of the standard library allocate large
// buffers for every file, which cost more than the file itself here.
inline std::string ReadBytes(const std::string& path)
{
  const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
  if (fd < 0) Fail("ReadBytes", "cannot open " + path, __LINE__);
  std::string bytes;
  char chunk[4096];
  for (;;) {
    const ssize_t got = ::read(fd, chunk, sizeof chunk);
    if (got < 0 && errno == EINTR) continue;
    if (got < 0) Fail("ReadBytes", "cannot read " + path, __LINE__);
    if (got == 0) break;
    bytes.append(chunk, static_cast<std::size_t>(got));
  }
  ::close(fd);
  return bytes;
}

inline void WriteBytes(const std::string& path, std::string_view bytes)
{
  const int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
  if (fd < 0) Fail("WriteBytes", "cannot create " + path, __LINE__);
  while (!bytes.empty()) {
    const ssize_t written = ::write(fd, bytes.data(), bytes.size());
    if (written < 0 && errno == EINTR) continue;
    if (written <= 0) Fail("WriteBytes", "cannot write " + path, __LINE__);
    bytes.remove_prefix(static_cast<std::size_t>(written));
  }
  if (::close(fd) != 0) Fail("WriteBytes", "cannot close " + path, __LINE__);
}

inline std::size_t FilesIn(const std::string& folder)
{
  std::size_t count = 0;
  for ([[maybe_unused]] const auto& entry : std::filesystem::directory_iterator(folder)) ++count;
  return count;
}

}  // namespace quenlora::fuzz
