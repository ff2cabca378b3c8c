#include "platform/shell/BrowseForFolder.h"

#include <algorithm>
#include <memory>
#include <mutex>
#include <vector>

#include "platform/forms/Forms.h"
#include "platform/forms/StdCtrls.h"
#include "platform/forms/TreeView.h"
#include "platform/rtl/Text.h"
#include "platform/shell/ShellNamespace.h"
#include "platform/win/MessageIds.h"
#include "platform/win/Messages.h"
#include "platform/win/Window.h"

namespace shell {

using namespace forms;

namespace {

struct ListFree {
  void operator()(ITEMIDLIST* list) const { ShellFree(list); }
};
using List = std::unique_ptr<ITEMIDLIST, ListFree>;

List Concat(const ITEMIDLIST* folder, const ITEMIDLIST* item) {
  std::vector<ShellItem> items = DecodeIDList(folder);
  for (ShellItem& i : DecodeIDList(item)) items.push_back(std::move(i));
  return List(EncodeIDList(items));
}

List Truncated(const ITEMIDLIST* list, size_t count) {
  std::vector<ShellItem> items = DecodeIDList(list);
  if (items.size() > count) items.resize(count);
  return List(EncodeIDList(items));
}

// The browser's window. Each tree node carries the absolute list of its
// item in `lists_`; a folder's children are read when it first opens.
class TBrowseForm : public TForm {
public:
  TBrowseForm(const ITEMIDLIST* root, const rtl::WideString& title, win::UINT flags) : TForm(Application), flags_(flags) {
    SetBorderStyle(bsDialog);
    SetColor(clBtnFace);
    SetCaption("Browse for Folder");
    SetClientWidth(320);
    SetClientHeight(340);
    titleLabel_ = Make<TLabel>("Title", 12, 10, 296, 30);
    titleLabel_->SetWordWrap(true);
    titleLabel_->SetCaption(rtl::WideToAnsi(title));
    tree_ = Make<TTreeView>("Folders", 12, 44, 296, 248);
    tree_->SetHideSelection(false);
    ok_ = Make<TButton>("OK", 152, 304, 75, 25);
    ok_->SetCaption("OK");
    ok_->SetDefault(true);
    ok_->SetModalResult(mrOk);
    auto* cancel = Make<TButton>("Cancel", 233, 304, 75, 25);
    cancel->SetCaption("Cancel");
    cancel->SetCancel(true);
    cancel->SetModalResult(mrCancel);
    HandleNeeded();
    win::SetWindowLongPtr(ok_->Handle(), win::GWL_ID, kBrowseOkId);
    win::SetWindowLongPtr(cancel->Handle(), win::GWL_ID, kBrowseCancelId);
    win::SetWindowLongPtr(tree_->Handle(), win::GWL_ID, kBrowseTreeId);

    tree_->OnExpanding = [this](TObject*, TTreeNode* node, bool&) { Fill(node); };
    tree_->OnChange = [this](TObject*, TTreeNode* node) { SelectionChanged(node); };
    TTreeNode* top = AddNode(nullptr, List(root ? EncodeIDList(DecodeIDList(root)) : EncodeIDList({})));
    Fill(top);
    top->Expand(false);
    // Centred until the caller places it.
    const int w = Width(), h = Height();
    SetBounds(Screen->Width() / 2 - w / 2, Screen->Height() / 2 - h / 2, w, h);
  }

  win::BFFCALLBACK callback = nullptr;
  win::LPARAM callbackData = 0;

