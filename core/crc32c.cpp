// SPDX-FileCopyrightText: 2026 The Quenlora authors
// SPDX-License-Identifier: GPL-3.0-or-later
#include "crc32c.h"

#include <array>
#include <cstring>

namespace quenlora {

namespace {

// Eight tables, so that the loop takes eight bytes a step.
struct TTables {
  std::array<std::array<std::uint32_t, 256>, 8> T{};
  TTables()
  {
    for (std::uint32_t i = 0; i < 256; ++i) {
      std::uint32_t c = i;
      for (int k = 0; k < 8; ++k) c = (c & 1) ? (c >> 1) ^ 0x82F63B78u : c >> 1;
      T[0][i] = c;
    }
    for (std::uint32_t i = 0; i < 256; ++i)
      for (std::size_t t = 1; t < 8; ++t) T[t][i] = (T[t - 1][i] >> 8) ^ T[0][T[t - 1][i] & 0xFF];
  }
};

const TTables& Tables()
{
  static const TTables tables;  // GCOVR_EXCL_BR_LINE: the guard of a static's first use
  return tables;
}

}  // namespace

std::uint32_t Crc32c(std::string_view bytes, std::uint32_t previous)
{
  const auto& t = Tables().T;
  std::uint32_t crc = ~previous;
  const auto* p = reinterpret_cast<const unsigned char*>(bytes.data());
  std::size_t n = bytes.size();
  while (n >= 8) {
    // Little-endian order of the bytes, whatever the machine's.
    const std::uint32_t low = crc ^ (std::uint32_t{p[0]} | std::uint32_t{p[1]} << 8 | std::uint32_t{p[2]} << 16 |
                                     std::uint32_t{p[3]} << 24);
    crc = t[7][low & 0xFF] ^ t[6][(low >> 8) & 0xFF] ^ t[5][(low >> 16) & 0xFF] ^ t[4][low >> 24] ^ t[3][p[4]] ^
          t[2][p[5]] ^ t[1][p[6]] ^ t[0][p[7]];
    p += 8;
    n -= 8;
  }
  while (n-- > 0) crc = (crc >> 8) ^ t[0][(crc ^ *p++) & 0xFF];
  return ~crc;
}

}  // namespace quenlora
