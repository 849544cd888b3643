// SPDX-FileCopyrightText: 2026 The Quenlora authors
// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

#include <optional>
#include <span>
#include <string>
#include <string_view>

#include "keyboard_layout.h"

namespace quenlora {

// A keyboard-wedge scanner does not send characters: it presses the keys
// that give them on the layout it was set up for, and the system turns the
// keys into characters through the layout the user has active. When the two
// differ, a scan arrives as other characters ("HTTPS\"--..." for
// "https://..."), and its prefix is not found.
//
// Given what the input box holds and the key presses that typed it, in
// order, this gives the text the keys type under the scanners' usual layouts
// (ScannerLayouts(), in their order): the first reading that carries
// ScanPrefix, to be taken as the raw input instead of what was typed. There
// is none when the typed text carries the prefix itself, when no reading
// does, or when there are no keys (pasted text, or keys that are not known
// to have typed exactly this text); the typed text then stands.
std::optional<std::u16string> ReadThroughScannerLayouts(std::u16string_view typed, std::span<const TKeyStroke> keys);

}  // namespace quenlora
