#pragma once
// The standard controls. Buttons, check boxes, radio buttons, group boxes
// and edits are real windows of the system classes "BUTTON" and "EDIT"
// (registered here, since the window layer has no controls), which the
// wrappers subclass: their state changes travel as BM_/EM_ messages that
// anyone may intercept, and their notifications come back reflected
// (CN_COMMAND). Labels are graphic controls painted by their parent.
#include <memory>

#include "platform/forms/Controls.h"
#include "platform/forms/Forms.h"
#include "platform/forms/Menus.h"
#include "platform/rtl/StringList.h"

namespace forms {

// Registers "BUTTON" and "EDIT" once per process; every wrapper calls it
// before making its window, and code that makes such windows directly may.
void RegisterStdControlClasses();

// Whether `ch` is the accelerator ("&x") of `text`, case-insensitively.
bool IsAccel(win::WPARAM ch, const String& text);

enum TAlignment { taLeftJustify, taRightJustify, taCenter };
enum TTextLayout { tlTop, tlCenter, tlBottom };
using TBorderStyle = TFormBorderStyle;

// ---- buttons ----

class TButtonControl : public TWinControl {
public:
  explicit TButtonControl(TComponent* owner);

protected:
  void CreateWnd() override;
  void Dispatch(TMessage& m) override;
  // Clicks made by code (Checked := ...) are held off while true.
  bool ClicksDisabled() const { return clicksDisabled_; }
  void SetClicksDisabled(bool v) { clicksDisabled_ = v; }
  void SendFont();

private:
  bool clicksDisabled_ = false;
};

class TButton : public TButtonControl {
public:
  explicit TButton(TComponent* owner);
  bool Default() const { return default_; }
  void SetDefault(bool v);
  bool Cancel() const { return cancel_; }
  void SetCancel(bool v) { cancel_ = v; }
  TModalResult ModalResult() const { return modalResult_; }
  void SetModalResult(TModalResult r) { modalResult_ = r; }
  // Pushes the button as a user would (the form takes ModalResult).
  void Click() override;

protected:
  void CreateParams(TCreateParams& p) override;
  void Dispatch(TMessage& m) override;

private:
  void SetButtonStyle(bool makeDefault);
  bool default_ = false;
  bool cancel_ = false;
  // The button Enter presses: the focused button, else the default one.
  bool active_ = false;
  TModalResult modalResult_ = mrNone;
};

enum TCheckBoxState { cbUnchecked, cbChecked, cbGrayed };

class TCustomCheckBox : public TButtonControl {
public:
  explicit TCustomCheckBox(TComponent* owner);
  TCheckBoxState State() const { return state_; }
  // Fires OnClick when it changes, by code too.
  void SetState(TCheckBoxState s);
  bool Checked() const { return state_ == cbChecked; }
  void SetChecked(bool v) { SetState(v ? cbChecked : cbUnchecked); }
  bool AllowGrayed() const { return allowGrayed_; }
  void SetAllowGrayed(bool v) { allowGrayed_ = v; }
  TAlignment Alignment() const { return alignment_; }
  void SetAlignment(TAlignment a);

protected:
  void CreateParams(TCreateParams& p) override;
  void CreateWnd() override;
  void Dispatch(TMessage& m) override;
  virtual void Toggle();

private:
  TCheckBoxState state_ = cbUnchecked;
  bool allowGrayed_ = false;
  TAlignment alignment_ = taRightJustify;
};
class TCheckBox : public TCustomCheckBox {
public:
  using TCustomCheckBox::TCustomCheckBox;
};

class TRadioButton : public TButtonControl {
public:
  explicit TRadioButton(TComponent* owner);
  bool Checked() const { return checked_; }
  // Checking unchecks the radio buttons beside it (same parent) and fires
  // OnClick, by code too; unchecking fires nothing.
  void SetChecked(bool v);
  TAlignment Alignment() const { return alignment_; }
  void SetAlignment(TAlignment a);

protected:
  void CreateParams(TCreateParams& p) override;
  void CreateWnd() override;
  void Dispatch(TMessage& m) override;

private:
  bool checked_ = false;
  TAlignment alignment_ = taRightJustify;
};

// A frame with a caption around other controls.
class TGroupBox : public TCustomControl {
public:
  explicit TGroupBox(TComponent* owner);

protected:
  void Paint() override;
  void AdjustClientRect(TRect& rect) const override;
  void Dispatch(TMessage& m) override;
};

// ---- labels ----

class TCustomLabel : public TGraphicControl {
public:
  explicit TCustomLabel(TComponent* owner);
  bool AutoSize() const { return autoSize_; }
  void SetAutoSize(bool v);
  bool WordWrap() const { return wordWrap_; }
  void SetWordWrap(bool v);
  TAlignment Alignment() const { return alignment_; }
  void SetAlignment(TAlignment a);
  TTextLayout Layout() const { return layout_; }
  void SetLayout(TTextLayout l);
  bool Transparent() const { return !controlStyle_.Contains(csOpaque); }
  void SetTransparent(bool v);
  bool ShowAccelChar() const { return showAccelChar_; }
  void SetShowAccelChar(bool v);
  TWinControl* FocusControl() const { return focusControl_; }
  void SetFocusControl(TWinControl* c) { focusControl_ = c; }
  // Sizes the label to its text (keeping the width when wrapping).
  void AdjustBounds();

protected:
  void Paint() override;
  void Dispatch(TMessage& m) override;
  void Notification(TComponent* component, TOperation operation) override;
  win::UINT DrawTextFlags() const;
  // Draws or (calcRect) measures the caption in `r`.
  void DoDrawText(TRect& r, win::UINT flags);

private:
  bool autoSize_ = true;
  bool wordWrap_ = false;
  TAlignment alignment_ = taLeftJustify;
  TTextLayout layout_ = tlTop;
  bool showAccelChar_ = true;
  TWinControl* focusControl_ = nullptr;
};
class TLabel : public TCustomLabel {
public:
  using TCustomLabel::TCustomLabel;
};

// ---- edits ----

enum TEditCharCase { ecNormal, ecUpperCase, ecLowerCase };
enum TScrollStyle { ssNone, ssHorizontal, ssVertical, ssBoth };

class TCustomEdit : public TWinControl {
public:
  explicit TCustomEdit(TComponent* owner);
  ~TCustomEdit() override;

