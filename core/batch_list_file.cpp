#include "batch_list_file.h"

#include "batch_error.h"
#include "platform/platform.h"
#include "unicode_text.h"

namespace quenlora {

namespace {

constexpr std::string_view kUtf8Mark = "\xEF\xBB\xBF";
constexpr std::string_view kUtf16LEMark = "\xFF\xFE";
constexpr std::string_view kUtf16BEMark = "\xFE\xFF";

// Encodes in exactly this encoding; false when it cannot hold the text.
bool TryEncode(std::u16string_view text, TListEncoding encoding, std::string& bytes)
{
  bytes.clear();
  switch (encoding) {
    case TListEncoding::leAnsi:
      bytes.reserve(text.size());
      // ANSI text that begins like a byte-order mark (in windows-1250 "ď»ż",
      // "˙ţ" or "ţ˙") would be read back in another encoding.
      return platform::EncodeAnsi(text, bytes) && !bytes.starts_with(kUtf8Mark) &&
             !bytes.starts_with(kUtf16LEMark) && !bytes.starts_with(kUtf16BEMark);
    case TListEncoding::leUtf8:
      bytes.reserve(kUtf8Mark.size() + text.size());
      bytes = kUtf8Mark;
      return AppendUtf8(text, bytes);
    case TListEncoding::leUtf16LE:
      bytes = kUtf16LEMark;
      AppendUtf16LE(text, bytes);
      return true;
    case TListEncoding::leUtf16BE:
      bytes = kUtf16BEMark;
      AppendUtf16BE(text, bytes);
      return true;
  }
  return false;
}

TBatchError UndecodableFile(const std::u16string& path, std::u16string_view what)
{
  std::u16string message = u"Cannot read file \"";
  message += path;
  message += u"\". ";
  message += what;
  return TBatchError(std::move(message));
}

}  // namespace

std::string EncodeBatchList(std::u16string_view text, TListEncoding encoding)
{
  std::string bytes;
  if (TryEncode(text, encoding, bytes)) return bytes;
  if (encoding != TListEncoding::leUtf8 && TryEncode(text, TListEncoding::leUtf8, bytes)) return bytes;
  TryEncode(text, TListEncoding::leUtf16LE, bytes);
  return bytes;
}

void SaveBatchList(const TCodeBatch& batch, const std::u16string& path)
{
  platform::ReplaceFileContent(path, EncodeBatchList(batch.Text(), batch.ListEncoding()));
}

std::vector<std::u16string_view> SplitLines(std::u16string_view text)
{
  std::vector<std::u16string_view> lines;
  std::size_t start = 0;
  for (std::size_t i = 0; i < text.size(); ++i) {
    const char16_t c = text[i];
    if (c != u'\r' && c != u'\n') continue;
    lines.push_back(text.substr(start, i - start));
    if (c == u'\r' && i + 1 < text.size() && text[i + 1] == u'\n') ++i;
    start = i + 1;
  }
  if (start < text.size()) lines.push_back(text.substr(start));
  return lines;
}

TDecodedList DecodeBatchList(std::string_view bytes, const std::u16string& path)
{
  TDecodedList decoded;
  std::u16string& text = decoded.Text;
  if (bytes.starts_with(kUtf8Mark)) {
    decoded.Encoding = TListEncoding::leUtf8;
    if (!DecodeUtf8Strict(bytes.substr(kUtf8Mark.size()), text))
      throw UndecodableFile(path, u"Invalid UTF-8 data after the UTF-8 byte-order mark");
  } else if (bytes.starts_with(kUtf16LEMark)) {
    decoded.Encoding = TListEncoding::leUtf16LE;
    text = DecodeUtf16LE(bytes.substr(kUtf16LEMark.size()));
  } else if (bytes.starts_with(kUtf16BEMark)) {
    decoded.Encoding = TListEncoding::leUtf16BE;
    text = DecodeUtf16BE(bytes.substr(kUtf16BEMark.size()));
  } else {
    text = platform::DecodeAnsi(bytes);
  }
  // A NUL would cut the text short; rather than drop what follows it, the load
  // is refused. A UTF-16 file without a mark is the usual cause.
  if (text.find(u'\0') != std::u16string::npos)
    throw UndecodableFile(path, u"The text contains a NUL character (UTF-16 without a byte-order mark?)");
  return decoded;
}

void LoadBatchList(TCodeBatch& batch, const std::u16string& path)
{
  const TDecodedList decoded = DecodeBatchList(platform::ReadWholeFile(path), path);
  const std::vector<std::u16string_view> lines = SplitLines(decoded.Text);
  batch.ReplaceFromLines(lines);
  batch.SetListEncoding(decoded.Encoding);
}

}  // namespace quenlora
