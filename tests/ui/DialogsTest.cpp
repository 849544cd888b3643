// SPDX-FileCopyrightText: 2026 The Quenlora authors
// SPDX-License-Identifier: GPL-3.0-or-later

// The error box, the notice, the About dialog and Qt's file dialog as the
// user sees them.
#include <QDialogButtonBox>
#include <QDir>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTextBlock>
#include <QTextLayout>
#include <QTest>
#include <memory>

#include "AboutDialog.h"
#include "ColumnCheckList.h"
#include "ErrorBox.h"
#include "MainForm.h"
#include "MarkupView.h"
#include "NoticeDialog.h"
#include "QtDialogs.h"
#include "QtText.h"
#include "TestSupport.h"
#include "batch_error.h"

using namespace quenlora;
using namespace quenlora::ui;
using namespace quenlora::ui::test;

namespace {

struct TChooserSeen {
  QString Directory;
  QString NameBox;
  int FileType = -1;
  QStringList Filters;
  QString Suffix;
  bool Native = true;
  // What the dialog's labels and buttons say, with their mnemonics.
  QStringList Texts;
};

// Shows the real file dialog for fileDialog; inside it, types name into the name
// box, picks the file type and presses Enter, answering an overwrite question with answerYes.
bool RunChooser(TFileDialog& fileDialog, const QString& name, int fileType, TChooserSeen& seen, bool* asked = nullptr,
                bool answerYes = true)
{
  OnModal<TFileChooser>([&](TFileChooser* chooser) {
    seen.Directory = chooser->directory().absolutePath();
    seen.NameBox = chooser->NameBoxText();
    seen.FileType = chooser->SelectedFileType();
    seen.Filters = chooser->nameFilters();
    seen.Suffix = chooser->defaultSuffix();
    seen.Native = !chooser->testOption(QFileDialog::DontUseNativeDialog);
    for (const QLabel* label : chooser->findChildren<QLabel*>())
      if (label->isVisible() && !label->text().isEmpty()) seen.Texts << label->text();
    for (const QPushButton* button : chooser->findChildren<QPushButton*>())
      if (button->isVisible()) seen.Texts << button->text();
    if (name.isNull()) {
      chooser->reject();
      return;
    }
    if (fileType >= 0) chooser->selectNameFilter(chooser->nameFilters().at(fileType));
    if (asked != nullptr) {
      OnModal<QMessageBox>([asked, answerYes, &seen](QMessageBox* question) {
        *asked = true;
        seen.Texts << question->text();
        for (const QAbstractButton* button : question->buttons()) seen.Texts << button->text();
        if (QAbstractButton* button = question->button(answerYes ? QMessageBox::Yes : QMessageBox::No))
          button->click();
        else
          question->reject();
      }, 2000);
    }
    auto* nameBox = chooser->findChild<QLineEdit*>(QStringLiteral("fileNameEdit"));
    nameBox->setText(name);
    chooser->accept();
    if (chooser->isVisible()) chooser->reject();  // the overwrite question was answered No
  });
  TQtDialogs dialogs;
  dialogs.UseQtFileDialogs = true;
  return dialogs.Execute(fileDialog, nullptr);
}

// Answers every modal widget of type T shown while it lives; act must close it.
template <typename T>
class TAnswerModals {
public:
  explicit TAnswerModals(std::function<void(T*)> act)
  {
    QObject::connect(&timer_, &QTimer::timeout, [act = std::move(act)] {
      if (auto* modal = qobject_cast<T*>(QApplication::activeModalWidget())) act(modal);
    });
    timer_.start(10);
  }

private:
  QTimer timer_;
};


}  // namespace

class DialogsTest : public QObject {
  Q_OBJECT

private Q_SLOTS:
  void errorBoxAddsAPeriodUnlessTheMessageEndsInOne_data()
  {
    QTest::addColumn<QString>("message");
    QTest::addColumn<QString>("shown");
    QTest::newRow("empty") << "" << "";
    QTest::newRow("plain") << "Stream write error" << "Stream write error.";
    QTest::newRow("period") << "Done." << "Done.";
    QTest::newRow("blank") << "Done " << "Done ";
    QTest::newRow("exclamation") << "Done!" << "Done!";
    QTest::newRow("bracket") << "Done (x)" << "Done (x)";
    QTest::newRow("comma") << "Done," << "Done,";
    QTest::newRow("hyphen") << "Done-" << "Done-";
    QTest::newRow("slash is above the period") << "a/b/" << "a/b/.";
    QTest::newRow("quote is below the period") << "Cannot open file \"x\"" << "Cannot open file \"x\"";
    QTest::newRow("accented letter") << QStringLiteral("chyba č") << QStringLiteral("chyba č.");
    QTest::newRow("line break") << "two\nlines\n" << "two\nlines\n";
  }