  bool ReadOnly() const { return readOnly_; }
  void SetReadOnly(bool v);
  int MaxLength() const { return maxLength_; }
  void SetMaxLength(int v);
  char PasswordChar() const { return passwordChar_; }
  void SetPasswordChar(char c);
  TBorderStyle BorderStyle() const { return borderStyle_; }
  void SetBorderStyle(TBorderStyle s);
  TEditCharCase CharCase() const { return charCase_; }
  void SetCharCase(TEditCharCase c);
  bool AutoSelect() const { return autoSelect_; }
  void SetAutoSelect(bool v) { autoSelect_ = v; }
  bool HideSelection() const { return hideSelection_; }
  void SetHideSelection(bool v);
  bool Modified() const;
  void SetModified(bool v);

  int SelStart();
  void SetSelStart(int v);
  int SelLength();
  void SetSelLength(int v);
  String SelText();
  void SetSelText(const String& s);
  void SelectAll();
  void ClearSelection();
  void CutToClipboard();
  void CopyToClipboard();
  void PasteFromClipboard();
  void Undo();
  bool CanUndo();
  void Clear() { SetText(""); }

  TNotifyEvent OnChange;

protected:
  void CreateParams(TCreateParams& p) override;
  void CreateWnd() override;
  void DestroyWnd() override;
  void Dispatch(TMessage& m) override;
  virtual void Change();
  void SendFont();

private:
  bool readOnly_ = false;
  int maxLength_ = 0;
  char passwordChar_ = 0;
  TBorderStyle borderStyle_ = bsSingle;
  TEditCharCase charCase_ = ecNormal;
  bool autoSelect_ = true;
  bool hideSelection_ = true;
  bool modified_ = false;
  int selStart_ = 0, selLength_ = 0;
  // While the window is made with the text it keeps, no change is told.
  bool creating_ = false;
  win::HBRUSH brush_ = nullptr;
  TColor brushColor_ = clNone;
};
class TEdit : public TCustomEdit {
public:
  using TCustomEdit::TCustomEdit;
};

class TMemo;
// The memo's lines: the text split at its line breaks (the last line's
// break is no extra line); every change goes through the memo's Text.
class TMemoStrings : public rtl::TStrings {
public:
  explicit TMemoStrings(TMemo* memo) : memo_(memo) {}
  int32_t Count() const override;
  String Get(int32_t index) const override;
  void Put(int32_t index, const String& s) override;
  void Insert(int32_t index, const String& s) override;
  void Delete(int32_t index) override;
  void Clear() override;
  void SetText(const String& text) override;

private:
  std::vector<String> Split() const;
  void Join(const std::vector<String>& lines);
  TMemo* memo_;
};

class TMemo : public TCustomEdit {
public:
  explicit TMemo(TComponent* owner);
  ~TMemo() override;
  rtl::TStrings* Lines() const { return lines_.get(); }
  void SetLines(const rtl::TStrings& lines) { lines_->Assign(lines); }
  TScrollStyle ScrollBars() const { return scrollBars_; }
  void SetScrollBars(TScrollStyle s);
  bool WordWrap() const { return wordWrap_; }
  void SetWordWrap(bool v);
  bool WantReturns() const { return wantReturns_; }
  void SetWantReturns(bool v) { wantReturns_ = v; }
  bool WantTabs() const { return wantTabs_; }
  void SetWantTabs(bool v) { wantTabs_ = v; }
  TAlignment Alignment() const { return alignment_; }
  void SetAlignment(TAlignment a);
  // The caret's position: x is the character in the line, y the line.
  TPoint CaretPos();

protected:
  void CreateParams(TCreateParams& p) override;
  void Dispatch(TMessage& m) override;

private:
  std::unique_ptr<TMemoStrings> lines_;
  TScrollStyle scrollBars_ = ssNone;
  bool wordWrap_ = true;
  bool wantReturns_ = true;
  bool wantTabs_ = false;
  TAlignment alignment_ = taLeftJustify;
};

// ---- lists ----

class TCustomListBox;
// A list's items as the list window keeps them (the window is made on
// first use); objects are the items' data.
class TListBoxStrings : public rtl::TStrings {
public:
  TListBoxStrings(TWinControl* owner, bool combo) : owner_(owner), combo_(combo) {}
  int32_t Count() const override;
  String Get(int32_t index) const override;
  void Insert(int32_t index, const String& s) override;
  int32_t Add(const String& s) override;
  void Delete(int32_t index) override;
  void Clear() override;
  void* GetObject(int32_t index) const override;
  void PutObject(int32_t index, void* object) override;

private:
  win::LRESULT Send(win::UINT msg, win::WPARAM w, win::LPARAM l) const;
  void Check(int32_t index) const;
  TWinControl* owner_;
  bool combo_;
};

enum TListBoxStyle { lbStandard, lbOwnerDrawFixed, lbOwnerDrawVariable, lbVirtual };

// Owner drawing of list rows (and of a combo box's face) on the control's
// Canvas, which draws into the row's DC for the duration of the call.
using TDrawItemEvent = std::function<void(TWinControl* Control, int Index, TRect Rect, TOwnerDrawState State)>;
using TMeasureItemEvent = std::function<void(TWinControl* Control, int Index, int& Height)>;
// A virtual list's text for row Index.
using TLBGetDataEvent = std::function<void(TWinControl* Control, int Index, String& Data)>;

namespace detail {
// The CN_DRAWITEM and CN_MEASUREITEM work shared by lists and combo boxes.
TOwnerDrawState OwnerDrawStateOf(win::UINT itemState);
}  // namespace detail

class TCustomListBox : public TWinControl {
public:
  explicit TCustomListBox(TComponent* owner);
  ~TCustomListBox() override;
  rtl::TStrings* Items() const { return items_.get(); }
  void SetItems(const rtl::TStrings& items) { items_->Assign(items); }
  int Count() const { return items_->Count(); }
  // Set by code it fires no OnClick.
  int ItemIndex();
  void SetItemIndex(int index);
  bool MultiSelect() const { return multiSelect_; }
  void SetMultiSelect(bool v);
  bool Selected(int index);
  void SetSelected(int index, bool v);
  int SelCount();
  void ClearSelection();
  bool Sorted() const { return sorted_; }
  void SetSorted(bool v);
  int TopIndex();
  void SetTopIndex(int v);
  int ItemHeight();
  void SetItemHeight(int v);
  int ItemAtPos(TPoint p, bool existing);
  TRect ItemRect(int index);
  TBorderStyle BorderStyle() const { return borderStyle_; }
  void SetBorderStyle(TBorderStyle v);
  TListBoxStyle Style() const { return style_; }
  void SetStyle(TListBoxStyle v);
  // A virtual list's number of rows; the others count their items.
  void SetCount(int v);
  TCanvas* Canvas() const { return canvas_.get(); }
  // A virtual list's text comes from OnData.
  String ItemText(int index);

