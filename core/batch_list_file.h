#pragma once

#include <string>
#include <string_view>
#include <vector>

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
// encoding detected from its byte-order mark. On any failure the batch and
// ListEncoding stay as they were.
void LoadBatchList(TCodeBatch& batch, const std::u16string& path);

// The file's bytes as the encoding they would be saved in (for tests and tools).
std::string EncodeBatchList(std::u16string_view text, TListEncoding encoding);

// A list file's bytes as a load reads them: the encoding its byte-order mark
// names and the text decoded from the rest. Throws TBatchError "Cannot read
// file ..." naming path when the bytes cannot be decoded.
struct TDecodedList {
  TListEncoding Encoding = TListEncoding::leAnsi;
  std::u16string Text;
};
TDecodedList DecodeBatchList(std::string_view bytes, const std::u16string& path);

// Splits text into lines at CR LF, lone LF and lone CR; a line end at the very
// end adds no further line.
std::vector<std::u16string_view> SplitLines(std::u16string_view text);

}  // namespace quenlora
