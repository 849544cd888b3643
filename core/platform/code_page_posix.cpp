// SPDX-FileCopyrightText: 2026 The Quenlora authors
// SPDX-License-Identifier: GPL-3.0-or-later

#include "platform.h"

#include <array>

#include "../code_page_1250.h"

namespace quenlora::platform {

bool EncodeAnsi(std::u16string_view text, std::string& out)
{
  const std::size_t old = out.size();
  out.resize(old + text.size());
  char* p = out.data() + old;
  for (char16_t c : text) {
    unsigned char byte;
    if (!EncodeCp1250(c, byte)) return false;
    *p++ = static_cast<char>(byte);
  }
  return true;
}

std::u16string DecodeAnsi(std::string_view bytes)
{
  std::u16string text(bytes.size(), u'\0');
  std::size_t written = 0;
  DecodeAnsiPiece(bytes, true, text.data(), written);
  return text;
}

std::size_t DecodeAnsiPiece(std::string_view piece, bool, char16_t* out, std::size_t& written)
{
  // One byte a character: every piece decodes whole, through a table.
  // A local static's guard has paths that only a thread meeting another one
  // in its initialisation takes; the branches of its last line are not counted.
  static const auto table = [] {
    std::array<char16_t, 256> characters{};
    for (unsigned byte = 0; byte < 256; ++byte) characters[byte] = DecodeCp1250(static_cast<unsigned char>(byte));
    return characters;
  }();  // GCOVR_EXCL_BR_LINE
  for (char byte : piece) *out++ = table[static_cast<unsigned char>(byte)];
  written = piece.size();
  return piece.size();
}

}  // namespace quenlora::platform
