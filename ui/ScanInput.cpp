// SPDX-FileCopyrightText: 2026 The Quenlora authors
// SPDX-License-Identifier: GPL-3.0-or-later

#include "ScanInput.h"

#include <QCoreApplication>
#include <QInputMethodEvent>
#include <QKeyEvent>
#include <algorithm>

namespace quenlora::ui {

namespace {

// Presses that wait for their key events are few; a queue this long means
// they are not coming (another program took them), and the keys are unknown.
constexpr std::size_t kMaxPending = 256;

bool IsModifierKey(int key)
{
  switch (key) {
    case Qt::Key_Shift:
    case Qt::Key_Control:
    case Qt::Key_Alt:
    case Qt::Key_AltGr:
    case Qt::Key_Meta:
    case Qt::Key_CapsLock:
    case Qt::Key_NumLock:
    case Qt::Key_Super_L:
    case Qt::Key_Super_R:
      return true;
    default:
      return false;
  }
}

}  // namespace

TScanInput::TScanInput(QWidget* parent) : QLineEdit(parent)
{
  QCoreApplication::instance()->installNativeEventFilter(this);
  connect(this, &QLineEdit::textChanged, this, [this](const QString& text) { TextChanged(text); });
}

TScanInput::~TScanInput()
{
  if (QCoreApplication* application = QCoreApplication::instance()) application->removeNativeEventFilter(this);
}

std::span<const TKeyStroke> TScanInput::TypingKeys() const
{
  if (!known_ || text().isEmpty()) return {};
  return keys_;
}

bool TScanInput::nativeEventFilter(const QByteArray& eventType, void* message, qintptr*)
{
  // The window system reports key presses before Qt delivers them, and does
  // not deliver dead keys at all: they are noted here and matched with the
  // key events as these arrive.
  if (!hasFocus()) return false;
  const std::optional<TNativeKeyPress> press = NativeKeyPressOf(eventType, message);
  if (!press) return false;
  if (pending_.size() >= kMaxPending) {
    pending_.clear();
    Drop();
  }
  TPendingPress pending{press->NativeCode, std::nullopt};
  if (const std::optional<TKeyPosition> position = KeyPositionOf(press->NativeCode); position && !press->OtherModifiers)
    pending.Stroke = TKeyStroke{*position, press->Shift};
  pending_.push_back(pending);
  return false;
}

bool TScanInput::TakePending(std::optional<quint32> nativeCode, std::vector<TKeyStroke>& strokes)
{
  std::size_t count = pending_.size();
  lastTaken_.reset();
  if (nativeCode) {
    count = 0;
    while (count < pending_.size() && pending_[count].NativeCode != *nativeCode) ++count;
    if (count == pending_.size()) return false;
    ++count;
  }
  if (count == 0) return false;
  // Keys before it whose events never came are dead keys (they type with it)
  // or keys that went to a shortcut (Return, Control combinations), which
  // type nothing.
  for (std::size_t i = 0; i < count; ++i)
    if (pending_[i].Stroke) strokes.push_back(*pending_[i].Stroke);
  const bool typing = pending_[count - 1].Stroke.has_value();
  lastTaken_ = pending_[count - 1].NativeCode;
  pending_.erase(pending_.begin(), pending_.begin() + static_cast<std::ptrdiff_t>(count));
  return typing;
}

bool TScanInput::AtEndWithoutSelection() const { return !hasSelectedText() && cursorPosition() == text().size(); }

void TScanInput::StartIfEmpty()
{
  if (!text().isEmpty()) return;
  keys_.clear();
  known_ = true;
}

void TScanInput::keyPressEvent(QKeyEvent* event)
{
  StartIfEmpty();
  if (IsModifierKey(event->key())) {
    // Shift and the like reach the box as keys of their own and type
    // nothing; a dead key before them still waits for its letter.
    const auto own = std::find_if(pending_.begin(), pending_.end(), [&](const TPendingPress& pending) {
      return pending.NativeCode == event->nativeScanCode();
    });
    if (own != pending_.end()) pending_.erase(own);
    QLineEdit::keyPressEvent(event);
    return;
  }
  std::vector<TKeyStroke> strokes;
  // Windows gives a dead key that does not combine with the next key as a
  // character of its own, in a second event of that key.
  const bool sameKeyAgain = event->key() == 0 && lastTaken_ && *lastTaken_ == event->nativeScanCode();
  const bool typing = (sameKeyAgain || TakePending(event->nativeScanCode(), strokes)) && !event->text().isEmpty() &&
                      !(event->modifiers() & (Qt::ControlModifier | Qt::MetaModifier)) && AtEndWithoutSelection();
  Record(typing, strokes);
  typing_ = true;
  QLineEdit::keyPressEvent(event);
  typing_ = false;
}

void TScanInput::inputMethodEvent(QInputMethodEvent* event)
{
  // A character composed from a dead key and the key after it (X11): none of
  // its keys came as a key event.
  StartIfEmpty();
  if (!event->commitString().isEmpty()) {
    std::vector<TKeyStroke> strokes;
    const bool typing = TakePending(std::nullopt, strokes) && AtEndWithoutSelection();
    Record(typing, strokes);
  }
  typing_ = true;
  QLineEdit::inputMethodEvent(event);
  typing_ = false;
}

void TScanInput::focusInEvent(QFocusEvent* event)
{
  // Presses noted before the box lost the focus went elsewhere.
  pending_.clear();
  QLineEdit::focusInEvent(event);
}

void TScanInput::TextChanged(const QString& text)
{
  if (text.isEmpty()) {
    // An empty box: whatever comes next is typed from its start.
    keys_.clear();
    known_ = true;
  } else if (!typing_ || !text.startsWith(text_) || cursorPosition() != text.size()) {
    Drop();
  }
  text_ = text;
}

void TScanInput::Record(bool typing, const std::vector<TKeyStroke>& strokes)
{
  if (typing && known_) {
    keys_.insert(keys_.end(), strokes.begin(), strokes.end());
  } else {
    Drop();
  }
}

void TScanInput::Drop()
{
  known_ = false;
  keys_.clear();
}

}  // namespace quenlora::ui
