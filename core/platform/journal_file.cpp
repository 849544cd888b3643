// SPDX-FileCopyrightText: 2026 The Quenlora authors
// SPDX-License-Identifier: GPL-3.0-or-later

// The parts of the journal's files that are the same on every system: a held
// file handed on, random numbers for names, and the test seams.

#include "journal_file.h"

#include <atomic>
#include <random>
#include <thread>

#include "journal_file_seams.h"

namespace quenlora::platform {

namespace {

std::atomic<long long> flushDelayMs{0};
std::atomic<int> stateFolderFault{0};

struct TArmed {
  std::atomic<int> Error{0};
  std::atomic<int> Times{0};
};
TArmed armed[static_cast<int>(TJournalCall::jcCount)];

}  // namespace

TJournalFile::~TJournalFile() { Close(); }

TJournalFile::TJournalFile(TJournalFile&& other) noexcept : handle_(other.handle_) { other.handle_ = -1; }

TJournalFile& TJournalFile::operator=(TJournalFile&& other) noexcept
{
  if (this != &other) {
    Close();
    handle_ = other.handle_;
    other.handle_ = -1;
  }
  return *this;
}

std::uint64_t RandomNumber()
{
  static std::random_device device;  // GCOVR_EXCL_BR_LINE: the guard of a static's first use
  return (std::uint64_t{device()} << 32) ^ device();
}

void SetJournalFlushDelay(std::chrono::milliseconds delay) { flushDelayMs = delay.count(); }

void FailStateFolder(int error) { stateFolderFault = error; }

void FailJournalCalls(TJournalCall call, int error, int times)
{
  armed[static_cast<int>(call)].Error = error;
  armed[static_cast<int>(call)].Times = times;
}

int TakeJournalFault(TJournalCall call)
{
  TArmed& point = armed[static_cast<int>(call)];
  if (point.Times.load() <= 0) return 0;
  --point.Times;
  return point.Error.load();
}

int StateFolderFault() { return stateFolderFault.load(); }

void WaitAsASlowDisk()
{
  if (const long long delay = flushDelayMs.load(); delay > 0) std::this_thread::sleep_for(std::chrono::milliseconds(delay));
}

}  // namespace quenlora::platform
