// TListBox and TComboBox over the "LISTBOX" and "COMBOBOX" window classes.
#include <algorithm>

#include "platform/forms/StdCtrls.h"
#include "platform/forms/StdCtrlsInternal.h"
#include "platform/win/Api.h"

namespace forms {

using namespace win;

namespace {

HBRUSH ColourBrush(HBRUSH& brush, TColor& current, TColor wanted) {
  if (!brush || current != wanted) {
    if (brush) DeleteObject(brush);
    current = wanted;
    brush = CreateSolidBrush(ColorToRGB(wanted));
  }
  return brush;
}

constexpr const char* kDialogNextProp = "VorixComboDialogNext";

// The combo's edit window is no control of ours: the keys a dialog moves
// with (Tab, Enter, Esc, Alt+letter) go to the form from here.
LRESULT ComboEditDialogProc(HWND h, UINT msg, WPARAM wParam, LPARAM lParam) {
  auto next = reinterpret_cast<WNDPROC>(GetPropA(h, kDialogNextProp));
  auto* combo = dynamic_cast<TCustomComboBox*>(FindControl(GetParent(h)));
  TCustomForm* form = combo ? combo->GetParentForm() : nullptr;
  if (form && !combo->DroppedDown()) {
    if (msg == WM_KEYDOWN && (wParam == VK_TAB || wParam == VK_RETURN || wParam == VK_ESCAPE) &&
        form->Perform(CM_DIALOGKEY, wParam, lParam) != 0)
      return 0;
    if (msg == WM_CHAR && (wParam == '\t' || wParam == '\r' || wParam == 0x1B)) return 0;
    if (msg == WM_SYSCHAR && form->Perform(CM_DIALOGCHAR, wParam, lParam) != 0) return 0;
  }
  if (msg == WM_NCDESTROY) RemovePropA(h, kDialogNextProp);
  return next ? CallWindowProcA(next, h, msg, wParam, lParam) : DefWindowProcA(h, msg, wParam, lParam);
}

// A row's drawing on the control's canvas: the row's DC, the control's font
// and colour, the selection colours for a selected row, and the focus
// rectangle over whatever the owner drew.
template <class Draw>
void DrawOwnerItem(TWinControl* control, TControlCanvas* canvas, TMessage& m, Draw draw) {
  const auto* dis = reinterpret_cast<const DRAWITEMSTRUCT*>(m.LParam);
  if (!dis) return;
  const TOwnerDrawState state = detail::OwnerDrawStateOf(dis->itemState);
  const TRect rect = dis->rcItem;
  canvas->Lock();
  canvas->SetPaintDC(dis->hDC);
  struct Release {
    TControlCanvas* c;
    ~Release() {
      c->SetPaintDC(nullptr);
      c->Unlock();
    }
  } release{canvas};
  canvas->SetFont(control->Font());
  canvas->Brush()->SetColor(control->Color());
  if (state.Contains(odSelected)) {
    canvas->Brush()->SetColor(clHighlight);
    canvas->Font()->SetColor(clHighlightText);
  }
  if (static_cast<int>(dis->itemID) >= 0) draw(static_cast<int>(dis->itemID), rect, state);
  else canvas->FillRect(rect);
  if (state.Contains(odFocused) && !state.Contains(odNoFocusRect)) DrawFocusRect(dis->hDC, &dis->rcItem);
  m.Result = TRUE;
}

void DrawItemText(TCanvas* canvas, const TRect& rect, const String& text) {
  canvas->FillRect(rect);
  canvas->TextOut(rect.left + 2, rect.top, text);
}

}  // namespace

TOwnerDrawState detail::OwnerDrawStateOf(UINT itemState) {
  static const std::pair<UINT, TOwnerDrawStateItem> kMap[] = {
      {ODS_SELECTED, odSelected}, {ODS_GRAYED, odGrayed},     {ODS_DISABLED, odDisabled},
      {ODS_CHECKED, odChecked},   {ODS_FOCUS, odFocused},     {ODS_DEFAULT, odDefault},
      {ODS_HOTLIGHT, odHotLight}, {ODS_INACTIVE, odInactive}, {ODS_NOACCEL, odNoAccel},
      {ODS_NOFOCUSRECT, odNoFocusRect}, {ODS_COMBOBOXEDIT, odComboBoxEdit}};
  TOwnerDrawState state;
  for (const auto& [bit, item] : kMap)
    if (itemState & bit) state.Include(item);
  return state;
}

// ---- TListBoxStrings ----

LRESULT TListBoxStrings::Send(UINT msg, WPARAM w, LPARAM l) const {
  UINT m = msg;
  if (combo_) {
    switch (msg) {
      case LB_GETCOUNT: m = CB_GETCOUNT; break;
      case LB_GETTEXT: m = CB_GETLBTEXT; break;
      case LB_GETTEXTLEN: m = CB_GETLBTEXTLEN; break;
      case LB_INSERTSTRING: m = CB_INSERTSTRING; break;
      case LB_ADDSTRING: m = CB_ADDSTRING; break;
      case LB_DELETESTRING: m = CB_DELETESTRING; break;
      case LB_RESETCONTENT: m = CB_RESETCONTENT; break;
      case LB_GETITEMDATA: m = CB_GETITEMDATA; break;
      case LB_SETITEMDATA: m = CB_SETITEMDATA; break;
      default: break;
    }
  }
  return SendMessageA(owner_->Handle(), m, w, l);
}

void TListBoxStrings::Check(int32_t index) const {
  if (index < 0 || index >= Count())
    throw rtl::EListError("List index out of bounds (" + std::to_string(index) + ")");
}

int32_t TListBoxStrings::Count() const { return static_cast<int32_t>(Send(LB_GETCOUNT, 0, 0)); }

String TListBoxStrings::Get(int32_t index) const {
  Check(index);
  if (auto* list = combo_ ? nullptr : dynamic_cast<TCustomListBox*>(owner_); list && list->Style() == lbVirtual) {
    String s;
    if (list->OnData) list->OnData(list, index, s);
    return s;
  }
  const LRESULT len = Send(LB_GETTEXTLEN, static_cast<WPARAM>(index), 0);
  String s(static_cast<size_t>(std::max<LRESULT>(0, len)) + 1, '\0');
  Send(LB_GETTEXT, static_cast<WPARAM>(index), reinterpret_cast<LPARAM>(s.data()));
  s.resize(static_cast<size_t>(std::max<LRESULT>(0, len)));
  return s;
}

void TListBoxStrings::Insert(int32_t index, const String& s) {
  if (index < 0 || index > Count())
    throw rtl::EListError("List index out of bounds (" + std::to_string(index) + ")");
  Send(LB_INSERTSTRING, static_cast<WPARAM>(index), reinterpret_cast<LPARAM>(s.c_str()));
}

int32_t TListBoxStrings::Add(const String& s) {
  return static_cast<int32_t>(Send(LB_ADDSTRING, 0, reinterpret_cast<LPARAM>(s.c_str())));
}

void TListBoxStrings::Delete(int32_t index) {
  Check(index);
  Send(LB_DELETESTRING, static_cast<WPARAM>(index), 0);
}

void TListBoxStrings::Clear() { Send(LB_RESETCONTENT, 0, 0); }

void* TListBoxStrings::GetObject(int32_t index) const {
  Check(index);
  return reinterpret_cast<void*>(Send(LB_GETITEMDATA, static_cast<WPARAM>(index), 0));
}

void TListBoxStrings::PutObject(int32_t index, void* object) {
  Check(index);
  Send(LB_SETITEMDATA, static_cast<WPARAM>(index), reinterpret_cast<LPARAM>(object));
}

// ---- TCustomListBox ----

TCustomListBox::TCustomListBox(TComponent* owner)
    : TWinControl(owner),
      canvas_(std::make_unique<TControlCanvas>(this)),
      items_(std::make_unique<TListBoxStrings>(this, false)) {
  RegisterStdControlClasses();
  // Clicks and double clicks come from the list's own notifications.
  SetControlStyle(TControlStyle{csSetCaption, csOpaque});
  SetBounds(0, 0, 121, 97);
  SetTabStop(true);
  SetColor(clWindow);
}

TCustomListBox::~TCustomListBox() {
  BeginDestruction();
  DestroyHandle();
  if (brush_) DeleteObject(brush_);
}

void TCustomListBox::CreateParams(TCreateParams& p) {
  TWinControl::CreateParams(p);
  CreateSubClass(p, "LISTBOX");
  p.Style |= LBS_NOTIFY | WS_VSCROLL;
  switch (style_) {
    case lbStandard: p.Style |= LBS_HASSTRINGS; break;
    case lbOwnerDrawFixed: p.Style |= LBS_HASSTRINGS | LBS_OWNERDRAWFIXED; break;
    case lbOwnerDrawVariable: p.Style |= LBS_HASSTRINGS | LBS_OWNERDRAWVARIABLE; break;
    case lbVirtual: p.Style |= LBS_NODATA | LBS_OWNERDRAWFIXED; break;
  }
  if (multiSelect_) p.Style |= LBS_EXTENDEDSEL;
  if (sorted_) p.Style |= LBS_SORT;
  if (borderStyle_ == bsSingle) p.ExStyle |= WS_EX_CLIENTEDGE;
  p.WindowClass.style &= ~(CS_HREDRAW | CS_VREDRAW);
}

void TCustomListBox::CreateWnd() {
  TWinControl::CreateWnd();
  HWND h = Handle();
  SendMessageA(h, WM_SETFONT, reinterpret_cast<WPARAM>(Font()->Handle()), FALSE);
  if (itemHeight_ > 0) SendMessageA(h, LB_SETITEMHEIGHT, 0, MAKELPARAM(static_cast<WORD>(itemHeight_), 0));
  if (style_ == lbVirtual) SendMessageA(h, LB_SETCOUNT, static_cast<WPARAM>(savedCount_), 0);
  for (const auto& [text, data] : saved_) {
    const LRESULT i = SendMessageA(h, LB_ADDSTRING, 0, reinterpret_cast<LPARAM>(text.c_str()));
    SendMessageA(h, LB_SETITEMDATA, static_cast<WPARAM>(i), reinterpret_cast<LPARAM>(data));
  }
  saved_.clear();
  if (savedIndex_ >= 0) SetItemIndex(savedIndex_);
  savedIndex_ = -1;
}

void TCustomListBox::DestroyWnd() {
  if (HandleAllocated() && !ComponentState().Contains(csDestroying)) {
    saved_.clear();
    // A virtual list keeps only its count: its rows come from OnData.
    if (style_ == lbVirtual) savedCount_ = Count();
    else
      for (int i = 0; i < items_->Count(); ++i) saved_.emplace_back(items_->Get(i), items_->GetObject(i));
    savedIndex_ = ItemIndex();
  }
  TWinControl::DestroyWnd();
}

void TCustomListBox::SetStyle(TListBoxStyle v) {
  if (style_ == v) return;
  // The items belong to one kind of list: a virtual one has only a count.
  if (HandleAllocated()) {
    if (v == lbVirtual || style_ == lbVirtual) {
      savedCount_ = 0;
      SendMessageA(Handle(), LB_RESETCONTENT, 0, 0);
    }
  } else if (v == lbVirtual || style_ == lbVirtual) {
    saved_.clear();
    savedCount_ = 0;
  }
  style_ = v;
  RecreateWnd();
}

void TCustomListBox::SetCount(int v) {
  if (style_ != lbVirtual) throw rtl::EListError("Operation not allowed on a list that is not virtual");
  savedCount_ = v;
  if (HandleAllocated()) SendMessageA(Handle(), LB_SETCOUNT, static_cast<WPARAM>(std::max(0, v)), 0);
}

String TCustomListBox::ItemText(int index) { return items_->Get(index); }

void TCustomListBox::DrawItem(int index, TRect rect, TOwnerDrawState state) {
  if (OnDrawItem) OnDrawItem(this, index, rect, state);
  else DrawItemText(canvas_.get(), rect, ItemText(index));
}

void TCustomListBox::MeasureItem(int index, int& height) {
  if (OnMeasureItem) OnMeasureItem(this, index, height);
}

void TCustomListBox::CNDrawItem(TMessage& m) {
  DrawOwnerItem(this, canvas_.get(), m,
                [this](int index, const TRect& rect, TOwnerDrawState state) { DrawItem(index, rect, state); });
}

int TCustomListBox::ItemIndex() {
  return static_cast<int>(SendMessageA(Handle(), multiSelect_ ? LB_GETCARETINDEX : LB_GETCURSEL, 0, 0));
}

void TCustomListBox::SetItemIndex(int index) {
  if (multiSelect_) SendMessageA(Handle(), LB_SETCARETINDEX, static_cast<WPARAM>(index), 0);
  else SendMessageA(Handle(), LB_SETCURSEL, static_cast<WPARAM>(index), 0);
}

void TCustomListBox::SetMultiSelect(bool v) {
  if (multiSelect_ == v) return;
  multiSelect_ = v;
  RecreateWnd();
}

bool TCustomListBox::Selected(int index) {
  const LRESULT r = SendMessageA(Handle(), LB_GETSEL, static_cast<WPARAM>(index), 0);
  if (r == LB_ERR) throw rtl::EListError("List index out of bounds (" + std::to_string(index) + ")");
  return r != 0;
}

void TCustomListBox::SetSelected(int index, bool v) {
  if (multiSelect_) {
    if (SendMessageA(Handle(), LB_SETSEL, v ? TRUE : FALSE, index) == LB_ERR)
      throw rtl::EListError("List index out of bounds (" + std::to_string(index) + ")");
  } else if (v) {
    SetItemIndex(index);
  } else if (ItemIndex() == index) {
    SetItemIndex(-1);
  }
}

int TCustomListBox::SelCount() {
  if (!multiSelect_) return ItemIndex() >= 0 ? 1 : 0;
  return static_cast<int>(SendMessageA(Handle(), LB_GETSELCOUNT, 0, 0));
}

void TCustomListBox::ClearSelection() {
  if (multiSelect_) SendMessageA(Handle(), LB_SETSEL, FALSE, -1);
  else SetItemIndex(-1);
}

void TCustomListBox::SetSorted(bool v) {
  if (sorted_ == v) return;
  sorted_ = v;
  RecreateWnd();
}

int TCustomListBox::TopIndex() { return static_cast<int>(SendMessageA(Handle(), LB_GETTOPINDEX, 0, 0)); }
void TCustomListBox::SetTopIndex(int v) { SendMessageA(Handle(), LB_SETTOPINDEX, static_cast<WPARAM>(v), 0); }

int TCustomListBox::ItemHeight() {
  if (HandleAllocated()) return static_cast<int>(SendMessageA(Handle(), LB_GETITEMHEIGHT, 0, 0));
  return itemHeight_;
}
void TCustomListBox::SetItemHeight(int v) {
  itemHeight_ = v;
  if (HandleAllocated()) SendMessageA(Handle(), LB_SETITEMHEIGHT, 0, MAKELPARAM(static_cast<WORD>(v), 0));
}

int TCustomListBox::ItemAtPos(TPoint p, bool existing) {
  const LRESULT r = SendMessageA(Handle(), LB_ITEMFROMPOINT, 0, MAKELPARAM(static_cast<WORD>(p.x), static_cast<WORD>(p.y)));
  const int index = LOWORD(static_cast<uintptr_t>(r));
  if (HIWORD(static_cast<uintptr_t>(r)) == 0) return index;
  return existing ? -1 : Count();
}

TRect TCustomListBox::ItemRect(int index) {
  RECT r{};
  SendMessageA(Handle(), LB_GETITEMRECT, static_cast<WPARAM>(index), reinterpret_cast<LPARAM>(&r));
  return r;
}

void TCustomListBox::SetBorderStyle(TBorderStyle v) {
  if (borderStyle_ == v) return;
  borderStyle_ = v;
  RecreateWnd();
}

void TCustomListBox::Dispatch(TMessage& m) {
  switch (m.Msg) {
    case CN_DRAWITEM:
      CNDrawItem(m);
      return;
    case CN_MEASUREITEM: {
      auto* mis = reinterpret_cast<MEASUREITEMSTRUCT*>(m.LParam);
      if (!mis) return;
      int height = itemHeight_ > 0 ? itemHeight_ : static_cast<int>(mis->itemHeight);
      MeasureItem(static_cast<int>(mis->itemID), height);
      mis->itemHeight = static_cast<UINT>(std::max(1, height));
      m.Result = TRUE;
      return;
    }
    case CN_COMMAND:
      if (HIWORD(m.WParam) == LBN_SELCHANGE) Click();
      else if (HIWORD(m.WParam) == LBN_DBLCLK) DblClick();
      return;
    case CN_CTLCOLORLISTBOX: {
      HDC dc = reinterpret_cast<HDC>(m.WParam);
      SetTextColor(dc, ColorToRGB(Font()->Color()));
      SetBkColor(dc, ColorToRGB(Color()));
      m.Result = reinterpret_cast<LRESULT>(ColourBrush(brush_, brushColor_, Color()));
      return;
    }
    case CM_FONTCHANGED:
      if (HandleAllocated()) SendMessageA(Handle(), WM_SETFONT, reinterpret_cast<WPARAM>(Font()->Handle()), TRUE);
      break;
    default:
      break;
  }
  TWinControl::Dispatch(m);
}

// ---- TCustomComboBox ----

TCustomComboBox::TCustomComboBox(TComponent* owner)
    : TWinControl(owner),
      canvas_(std::make_unique<TControlCanvas>(this)),
      items_(std::make_unique<TListBoxStrings>(this, true)) {
  RegisterStdControlClasses();
  SetControlStyle(TControlStyle{csSetCaption, csFixedHeight});
  SetBounds(0, 0, 145, 21);
  SetTabStop(true);
  SetColor(clWindow);
}

TCustomComboBox::~TCustomComboBox() {
  BeginDestruction();
  DestroyHandle();
  if (brush_) DeleteObject(brush_);
}

void TCustomComboBox::CreateParams(TCreateParams& p) {
  TWinControl::CreateParams(p);
  CreateSubClass(p, "COMBOBOX");
  switch (style_) {
    case csSimple: p.Style |= CBS_SIMPLE; break;
    case csDropDown: p.Style |= CBS_DROPDOWN; break;
    case csDropDownList: p.Style |= CBS_DROPDOWNLIST; break;
    case csOwnerDrawFixed: p.Style |= CBS_DROPDOWNLIST | CBS_OWNERDRAWFIXED; break;
    case csOwnerDrawVariable: p.Style |= CBS_DROPDOWNLIST | CBS_OWNERDRAWVARIABLE; break;
  }
  p.Style |= CBS_HASSTRINGS | CBS_AUTOHSCROLL;
  if (sorted_) p.Style |= CBS_SORT;
  p.ExStyle |= WS_EX_CLIENTEDGE;
  p.WindowClass.style &= ~(CS_HREDRAW | CS_VREDRAW);
}

void TCustomComboBox::CreateWnd() {
  const String text = TextField();
  TWinControl::CreateWnd();
  HWND h = Handle();
  SendMessageA(h, WM_SETFONT, reinterpret_cast<WPARAM>(Font()->Handle()), FALSE);
  if (maxLength_ > 0) SendMessageA(h, CB_LIMITTEXT, static_cast<WPARAM>(maxLength_), 0);
  if (itemHeight_ > 0) SendMessageA(h, CB_SETITEMHEIGHT, 0, MAKELPARAM(static_cast<WORD>(itemHeight_), 0));
  if (HWND edit = EditHandle()) {
    SetPropA(edit, kDialogNextProp, reinterpret_cast<HANDLE>(GetWindowLongA(edit, GWL_WNDPROC)));
    SetWindowLongA(edit, GWL_WNDPROC, reinterpret_cast<LONG_PTR>(&ComboEditDialogProc));
  }
  for (const auto& [s, data] : saved_) {
    const LRESULT i = SendMessageA(h, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(s.c_str()));
    SendMessageA(h, CB_SETITEMDATA, static_cast<WPARAM>(i), reinterpret_cast<LPARAM>(data));
  }
  saved_.clear();
  if (savedIndex_ >= 0) SendMessageA(h, CB_SETCURSEL, static_cast<WPARAM>(savedIndex_), 0);
  else if (!text.empty() && EditHandle()) SetWindowTextA(EditHandle(), text.c_str());
  savedIndex_ = -1;
}

void TCustomComboBox::DestroyWnd() {
  if (HandleAllocated() && !ComponentState().Contains(csDestroying)) {
    saved_.clear();
    for (int i = 0; i < items_->Count(); ++i) saved_.emplace_back(items_->Get(i), items_->GetObject(i));
    savedIndex_ = ItemIndex();
  }
  TWinControl::DestroyWnd();
}

void TCustomComboBox::SetStyle(TComboBoxStyle s) {
  if (style_ == s) return;
  style_ = s;
  RecreateWnd();
}

int TCustomComboBox::ItemIndex() { return static_cast<int>(SendMessageA(Handle(), CB_GETCURSEL, 0, 0)); }
void TCustomComboBox::SetItemIndex(int index) {
  SendMessageA(Handle(), CB_SETCURSEL, static_cast<WPARAM>(index), 0);
}

bool TCustomComboBox::DroppedDown() {
  return HandleAllocated() && SendMessageA(Handle(), CB_GETDROPPEDSTATE, 0, 0) != 0;
}
void TCustomComboBox::SetDroppedDown(bool v) { SendMessageA(Handle(), CB_SHOWDROPDOWN, v ? TRUE : FALSE, 0); }

void TCustomComboBox::SetSorted(bool v) {
  if (sorted_ == v) return;
  sorted_ = v;
  RecreateWnd();
}

void TCustomComboBox::SetMaxLength(int v) {
  maxLength_ = v;
  if (HandleAllocated()) SendMessageA(Handle(), CB_LIMITTEXT, static_cast<WPARAM>(v), 0);
}

HWND TCustomComboBox::ListHandle() { return ComboListWindow(Handle()); }
HWND TCustomComboBox::EditHandle() { return ComboEditWindow(Handle()); }

int TCustomComboBox::ItemHeight() {
  if (HandleAllocated()) return static_cast<int>(SendMessageA(Handle(), CB_GETITEMHEIGHT, 0, 0));
  return itemHeight_;
}
void TCustomComboBox::SetItemHeight(int v) {
  itemHeight_ = v;
  if (HandleAllocated() && v > 0) SendMessageA(Handle(), CB_SETITEMHEIGHT, 0, MAKELPARAM(static_cast<WORD>(v), 0));
}

void TCustomComboBox::DrawItem(int index, TRect rect, TOwnerDrawState state) {
  if (OnDrawItem) OnDrawItem(this, index, rect, state);
  else DrawItemText(canvas_.get(), rect, items_->Get(index));
}

void TCustomComboBox::MeasureItem(int index, int& height) {
  if (OnMeasureItem) OnMeasureItem(this, index, height);
}

void TCustomComboBox::CNDrawItem(TMessage& m) {
  DrawOwnerItem(this, canvas_.get(), m,
                [this](int index, const TRect& rect, TOwnerDrawState state) { DrawItem(index, rect, state); });
}

void TCustomComboBox::Change() {
  if (OnChange) OnChange(this);
}

void TCustomComboBox::Select() {
  if (OnSelect) OnSelect(this);
  else Change();
}

void TCustomComboBox::Dispatch(TMessage& m) {
  switch (m.Msg) {
    case CN_DRAWITEM:
      CNDrawItem(m);
      return;
    case CN_MEASUREITEM: {
      auto* mis = reinterpret_cast<MEASUREITEMSTRUCT*>(m.LParam);
      if (!mis) return;
      int height = itemHeight_ > 0 ? itemHeight_ : static_cast<int>(mis->itemHeight);
      MeasureItem(static_cast<int>(mis->itemID), height);
      mis->itemHeight = static_cast<UINT>(std::max(1, height));
      m.Result = TRUE;
      return;
    }
    case CN_COMMAND:
      switch (HIWORD(m.WParam)) {
        case CBN_SELCHANGE:
          Click();
          Select();
          break;
        case CBN_EDITCHANGE:
          Change();
          break;
        case CBN_DBLCLK:
          DblClick();
          break;
        case CBN_DROPDOWN: {
          if (OnDropDown) OnDropDown(this);
          // The list shows DropDownCount rows (fewer when there are fewer items).
          const int rows = std::clamp(items_->Count(), 1, std::max(1, dropDownCount_));
          const int ih = static_cast<int>(SendMessageA(Handle(), CB_GETITEMHEIGHT, 0, 0));
          RECT lr;
          GetWindowRect(ListHandle(), &lr);
          SetWindowPos(ListHandle(), nullptr, 0, 0, lr.right - lr.left, rows * ih + 2,
                       SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
          break;
        }
        case CBN_CLOSEUP:
          if (OnCloseUp) OnCloseUp(this);
          break;
        default:
          break;
      }
      return;
    case CN_CTLCOLORLISTBOX:
    case CN_CTLCOLOREDIT: {
      HDC dc = reinterpret_cast<HDC>(m.WParam);
      SetTextColor(dc, ColorToRGB(Font()->Color()));
      SetBkColor(dc, ColorToRGB(Color()));
      m.Result = reinterpret_cast<LRESULT>(ColourBrush(brush_, brushColor_, Color()));
      return;
    }
    case CM_FONTCHANGED:
      if (HandleAllocated()) SendMessageA(Handle(), WM_SETFONT, reinterpret_cast<WPARAM>(Font()->Handle()), TRUE);
      break;
    default:
      break;
  }
  TWinControl::Dispatch(m);
}

}  // namespace forms
