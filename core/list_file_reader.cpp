// SPDX-FileCopyrightText: 2026 The Quenlora authors
// SPDX-License-Identifier: GPL-3.0-or-later

#include "list_file_reader.h"

#include <algorithm>

#include "batch_error.h"
#include "platform/platform.h"
#include "unicode_text.h"

namespace quenlora {

namespace {

constexpr std::string_view kUtf8Mark = "\xEF\xBB\xBF";
constexpr std::string_view kUtf16LEMark = "\xFF\xFE";
constexpr std::string_view kUtf16BEMark = "\xFE\xFF";
constexpr std::size_t kLongestMark = 3;

// Where the UTF-8 sequence that the bytes end in begins, when it is not
// complete yet; otherwise the bytes' size. A broken sequence is left for
// the strict decoding to refuse.
std::size_t IncompleteUtf8Tail(std::string_view bytes)
{
  const std::size_t size = bytes.size();
  for (std::size_t back = 1; back <= 3 && back <= size; ++back) {
    const auto byte = static_cast<unsigned char>(bytes[size - back]);
    if ((byte & 0xC0) == 0x80) continue;
    // A byte that begins no sequence at all is not held back.
    const std::size_t length = byte >= 0xF5 ? 1 : byte >= 0xF0 ? 4 : byte >= 0xE0 ? 3 : byte >= 0xC2 ? 2 : 1;
    return back < length ? size - back : size;
  }
  return size;
}

// UTF-16 in pairs of bytes, into room for bytes.size() / 2 characters.
void DecodeUtf16(std::string_view bytes, bool bigEndian, char16_t* out)
{
  const auto* b = reinterpret_cast<const unsigned char*>(bytes.data());
  const std::size_t pairs = bytes.size() / 2;
  if (bigEndian) {
    for (std::size_t i = 0; i < pairs; ++i) out[i] = static_cast<char16_t>((b[2 * i] << 8) | b[2 * i + 1]);
  } else {
    for (std::size_t i = 0; i < pairs; ++i) out[i] = static_cast<char16_t>((b[2 * i + 1] << 8) | b[2 * i]);
  }
}

}  // namespace

TListFileReader::TListFileReader(std::u16string path, std::optional<std::uint64_t> fileSize)
    : path_(std::move(path)), fileSize_(fileSize)
{
}

void TListFileReader::Refuse(std::u16string_view why) const
{
  std::u16string message = u"Cannot read file \"";
  message += path_;
  message += u"\". ";
  message += why;
  throw TBatchError(std::move(message));
}

void TListFileReader::Add(std::string_view bytes)
{
  bytesRead_ += bytes.size();
  if (!encoding_) {
    const std::size_t take = std::min(bytes.size(), kLongestMark - pending_.size());
    pending_.append(bytes.substr(0, take));
    bytes.remove_prefix(take);
    if (pending_.size() < kLongestMark) return;
    Detect();
  }
  Decode(bytes, false);
}

void TListFileReader::Finish(TCodeBatch& batch)
{
  if (!encoding_) Detect();
  Decode({}, true);
  builder_.Finish(batch);
  batch.SetListEncoding(*encoding_);
}

void TListFileReader::Detect()
{
  // A file shorter than a mark never matches it.
  const std::string_view first = pending_;
  std::size_t mark = 0;
  if (first.starts_with(kUtf8Mark)) {
    encoding_ = TListEncoding::leUtf8;
    mark = kUtf8Mark.size();
  } else if (first.starts_with(kUtf16LEMark)) {
    encoding_ = TListEncoding::leUtf16LE;
    mark = kUtf16LEMark.size();
  } else if (first.starts_with(kUtf16BEMark)) {
    encoding_ = TListEncoding::leUtf16BE;
    mark = kUtf16BEMark.size();
  } else {
    encoding_ = TListEncoding::leAnsi;
  }
  pending_.erase(0, mark);
}

void TListFileReader::Decode(std::string_view bytes, bool last)
{
  // Bytes left over from the last block (the start of a character) go first.
  std::string joined;
  if (!pending_.empty()) {
    joined.swap(pending_);
    joined.append(bytes);
    bytes = joined;
  }
  // The block's text is decoded straight to the end of the new batch's text.
  const std::size_t start = builder_.TextSize();
  char16_t* room = builder_.Room(bytes.size());
  std::size_t taken = bytes.size();
  std::size_t written = 0;
  switch (*encoding_) {  // GCOVR_EXCL_BR_LINE: each value of the enumeration has its case
    case TListEncoding::leAnsi:
      taken = platform::DecodeAnsiPiece(bytes, last, room, written);
      break;
    case TListEncoding::leUtf8:
      if (!last) taken = IncompleteUtf8Tail(bytes);
      if (!DecodeUtf8StrictTo(bytes.substr(0, taken), room, written))
        Refuse(u"Invalid UTF-8 data after the UTF-8 byte-order mark");
      break;
    case TListEncoding::leUtf16LE:
    case TListEncoding::leUtf16BE:
      // An odd last byte of the file is ignored.
      if (!last) taken = bytes.size() & ~std::size_t{1};
      DecodeUtf16(bytes.substr(0, taken), *encoding_ == TListEncoding::leUtf16BE, room);
      written = taken / 2;
      break;
  }
  builder_.Keep(written);
  pending_.assign(bytes.substr(taken));
  Split(start);
  if (!reserved_ && !last) ReserveFromFirstBlock();
}

void TListFileReader::Split(std::size_t from)
{
  const char16_t* text = builder_.Text();
  const std::size_t size = builder_.TextSize();
  std::size_t i = from;
  // A CR that ended the last block and an LF that begins this one are one line end.
  if (afterCarriageReturn_ && i < size) {
    if (text[i] == u'\n') builder_.StartLineAt(++i);
    afterCarriageReturn_ = false;
  }
  for (; i < size; ++i) {
    const char16_t c = text[i];
    if (c > u'\r') continue;
    if (c == u'\0') {
      // A NUL would cut the text short; rather than drop what follows it,
      // the load is refused. A UTF-16 file without a mark is the usual cause.
      Refuse(u"The text contains a NUL character (UTF-16 without a byte-order mark?)");
    }
    if (c == u'\n') {
      builder_.EndLineAt(i, i + 1);
    } else if (c == u'\r') {
      if (i + 1 == size) {
        builder_.EndLineAt(i, i + 1);
        afterCarriageReturn_ = true;
      } else if (text[i + 1] == u'\n') {
        builder_.EndLineAt(i, i + 2);
        ++i;
      } else {
        builder_.EndLineAt(i, i + 1);
      }
    }
  }
}

void TListFileReader::ReserveFromFirstBlock()
{
  // Sized once, after the first block passed the checks: a file that is no
  // list is refused before anything large is taken. The text has at most one
  // character a byte (two bytes in UTF-16); the lines are estimated from the
  // first block's.
  reserved_ = true;
  // Decoding begins only after a mark's worth of bytes, so bytesRead_ is
  // never 0 here; the test keeps the division below safe.
  if (!fileSize_ || bytesRead_ == 0 || *fileSize_ <= bytesRead_) return;  // GCOVR_EXCL_BR_LINE
  const std::uint64_t size = *fileSize_;
  const std::uint64_t characters =
      *encoding_ == TListEncoding::leUtf16LE || *encoding_ == TListEncoding::leUtf16BE ? size / 2 : size;
  const std::uint64_t lines = builder_.Lines() * (size / bytesRead_ + 1) + 64;
  constexpr std::uint64_t kLargest = std::uint64_t{1} << 40;
  try {
    builder_.Reserve(static_cast<std::size_t>(std::min(characters, kLargest)),
                     static_cast<std::size_t>(std::min(lines, kLargest)));
  } catch (const std::exception&) {
    // Too much to take at once; the batch grows as it is read instead.
  }
}

}  // namespace quenlora
