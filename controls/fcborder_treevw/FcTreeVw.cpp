#include "controls/fcborder_treevw/FcTreeVw.h"

#include <algorithm>

#include "controls/fcborder_treevw/FcStartup.h"
#include "platform/forms/ControlMessages.h"
#include "platform/forms/Forms.h"
#include "platform/win/Api.h"
#include "platform/win/Input.h"
#include "platform/win/MessageIds.h"
#include "platform/win/Metrics.h"
#include "platform/win/ScrollBars.h"

namespace controls {

using forms::TMessage;
using forms::TPoint;
using namespace win;

namespace {

constexpr DWORD TVS_NOTOOLTIPS = 0x80;

bool IsSystemColor(TColor c) { return (static_cast<uint32_t>(c) & 0xFF000000u) == 0xFF000000u; }

// Runs `f` with a flag set, restoring the flag's old value on every path.
template <class F>
void WithFlag(bool& flag, bool value, F&& f) {
  const bool old = flag;
  flag = value;
  try {
    f();
  } catch (...) {
    flag = old;
    throw;
  }
  flag = old;
}

}  // namespace

// ---- framed tree view ----

TFcCustomTreeView::TFcCustomTreeView(forms::TComponent* owner)
    : TCustomTreeView(owner), selectionPen_(std::make_unique<forms::TPen>()) {
  selectionPen_->SetColor(forms::clBtnShadow);
  selectionPen_->OnChange = [this](forms::TObject*) { Invalidate(); };
  SetTabStop(true);
  SetParentColor(false);
  normalColor_ = Color();
  auto colour = [this](const char* name, auto get, auto set) {
    published_.AddOrdinal(name, [this, get] { return static_cast<int64_t>((this->*get)()); },
                          [this, set](int64_t v) { (this->*set)(static_cast<TColor>(v)); });
  };
  colour("Color", &TFcCustomTreeView::Color, &TFcCustomTreeView::SetColor);
  colour("FocusColor", &TFcCustomTreeView::FocusColor, &TFcCustomTreeView::SetFocusColor);
  colour("DisabledColor", &TFcCustomTreeView::DisabledColor, &TFcCustomTreeView::SetDisabledColor);
  colour("FrameColor", &TFcCustomTreeView::FrameColor, &TFcCustomTreeView::SetFrameColor);
  colour("FrameHotColor", &TFcCustomTreeView::FrameHotColor, &TFcCustomTreeView::SetFrameHotColor);
  published_.AddOrdinal("ParentColor", [this] { return int64_t{ParentColor()}; },
                        [this](int64_t v) { SetParentColor(v != 0); });
  published_.AddOrdinal("FrameHotTrack", [this] { return int64_t{frameHotTrack_}; },
                        [this](int64_t v) { SetFrameHotTrack(v != 0); });
  published_.AddOrdinal("FrameVisible", [this] { return int64_t{frameVisible_}; },
                        [this](int64_t v) { SetFrameVisible(v != 0); });
  published_.AddOrdinal("FrameHotStyle", [this] { return int64_t{frameHotStyle_}; },
                        [this](int64_t v) { SetFrameHotStyle(static_cast<TFrameStyle>(v)); });
  published_.AddOrdinal("FrameStyle", [this] { return int64_t{frameStyle_}; },
                        [this](int64_t v) { SetFrameStyle(static_cast<TFrameStyle>(v)); });
  published_.AddOrdinal("FramingPreference", [this] { return int64_t{framingPreference_}; },
                        [this](int64_t v) { SetFramingPreference(static_cast<TFramingPreference>(v)); });
  published_.AddOrdinal("FrameControllerNotifications",
                        [this] {
                          int64_t bits = 0;
                          for (int p = fcpColor; p <= fcpFramingPreference; ++p)
                            if (notifications_.Contains(static_cast<TFcFrameControllerProperty>(p))) bits |= int64_t{1} << p;
                          return bits;
                        },
                        [this](int64_t bits) {
                          notifications_ = {};
                          for (int p = fcpColor; p <= fcpFramingPreference; ++p)
                            if (bits & (int64_t{1} << p)) notifications_.Include(static_cast<TFcFrameControllerProperty>(p));
                        });
  published_.AddSet("FrameSides", [this] { return SidesToText(frameSides_); },
                    [this](const forms::String& t) { SetFrameSides(TextToSides(t)); });
}

TFcCustomTreeView::~TFcCustomTreeView() {
  AttachFrameController(this, frameController_, nullptr);
}

void TFcCustomTreeView::FullExpand() {
  WithFlag(autoSelect_, false, [this] { TCustomTreeView::FullExpand(); });
}

void TFcCustomTreeView::SetSelectionPen(forms::TPen* v) {
  if (v) selectionPen_->Assign(v);
  Invalidate();
}

void TFcCustomTreeView::SetDisabledColor(TColor v) {
  disabledColor_ = v;
  if (!Enabled()) UpdateColors();
}

void TFcCustomTreeView::SetFocusColor(TColor v) {
  focusColor_ = v;
  if (HandleAllocated() && Focused()) UpdateColors();
}

#define FC_TREE_FRAME_SETTER(Name, Type, field) \
  void TFcCustomTreeView::Set##Name(Type v) {   \
    if (field == v) return;                     \
    field = v;                                  \
    RepaintFrame();                             \
  }