  // The list of the chosen node (a copy), null when none is selected.
  ITEMIDLIST* Chosen() const {
    TTreeNode* node = tree_->Selected();
    return node ? EncodeIDList(DecodeIDList(ListOf(node))) : nullptr;
  }
  std::string ChosenName() const {
    TTreeNode* node = tree_->Selected();
    return node ? DisplayNameOf(ListOf(node)) : std::string();
  }

protected:
  void WndProc(TMessage& m) override {
    switch (m.Msg) {
      case win::BFFM_ENABLEOK:
        ok_->SetEnabled(m.LParam != 0);
        return;
      case win::BFFM_SETSELECTIONA:
      case win::BFFM_SETSELECTIONW:
        m.Result = SetSelection(m) ? 1 : 0;
        return;
      default: TForm::WndProc(m);
    }
  }

private:
  template <class T>
  T* Make(const char* name, int x, int y, int w, int h) {
    auto* c = new T(this);
    c->SetName(name);
    c->SetParent(this);
    c->SetBounds(x, y, w, h);
    return c;
  }

  static const ITEMIDLIST* ListOf(const TTreeNode* node) { return static_cast<const ITEMIDLIST*>(node->Data()); }

  TTreeNode* AddNode(TTreeNode* parent, List list) {
    TTreeNode* node = tree_->Items()->AddChildObject(parent, DisplayNameOf(list.get()), list.get());
    node->SetHasChildren((AttributesOf(list.get()) & SFGAO_FOLDER) != 0);
    lists_.push_back(std::move(list));
    return node;
  }

  void Fill(TTreeNode* node) {
    if (node->Count() > 0 || std::find(filled_.begin(), filled_.end(), node) != filled_.end()) return;
    filled_.push_back(node);
    std::vector<ITEMIDLIST*> children;
    const uint32_t what = SHCONTF_FOLDERS | ((flags_ & BIF_BROWSEINCLUDEFILES) ? SHCONTF_NONFOLDERS : 0);
    EnumChildren(ListOf(node), what, children);
    for (ITEMIDLIST* child : children) {
      List owned(child);
      AddNode(node, Concat(ListOf(node), child));
    }
    if (children.empty()) node->SetHasChildren(false);
  }

  // Opens the tree down to the list's item; false when it lies outside
  // the root.
  bool SelectList(const ITEMIDLIST* target) {
    TTreeNode* node = tree_->Items()->GetFirstNode();
    if (!node) return false;
    const size_t depth = DecodeIDList(ListOf(node)).size();
    const size_t wanted = DecodeIDList(target).size();
    if (wanted < depth || CompareIDLists(Truncated(target, depth).get(), ListOf(node)) != 0) return false;
    for (size_t d = depth + 1; d <= wanted; ++d) {
      Fill(node);
      const List prefix = Truncated(target, d);
      TTreeNode* next = nullptr;
      for (TTreeNode* c = node->GetFirstChild(); c; c = c->getNextSibling())
        if (CompareIDLists(ListOf(c), prefix.get()) == 0) next = c;
      if (!next) {
        // A name the tree does not list (a hidden folder): add it.
        List item(EncodeIDList({DecodeIDList(target)[d - 1]}));
        next = AddNode(node, Concat(ListOf(node), item.get()));
      }
      node->Expand(false);
      node = next;
    }
    tree_->SetSelected(node);
    node->MakeVisible();
    return true;
  }

  bool SetSelection(const TMessage& m) {
    if (!m.WParam) return m.LParam && SelectList(reinterpret_cast<const ITEMIDLIST*>(m.LParam));
    if (!m.LParam) return false;
    const std::string path = m.Msg == win::BFFM_SETSELECTIONW
                                 ? rtl::WideToUtf8(reinterpret_cast<const char16_t*>(m.LParam))
                                 : rtl::AnsiToUtf8(reinterpret_cast<const char*>(m.LParam));
    uint32_t error = 0;
    const List list(ParsePath(path, error));
    return list && SelectList(list.get());
  }

  void SelectionChanged(TTreeNode* node) {
    if (!node) return;
    if (flags_ & BIF_RETURNONLYFSDIRS) ok_->SetEnabled(!PathOfIDList(ListOf(node)).empty());
    if (callback)
      callback(Handle(), win::BFFM_SELCHANGED, reinterpret_cast<win::LPARAM>(ListOf(node)), callbackData);
  }

