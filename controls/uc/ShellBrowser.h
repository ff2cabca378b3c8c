#pragma once
// TShellBrowser: a non-visual navigator that stands in one folder of the
// shell namespace and one current object in it, and converts between
// paths, names and item ID lists.
#include <functional>
#include <memory>
#include <vector>

#include "controls/uc/Shell_Win32.h"
#include "platform/forms/Components.h"
#include "platform/rtl/Exceptions.h"

namespace controls {

class EShellBrowserError : public rtl::Exception {
  using rtl::Exception::Exception;
};

using TOnContextMenuSelectEvent = std::function<void(forms::TObject* Sender, const WideString& Command, bool& Execute)>;

class TShellBrowser : public forms::TComponent {
public:
  explicit TShellBrowser(forms::TComponent* owner);
  ~TShellBrowser() override;

  // The current folder's path with a trailing '/', "" for a virtual folder.
  WideString Folder();
  void SetFolder(const WideString& value);
  const ITEMIDLIST* FolderIDList() const { return folderList_; }
  void SetFolderIDList(const ITEMIDLIST* list);
  // The current object, relative to the folder (null for none).
  const ITEMIDLIST* ObjectIDList() const { return object_; }
  // Folder + object, built on demand; null without an object.
  const ITEMIDLIST* AbsoluteObjectIDList();

  WideString ObjectName();
  void SetObjectName(const WideString& value);
  WideString Filter() const;
  void SetFilter(const WideString& value);
  TFileNames* Masks() const { return masks_.get(); }
  bool FileSystemOnly() const { return fileSystemOnly_; }
  void SetFileSystemOnly(bool v) { fileSystemOnly_ = v; }
  bool ShowErrorMessages() const { return showErrorMessages_; }
  void SetShowErrorMessages(bool v) { showErrorMessages_ = v; }
  TShShellFolder SpecialFolder() const;
  void SetSpecialFolder(TShShellFolder value);
  rtl::String Version() const;
  void SetVersion(const rtl::String&) {}
  TFileNames* MultiObjects() const { return multiObjects_.get(); }
  bool ShowContextMenuOnTop() const { return showContextMenuOnTop_; }
  void SetShowContextMenuOnTop(bool v) { showContextMenuOnTop_ = v; }

  void SelectFolderInParent();
  WideString GetDisplayName();
  uint32_t GetObjectAttributes(uint32_t mask);
  bool IsFolderObject();
  bool MatchesFilter();
  // The next object of the folder that passes the filter; false at the end.
  bool NextObject();

  forms::TNotifyEvent OnRename;
  TOnContextMenuSelectEvent OnContextMenuSelect;

protected:
  void Loaded() override;

private:
  void SetObject(ITEMIDLIST* relative);
  void DropEnumerator();

  WideString folder_;
  ITEMIDLIST* folderList_ = nullptr;
  ITEMIDLIST* object_ = nullptr;
  ITEMIDLIST* absoluteObject_ = nullptr;
  std::unique_ptr<std::vector<ITEMIDLIST*>> enumeration_;
  size_t enumerationAt_ = 0;
  std::unique_ptr<TFileNames> masks_;
  std::unique_ptr<TFileNames> multiObjects_;
  bool fileSystemOnly_ = false;
  bool showErrorMessages_ = true;
  bool loaded_ = false;
  bool showContextMenuOnTop_ = false;
};

}  // namespace controls
