// What a screen reader learns of the window: the names and roles of its
// controls through Qt's accessibility, and the count as it changes.
#include <QAccessible>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTest>
#include <memory>

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
    Scan(window, QStringLiteral("K1"));
    Scan(window, QStringLiteral("K2"));
    QCOMPARE(panel->text(QAccessible::Name), QStringLiteral("Počet: 2"));
    window.A_New->trigger();
    QCOMPARE(panel->text(QAccessible::Name), QStringLiteral("Počet: 0"));
  }
};

std::unique_ptr<QObject> MakeAccessibilityTest() { return std::make_unique<AccessibilityTest>(); }

#include "AccessibilityTest.moc"
