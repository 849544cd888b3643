// SPDX-FileCopyrightText: 2026 The Quenlora authors
// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <cstdint>
#include <string_view>

namespace quenlora {

// CRC-32C (Castagnoli, reflected, as iSCSI and ext4 use it) of the bytes,
// continuing from a previous value; Crc32c("123456789") is 0xE3069283.
std::uint32_t Crc32c(std::string_view bytes, std::uint32_t previous = 0);

}  // namespace quenlora