  win::UINT flags_;
  TLabel* titleLabel_;
  TTreeView* tree_;
  TButton* ok_;
  std::vector<List> lists_;
  std::vector<TTreeNode*> filled_;
};

// Not carried by this shell: these report failure.
int SHFileOperationW(void*) {
  win::SetLastError(120);  // ERROR_CALL_NOT_IMPLEMENTED
  return 120;
}
uintptr_t SHGetFileInfoW(const win::WCHAR*, win::DWORD, void*, win::UINT, win::UINT) {
  win::SetLastError(120);
  return 0;
}

template <class Info, class Text>
win::ITEMIDLIST* Browse(Info* info, const rtl::WideString& title, Text* displayName,
                        void (*putName)(Text*, const std::string&)) {
  if (!info) return nullptr;
  std::unique_ptr<TBrowseForm> form(new TBrowseForm(info->pidlRoot, title, info->ulFlags));
  form->callback = info->lpfn;
  form->callbackData = info->lParam;
  if (info->hwndOwner) win::SetWindowLongPtr(form->Handle(), win::GWLP_HWNDPARENT, reinterpret_cast<win::LONG_PTR>(info->hwndOwner));
  if (info->lpfn) info->lpfn(form->Handle(), win::BFFM_INITIALIZED, 0, info->lParam);
  const bool chosen = form->ShowModal() == mrOk;
  ITEMIDLIST* result = chosen ? form->Chosen() : nullptr;
  if (displayName) putName(displayName, result ? form->ChosenName() : std::string());
  return result;
}

void PutWide(win::WCHAR* buffer, const std::string& name) {
  const rtl::WideString w = rtl::Utf8ToWide(name);
  const size_t n = std::min<size_t>(w.size(), win::MAX_PATH - 1);
  std::copy_n(w.begin(), n, buffer);
  buffer[n] = 0;
}

void PutAnsi(char* buffer, const std::string& name) {
  const rtl::String a = rtl::Utf8ToAnsi(name);
  const size_t n = std::min<size_t>(a.size(), win::MAX_PATH - 1);
  std::copy_n(a.begin(), n, buffer);
  buffer[n] = 0;
}

}  // namespace

win::ITEMIDLIST* SHBrowseForFolderW(win::BROWSEINFOW* info) {
  return Browse(info, info && info->lpszTitle ? rtl::WideString(info->lpszTitle) : rtl::WideString(),
                info ? info->pszDisplayName : nullptr, &PutWide);
}

win::ITEMIDLIST* SHBrowseForFolderA(win::BROWSEINFOA* info) {
  return Browse(info, info && info->lpszTitle ? rtl::AnsiToWide(info->lpszTitle) : rtl::WideString(),
                info ? info->pszDisplayName : nullptr, &PutAnsi);
}

win::BOOL SHGetPathFromIDListW(const win::ITEMIDLIST* list, win::WCHAR* path) {
  if (!path) return win::FALSE;
  path[0] = 0;
  const std::string p = PathOfIDList(list);
  if (p.empty()) return win::FALSE;
  const rtl::WideString w = rtl::Utf8ToWide(p);
  if (w.size() >= static_cast<size_t>(win::MAX_PATH)) return win::FALSE;
  std::copy(w.begin(), w.end(), path);
  path[w.size()] = 0;
  return win::TRUE;
}

void InstallShellModule() {
  static std::once_flag once;
  std::call_once(once, [] {
    auto proc = [](auto* p) { return reinterpret_cast<win::FARPROC>(p); };
    win::RegisterModule("shell32.dll", {{"SHBrowseForFolderW", proc(&SHBrowseForFolderW)},
                                        {"SHBrowseForFolderA", proc(&SHBrowseForFolderA)},
                                        {"SHGetPathFromIDListW", proc(&SHGetPathFromIDListW)},
                                        {"SHFileOperationW", proc(&SHFileOperationW)},
                                        {"SHGetFileInfoW", proc(&SHGetFileInfoW)}});
  });
}

}  // namespace shell
