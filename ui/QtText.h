// SPDX-FileCopyrightText: 2026 The Quenlora authors
// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

#include <QString>
#include <string>
#include <string_view>

namespace quenlora::ui {

// The core keeps text as UTF-16 like Qt, so text crosses over without re-encoding.
inline std::u16string_view ViewOf(const QString& text)
{
  return {reinterpret_cast<const char16_t*>(text.utf16()), static_cast<std::size_t>(text.size())};
}

inline std::u16string ToU16(const QString& text) { return std::u16string(ViewOf(text)); }

inline QString ToQString(std::u16string_view text)
{
  return QString::fromUtf16(text.data(), static_cast<qsizetype>(text.size()));
}

}  // namespace quenlora::ui
