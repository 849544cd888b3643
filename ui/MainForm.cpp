// SPDX-FileCopyrightText: 2026 The Quenlora authors
// SPDX-License-Identifier: GPL-3.0-or-later

#include "MainForm.h"

#include <QAction>
#include <QApplication>
#include <QCloseEvent>
#include <QEvent>
#include <QKeySequence>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QMenuBar>
#include <QPushButton>
#include <QResizeEvent>
#include <QScreen>
#include <QStatusBar>
#include <exception>
#include <functional>
#include <limits>
#include <new>

#include "AboutDialog.h"
#include "BatchListModel.h"
#include "ColumnCheckList.h"
#include "ErrorBox.h"
#include "FocusButton.h"
#include "ImageToolBar.h"
#include "Images.h"
#include "QtText.h"
#include "RegionalSettingsWatch.h"
#include "ScanInput.h"
#include "StatusPanel.h"
#include "UiFonts.h"
#include "batch_error.h"
#include "batch_list_file.h"
#include "file_stamp.h"
#include "scanner_layout.h"

namespace quenlora::ui {

namespace {

// The client area below the toolbar, whose controls are placed by hand as
// their anchors say.
class TClientArea : public QWidget {
public:
  TClientArea(QWidget* parent, std::function<void(const QSize&)> layOut) : QWidget(parent), layOut_(std::move(layOut)) {}

protected:
  void resizeEvent(QResizeEvent* event) override { layOut_(event->size()); }

private:
  std::function<void(const QSize&)> layOut_;
};

QAction* MakeAction(QObject* owner, const char* name, const QString& caption, const QString& hint, int image)
{
  auto* action = new QAction(caption, owner);
  action->setObjectName(QString::fromLatin1(name));
  // QAction shows its caption as a tooltip when no hint is set; the toolbar
  // is the only place tooltips appear, and its actions all have hints.
  action->setToolTip(hint.isEmpty() ? caption : hint);
  action->setStatusTip(QString());
  if (image >= 0) action->setIcon(ActionImage(image));
  return action;
}

void SetColour(QWidget* widget, QPalette::ColorRole role, const QColor& colour)
{
  QPalette palette = widget->palette();
  palette.setColor(role, colour);
  widget->setPalette(palette);
}

// What the application does with a failure that a command leaves unhandled:
// the command has ended, the user reads the message.
template <typename THandler>
void ReportFailures(TDialogs& dialogs, THandler&& handler)
{
  try {
    handler();
  } catch (const TBatchError& error) {
    dialogs.ShowError(ErrorBoxText(ToQString(error.Message())));
  } catch (const std::bad_alloc&) {
    dialogs.ShowError(ErrorBoxText(QStringLiteral("Out of memory")));
  } catch (const std::exception& error) {
    dialogs.ShowError(ErrorBoxText(QString::fromUtf8(error.what())));
  }
}

// Client coordinates at the design size, below the menu bar.
constexpr int kToolBarHeight = TImageToolBar::kHeight;
constexpr int kLabel3Top = 42;
constexpr int kInputTop = 61;
constexpr int kInputLeft = 8;
constexpr int kInputWidth = 742;
constexpr int kInputHeight = 26;
constexpr int kButton2Left = 753;
constexpr int kButton2Size = 26;
constexpr int kLabel1Top = 93;
constexpr int kListTop = 113;

}  // namespace

const QString TMain::kHintPanelText = QStringLiteral(
    "POZOR: Pokud exportujete kombinované KP, potom celá balení označte zaškrtnutím. Označený kód lze vymazat "
    "<DEL>\r\n");

TMain::TMain(TDialogs& dialogs, QWidget* parent)
    : QMainWindow(parent),
      FileOpenDialog1(QStringLiteral("FileOpenDialog1"), TFileDialog::fdOpen,
                      {{QStringLiteral("Textový soubor (*.txt)"), QStringLiteral("*.txt")},
                       {QStringLiteral("Všechny soubory (*.*)"), QStringLiteral("*.*")}},
                      QString()),
      FileSaveDialog1(QStringLiteral("FileSaveDialog1"), TFileDialog::fdSave,
                      {{QStringLiteral("Textové soubory (*.txt)"), QStringLiteral("*.txt")},
                       {QStringLiteral("Všechny soubory (*.*)"), QStringLiteral("*.*")}},
                      QStringLiteral("txt")),
      FileSaveDialogXML(QStringLiteral("FileSaveDialogXML"), TFileDialog::fdSave,
                        {{QStringLiteral("XML soubor (*.xml)"), QStringLiteral("*.xml")},
                         {QStringLiteral("Všechny soubory (*.*)"), QStringLiteral("*.*")}},
                        QStringLiteral("xml")),
      dialogs_(dialogs),
      model_(new TBatchListModel(batch_, this))
{
  setObjectName(QStringLiteral("Main"));
  setWindowTitle(QStringLiteral("Quenlora"));
  setWindowIcon(ProgramIcon());
  setFont(TahomaFont(11));
  // Nothing of the window's arrangement is kept; there is nothing to restore.
  setContextMenuPolicy(Qt::NoContextMenu);
  WatchRegionalSettings();

  CreateActions();
  CreateMenus();
  CreateControls();

  // The menu bar takes the height its style gives it once polished, which
  // the client area must not pay for.
  MainMenu1->ensurePolished();
  resize(kClientWidth, kClientHeight + MainMenu1->heightForWidth(kClientWidth));
  if (const QScreen* screen = QGuiApplication::primaryScreen()) {
    const QRect area = screen->availableGeometry();
    move(area.left() + std::max(0, (area.width() - width()) / 2),
         area.top() + std::max(0, (area.height() - height()) / 2));
  }
  FormCreate();
}

TMain::~TMain()
{
  // Ending this way (not by the user's close) leaves the journal.
  if (journal_) journal_->Finish();
  model_->SetJournal(nullptr);
  // The list refers to the model, which refers to the batch; take the list
  // off the model before either goes.
  txtSeznam->setModel(nullptr);
}

void TMain::CreateActions()
{
  A_Input = MakeAction(this, "A_Input", QString(), QStringLiteral("Vložit do seznamu"), 0);
  A_Input->setShortcuts({QKeySequence(Qt::Key_Return), QKeySequence(Qt::Key_Enter)});
  A_New = MakeAction(this, "A_New", QStringLiteral("Nová dávka"), QStringLiteral("Nová dávka"), 4);
  A_New->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_N));
  A_LoadList = MakeAction(this, "A_LoadList", QStringLiteral("Načíst seznam..."), QStringLiteral("Načíst kódy ze souboru"), 5);
  A_LoadList->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_O));
  A_SaveList = MakeAction(this, "A_SaveList", QStringLiteral("Uložit seznam..."), QStringLiteral("Uložit načtené kódy"), 7);
  A_SaveList->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_S));
  A_Close = MakeAction(this, "A_Close", QStringLiteral("Konec"), QString(), -1);
  A_Close->setShortcut(QKeySequence(Qt::ALT | Qt::Key_F4));
  A_XMLSingle = MakeAction(this, "A_XMLSingle", QStringLiteral("Jednotlivé KP"), QStringLiteral("Vrácené jednotlivé KP"), 3);
  A_XMLFull = MakeAction(this, "A_XMLFull", QStringLiteral("Celé KP"), QStringLiteral("Vrácené celé KP"), 2);
  A_XMLKombi = MakeAction(this, "A_XMLKombi", QStringLiteral("Kombinované KP"), QStringLiteral("Vrácené kombinované KP"), 1);
  A_About = MakeAction(this, "A_About", QStringLiteral("O Aplikaci"), QString(), 6);
  A_DelItem = MakeAction(this, "A_DelItem", QString(), QString(), -1);

  // A_Input has no menu item or button of its own; its key must still work.
  addAction(A_Input);

  Bind(A_Input, &TMain::A_InputExecute);
  Bind(A_New, &TMain::A_NewExecute);
  Bind(A_LoadList, &TMain::A_LoadListExecute);
  Bind(A_SaveList, &TMain::A_SaveListExecute);
  Bind(A_Close, &TMain::A_CloseExecute);
  Bind(A_XMLSingle, &TMain::A_XMLSingleExecute);
  Bind(A_XMLFull, &TMain::A_XMLFullExecute);
  Bind(A_XMLKombi, &TMain::A_XMLKombiExecute);
  Bind(A_About, &TMain::A_AboutExecute);
  connect(A_DelItem, &QAction::triggered, this, [this] { A_DelItemExecute(); });
}