  TDrawItemEvent OnDrawItem;
  TMeasureItemEvent OnMeasureItem;
  TLBGetDataEvent OnData;

protected:
  void CreateParams(TCreateParams& p) override;
  void CreateWnd() override;
  void DestroyWnd() override;
  void Dispatch(TMessage& m) override;
  // Without OnDrawItem a row shows its text.
  virtual void DrawItem(int index, TRect rect, TOwnerDrawState state);
  virtual void MeasureItem(int index, int& height);

private:
  void CNDrawItem(TMessage& m);
  std::unique_ptr<TControlCanvas> canvas_;
  TListBoxStyle style_ = lbStandard;
  int savedCount_ = 0;
  std::unique_ptr<TListBoxStrings> items_;
  std::vector<std::pair<String, void*>> saved_;
  int savedIndex_ = -1;
  bool restoring_ = false;
  bool multiSelect_ = false;
  bool sorted_ = false;
  int itemHeight_ = 0;
  TBorderStyle borderStyle_ = bsSingle;
  win::HBRUSH brush_ = nullptr;
  TColor brushColor_ = clNone;
};
class TListBox : public TCustomListBox {
public:
  using TCustomListBox::TCustomListBox;
};

enum TComboBoxStyle { csDropDown, csSimple, csDropDownList, csOwnerDrawFixed, csOwnerDrawVariable };

class TCustomComboBox : public TWinControl {
public:
  explicit TCustomComboBox(TComponent* owner);
  ~TCustomComboBox() override;
  rtl::TStrings* Items() const { return items_.get(); }
  void SetItems(const rtl::TStrings& items) { items_->Assign(items); }
  TComboBoxStyle Style() const { return style_; }
  void SetStyle(TComboBoxStyle s);
  // Set by code it fires no OnChange, OnSelect or OnClick.
  int ItemIndex();
  void SetItemIndex(int index);
  int DropDownCount() const { return dropDownCount_; }
  void SetDropDownCount(int v) { dropDownCount_ = v; }
  bool DroppedDown();
  void SetDroppedDown(bool v);
  bool Sorted() const { return sorted_; }
  void SetSorted(bool v);
  int MaxLength() const { return maxLength_; }
  void SetMaxLength(int v);
  // The separate windows, for subclassing: the list always, the edit for
  // the styles that type.
  win::HWND ListHandle();
  win::HWND EditHandle();
  int ItemHeight();
  void SetItemHeight(int v);
  TCanvas* Canvas() const { return canvas_.get(); }

