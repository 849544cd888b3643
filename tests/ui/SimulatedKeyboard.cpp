// SPDX-FileCopyrightText: 2026 The Quenlora authors
// SPDX-License-Identifier: GPL-3.0-or-later

#include "SimulatedKeyboard.h"

#include <QAbstractEventDispatcher>
#include <QApplication>
#include <QInputMethodEvent>
#include <QKeyEvent>
#include <QTest>
#include <algorithm>

#ifdef Q_OS_WIN
#include <windows.h>
#else
#include <xcb/xcb.h>
#endif

namespace quenlora::ui::test {

namespace {

constexpr TKeyPosition kShiftPosition = 0x2A;
constexpr TKeyPosition kReturnPosition = 0x1C;

void ReportNativePress(TKeyPosition position, bool shift)
{
  qintptr result = 0;
#ifdef Q_OS_WIN
  // Windows keeps the key state with the message queue; GetKeyState reads it.
  BYTE state[256];
  GetKeyboardState(state);
  const BYTE before = state[VK_SHIFT];
  state[VK_SHIFT] = state[VK_LSHIFT] = shift ? 0x80 : 0;
  SetKeyboardState(state);
  MSG msg{};
  msg.message = WM_KEYDOWN;
  msg.wParam = MapVirtualKeyW(position, MAPVK_VSC_TO_VK);
  msg.lParam = (static_cast<LPARAM>(position) << 16) | 1;
  QAbstractEventDispatcher::instance()->filterNativeEvent("windows_generic_MSG", &msg, &result);
  state[VK_SHIFT] = state[VK_LSHIFT] = before;
  SetKeyboardState(state);
#else
  xcb_key_press_event_t event{};
  event.response_type = XCB_KEY_PRESS;
  event.detail = static_cast<xcb_keycode_t>(TSimulatedKeyboard::NativeCode(position));
  event.state = shift ? XCB_MOD_MASK_SHIFT : 0;
  QAbstractEventDispatcher::instance()->filterNativeEvent("xcb_generic_event_t", &event, &result);
#endif
}

const TDeadKeyRule* RuleFrom(std::u16string_view keys)
{
  const std::span<const TDeadKeyRule> rules = DeadKeyRules();
  const auto rule = std::lower_bound(rules.begin(), rules.end(), keys,
                                     [](const TDeadKeyRule& r, std::u16string_view k) { return r.Keys < k; });
  return rule == rules.end() ? nullptr : &*rule;
}

int QtKeyOf(QChar c)
{
  const QChar upper = c.toUpper();
  if (upper >= u'A' && upper <= u'Z') return Qt::Key_A + (upper.unicode() - u'A');
  return upper.unicode();
}

void SendKey(int key, Qt::KeyboardModifiers modifiers, quint32 nativeCode, const QString& text)
{
  QWidget* target = QApplication::focusWidget();
  if (!target) return;
  QKeyEvent press(QEvent::KeyPress, key, modifiers, nativeCode, 0, 0, text);
  QCoreApplication::sendEvent(target, &press);
  QKeyEvent release(QEvent::KeyRelease, key, modifiers, nativeCode, 0, 0, text);
  QCoreApplication::sendEvent(target, &release);
}

}  // namespace

quint32 TSimulatedKeyboard::NativeCode(TKeyPosition position)
{
#ifdef Q_OS_WIN
  return position;
#else
  return position + 8u;
#endif
}

void TSimulatedKeyboard::NoteOne(TKeyStroke stroke)
{
  if (stroke.Shift && !shiftNoted_) ReportNativePress(kShiftPosition, false);
  shiftNoted_ = stroke.Shift;
  ReportNativePress(stroke.Position, stroke.Shift);
}

void TSimulatedKeyboard::DeliverOne(TKeyStroke stroke)
{
  const Qt::KeyboardModifiers modifiers = stroke.Shift ? Qt::ShiftModifier : Qt::NoModifier;
  if (stroke.Shift && !shiftDelivered_) SendKey(Qt::Key_Shift, Qt::ShiftModifier, NativeCode(kShiftPosition), {});
  shiftDelivered_ = stroke.Shift;
  const char16_t symbol = active_.Symbol(stroke);
  const quint32 native = NativeCode(stroke.Position);
  if (composing_.empty() && !IsDeadKey(symbol)) {
    SendKey(QtKeyOf(QChar(symbol)), modifiers, native, QString(QChar(symbol)));
    return;
  }
  composing_.push_back(symbol);
  const TDeadKeyRule* rule = RuleFrom(composing_);
  if (rule && rule->Keys == composing_) {
    composing_.clear();
    const QString composed = QString::fromUtf16(rule->Result.data(), static_cast<qsizetype>(rule->Result.size()));
#ifdef Q_OS_WIN
    SendKey(QtKeyOf(composed.at(0)), modifiers, native, composed);
#else
    QInputMethodEvent commit;
    commit.setCommitString(composed);
    if (QWidget* target = QApplication::focusWidget()) QCoreApplication::sendEvent(target, &commit);
#endif
  } else if (rule && rule->Keys.starts_with(composing_)) {
    // Waits for the next key: no event at all.
  } else {
    composing_.clear();
    if (!IsDeadKey(symbol)) SendKey(QtKeyOf(QChar(symbol)), modifiers, native, QString(QChar(symbol)));
  }
}

void TSimulatedKeyboard::Note(const std::vector<TKeyStroke>& strokes)
{
  for (const TKeyStroke stroke : strokes) NoteOne(stroke);
}

void TSimulatedKeyboard::Deliver(const std::vector<TKeyStroke>& strokes)
{
  for (const TKeyStroke stroke : strokes) DeliverOne(stroke);
}

void TSimulatedKeyboard::Press(const std::vector<TKeyStroke>& strokes)
{
  for (const TKeyStroke stroke : strokes) {
    NoteOne(stroke);
    DeliverOne(stroke);
  }
}

void TSimulatedKeyboard::PressReturn()
{
  ReportNativePress(kReturnPosition, false);
  shiftNoted_ = shiftDelivered_ = false;
  if (QWidget* target = QApplication::focusWidget()) QTest::keyClick(target, Qt::Key_Return);
}

std::vector<TKeyStroke> KeysTyping(const TKeyboardLayout& layout, const QString& text)
{
  std::vector<TKeyStroke> keys;
  for (const QChar c : text) {
    bool found = false;
    for (bool shift : {false, true})
      for (std::size_t p = 0; p < TKeyboardLayout::kPositions && !found; ++p) {
        const TKeyStroke stroke{static_cast<TKeyPosition>(p), shift};
        if (layout.Symbol(stroke) == c.unicode()) keys.push_back(stroke), found = true;
      }
    if (!found) qFatal("no key of %s types %s", layout.Name().data(), qPrintable(QString(c)));
  }
  return keys;
}

}  // namespace quenlora::ui::test
