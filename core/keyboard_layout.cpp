// SPDX-FileCopyrightText: 2026 The Quenlora authors
// SPDX-License-Identifier: GPL-3.0-or-later

#include "keyboard_layout.h"

#include <algorithm>

namespace quenlora {

namespace {

// The first rule whose keys sort at or after the sequence.
const TDeadKeyRule* FirstRuleFrom(std::u16string_view sequence)
{
  const std::span<const TDeadKeyRule> rules = DeadKeyRules();
  return std::lower_bound(rules.data(), rules.data() + rules.size(), sequence,
                          [](const TDeadKeyRule& rule, std::u16string_view keys) { return rule.Keys < keys; });
}

// Feeds symbols one at a time through the compose rules.
class TComposer {
public:
  explicit TComposer(std::u16string& out) : out_(out) {}

  // `symbols` holds every symbol so far, the new one last.
  void Feed(std::u16string_view symbols)
  {
    const std::size_t at = symbols.size() - 1;
    const char16_t symbol = symbols[at];
    if (!composing_ && !IsDeadKey(symbol)) {
      out_.push_back(symbol);
      return;
    }
    const std::size_t start = composing_ ? start_ : at;
    const std::u16string_view sequence = symbols.substr(start);
    const TDeadKeyRule* rule = FirstRuleFrom(sequence);
    const TDeadKeyRule* end = DeadKeyRules().data() + DeadKeyRules().size();
    composing_ = false;
    if (rule != end && rule->Keys == sequence) {
      out_.append(rule->Result);
    } else if (rule != end && rule->Keys.starts_with(sequence)) {
      composing_ = true;
      start_ = start;
    } else if (!IsDeadKey(symbol)) {
      // The sequence cannot match any more: it is dropped, and the key that
      // ended it types what it types on its own.
      out_.push_back(symbol);
    }
  }

private:
  std::u16string& out_;
  bool composing_ = false;
  std::size_t start_ = 0;
};

}  // namespace

std::u16string ComposeSymbols(std::u16string_view symbols)
{
  std::u16string text;
  TComposer composer(text);
  for (std::size_t i = 0; i < symbols.size(); ++i) composer.Feed(symbols.substr(0, i + 1));
  return text;
}

bool ReadKeys(const TKeyboardLayout& layout, std::span<const TKeyStroke> keys, std::u16string& text)
{
  text.clear();
  std::u16string symbols;
  symbols.reserve(keys.size());
  TComposer composer(text);
  for (const TKeyStroke& key : keys) {
    const char16_t symbol = layout.Symbol(key);
    if (symbol == 0) return false;
    symbols.push_back(symbol);
    composer.Feed(symbols);
  }
  return true;
}

}  // namespace quenlora
