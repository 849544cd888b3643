// SPDX-FileCopyrightText: 2026 The Quenlora authors
// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

#include <QAccessibleWidget>

namespace quenlora::ui {

class TStatusPanel;

// A status bar panel as assistive technology sees it: static text named by
// what the panel shows, whose text a client can also read, measure and point
// into, character by character, as it reads a label's.
class TStatusPanelAccessible : public QAccessibleWidget, public QAccessibleTextInterface {
public:
  explicit TStatusPanelAccessible(TStatusPanel* panel);

  QString text(QAccessible::Text kind) const override;
  void* interface_cast(QAccessible::InterfaceType type) override;

  // The text can be read, not selected or edited: no selection, the caret at 0.
  void selection(int, int* startOffset, int* endOffset) const override { *startOffset = *endOffset = 0; }
  int selectionCount() const override { return 0; }
  void addSelection(int, int) override {}
  void removeSelection(int) override {}
  void setSelection(int, int, int) override {}
  int cursorPosition() const override { return 0; }
  void setCursorPosition(int) override {}
  QString text(int startOffset, int endOffset) const override;
  int characterCount() const override;
  QRect characterRect(int offset) const override;
  int offsetAtPoint(const QPoint& point) const override;
  void scrollToSubstring(int, int) override {}
  QString attributes(int offset, int* startOffset, int* endOffset) const override;

private:
  const TStatusPanel* Panel() const;
};

// Gives every status panel the accessible interface above.
void InstallStatusPanelAccessibility();

}  // namespace quenlora::ui
