// SPDX-FileCopyrightText: 2026 The Quenlora authors
// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

// The ANSI conversions for any Windows code page. EncodeAnsi and DecodeAnsi
// use the system's; the tests name the code pages the users have.

#include <string>
#include <string_view>

namespace quenlora::platform {

// Appends the text in the code page to out and returns true, or leaves out
// as it was and returns false when some character has no representation.
bool EncodeInCodePage(unsigned codePage, std::u16string_view text, std::string& out);
// Every byte sequence decodes; an invalid one gives replacement characters.
std::u16string DecodeFromCodePage(unsigned codePage, std::string_view bytes);
// The same for text that arrives in pieces (see DecodeAnsiPiece).
std::size_t DecodePieceFromCodePage(unsigned codePage, std::string_view piece, bool last, char16_t* out,
                                    std::size_t& written);

}  // namespace quenlora::platform