  TDrawItemEvent OnDrawItem;
  TMeasureItemEvent OnMeasureItem;
  TNotifyEvent OnChange;
  TNotifyEvent OnSelect;
  TNotifyEvent OnDropDown;
  TNotifyEvent OnCloseUp;

protected:
  void CreateParams(TCreateParams& p) override;
  void CreateWnd() override;
  void DestroyWnd() override;
  void Dispatch(TMessage& m) override;
  virtual void Change();
  virtual void Select();
  // Without OnDrawItem a row, and the face, show the row's own text.
  virtual void DrawItem(int index, TRect rect, TOwnerDrawState state);
  virtual void MeasureItem(int index, int& height);

private:
  void CNDrawItem(TMessage& m);
  std::unique_ptr<TControlCanvas> canvas_;
  int itemHeight_ = 0;
  std::unique_ptr<TListBoxStrings> items_;
  std::vector<std::pair<String, void*>> saved_;
  int savedIndex_ = -1;
  TComboBoxStyle style_ = csDropDown;
  int dropDownCount_ = 8;
  bool sorted_ = false;
  int maxLength_ = 0;
  win::HBRUSH brush_ = nullptr;
  TColor brushColor_ = clNone;
};
class TComboBox : public TCustomComboBox {
public:
  using TCustomComboBox::TCustomComboBox;
};

}  // namespace forms
