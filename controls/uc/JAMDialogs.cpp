#include "controls/uc/JAMDialogs.h"

#include <memory>
#include <mutex>

#include "controls/uc/ShellBrowser.h"
#include "controls/uc/UcDialogs.h"
#include "controls/uc/UcSysUtils.h"
#include "controls/uc/UcWindows.h"
#include "platform/forms/Forms.h"
#include "platform/rtl/Text.h"
#include "platform/shell/BrowseForFolder.h"
#include "platform/win/MessageIds.h"
#include "platform/win/Messages.h"
#include "platform/win/Metrics.h"
#include "platform/win/Window.h"

namespace controls {

namespace {

std::mutex& LastBrowsedMutex() {
  static std::mutex m;
  return m;
}
WideString& LastBrowsed() {
  static WideString path;
  return path;
}

constexpr win::UINT kNewDialogStyle = 0x40, kReturnOnlyFsDirs = 0x1, kBrowseIncludeFiles = 0x4000, kEditBox = 0x10;

// The path of a list without the delimiter the navigator adds (the root
// keeps its one).
WideString WithoutDelimiter(WideString path) {
  if (path.size() > 1 && path.back() == u'/') path.pop_back();
  return path;
}

struct ListFree {
  void operator()(ITEMIDLIST* list) const { FreeIDList(list); }
};
using List = std::unique_ptr<ITEMIDLIST, ListFree>;

}  // namespace

WideString LastBrowsedPath() {
  std::lock_guard lock(LastBrowsedMutex());
  return LastBrowsed();
}

void SetLastBrowsedPath(const WideString& path) {
  std::lock_guard lock(LastBrowsedMutex());
  LastBrowsed() = path;
}

win::HWND FindOwnerWindow(forms::TComponent* component) {
  forms::TComponent* owner = component ? component->Owner() : nullptr;
  if (auto* form = dynamic_cast<forms::TCustomForm*>(owner)) return form->Handle();
  if (dynamic_cast<forms::TWinControl*>(owner)) return FindOwnerWindow(owner);
  return ApplicationWindow();
}

TShBrowseForFolder::TShBrowseForFolder(forms::TComponent* owner) : TShBaseDialog(owner), path_(LastBrowsedPath()) {}

void TShBrowseForFolder::SetOptions(TShBrowseFlags v) {
  if (v.Contains(bfEditBox)) v.Include(bfNewDialogStyle);
  options_ = v;
}

void TShBrowseForFolder::SetRootedAtFileSystemFolder(const WideString& v) {
  if (ComponentState().Contains(forms::csDesigning) && !WideFolderExists(v)) ShowWideMessage(u"File not exists!");
  rootedAtFileSystemFolder_ = v;
  rootedAt_ = SF_FILESYSTEMFOLDER;
}

int32_t TShBrowseForFolder::DialogLeft() const {
  if (dialog_ && !ComponentState().Contains(forms::csDesigning)) {
    win::RECT r{};
    win::GetWindowRect(dialog_, &r);
    return r.left;
  }
  return dialogLeft_;
}

int32_t TShBrowseForFolder::DialogTop() const {
  if (dialog_ && !ComponentState().Contains(forms::csDesigning)) {
    win::RECT r{};
    win::GetWindowRect(dialog_, &r);
    return r.top;
  }
  return dialogTop_;
}

void TShBrowseForFolder::SetDialogLeft(int32_t v) {
  dialogLeft_ = v;
  PlaceDialog();
}

void TShBrowseForFolder::SetDialogTop(int32_t v) {
  dialogTop_ = v;
  PlaceDialog();
}

void TShBrowseForFolder::SetWindowTitle(const WideString& v) {
  windowTitle_ = v;
  if (!dialog_) return;
  if (IsUnicodePlatform())
    win::SendMessageW(dialog_, win::WM_SETTEXT, 0, reinterpret_cast<win::LPARAM>(windowTitle_.c_str()));
  else {
    const rtl::String a = rtl::WideToAnsi(windowTitle_);
    win::SendMessageA(dialog_, win::WM_SETTEXT, 0, reinterpret_cast<win::LPARAM>(a.c_str()));
  }
}

void TShBrowseForFolder::SetDialogButtonCaption(const WideString& v) {
  dialogButtonCaption_ = v;
  if (!dialog_) return;
  if (IsUnicodePlatform())
    win::SetDlgItemTextW(dialog_, shell::kBrowseOkId, dialogButtonCaption_.c_str());
  else
    win::SetDlgItemTextA(dialog_, shell::kBrowseOkId, rtl::WideToAnsi(dialogButtonCaption_).c_str());
}

void TShBrowseForFolder::PlaceDialog() {
  if (!dialog_) return;
  win::RECT r{};
  win::GetWindowRect(dialog_, &r);
  int x = dialogLeft_, y = dialogTop_;
  if (dialogLeft_ <= 0 || dialogTop_ <= 0) {
    // Centred on the screen.
    x = win::GetSystemMetrics(win::SM_CXSCREEN) / 2 - (r.right - r.left) / 2;
    y = win::GetSystemMetrics(win::SM_CYSCREEN) / 2 - (r.bottom - r.top) / 2;
  }
  win::SetWindowPos(dialog_, nullptr, x, y, 0, 0, win::SWP_NOSIZE | win::SWP_NOZORDER | win::SWP_NOACTIVATE);
}

void TShBrowseForFolder::SelectPath() {
  List list(PathToIDList(nullptr, path_));
  win::SendMessageW(dialog_, win::BFFM_SETSELECTIONW, 0, reinterpret_cast<win::LPARAM>(list.get()));
}

void TShBrowseForFolder::EnableOK(bool value) {
  win::SendMessageW(dialog_, win::BFFM_ENABLEOK, 0, value ? 1 : 0);
}

int TShBrowseForFolder::BrowseCallback(win::HWND window, win::UINT message, win::LPARAM lParam, win::LPARAM data) {
  auto* self = reinterpret_cast<TShBrowseForFolder*>(data);
  switch (message) {
    case win::BFFM_INITIALIZED:
      self->dialog_ = window;
      self->PlaceDialog();
      self->SelectPath();
      self->EnableOK(self->options_.Contains(bfFileSystemOnly) ? !self->path_.empty() : true);
      if (!self->windowTitle_.empty()) self->SetWindowTitle(self->windowTitle_);
      if (!self->dialogButtonCaption_.empty()) self->SetDialogButtonCaption(self->dialogButtonCaption_);
      break;
    case win::BFFM_SELCHANGED:
      if (self->dialog_) {
        self->path_ = WithoutDelimiter(IDListPath(reinterpret_cast<const ITEMIDLIST*>(lParam)));
        if (self->options_.Contains(bfFileSystemOnly)) self->EnableOK(!self->path_.empty());
        if (self->OnChange) self->OnChange(self);
      }
      break;
    default: break;
  }
  return 0;
}

bool TShBrowseForFolder::Execute() {
  shell::InstallShellModule();
  const WideString before = path_;
  List root(WideFolderExists(rootedAtFileSystemFolder_) ? PathToIDList(nullptr, rootedAtFileSystemFolder_)
                                                        : SpecialFolderIDList(rootedAt_));
  WideChar displayName[win::MAX_PATH] = {};
  win::BROWSEINFOW info;
  info.hwndOwner = FindOwnerWindow(this);
  info.pidlRoot = root.get();
  info.pszDisplayName = displayName;
  info.lpszTitle = title_.c_str();
  win::UINT flags = 0;
  if (options_.Contains(bfNewDialogStyle)) flags |= kNewDialogStyle;
  if (options_.Contains(bfFileSystemOnly)) flags |= kReturnOnlyFsDirs;
  if (options_.Contains(bfBrowseIncludeFiles)) flags |= kBrowseIncludeFiles;
  if (options_.Contains(bfEditBox)) flags |= kEditBox;
  info.ulFlags = flags;
  info.lpfn = &BrowseCallback;
  info.lParam = reinterpret_cast<win::LPARAM>(this);

  bool result = false;
  try {
    if (OnShow) OnShow(this);
    List chosen(WSHBrowseForFolder(&info));
    if (!chosen) {
      // Cancelled: the selections made while browsing are forgotten.
      path_ = before;
    } else {
      path_ = WithoutDelimiter(IDListPath(chosen.get()));
      result = true;
      if (path_.empty()) {
        auto navigator = std::make_unique<TShellBrowser>(nullptr);
        navigator->SetFolderIDList(chosen.get());
        path_ = WithoutDelimiter(navigator->Folder());
        SetLastBrowsedPath(path_);
        if (path_.empty()) {
          // An item outside the file system (My Computer) names no folder
          // the caller could store into: it counts as no choice.
          path_ = before;
          result = false;
        }
      }
    }
  } catch (...) {
    dialog_ = nullptr;
    if (OnClose) OnClose(this);
    throw;
  }
  dialog_ = nullptr;
  if (OnClose) OnClose(this);
  return result;
}

}  // namespace controls
