// SPDX-FileCopyrightText: 2026 The Quenlora authors
// SPDX-License-Identifier: GPL-3.0-or-later

// The system's own file dialogs on Windows, driven by keys as a user drives
// them: where they open, what they propose, which type they preselect, what
// they do to a typed name, that they ask before a file is replaced and do
// not insist that a file or folder exists.
#include <QDir>
#include <QFile>
#include <QLineEdit>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>

#include <windows.h>
#include <shobjidl.h>

#include <functional>

#include "MainForm.h"
#include "NativeFileDialog.h"
#include "QtDialogs.h"
#include "TestSupport.h"
#include "code_batch.h"

using namespace quenlora::ui;
using namespace quenlora::ui::test;

namespace {

// Presses and releases a key, with Ctrl or Shift held when asked.
void PressKey(WORD key, bool control = false, bool shift = false)
{
  std::vector<INPUT> inputs;
  auto add = [&inputs](WORD virtualKey, DWORD flags) {
    INPUT input{};
    input.type = INPUT_KEYBOARD;
    input.ki.wVk = virtualKey;
    input.ki.dwFlags = flags;
    inputs.push_back(input);
  };
  if (control) add(VK_CONTROL, 0);
  if (shift) add(VK_SHIFT, 0);
  // Home and End are extended keys: without the flag they are the keypad's.
  const DWORD extended = key == VK_HOME || key == VK_END ? KEYEVENTF_EXTENDEDKEY : 0;
  add(key, extended);
  add(key, extended | KEYEVENTF_KEYUP);
  if (shift) add(VK_SHIFT, KEYEVENTF_KEYUP);
  if (control) add(VK_CONTROL, KEYEVENTF_KEYUP);
  ::SendInput(static_cast<UINT>(inputs.size()), inputs.data(), sizeof(INPUT));
}

// Types the text into the control that has the keyboard focus.
void TypeText(const QString& text)
{
  std::vector<INPUT> inputs;
  for (const QChar c : text) {
    for (const DWORD flags : {DWORD{KEYEVENTF_UNICODE}, DWORD{KEYEVENTF_UNICODE | KEYEVENTF_KEYUP}}) {
      INPUT input{};
      input.type = INPUT_KEYBOARD;
      input.ki.wScan = c.unicode();
      input.ki.dwFlags = flags;
      inputs.push_back(input);
    }
  }
  ::SendInput(static_cast<UINT>(inputs.size()), inputs.data(), sizeof(INPUT));
}

QString PathOf(IShellItem* item)
{
  wchar_t* path = nullptr;
  if (item == nullptr || FAILED(item->GetDisplayName(SIGDN_FILESYSPATH, &path)) || path == nullptr) return {};
  const QString result = QString::fromWCharArray(path);
  ::CoTaskMemFree(path);
  return result;
}

// What the dialog showed when it came up.
struct TDialogSeen {
  QString Folder;
  QString NameBox;
  int FileType = -1;  // from 0
  bool Asked = false;  // the overwrite question came up
};

TDialogSeen SeenIn(IFileDialog* dialog)
{
  TDialogSeen seen;
  IShellItem* folder = nullptr;
  if (SUCCEEDED(dialog->GetFolder(&folder))) {
    seen.Folder = PathOf(folder);
    folder->Release();
  }
  wchar_t* name = nullptr;
  if (SUCCEEDED(dialog->GetFileName(&name)) && name != nullptr) {
    seen.NameBox = QString::fromWCharArray(name);
    ::CoTaskMemFree(name);
  }
  UINT type = 0;
  if (SUCCEEDED(dialog->GetFileTypeIndex(&type))) seen.FileType = static_cast<int>(type) - 1;
  return seen;
}

HWND WindowOf(IFileDialog* dialog)
{
  IOleWindow* oleWindow = nullptr;
  HWND window = nullptr;
  if (SUCCEEDED(dialog->QueryInterface(IID_IOleWindow, reinterpret_cast<void**>(&oleWindow)))) {
    oleWindow->GetWindow(&window);
    oleWindow->Release();
  }
  return window;
}

// A message box that this thread shows besides the dialog: one with a Yes button.
HWND QuestionOver(HWND dialog)
{
  struct TSearch {
    HWND Dialog;
    HWND Found;
  } search{dialog, nullptr};
  ::EnumThreadWindows(
      ::GetCurrentThreadId(),
      [](HWND candidate, LPARAM data) -> BOOL {
        auto* search = reinterpret_cast<TSearch*>(data);
        if (candidate == search->Dialog || !::IsWindowVisible(candidate) || ::GetDlgItem(candidate, IDYES) == nullptr)
          return TRUE;
        search->Found = candidate;
        return FALSE;
      },
      reinterpret_cast<LPARAM>(&search));
  return search.Found;
}

// Shows the system's dialog for fileDialog. Once it is up, notes what it
// shows and, unless typed is null, picks the file type (when fileType is not
// -1), types the name over the proposal and presses Enter; an overwrite
// question is answered with answerYes. A dialog still open after that is
// cancelled with Escape; so is one where nothing was typed.
bool RunNative(TFileDialog& fileDialog, const QString& typed, int fileType, TDialogSeen& seen, bool answerYes = true)
{
  enum { sWaiting, sTyped, sAnswered } state = sWaiting;
  HWND window = nullptr;
  int ticks = 0;
  QTimer timer;
  QObject::connect(&timer, &QTimer::timeout, [&] {
    IFileDialog* dialog = ShownNativeFileDialog();
    if (dialog == nullptr) return;
    ++ticks;
    if (state == sWaiting) {
      window = WindowOf(dialog);
      if (window == nullptr || !::IsWindowVisible(window)) return;
      ::SetForegroundWindow(window);
      const bool asked = seen.Asked;
      seen = SeenIn(dialog);
      seen.Asked = asked;
      if (typed.isNull()) {
        PressKey(VK_ESCAPE);
        state = sAnswered;
        return;
      }
      if (fileType >= 0) dialog->SetFileTypeIndex(static_cast<UINT>(fileType + 1));
      // The whole proposal selected, as Home and Shift+End select it, then replaced.
      PressKey(VK_HOME);
      PressKey(VK_END, false, true);
      TypeText(typed);
      PressKey(VK_RETURN);
      state = sTyped;
      ticks = 0;
      return;
    }
    // A question over the dialog: the overwrite question.
    HWND question = QuestionOver(window);
    if (state == sTyped && question != nullptr) {
      seen.Asked = true;
      ::SendMessageW(question, WM_COMMAND, answerYes ? IDYES : IDNO, 0);
      state = sAnswered;
      ticks = 0;
      return;
    }
    // Still open a while after the answer: cancelled.
    if (ticks > 40) {
      ::SetForegroundWindow(window);
      PressKey(VK_ESCAPE);
      ticks = 0;
    }
  });
  timer.start(50);
  TQtDialogs dialogs;
  return dialogs.Execute(fileDialog, nullptr);
}



QString Native(const QString& path) { return QDir::toNativeSeparators(path); }

// The window's dialogs with the system's own file dialogs, the rest recorded.
class TSystemFileDialogs : public TScriptedDialogs {
public:
  bool Execute(TFileDialog& dialog, QWidget* owner) override { return ExecuteNativeFileDialog(dialog, owner); }
};

// The system's text for a result, as the error box shows it after the lead.
QString SystemText(HRESULT result)
{
  wchar_t* buffer = nullptr;
  const DWORD length =
      ::FormatMessageW(FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS,
                       nullptr, static_cast<DWORD>(result), 0, reinterpret_cast<wchar_t*>(&buffer), 0, nullptr);
  QString text = buffer != nullptr ? QString::fromWCharArray(buffer, static_cast<int>(length)) : QString();
  ::LocalFree(buffer);
  while (!text.isEmpty() && (text.back() <= QChar(u' ') || text.back() == QChar(u'.'))) text.chop(1);
  return text;
}

bool UnderWine()
{
  const HMODULE ntdll = ::GetModuleHandleW(L"ntdll.dll");
  return ntdll != nullptr && ::GetProcAddress(ntdll, "wine_get_version") != nullptr;
}

}  // namespace