  void errorBoxAddsAPeriodUnlessTheMessageEndsInOne()
  {
    QFETCH(QString, message);
    QFETCH(QString, shown);
    QCOMPARE(ErrorBoxText(message), shown);
  }

  void errorBoxLooksAsItShould()
  {
    QString title, text;
    QMessageBox::Icon icon = QMessageBox::NoIcon;
    Qt::TextFormat format = Qt::AutoText;
    qsizetype buttons = 0;
    OnModal<QMessageBox>([&](QMessageBox* box) {
      title = box->windowTitle();
      text = box->text();
      icon = box->icon();
      format = box->textFormat();
      buttons = box->buttons().size();
      box->accept();
    });
    ShowErrorBox(nullptr, QStringLiteral("Cannot open file \"C:\\new\\<b>x</b>\". Reason."));
    QCOMPARE(title, QStringLiteral("Quenlora"));
    QCOMPARE(icon, QMessageBox::Critical);
    QCOMPARE(text, QStringLiteral("Cannot open file \"C:\\new\\<b>x</b>\". Reason."));
    QCOMPARE(format, Qt::PlainText);
    QCOMPARE(buttons, 1);
  }

  void noticeShowsThePathAsItIs()
  {
    const QString path = QStringLiteral("C:\\new\\x & <i>y</i>.xml");
    QString title, instruction, content;
    Qt::TextFormat format = Qt::AutoText;
    bool hasIcon = false, okIsDefault = false, modal = false;
    int buttons = 0;
    OnModal<TNoticeDialog>([&](TNoticeDialog* notice) {
      title = notice->windowTitle();
      instruction = notice->InstructionLabel->text();
      content = notice->ContentLabel->text();
      format = notice->ContentLabel->textFormat();
      hasIcon = !notice->IconLabel->pixmap().isNull();
      okIsDefault = notice->OkButton->isDefault();
      modal = notice->isModal();
      buttons = static_cast<int>(notice->findChildren<QPushButton*>().size());
      QTest::keyClick(notice, Qt::Key_Return);
    });
    ShowNotice(nullptr, QStringLiteral("Datový soubor byl úspěšně uložen."), path);
    QCOMPARE(title, QStringLiteral("Vortanek"));
    QCOMPARE(instruction, QStringLiteral("Datový soubor byl úspěšně uložen."));
    QCOMPARE(content, path);
    QCOMPARE(format, Qt::PlainText);
    QVERIFY(hasIcon);
    QVERIFY(okIsDefault);
    QVERIFY(modal);
    QCOMPARE(buttons, 1);
  }

  void aboutShowsTheSameTextEachTimeAndGivesFocusBack()
  {
    TScriptedDialogs dialogs;
    TMain window(dialogs);
    QVERIFY(ShowAndActivate(window));
    QStringList texts, captions;
    for (int i = 0; i < 2; ++i) {
      window.txtSeznam->setFocus();
      OnModal<TAboutDialog>([&](TAboutDialog* about) {
        texts << about->TextView->PlainText();
        captions << about->windowTitle();
        QTest::keyClick(about, Qt::Key_Return);
      });
      window.A_About->trigger();
    }
    QCOMPARE(texts.size(), 2);
    QCOMPARE(texts[0], texts[1]);
    QCOMPARE(captions[0], QStringLiteral("O aplikaci"));
    const QStringList lines = texts[0].split(u'\n');
    QCOMPARE(lines.value(0), QStringLiteral("Aplikace Quenlora"));
    QCOMPARE(lines.value(1), QString());
    QCOMPARE(lines.value(2), QStringLiteral("vytvořil:"));
    QVERIFY(lines.value(4).startsWith(QStringLiteral("E-mail pro podporu: ")));
    QVERIFY(lines.value(5).startsWith(QStringLiteral("Web: ")));
    // The window's focus goes back to the input box (the list had it before).
    QCOMPARE(window.focusWidget(), window.txtInput);
  }