FC_TREE_FRAME_SETTER(FrameColor, TColor, frameColor_)
FC_TREE_FRAME_SETTER(FrameHotColor, TColor, frameHotColor_)
FC_TREE_FRAME_SETTER(FrameHotStyle, TFrameStyle, frameHotStyle_)
FC_TREE_FRAME_SETTER(FrameStyle, TFrameStyle, frameStyle_)
#undef FC_TREE_FRAME_SETTER

void TFcCustomTreeView::SetFrameSides(TSides v) {
  if (frameSides_ == v) return;
  frameSides_ = v;
  RepaintFrame();
}

void TFcCustomTreeView::SetFrameVisible(bool v) {
  if (frameVisible_ == v) return;
  frameVisible_ = v;
  if (HandleAllocated()) WithFlag(recreating_, true, [this] { RecreateWnd(); });
}

void TFcCustomTreeView::SetFrameHotTrack(bool v) {
  if (frameHotTrack_ == v) return;
  frameHotTrack_ = v;
  if (v) {
    SetFrameVisible(true);
    if (!ComponentState().Contains(forms::csLoading)) frameSides_ = sdAllSides;
  }
  RepaintFrame();
  Invalidate();
}

void TFcCustomTreeView::SetFramingPreference(TFramingPreference v) {
  if (framingPreference_ == v) return;
  framingPreference_ = v;
  if (v == fpCustomFraming) RepaintFrame();
}

void TFcCustomTreeView::SetFrameController(TFcFrameController* v) {
  if (frameController_ == v) return;
  AttachFrameController(this, frameController_, v);
}

void TFcCustomTreeView::Notification(forms::TComponent* component, forms::TOperation operation) {
  TCustomTreeView::Notification(component, operation);
  if (operation == forms::opRemove && component == frameController_) frameController_ = nullptr;
}

void TFcCustomTreeView::SetAutoExpand(bool v) {
  TCustomTreeView::SetAutoExpand(v);
  if (v) autoSelect_ = false;
}

void TFcCustomTreeView::SetAutoSelect(bool v) {
  if (autoSelect_ == v) return;
  autoSelect_ = v;
  if (v) TCustomTreeView::SetAutoExpand(false);
}

void TFcCustomTreeView::ReadFrameFlat(bool flat) {
  SetFrameHotTrack(flat);
  if (flat) {
    SetFrameStyle(fsStatus);
    SetFrameHotStyle(fsLowered);
  }
}

void TFcCustomTreeView::ReadFrameFocusStyle(const forms::String& ident) {
  static const char* const names[] = {"fsNone",  "fsFlat",       "fsGroove", "fsBump",     "fsLowered", "fsButtonDown",
                                      "fsRaised", "fsButtonUp", "fsStatus", "fsPopup", "fsFlatBold"};
  for (int i = 0; i < 11; ++i)
    if (ident == names[i]) SetFrameHotStyle(static_cast<TFrameStyle>(i));
}

TTreeNode* TFcCustomTreeView::CurrentNode() const {
  if (!HandleAllocated()) return nullptr;
  if (rightClickSelect_ && rightClickNode_) return rightClickNode_;
  return Selected();
}

