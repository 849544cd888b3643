// SPDX-FileCopyrightText: 2026 The Quenlora authors
// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

// The journal of a batch: every change of the batch as one record, so that a
// run that ends without the user's close can be taken up again.
//
// A journal is a header (8 bytes "QNLRJRN\n", then the format's version as a
// 32-bit little-endian number) and records. A record is the length of its
// body (32 bits, little-endian), the CRC-32C of the body (32 bits) and the
// body: one byte of kind and the kind's data. Numbers in the data are
// unsigned LEB128. A record cut short, one whose check fails and one that
// makes no sense for the batch it would change end the journal there; the
// records before it stand.

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

#include "code_batch.h"
#include "list_encoding.h"

namespace quenlora::journal {

inline constexpr std::string_view kMagic{"QNLRJRN\n", 8};
inline constexpr std::uint32_t kVersion = 1;
inline constexpr std::size_t kHeaderSize = 12;
// Bytes before a record's body.
inline constexpr std::size_t kRecordHead = 8;

enum class TRecordKind : std::uint8_t {
  rkAddUtf8 = 1,      // a code appended: its UTF-8
  rkAddUtf16 = 2,     // a code appended that UTF-8 cannot carry (a lone surrogate): its UTF-16 LE
  rkMark = 3,         // index: the entry's mark set
  rkUnmark = 4,       // index: the entry's mark cleared
  rkDelete = 5,       // index: the entry removed
  rkClear = 6,        // the batch emptied
  rkEncoding = 7,     // one byte: the ListEncoding
  rkSnapshot = 8,     // the whole batch: encoding byte, count, then each entry
                      // as (bytes << 2 | utf16 << 1 | mark) and its bytes
};

// The header of a journal of this version.
std::string Header();

// Each appends one whole record to out.
void AppendAdd(std::string& out, std::u16string_view code);
void AppendMark(std::string& out, std::ptrdiff_t index, bool flag);
void AppendDelete(std::string& out, std::ptrdiff_t index);
void AppendClear(std::string& out);
void AppendEncoding(std::string& out, TListEncoding encoding);
// The whole batch, its marks and its ListEncoding in one record.
void AppendSnapshot(std::string& out, const TCodeBatch& batch);

// About what a snapshot of a code costs in a journal, for deciding when a
// journal has grown enough to be rewritten as one snapshot.
inline std::size_t SnapshotCost(std::u16string_view code) { return code.size() + 2; }

enum class TJournalEnd {
  jeComplete,      // every byte belongs to an intact record
  jeCut,           // the last record is cut short
  jeGarbled,       // a record fails its check or makes no sense
  jeNotJournal,    // no header of a journal
  jeNewerVersion,  // written by a newer version of the program
};

struct TReplay {
  TCodeBatch Batch;
  TJournalEnd End = TJournalEnd::jeComplete;
  std::size_t Records = 0;  // records applied
  std::size_t IntactEnd = 0;  // where the records applied end (0 without a header)
};

// Replays the journal's records onto an empty batch (ListEncoding ANSI, as
// a run starts), up to the first record that is not intact. The result is
// exactly the batch after some whole number of the journal's records.
TReplay ReplayJournal(std::string_view bytes);

}  // namespace quenlora::journal