  void aboutLayoutInDialogUnits()
  {
    TAboutDialog about(nullptr);
    QCOMPARE(about.size(), QSize(400, 180));
    QCOMPARE(about.minimumSize(), about.maximumSize());
    QCOMPARE(about.font().pixelSize(), 11);
    const QRect button = about.OkButton->geometry();
    QCOMPARE(about.OkButton->text(), QStringLiteral("Ok"));
    QVERIFY(about.OkButton->isDefault());
    QCOMPARE(button.right() + 1, 400 - 20);
    QCOMPARE(button.bottom() + 1, 180 - 4);
    QCOMPARE(button.height(), about.VerticalUnits(14));
    QVERIFY(button.width() >= about.HorizontalUnits(50));
    QCOMPARE(about.TextView->pos(), QPoint(about.HorizontalUnits(8), about.VerticalUnits(8)));
    QCOMPARE(about.TextView->height(), about.TextView->TextHeight() + 6);
    QVERIFY(about.TextView->Document().toHtml().contains(QStringLiteral("mailto:")));
    // Markup lines are joined by single blanks: the heading is bold, the rest not.
    QVERIFY(TAboutDialog::Markup().contains(QStringLiteral("<br> <br> vytvořil:")));
  }

  void aboutClosesByOkEnterOrCloseBoxButNotEsc()
  {
    TAboutDialog about(nullptr);
    about.show();
    QVERIFY(QTest::qWaitForWindowExposed(&about));
    QTest::keyClick(&about, Qt::Key_Escape);
    QVERIFY(about.isVisible());
    QTest::keyClick(&about, Qt::Key_Return);
    QVERIFY(!about.isVisible());
    QCOMPARE(about.result(), int(QDialog::Accepted));
    about.show();
    about.close();
    QCOMPARE(about.result(), int(QDialog::Rejected));
  }

  void aboutLinksOpenThroughTheSystem()
  {
    TAboutDialog about(nullptr);
    QStringList opened;
    about.OpenTarget = [&opened](const QString& target) { opened << target; };
    about.show();
    QVERIFY(QTest::qWaitForWindowExposed(&about));
    const QTextDocument& document = about.TextView->Document();
    // Press on every link in the text, and once on plain text.
    QStringList targets;
    for (QTextBlock block = document.begin(); block.isValid(); block = block.next()) {
      for (auto fragment = block.begin(); !fragment.atEnd(); ++fragment) {
        const QTextFragment piece = fragment.fragment();
        if (!piece.charFormat().isAnchor()) continue;
        targets << piece.charFormat().anchorHref();
        const QTextLine line = block.layout()->lineForTextPosition(piece.position() - block.position());
        const qreal x = line.cursorToX(piece.position() - block.position() + 1);
        const QPoint at(int(x) + 1, int(block.layout()->position().y() + line.y() + line.height() / 2));
        QTest::mouseClick(about.TextView, Qt::LeftButton, {}, at);
      }
    }
    QTest::mouseClick(about.TextView, Qt::LeftButton, {}, QPoint(2, 2));
    QCOMPARE(targets.size(), 2);
    QCOMPARE(opened, targets);
    QVERIFY(targets[0].startsWith(QStringLiteral("mailto:")));
    QVERIFY(targets[1].contains(QStringLiteral("://")));
  }

  void onlyTargetsWithASchemeSeparatorOrMailtoAreOpened_data()
  {
    QTest::addColumn<QString>("target");
    QTest::addColumn<bool>("opened");
    QTest::newRow("web") << "https://quenlora.example" << true;
    QTest::newRow("mail") << "mailto:podpora@quenlora.example" << true;
    QTest::newRow("any scheme with ://") << "file:///etc" << true;
    QTest::newRow("mailto: inside the target") << "x mailto:y" << true;
    QTest::newRow("bare name") << "quenlora.example" << false;
    QTest::newRow("program") << "calc.exe" << false;
    QTest::newRow("scheme without //") << "news:comp.lang" << false;
    QTest::newRow("one slash only") << "https:/quenlora.example" << false;
  }

  void onlyTargetsWithASchemeSeparatorOrMailtoAreOpened()
  {
    QFETCH(QString, target);
    QFETCH(bool, opened);
    QCOMPARE(TAboutDialog::IsOpenableTarget(target), opened);
  }

  void aboutIsCentredOverTheWindowWithinTheDesktop_data()
  {
    QTest::addColumn<QRect>("owner");
    QTest::addColumn<QPoint>("expected");
    const QSize dialog(406, 206);
    Q_UNUSED(dialog);
    QTest::newRow("centred") << QRect(100, 50, 806, 600) << QPoint(100 + 200, 50 + 197);
    QTest::newRow("partly off the left edge") << QRect(-700, 50, 806, 600) << QPoint(0, 247);
    QTest::newRow("partly off the top edge") << QRect(100, -500, 806, 600) << QPoint(300, 0);
  }

