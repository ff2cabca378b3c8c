// Menu items, menus, and the popup menu windows with their modal loop.
#include "platform/forms/Menus.h"

#include <algorithm>
#include <cctype>
#include <map>

#include "platform/forms/Forms.h"
#include "platform/win/Api.h"

namespace forms {

using namespace win;

namespace {

std::map<WORD, TMenuItem*>& Commands() {
  static std::map<WORD, TMenuItem*> commands;
  return commands;
}

WORD NextCommand() {
  static WORD next = 0;
  for (;;) {
    if (++next == 0) next = 1;
    if (!Commands().count(next)) return next;
  }
}

// What a menu item shows when it is linked to an action.
class TMenuActionLink : public TActionLink {
public:
  explicit TMenuActionLink(TMenuItem* item) : TActionLink(item), item_(item) {}
  void SetCaption(const String& v) override { item_->SetCaption(v); }
  void SetEnabled(bool v) override { item_->SetEnabled(v); }
  void SetHint(const String& v) override { item_->SetHint(v); }
  void SetVisible(bool v) override { item_->SetVisible(v); }
  void SetChecked(bool v) override { item_->SetChecked(v); }
  void SetShortCut(TShortCut v) override { item_->SetShortCut(v); }
  void SetImageIndex(int v) override { item_->SetImageIndex(v); }

private:
  TMenuItem* item_;
};

LRESULT PopupListProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) {
  if (msg == WM_COMMAND) {
    auto it = Commands().find(LOWORD(wParam));
    if (it != Commands().end()) {
      try {
        it->second->Click();
      } catch (...) {
        Application->HandleException(it->second);
      }
    }
    return 0;
  }
  return DefWindowProcA(hwnd, msg, wParam, lParam);
}

HWND PopupListWindow() {
  static HWND hwnd = nullptr;
  if (hwnd && IsWindow(hwnd)) return hwnd;
  static bool registered = false;
  if (!registered) {
    WNDCLASSA wc;
    wc.lpfnWndProc = PopupListProc;
    wc.hInstance = HInstance();
    wc.lpszClassName = "TPUtilWindow";
    RegisterClassA(&wc);
    registered = true;
  }
  hwnd = CreateWindowExA(WS_EX_TOOLWINDOW, "TPUtilWindow", "", WS_POPUP, 0, 0, 0, 0, nullptr, nullptr, HInstance(),
                         nullptr);
  return hwnd;
}

}  // namespace

String StripHotkey(const String& caption) {
  String out;
  for (size_t i = 0; i < caption.size(); ++i) {
    if (caption[i] == '&') {
      if (i + 1 < caption.size() && caption[i + 1] == '&') out += '&';
      else if (i + 1 >= caption.size()) out += '&';
      if (i + 1 < caption.size() && caption[i + 1] == '&') ++i;
      continue;
    }
    out += caption[i];
  }
  return out;
}

char GetHotkey(const String& caption) {
  for (size_t i = 0; i + 1 < caption.size(); ++i) {
    if (caption[i] != '&') continue;
    if (caption[i + 1] == '&') {
      ++i;
      continue;
    }
    return static_cast<char>(std::toupper(static_cast<unsigned char>(caption[i + 1])));
  }
  return 0;
}

// ---- items ----

TMenuItem::TMenuItem(TComponent* owner) : TComponent(owner), command_(NextCommand()) { Commands()[command_] = this; }

TMenuItem::~TMenuItem() {
  BeginDestruction();
  actionLink_.reset();
  while (!items_.empty()) delete items_.back();
  if (parent_) parent_->Remove(this);
  Commands().erase(command_);
}

void TMenuItem::SetCaption(const String& v) { caption_ = v; }

void TMenuItem::SetChecked(bool v) {
  if (checked_ == v) return;
  checked_ = v;
  if (v && radioItem_ && parent_) {
    for (TMenuItem* sibling : parent_->items_)
      if (sibling != this && sibling->radioItem_ && sibling->groupIndex_ == groupIndex_) sibling->checked_ = false;
  }
}

bool TMenuItem::IsAutoHotkeys() const {
  for (const TMenuItem* i = this; i; i = i->parent_) {
    if (i->autoHotkeys_ != maParent) return i->autoHotkeys_ == maAutomatic;
    if (!i->parent_ && i->menu_) return i->menu_->AutoHotkeys() == maAutomatic;
  }
  return true;
}

TMenuItem* TMenuItem::Items(int index) const {
  if (index < 0 || index >= Count()) throw rtl::EListError("Menu index out of range");
  return items_[static_cast<size_t>(index)];
}

void TMenuItem::SetMenuIndex(int index) {
  if (!parent_) return;
  TMenuItem* p = parent_;
  p->Remove(this);
  p->Insert(std::clamp(index, 0, p->Count()), this);
}

