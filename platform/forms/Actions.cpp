// Actions, their lists and the links that carry an action's state to the
// controls and menu items showing it.
#include "platform/forms/Actions.h"

#include <algorithm>
#include <cctype>

#include "platform/forms/Forms.h"
#include "platform/forms/Menus.h"
#include "platform/win/Input.h"

namespace forms {

using namespace win;

// ---- shortcuts ----

namespace {

struct KeyName {
  uint16_t key;
  const char* name;
};
// clang-format off
constexpr KeyName kKeyNames[] = {
    {VK_BACK, "BkSp"}, {VK_TAB, "Tab"}, {VK_ESCAPE, "Esc"}, {VK_RETURN, "Enter"}, {VK_SPACE, "Space"},
    {VK_PRIOR, "PgUp"}, {VK_NEXT, "PgDn"}, {VK_END, "End"}, {VK_HOME, "Home"}, {VK_LEFT, "Left"},
    {VK_UP, "Up"}, {VK_RIGHT, "Right"}, {VK_DOWN, "Down"}, {VK_INSERT, "Ins"}, {VK_DELETE, "Del"}};
// clang-format on

String KeyToText(uint16_t key) {
  for (const auto& k : kKeyNames)
    if (k.key == key) return k.name;
  if ((key >= '0' && key <= '9') || (key >= 'A' && key <= 'Z')) return String(1, static_cast<char>(key));
  if (key >= VK_F1 && key <= VK_F24) return "F" + std::to_string(key - VK_F1 + 1);
  return {};
}

bool StartsWithNoCase(const String& text, size_t pos, const char* prefix) {
  const size_t n = std::char_traits<char>::length(prefix);
  if (text.size() - pos < n) return false;
  for (size_t i = 0; i < n; ++i)
    if (std::tolower(static_cast<unsigned char>(text[pos + i])) != std::tolower(static_cast<unsigned char>(prefix[i])))
      return false;
  return true;
}

std::vector<TCustomActionList*>& AllLists() {
  static std::vector<TCustomActionList*> lists;
  return lists;
}

void IdleUpdateActions() {
  for (TCustomActionList* list : std::vector<TCustomActionList*>(AllLists())) {
    if (std::find(AllLists().begin(), AllLists().end(), list) == AllLists().end()) continue;
    auto* form = dynamic_cast<TCustomForm*>(list->Owner());
    if (form && !form->Visible()) continue;
    list->UpdateActions();
  }
}

// A control shows the action's caption, state and hint.
class TControlActionLink : public TActionLink {
public:
  explicit TControlActionLink(TControl* control) : TActionLink(control), control_(control) {}
  void SetCaption(const String& v) override { control_->SetCaption(v); }
  void SetEnabled(bool v) override { control_->SetEnabled(v); }
  void SetHint(const String& v) override { control_->SetHint(v); }
  void SetVisible(bool v) override { control_->SetVisible(v); }

private:
  TControl* control_;
};

}  // namespace

TShortCut ShortCut(uint16_t key, TShiftState shift) {
  if (key & 0xFF00) return 0;
  TShortCut s = key;
  if (shift.Contains(ssShift)) s |= scShift;
  if (shift.Contains(ssCtrl)) s |= scCtrl;
  if (shift.Contains(ssAlt)) s |= scAlt;
  return s;
}

void ShortCutToKey(TShortCut shortCut, uint16_t& key, TShiftState& shift) {
  key = shortCut & 0xFF;
  shift = {};
  if (shortCut & scShift) shift.Include(ssShift);
  if (shortCut & scCtrl) shift.Include(ssCtrl);
  if (shortCut & scAlt) shift.Include(ssAlt);
}

String ShortCutToText(TShortCut shortCut) {
  const String name = KeyToText(shortCut & 0xFF);
  if (name.empty()) return {};
  String text;
  if (shortCut & scShift) text += "Shift+";
  if (shortCut & scCtrl) text += "Ctrl+";
  if (shortCut & scAlt) text += "Alt+";
  return text + name;
}

TShortCut TextToShortCut(const String& text) {
  TShortCut mods = 0;
  size_t pos = 0;
  for (;;) {
    if (StartsWithNoCase(text, pos, "Shift+")) mods |= scShift, pos += 6;
    else if (StartsWithNoCase(text, pos, "Ctrl+")) mods |= scCtrl, pos += 5;
    else if (StartsWithNoCase(text, pos, "Alt+")) mods |= scAlt, pos += 4;
    else break;
  }
  if (pos >= text.size()) return 0;
  const String rest = text.substr(pos);
  for (int key = 8; key <= 255; ++key) {
    const String name = KeyToText(static_cast<uint16_t>(key));
    if (!name.empty() && name.size() == rest.size() && StartsWithNoCase(rest, 0, name.c_str()))
      return static_cast<TShortCut>(key | mods);
  }
  return 0;
}

TShortCut ShortCutFromMessage(const TMessage& m) {
  TShiftState shift = KeyDataToShiftState(m.LParam);
  if (GetKeyState(VK_SHIFT) < 0) shift.Include(ssShift);
  if (GetKeyState(VK_CONTROL) < 0) shift.Include(ssCtrl);
  return ShortCut(static_cast<uint16_t>(m.WParam), shift);
}

// ---- links ----

TActionLink::~TActionLink() { SetAction(nullptr); }

void TActionLink::SetAction(TBasicAction* action) {
  if (action_ == action) return;
  if (action_) std::erase(action_->links_, this);
  action_ = action;
  if (action_) {
    action_->links_.push_back(this);
    action_->ApplyTo(this);
  }
}

bool TActionLink::Execute(TComponent* target) {
  if (!action_) return false;
  action_->SetActionComponent(target);
  struct Reset {
    TBasicAction* a;
    ~Reset() { a->SetActionComponent(nullptr); }
  } reset{action_};
  return action_->Execute();
}

bool TActionLink::Update() { return action_ && action_->Update(); }

TBasicAction* TControl::Action() const { return actionLink_ ? actionLink_->Action() : nullptr; }

void TControl::SetAction(TBasicAction* action) {
  if (!action && !actionLink_) return;
  // The link outlives unlinking, so the click handler made for it keeps
  // working when another action is linked later.
  if (!actionLink_) {
    actionLink_ = std::make_shared<TControlActionLink>(this);
    // A control without its own click handler runs the action.
    if (!OnClick) {
      std::weak_ptr<TActionLink> weak = actionLink_;
      OnClick = [this, weak](TObject*) {
        if (auto link = weak.lock()) link->Execute(this);
      };
    }
  }
  actionLink_->SetAction(action);
}

// ---- actions ----

TBasicAction::TBasicAction(TComponent* owner) : TComponent(owner) {}

TBasicAction::~TBasicAction() {
  for (TActionLink* link : std::vector<TActionLink*>(links_)) link->action_ = nullptr;
}

bool TBasicAction::Execute() {
  if (!OnExecute) return false;
  OnExecute(this);
  return true;
}

bool TBasicAction::Update() {
  if (!OnUpdate) return false;
  OnUpdate(this);
  return true;
}

void TBasicAction::Change() {
  for (TActionLink* link : std::vector<TActionLink*>(links_)) ApplyTo(link);
}

TContainedAction::~TContainedAction() { SetActionList(nullptr); }

void TContainedAction::SetActionList(TCustomActionList* list) {
  if (actionList_ == list) return;
  if (actionList_) std::erase(actionList_->actions_, this);
  actionList_ = list;
  if (actionList_) actionList_->actions_.push_back(this);
}

int TContainedAction::Index() const {
  if (!actionList_) return -1;
  auto& v = actionList_->actions_;
  return static_cast<int>(std::find(v.begin(), v.end(), this) - v.begin());
}

bool TContainedAction::Execute() {
  if (actionList_ && actionList_->ExecuteAction(this)) return true;
  return TBasicAction::Execute();
}

bool TContainedAction::Update() {
  if (actionList_ && actionList_->UpdateAction(this)) return true;
  return TBasicAction::Update();
}

void TCustomAction::SetCaption(const String& v) {
  if (caption_ == v) return;
  caption_ = v;
  for (TActionLink* link : std::vector<TActionLink*>(links_)) link->SetCaption(v);
}

void TCustomAction::SetHint(const String& v) {
  if (hint_ == v) return;
  hint_ = v;
  for (TActionLink* link : std::vector<TActionLink*>(links_)) link->SetHint(v);
}

void TCustomAction::SetEnabled(bool v) {
  if (enabled_ == v) return;
  enabled_ = v;
  for (TActionLink* link : std::vector<TActionLink*>(links_)) link->SetEnabled(v);
}

void TCustomAction::SetVisible(bool v) {
  if (visible_ == v) return;
  visible_ = v;
  for (TActionLink* link : std::vector<TActionLink*>(links_)) link->SetVisible(v);
}

void TCustomAction::SetChecked(bool v) {
  if (checked_ == v) return;
  checked_ = v;
  if (v && groupIndex_ > 0 && ActionList()) {
    for (int i = 0; i < ActionList()->ActionCount(); ++i) {
      auto* other = dynamic_cast<TCustomAction*>(ActionList()->Actions(i));
      if (other && other != this && other->groupIndex_ == groupIndex_) other->SetChecked(false);
    }
  }
  for (TActionLink* link : std::vector<TActionLink*>(links_)) link->SetChecked(v);
}

void TCustomAction::SetShortCut(TShortCut v) {
  if (shortCut_ == v) return;
  shortCut_ = v;
  for (TActionLink* link : std::vector<TActionLink*>(links_)) link->SetShortCut(v);
}

void TCustomAction::SetImageIndex(int v) {
  if (imageIndex_ == v) return;
  imageIndex_ = v;
  for (TActionLink* link : std::vector<TActionLink*>(links_)) link->SetImageIndex(v);
}

bool TCustomAction::Execute() {
  Update();
  if (!enabled_) return false;
  if (autoCheck_) SetChecked(!checked_);
  return TContainedAction::Execute();
}

void TCustomAction::ApplyTo(TActionLink* link) {
  link->SetCaption(caption_);
  link->SetEnabled(enabled_);
  link->SetHint(hint_);
  link->SetVisible(visible_);
  link->SetChecked(checked_);
  link->SetShortCut(shortCut_);
  link->SetImageIndex(imageIndex_);
}

// ---- lists ----

TCustomActionList::TCustomActionList(TComponent* owner) : TComponent(owner) {
  static bool hooked = false;
  if (!hooked && Application) {
    hooked = true;
    Application->AddIdleHandler([](TObject*, bool&) { IdleUpdateActions(); });
  }
  AllLists().push_back(this);
}

TCustomActionList::~TCustomActionList() {
  std::erase(AllLists(), this);
  for (TContainedAction* a : std::vector<TContainedAction*>(actions_)) a->actionList_ = nullptr;
}

TContainedAction* TCustomActionList::Actions(int index) const {
  if (index < 0 || index >= ActionCount()) throw rtl::EListError("List index out of bounds (" + std::to_string(index) + ")");
  return actions_[static_cast<size_t>(index)];
}

bool TCustomActionList::IsShortCut(TShortCut shortCut) {
  if (shortCut == 0) return false;
  for (TContainedAction* a : std::vector<TContainedAction*>(actions_)) {
    auto* action = dynamic_cast<TCustomAction*>(a);
    if (!action || action->ShortCut() != shortCut) continue;
    // A disabled action leaves the key to the focused control.
    return action->Execute();
  }
  return false;
}

void TCustomActionList::UpdateActions() {
  for (TContainedAction* a : std::vector<TContainedAction*>(actions_)) a->Update();
}

bool TCustomActionList::ExecuteAction(TBasicAction* action) {
  bool handled = false;
  if (OnExecute) OnExecute(action, handled);
  return handled;
}

bool TCustomActionList::UpdateAction(TBasicAction* action) {
  bool handled = false;
  if (OnUpdate) OnUpdate(action, handled);
  return handled;
}

// ---- the form's shortcut keys ----

bool DispatchFormShortCut(TCustomForm* form, TMessage& m) {
  const TShortCut sc = ShortCutFromMessage(m);
  if (sc == 0) return false;
  for (TControl* c = form->FocusedControl(); c; c = c->Parent()) {
    if (c->PopupMenu() && c->PopupMenu()->IsShortCut(sc)) return true;
  }
  if (form->Menu() && form->Menu()->IsShortCut(sc)) return true;
  for (int i = 0; i < form->ComponentCount(); ++i) {
    if (auto* list = dynamic_cast<TCustomActionList*>(form->Components(i)); list && list->IsShortCut(sc)) return true;
  }
  return false;
}

}  // namespace forms
