// The file commands end to end: dialogs answered in the user's place, files
// checked byte for byte, failures ending in the error box.
#include <QDir>
#include <QFile>
#include <QLineEdit>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QTest>
#include <memory>
#include <unistd.h>

#include "ColumnCheckList.h"
#include "MainForm.h"
#include "QtText.h"
#include "StatusPanel.h"
#include "TestSupport.h"
#include "file_stamp.h"
#include "return_document.h"

using namespace quenlora;
using namespace quenlora::ui;
using namespace quenlora::ui::test;

namespace {

using TSections = QList<QPair<QByteArray, QList<QByteArray>>>;

QByteArray Xml(const TSections& sections)
{
  QByteArray bytes("\xEF\xBB\xBF");
  bytes += "<?xml version=\"1.0\" encoding=\"utf-8\"?>\r\n";
  bytes += "<VraceneKontrolniPasky xmlns=\"http://" + ToQString(NamespaceHost).toUtf8() +
           "/XMLSchema/RZL/VraceneKP/1.0.0\">\r\n";
  for (const auto& [name, codes] : sections) {
    bytes += "<" + name + ">\r\n";
    for (const QByteArray& code : codes) bytes += "<IndividualniKod>" + code + "</IndividualniKod>\r\n";
    bytes += "</" + name + ">\r\n";
  }
  bytes += "</VraceneKontrolniPasky>\r\n";
  return bytes;
}

QStringList Codes(const TCodeBatch& batch)
{
  QStringList codes;
  for (std::ptrdiff_t i = 0; i < batch.Count(); ++i) codes << ToQString(batch.Code(i));
  return codes;
}

QAction* ActionNamed(TMain& window, const QString& name) { return window.findChild<QAction*>(name); }

QString Folder() { return ToQString(DefaultFolder()); }

QString Stamp() { return ToQString(FileStamp()); }

// Runs the action and checks that the dialog proposed prefix + stamp + suffix,
// the stamp being the one of the moment the dialog opened.
void RunAndCheckProposal(QAction* action, TScriptedDialogs& dialogs, const QString& prefix,
                         const QString& suffix)
{
  const QString before = Stamp();
  action->trigger();
  const QString after = Stamp();
  QVERIFY(!dialogs.Shown.isEmpty());
  const QString proposed = dialogs.Shown.last().ProposedName;
  QVERIFY2(proposed == prefix + before + suffix || proposed == prefix + after + suffix, qPrintable(proposed));
}

}  // namespace

class CommandsTest : public QObject {
  Q_OBJECT

private Q_SLOTS:
  void exportsWriteTheDocument_data()
  {
    QTest::addColumn<QString>("action");
    QTest::addColumn<QString>("prefix");
    QTest::addColumn<bool>("empty");
    QTest::addColumn<QByteArray>("expected");
    // The ampersand is written so that an XML reader reads the code back.
    const QList<QByteArray> all{"AB12", "CD&amp;34", "EF56"};
    QTest::newRow("single") << "A_XMLSingle" << "VraceneJednotliveKP_" << false
                            << Xml({{"JednotliveKontrolniPasky", all}});
    QTest::newRow("full") << "A_XMLFull" << "VraceneCeleKP_" << false << Xml({{"NeporusenaBaleni", all}});
    QTest::newRow("kombi") << "A_XMLKombi" << "VraceneKombiKP_" << false
                           << Xml({{"NeporusenaBaleni", {"AB12", "EF56"}}, {"JednotliveKontrolniPasky", {"CD&amp;34"}}});
    QTest::newRow("single, empty batch") << "A_XMLSingle" << "VraceneJednotliveKP_" << true
                                         << Xml({{"JednotliveKontrolniPasky", {}}});
    QTest::newRow("full, empty batch") << "A_XMLFull" << "VraceneCeleKP_" << true << Xml({{"NeporusenaBaleni", {}}});
    QTest::newRow("kombi, empty batch") << "A_XMLKombi" << "VraceneKombiKP_" << true << Xml({});
  }

