#pragma once

namespace quenlora {

// The encoding of batch list files, remembered from the last load.
enum class TListEncoding { leAnsi, leUtf8, leUtf16LE, leUtf16BE };

}  // namespace quenlora
