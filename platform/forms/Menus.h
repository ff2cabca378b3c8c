#pragma once
// Menus: trees of menu items, shown as popup windows drawn in the classic
// look and run by a modal loop with mouse and keyboard navigation. The
// chosen item's command is posted to the menus' hidden window, so OnClick
// runs once Popup has returned and the program's loop goes on.
#include <cstdint>
#include <functional>
#include <memory>
#include <vector>

#include "platform/forms/Actions.h"
#include "platform/forms/Components.h"
#include "platform/forms/Controls.h"
#include "platform/forms/ImgList.h"

namespace forms {

class TMenu;

enum TMenuItemAutoFlag { maAutomatic, maManual, maParent };
using TMenuAutoFlag = TMenuItemAutoFlag;
enum TPopupAlignment { paLeft, paRight, paCenter };
enum TOwnerDrawStateItem {
  odSelected,
  odGrayed,
  odDisabled,
  odChecked,
  odFocused,
  odDefault,
  odHotLight,
  odInactive,
  odNoAccel,
  odNoFocusRect,
  odComboBoxEdit  // the face of a drop-down list, not a row of its list
};
using TOwnerDrawState = SetOf<TOwnerDrawStateItem>;

using TMenuMeasureItemEvent = std::function<void(TObject* Sender, TCanvas* ACanvas, int& Width, int& Height)>;
using TMenuDrawItemEvent = std::function<void(TObject* Sender, TCanvas* ACanvas, TRect ARect, bool Selected)>;
using TAdvancedMenuDrawItemEvent =
    std::function<void(TObject* Sender, TCanvas* ACanvas, TRect ARect, TOwnerDrawState State)>;

inline constexpr const char* cLineCaption = "-";

class TMenuItem : public TComponent {
public:
  explicit TMenuItem(TComponent* owner);
  ~TMenuItem() override;

  const String& Caption() const { return caption_; }
  void SetCaption(const String& v);
  // A caption of "-" makes the item a separator line.
  bool IsLine() const { return caption_ == cLineCaption; }
  bool Checked() const { return checked_; }
  // Checking a radio item unchecks the radio items of its group among
  // its siblings.
  void SetChecked(bool v);
  bool RadioItem() const { return radioItem_; }
  void SetRadioItem(bool v) { radioItem_ = v; }
  uint8_t GroupIndex() const { return groupIndex_; }
  void SetGroupIndex(uint8_t v) { groupIndex_ = v; }
  bool Enabled() const { return enabled_; }
  void SetEnabled(bool v) { enabled_ = v; }
  bool Visible() const { return visible_; }
  void SetVisible(bool v) { visible_ = v; }
  // Shown in bold: the item a double click on the menu's owner stands for.
  bool Default() const { return default_; }
  void SetDefault(bool v) { default_ = v; }
  TShortCut ShortCut() const { return shortCut_; }
  void SetShortCut(TShortCut v) { shortCut_ = v; }
  const String& Hint() const { return hint_; }
  void SetHint(const String& v) { hint_ = v; }
  int ImageIndex() const { return imageIndex_; }
  void SetImageIndex(int v) { imageIndex_ = v; }
  TMenuItemAutoFlag AutoHotkeys() const { return autoHotkeys_; }
  void SetAutoHotkeys(TMenuItemAutoFlag v) { autoHotkeys_ = v; }
  // Whether "&" accelerators are added to captions without one, looking
  // through maParent up to the menu.
  bool IsAutoHotkeys() const;
  bool AutoCheck() const { return autoCheck_; }
  void SetAutoCheck(bool v) { autoCheck_ = v; }
  // The number that identifies the item in WM_COMMAND.
  win::WORD Command() const { return command_; }

  int Count() const { return static_cast<int>(items_.size()); }
  TMenuItem* Items(int index) const;
  TMenuItem* operator[](int index) const { return Items(index); }
  TMenuItem* Parent() const { return parent_; }
  int MenuIndex() const { return parent_ ? parent_->IndexOf(this) : -1; }
  void SetMenuIndex(int index);
  // Adds at the end; the item leaves its old parent first.
  void Add(TMenuItem* item);
  void Insert(int index, TMenuItem* item);
  // Frees the item at index.
  void Delete(int index);
  // Frees every sub-item.
  void Clear();
  // Takes the item out without freeing it.
  void Remove(TMenuItem* item);
  int IndexOf(const TMenuItem* item) const;
  // The sub-item of that caption, ignoring "&" and case; null when none.
  TMenuItem* Find(const String& caption) const;
  TMenu* GetParentMenu() const;

