#pragma once
// Actions: named commands with a caption, hint, shortcut and state that
// controls and menu items link to. A linked client shows what the action
// says (Caption, Enabled, Hint, Visible, Checked) and runs the action when
// clicked; changing the client by hand leaves the action alone.
#include <cstdint>
#include <functional>
#include <vector>

#include "platform/forms/Components.h"
#include "platform/forms/Controls.h"
#include "platform/forms/ImgList.h"

namespace forms {

// A key with its modifiers: the virtual key in the low byte, scShift,
// scCtrl and scAlt above it.
using TShortCut = uint16_t;
inline constexpr TShortCut scShift = 0x2000, scCtrl = 0x4000, scAlt = 0x8000, scNone = 0;

TShortCut ShortCut(uint16_t key, TShiftState shift);
void ShortCutToKey(TShortCut shortCut, uint16_t& key, TShiftState& shift);
// "Ctrl+S", "Shift+F5", "Del": modifiers in the order Shift, Ctrl, Alt.
String ShortCutToText(TShortCut shortCut);
// The reverse; names are matched ignoring case; 0 when not understood.
TShortCut TextToShortCut(const String& text);
// The shortcut a WM_KEYDOWN/WM_SYSKEYDOWN message stands for, with the
// modifier keys held now.
TShortCut ShortCutFromMessage(const TMessage& m);

class TBasicAction;
class TCustomActionList;

// What ties one client to one action. The action calls the setters when its
// properties change; each client kind overrides the ones it can show.
class TActionLink {
public:
  explicit TActionLink(TObject* client) : client_(client) {}
  virtual ~TActionLink();
  TActionLink(const TActionLink&) = delete;
  TActionLink& operator=(const TActionLink&) = delete;

  TBasicAction* Action() const { return action_; }
  void SetAction(TBasicAction* action);
  TObject* Client() const { return client_; }
  bool Execute(TComponent* target = nullptr);
  bool Update();

  virtual void SetCaption(const String&) {}
  virtual void SetEnabled(bool) {}
  virtual void SetHint(const String&) {}
  virtual void SetVisible(bool) {}
  virtual void SetChecked(bool) {}
  virtual void SetShortCut(TShortCut) {}
  virtual void SetImageIndex(int) {}

private:
  friend class TBasicAction;
  TObject* client_;
  TBasicAction* action_ = nullptr;
};

class TBasicAction : public TComponent {
public:
  explicit TBasicAction(TComponent* owner);
  ~TBasicAction() override;

  // Runs OnExecute; false when there is none.
  virtual bool Execute();
  // Runs OnUpdate; false when there is none.
  virtual bool Update();

  TNotifyEvent OnExecute;
  TNotifyEvent OnUpdate;

  // The component that caused the current execution (a control, a menu
  // item), null when run from code.
  TComponent* ActionComponent() const { return actionComponent_; }
  void SetActionComponent(TComponent* c) { actionComponent_ = c; }

protected:
  friend class TActionLink;
  // Pushes the action's state to every linked client.
  void Change();
  virtual void ApplyTo(TActionLink* link) { (void)link; }
  std::vector<TActionLink*> links_;

private:
  TComponent* actionComponent_ = nullptr;
};

class TContainedAction : public TBasicAction {
public:
  explicit TContainedAction(TComponent* owner) : TBasicAction(owner) {}
  ~TContainedAction() override;
  TCustomActionList* ActionList() const { return actionList_; }
  void SetActionList(TCustomActionList* list);
  int Index() const;
  const String& Category() const { return category_; }
  void SetCategory(const String& c) { category_ = c; }

  bool Execute() override;
  bool Update() override;

private:
  friend class TCustomActionList;
  TCustomActionList* actionList_ = nullptr;
  String category_;
};

class TCustomAction : public TContainedAction {
public:
  explicit TCustomAction(TComponent* owner) : TContainedAction(owner) {}

  const String& Caption() const { return caption_; }
  void SetCaption(const String& v);
  const String& Hint() const { return hint_; }
  void SetHint(const String& v);
  bool Enabled() const { return enabled_; }
  void SetEnabled(bool v);
  bool Visible() const { return visible_; }
  void SetVisible(bool v);
  // Checking an action of a group (GroupIndex > 0) unchecks the others of
  // its list in that group.
  bool Checked() const { return checked_; }
  void SetChecked(bool v);
  int GroupIndex() const { return groupIndex_; }
  void SetGroupIndex(int v) { groupIndex_ = v; }
  bool AutoCheck() const { return autoCheck_; }
  void SetAutoCheck(bool v) { autoCheck_ = v; }
  TShortCut ShortCut() const { return shortCut_; }
  void SetShortCut(TShortCut v);
  int ImageIndex() const { return imageIndex_; }
  void SetImageIndex(int v);
  int HelpContext() const { return helpContext_; }
  void SetHelpContext(int v) { helpContext_ = v; }

  // Updates first; a disabled action does not run. AutoCheck flips Checked
  // before OnExecute.
  bool Execute() override;

protected:
  void ApplyTo(TActionLink* link) override;

private:
  String caption_;
  String hint_;
  bool enabled_ = true;
  bool visible_ = true;
  bool checked_ = false;
  int groupIndex_ = 0;
  bool autoCheck_ = false;
  TShortCut shortCut_ = 0;
  int imageIndex_ = -1;
  int helpContext_ = 0;
};

class TAction : public TCustomAction {
public:
  explicit TAction(TComponent* owner) : TCustomAction(owner) {}
};

using TActionEvent = std::function<void(TBasicAction* Action, bool& Handled)>;

class TCustomActionList : public TComponent {
public:
  explicit TCustomActionList(TComponent* owner);
  ~TCustomActionList() override;

  int ActionCount() const { return static_cast<int>(actions_.size()); }
  TContainedAction* Actions(int index) const;
  // Runs the action of that shortcut (enabled, visible or not); true when
  // one was found and ran.
  bool IsShortCut(TShortCut shortCut);
  // Lets every action update itself (OnUpdate), as idle time does.
  void UpdateActions();
  TImageList* Images() const { return images_; }
  void SetImages(TImageList* images) { images_ = images; }

  // Seen before an action's own OnExecute / OnUpdate; Handled skips it.
  TActionEvent OnExecute;
  TActionEvent OnUpdate;

  bool ExecuteAction(TBasicAction* action);
  bool UpdateAction(TBasicAction* action);

private:
  friend class TContainedAction;
  std::vector<TContainedAction*> actions_;
  TImageList* images_ = nullptr;
  int idleId_ = 0;
};

class TActionList : public TCustomActionList {
public:
  explicit TActionList(TComponent* owner) : TCustomActionList(owner) {}
};

// The shortcut keys a form passes on: popup menus of the focused control
// and its parents, the form's main menu, then the action lists the form
// owns. True when one of them took the key.
bool DispatchFormShortCut(TCustomForm* form, TMessage& m);

}  // namespace forms
