// SPDX-FileCopyrightText: 2026 The Quenlora authors
// SPDX-License-Identifier: GPL-3.0-or-later

// The file commands end to end: dialogs answered in the user's place, files
// checked byte for byte, failures ending in the error box.
#include <QDir>
#include <QFile>
#include <QLineEdit>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QTest>
#include <QXmlStreamReader>
#include <memory>
#include <optional>

#include "BatchListModel.h"
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

// How a failing write is brought about.
enum class TWay {
  Plain,          // the path itself is wrong
  Unprivileged,   // as a user whom permissions bind
  HeldByAnother,  // another program holds the file open
  DiskFull,       // the disk fills up part-way
};

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

// Everything a failed command must leave as it was, in one comparable text.
QString StateOf(TMain& window)
{
  QStringList parts;
  const TCodeBatch& batch = window.Batch();
  for (std::ptrdiff_t i = 0; i < batch.Count(); ++i)
    parts << (batch.WholePackage(i) ? QStringLiteral("[x] ") : QStringLiteral("[ ] ")) + ToQString(batch.Code(i));
  parts << QStringLiteral("encoding %1").arg(static_cast<int>(batch.ListEncoding()));
  parts << window.StatusPanel0->Text();
  parts << QStringLiteral("selected %1").arg(window.txtSeznam->SelectedRow());
  return parts.join(u'|');
}

// Three codes, long enough that a list file outgrows a small file-size
// limit; the second is marked and selected, and the list has the focus.
void PrepareBatch(TMain& window)
{
  QVERIFY(ShowAndActivate(window));
  for (const char* code : {"KEEP-0001", "KEEP-0002", "KEEP-0003"}) Scan(window, QString::fromLatin1(code));
  window.BatchModel().SetWholePackage(1, true);
  window.txtSeznam->SelectRow(1);
  window.txtSeznam->setFocus();
}

// After a failure the user clicks into the input box and scans on: the code
// is added and the count follows.
void ExpectScanningGoesOn(TMain& window)
{
  const std::ptrdiff_t count = window.Batch().Count();
  QTest::mouseClick(window.txtInput, Qt::LeftButton);
  Scan(window, QStringLiteral("after-%1").arg(count));
  QCOMPARE(window.Batch().Count(), count + 1);
  QCOMPARE(ToQString(window.Batch().Code(count)), QStringLiteral("AFTER-%1").arg(count));
  QCOMPARE(window.StatusPanel0->Text(), QStringLiteral("Počet: %1").arg(count + 1));
  QCOMPARE(QApplication::focusWidget(), window.txtInput);
}

// Blanks and control characters trimmed from both ends, as exports do.
QString Trimmed(const QString& code)
{
  qsizetype begin = 0;
  qsizetype end = code.size();
  while (begin < end && code[begin].unicode() <= 0x20) ++begin;
  while (end > begin && code[end - 1].unicode() <= 0x20) --end;
  return code.mid(begin, end - begin);
}

// A list file in UTF-8 with its mark, every line ended by CR LF.
QByteArray Utf8List(const QStringList& codes)
{
  QByteArray bytes("\xEF\xBB\xBF");
  for (const QString& code : codes) bytes += code.toUtf8() + "\r\n";
  return bytes;
}

// Reads the document with Qt's XML parser: the codes it holds, in order, or
// a description of what is wrong with it.
QStringList ParsedCodes(const QByteArray& document)
{
  QXmlStreamReader reader(document);
  QStringList codes;
  const QString ns = QStringLiteral("http://") + ToQString(NamespaceHost) + QStringLiteral("/XMLSchema/RZL/VraceneKP/1.0.0");
  while (!reader.atEnd()) {
    if (reader.readNext() != QXmlStreamReader::StartElement) continue;
    if (reader.namespaceUri() != ns) return {QStringLiteral("<wrong namespace>")};
    if (reader.name() == QStringLiteral("IndividualniKod")) codes << reader.readElementText();
  }
  if (reader.hasError()) return {QStringLiteral("<not well-formed: ") + reader.errorString() + u'>'};
  return codes;
}