  TBasicAction* Action() const;
  void SetAction(TBasicAction* action);

  // AutoCheck flips Checked; then OnClick, or the linked action.
  virtual void Click();
  // The sub-item (at any depth) of that shortcut, enabled or not.
  TMenuItem* FindShortCut(TShortCut sc);

  TNotifyEvent OnClick;
  TMenuMeasureItemEvent OnMeasureItem;
  TMenuDrawItemEvent OnDrawItem;
  TAdvancedMenuDrawItemEvent OnAdvancedDrawItem;

  // Inserts "&" before a letter no visible sibling uses yet, for the
  // sub-items without one (when automatic hotkeys are on).
  void RethinkHotkeys();

private:
  friend class TMenu;
  String caption_;
  bool checked_ = false;
  bool radioItem_ = false;
  uint8_t groupIndex_ = 0;
  bool enabled_ = true;
  bool visible_ = true;
  bool default_ = false;
  TShortCut shortCut_ = 0;
  String hint_;
  int imageIndex_ = -1;
  TMenuItemAutoFlag autoHotkeys_ = maParent;
  bool autoCheck_ = false;
  win::WORD command_ = 0;
  std::vector<TMenuItem*> items_;
  TMenuItem* parent_ = nullptr;
  TMenu* menu_ = nullptr;  // set on the root item only
  std::shared_ptr<TActionLink> actionLink_;
};

class TMenu : public TComponent {
public:
  explicit TMenu(TComponent* owner);
  ~TMenu() override;

  TMenuItem* Items() const { return items_; }
  bool OwnerDraw() const { return ownerDraw_; }
  void SetOwnerDraw(bool v) { ownerDraw_ = v; }
  TCustomImageList* Images() const { return images_; }
  void SetImages(TCustomImageList* v) { images_ = v; }
  TMenuAutoFlag AutoHotkeys() const { return autoHotkeys_; }
  void SetAutoHotkeys(TMenuAutoFlag v) { autoHotkeys_ = v; }
  // The window menus post their commands to.
  win::HWND WindowHandle() const;
  // Runs the enabled item of that shortcut (its OnClick); true when one
  // was found.
  bool IsShortCut(TShortCut sc);
  TMenuItem* FindItem(win::WORD command) const;

private:
  TMenuItem* items_;
  bool ownerDraw_ = false;
  TCustomImageList* images_ = nullptr;
  TMenuAutoFlag autoHotkeys_ = maAutomatic;
};

class TMainMenu : public TMenu {
public:
  explicit TMainMenu(TComponent* owner) : TMenu(owner) {}
};

class TPopupMenu : public TMenu {
public:
  explicit TPopupMenu(TComponent* owner);
  ~TPopupMenu() override;

  // OnPopup, then the menu at that screen point, kept on the work area;
  // returns when it closes (the chosen item's OnClick runs after).
  virtual void Popup(int x, int y);
  // The control whose context menu asked for this popup, until the next.
  TComponent* PopupComponent() const { return popupComponent_; }
  void SetPopupComponent(TComponent* c) { popupComponent_ = c; }
  bool AutoPopup() const { return autoPopup_; }
  void SetAutoPopup(bool v) { autoPopup_ = v; }
  TPopupAlignment Alignment() const { return alignment_; }
  void SetAlignment(TPopupAlignment v) { alignment_ = v; }

  TNotifyEvent OnPopup;

private:
  TComponent* popupComponent_ = nullptr;
  bool autoPopup_ = true;
  TPopupAlignment alignment_ = paLeft;
};

// The popup window of a menu open now (the deepest level), or null.
win::HWND OpenMenuWindow();
// The item rectangles of the deepest open level, in that window's client
// coordinates (separators and all visible items, in order).
std::vector<TRect> OpenMenuItemRects();
// The visible items of the deepest open level and the selected one (-1).
std::vector<TMenuItem*> OpenMenuItems();
int OpenMenuSelection();

// The text of a caption without its "&" markers ("&&" is one "&").
String StripHotkey(const String& caption);
// The accelerator letter of a caption ("&x"), 0 when none.
char GetHotkey(const String& caption);

}  // namespace forms
