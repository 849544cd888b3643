// SPDX-FileCopyrightText: 2026 The Quenlora authors
// SPDX-License-Identifier: GPL-3.0-or-later

#include "temporary_name.h"

namespace quenlora::platform {

namespace {

constexpr std::string_view kMark = ".vortanek-";
constexpr std::string_view kEnding = ".tmp";
constexpr std::size_t kRandomDigits = 16;
// What a temporary name adds to the target's: the leading dot, the mark, the digits, the ending.
constexpr std::size_t kAdded = 1 + kMark.size() + kRandomDigits + kEnding.size();
constexpr std::size_t kLongestName = 255;

// Where a name may be cut without splitting a character: not before a UTF-8
// continuation byte, not before the low half of a surrogate pair.
bool SplitsCharacter(char c) { return (static_cast<unsigned char>(c) & 0xC0) == 0x80; }
bool SplitsCharacter(char16_t c) { return c >= 0xDC00 && c <= 0xDFFF; }

template <class Char>
std::basic_string<Char> Make(std::basic_string_view<Char> target, std::uint64_t random)
{
  std::size_t keep = target.size();
  if (keep > kLongestName - kAdded) {
    keep = kLongestName - kAdded;
    while (keep > 0 && SplitsCharacter(target[keep])) --keep;
    // A name with no boundary to cut at (bytes that are no UTF-8, lone low
    // surrogates) is cut where it must be: the temporary still needs part of
    // it to be recognised as one.
    if (keep == 0) keep = kLongestName - kAdded;
  }
  std::basic_string<Char> name;
  name.reserve(keep + kAdded);
  name += Char('.');
  name.append(target.substr(0, keep));
  for (char c : kMark) name += Char(c);
  for (int shift = 60; shift >= 0; shift -= 4) name += Char("0123456789abcdef"[(random >> shift) & 0xF]);
  for (char c : kEnding) name += Char(c);
  return name;
}

template <class Char>
bool EndsWithAscii(std::basic_string_view<Char> text, std::string_view ending)
{
  // Recognise checks the length first: a text shorter than the ending never comes.
  if (text.size() < ending.size()) return false;  // GCOVR_EXCL_BR_LINE
  const std::size_t start = text.size() - ending.size();
  for (std::size_t i = 0; i < ending.size(); ++i)
    if (text[start + i] != Char(ending[i])) return false;
  return true;
}

template <class Char>
bool Recognise(std::basic_string_view<Char> name)
{
  // At least one character of the target's name between the dot and the mark.
  if (name.size() < kAdded + 1 || name[0] != Char('.') || !EndsWithAscii(name, kEnding)) return false;
  name.remove_suffix(kEnding.size());
  for (std::size_t i = name.size() - kRandomDigits; i < name.size(); ++i) {
    const Char c = name[i];
    if (!((c >= Char('0') && c <= Char('9')) || (c >= Char('a') && c <= Char('f')))) return false;
  }
  name.remove_suffix(kRandomDigits);
  return EndsWithAscii(name, kMark);
}

}  // namespace

std::string TemporaryFileName(std::string_view targetName, std::uint64_t random) { return Make(targetName, random); }
std::u16string TemporaryFileName(std::u16string_view targetName, std::uint64_t random)
{
  return Make(targetName, random);
}

bool IsTemporaryFileName(std::string_view name) { return Recognise(name); }
bool IsTemporaryFileName(std::u16string_view name) { return Recognise(name); }

}  // namespace quenlora::platform