void TMain::CreateMenus()
{
  MainMenu1 = menuBar();
  MainMenu1->setObjectName(QStringLiteral("MainMenu1"));
  MainMenu1->setFont(QApplication::font(MainMenu1));
  MenuSoubor = MainMenu1->addMenu(QStringLiteral("&Soubor"));
  MenuSoubor->setObjectName(QStringLiteral("MenuSoubor"));
  MenuSoubor->addActions({A_New, A_LoadList, A_SaveList, A_Close});
  MenuExport = MainMenu1->addMenu(QStringLiteral("&Export"));
  MenuExport->setObjectName(QStringLiteral("MenuExport"));
  MenuExport->addActions({A_XMLSingle, A_XMLFull, A_XMLKombi});
  MenuAbout = MainMenu1->addMenu(QStringLiteral("O aplikaci"));
  MenuAbout->setObjectName(QStringLiteral("MenuAbout"));
  MenuAbout->addAction(A_About);
}

void TMain::CreateControls()
{
  AdvToolBar1 = new TImageToolBar(this);
  AdvToolBar1->setObjectName(QStringLiteral("AdvToolBar1"));
  AdvToolBar1->AddButton(A_New);
  AdvToolBar1->AddButton(A_SaveList);
  AdvToolBar1->AddButton(A_LoadList);
  AdvToolBar1->AddSeparator();
  AdvToolBar1->AddButton(A_XMLSingle);
  AdvToolBar1->AddButton(A_XMLFull);
  AdvToolBar1->AddButton(A_XMLKombi);
  addToolBar(Qt::TopToolBarArea, AdvToolBar1);

  client_ = new TClientArea(this, [this](const QSize& size) { LayOutClient(size); });
  client_->setObjectName(QStringLiteral("ClientArea"));
  setCentralWidget(client_);

  const QColor grey(0x80, 0x80, 0x80);
  Button2 = new TFocusButton(client_);
  Button2->setObjectName(QStringLiteral("Button2"));
  Button2->setIcon(A_Input->icon());
  Button2->setIconSize(QSize(20, 20));
  Button2->setDefault(true);
  connect(Button2, &QPushButton::clicked, A_Input, &QAction::trigger);

  Label3 = new QLabel(QStringLiteral("Vstup QR kódu:"), client_);
  Label3->setObjectName(QStringLiteral("Label3"));
  Label3->setFont(TahomaFont(13, true));
  SetColour(Label3, QPalette::WindowText, grey);

  scanInput_ = new TScanInput(client_);
  txtInput = scanInput_;
  txtInput->setObjectName(QStringLiteral("txtInput"));
  // QLineEdit cuts text at 32767 characters; a longer paste must reach the
  // batch whole rather than as a different, shortened code.
  txtInput->setMaxLength(std::numeric_limits<int>::max());
  txtInput->setFont(TahomaFont(15, true));
  SetColour(txtInput, QPalette::Text, QColor(0x00, 0x00, 0x80));

  Label1 = new QLabel(QStringLiteral("Načtené kódy:"), client_);
  Label1->setObjectName(QStringLiteral("Label1"));
  Label1->setFont(TahomaFont(13, true));
  SetColour(Label1, QPalette::WindowText, grey);

  txtSeznam = new TColumnCheckList(client_);
  txtSeznam->setObjectName(QStringLiteral("txtSeznam"));
  txtSeznam->setFont(TahomaFont(13));
  txtSeznam->setModel(model_);
  connect(txtSeznam, &TColumnCheckList::KeyDown, this, [this](int key, Qt::KeyboardModifiers shift) {
    ReportFailures(dialogs_, [&] { txtSeznamKeyDown(key, shift); });
  });

  setTabOrder(Button2, txtInput);
  setTabOrder(txtInput, txtSeznam);

  // What a screen reader says for the controls: each box by its label, the
  // image button by its action's hint (it shows no tooltip).
  Label3->setBuddy(txtInput);
  txtInput->setAccessibleName(QStringLiteral("Vstup QR kódu"));
  Label1->setBuddy(txtSeznam);
  txtSeznam->setAccessibleName(QStringLiteral("Načtené kódy"));
  Button2->setAccessibleName(A_Input->toolTip());

  StatusBar1 = statusBar();
  StatusBar1->setObjectName(QStringLiteral("StatusBar1"));
  StatusBar1->setFixedHeight(kStatusBarHeight);
  // The count panel is 80 pixels wide, wider when a long count needs it; the
  // hint panel takes the rest.
  StatusPanel0 = new TStatusPanel(80, TStatusPanel::TWidth::FitsText, StatusBar1);
  StatusPanel0->setObjectName(QStringLiteral("StatusPanel0"));
  StatusPanel0->SetText(QStringLiteral("Počet: 0"));
  StatusPanel1 = new TStatusPanel(200, TStatusPanel::TWidth::AtLeast, StatusBar1);
  StatusPanel1->setObjectName(QStringLiteral("StatusPanel1"));
  StatusPanel1->SetText(kHintPanelText);
  // The last panel reaches to the size grip, so that the hint can be read.
  // The status bar keeps a few pixels above its panels; they fill the rest.
  for (TStatusPanel* panel : {StatusPanel0, StatusPanel1}) panel->setFixedHeight(kStatusBarHeight - 4);
  StatusBar1->addWidget(StatusPanel0);
  StatusBar1->addWidget(StatusPanel1, 1);
}

