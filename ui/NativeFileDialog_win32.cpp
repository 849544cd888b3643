// SPDX-FileCopyrightText: 2026 The Quenlora authors
// SPDX-License-Identifier: GPL-3.0-or-later

#include "NativeFileDialog.h"

#include <QDir>
#include <QWidget>

#include <windows.h>
#include <shobjidl.h>

#include <string>
#include <vector>

#include "batch_error.h"

namespace quenlora::ui {

namespace {

IFileDialog* shown = nullptr;
// A result that a test asked the next showing to fail with, or S_OK.
HRESULT nextFailure = S_OK;

// The system's own text for a result, in the user's language.
std::u16string SystemText(HRESULT result)
{
  wchar_t* buffer = nullptr;
  const DWORD length = ::FormatMessageW(
      FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS, nullptr,
      static_cast<DWORD>(result), 0, reinterpret_cast<wchar_t*>(&buffer), 0, nullptr);
  std::u16string text = buffer != nullptr ? std::u16string(reinterpret_cast<const char16_t*>(buffer), length) : u"";
  ::LocalFree(buffer);
  if (!CleanReason(text).empty()) return text;
  std::u16string code = u"System error 0x";
  for (int shift = 28; shift >= 0; shift -= 4)
    code += u"0123456789ABCDEF"[(static_cast<unsigned long>(result) >> shift) & 0xF];
  return code;
}

// A dialog that the system could not show is not a cancelled one: the
// command ends with the system's reason in the error box.
[[noreturn]] void CannotShow(HRESULT result)
{
  throw TBatchError(u"Cannot show the file dialog. " + CleanReason(SystemText(result)));
}

// Holds a COM interface and releases it.
template <class T>
class TComPointer {
public:
  TComPointer() = default;
  TComPointer(const TComPointer&) = delete;
  TComPointer& operator=(const TComPointer&) = delete;
  ~TComPointer()
  {
    if (pointer_ != nullptr) pointer_->Release();
  }
  T* operator->() const { return pointer_; }
  T* Get() const { return pointer_; }
  T** Out() { return &pointer_; }

private:
  T* pointer_ = nullptr;
};

const wchar_t* Wide(const QString& text) { return reinterpret_cast<const wchar_t*>(text.utf16()); }

// Clears the record of the shown dialog however the showing ends.
class TShowing {
public:
  explicit TShowing(IFileDialog* dialog) { shown = dialog; }
  TShowing(const TShowing&) = delete;
  TShowing& operator=(const TShowing&) = delete;
  ~TShowing() { shown = nullptr; }
};

}  // namespace

IFileDialog* ShownNativeFileDialog() { return shown; }

void FailNextNativeFileDialog(long result) { nextFailure = result; }

bool ExecuteNativeFileDialog(TFileDialog& dialog, QWidget* owner)
{
  // Qt has the thread in a single-threaded apartment already; this only
  // makes sure of it.
  const HRESULT initialised = ::CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED | COINIT_DISABLE_OLE1DDE);
  struct TUninitialise {
    bool Needed;
    ~TUninitialise()
    {
      if (Needed) ::CoUninitialize();
    }
  } uninitialise{SUCCEEDED(initialised)};

  const bool save = dialog.Kind() == TFileDialog::fdSave;
  TComPointer<IFileDialog> fileDialog;
  const HRESULT created = ::CoCreateInstance(save ? CLSID_FileSaveDialog : CLSID_FileOpenDialog, nullptr,
                                             CLSCTX_INPROC_SERVER, IID_IFileDialog,
                                             reinterpret_cast<void**>(fileDialog.Out()));
  if (FAILED(created)) CannotShow(created);

  FILEOPENDIALOGOPTIONS options = 0;
  fileDialog->GetOptions(&options);
  // The dialog does not insist that the file or its folder exists: reading or
  // writing the name reports what is wrong with it. It leaves the process's
  // current folder alone and hands back only paths of the file system.
  options &= ~static_cast<FILEOPENDIALOGOPTIONS>(FOS_PATHMUSTEXIST | FOS_FILEMUSTEXIST | FOS_CREATEPROMPT);
  options |= FOS_NOCHANGEDIR | FOS_FORCEFILESYSTEM;
  // A save dialog asks before a file is replaced, and keeps names to the
  // extensions of the chosen type ("*.*" admits any).
  if (save) options |= FOS_OVERWRITEPROMPT | FOS_STRICTFILETYPES;
  fileDialog->SetOptions(options);

  std::vector<QString> names, masks;
  std::vector<COMDLG_FILTERSPEC> types;
  for (const TFileType& type : dialog.FileTypes()) {
    names.push_back(type.DisplayName);
    masks.push_back(type.Mask);
  }
  for (std::size_t i = 0; i < names.size(); ++i) types.push_back({Wide(names[i]), Wide(masks[i])});
  if (!types.empty()) {
    fileDialog->SetFileTypes(static_cast<UINT>(types.size()), types.data());
    const int index = dialog.FileTypeIndex >= 0 && dialog.FileTypeIndex < static_cast<int>(types.size())
                          ? dialog.FileTypeIndex
                          : 0;
    fileDialog->SetFileTypeIndex(static_cast<UINT>(index + 1));  // counted from 1
  }
  if (!dialog.DefaultExtension().isEmpty()) fileDialog->SetDefaultExtension(Wide(dialog.DefaultExtension()));

  // The start folder at every showing, whatever folder the user visited before.
  const QString folder = QDir::toNativeSeparators(dialog.DefaultFolder);
  TComPointer<IShellItem> start;
  if (!folder.isEmpty() &&
      SUCCEEDED(::SHCreateItemFromParsingName(Wide(folder), nullptr, IID_IShellItem,
                                              reinterpret_cast<void**>(start.Out()))))
    fileDialog->SetFolder(start.Get());
  // The proposed name, or for the open dialog the full path last chosen.
  const QString name = QDir::toNativeSeparators(dialog.FileName);
  fileDialog->SetFileName(Wide(name));

  HWND window = owner != nullptr ? reinterpret_cast<HWND>(owner->window()->winId()) : nullptr;
  HRESULT result = nextFailure;
  nextFailure = S_OK;
  if (result == S_OK) {
    const TShowing showing(fileDialog.Get());
    result = fileDialog->Show(window);
  }
  if (result == HRESULT_FROM_WIN32(ERROR_CANCELLED)) return false;
  if (FAILED(result)) CannotShow(result);

  TComPointer<IShellItem> chosen;
  result = fileDialog->GetResult(chosen.Out());
  if (FAILED(result)) CannotShow(result);
  wchar_t* path = nullptr;
  result = chosen->GetDisplayName(SIGDN_FILESYSPATH, &path);
  if (FAILED(result)) CannotShow(result);
  if (path == nullptr) CannotShow(E_UNEXPECTED);
  dialog.FileName = QString::fromWCharArray(path);
  ::CoTaskMemFree(path);
  UINT type = 0;
  if (SUCCEEDED(fileDialog->GetFileTypeIndex(&type)) && type >= 1) dialog.FileTypeIndex = static_cast<int>(type) - 1;
  return true;
}

}  // namespace quenlora::ui
