// SPDX-FileCopyrightText: 2026 The Quenlora authors
// SPDX-License-Identifier: GPL-3.0-or-later

// What a screen reader learns of the window: the names and roles of its
// controls through Qt's accessibility, and the count as it changes.
#include <QAccessible>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTest>
#include <memory>

#include "AccessibleEventLog.h"
#include "ColumnCheckList.h"
#include "ImageToolBar.h"
#include "MainForm.h"
#include "StatusPanel.h"
#include "TestSupport.h"

using namespace quenlora;
using namespace quenlora::ui;
using namespace quenlora::ui::test;

namespace {

QAccessibleInterface* Accessible(QObject* object)
{
  QAccessibleInterface* accessible = QAccessible::queryAccessibleInterface(object);
  if (accessible == nullptr) qWarning("no accessible interface for %s", qPrintable(object->objectName()));
  return accessible;
}

}  // namespace

class AccessibilityTest : public QObject {
  Q_OBJECT

private Q_SLOTS:
  void controlsHaveNamesAndRoles_data()
  {
    QTest::addColumn<QString>("name");  // of the control
    QTest::addColumn<QString>("spoken");
    QTest::addColumn<int>("role");
    QTest::newRow("input box") << "txtInput" << "Vstup QR kódu" << int(QAccessible::EditableText);
    QTest::newRow("list") << "txtSeznam" << "Načtené kódy" << int(QAccessible::List);
    QTest::newRow("Button2, by its action's hint") << "Button2" << "Vložit do seznamu" << int(QAccessible::Button);
    QTest::newRow("count panel") << "StatusPanel0" << "Počet: 0" << int(QAccessible::StaticText);
    QTest::newRow("hint panel, without its line break")
        << "StatusPanel1"
        << "POZOR: Pokud exportujete kombinované KP, potom celá balení označte zaškrtnutím. Označený kód lze vymazat <DEL>"
        << int(QAccessible::StaticText);
    // The toolbar's buttons show no caption; each is named by its hint.
    QTest::newRow("A_New's button") << "A_NewButton" << "Nová dávka" << int(QAccessible::Button);
    QTest::newRow("A_SaveList's button") << "A_SaveListButton" << "Uložit načtené kódy" << int(QAccessible::Button);
    QTest::newRow("A_LoadList's button") << "A_LoadListButton" << "Načíst kódy ze souboru" << int(QAccessible::Button);
    QTest::newRow("A_XMLSingle's button") << "A_XMLSingleButton" << "Vrácené jednotlivé KP" << int(QAccessible::Button);
    QTest::newRow("A_XMLFull's button") << "A_XMLFullButton" << "Vrácené celé KP" << int(QAccessible::Button);
    QTest::newRow("A_XMLKombi's button") << "A_XMLKombiButton" << "Vrácené kombinované KP" << int(QAccessible::Button);
  }

  void controlsHaveNamesAndRoles()
  {
    QFETCH(QString, name);
    QFETCH(QString, spoken);
    QFETCH(int, role);
    TScriptedDialogs dialogs;
    TMain window(dialogs);
    QVERIFY(ShowAndActivate(window));
    auto* control = window.findChild<QWidget*>(name);
    QVERIFY(control != nullptr);
    QAccessibleInterface* accessible = Accessible(control);
    QVERIFY(accessible != nullptr);
    QCOMPARE(accessible->text(QAccessible::Name), spoken);
    QCOMPARE(int(accessible->role()), role);
    QVERIFY(!accessible->state().invisible);
  }

  void boxesAreLabelledByTheirLabels()
  {
    TScriptedDialogs dialogs;
    TMain window(dialogs);
    for (const auto& [label, box] : {std::pair<QWidget*, QWidget*>{window.Label3, window.txtInput},
                                     std::pair<QWidget*, QWidget*>{window.Label1, window.txtSeznam}}) {
      const auto relations = Accessible(box)->relations(QAccessible::Label);
      QCOMPARE(relations.size(), 1);
      QCOMPARE(relations.first().first->object(), label);
    }
  }

