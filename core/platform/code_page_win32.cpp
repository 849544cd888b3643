// SPDX-FileCopyrightText: 2026 The Quenlora authors
// SPDX-License-Identifier: GPL-3.0-or-later

#include "platform.h"
#include "code_page_win32.h"

#include "win32.h"

#include <algorithm>
#include <climits>
#include <stdexcept>

namespace quenlora::platform {

namespace {

// How a code page lets us learn that a character had no representation.
enum class TLossCheck {
  UsedDefault,   // WC_NO_BEST_FIT_CHARS and the "default character used" flag
  InvalidChars,  // UTF-8 and GB18030 can hold everything but lone surrogates, which WC_ERR_INVALID_CHARS rejects
  RoundTrip,     // the stateful and symbol pages take no flags at all: decode again and compare
};

TLossCheck LossCheckFor(unsigned codePage)
{
  if (codePage == CP_UTF8 || codePage == 54936) return TLossCheck::InvalidChars;
  if (codePage == CP_UTF7 || codePage == 42 || (codePage >= 50220 && codePage <= 50229) ||
      (codePage >= 57002 && codePage <= 57011))
    return TLossCheck::RoundTrip;
  return TLossCheck::UsedDefault;
}

// The Win32 conversions count in int; a larger text is beyond any batch list.
int CheckedLength(std::size_t size)
{
  if (size > static_cast<std::size_t>(INT_MAX)) throw std::length_error("text too long for the ANSI code page");
  return static_cast<int>(size);
}

std::u16string Decode(unsigned codePage, std::string_view bytes)
{
  const int length = CheckedLength(bytes.size());
  // Flags 0: an invalid sequence becomes a replacement character instead of failing.
  const int needed = ::MultiByteToWideChar(codePage, 0, bytes.data(), length, nullptr, 0);
  if (needed <= 0) return {};
  std::u16string text(static_cast<std::size_t>(needed), u'\0');
  const int written =
      ::MultiByteToWideChar(codePage, 0, bytes.data(), length, reinterpret_cast<wchar_t*>(text.data()), needed);
  text.resize(static_cast<std::size_t>(written > 0 ? written : 0));
  return text;
}

}  // namespace

bool EncodeInCodePage(unsigned codePage, std::u16string_view text, std::string& out)
{
  if (text.empty()) return true;
  const TLossCheck check = LossCheckFor(codePage);
  const DWORD flags = check == TLossCheck::UsedDefault    ? WC_NO_BEST_FIT_CHARS
                      : check == TLossCheck::InvalidChars ? WC_ERR_INVALID_CHARS
                                                          : 0;
  BOOL usedDefault = FALSE;
  BOOL* const usedDefaultFlag = check == TLossCheck::UsedDefault ? &usedDefault : nullptr;
  const auto* wide = reinterpret_cast<const wchar_t*>(text.data());
  const int length = CheckedLength(text.size());

  const int needed = ::WideCharToMultiByte(codePage, flags, wide, length, nullptr, 0, nullptr, usedDefaultFlag);
  if (needed <= 0 || usedDefault) return false;
  const std::size_t old = out.size();
  out.resize(old + static_cast<std::size_t>(needed));
  const int written =
      ::WideCharToMultiByte(codePage, flags, wide, length, out.data() + old, needed, nullptr, usedDefaultFlag);
  bool whole = written > 0 && !usedDefault;
  if (whole && check == TLossCheck::RoundTrip)
    whole = Decode(codePage, std::string_view(out).substr(old, static_cast<std::size_t>(written))) == text;
  out.resize(whole ? old + static_cast<std::size_t>(written) : old);
  return whole;
}

std::u16string DecodeFromCodePage(unsigned codePage, std::string_view bytes)
{
  if (bytes.empty()) return {};
  std::u16string text = Decode(codePage, bytes);
  if (!text.empty()) return text;
  // The system refused the bytes outright (it should not for the ANSI code
  // page); every byte still becomes a character so that nothing is lost.
  text.reserve(bytes.size());
  for (char byte : bytes) text += static_cast<char16_t>(static_cast<unsigned char>(byte));
  return text;
}

namespace {

// A code page of one byte a character decodes byte by byte, through a table
// made once from the system's own conversion.
struct TSingleByteTable {
  unsigned CodePage = 0;
  bool SingleByte = false;
  char16_t Characters[256] = {};
};

const TSingleByteTable& TableFor(unsigned codePage)
{
  thread_local TSingleByteTable table;
  if (table.CodePage == codePage) return table;
  table.CodePage = codePage;
  CPINFO info{};
  table.SingleByte = ::GetCPInfo(codePage, &info) && info.MaxCharSize == 1;
  for (unsigned byte = 0; table.SingleByte && byte < 256; ++byte) {
    const char in = static_cast<char>(byte);
    wchar_t character = 0;
    table.Characters[byte] = ::MultiByteToWideChar(codePage, 0, &in, 1, &character, 1) == 1
                                 ? static_cast<char16_t>(character)
                                 : static_cast<char16_t>(byte);
  }
  return table;
}

}  // namespace

std::size_t DecodePieceFromCodePage(unsigned codePage, std::string_view piece, bool last, char16_t* out,
                                    std::size_t& written)
{
  const TSingleByteTable& table = TableFor(codePage);
  if (table.SingleByte) {
    for (char byte : piece) *out++ = table.Characters[static_cast<unsigned char>(byte)];
    written = piece.size();
    return piece.size();
  }
  // Bytes below 0x30 (controls, blanks, line ends) are a whole character in
  // every code page of more bytes a character (lead and trail bytes of DBCS
  // pages, UTF-8 and GB18030 all lie higher), so a cut right after one never
  // splits a character.
  std::size_t cut = piece.size();
  if (!last) {
    while (cut > 0 && static_cast<unsigned char>(piece[cut - 1]) >= 0x30) --cut;
  }
  const std::u16string text = DecodeFromCodePage(codePage, piece.substr(0, cut));
  std::copy(text.begin(), text.end(), out);
  written = text.size();
  return cut;
}

bool EncodeAnsi(std::u16string_view text, std::string& out) { return EncodeInCodePage(::GetACP(), text, out); }

std::size_t DecodeAnsiPiece(std::string_view piece, bool last, char16_t* out, std::size_t& written)
{
  return DecodePieceFromCodePage(::GetACP(), piece, last, out, written);
}

std::u16string DecodeAnsi(std::string_view bytes) { return DecodeFromCodePage(::GetACP(), bytes); }

}  // namespace quenlora::platform
