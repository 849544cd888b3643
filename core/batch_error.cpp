// SPDX-FileCopyrightText: 2026 The Quenlora authors
// SPDX-License-Identifier: GPL-3.0-or-later

#include "batch_error.h"

#include "unicode_text.h"

namespace quenlora {

TBatchError::TBatchError(std::u16string message)
    : message_(std::move(message)), utf8_(ToUtf8Lossy(message_))
{
}

std::u16string CleanReason(std::u16string_view reason)
{
  std::size_t end = reason.size();
  while (end > 0) {
    const char16_t c = reason[end - 1];
    if (c != u' ' && c != u'\t' && c != u'\r' && c != u'\n' && c != u'.') break;
    --end;
  }
  return std::u16string(reason.substr(0, end));
}

namespace {
TBatchError FileError(std::u16string_view lead, std::u16string_view path, std::u16string_view reason)
{
  const std::u16string cleaned = CleanReason(reason);
  std::u16string message;
  message.reserve(lead.size() + path.size() + cleaned.size() + 5);
  message.append(lead).append(u" \"").append(path).append(u"\". ").append(cleaned);
  return TBatchError(std::move(message));
}
}  // namespace

TBatchError CannotOpenFile(std::u16string_view path, std::u16string_view reason)
{
  return FileError(u"Cannot open file", path, reason);
}

TBatchError CannotCreateFile(std::u16string_view path, std::u16string_view reason)
{
  return FileError(u"Cannot create file", path, reason);
}

TBatchError StreamWriteError() { return TBatchError(u"Stream write error"); }

}  // namespace quenlora