  void aboutIsCentredOverTheWindowWithinTheDesktop()
  {
    QFETCH(QRect, owner);
    QFETCH(QPoint, expected);
    QCOMPARE(TAboutDialog::CenteredOver(owner, QSize(406, 206), QRect(0, 0, 1280, 1024)), expected);
  }

  void fixedDialogsHaveOnlyACloseButtonAndKeepTheirSize_data()
  {
    QTest::addColumn<QString>("dialog");
    QTest::newRow("About") << "About";
    QTest::newRow("notice") << "notice";
    QTest::newRow("error box") << "error box";
  }

  void fixedDialogsHaveOnlyACloseButtonAndKeepTheirSize()
  {
    QFETCH(QString, dialog);
    struct TSeen {
      Qt::WindowFlags Flags;
      QSize Size, Minimum, Maximum, AfterResize, AfterMaximise, AfterMinimise;
      Qt::WindowStates StateAfterMaximise, StateAfterMinimise;
      bool VisibleAfterMinimise = false;
    } seen;
    // What a window manager may do to the dialog: resize it, maximise it,
    // minimise it. It keeps its size and comes back to its normal state.
    const auto tryOut = [&seen](QDialog* shown) {
      seen.Flags = shown->windowFlags();
      seen.Size = shown->size();
      seen.Minimum = shown->minimumSize();
      seen.Maximum = shown->maximumSize();
      shown->resize(shown->size() + QSize(120, 80));
      seen.AfterResize = shown->size();
      shown->setWindowState(Qt::WindowMaximized);
      QTest::qWait(50);
      seen.StateAfterMaximise = shown->windowState();
      seen.AfterMaximise = shown->size();
      shown->setWindowState(Qt::WindowMinimized);
      QTest::qWait(50);
      seen.StateAfterMinimise = shown->windowState();
      seen.AfterMinimise = shown->size();
      seen.VisibleAfterMinimise = shown->isVisible();
      shown->accept();
    };
    if (dialog == QStringLiteral("About")) {
      OnModal<TAboutDialog>(tryOut);
      TAboutDialog about(nullptr);
      about.exec();
    } else if (dialog == QStringLiteral("notice")) {
      OnModal<TNoticeDialog>(tryOut);
      ShowNotice(nullptr, QStringLiteral("Seznam byl úspěšně uložen."), QStringLiteral("/tmp/x.txt"));
    } else {
      OnModal<QMessageBox>(tryOut);
      ShowErrorBox(nullptr, QStringLiteral("Stream write error."));
    }
    QVERIFY(seen.Flags & Qt::WindowCloseButtonHint);
    QVERIFY(!(seen.Flags & (Qt::WindowMinimizeButtonHint | Qt::WindowMaximizeButtonHint | Qt::WindowContextHelpButtonHint)));
    QVERIFY(!seen.Size.isEmpty());
    QCOMPARE(seen.Minimum, seen.Size);
    QCOMPARE(seen.Maximum, seen.Size);
    QCOMPARE(seen.AfterResize, seen.Size);
    QCOMPARE(seen.StateAfterMaximise, Qt::WindowNoState);
    QCOMPARE(seen.AfterMaximise, seen.Size);
    QCOMPARE(seen.StateAfterMinimise, Qt::WindowNoState);
    QCOMPARE(seen.AfterMinimise, seen.Size);
    QVERIFY(seen.VisibleAfterMinimise);
  }

  void nameTooLongInTheRealFileDialogIsReportedWhenUsed_data()
  {
    // Typed into Qt's file dialog as a full path in a scratch folder, and
    // confirmed with Enter; what the command then reports.
    QTest::addColumn<QString>("action");
    QTest::addColumn<QString>("typed");   // the name typed
    QTest::addColumn<QString>("chosen");  // the name the command gets
    QTest::addColumn<QString>("lead");    // of the error box; empty: the command succeeds
    const QString create = QStringLiteral("Cannot create file");
    // The file system allows 255 bytes.
    const QString longest = QString(251, u'a');
    QTest::newRow("list, 255 bytes: saved") << "A_SaveList" << longest << longest + ".txt" << QString();
    QTest::newRow("list, 256 bytes") << "A_SaveList" << longest + 'a' << longest + "a.txt" << create;
    QTest::newRow("list, 300 letters with the extension") << "A_SaveList" << QString(296, u'b') + ".txt"
                                                          << QString(296, u'b') + ".txt" << create;
#ifndef Q_OS_WIN
    // 130 letters, but 256 bytes in UTF-8. Windows counts UTF-16 units and takes
    // such a name, unless (as under Wine) a POSIX file system lies beneath.
    QTest::newRow("list, 126 Czech letters and the extension") << "A_SaveList" << QString(126, u'č')
                                                               << QString(126, u'č') + ".txt" << create;
#endif
    QTest::newRow("export, 300 letters") << "A_XMLKombi" << QString(300, u'x') << QString(300, u'x') + ".xml" << create;
    QTest::newRow("open, 300 letters") << "A_LoadList" << QString(300, u'o') << QString(300, u'o')
                                       << QStringLiteral("Cannot open file");
  }

