#pragma once
// TShBrowseForFolder: the folder picker. It shows the shell's folder
// browser with a wide prompt, pre-selects `Path`, places and retitles the
// browser when asked, and hands back the chosen folder's path.
#include <cstdint>

#include "controls/uc/Shell_Win32.h"
#include "platform/forms/Components.h"
#include "platform/forms/Controls.h"

namespace controls {

// The base of the shell dialogs: OnShow fires before the dialog opens,
// OnClose after it closed.
class TShBaseDialog : public forms::TComponent {
public:
  using forms::TComponent::TComponent;
  forms::TNotifyEvent OnShow;
  forms::TNotifyEvent OnClose;
};

enum TShBrowseFlag { bfNewDialogStyle, bfFileSystemOnly, bfBrowseIncludeFiles, bfEditBox };
using TShBrowseFlags = forms::SetOf<TShBrowseFlag>;

// The path every new picker starts from; Execute sets it only when it
// names a chosen virtual object by the navigator's folder.
WideString LastBrowsedPath();
void SetLastBrowsedPath(const WideString& path);

// The owner window of a dialog component: its form's, a windowed owner's
// form's, else the main form's or the application's window.
win::HWND FindOwnerWindow(forms::TComponent* component);

class TShBrowseForFolder : public TShBaseDialog {
public:
  explicit TShBrowseForFolder(forms::TComponent* owner);

  const WideString& Title() const { return title_; }
  void SetTitle(const WideString& v) { title_ = v; }
  TShBrowseFlags Options() const { return options_; }
  void SetOptions(TShBrowseFlags v);
  const WideString& RootedAtFileSystemFolder() const { return rootedAtFileSystemFolder_; }
  void SetRootedAtFileSystemFolder(const WideString& v);
  TShShellFolder RootedAt() const { return rootedAt_; }
  void SetRootedAt(TShShellFolder v) { rootedAt_ = v; }
  const WideString& Path() const { return path_; }
  void SetPath(const WideString& v) { path_ = v; }
  int32_t DialogLeft() const;
  void SetDialogLeft(int32_t v);
  int32_t DialogTop() const;
  void SetDialogTop(int32_t v);
  const WideString& WindowTitle() const { return windowTitle_; }
  void SetWindowTitle(const WideString& v);
  const WideString& DialogButtonCaption() const { return dialogButtonCaption_; }
  void SetDialogButtonCaption(const WideString& v);
  // The browser's window while it is open, else null.
  win::HWND DialogWindow() const { return dialog_; }

  // True when the user chose a folder; `Path` is then its path.
  bool Execute();

  forms::TNotifyEvent OnChange;

private:
  static int BrowseCallback(win::HWND window, win::UINT message, win::LPARAM lParam, win::LPARAM data);
  void PlaceDialog();
  void SelectPath();
  void EnableOK(bool value);
  void ApplyTexts();

  WideString title_;
  TShBrowseFlags options_{bfNewDialogStyle};
  WideString rootedAtFileSystemFolder_;
  TShShellFolder rootedAt_ = SF_DESKTOP;
  WideString path_;
  int32_t dialogLeft_ = -1;
  int32_t dialogTop_ = -1;
  WideString windowTitle_;
  WideString dialogButtonCaption_;
  win::HWND dialog_ = nullptr;
};

}  // namespace controls
