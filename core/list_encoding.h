// SPDX-FileCopyrightText: 2026 The Quenlora authors
// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

namespace quenlora {

// The encoding of batch list files, remembered from the last load.
enum class TListEncoding { leAnsi, leUtf8, leUtf16LE, leUtf16BE };

}  // namespace quenlora