  void exportsWriteTheDocument()
  {
    QFETCH(QString, action);
    QFETCH(QString, prefix);
    QFETCH(bool, empty);
    QFETCH(QByteArray, expected);
    TScriptedDialogs dialogs;
    TMain window(dialogs);
    QVERIFY(ShowAndActivate(window));
    if (!empty) {
      for (const char* code : {"AB12", "cd&34", "EF56"}) Scan(window, QString::fromLatin1(code));
      TColumnCheckList* list = window.txtSeznam;
      for (int row : {0, 2}) {
        const QRect rect = list->RowRect(row);
        QTest::mouseClick(list->viewport(), Qt::LeftButton, {}, QPoint(rect.left() + 4, rect.center().y()));
      }
      QVERIFY(window.Batch().WholePackage(0) && !window.Batch().WholePackage(1) && window.Batch().WholePackage(2));
    }
    QTemporaryDir folder;
    // A folder whose name starts with n after a backslash is shown as it is.
    QVERIFY(QDir(folder.path()).mkdir(QStringLiteral("C:\\new")));
    const QString path = folder.filePath(QStringLiteral("C:\\new/x.xml"));
    dialogs.ChooseNext(path);
    RunAndCheckProposal(ActionNamed(window, action), dialogs, prefix, QStringLiteral(".xml"));
    QCOMPARE(dialogs.Shown.size(), 1);
    const auto& shown = dialogs.Shown[0];
    QCOMPARE(shown.Name, QStringLiteral("FileSaveDialogXML"));
    QCOMPARE(shown.Kind, TFileDialog::fdSave);
    QCOMPARE(shown.DefaultExtension, QStringLiteral("xml"));
    QVERIFY(shown.ConfirmsOverwrite);
    QCOMPARE(shown.DefaultFolder, Folder());
    QCOMPARE(shown.FileTypes.size(), 2);
    QCOMPARE(shown.FileTypes[0].DisplayName, QStringLiteral("XML soubor (*.xml)"));
    QCOMPARE(shown.FileTypes[0].Mask, QStringLiteral("*.xml"));
    QCOMPARE(shown.FileTypes[1].DisplayName, QStringLiteral("Všechny soubory (*.*)"));
    QCOMPARE(shown.FileTypes[1].Mask, QStringLiteral("*.*"));
    QCOMPARE(ReadBytes(path), expected);
    QCOMPARE(dialogs.Notices.size(), 1);
    QCOMPARE(dialogs.Notices[0].Instruction, QStringLiteral("Datový soubor byl úspěšně uložen."));
    QCOMPARE(dialogs.Notices[0].Content, path);
    QVERIFY(dialogs.Errors.isEmpty());
    QCOMPARE(QApplication::focusWidget(), window.txtInput);
    // The export reads the batch; it does not change it.
    QCOMPARE(window.Batch().Count(), empty ? 0 : 3);
  }

  void exportingTwiceGivesTheSameBytes()
  {
    TScriptedDialogs dialogs;
    TMain window(dialogs);
    QVERIFY(ShowAndActivate(window));
    Scan(window, QStringLiteral("AB12"));
    QTemporaryDir folder;
    dialogs.ChooseNext(folder.filePath(QStringLiteral("1.xml")));
    dialogs.ChooseNext(folder.filePath(QStringLiteral("2.xml")));
    window.A_XMLKombi->trigger();
    window.A_XMLKombi->trigger();
    QCOMPARE(ReadBytes(folder.filePath(QStringLiteral("1.xml"))), ReadBytes(folder.filePath(QStringLiteral("2.xml"))));
  }