  void countPanelIsReadAsTheCountChanges()
  {
    TScriptedDialogs dialogs;
    TMain window(dialogs);
    QVERIFY(ShowAndActivate(window));
    QAccessibleInterface* panel = Accessible(window.StatusPanel0);
    QVERIFY(panel != nullptr);
    TAccessibleEventLog log;
    Scan(window, QStringLiteral("K1"));
    Scan(window, QStringLiteral("K2"));
    QCOMPARE(panel->text(QAccessible::Name), QStringLiteral("Počet: 2"));
    QCOMPARE(panel->textInterface()->text(0, -1), QStringLiteral("Počet: 2"));
    window.A_New->trigger();
    QCOMPARE(panel->text(QAccessible::Name), QStringLiteral("Počet: 0"));
    // Each change is told as a new name and as new text, with what it replaced.
    QStringList names;
    for (const auto& entry : log.Of(QAccessible::NameChanged, window.StatusPanel0)) names << entry.Name;
    QCOMPARE(names, (QStringList{"Počet: 1", "Počet: 2", "Počet: 0"}));
    QStringList texts;
    for (const auto& entry : log.Of(QAccessible::TextUpdated, window.StatusPanel0))
      texts << entry.TextRemoved + QStringLiteral(" -> ") + entry.TextInserted;
    QCOMPARE(texts, (QStringList{"Počet: 0 -> Počet: 1", "Počet: 1 -> Počet: 2", "Počet: 2 -> Počet: 0"}));
#ifdef Q_OS_WIN
    // Windows readers are told the new count to speak.
    QStringList spoken;
    for (const auto& entry : log.Of(QAccessible::ValueChanged, window.StatusPanel0)) spoken << entry.Value;
    QCOMPARE(spoken, (QStringList{"Počet: 1", "Počet: 2", "Počet: 0"}));
#endif
  }

  void panelsTextCanBeReadCharacterByCharacter()
  {
    TScriptedDialogs dialogs;
    TMain window(dialogs);
    QVERIFY(ShowAndActivate(window));
    TStatusPanel* hint = window.StatusPanel1;
    QAccessibleTextInterface* text = Accessible(hint)->textInterface();
    QVERIFY(text != nullptr);
    // The text as shown: the line break as a blank.
    const QString shown = hint->ShownText();
    QVERIFY(!shown.contains(QLatin1Char('\n')));
    QCOMPARE(text->characterCount(), shown.size());
    QCOMPARE(text->text(0, text->characterCount()), shown);
    QCOMPARE(text->text(0, 5), QStringLiteral("POZOR"));
    QCOMPARE(text->text(-3, 5), QStringLiteral("POZOR"));
    const int del = shown.indexOf(QStringLiteral("<DEL>"));
    QCOMPARE(text->text(del, shown.size() + 10), shown.mid(del));
    QVERIFY(text->text(del, shown.size() + 10).startsWith(QStringLiteral("<DEL>")));
    QCOMPARE(text->text(7, 3), QString());
    int start = -2;
    int end = -2;
    QCOMPARE(text->textAtOffset(8, QAccessible::WordBoundary, &start, &end), QStringLiteral("Pokud"));
    QCOMPARE(start, 7);
    QCOMPARE(end, 12);
    // Read-only: no selection, the caret at the start.
    QCOMPARE(text->selectionCount(), 0);
    QCOMPARE(text->cursorPosition(), 0);
    QCOMPARE(text->attributes(3, &start, &end), QString());
    QCOMPARE(start, 0);
    QCOMPARE(end, shown.size());
    // A character stands where it is drawn, left to right, and a point on it finds it.
    const QRect panelOnScreen(hint->mapToGlobal(QPoint(0, 0)), hint->size());
    QRect previous;
    for (int offset : {0, 1, 6, 20}) {
      const QRect character = text->characterRect(offset);
      QVERIFY2(panelOnScreen.contains(character), qPrintable(QString::number(offset)));
      QVERIFY(character.left() >= previous.right());
      QCOMPARE(text->offsetAtPoint(character.center()), offset);
      previous = character;
    }
    QCOMPARE(text->characterRect(shown.size()), QRect());
    QCOMPARE(text->offsetAtPoint(panelOnScreen.topLeft() - QPoint(5, 5)), -1);
  }
};

std::unique_ptr<QObject> MakeAccessibilityTest() { return std::make_unique<AccessibilityTest>(); }

#include "AccessibilityTest.moc"
