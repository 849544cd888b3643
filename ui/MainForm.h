// SPDX-FileCopyrightText: 2026 The Quenlora authors
// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

#include <QMainWindow>
#include <memory>

#include "Dialogs.h"
#include "batch_journal.h"
#include "code_batch.h"
#include "return_document.h"

class QAction;
class QLabel;
class QLineEdit;
class QMenu;
class QMenuBar;
class QPushButton;
class QStatusBar;

namespace quenlora::ui {

class TBatchListModel;
class TColumnCheckList;
class TImageToolBar;
class TScanInput;
class TStatusPanel;

// The program's one window: the input box for scanned codes, the check list
// of the batch, the toolbar, the menus and the status bar, and the commands.
// A command runs to its end on this thread; a failure ends it and is shown in
// the error box, and the window goes on with the state it had.
class TMain : public QMainWindow {
  Q_OBJECT

public:
  // Sizes in pixels at 96 dpi.
  static constexpr int kClientWidth = 794;
  static constexpr int kClientHeight = 523;
  static constexpr int kStatusBarHeight = 19;
  static const QString kHintPanelText;

  explicit TMain(TDialogs& dialogs, QWidget* parent = nullptr);
  ~TMain() override;

  const TCodeBatch& Batch() const { return batch_; }

  // Keeps the batch in a journal in the state folder (or the folder given),
  // and puts back the batch of an earlier run that did not end by the
  // user's close. Says in the hint panel what came back, or why the batch
  // is not kept.
  void KeepBatch(const std::u16string& folder = {});
  TBatchJournal* Journal() { return journal_.get(); }
  // The session ends (logout, shutdown, an update's restart): everything
  // the window showed reaches the disk and a close leaves the journal, for
  // the next start. Cancelled: a close removes it again.
  void SessionEnding();
  void SessionEndCancelled();
  // The session ended: the journal stays; the program ends.
  void SessionEnded();

  // "Obnovena dávka z minulého spuštění: N kódů", the noun as Czech counts.
  static QString RestoredText(std::ptrdiff_t count);
  static QString NotKeptText(const QString& reason);
  TBatchListModel& BatchModel() { return *model_; }

  // The window's controls, under their names.
  TImageToolBar* AdvToolBar1;
  QLabel* Label3;
  QLineEdit* txtInput;
  QPushButton* Button2;
  QLabel* Label1;
  TColumnCheckList* txtSeznam;
  QStatusBar* StatusBar1;
  TStatusPanel* StatusPanel0;
  TStatusPanel* StatusPanel1;
  QMenuBar* MainMenu1;
  QMenu* MenuSoubor;
  QMenu* MenuExport;
  QMenu* MenuAbout;

  // The commands.
  QAction* A_Input;
  QAction* A_New;
  QAction* A_LoadList;
  QAction* A_SaveList;
  QAction* A_Close;
  QAction* A_XMLSingle;
  QAction* A_XMLFull;
  QAction* A_XMLKombi;
  QAction* A_About;
  QAction* A_DelItem;

  // The file dialogs, each remembering its file type (and the open dialog
  // its last file) for the whole run.
  TFileDialog FileOpenDialog1;
  TFileDialog FileSaveDialog1;
  TFileDialog FileSaveDialogXML;

  void FormCreate();
  void FormShow();
  void UpdateCount();
  void txtSeznamKeyDown(int key, Qt::KeyboardModifiers shift);

  void A_InputExecute();
  void A_NewExecute();
  void A_LoadListExecute();
  void A_SaveListExecute();
  void A_CloseExecute();
  void A_XMLSingleExecute();
  void A_XMLFullExecute();
  void A_XMLKombiExecute();
  void A_AboutExecute();
  void A_DelItemExecute();

protected:
  void showEvent(QShowEvent* event) override;
  void closeEvent(QCloseEvent* event) override;
  void changeEvent(QEvent* event) override;

private:
  void CreateActions();
  void CreateMenus();
  void CreateControls();
  void LayOutClient(const QSize& size);
  // Runs a handler as the application runs every command: a failure it
  // does not handle ends up in the error box.
  void Run(void (TMain::*handler)());
  void Bind(QAction* action, void (TMain::*handler)());
  void FocusInput();
  void DeleteSelected();
  void Export(TExportKind kind, const QString& namePrefix);

  TDialogs& dialogs_;
  // txtInput, with the keys that typed its text.
  TScanInput* scanInput_ = nullptr;
  TCodeBatch batch_;
  std::unique_ptr<TBatchJournal> journal_;
  bool sessionEnding_ = false;
  // The hint panel tells of the batch put back, until that batch is gone.
  bool restoredShown_ = false;
  void BatchReplaced();
  TBatchListModel* model_;
  QWidget* client_;
};

}  // namespace quenlora::ui
