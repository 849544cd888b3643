// SPDX-FileCopyrightText: 2026 The Quenlora authors
// SPDX-License-Identifier: GPL-3.0-or-later
#include "journal_format.h"

#include <new>
#include <stdexcept>
#include <vector>

#include "crc32c.h"
#include "unicode_text.h"

namespace quenlora::journal {

namespace {

void PutU32(std::string& out, std::size_t at, std::uint32_t value)
{
  for (int i = 0; i < 4; ++i) out[at + i] = static_cast<char>((value >> (8 * i)) & 0xFF);
}

std::uint32_t GetU32(std::string_view bytes, std::size_t at)
{
  std::uint32_t value = 0;
  for (int i = 0; i < 4; ++i) value |= std::uint32_t{static_cast<unsigned char>(bytes[at + i])} << (8 * i);
  return value;
}

void PutNumber(std::string& out, std::uint64_t value)
{
  while (value >= 0x80) {
    out.push_back(static_cast<char>((value & 0x7F) | 0x80));
    value >>= 7;
  }
  out.push_back(static_cast<char>(value));
}

// Opens a record in out; Close() fills in its length and check.
class TRecord {
public:
  TRecord(std::string& out, TRecordKind kind) : out_(out), start_(out.size())
  {
    out_.append(kRecordHead, '\0');
    out_.push_back(static_cast<char>(kind));
  }
  void Close()
  {
    const std::size_t body = out_.size() - start_ - kRecordHead;
    // A snapshot of a batch of more than 4 GiB, which no test holds.
    if (body > UINT32_MAX) {  // GCOVR_EXCL_BR_LINE
      out_.resize(start_);
      throw std::length_error("journal record too large");  // GCOVR_EXCL_BR_LINE
    }
    PutU32(out_, start_, static_cast<std::uint32_t>(body));
    PutU32(out_, start_ + 4, Crc32c(std::string_view(out_).substr(start_ + kRecordHead)));
  }

private:
  std::string& out_;
  std::size_t start_;
};

void AppendIndexRecord(std::string& out, TRecordKind kind, std::ptrdiff_t index)
{
  if (index < 0) throw std::out_of_range("batch entry index out of range");
  TRecord record(out, kind);
  PutNumber(out, static_cast<std::uint64_t>(index));
  record.Close();
}

// The code's bytes as a record carries them: UTF-8, or UTF-16 LE where the
// code holds a surrogate without its pair. Returns whether it is UTF-16.
bool AppendCodeBytes(std::string& out, std::u16string_view code)
{
  const std::size_t start = out.size();
  if (AppendUtf8(code, out)) return false;
  out.resize(start);
  AppendUtf16LE(code, out);
  return true;
}

// Reads the body of one record.
class TBodyReader {
public:
  explicit TBodyReader(std::string_view body) : body_(body) {}
  bool AtEnd() const { return at_ == body_.size(); }
  bool Number(std::uint64_t& value)
  {
    value = 0;
    // The check of the tenth byte ends the loop at the latest there.
    for (int shift = 0;; shift += 7) {
      if (at_ >= body_.size()) return false;
      const auto byte = static_cast<unsigned char>(body_[at_++]);
      // The last byte of the tenth group may hold only the top bit.
      if (shift == 63 && byte > 1) return false;
      value |= std::uint64_t{byte & 0x7Fu} << shift;
      if ((byte & 0x80) == 0) return true;
    }
  }
  bool Byte(std::uint8_t& value)
  {
    if (at_ >= body_.size()) return false;
    value = static_cast<std::uint8_t>(body_[at_++]);
    return true;
  }
  bool Bytes(std::uint64_t count, std::string_view& bytes)
  {
    if (count > body_.size() - at_) return false;
    bytes = body_.substr(at_, static_cast<std::size_t>(count));
    at_ += static_cast<std::size_t>(count);
    return true;
  }
  std::string_view Rest() const { return body_.substr(at_); }

private:
  std::string_view body_;
  std::size_t at_ = 0;
};

bool DecodeCode(std::string_view bytes, bool utf16, std::u16string& code)
{
  code.clear();
  if (!utf16) return DecodeUtf8Strict(bytes, code);
  if (bytes.size() % 2 != 0) return false;
  code = DecodeUtf16LE(bytes);
  return true;
}

bool ValidEncoding(std::uint8_t value) { return value <= static_cast<std::uint8_t>(TListEncoding::leUtf16BE); }

bool ReadIndex(TBodyReader& reader, const TCodeBatch& batch, std::ptrdiff_t& index)
{
  std::uint64_t value = 0;
  if (!reader.Number(value) || !reader.AtEnd()) return false;
  if (value >= static_cast<std::uint64_t>(batch.Count())) return false;
  index = static_cast<std::ptrdiff_t>(value);
  return true;
}

bool ApplySnapshot(TBodyReader& reader, TCodeBatch& batch)
{
  std::uint8_t encoding = 0;
  std::uint64_t count = 0;
  if (!reader.Byte(encoding) || !ValidEncoding(encoding) || !reader.Number(count)) return false;
  // Every entry takes at least one byte, which bounds what may be reserved.
  if (count > reader.Rest().size()) return false;
  TBatchBuilder builder;
  builder.Reserve(reader.Rest().size(), static_cast<std::size_t>(count));
  std::vector<std::uint32_t> marked;
  std::u16string wide;
  for (std::uint64_t i = 0; i < count; ++i) {
    std::uint64_t head = 0;
    std::string_view bytes;
    if (!reader.Number(head) || !reader.Bytes(head >> 2, bytes)) return false;
    if ((head & 2) != 0) {
      if (!DecodeCode(bytes, true, wide)) return false;
      builder.Append(wide);
    } else {
      char16_t* room = builder.Room(bytes.size());
      std::size_t written = 0;
      if (!DecodeUtf8StrictTo(bytes, room, written)) return false;
      builder.Keep(written);
    }
    builder.EndLine();
    if ((head & 1) != 0) marked.push_back(static_cast<std::uint32_t>(i));
  }
  if (!reader.AtEnd()) return false;
  TCodeBatch built;
  builder.Finish(built);
  for (const std::uint32_t i : marked) built.SetWholePackage(i, true);
  built.SetListEncoding(static_cast<TListEncoding>(encoding));
  batch = std::move(built);
  return true;
}

// Applies one record's body to the batch; false, with the batch unchanged,
// when the body makes no sense.
bool Apply(std::string_view body, TCodeBatch& batch)
{
  // A body is never empty: its length was checked before.
  TBodyReader reader(body);
  std::uint8_t kind = 0;
  reader.Byte(kind);
  std::ptrdiff_t index = 0;
  switch (static_cast<TRecordKind>(kind)) {
    case TRecordKind::rkAddUtf8:
    case TRecordKind::rkAddUtf16: {
      std::u16string code;
      if (!DecodeCode(reader.Rest(), kind == static_cast<std::uint8_t>(TRecordKind::rkAddUtf16), code)) return false;
      batch.AppendCode(code);
      return true;
    }
    case TRecordKind::rkMark:
    case TRecordKind::rkUnmark:
      if (!ReadIndex(reader, batch, index)) return false;
      batch.SetWholePackage(index, kind == static_cast<std::uint8_t>(TRecordKind::rkMark));
      return true;
    case TRecordKind::rkDelete:
      if (!ReadIndex(reader, batch, index)) return false;
      batch.DeleteAt(index);
      return true;
    case TRecordKind::rkClear:
      if (!reader.AtEnd()) return false;
      batch.Clear();
      return true;
    case TRecordKind::rkEncoding: {
      std::uint8_t encoding = 0;
      if (!reader.Byte(encoding) || !ValidEncoding(encoding) || !reader.AtEnd()) return false;
      batch.SetListEncoding(static_cast<TListEncoding>(encoding));
      return true;
    }
    case TRecordKind::rkSnapshot:
      return ApplySnapshot(reader, batch);
  }
  return false;
}

}  // namespace

std::string Header()
{
  std::string header(kMagic);
  header.append(4, '\0');
  PutU32(header, kMagic.size(), kVersion);
  return header;
}

void AppendAdd(std::string& out, std::u16string_view code)
{
  const std::size_t start = out.size();
  TRecord record(out, TRecordKind::rkAddUtf8);
  if (AppendCodeBytes(out, code)) out[start + kRecordHead] = static_cast<char>(TRecordKind::rkAddUtf16);
  record.Close();
}

void AppendMark(std::string& out, std::ptrdiff_t index, bool flag)
{
  AppendIndexRecord(out, flag ? TRecordKind::rkMark : TRecordKind::rkUnmark, index);
}

void AppendDelete(std::string& out, std::ptrdiff_t index) { AppendIndexRecord(out, TRecordKind::rkDelete, index); }

void AppendClear(std::string& out)
{
  TRecord record(out, TRecordKind::rkClear);
  record.Close();
}

void AppendEncoding(std::string& out, TListEncoding encoding)
{
  TRecord record(out, TRecordKind::rkEncoding);
  out.push_back(static_cast<char>(encoding));
  record.Close();
}

void AppendSnapshot(std::string& out, const TCodeBatch& batch)
{
  const std::ptrdiff_t count = batch.Count();
  std::size_t characters = 0;
  for (std::ptrdiff_t i = 0; i < count; ++i) characters += batch.Code(i).size();
  out.reserve(out.size() + kRecordHead + 16 + characters + 2 * static_cast<std::size_t>(count));
  TRecord record(out, TRecordKind::rkSnapshot);
  out.push_back(static_cast<char>(batch.ListEncoding()));
  PutNumber(out, static_cast<std::uint64_t>(count));
  std::string bytes;
  for (std::ptrdiff_t i = 0; i < count; ++i) {
    bytes.clear();
    const bool utf16 = AppendCodeBytes(bytes, batch.Code(i));
    PutNumber(out, std::uint64_t{bytes.size()} << 2 | (utf16 ? 2u : 0u) | (batch.WholePackage(i) ? 1u : 0u));
    out.append(bytes);
  }
  record.Close();
}

TReplay ReplayJournal(std::string_view bytes)
{
  TReplay replay;
  if (bytes.size() < kHeaderSize || bytes.substr(0, kMagic.size()) != kMagic) {
    replay.End = TJournalEnd::jeNotJournal;
    return replay;
  }
  if (GetU32(bytes, kMagic.size()) != kVersion) {
    // Version 0 was never written: such a header is as good as garbled.
    replay.End = GetU32(bytes, kMagic.size()) > kVersion ? TJournalEnd::jeNewerVersion : TJournalEnd::jeNotJournal;
    return replay;
  }
  std::size_t at = kHeaderSize;
  replay.IntactEnd = at;
  while (at < bytes.size()) {
    if (bytes.size() - at < kRecordHead) {
      replay.End = TJournalEnd::jeCut;
      return replay;
    }
    const std::uint32_t length = GetU32(bytes, at);
    if (length == 0) {
      replay.End = TJournalEnd::jeGarbled;
      return replay;
    }
    if (bytes.size() - at - kRecordHead < length) {
      replay.End = TJournalEnd::jeCut;
      return replay;
    }
    const std::string_view body = bytes.substr(at + kRecordHead, length);
    bool applied = false;
    if (Crc32c(body) == GetU32(bytes, at + 4)) {
      try {
        applied = Apply(body, replay.Batch);
      } catch (const std::length_error&) {  // GCOVR_EXCL_BR_LINE: billions of entries, which no test holds
        // More entries or a longer code than a batch can hold.
        applied = false;
      }
    }
    if (!applied) {
      replay.End = TJournalEnd::jeGarbled;
      return replay;
    }
    ++replay.Records;
    at += kRecordHead + length;
    replay.IntactEnd = at;
  }
  return replay;
}

}  // namespace quenlora::journal
