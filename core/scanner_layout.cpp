// SPDX-FileCopyrightText: 2026 The Quenlora authors
// SPDX-License-Identifier: GPL-3.0-or-later

#include "scanner_layout.h"

#include "code_batch.h"

namespace quenlora {

std::optional<std::u16string> ReadThroughScannerLayouts(std::u16string_view typed, std::span<const TKeyStroke> keys)
{
  if (keys.empty() || CarriesScanPrefix(typed)) return std::nullopt;
  std::u16string reading;
  for (const TKeyboardLayout* layout : ScannerLayouts()) {
    if (ReadKeys(*layout, keys, reading) && CarriesScanPrefix(reading)) return reading;
  }
  return std::nullopt;
}

}  // namespace quenlora
