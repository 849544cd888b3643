// SPDX-FileCopyrightText: 2026 The Quenlora authors
// SPDX-License-Identifier: GPL-3.0-or-later
//
// Any bytes as a batch journal. An input whose first byte is even is the
// journal itself; one whose first byte is odd is a list of record bodies
// (each a length byte, then the body), put behind a header with correct
// lengths and checks, so that the fuzzer reaches the bodies' meaning past the
// checks. Either way the replay must stop at a record boundary and give
// exactly what the records before it give: the journal cut there replays to
// the same batch and is complete. The batch replayed, written as one
// snapshot, must replay to itself.

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "code_batch.h"
#include "crc32c.h"
#include "fuzz_support.h"
#include "journal_format.h"

using namespace quenlora;

namespace {

struct TState {
  std::vector<TBatchEntry> Entries;
  TListEncoding Encoding;
  explicit TState(const TCodeBatch& batch) : Encoding(batch.ListEncoding())
  {
    for (std::ptrdiff_t i = 0; i < batch.Count(); ++i) Entries.push_back(batch.Entry(i));
  }
  bool operator==(const TState&) const = default;
};

std::uint32_t U32(std::string_view bytes, std::size_t at)
{
  std::uint32_t value = 0;
  for (int i = 0; i < 4; ++i) value |= std::uint32_t{static_cast<unsigned char>(bytes[at + i])} << (8 * i);
  return value;
}

void PutU32(std::string& out, std::uint32_t value)
{
  for (int i = 0; i < 4; ++i) out.push_back(static_cast<char>(value >> (8 * i)));
}

// Where the first `records` records end, read by their lengths alone.
std::size_t EndOfRecords(std::string_view bytes, std::size_t records)
{
  std::size_t at = journal::kHeaderSize;
  for (std::size_t i = 0; i < records; ++i) at += journal::kRecordHead + U32(bytes, at);
  return at;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
  if (size == 0) return 0;
  const std::string_view input(reinterpret_cast<const char*>(data) + 1, size - 1);
  std::string bytes;
  if ((data[0] & 1) == 0) {
    bytes.assign(input);
  } else {
    bytes = journal::Header();
    std::size_t at = 0;
    while (at < input.size()) {
      const std::size_t length = std::min<std::size_t>(static_cast<unsigned char>(input[at]), input.size() - at - 1);
      const std::string_view body = input.substr(at + 1, length);
      PutU32(bytes, static_cast<std::uint32_t>(body.size()));
      PutU32(bytes, Crc32c(body));
      bytes.append(body);
      at += 1 + length;
    }
  }

  const journal::TReplay replay = journal::ReplayJournal(bytes);
  const TState state(replay.Batch);
  if (replay.End == journal::TJournalEnd::jeNotJournal || replay.End == journal::TJournalEnd::jeNewerVersion) {
    FUZZ_CHECK(replay.Records == 0 && replay.Batch.Count() == 0, fuzz::Hex(bytes));
    return 0;
  }
  const std::size_t end = EndOfRecords(bytes, replay.Records);
  FUZZ_CHECK(end <= bytes.size(), fuzz::Hex(bytes));
  FUZZ_CHECK((replay.End == journal::TJournalEnd::jeComplete) == (end == bytes.size()), fuzz::Hex(bytes));
  const journal::TReplay cut = journal::ReplayJournal(std::string_view(bytes).substr(0, end));
  FUZZ_CHECK(cut.End == journal::TJournalEnd::jeComplete && cut.Records == replay.Records, fuzz::Hex(bytes));
  FUZZ_CHECK(TState(cut.Batch) == state, fuzz::Hex(bytes));

  std::string snapshot = journal::Header();
  journal::AppendSnapshot(snapshot, replay.Batch);
  const journal::TReplay again = journal::ReplayJournal(snapshot);
  FUZZ_CHECK(again.End == journal::TJournalEnd::jeComplete && again.Records == 1, fuzz::Hex(snapshot));
  FUZZ_CHECK(TState(again.Batch) == state, fuzz::Hex(bytes));
  return 0;
}
