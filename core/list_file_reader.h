// SPDX-FileCopyrightText: 2026 The Quenlora authors
// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "code_batch.h"

namespace quenlora {

// Reads a batch list file as its bytes arrive, block by block of any size:
// the encoding from the byte-order mark, then each block decoded, split into
// lines and appended to a new batch at once, so that neither the file's bytes
// nor its text are ever held whole. A file that cannot be a list (invalid
// UTF-8 after the UTF-8 mark, a NUL character) is refused in the block that
// holds the fault.
class TListFileReader {
public:
  // path names the file in messages; fileSize, where known, sizes the new
  // batch once instead of growing it.
  explicit TListFileReader(std::u16string path, std::optional<std::uint64_t> fileSize = std::nullopt);

  // Takes the next bytes of the file. Throws TBatchError "Cannot read file ..."
  // at the first byte that makes the file unreadable.
  void Add(std::string_view bytes);
  // After the last bytes: replaces the batch's entries with the file's lines
  // and sets its ListEncoding. Throws like Add (a file cut short inside a
  // UTF-8 character); the batch changes only when nothing was thrown.
  void Finish(TCodeBatch& batch);

private:
  void Detect();
  void Decode(std::string_view bytes, bool last);
  void Split(std::size_t from);
  void ReserveFromFirstBlock();
  [[noreturn]] void Refuse(std::u16string_view why) const;

  std::u16string path_;
  std::optional<std::uint64_t> fileSize_;
  std::optional<TListEncoding> encoding_;
  std::string pending_;   // bytes that wait for the rest of a mark or a character
  bool afterCarriageReturn_ = false;
  bool reserved_ = false;
  std::uint64_t bytesRead_ = 0;
  TBatchBuilder builder_;
};

}  // namespace quenlora
