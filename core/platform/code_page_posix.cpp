#include "platform.h"

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
  for (std::size_t i = 0; i < bytes.size(); ++i)
    text[i] = DecodeCp1250(static_cast<unsigned char>(bytes[i]));
  return text;
}

}  // namespace quenlora::platform