bool TFcCustomTreeView::UseThemes() const { return framingPreference_ == fpXPThemes && FcThemesEnabled(); }

void TFcCustomTreeView::UpdateColors() {
  if (ComponentState().Contains(forms::csLoading)) return;
  const bool focused = HandleAllocated() && Focused();
  WithFlag(updatingColor_, true,
           [&] { SetColor(!Enabled() ? disabledColor_ : focused ? focusColor_ : normalColor_); });
}

void TFcCustomTreeView::UpdateFrameState(bool viaMouse, bool over) {
  if (viaMouse) overControl_ = over;
  if (frameHotTrack_) RepaintFrame();
  UpdateColors();
}

void TFcCustomTreeView::RepaintFrame() {
  if (HandleAllocated()) RedrawNonClientFrame(Handle(), TRect{0, 0, Width(), Height()});
}

void TFcCustomTreeView::Loaded() {
  TCustomTreeView::Loaded();
  UpdateColors();
  UpdateFrameState(false, false);
}

void TFcCustomTreeView::CreateParams(forms::TCreateParams& p) {
  TCustomTreeView::CreateParams(p);
  // Old common controls show tool tips that hide the nodes under them.
  if (IsWindowsNT() && FcPlatformInfo().comCtl.ms < ((4u << 16) | 72u)) p.Style |= TVS_NOTOOLTIPS;
}

void TFcCustomTreeView::Expand(TTreeNode* node) {
  TCustomTreeView::Expand(node);
  if (autoSelect_) node->SetSelected(true);
}

bool TFcCustomTreeView::CanCollapse(TTreeNode* node) {
  const bool allowed = TCustomTreeView::CanCollapse(node);
  if (allowed && autoSelect_) node->SetSelected(true);
  return allowed;
}

bool TFcCustomTreeView::DoMouseWheel(forms::TShiftState shift, int wheelDelta, TPoint mousePos) {
  bool handled = false;
  if (OnMouseWheel) OnMouseWheel(this, shift, wheelDelta, mousePos, handled);
  if (handled) return true;
  const int notches = std::max(1, std::abs(wheelDelta) / 120);
  for (int i = 0; i < notches; ++i) WheelLines(wheelDelta < 0 ? 1 : -1);
  return true;
}

void TFcCustomTreeView::WheelLines(int direction) {
  if (!HandleAllocated()) return;
  SCROLLINFO si{};
  si.fMask = SIF_POS;
  GetScrollInfo(Handle(), SB_VERT, &si);
  UINT lines = 3;
  SystemParametersInfo(SPI_GETWHEELSCROLLLINES, 0, &lines, 0);
  int pos = si.nPos + direction * static_cast<int>(lines);
  if (pos < 0) pos = 0;
  SendMessageA(Handle(), WM_VSCROLL, MAKEWPARAM(SB_THUMBPOSITION, static_cast<WORD>(pos)), 0);
  si.fMask = SIF_POS;
  si.nPos = pos;
  SetScrollInfo(Handle(), SB_VERT, &si, TRUE);
}

void TFcCustomTreeView::PaintFrame() {
  const HDC dc = GetWindowDC(Handle());
  if (!dc) return;
  forms::TCanvas canvas;
  canvas.SetHandle(dc);
  const bool hot = frameHotTrack_ && (Focused() || overControl_);
  try {
    PaintControlFrame(&canvas, Width(), Height(), false, frameSides_, hot ? frameHotColor_ : frameColor_, Color(),
                      hot ? frameHotStyle_ : frameStyle_);
  } catch (...) {
    canvas.SetHandle(nullptr);
    ReleaseDC(Handle(), dc);
    throw;
  }
  canvas.SetHandle(nullptr);
  ReleaseDC(Handle(), dc);
}

void TFcCustomTreeView::PaintSelectionOutline() {
  TTreeNode* node = CurrentNode();
  if (HideSelection() || Focused() || !node) return;
  const TRect r = node->DisplayRect(true);
  forms::TCanvas* c = Canvas();
  c->Pen()->Assign(selectionPen_.get());
  c->Brush()->SetStyle(forms::bsClear);
  c->Rectangle(r);
  c->Pen()->SetWidth(1);
  c->Pen()->SetStyle(forms::psSolid);
  c->Brush()->SetStyle(forms::bsSolid);
}