const QByteArray kPrevious("previous content, \xC4\x8D\r\n");

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
#ifdef Q_OS_WIN
    QVERIFY(QDir(folder.path()).mkdir(QStringLiteral("new")));
    const QString path = QDir::toNativeSeparators(folder.filePath(QStringLiteral("new/x.xml")));
#else
    QVERIFY(QDir(folder.path()).mkdir(QStringLiteral("C:\\new")));
    const QString path = folder.filePath(QStringLiteral("C:\\new/x.xml"));
#endif
    dialogs.ChooseNext(path);
    RunAndCheckProposal(ActionNamed(window, action), dialogs, prefix, QStringLiteral(".xml"));
    QCOMPARE(dialogs.Shown.size(), 1);
    const auto& shown = dialogs.Shown[0];
    QCOMPARE(shown.Name, QStringLiteral("FileSaveDialogXML"));
    QCOMPARE(shown.Kind, TFileDialog::fdSave);
    QCOMPARE(shown.DefaultExtension, QStringLiteral("xml"));
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

  void loadFailuresGiveTheErrorBox_data()
  {
    QTest::addColumn<QString>("source");  // in the scratch folder
    QTest::addColumn<bool>("unprivileged");
    QTest::addColumn<bool>("held");  // by another program (Windows)
    QTest::addColumn<QString>("lead");
    QTest::addColumn<QString>("tail");  // the error box text after the path
    const QString open = QStringLiteral("Cannot open file");
    const QString read = QStringLiteral("Cannot read file");
    const auto reason = [](TFailure failure) { return SystemReason(failure) + u'.'; };
    QTest::newRow("missing file") << "nothing here.txt" << false << false << open << reason(TFailure::FileNotFound);
    QTest::newRow("missing folder") << "missing/list.txt" << false << false << open << reason(TFailure::PathNotFound);
    QTest::newRow("folder chosen as file") << "folder" << false << false << open << reason(TFailure::IsFolder);
#ifdef Q_OS_WIN
    QTest::newRow("held by another program") << "unreadable.txt" << false << true << open
                                             << reason(TFailure::HeldByAnother);
#else
    QTest::newRow("no read permission") << "unreadable.txt" << true << false << open << reason(TFailure::AccessDenied);
#endif
    QTest::newRow("invalid UTF-8 after the mark")
        << "bad-utf8.txt" << false << false << read << "Invalid UTF-8 data after the UTF-8 byte-order mark.";
    // The message ends in ")", so the box adds no period.
    QTest::newRow("NUL in the text") << "with-nul.txt" << false << false << read
                                     << "The text contains a NUL character (UTF-16 without a byte-order mark?)";
  }

  void loadFailuresGiveTheErrorBox()
  {
    QFETCH(QString, source);
    QFETCH(bool, unprivileged);
    QFETCH(bool, held);
    QFETCH(QString, lead);
    QFETCH(QString, tail);
    TScriptedDialogs dialogs;
    TMain window(dialogs);
    PrepareBatch(window);
    QTemporaryDir folder;
    QVERIFY(QDir(folder.path()).mkdir(QStringLiteral("folder")));
    QVERIFY(WriteBytes(folder.filePath(QStringLiteral("unreadable.txt")), "R1\r\n"));
    QVERIFY(WriteBytes(folder.filePath(QStringLiteral("bad-utf8.txt")), "\xEF\xBB\xBFR1\r\nR\xC4"));
    QVERIFY(WriteBytes(folder.filePath(QStringLiteral("with-nul.txt")), QByteArray("R\0" "1\0\r\0\n\0", 8)));
    QVERIFY(WriteBytes(folder.filePath(QStringLiteral("good.txt")), "\xEF\xBB\xBFG1\r\nG2\r\n"));
    QVERIFY(GiveToUnprivilegedUser(folder.path()));
    QVERIFY(QFile::setPermissions(folder.filePath(QStringLiteral("unreadable.txt")), QFile::WriteOwner));
    const auto files = Snapshot(folder.path());
    const QString before = StateOf(window);

    const QString path = folder.filePath(source);
    dialogs.ChooseNext(path);
    {
      std::optional<TUnprivilegedScope> user;
      if (unprivileged) user.emplace();
      QVERIFY(!unprivileged || user->Active());
      std::optional<THeldFile> other;
      if (held) other.emplace(path);
      QVERIFY(!held || other->Holding());
      window.A_LoadList->trigger();
    }
    QCOMPARE(dialogs.Errors, QStringList{lead + QStringLiteral(" \"") + path + QStringLiteral("\". ") + tail});
    QVERIFY(dialogs.Notices.isEmpty());
    QCOMPARE(StateOf(window), before);
    QVERIFY(Snapshot(folder.path()) == files);
    // A failed command stops before giving the focus to the input box.
    QCOMPARE(QApplication::focusWidget(), window.txtSeznam);

    ExpectScanningGoesOn(window);
    dialogs.ChooseNext(folder.filePath(QStringLiteral("good.txt")));
    window.A_LoadList->trigger();
    QCOMPARE(dialogs.Errors.size(), 1);
    QCOMPARE(Codes(window.Batch()), (QStringList{"G1", "G2"}));
    QCOMPARE(window.StatusPanel0->Text(), QStringLiteral("Počet: 2"));
  }

  void writeFailuresGiveTheErrorBox_data()
  {
    QTest::addColumn<QString>("action");
    QTest::addColumn<QString>("target");  // in the scratch folder
    QTest::addColumn<TWay>("way");
    QTest::addColumn<QString>("tail");  // the error box text after the path; empty: "Stream write error."
    const auto reason = [](TFailure failure) { return SystemReason(failure) + u'.'; };
    for (const char* name : {"A_SaveList", "A_XMLSingle", "A_XMLFull", "A_XMLKombi"}) {
      const QByteArray row(name);
      QTest::newRow(row + ", missing folder") << name << "missing/out.file" << TWay::Plain
                                              << reason(TFailure::PathNotFound);
      QTest::newRow(row + ", target is a folder") << name << "folder" << TWay::Plain << reason(TFailure::IsFolder);
      QTest::newRow(row + ", parent is a file") << name << "previous.file/out.file" << TWay::Plain
                                                << reason(TFailure::ParentIsFile);
#ifdef Q_OS_WIN
      // A read-only file binds every user on Windows.
      QTest::newRow(row + ", read-only file") << name << "read-only.file" << TWay::Plain
                                              << reason(TFailure::AccessDenied);
      QTest::newRow(row + ", file held by another program") << name << "previous.file" << TWay::HeldByAnother
                                                            << reason(TFailure::HeldByAnother);
#else
      QTest::newRow(row + ", new file, folder without write permission")
          << name << "locked/out.file" << TWay::Unprivileged << reason(TFailure::AccessDenied);
      QTest::newRow(row + ", read-only file") << name << "read-only.file" << TWay::Unprivileged
                                              << reason(TFailure::AccessDenied);
#endif
      QTest::newRow(row + ", disk full part-way, new file") << name << "out.file" << TWay::DiskFull << QString();
      QTest::newRow(row + ", disk full part-way, existing file") << name << "previous.file" << TWay::DiskFull
                                                                << QString();
    }
  }

  void writeFailuresGiveTheErrorBox()
  {
    QFETCH(QString, action);
    QFETCH(QString, target);
    QFETCH(TWay, way);
    QFETCH(QString, tail);
    TScriptedDialogs dialogs;
    TMain window(dialogs);
    PrepareBatch(window);
#ifdef Q_OS_WIN
    // Windows has no limit on the size of a process's files; a disk that is full does it.
    const bool smallDisk = way == TWay::DiskFull;
    if (smallDisk && SmallDiskFolder().isEmpty())
      QSKIP("No small disk to fill: the Wine runs mount one when they run as root.");
    QTemporaryDir folder(smallDisk ? SmallDiskFolder() + QStringLiteral("/XXXXXX") : QDir::tempPath() + QStringLiteral("/XXXXXX"));
#else
    QTemporaryDir folder;
#endif
    QVERIFY(QDir(folder.path()).mkdir(QStringLiteral("folder")));
    QVERIFY(QDir(folder.path()).mkdir(QStringLiteral("locked")));
    for (const char* name : {"previous.file", "read-only.file", "locked/previous.file"})
      QVERIFY(WriteBytes(folder.filePath(QString::fromLatin1(name)), kPrevious));
    QVERIFY(GiveToUnprivilegedUser(folder.path()));
    QVERIFY(QFile::setPermissions(folder.filePath(QStringLiteral("read-only.file")), QFile::ReadOwner));
    QVERIFY(QFile::setPermissions(folder.filePath(QStringLiteral("locked")), QFile::ReadOwner | QFile::ExeOwner));
    const auto files = Snapshot(folder.path());
    const QString before = StateOf(window);

    const QString path = folder.filePath(target);
    dialogs.ChooseNext(path);
    {
      std::optional<TUnprivilegedScope> user;
      if (way == TWay::Unprivileged) user.emplace();
      QVERIFY(way != TWay::Unprivileged || user->Active());
      std::optional<THeldFile> other;
      if (way == TWay::HeldByAnother) other.emplace(path);
      QVERIFY(way != TWay::HeldByAnother || other->Holding());
#ifdef Q_OS_WIN
      std::optional<TDiskFiller> filler;
      if (way == TWay::DiskFull) filler.emplace(folder.path());
      QVERIFY(way != TWay::DiskFull || filler->Full());
#else
      // Room for a few bytes only: every file breaks off after them.
      std::optional<TFileSizeLimit> limit;
      if (way == TWay::DiskFull) limit.emplace(16);
#endif
      ActionNamed(window, action)->trigger();
    }
    QVERIFY(QFile::setPermissions(folder.filePath(QStringLiteral("locked")),
                                  QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner));
    const QString expected = tail.isEmpty() ? QStringLiteral("Stream write error.")
                                            : QStringLiteral("Cannot create file \"") + path + QStringLiteral("\". ") + tail;
    QCOMPARE(dialogs.Errors, QStringList{expected});
    QVERIFY(dialogs.Notices.isEmpty());
    QCOMPARE(StateOf(window), before);
    QVERIFY2(Snapshot(folder.path()) == files, qPrintable(QStringList(Snapshot(folder.path()).keys()).join(u' ')));
    QCOMPARE(QApplication::focusWidget(), window.txtSeznam);

    // The window goes on: scanning works, and the same command to a writable place succeeds.
    ExpectScanningGoesOn(window);
    const QString good = folder.filePath(QStringLiteral("good.file"));
    dialogs.ChooseNext(good);
    ActionNamed(window, action)->trigger();
    QCOMPARE(dialogs.Errors.size(), 1);
    QCOMPARE(dialogs.Notices.size(), 1);
    QCOMPARE(dialogs.Notices[0].Content, good);
    QVERIFY(ReadBytes(good).contains("KEEP-0002"));
  }

  void listCodesWithSpecialCharacters_data()
  {
    QTest::addColumn<QByteArray>("file");
    QTest::addColumn<QStringList>("codes");         // as loaded
    QTest::addColumn<QList<QByteArray>>("written");  // each code as the export writes it
    QTest::addColumn<QString>("error");             // empty: the exports succeed
    QTest::addColumn<int>("badRow");
    const auto row = [](const char* name, const QStringList& codes, const QList<QByteArray>& written) {
      QTest::newRow(name) << Utf8List(codes) << codes << written << QString() << -1;
    };
    row("XML markup characters",
        {"A&B", "<KP>", "x>y", "\"q\"", "'a'", "]]>", "&amp;", "<![CDATA[z]]>"},
        {"A&amp;B", "&lt;KP&gt;", "x&gt;y", "\"q\"", "'a'", "]]&gt;", "&amp;amp;", "&lt;![CDATA[z]]&gt;"});
    row("blanks and tabs at the ends, tab and DEL inside",
        {QStringLiteral(" \tK1\t "), QStringLiteral("K\t2"), QStringLiteral("K\x7F" "3"), QStringLiteral("\x1F" "K4\x01")},
        {"K1", "K\t2", "K\x7F" "3", "K4"});
    row("beyond ASCII", {QStringLiteral("čŘ€"), QString::fromUtf8("K\xF0\x9F\x98\x80"), QStringLiteral("K\u0085\u00A0")},
        {"\xC4\x8D\xC5\x98\xE2\x82\xAC", "K\xF0\x9F\x98\x80", "K\xC2\x85\xC2\xA0"});

    const auto bad = [](const char* name, const QByteArray& file, const QStringList& codes, int position, const char* hex) {
      QTest::newRow(name) << file << codes << QList<QByteArray>() << QStringLiteral(
          "Kód na pozici %1 obsahuje znak U+%2, který nelze zapsat do XML souboru. Export nebyl proveden.")
          .arg(position).arg(QString::fromLatin1(hex)) << position - 1;
    };
    const QStringList start{QStringLiteral("GOOD")};
    bad("U+0001 inside a code", Utf8List(start + QStringList{QStringLiteral("BA\x01" "D")}),
        start + QStringList{QStringLiteral("BA\x01" "D")}, 2, "0001");
    bad("vertical tab inside a code", Utf8List({QStringLiteral("A\x0B" "B")}), {QStringLiteral("A\x0B" "B")}, 1, "000B");
    bad("escape in the third code", Utf8List({"G1", "G2", QStringLiteral("G\x1B[0m"), "G4"}),
        {"G1", "G2", QStringLiteral("G\x1B[0m"), "G4"}, 3, "001B");
    bad("noncharacter U+FFFE", Utf8List({QStringLiteral("K\uFFFE")}), {QStringLiteral("K\uFFFE")}, 1, "FFFE");
    bad("unpaired surrogate", QByteArray("\xFF\xFEG\0" "1\0\r\0\n\0K\0\x00\xD8\r\0\n\0", 18),
        {"G1", QString(QChar(u'K')) + QChar(0xD800)}, 2, "D800");
  }

  void listCodesWithSpecialCharacters()
  {
    QFETCH(QByteArray, file);
    QFETCH(QStringList, codes);
    QFETCH(QList<QByteArray>, written);
    QFETCH(QString, error);
    QFETCH(int, badRow);
    TScriptedDialogs dialogs;
    TMain window(dialogs);
    QVERIFY(ShowAndActivate(window));
    QTemporaryDir folder;
    const QString in = folder.filePath(QStringLiteral("in.txt"));
    QVERIFY(WriteBytes(in, file));
    dialogs.ChooseNext(in);
    window.A_LoadList->trigger();
    QCOMPARE(Codes(window.Batch()), codes);
    QCOMPARE(window.StatusPanel0->Text(), QStringLiteral("Počet: %1").arg(codes.size()));

    // The list file keeps every character: saved, it is the loaded file again.
    const QString saved = folder.filePath(QStringLiteral("saved.txt"));
    dialogs.ChooseNext(saved);
    window.A_SaveList->trigger();
    QCOMPARE(ReadBytes(saved), file);

    const QStringList actions{"A_XMLSingle", "A_XMLFull", "A_XMLKombi"};
    const QList<QByteArray> sections{"JednotliveKontrolniPasky", "NeporusenaBaleni", "JednotliveKontrolniPasky"};
    if (error.isEmpty()) {
      QStringList trimmed;
      for (const QString& code : codes) trimmed << Trimmed(code);
      for (int i = 0; i < actions.size(); ++i) {
        const QString out = folder.filePath(actions[i] + QStringLiteral(".xml"));
        dialogs.ChooseNext(out);
        ActionNamed(window, actions[i])->trigger();
        const QByteArray document = ReadBytes(out);
        QCOMPARE(document, Xml({{sections[i], written}}));
        QCOMPARE(ParsedCodes(document.mid(3)), trimmed);
      }
      QVERIFY(dialogs.Errors.isEmpty());
      QCOMPARE(dialogs.Notices.size(), 1 + actions.size());
      return;
    }

    const QString before = StateOf(window);
    const auto files = Snapshot(folder.path());
    for (const QString& action : actions) ActionNamed(window, action)->trigger();
    // Each export stopped before its dialog: only the open and save dialogs were shown.
    QCOMPARE(dialogs.Shown.size(), 2);
    QCOMPARE(dialogs.Errors, QStringList(actions.size(), error));
    QCOMPARE(dialogs.Notices.size(), 1);
    QCOMPARE(StateOf(window), before);
    QVERIFY(Snapshot(folder.path()) == files);

    // The user removes the code the export named and exports again.
    ExpectScanningGoesOn(window);
    window.txtSeznam->setFocus();
    window.txtSeznam->SelectRow(badRow);
    QTest::keyClick(window.txtSeznam, Qt::Key_Delete);
    QCOMPARE(window.Batch().Count(), codes.size());  // one scanned, one deleted
    QCOMPARE(window.StatusPanel0->Text(), QStringLiteral("Počet: %1").arg(codes.size()));
    const QString out = folder.filePath(QStringLiteral("after.xml"));
    dialogs.ChooseNext(out);
    window.A_XMLSingle->trigger();
    QCOMPARE(dialogs.Errors.size(), actions.size());
    QStringList expected = codes;
    expected.removeAt(badRow);
    expected << QStringLiteral("AFTER-%1").arg(codes.size());
    QCOMPARE(ParsedCodes(ReadBytes(out).mid(3)), expected);
  }

  void fileInAFolderWithoutWritePermissionIsWrittenInPlace_data()
  {
    QTest::addColumn<QString>("action");
    for (const char* name : {"A_SaveList", "A_XMLSingle", "A_XMLFull", "A_XMLKombi"}) QTest::newRow(name) << name;
  }

  void fileInAFolderWithoutWritePermissionIsWrittenInPlace()
  {
#ifdef Q_OS_WIN
    QSKIP("The tests on Windows have no other user whom permissions bind.");
#endif
    // A file the user may write, in a folder where no new file may be made:
    // the folder leaves no other way than writing the file itself.
    QFETCH(QString, action);
    TScriptedDialogs dialogs;
    TMain window(dialogs);
    PrepareBatch(window);
    QTemporaryDir folder;
    const QString locked = folder.filePath(QStringLiteral("locked"));
    QVERIFY(QDir(folder.path()).mkdir(QStringLiteral("locked")));
    const QString path = folder.filePath(QStringLiteral("locked/previous.file"));
    QVERIFY(WriteBytes(path, kPrevious));
    QVERIFY(GiveToUnprivilegedUser(folder.path()));
    QVERIFY(QFile::setPermissions(locked, QFile::ReadOwner | QFile::ExeOwner));
    dialogs.ChooseNext(path);
    {
      TUnprivilegedScope user;
      QVERIFY(user.Active());
      ActionNamed(window, action)->trigger();
    }
    QVERIFY(QFile::setPermissions(locked, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner));
    QVERIFY(dialogs.Errors.isEmpty());
    QCOMPARE(dialogs.Notices.size(), 1);
    QCOMPARE(dialogs.Notices[0].Content, path);
    QVERIFY(ReadBytes(path).contains("KEEP-0002"));
    QCOMPARE(QDir(locked).entryList(QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot),
             QStringList{QStringLiteral("previous.file")});
    QCOMPARE(QApplication::focusWidget(), window.txtInput);
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
