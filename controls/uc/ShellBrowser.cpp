#include "controls/uc/ShellBrowser.h"

#include "controls/uc/UcSysUtils.h"
#include "platform/rtl/Text.h"
#include "platform/shell/ShellNamespace.h"
#include "platform/win/Kernel.h"

namespace controls {

namespace {

struct ListFree {
  void operator()(ITEMIDLIST* list) const { FreeIDList(list); }
};
using List = std::unique_ptr<ITEMIDLIST, ListFree>;

bool IsDesktop(const ITEMIDLIST* list) { return shell::CompareIDLists(list, DesktopIDList()) == 0; }

}  // namespace

TShellBrowser::TShellBrowser(forms::TComponent* owner)
    : forms::TComponent(owner), masks_(std::make_unique<TFileNames>()), multiObjects_(std::make_unique<TFileNames>()) {
  SetFolder(WideString());
}

TShellBrowser::~TShellBrowser() {
  DropEnumerator();
  FreeIDList(absoluteObject_);
  FreeIDList(object_);
  FreeIDList(folderList_);
}

void TShellBrowser::Loaded() {
  forms::TComponent::Loaded();
  loaded_ = true;
}

WideString TShellBrowser::Folder() {
  // A folder reached as a shortcut stands for the folder it points to.
  if (IDListItemCount(folderList_) == 2 && !folder_.empty()) {
    const WideString target = LinkTarget(folder_);
    if (!target.empty()) folder_ = AddNativeDelimiter(target);
  }
  return folder_;
}

void TShellBrowser::SetFolder(const WideString& value) {
  // The file system tells names apart by case, so only the same spelling
  // is the same folder.
  if (!value.empty() && (value == folder_ || AddNativeDelimiter(value) == folder_)) return;
  const WideString old = folder_;
  List list(value.empty() ? SpecialFolderIDList(SF_DRIVES) : PathToIDList(nullptr, value));
  if (!list) {
    folder_ = old;
    throw EShellBrowserError(rtl::WideToAnsi(SystemErrorText(win::ERROR_PATH_NOT_FOUND) + u"\r\n" + value));
  }
  SetFolderIDList(list.get());
}

void TShellBrowser::SetFolderIDList(const ITEMIDLIST* list) {
  // The list must name a folder before anything of the current state is
  // dropped, so a failure leaves the navigator where it was.
  if (!list) throw EShellBrowserError("ShellBrowser.SetFolderIDList: no item ID list");
  if (!IsDesktop(list) && !(shell::AttributesOf(list) & shell::SFGAO_FOLDER))
    throw EShellBrowserError(
        "ShellBrowser.SetFolderIDList: Desktop.BindToObject: Could not get IShellFolder interface. (" +
        rtl::WideToAnsi(SystemErrorText(267)) + ")");
  ITEMIDLIST* copy = CopyIDList(list);
  DropEnumerator();
  SetObject(nullptr);
  FreeIDList(folderList_);
  folderList_ = copy;
  folder_ = AddNativeDelimiter(IDListPath(folderList_));
}

const ITEMIDLIST* TShellBrowser::AbsoluteObjectIDList() {
  if (!object_ || !folderList_) return nullptr;
  if (!absoluteObject_) absoluteObject_ = ConcatIDLists(folderList_, object_);
  return absoluteObject_;
}

void TShellBrowser::SetObject(ITEMIDLIST* relative) {
  FreeIDList(absoluteObject_);
  absoluteObject_ = nullptr;
  FreeIDList(object_);
  object_ = relative;
}

void TShellBrowser::DropEnumerator() {
  if (!enumeration_) return;
  for (size_t i = enumerationAt_; i < enumeration_->size(); ++i) FreeIDList((*enumeration_)[i]);
  enumeration_.reset();
  enumerationAt_ = 0;
}

WideString TShellBrowser::ObjectName() {
  if (!folderList_ || !object_) return {};
  const std::vector<shell::ShellItem> items = shell::DecodeIDList(object_);
  if (items.size() == 1 && items[0].kind == shell::kItemName) return rtl::Utf8ToWide(items[0].name);
  const ITEMIDLIST* absolute = AbsoluteObjectIDList();
  if (IDListItemCount(absolute) > 1) {
    const WideString path = IDListPath(absolute);
    if (IsDriveRoot(path)) return path;
    if (!path.empty()) return ExtractNativeName(path);
  }
  return NetworkNameOfIDList(folderList_, object_);
}

void TShellBrowser::SetObjectName(const WideString& value) {
  if (value.empty()) {
    SetObject(nullptr);
    return;
  }
  WideString name = value;
  if (name.size() > 1 && name.back() == u'/') name.pop_back();
  if (name.find(u'/') == WideString::npos) {
    ITEMIDLIST* parsed = PathToIDList(folderList_, name);
    if (parsed) {
      SetObject(parsed);
      return;
    }
    DropEnumerator();
    std::vector<ITEMIDLIST*> children;
    shell::EnumChildren(folderList_, shell::SHCONTF_FOLDERS | shell::SHCONTF_NONFOLDERS | shell::SHCONTF_INCLUDEHIDDEN,
                        children);
    ITEMIDLIST* found = nullptr;
    for (ITEMIDLIST* child : children) {
      if (!found) {
        List absolute(ConcatIDLists(folderList_, child));
        SetObject(CopyIDList(child));
        if (UpperWide(rtl::Utf8ToWide(shell::DisplayNameOf(absolute.get()))) == UpperWide(name) ||
            UpperWide(ObjectName()) == UpperWide(name))
          found = CopyIDList(child);
        SetObject(nullptr);
      }
      FreeIDList(child);
    }
    if (!found)
      throw EShellBrowserError(rtl::WideToAnsi(u"Error! Cannot find Object \"" + name + u"\" in Folder \"" + Folder() +
                                               u"\""));
    SetObject(found);
    return;
  }
  if (IsDriveRoot(name)) {
    SetFolder(name);
    SelectFolderInParent();
    return;
  }
  SetFolder(ExtractNativePath(name));
  SetObjectName(ExtractNativeName(name));
}

WideString TShellBrowser::Filter() const {
  if (masks_->GetCount() == 0) return u"*";
  WideString out;
  for (int32_t i = 0; i < masks_->GetCount(); ++i) {
    if (i) out += u';';
    out += masks_->Get(i);
  }
  return out;
}

void TShellBrowser::SetFilter(const WideString& value) {
  masks_->Clear();
  if (value.empty() || value == u"*") return;
  const WideString text = value + u";";
  size_t start = 0;
  for (size_t end; (end = text.find(u';', start)) != WideString::npos; start = end + 1)
    masks_->Add(text.substr(start, end - start));
}

TShShellFolder TShellBrowser::SpecialFolder() const { return SpecialFolderOf(folderList_); }

void TShellBrowser::SetSpecialFolder(TShShellFolder value) {
  List list(SpecialFolderIDList(value));
  if (!list) return;
  try {
    SetFolderIDList(list.get());
  } catch (const EShellBrowserError&) {
    // A special folder that cannot be opened leaves the navigator as it was.
  }
}

void TShellBrowser::SelectFolderInParent() {
  const int32_t n = IDListItemCount(folderList_);
  if (n == 0) {
    SetSpecialFolder(SF_DESKTOP);
    return;
  }
  List parent(TruncateIDList(folderList_, n - 1));
  List item(IDListItem(folderList_, n - 1));
  SetFolderIDList(parent.get());
  SetObject(item.release());
}

WideString TShellBrowser::GetDisplayName() {
  if (const ITEMIDLIST* absolute = AbsoluteObjectIDList()) {
    const std::string name = shell::DisplayNameOf(absolute);
    if (!name.empty()) return rtl::Utf8ToWide(name);
  }
  return ObjectName();
}

uint32_t TShellBrowser::GetObjectAttributes(uint32_t mask) {
  const ITEMIDLIST* absolute = AbsoluteObjectIDList();
  return absolute ? shell::AttributesOf(absolute) & mask : 0;
}

bool TShellBrowser::IsFolderObject() {
  const uint32_t a = GetObjectAttributes(shell::SFGAO_FOLDER | shell::SFGAO_FILESYSANCESTOR);
  if (!fileSystemOnly_) return a & shell::SFGAO_FOLDER;
  return (a & shell::SFGAO_FOLDER) && (a & shell::SFGAO_FILESYSANCESTOR);
}

bool TShellBrowser::MatchesFilter() {
  if (masks_->GetCount() == 0 || IsFolderObject()) return true;
  const WideString name = ObjectName();
  for (int32_t i = 0; i < masks_->GetCount(); ++i)
    if (WideMatchesMask(name, masks_->Get(i))) return true;
  return false;
}

bool TShellBrowser::NextObject() {
  if (!enumeration_) {
    auto children = std::make_unique<std::vector<ITEMIDLIST*>>();
    if (!shell::EnumChildren(folderList_, shell::SHCONTF_FOLDERS | shell::SHCONTF_NONFOLDERS | shell::SHCONTF_INCLUDEHIDDEN,
                             *children))
      return false;
    enumeration_ = std::move(children);
    enumerationAt_ = 0;
  }
  const bool inNetwork = SpecialFolder() == SF_NETWORK;
  while (enumerationAt_ < enumeration_->size()) {
    ITEMIDLIST* item = (*enumeration_)[enumerationAt_++];
    SetObject(item);
    if (fileSystemOnly_) {
      const uint32_t a = GetObjectAttributes(shell::SFGAO_FILESYSTEM | shell::SFGAO_FILESYSANCESTOR);
      const WideString name = ObjectName();
      if (!(a & (shell::SFGAO_FILESYSTEM | shell::SFGAO_FILESYSANCESTOR))) {
        const TShShellFolder special = SpecialFolderOf(AbsoluteObjectIDList());
        if (UpperWide(name.substr(0, 7)) != u"RECYCLE" && special != SF_DRIVES && special != SF_NETWORK && !inNetwork)
          continue;
      }
      if (inNetwork && name.empty()) continue;
    }
    // A mask the matcher cannot read is the caller's error: it reaches
    // the caller instead of letting an unchecked object through.
    if (MatchesFilter()) return true;
  }
  DropEnumerator();
  return false;
}

rtl::String TShellBrowser::Version() const { return "TShellBrowser V5.11"; }

}  // namespace controls