  void saveListWritesTheBatchText()
  {
    TScriptedDialogs dialogs;
    TMain window(dialogs);
    QVERIFY(ShowAndActivate(window));
    Scan(window, QStringLiteral("a1"));
    Scan(window, QStringLiteral("B2"));
    QTemporaryDir folder;
    const QString path = folder.filePath(QStringLiteral("list.txt"));
    QVERIFY(WriteBytes(path, "older and longer content"));
    dialogs.ChooseNext(path);
    RunAndCheckProposal(window.A_SaveList, dialogs, QStringLiteral("DavkaKP_"), QStringLiteral(".txt"));
    const auto& shown = dialogs.Shown[0];
    QCOMPARE(shown.Name, QStringLiteral("FileSaveDialog1"));
    QCOMPARE(shown.DefaultExtension, QStringLiteral("txt"));
    QVERIFY(shown.ConfirmsOverwrite);
    QCOMPARE(shown.DefaultFolder, Folder());
    QCOMPARE(shown.FileTypes[0].DisplayName, QStringLiteral("Textové soubory (*.txt)"));
    QCOMPARE(shown.FileTypes[1].DisplayName, QStringLiteral("Všechny soubory (*.*)"));
    QCOMPARE(ReadBytes(path), QByteArray("A1\r\nB2\r\n"));
    QCOMPARE(dialogs.Notices.size(), 1);
    QCOMPARE(dialogs.Notices[0].Instruction, QStringLiteral("Seznam byl úspěšně uložen."));
    QCOMPARE(dialogs.Notices[0].Content, path);
    QCOMPARE(QApplication::focusWidget(), window.txtInput);
  }

  void loadListReplacesTheBatch()
  {
    TScriptedDialogs dialogs;
    TMain window(dialogs);
    QVERIFY(ShowAndActivate(window));
    Scan(window, QStringLiteral("OLD"));
    QTemporaryDir folder;
    const QString path = folder.filePath(QStringLiteral("in.txt"));
    QVERIFY(WriteBytes(path, "a1 \r\r\nB2"));
    dialogs.ChooseNext(path);
    window.A_LoadList->trigger();
    const auto& shown = dialogs.Shown[0];
    QCOMPARE(shown.Name, QStringLiteral("FileOpenDialog1"));
    QCOMPARE(shown.Kind, TFileDialog::fdOpen);
    QVERIFY(shown.DefaultExtension.isEmpty());
    QVERIFY(shown.ProposedName.isEmpty());
    QCOMPARE(shown.DefaultFolder, Folder());
    QCOMPARE(shown.FileTypes[0].DisplayName, QStringLiteral("Textový soubor (*.txt)"));
    QCOMPARE(shown.FileTypes[0].Mask, QStringLiteral("*.txt"));
    QCOMPARE(Codes(window.Batch()), (QStringList{"a1 ", "", "B2"}));
    QCOMPARE(window.StatusPanel0->Text(), QStringLiteral("Počet: 3"));
    QCOMPARE(window.txtSeznam->SelectedRow(), -1);
    QVERIFY(dialogs.Notices.isEmpty());
    QCOMPARE(QApplication::focusWidget(), window.txtInput);
    // Loaded entries are compared as they were loaded.
    Scan(window, QStringLiteral("a1"));
    QCOMPARE(window.Batch().Count(), 4);
  }

  void openDialogProposesTheLastChosenFile()
  {
    TScriptedDialogs dialogs;
    TMain window(dialogs);
    QVERIFY(ShowAndActivate(window));
    QTemporaryDir folder;
    const QString first = folder.filePath(QStringLiteral("first.txt"));
    QVERIFY(WriteBytes(first, "F1\r\n"));
    const QString missing = folder.filePath(QStringLiteral("missing.txt"));
    dialogs.ChooseNext(first);
    dialogs.CancelNext();
    dialogs.ChooseNext(missing);
    dialogs.CancelNext();
    for (int i = 0; i < 4; ++i) window.A_LoadList->trigger();
    QCOMPARE(dialogs.Shown.size(), 4);
    QCOMPARE(dialogs.Shown[1].ProposedName, first);
    QCOMPARE(dialogs.Shown[2].ProposedName, first);  // the cancelled showing changed nothing
    QCOMPARE(dialogs.Shown[3].ProposedName, missing);  // a failed read does not clear it
    for (const auto& shown : dialogs.Shown) QCOMPARE(shown.DefaultFolder, Folder());
  }