void TMain::LayOutClient(const QSize& size)
{
  const int width = size.width();
  const int grown = width - kClientWidth;
  Label3->adjustSize();
  Label3->move(kInputLeft, kLabel3Top - kToolBarHeight);
  txtInput->setGeometry(kInputLeft, kInputTop - kToolBarHeight, width - (kClientWidth - kInputWidth), kInputHeight);
  // The button stays just right of the input box, which grows with the
  // window; left where it was, a wider window would put it over the text.
  Button2->setGeometry(kButton2Left + grown, kInputTop - kToolBarHeight, kButton2Size, kButton2Size);
  Label1->adjustSize();
  Label1->move(kInputLeft, kLabel1Top - kToolBarHeight);
  txtSeznam->setGeometry(0, kListTop - kToolBarHeight, width, std::max(0, size.height() - (kListTop - kToolBarHeight)));
}

void TMain::Run(void (TMain::*handler)())
{
  ReportFailures(dialogs_, [&] { (this->*handler)(); });
}

void TMain::Bind(QAction* action, void (TMain::*handler)())
{
  connect(action, &QAction::triggered, this, [this, handler] { Run(handler); });
}

void TMain::FocusInput()
{
  if (txtInput->isEnabled() && txtInput->isVisible()) txtInput->setFocus(Qt::OtherFocusReason);
}

