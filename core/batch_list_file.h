// SPDX-FileCopyrightText: 2026 The Quenlora authors
// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

#include <string>
#include <string_view>

#include "code_batch.h"

namespace quenlora {

// Writes the batch text in the batch's ListEncoding, with that encoding's
// byte-order mark, replacing the file in one step. When the encoding cannot
// hold some character (ANSI: one outside the code page, or text whose bytes
// would begin like a byte-order mark; UTF-8: an unpaired surrogate), the
// file is written as UTF-8, or failing that UTF-16 LE, with
// its mark instead, so that nothing is lost; ListEncoding does not change.
void SaveBatchList(const TCodeBatch& batch, const std::u16string& path);

// Replaces the batch with the lines of the file and sets ListEncoding to the
// encoding detected from its byte-order mark. The file is read block by block
// and refused at the first block that shows it is no list; on any failure the
// batch and ListEncoding stay as they were.
void LoadBatchList(TCodeBatch& batch, const std::u16string& path);

// What LoadBatchList does with a file's bytes, given here in blocks of
// blockSize bytes (for tests and tools); path names the file in messages.
void ReadBatchList(TCodeBatch& batch, std::string_view bytes, const std::u16string& path,
                   std::size_t blockSize = 1 << 16);

// The file's bytes as a save writes them: the batch's codes, or a text of
// lines each followed by CR LF, in the encoding (or its fallback, see SaveBatchList).
std::string EncodeBatchList(const TCodeBatch& batch, TListEncoding encoding);
std::string EncodeBatchList(std::u16string_view text, TListEncoding encoding);

}  // namespace quenlora