void TMenuItem::Add(TMenuItem* item) { Insert(Count(), item); }

void TMenuItem::Insert(int index, TMenuItem* item) {
  if (!item) return;
  if (item->parent_) throw rtl::Exception("Menu inserted twice");
  if (index < 0 || index > Count()) throw rtl::EListError("Menu index out of range");
  items_.insert(items_.begin() + index, item);
  item->parent_ = this;
}

void TMenuItem::Delete(int index) { delete Items(index); }

void TMenuItem::Clear() {
  while (!items_.empty()) delete items_.back();
}

void TMenuItem::Remove(TMenuItem* item) {
  auto it = std::find(items_.begin(), items_.end(), item);
  if (it == items_.end()) throw rtl::Exception("Sub-menu is not in menu");
  items_.erase(it);
  item->parent_ = nullptr;
}

int TMenuItem::IndexOf(const TMenuItem* item) const {
  auto it = std::find(items_.begin(), items_.end(), item);
  return it == items_.end() ? -1 : static_cast<int>(it - items_.begin());
}

TMenuItem* TMenuItem::Find(const String& caption) const {
  const String want = StripHotkey(caption);
  for (TMenuItem* item : items_) {
    const String have = StripHotkey(item->caption_);
    if (have.size() == want.size() &&
        std::equal(have.begin(), have.end(), want.begin(), [](char a, char b) {
          return std::tolower(static_cast<unsigned char>(a)) == std::tolower(static_cast<unsigned char>(b));
        }))
      return item;
  }
  return nullptr;
}

TMenu* TMenuItem::GetParentMenu() const {
  const TMenuItem* i = this;
  while (i->parent_) i = i->parent_;
  return i->menu_;
}

TBasicAction* TMenuItem::Action() const { return actionLink_ ? actionLink_->Action() : nullptr; }

void TMenuItem::SetAction(TBasicAction* action) {
  if (!action && !actionLink_) return;
  if (!actionLink_) actionLink_ = std::make_shared<TMenuActionLink>(this);
  actionLink_->SetAction(action);
}

void TMenuItem::Click() {
  if (!enabled_) return;
  if (autoCheck_ && !(actionLink_ && actionLink_->Action())) SetChecked(!checked_);
  if (OnClick) OnClick(this);
  else if (actionLink_) actionLink_->Execute(this);
}

TMenuItem* TMenuItem::FindShortCut(TShortCut sc) {
  for (TMenuItem* item : items_) {
    if (item->shortCut_ == sc) return item;
    if (TMenuItem* found = item->FindShortCut(sc)) return found;
  }
  return nullptr;
}

void TMenuItem::RethinkHotkeys() {
  if (!IsAutoHotkeys()) return;
  std::vector<bool> used(256, false);
  for (TMenuItem* item : items_)
    if (char c = GetHotkey(item->caption_)) used[static_cast<unsigned char>(c)] = true;
  for (TMenuItem* item : items_) {
    if (!item->visible_ || item->IsLine() || GetHotkey(item->caption_)) continue;
    String& c = item->caption_;
    for (size_t i = 0; i < c.size(); ++i) {
      const unsigned char ch = static_cast<unsigned char>(std::toupper(static_cast<unsigned char>(c[i])));
      if (c[i] == '&' || !std::isalnum(ch) || used[ch]) continue;
      used[ch] = true;
      c.insert(i, 1, '&');
      break;
    }
  }
}

// ---- menus ----

TMenu::TMenu(TComponent* owner) : TComponent(owner), items_(new TMenuItem(nullptr)) { items_->menu_ = this; }

TMenu::~TMenu() {
  BeginDestruction();
  delete items_;
}

HWND TMenu::WindowHandle() const { return PopupListWindow(); }

bool TMenu::IsShortCut(TShortCut sc) {
  if (sc == 0) return false;
  TMenuItem* item = items_->FindShortCut(sc);
  if (!item) return false;
  // Every level up to the item must be enabled for the key to reach it.
  for (TMenuItem* i = item; i && i != items_; i = i->Parent())
    if (!i->Enabled()) return false;
  item->Click();
  return true;
}

TMenuItem* TMenu::FindItem(WORD command) const {
  auto it = Commands().find(command);
  if (it == Commands().end() || it->second->GetParentMenu() != this) return nullptr;
  return it->second;
}

TPopupMenu::TPopupMenu(TComponent* owner) : TMenu(owner) {
  static bool installed = false;
  if (!installed) {
    installed = true;
    SetPopupMenuHandler([](TPopupMenu* menu, TControl* control, TPoint screenPos) {
      if (!menu->AutoPopup()) return false;
      menu->SetPopupComponent(control);
      menu->Popup(screenPos.x, screenPos.y);
      return true;
    });
  }
}
TPopupMenu::~TPopupMenu() = default;

}  // namespace forms