class NativeDialogsTest : public QObject {
  Q_OBJECT

private Q_SLOTS:
  void startsInTheFolderWithTheProposalAndTheTypeLastChosen()
  {
    QTemporaryDir folder;
    TFileDialog fileDialog = SaveDialogIn(folder.path());
    fileDialog.FileTypeIndex = 1;
    TDialogSeen seen;
    QVERIFY(!RunNative(fileDialog, QString(), -1, seen));
    QCOMPARE(seen.Folder, Native(folder.path()));
    QCOMPARE(seen.NameBox, QStringLiteral("DavkaKP_1.txt"));
    QCOMPARE(seen.FileType, 1);
    // Cancelling changes nothing.
    QCOMPARE(fileDialog.FileName, QStringLiteral("DavkaKP_1.txt"));
    QCOMPARE(fileDialog.FileTypeIndex, 1);
  }

  void opensInTheStartFolderEveryTime()
  {
    QTemporaryDir start, elsewhere;
    TFileDialog fileDialog = SaveDialogIn(start.path());
    TDialogSeen seen;
    // Chosen elsewhere, with the second type; the next showing opens in the
    // start folder again and preselects that type.
    QVERIFY(RunNative(fileDialog, Native(elsewhere.filePath(QStringLiteral("first.txt"))), 1, seen));
    QCOMPARE(fileDialog.FileName, Native(elsewhere.filePath(QStringLiteral("first.txt"))));
    QCOMPARE(fileDialog.FileTypeIndex, 1);
    fileDialog.FileName = QStringLiteral("DavkaKP_2.txt");
    QVERIFY(!RunNative(fileDialog, QString(), -1, seen));
    QCOMPARE(seen.Folder, Native(start.path()));
    QCOMPARE(seen.FileType, 1);
  }