void TMain::FormCreate()
{
  model_->Clear();
  UpdateCount();
}

void TMain::FormShow() { FocusInput(); }

QString TMain::RestoredText(std::ptrdiff_t count)
{
  const QString noun = count == 1                ? QStringLiteral("kód")
                       : count >= 2 && count <= 4 ? QStringLiteral("kódy")
                                                  : QStringLiteral("kódů");
  return QStringLiteral("Obnovena dávka z minulého spuštění: ") + QString::number(count) + u' ' + noun;
}

QString TMain::NotKeptText(const QString& reason)
{
  return QStringLiteral("Dávka se pro případ pádu neukládá: ") + reason;
}

void TMain::KeepBatch(const std::u16string& folder)
{
  if (journal_) return;
  model_->Clear();
  TJournalStart start = StartBatchJournal(batch_, folder);
  journal_ = std::move(start.Journal);
  if (start.Restored) {
    model_->Reset();
    UpdateCount();
  }
  if (journal_) {
    model_->SetJournal(journal_.get());
    // Told once, in the window: a scanner may be typing, so no box.
    journal_->OnFault([this](const std::u16string& reason) { StatusPanel1->SetText(NotKeptText(ToQString(reason))); });
  }
  if (!start.Fault.empty())
    StatusPanel1->SetText(NotKeptText(ToQString(start.Fault)));
  else if (start.Restored) {
    StatusPanel1->SetText(RestoredText(batch_.Count()));
    restoredShown_ = true;
  }
}

void TMain::BatchReplaced()
{
  if (!restoredShown_) return;
  restoredShown_ = false;
  StatusPanel1->SetText(kHintPanelText);
}

void TMain::SessionEnding()
{
  sessionEnding_ = true;
  if (journal_) journal_->WaitFlushed();
}

void TMain::SessionEndCancelled() { sessionEnding_ = false; }

void TMain::SessionEnded()
{
  sessionEnding_ = true;
  if (journal_) journal_->Finish();
}