  void nameTooLongInTheRealFileDialogIsReportedWhenUsed()
  {
    QFETCH(QString, action);
    QFETCH(QString, typed);
    QFETCH(QString, chosen);
    QFETCH(QString, lead);
    TQtDialogs dialogs;
    dialogs.UseQtFileDialogs = true;
    TMain window(dialogs);
    QVERIFY(ShowAndActivate(window));
    Scan(window, QStringLiteral("K1"));
    QTemporaryDir folder;
    bool stayedOpen = false;
    OnModal<TFileChooser>([&](TFileChooser* chooser) {
      auto* nameBox = chooser->findChild<QLineEdit*>(QStringLiteral("fileNameEdit"));
      nameBox->setText(folder.filePath(typed));
      QTest::keyClick(nameBox, Qt::Key_Return);
      stayedOpen = chooser->isVisible();
      if (stayedOpen) chooser->reject();
    });
    QStringList errors, notices;
    const TAnswerModals<QMessageBox> errorBoxes([&errors](QMessageBox* box) {
      errors << box->text();
      box->accept();
    });
    const TAnswerModals<TNoticeDialog> noticeDialogs([&notices](TNoticeDialog* notice) {
      notices << notice->ContentLabel->text();
      notice->accept();
    });
    window.findChild<QAction*>(action)->trigger();
    QVERIFY(!stayedOpen);
    const QString path = QDir::toNativeSeparators(folder.filePath(chosen));
    if (lead.isEmpty()) {
      QCOMPARE(errors, QStringList());
      QCOMPARE(notices, QStringList{path});
      QCOMPARE(ReadBytes(path), QByteArray("K1\r\n"));
      return;
    }
#ifdef Q_OS_WIN
    // The reason is the file system's: NTFS, and the Linux one beneath Wine, word it differently.
    const QString start = lead + QStringLiteral(" \"") + path + QStringLiteral("\". ");
    QCOMPARE(errors.size(), 1);
    QVERIFY2(errors[0].startsWith(start) && errors[0].size() > start.size() + 1 && errors[0].endsWith(u'.'),
             qPrintable(errors[0].mid(start.size())));
#else
    QCOMPARE(errors, QStringList{lead + QStringLiteral(" \"") + path + QStringLiteral("\". ") +
                                 SystemReason(TFailure::NameTooLong) + u'.'});
#endif
    QCOMPARE(notices, QStringList());
    QVERIFY(Snapshot(folder.path()).isEmpty());
    QCOMPARE(window.Batch().Count(), 1);
    // The user clicks into the window and goes on scanning.
    window.activateWindow();
    QVERIFY(QTest::qWaitForWindowActive(&window));
    QTest::mouseClick(window.txtInput, Qt::LeftButton);
    Scan(window, QStringLiteral("K2"));
    QCOMPARE(window.Batch().Count(), 2);
  }

  void fileChooserStartsInTheFolderWithTheProposal()
  {
    QTemporaryDir folder;
    TFileDialog fileDialog = SaveDialogIn(folder.path());
    fileDialog.FileTypeIndex = 1;
    TChooserSeen seen;
    QVERIFY(!RunChooser(fileDialog, QString(), -1, seen));
    QCOMPARE(seen.Directory, QDir(folder.path()).absolutePath());
    QCOMPARE(seen.NameBox, QStringLiteral("DavkaKP_1.txt"));
    QCOMPARE(seen.Filters.size(), 2);
    QCOMPARE(seen.FileType, 1);
    QCOMPARE(seen.Suffix, QStringLiteral("txt"));
    QVERIFY(!seen.Native);
    // Cancelling changes nothing.
    QCOMPARE(fileDialog.FileName, QStringLiteral("DavkaKP_1.txt"));
    QCOMPARE(fileDialog.FileTypeIndex, 1);
  }

