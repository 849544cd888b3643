// SPDX-FileCopyrightText: 2026 The Quenlora authors
// SPDX-License-Identifier: GPL-3.0-or-later

#include "batch_list_file.h"

#include <algorithm>
#include <memory>
#include <optional>

#include "list_file_reader.h"
#include "platform/platform.h"
#include "unicode_text.h"

namespace quenlora {

namespace {

constexpr std::string_view kUtf8Mark = "\xEF\xBB\xBF";
constexpr std::string_view kUtf16LEMark = "\xFF\xFE";
constexpr std::string_view kUtf16BEMark = "\xFE\xFF";

// The text of a list file (every code followed by CR LF) in pieces of a few
// thousand characters, so that it is encoded without ever being held whole.
// A piece never ends between the two halves of a surrogate pair.
class TTextPieces {
public:
  explicit TTextPieces(const TCodeBatch& batch) : batch_(&batch) {}
  explicit TTextPieces(std::u16string_view text) : text_(text) {}

  // Calls visit(piece) for each piece in order; stops early when visit
  // returns false, and then returns false.
  template <class Visit>
  bool ForEach(const Visit& visit)
  {
    if (batch_ == nullptr) return ForEachOfText(visit);
    std::u16string piece;
    piece.reserve(kPiece + 2);
    for (std::ptrdiff_t i = 0; i < batch_->Count(); ++i) {
      std::u16string_view code = batch_->Code(i);
      // A code longer than the room left is cut, between characters.
      while (code.size() > kPiece - piece.size()) {
        std::size_t room = kPiece - piece.size();
        if (room > 0 && IsHighSurrogate(code[room - 1]) && IsLowSurrogate(code[room])) --room;
        piece.append(code.substr(0, room));
        code.remove_prefix(room);
        if (!visit(std::u16string_view(piece))) return false;
        piece.clear();
      }
      piece.append(code);
      piece.append(u"\r\n");
      if (piece.size() >= kPiece) {
        if (!visit(std::u16string_view(piece))) return false;
        piece.clear();
      }
    }
    return piece.empty() || visit(std::u16string_view(piece));
  }

  // The number of UTF-16 units in all.
  std::size_t Size() const
  {
    if (batch_ == nullptr) return text_.size();
    std::size_t size = 0;
    for (std::ptrdiff_t i = 0; i < batch_->Count(); ++i) size += batch_->Code(i).size() + 2;
    return size;
  }

private:
  static constexpr std::size_t kPiece = 16384;

  template <class Visit>
  bool ForEachOfText(const Visit& visit)
  {
    std::u16string_view rest = text_;
    while (!rest.empty()) {
      std::size_t length = std::min(rest.size(), kPiece);
      if (length < rest.size() && IsHighSurrogate(rest[length - 1]) && IsLowSurrogate(rest[length])) --length;
      if (!visit(rest.substr(0, length))) return false;
      rest.remove_prefix(length);
    }
    return true;
  }

  const TCodeBatch* batch_ = nullptr;
  std::u16string_view text_;
};

// The UTF-8 size of the text, or nothing when it holds an unpaired surrogate.
std::optional<std::size_t> Utf8Size(TTextPieces& text)
{
  std::size_t size = 0;
  const bool whole = text.ForEach([&](std::u16string_view piece) {
    size += Utf8Length(piece);
    return HasOnlyPairedSurrogates(piece);
  });
  return whole ? std::optional<std::size_t>(size) : std::nullopt;
}

// Encodes in exactly this encoding, into a buffer of the exact size (for the
// ANSI code page, of one byte a character); false when it cannot hold the text.
bool TryEncode(TTextPieces& text, TListEncoding encoding, std::string& bytes)
{
  bytes.clear();
  switch (encoding) {  // GCOVR_EXCL_BR_LINE: each value of the enumeration has its case
    case TListEncoding::leAnsi:
      bytes.reserve(text.Size());
      // ANSI text that begins like a byte-order mark (in windows-1250 "ď»ż",
      // "˙ţ" or "ţ˙") would be read back in another encoding.
      return text.ForEach([&](std::u16string_view piece) { return platform::EncodeAnsi(piece, bytes); }) &&
             !bytes.starts_with(kUtf8Mark) && !bytes.starts_with(kUtf16LEMark) &&
             !bytes.starts_with(kUtf16BEMark);
    case TListEncoding::leUtf8: {
      const std::optional<std::size_t> size = Utf8Size(text);
      if (!size) return false;
      bytes.reserve(kUtf8Mark.size() + *size);
      bytes.append(kUtf8Mark);
      return text.ForEach([&](std::u16string_view piece) { return AppendUtf8(piece, bytes); });
    }
    case TListEncoding::leUtf16LE:
    case TListEncoding::leUtf16BE: {
      const bool bigEndian = encoding == TListEncoding::leUtf16BE;
      bytes.reserve(2 + 2 * text.Size());
      bytes.append(bigEndian ? kUtf16BEMark : kUtf16LEMark);
      return text.ForEach([&](std::u16string_view piece) {
        if (bigEndian)
          AppendUtf16BE(piece, bytes);
        else
          AppendUtf16LE(piece, bytes);
        return true;
      });
    }
  }
  return false;
}

std::string Encode(TTextPieces text, TListEncoding encoding)
{
  std::string bytes;
  if (TryEncode(text, encoding, bytes)) return bytes;
  if (encoding != TListEncoding::leUtf8 && TryEncode(text, TListEncoding::leUtf8, bytes)) return bytes;
  TryEncode(text, TListEncoding::leUtf16LE, bytes);
  return bytes;
}

}  // namespace

std::string EncodeBatchList(std::u16string_view text, TListEncoding encoding)
{
  return Encode(TTextPieces(text), encoding);
}

std::string EncodeBatchList(const TCodeBatch& batch, TListEncoding encoding)
{
  return Encode(TTextPieces(batch), encoding);
}

void SaveBatchList(const TCodeBatch& batch, const std::u16string& path)
{
  platform::ReplaceFileContent(path, EncodeBatchList(batch, batch.ListEncoding()));
}

void LoadBatchList(TCodeBatch& batch, const std::u16string& path)
{
  platform::TFileReader file(path);
  TListFileReader reader(path, file.Size());
  constexpr std::size_t kBlock = 1 << 16;
  const std::unique_ptr<char[]> block(new char[kBlock]);
  while (const std::size_t got = file.Read(block.get(), kBlock)) reader.Add({block.get(), got});
  reader.Finish(batch);
}

void ReadBatchList(TCodeBatch& batch, std::string_view bytes, const std::u16string& path, std::size_t blockSize)
{
  TListFileReader reader(path, bytes.size());
  if (blockSize == 0) blockSize = 1;
  for (std::size_t at = 0; at < bytes.size(); at += blockSize) reader.Add(bytes.substr(at, blockSize));
  reader.Finish(batch);
}

}  // namespace quenlora