  void openDialogProposesTheFullPathAndTakesAMissingFile()
  {
    QTemporaryDir start, elsewhere;
    TFileDialog fileDialog = OpenDialogIn(start.path());
    fileDialog.FileName = Native(elsewhere.filePath(QStringLiteral("last.txt")));
    TDialogSeen seen;
    // A name that does not exist is taken; reading it is what fails.
    const QString missing = Native(elsewhere.filePath(QStringLiteral("not there.txt")));
    QVERIFY(RunNative(fileDialog, missing, -1, seen));
    QCOMPARE(seen.Folder, Native(start.path()));
    QCOMPARE(seen.NameBox, Native(elsewhere.filePath(QStringLiteral("last.txt"))));
    QCOMPARE(fileDialog.FileName, missing);
  }

  void saveDialogTakesANameInAMissingFolder()
  {
    QTemporaryDir folder;
    TFileDialog fileDialog = SaveDialogIn(folder.path());
    TDialogSeen seen;
    const QString missing = Native(folder.filePath(QStringLiteral("no such folder/list.txt")));
    QVERIFY(RunNative(fileDialog, missing, -1, seen));
    QCOMPARE(fileDialog.FileName, missing);
  }

  void keepsNamesToTheTypesExtension_data()
  {
    AddSavedNameColumnsAndRows();
    // The system's dialog takes the default extension from the chosen type,
    // and "*.*" gives none.
    QTest::newRow("all files leave a bare name bare") << "list" << 1 << "list";
  }

  void keepsNamesToTheTypesExtension()
  {
    QFETCH(QString, typed);
    QFETCH(int, fileType);
    QFETCH(QString, chosen);
    QTemporaryDir folder;
    TFileDialog fileDialog = SaveDialogIn(folder.path());
    TDialogSeen seen;
    QVERIFY(RunNative(fileDialog, typed, fileType, seen));
    if (UnderWine() && typed == QStringLiteral("list.TXT"))
      QEXPECT_FAIL("", "Wine's dialog compares extensions case-sensitively; Windows does not", Continue);
    QCOMPARE(fileDialog.FileName, Native(folder.filePath(chosen)));
    QCOMPARE(fileDialog.FileTypeIndex, fileType);
  }

  void asksBeforeReplacing()
  {
    QTemporaryDir folder;
    {
      QFile there(folder.filePath(QStringLiteral("there.txt")));
      QVERIFY(there.open(QIODevice::WriteOnly));
      there.write("x");
    }
    TFileDialog fileDialog = SaveDialogIn(folder.path());
    TDialogSeen seen;
    QVERIFY(RunNative(fileDialog, QStringLiteral("there.txt"), -1, seen, true));
    QVERIFY(seen.Asked);
    QCOMPARE(fileDialog.FileName, Native(folder.filePath(QStringLiteral("there.txt"))));
    fileDialog.FileName = QStringLiteral("proposal.txt");
    seen = {};
    QVERIFY(!RunNative(fileDialog, QStringLiteral("there.txt"), -1, seen, false));
    QVERIFY(seen.Asked);
    QCOMPARE(fileDialog.FileName, QStringLiteral("proposal.txt"));
  }

  // A dialog that the system cannot show is reported with the system's
  // reason and ends the command; only cancelling ends it silently.
  void aDialogThatCannotBeShownIsReported()
  {
    TSystemFileDialogs dialogs;
    TMain window(dialogs);
    QVERIFY(ShowAndActivate(window));
    Scan(window, QStringLiteral("KP0001"));
    const QString before = window.txtInput->text();

    FailNextNativeFileDialog(HRESULT_FROM_WIN32(ERROR_CANCELLED));
    window.A_SaveList->trigger();
    QCOMPARE(dialogs.Errors, QStringList());

    for (const HRESULT failure : {E_OUTOFMEMORY, HRESULT_FROM_WIN32(ERROR_INVALID_WINDOW_HANDLE), E_FAIL}) {
      const QString text = SystemText(failure);
      QVERIFY2(!text.isEmpty(), "the system has a text for the failure");
      dialogs.Errors.clear();
      FailNextNativeFileDialog(failure);
      window.A_XMLKombi->trigger();
      QCOMPARE(dialogs.Errors, QStringList{QStringLiteral("Cannot show the file dialog. ") + text + u'.'});
    }
    // Nothing was saved or noted, and the batch is as it was.
    QCOMPARE(dialogs.Notices.size(), 0);
    QCOMPARE(window.Batch().Count(), std::ptrdiff_t{1});
    QCOMPARE(window.txtInput->text(), before);
  }
};

std::unique_ptr<QObject> MakeNativeDialogsTest() { return std::make_unique<NativeDialogsTest>(); }

#include "NativeDialogsTest.moc"