  void missingFileGivesTheErrorBoxAndKeepsTheBatch()
  {
    TScriptedDialogs dialogs;
    TMain window(dialogs);
    QVERIFY(ShowAndActivate(window));
    Scan(window, QStringLiteral("KEEP"));
    window.txtSeznam->SelectRow(0);
    window.txtSeznam->setFocus();
    QTemporaryDir folder;
    const QString missing = folder.filePath(QStringLiteral("nothing here.txt"));
    dialogs.ChooseNext(missing);
    window.A_LoadList->trigger();
    // A failed command stops before giving the focus to the input box.
    QCOMPARE(QApplication::focusWidget(), window.txtSeznam);
    QCOMPARE(dialogs.Errors.size(), 1);
    const QString text = dialogs.Errors[0];
    QVERIFY2(text.startsWith(QStringLiteral("Cannot open file \"") + missing + QStringLiteral("\". ")), qPrintable(text));
    QVERIFY(text.endsWith(u'.') && !text.endsWith(QStringLiteral("..")));
    QCOMPARE(Codes(window.Batch()), QStringList{"KEEP"});
    QCOMPARE(window.StatusPanel0->Text(), QStringLiteral("Počet: 1"));
    QCOMPARE(window.txtSeznam->SelectedRow(), 0);
  }

  void listEncodingOfTheLastLoadHolds_data()
  {
    QTest::addColumn<QByteArray>("loaded");
    QTest::addColumn<QByteArray>("saved");
    QTest::newRow("no mark: ANSI") << QByteArray("L1\r\n") << QByteArray("X1\r\n");
    QTest::newRow("UTF-8 mark") << QByteArray("\xEF\xBB\xBFL1\r\n") << QByteArray("\xEF\xBB\xBFX1\r\n");
    QTest::newRow("UTF-16 LE mark") << QByteArray("\xFF\xFEL\0" "1\0", 6) << QByteArray("\xFF\xFEX\0" "1\0\r\0\n\0", 10);
  }

  void listEncodingOfTheLastLoadHolds()
  {
    QFETCH(QByteArray, loaded);
    QFETCH(QByteArray, saved);
    TScriptedDialogs dialogs;
    TMain window(dialogs);
    QVERIFY(ShowAndActivate(window));
    QTemporaryDir folder;
    const QString in = folder.filePath(QStringLiteral("in.txt"));
    const QString out = folder.filePath(QStringLiteral("out.txt"));
    QVERIFY(WriteBytes(in, loaded));
    dialogs.ChooseNext(in);
    window.A_LoadList->trigger();
    window.A_New->trigger();
    Scan(window, QStringLiteral("X1"));
    dialogs.ChooseNext(out);
    window.A_SaveList->trigger();
    QCOMPARE(ReadBytes(out), saved);
  }

  void cancellingChangesNothing_data()
  {
    QTest::addColumn<QString>("action");
    for (const char* name : {"A_LoadList", "A_SaveList", "A_XMLSingle", "A_XMLFull", "A_XMLKombi"}) QTest::newRow(name) << name;
  }

  void cancellingChangesNothing()
  {
    QFETCH(QString, action);
    TScriptedDialogs dialogs;
    TMain window(dialogs);
    QVERIFY(ShowAndActivate(window));
    Scan(window, QStringLiteral("C1"));
    dialogs.CancelNext();
    ActionNamed(window, action)->trigger();
    QCOMPARE(dialogs.Shown.size(), 1);
    QVERIFY(dialogs.Notices.isEmpty());
    QVERIFY(dialogs.Errors.isEmpty());
    QCOMPARE(Codes(window.Batch()), QStringList{"C1"});
    QCOMPARE(window.StatusPanel0->Text(), QStringLiteral("Počet: 1"));
    QCOMPARE(QApplication::focusWidget(), window.txtInput);
  }

  void unwritablePlaceGivesTheErrorBox_data()
  {
    QTest::addColumn<QString>("action");
    QTest::addColumn<bool>("denied");  // a folder without write permission, else a missing folder
    for (const char* name : {"A_SaveList", "A_XMLSingle", "A_XMLFull", "A_XMLKombi"}) {
      QTest::newRow(QByteArray(name) + " missing folder") << name << false;
      QTest::newRow(QByteArray(name) + " no permission") << name << true;
    }
  }