void TFcCustomTreeView::PopupAt(forms::TPopupMenu* menu, TPoint clientPos) {
  // A press in progress would otherwise keep the mouse after the menu.
  Perform(WM_CANCELMODE, 0, 0);
  menu->SetPopupComponent(this);
  const TPoint screen = ClientToScreen(clientPos);
  menu->Popup(screen.x, screen.y);
}

void TFcCustomTreeView::DoNodeContextMenu(TTreeNode* node, TPoint& pos, forms::TPopupMenu*& menu) {
  if (OnNodeContextMenu) OnNodeContextMenu(this, node, pos, menu);
}

void TFcCustomTreeView::ShowContextMenuForNodeAtPoint(TTreeNode* node, TPoint pos) {
  forms::TPopupMenu* menu = PopupMenu();
  DoNodeContextMenu(node, pos, menu);
  if (menu != PopupMenu()) menuHandled_ = true;
  if (menu) PopupAt(menu, pos);
}

void TFcCustomTreeView::ShowContextMenuForCurrentNode() {
  if (TTreeNode* node = CurrentNode()) {
    const TRect r = node->DisplayRect(true);
    ShowContextMenuForNodeAtPoint(node, forms::Point((r.left + r.right) / 2, (r.top + r.bottom) / 2));
  } else if (PopupMenu()) {
    PopupAt(PopupMenu(), forms::Point(0, 0));
  }
}

void TFcCustomTreeView::KeyDown(uint16_t& key, forms::TShiftState shift) {
  const forms::TShiftState keys = shift * forms::TShiftState{forms::ssShift, forms::ssCtrl, forms::ssAlt};
  if ((key == VK_APPS && keys.Empty()) || (key == VK_F10 && keys == forms::TShiftState{forms::ssShift})) {
    key = 0;
    ShowContextMenuForCurrentNode();
    // The key's release asks for a context menu once more; this one was it.
    keyboardMenuShown_ = true;
    return;
  }
  keyboardMenuShown_ = false;
  TCustomTreeView::KeyDown(key, shift);
}

void TFcCustomTreeView::Paint() {
  TCustomTreeView::Paint();
  PaintSelectionOutline();
}

