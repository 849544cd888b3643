// SPDX-FileCopyrightText: 2026 The Quenlora authors
// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

#include <QAccessible>
#include <QList>
#include <QString>

namespace quenlora::ui::test {

// Switches Qt's accessibility on as a connected screen reader does, and
// records every event the program sends while the log lives, read as a
// platform bridge reads it: the object the event is about (a row's object for
// an event about a row), with its role, name and states at that moment.
// Only one log may live at a time.
class TAccessibleEventLog {
public:
  struct TEntry {
    QAccessible::Event Type;
    QObject* Object;  // the widget the event was sent for
    int Child;        // -1 for the widget itself
    QAccessible::Role Role;
    QString Name;
    QAccessible::State State;
    QAccessible::State Changed;  // for state changes
    QAccessibleTableModelChangeEvent::ModelChangeType ModelChange;
    int FirstRow;  // for table model changes
    int LastRow;
    QString TextRemoved;  // for text updates
    QString TextInserted;
    QString Value;  // for value changes that carry text
  };

  TAccessibleEventLog();
  TAccessibleEventLog(const TAccessibleEventLog&) = delete;
  TAccessibleEventLog& operator=(const TAccessibleEventLog&) = delete;
  ~TAccessibleEventLog();

  const QList<TEntry>& Entries() const { return entries_; }
  // The entries of one type about the object (or about any of its children).
  QList<TEntry> Of(QAccessible::Event type, const QObject* object) const;
  void Clear() { entries_.clear(); }

private:
  static void Record(QAccessibleEvent* event);

  QList<TEntry> entries_;
};

}  // namespace quenlora::ui::test
