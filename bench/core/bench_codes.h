// SPDX-FileCopyrightText: 2026 The Quenlora authors
// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

#include "code_batch.h"

namespace quenlora::bench {

// A twelve-character code, distinct for every number below 36^12.
inline std::u16string MakeCode(std::size_t number)
{
  constexpr std::u16string_view digits = u"0123456789ABCDEFGHIJKLMNOPQRSTUVWXYZ";
  // Spread consecutive numbers over the whole code so codes do not share long prefixes.
  number = number * 2654435761u % 4738381338321616896ull;
  std::u16string code(12, u'0');
  for (std::size_t i = 12; i-- > 0;) {
    code[i] = digits[number % 36];
    number /= 36;
  }
  return code;
}

inline std::vector<std::u16string> MakeCodes(std::size_t first, std::size_t count)
{
  std::vector<std::u16string> codes;
  codes.reserve(count);
  for (std::size_t i = 0; i < count; ++i) codes.push_back(MakeCode(first + i));
  return codes;
}

inline void FillBatch(TCodeBatch& batch, std::size_t count)
{
  const std::vector<std::u16string> codes = MakeCodes(0, count);
  const std::vector<std::u16string_view> lines(codes.begin(), codes.end());
  batch.ReplaceFromLines(lines);
}

}  // namespace quenlora::bench