void TFcCustomTreeView::Dispatch(TMessage& m) {
  const bool designing = ComponentState().Contains(forms::csDesigning);
  switch (m.Msg) {
    case forms::CM_COLORCHANGED:
      if (!updatingColor_) {
        if (focusColor_ == normalColor_) focusColor_ = Color();
        normalColor_ = Color();
      }
      if (frameVisible_ && !UseThemes()) RepaintFrame();
      TCustomTreeView::Dispatch(m);
      return;
    case forms::CM_ENABLEDCHANGED:
      TCustomTreeView::Dispatch(m);
      UpdateColors();
      return;
    case forms::CM_SYSCOLORCHANGE:
      if (IsSystemColor(Color())) Perform(forms::CM_COLORCHANGED, m.WParam, m.LParam);
      TCustomTreeView::Dispatch(m);
      return;
    case forms::CM_ENTER:
      UpdateFrameState(false, true);
      TCustomTreeView::Dispatch(m);
      return;
    case forms::CM_EXIT:
      TCustomTreeView::Dispatch(m);
      UpdateFrameState(false, false);
      return;
    case forms::CM_MOUSEENTER:
      TCustomTreeView::Dispatch(m);
      if (!designing) UpdateFrameState(true, true);
      return;
    case forms::CM_MOUSELEAVE:
      TCustomTreeView::Dispatch(m);
      if (!designing) UpdateFrameState(true, false);
      return;
    case WM_SETFOCUS:
    case WM_KILLFOCUS:
      // The colours follow the focus even when the form does not move it.
      TCustomTreeView::Dispatch(m);
      UpdateColors();
      return;
    case WM_SIZE:
      TCustomTreeView::Dispatch(m);
      if (frameVisible_ && !UseThemes()) RepaintFrame();
      return;
    case WM_NCPAINT:
      TCustomTreeView::Dispatch(m);
      if (frameVisible_ && !UseThemes() && HandleAllocated()) {
        PaintFrame();
        m.Result = 0;
      }
      return;
    case forms::CN_NOTIFY: {
      auto* nm = reinterpret_cast<NMHDR*>(m.LParam);
      if (nm && static_cast<int>(nm->code) == TVN_GETDISPINFOA) {
        auto& info = *reinterpret_cast<forms::NMTVDISPINFOA*>(m.LParam);
        TTreeNode* node = (info.item.mask & forms::TVIF_PARAM) ? reinterpret_cast<TTreeNode*>(info.item.lParam)
                                                                : static_cast<TTreeNode*>(info.item.hItem);
        if (node) {
          if (info.item.mask & forms::TVIF_IMAGE) {
            if (OnGetImageIndex) OnGetImageIndex(this, node);
            info.item.iImage = node->ImageIndex();
          }
          if (info.item.mask & forms::TVIF_SELECTEDIMAGE) {
            if (OnGetSelectedIndex) OnGetSelectedIndex(this, node);
            info.item.iSelectedImage = node->SelectedIndex();
          }
        }
        // Each event fires once per question: the inherited answer runs
        // without them.
        auto image = std::move(OnGetImageIndex);
        auto selected = std::move(OnGetSelectedIndex);
        OnGetImageIndex = nullptr;
        OnGetSelectedIndex = nullptr;
        try {
          TCustomTreeView::Dispatch(m);
        } catch (...) {
          OnGetImageIndex = std::move(image);
          OnGetSelectedIndex = std::move(selected);
          throw;
        }
        OnGetImageIndex = std::move(image);
        OnGetSelectedIndex = std::move(selected);
        return;
      }
      if (nm && static_cast<int>(nm->code) == NM_RCLICK && !designing) {
        POINT cursor{};
        GetCursorPos(&cursor);
        TPoint pos = ScreenToClient(forms::Point(cursor.x, cursor.y));
        TTreeNode* node = GetNodeAt(pos.x, pos.y);
        if (!node) node = Selected();
        rightClickNode_ = node;
        if (node) {
          forms::TPopupMenu* menu = PopupMenu();
          try {
            DoNodeContextMenu(node, pos, menu);
            if (menu) PopupAt(menu, pos);
          } catch (...) {
            rightClickNode_ = nullptr;
            menuHandled_ = true;
            throw;
          }
        }
        rightClickNode_ = nullptr;
        menuHandled_ = true;
      }
      TCustomTreeView::Dispatch(m);
      return;
    }
    case WM_RBUTTONUP: {
      // The tree tells of the right click (and its menu shows) while the
      // release is handled; the context menu that follows is then not shown
      // a second time.
      forms::TPopupMenu* menu = PopupMenu();
      const bool autoPopup = menu && menu->AutoPopup();
      if (menu) menu->SetAutoPopup(false);
      try {
        TCustomTreeView::Dispatch(m);
      } catch (...) {
        if (menu) menu->SetAutoPopup(autoPopup);
        menuHandled_ = false;
        throw;
      }
      if (menu && PopupMenu() == menu) menu->SetAutoPopup(autoPopup);
      menuHandled_ = false;
      return;
    }
    case WM_CONTEXTMENU: {
      const bool fromKeyboard = m.LParam == -1 || (GET_X_LPARAM(m.LParam) == -1 && GET_Y_LPARAM(m.LParam) == -1);
      if (fromKeyboard && keyboardMenuShown_) {
        keyboardMenuShown_ = false;
        m.Result = 1;
        return;
      }
      if (designing || CurrentNode() || menuHandled_) {
        m.Result = 1;
        return;
      }
      if (fromKeyboard) {
        ShowContextMenuForCurrentNode();
      } else {
        ShowContextMenuForNodeAtPoint(nullptr,
                                      ScreenToClient(forms::Point(GET_X_LPARAM(m.LParam), GET_Y_LPARAM(m.LParam))));
      }
      m.Result = 1;
      return;
    }
    default:
      TCustomTreeView::Dispatch(m);
  }
}

// ---- check tree ----

TFcCheckTree::TFcCheckTree(forms::TComponent* owner) : TFcCustomTreeView(owner) {
  checkImages_ = new forms::TImageList(this);
  checkImages_->SetName("CheckImages");
  checkImages_->SetWidth(16);
  checkImages_->SetHeight(16);
  boxWidth_ = checkImages_->Width();
  SetAutoSelect(false);
  SetReadOnly(true);
  BuildCheckImages();
  SetStateImages(checkImages_);
}

