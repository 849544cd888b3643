#include "scanner_layout.h"

#include "code_batch.h"

namespace quenlora {

bool CarriesScanPrefix(std::u16string_view text)
{
  // Upper-casing ASCII letters is what NormalizeScan compares after; trimming
  // cannot matter, as the prefix begins and ends with no blank.
  const std::size_t length = ScanPrefix.size();
  if (text.size() < length) return false;
  for (std::size_t at = 0; at + length <= text.size(); ++at) {
    std::size_t i = 0;
    for (; i < length; ++i) {
      char16_t c = text[at + i];
      if (c >= u'a' && c <= u'z') c = static_cast<char16_t>(c - u'a' + u'A');
      if (c != ScanPrefix[i]) break;
    }
    if (i == length) return true;
  }
  return false;
}

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