void TMain::closeEvent(QCloseEvent* event)
{
  // The user's close: nothing of the batch is kept for the next start.
  if (!sessionEnding_ && journal_) {
    model_->SetJournal(nullptr);
    journal_->Remove();
    journal_.reset();
  }
  QMainWindow::closeEvent(event);
}

void TMain::showEvent(QShowEvent* event)
{
  QMainWindow::showEvent(event);
  if (!event->spontaneous()) FormShow();
}

void TMain::changeEvent(QEvent* event)
{
  // The system announced new regional settings: the next file stamp uses them.
  if (event->type() == QEvent::LocaleChange) ReloadRegionalSettings();
  QMainWindow::changeEvent(event);
}

void TMain::UpdateCount() { StatusPanel0->SetText(QStringLiteral("Počet: ") + QString::number(batch_.Count())); }

void TMain::DeleteSelected()
{
  const int row = txtSeznam->SelectedRow();
  if (row >= 0) model_->DeleteAt(row);
}

void TMain::txtSeznamKeyDown(int key, Qt::KeyboardModifiers)
{
  if (key != Qt::Key_Delete) return;
  DeleteSelected();
  UpdateCount();
}

void TMain::A_DelItemExecute()
{
  try {
    DeleteSelected();
    UpdateCount();
  } catch (...) {
    // Bound to nothing; a failure here is of no interest to the user.
  }
}

void TMain::A_InputExecute()
{
  const QString text = txtInput->text();
  // A scanner set up for another keyboard layout than the active one typed
  // other characters than it read; its keys tell what it read.
  const std::optional<std::u16string> reading = ReadThroughScannerLayouts(ViewOf(text), scanInput_->TypingKeys());
  if (model_->AddScanned(reading ? std::u16string_view(*reading) : ViewOf(text)) != TScanResult::srNothingToAdd) {
    txtInput->clear();
    UpdateCount();
  }
  FocusInput();
}

void TMain::A_NewExecute()
{
  model_->Clear();
  txtInput->clear();
  UpdateCount();
  BatchReplaced();
  FocusInput();
}

void TMain::A_LoadListExecute()
{
  FileOpenDialog1.DefaultFolder = ToQString(DefaultFolder());
  if (dialogs_.Execute(FileOpenDialog1, this)) {
    model_->LoadList(ToU16(FileOpenDialog1.FileName));
    UpdateCount();
    BatchReplaced();
  }
  FocusInput();
}

void TMain::A_SaveListExecute()
{
  FileSaveDialog1.DefaultFolder = ToQString(DefaultFolder());
  FileSaveDialog1.FileName = QStringLiteral("DavkaKP_") + ToQString(FileStamp()) + QStringLiteral(".txt");
  if (dialogs_.Execute(FileSaveDialog1, this)) {
    SaveBatchList(batch_, ToU16(FileSaveDialog1.FileName));
    dialogs_.ShowNotice(this, QStringLiteral("Seznam byl úspěšně uložen."), FileSaveDialog1.FileName);
  }
  FocusInput();
}

void TMain::Export(TExportKind kind, const QString& namePrefix)
{
  // The document is complete before the user is asked where it goes.
  const TDocumentLines document = BuildReturnDocument(batch_, kind);
  FileSaveDialogXML.DefaultFolder = ToQString(DefaultFolder());
  FileSaveDialogXML.FileName = namePrefix + ToQString(FileStamp()) + QStringLiteral(".xml");
  if (dialogs_.Execute(FileSaveDialogXML, this)) {
    WriteReturnDocument(document, ToU16(FileSaveDialogXML.FileName));
    dialogs_.ShowNotice(this, QStringLiteral("Datový soubor byl úspěšně uložen."), FileSaveDialogXML.FileName);
  }
  FocusInput();
}

void TMain::A_XMLSingleExecute() { Export(xkSingle, QStringLiteral("VraceneJednotliveKP_")); }

void TMain::A_XMLFullExecute() { Export(xkFull, QStringLiteral("VraceneCeleKP_")); }

void TMain::A_XMLKombiExecute() { Export(xkKombi, QStringLiteral("VraceneKombiKP_")); }

void TMain::A_CloseExecute() { close(); }

void TMain::A_AboutExecute()
{
  {
    TAboutDialog about(this);
    about.exec();
  }
  FocusInput();
}

}  // namespace quenlora::ui