TFcCheckTree::~TFcCheckTree() = default;

void TFcCheckTree::SetImages(forms::TCustomImageList* v) {
  TCustomTreeView::SetImages(v);
  UpdateImageWidth();
}

void TFcCheckTree::UpdateImageWidth() { imageWidth_ = Images() ? Images()->Width() : 0; }

void TFcCheckTree::Loaded() {
  TFcCustomTreeView::Loaded();
  UpdateImageWidth();
}

void TFcCheckTree::SetHighlightColor(TColor v) {
  if (highlightColor_ == v) return;
  highlightColor_ = v;
  BuildCheckImages();
  Invalidate();
}

void TFcCheckTree::SetFrameColor(TColor v) {
  TFcCustomTreeView::SetFrameColor(v);
  BuildCheckImages();
  Invalidate();
}

void TFcCheckTree::BuildCheckImages() {
  constexpr TColor kMask = 0x00008080;
  checkImages_->Clear();
  // Visual styles are off here, so the boxes are the Fc glyphs: unchecked
  // twice (no box and unchecked share a picture), checked, grayed.
  for (TCheckBoxState state : {cbUnchecked, cbUnchecked, cbChecked, cbGrayed}) {
    forms::TBitmap work;
    work.SetSize(16, 16);
    work.Canvas()->Brush()->SetColor(kMask);
    work.Canvas()->FillRect(TRect{0, 0, 16, 16});
    TCheckGlyphColors colors;
    colors.frame = FrameColor();
    colors.mark = highlightColor_;
    colors.fill = forms::clWindow;
    colors.disabled = DisabledColor();
    PaintCheckGlyph(work.Canvas(), TRect{0, 0, 13, 13}, state, 0, false, htsInterior, colors);
    forms::TBitmap image;
    image.SetSize(16, 16);
    image.Canvas()->Brush()->SetColor(kMask);
    image.Canvas()->FillRect(TRect{0, 0, 16, 16});
    image.Canvas()->Draw(2, 2, &work);
    checkImages_->AddMasked(&image, kMask);
  }
}

TFcCheckState TFcCheckTree::NodeCheckState(TTreeNode* node) const {
  const int s = node->StateIndex();
  return s >= 0 && s <= 3 ? static_cast<TFcCheckState>(s) : csUnknown;
}

bool TFcCheckTree::CanChangeState(TTreeNode* node, TFcCheckState newState) {
  bool allow = true;
  if (!silent_ && OnStateChanging) OnStateChanging(this, node, newState, allow);
  return allow;
}

void TFcCheckTree::StateChange(TTreeNode* node, TFcCheckState newState) {
  if (!silent_ && OnStateChange) OnStateChange(this, node, newState);
}

void TFcCheckTree::DoCascadeComplete(TTreeNode* node) {
  if (OnCascadeComplete) OnCascadeComplete(this, node);
}

void TFcCheckTree::SetNodeCheckState(TTreeNode* node, TFcCheckState state) {
  if (!node || !CanChangeState(node, state)) return;
  node->SetStateIndex(state);
  StateChange(node, state);
}

void TFcCheckTree::ToggleCheckState(TTreeNode* node) {
  changingState_ = false;
  if (!node || node->StateIndex() == csUnknown) return;
  SetNodeCheckState(node, node->StateIndex() == csChecked ? csUnchecked : csChecked);
  if (cascadeChecks_) {
    UpdateChildrenStates(node, node->StateIndex() == csChecked);
    UpdateParentStates(node);
  }
  DoCascadeComplete(node);
}

void TFcCheckTree::UpdateChildrenStates(TTreeNode* node, bool checked) {
  WithFlag(suspendCascades_, true, [&] {
    const TTreeNode* end = nullptr;
    // Every descendant, depth first: the walk stops at the node's next
    // sibling or the next node outside its branch.
    for (const TTreeNode* up = node; up && !end; up = up->Parent()) end = up->getNextSibling();
    for (TTreeNode* d = node->GetFirstChild(); d && d != end; d = d->GetNext())
      SetNodeCheckState(d, checked ? csChecked : csUnchecked);
  });
  if (OnUpdateChildren) OnUpdateChildren(this);
}