  void fileChooserOpenDialogShowsTheFullPathButStaysInTheStartFolder()
  {
    QTemporaryDir start, elsewhere;
    TFileDialog fileDialog(QStringLiteral("FileOpenDialog1"), TFileDialog::fdOpen,
                     {{QStringLiteral("Textový soubor (*.txt)"), QStringLiteral("*.txt")},
                      {QStringLiteral("Všechny soubory (*.*)"), QStringLiteral("*.*")}},
                     QString());
    fileDialog.DefaultFolder = start.path();
    fileDialog.FileName = elsewhere.filePath(QStringLiteral("last.txt"));
    TChooserSeen seen;
    // A name that does not exist is accepted; reading it is what fails.
    const QString missing = elsewhere.filePath(QStringLiteral("not there.txt"));
    QVERIFY(RunChooser(fileDialog, missing, -1, seen));
    QCOMPARE(seen.Directory, QDir(start.path()).absolutePath());
    QCOMPARE(seen.NameBox, elsewhere.filePath(QStringLiteral("last.txt")));
    QCOMPARE(fileDialog.FileName, QDir::toNativeSeparators(missing));
  }

  void fileChooserKeepsNamesToTheTypesExtension_data()
  {
    AddSavedNameColumnsAndRows();
    QTest::newRow("all files still add the default to a bare name") << "list" << 1 << "list.txt";
  }

  void fileChooserKeepsNamesToTheTypesExtension()
  {
    QFETCH(QString, typed);
    QFETCH(int, fileType);
    QFETCH(QString, chosen);
    QTemporaryDir folder;
    TFileDialog fileDialog = SaveDialogIn(folder.path());
    TChooserSeen seen;
    QVERIFY(RunChooser(fileDialog, typed, fileType, seen));
    QCOMPARE(fileDialog.FileName, QDir::toNativeSeparators(folder.filePath(chosen)));
    QCOMPARE(fileDialog.FileTypeIndex, fileType);
  }

  void fileChoosersSpeakCzech()
  {
    // Qt's own texts come with the program, whatever is installed on the system.
    QTemporaryDir folder;
    TFileDialog save = SaveDialogIn(folder.path());
    TFileDialog open(QStringLiteral("FileOpenDialog1"), TFileDialog::fdOpen,
                     {{QStringLiteral("Textový soubor (*.txt)"), QStringLiteral("*.txt")}}, QString());
    open.DefaultFolder = folder.path();
    QVERIFY(WriteBytes(folder.filePath(QStringLiteral("there.txt")), "x"));
    TChooserSeen seenSave, seenOpen;
    bool asked = false;
    QVERIFY(!RunChooser(save, QStringLiteral("there.txt"), -1, seenSave, &asked, false));
    QVERIFY(!RunChooser(open, QString(), -1, seenOpen));
    QVERIFY(asked);
    QCOMPARE(seenSave.Texts, (QStringList{"Hledat v:", "Název &souboru:", "Soubory typu:", "&Uložit", "Zrušit",
                                          "Soubor there.txt již existuje.\nChcete jej nahradit?", "&Ano", "&Ne"}));
    QCOMPARE(seenOpen.Texts, (QStringList{"Hledat v:", "Název &souboru:", "Soubory typu:", "&Otevřít", "Zrušit"}));
  }

  void fileChooserAsksBeforeReplacing()
  {
    QTemporaryDir folder;
    QVERIFY(WriteBytes(folder.filePath(QStringLiteral("there.txt")), "x"));
    TFileDialog fileDialog = SaveDialogIn(folder.path());
    TChooserSeen seen;
    bool asked = false;
    QVERIFY(RunChooser(fileDialog, QStringLiteral("there.txt"), -1, seen, &asked, true));
    QVERIFY(asked);
    QCOMPARE(fileDialog.FileName, QDir::toNativeSeparators(folder.filePath(QStringLiteral("there.txt"))));
    asked = false;
    fileDialog.FileName = QStringLiteral("proposal.txt");
    QVERIFY(!RunChooser(fileDialog, QStringLiteral("there.txt"), -1, seen, &asked, false));
    QVERIFY(asked);
    QCOMPARE(fileDialog.FileName, QStringLiteral("proposal.txt"));
  }
};

std::unique_ptr<QObject> MakeDialogsTest() { return std::make_unique<DialogsTest>(); }

#include "DialogsTest.moc"