  void unwritablePlaceGivesTheErrorBox()
  {
    QFETCH(QString, action);
    QFETCH(bool, denied);
    if (denied && ::geteuid() == 0) QSKIP("permissions do not bind root");
    TScriptedDialogs dialogs;
    TMain window(dialogs);
    QVERIFY(ShowAndActivate(window));
    Scan(window, QStringLiteral("W1"));
    QTemporaryDir folder;
    QString path = folder.filePath(QStringLiteral("no such folder/out.file"));
    if (denied) {
      QVERIFY(QDir(folder.path()).mkdir(QStringLiteral("locked")));
      QFile::setPermissions(folder.filePath(QStringLiteral("locked")), QFile::ReadOwner | QFile::ExeOwner);
      path = folder.filePath(QStringLiteral("locked/out.file"));
    }
    window.txtSeznam->setFocus();
    dialogs.ChooseNext(path);
    ActionNamed(window, action)->trigger();
    QCOMPARE(QApplication::focusWidget(), window.txtSeznam);
    QCOMPARE(window.StatusPanel0->Text(), QStringLiteral("Počet: 1"));
    QCOMPARE(dialogs.Errors.size(), 1);
    QVERIFY2(dialogs.Errors[0].startsWith(QStringLiteral("Cannot create file \"") + path + QStringLiteral("\". ")),
             qPrintable(dialogs.Errors[0]));
    QVERIFY(dialogs.Errors[0].endsWith(u'.'));
    QVERIFY(dialogs.Notices.isEmpty());
    QVERIFY(!QFile::exists(path));
    QCOMPARE(Codes(window.Batch()), QStringList{"W1"});
    if (denied) QFile::setPermissions(folder.filePath(QStringLiteral("locked")), QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
  }

  void codeXmlCannotCarryStopsTheExportBeforeTheDialog()
  {
    TScriptedDialogs dialogs;
    TMain window(dialogs);
    QVERIFY(ShowAndActivate(window));
    QTemporaryDir folder;
    const QString in = folder.filePath(QStringLiteral("in.txt"));
    QVERIFY(WriteBytes(in, "GOOD\r\nBA\x01" "D\r\n"));
    dialogs.ChooseNext(in);
    window.A_LoadList->trigger();
    QCOMPARE(window.Batch().Count(), 2);
    window.A_XMLSingle->trigger();
    QCOMPARE(dialogs.Shown.size(), 1);  // only the open dialog
    QCOMPARE(dialogs.Errors.size(), 1);
    QVERIFY(!dialogs.Errors[0].isEmpty());
    QVERIFY(dialogs.Notices.isEmpty());
  }

  void eachDialogRemembersItsFileType()
  {
    TScriptedDialogs dialogs;
    TMain window(dialogs);
    QVERIFY(ShowAndActivate(window));
    QTemporaryDir folder;
    dialogs.ChooseNext(folder.filePath(QStringLiteral("list")), 1);
    window.A_SaveList->trigger();
    dialogs.CancelNext();
    window.A_SaveList->trigger();
    dialogs.CancelNext();
    window.A_XMLFull->trigger();
    dialogs.CancelNext();
    window.A_LoadList->trigger();
    QCOMPARE(dialogs.Shown.size(), 4);
    QCOMPARE(dialogs.Shown[0].FileTypeIndex, 0);
    QCOMPARE(dialogs.Shown[1].FileTypeIndex, 1);
    QCOMPARE(dialogs.Shown[2].FileTypeIndex, 0);
    QCOMPARE(dialogs.Shown[3].FileTypeIndex, 0);
    // A save dialog proposes a fresh name, not the file chosen before.
    QVERIFY(dialogs.Shown[1].ProposedName.startsWith(QStringLiteral("DavkaKP_")));
    QCOMPARE(dialogs.Shown[1].DefaultFolder, Folder());
  }
};

std::unique_ptr<QObject> MakeCommandsTest() { return std::make_unique<CommandsTest>(); }

#include "CommandsTest.moc"