namespace {

// Checked when every counted child is, unchecked when none is (or none
// counts), partially checked otherwise; children without a box do not count.
TFcCheckState CombinedState(TTreeNode* parent, const TTreeNode* except) {
  int checked = 0, unchecked = 0;
  for (int k = 0; k < parent->Count(); ++k) {
    TTreeNode* child = parent->Item(k);
    if (child == except) continue;
    switch (child->StateIndex()) {
      case csChecked: ++checked; break;
      case csUnchecked: ++unchecked; break;
      case csPartiallyChecked: return csPartiallyChecked;
      default: break;
    }
    if (checked > 0 && unchecked > 0) return csPartiallyChecked;
  }
  return checked > 0 ? csChecked : csUnchecked;
}

}  // namespace

void TFcCheckTree::UpdateParentStates(TTreeNode* node) {
  for (TTreeNode* parent = node->Parent(); parent; parent = parent->Parent())
    SetNodeCheckState(parent, CombinedState(parent, nullptr));
}

void TFcCheckTree::Delete(TTreeNode* node) {
  if (cascadeChecks_ && node->Parent()) {
    TTreeNode* parent = node->Parent();
    const TFcCheckState state = CombinedState(parent, node);
    SetNodeCheckState(parent, state);
    if (state == csChecked || state == csUnchecked) {
      UpdateChildrenStates(parent, state == csChecked);
      UpdateParentStates(parent);
    }
  }
  TFcCustomTreeView::Delete(node);
}

void TFcCheckTree::MouseDown(forms::TMouseButton button, forms::TShiftState shift, int x, int y) {
  // The tree selects the pressed node first, as the platform's tree does
  // before the class library sees the press.
  TFcCustomTreeView::MouseDown(button, shift, x, y);
  if (button != forms::mbLeft) return;
  // A press that began on a box but was released outside the tree never
  // reached MouseUp; this press starts afresh.
  changingState_ = false;
  TTreeNode* node = CurrentNode();
  if (!node || node->AbsoluteIndex() < 0) return;
  const TRect r = node->DisplayRect(true);
  if (r.left - imageWidth_ - boxWidth_ < x && x <= r.left - imageWidth_ && r.top <= y && y <= r.bottom) {
    changingState_ = true;
    pressedItem_ = node->AbsoluteIndex();
  }
}

void TFcCheckTree::MouseUp(forms::TMouseButton button, forms::TShiftState shift, int x, int y) {
  if (button == forms::mbLeft) {
    TTreeNode* node = CurrentNode();
    const bool onBox = changingState_ && node && node->AbsoluteIndex() == pressedItem_ &&
                       x >= 0 && y >= 0 && x < ClientWidth() && y < ClientHeight();
    // Every release ends the press: a press on a box released elsewhere
    // must not leave a later click on the node's text toggling it.
    changingState_ = false;
    if (onBox) ToggleCheckState(node);
  }
  TFcCustomTreeView::MouseUp(button, shift, x, y);
}

void TFcCheckTree::KeyUp(uint16_t& key, forms::TShiftState shift) {
  if (key == VK_SPACE) {
    if (TTreeNode* node = CurrentNode()) ToggleCheckState(node);
  }
  TFcCustomTreeView::KeyUp(key, shift);
}

void TFcCheckTree::PrepareNewNodes() {
  // New nodes show an unchecked box from their first paint; set directly,
  // so nobody is asked or told.
  forms::TTreeNodes* items = Items();
  for (TTreeNode* n = items->GetFirstNode(); n; n = n->GetNext())
    if (n->StateIndex() == -1) n->SetStateIndex(csUnchecked);
}

void TFcCheckTree::Dispatch(TMessage& m) {
  switch (m.Msg) {
    case WM_PAINT:
      PrepareNewNodes();
      TFcCustomTreeView::Dispatch(m);
      return;
    default:
      TFcCustomTreeView::Dispatch(m);
  }
}

void TFcCheckTree::WndProc(TMessage& m) {
  // Space toggles on its release; as a typed character it would start an
  // incremental search, so it goes no further (not even to OnKeyPress).
  if (m.Msg == WM_CHAR && m.WParam == ' ') {
    m.Result = 0;
    return;
  }
  TFcCustomTreeView::WndProc(m);
}

}  // namespace controls
