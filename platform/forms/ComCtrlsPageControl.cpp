// The "SysTabControl32" window class and TPageControl with its TTabSheet
// pages. A click on a tab asks the parent first (WM_NOTIFY TCN_SELCHANGING,
// refused by a non-zero answer), selects it, then tells (TCN_SELCHANGE);
// TCM_SETCURSEL selects silently. Tabs sit in one row across the top.
#include <algorithm>
#include <string>
#include <vector>

#include "platform/forms/ComCtrls.h"
#include "platform/forms/Forms.h"
#include "platform/forms/StdCtrlsInternal.h"
#include "platform/win/Api.h"

namespace forms {

using namespace win;

namespace {

constexpr const char* kTabProp = "VorixTabState";
// The selected tab stands out by this much on each side.
constexpr int kLift = 2;
// Between the frame and the display area.
constexpr int kInset = 4;

struct TabItem {
  std::string text;
  int image = -1;
  LPARAM param = 0;
};

struct TabState {
  std::vector<TabItem> items;
  int cur = -1;
  HFONT font = nullptr;
};

TabState* StateOf(HWND hwnd) { return static_cast<TabState*>(GetPropA(hwnd, kTabProp)); }

int RowHeight(HWND hwnd, const TabState* st) {
  HDC dc = GetDC(hwnd);
  HGDIOBJ old = SelectObject(dc, st->font ? static_cast<HGDIOBJ>(st->font) : GetStockObject(DEFAULT_GUI_FONT));
  SIZE ext{};
  GetTextExtentPoint32A(dc, "Wg", 2, &ext);
  SelectObject(dc, old);
  ReleaseDC(hwnd, dc);
  return ext.cy + 6 + kLift;
}

std::vector<RECT> TabRects(HWND hwnd, const TabState* st) {
  std::vector<RECT> rects;
  HDC dc = GetDC(hwnd);
  HGDIOBJ old = SelectObject(dc, st->font ? static_cast<HGDIOBJ>(st->font) : GetStockObject(DEFAULT_GUI_FONT));
  int x = kLift;
  const int rowH = RowHeight(hwnd, st);
  for (const TabItem& it : st->items) {
    SIZE ext{};
    GetTextExtentPoint32A(dc, it.text.c_str(), static_cast<int>(it.text.size()), &ext);
    const int w = std::max(ext.cx + 12, 20);
    rects.push_back(RECT{x, kLift, x + w, rowH});
    x += w;
  }
  SelectObject(dc, old);
  ReleaseDC(hwnd, dc);
  return rects;
}

bool Notify(HWND hwnd, int code) {
  HWND parent = GetParent(hwnd);
  if (!parent) return false;
  NMTABHDR nm;
  nm.hwndFrom = hwnd;
  nm.idFrom = static_cast<UINT_PTR>(GetDlgCtrlID(hwnd));
  nm.code = static_cast<UINT>(code);
  return SendMessageA(parent, WM_NOTIFY, nm.idFrom, reinterpret_cast<LPARAM>(&nm)) != 0;
}

// The user's choice of a tab: asked, made, told.
void Choose(HWND hwnd, int index) {
  TabState* st = StateOf(hwnd);
  if (!st || index < 0 || index >= static_cast<int>(st->items.size()) || index == st->cur) return;
  if (Notify(hwnd, TCN_SELCHANGING) || !IsWindow(hwnd)) return;
  st = StateOf(hwnd);
  if (!st || index >= static_cast<int>(st->items.size())) return;
  st->cur = index;
  InvalidateRect(hwnd, nullptr, TRUE);
  Notify(hwnd, TCN_SELCHANGE);
}

int HitTest(HWND hwnd, const TabState* st, POINT p) {
  const std::vector<RECT> rects = TabRects(hwnd, st);
  for (size_t i = 0; i < rects.size(); ++i) {
    RECT r = rects[i];
    if (static_cast<int>(i) == st->cur) InflateRectBy(r, kLift, kLift);
    if (p.x >= r.left && p.x < r.right && p.y >= r.top && p.y < r.bottom) return static_cast<int>(i);
  }
  return -1;
}

void DrawTab(HDC dc, RECT r, const std::string& text, bool selected, bool enabled, bool focused) {
  const HBRUSH hi = GetSysColorBrush(COLOR_BTNHIGHLIGHT), shadow = GetSysColorBrush(COLOR_BTNSHADOW),
               dark = GetSysColorBrush(COLOR_3DDKSHADOW);
  RECT face{r.left + 1, r.top + 1, r.right - 1, r.bottom + (selected ? 1 : 0)};
  FillRect(dc, &face, GetSysColorBrush(COLOR_BTNFACE));
  // Left and top in the highlight with a cut corner; right in the shadows.
  RECT left{r.left, r.top + 2, r.left + 1, r.bottom};
  FillRect(dc, &left, hi);
  RECT corner{r.left + 1, r.top + 1, r.left + 2, r.top + 2};
  FillRect(dc, &corner, hi);
  RECT top{r.left + 2, r.top, r.right - 2, r.top + 1};
  FillRect(dc, &top, hi);
  RECT right1{r.right - 2, r.top + 1, r.right - 1, r.bottom};
  FillRect(dc, &right1, shadow);
  RECT right2{r.right - 1, r.top + 2, r.right, r.bottom};
  FillRect(dc, &right2, dark);
  RECT tr{r.left, r.top, r.right, r.bottom};
  if (selected) OffsetRectBy(tr, 0, -1);
  DrawStdText(dc, text, tr, DT_SINGLELINE | DT_CENTER | DT_VCENTER, enabled);
  if (focused) {
    RECT fr = r;
    InflateRectBy(fr, -3, -3);
    DrawFocusRect(dc, &fr);
  }
}

void Paint(HWND hwnd, HDC dc) {
  TabState* st = StateOf(hwnd);
  RECT client;
  GetClientRect(hwnd, &client);
  const int rowH = RowHeight(hwnd, st);
  RECT frame{client.left, rowH, client.right, client.bottom};
  DrawEdge(dc, &frame, EDGE_RAISED, BF_RECT | BF_SOFT);
  HGDIOBJ old = SelectObject(dc, st->font ? static_cast<HGDIOBJ>(st->font) : GetStockObject(DEFAULT_GUI_FONT));
  SetBkMode(dc, TRANSPARENT);
  SetTextColor(dc, GetSysColor(COLOR_BTNTEXT));
  const bool enabled = IsWindowEnabled(hwnd);
  const std::vector<RECT> rects = TabRects(hwnd, st);
  for (size_t i = 0; i < rects.size(); ++i)
    if (static_cast<int>(i) != st->cur) DrawTab(dc, rects[i], st->items[i].text, false, enabled, false);
  // The selected tab last, larger, merging into the frame below it.
  if (st->cur >= 0 && st->cur < static_cast<int>(rects.size())) {
    RECT r = rects[static_cast<size_t>(st->cur)];
    r.left -= kLift, r.top -= kLift, r.right += kLift;
    DrawTab(dc, r, st->items[static_cast<size_t>(st->cur)].text, true, enabled, GetFocus() == hwnd);
  }
  SelectObject(dc, old);
}

void FillItem(const TabItem& it, TCITEMA* item) {
  if (item->mask & TCIF_TEXT && item->pszText && item->cchTextMax > 0) {
    const size_t n = std::min(it.text.size(), static_cast<size_t>(item->cchTextMax - 1));
    it.text.copy(item->pszText, n);
    item->pszText[n] = '\0';
  }
  if (item->mask & TCIF_IMAGE) item->iImage = it.image;
  if (item->mask & TCIF_PARAM) item->lParam = it.param;
}

void TakeItem(TabItem& it, const TCITEMA* item) {
  if (item->mask & TCIF_TEXT) it.text = item->pszText ? item->pszText : "";
  if (item->mask & TCIF_IMAGE) it.image = item->iImage;
  if (item->mask & TCIF_PARAM) it.param = item->lParam;
}

}  // namespace

LRESULT TabControlProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) {
  TabState* st = StateOf(hwnd);
  if (!st && msg != WM_NCCREATE) return DefWindowProcA(hwnd, msg, wParam, lParam);
  const int count = st ? static_cast<int>(st->items.size()) : 0;
  switch (msg) {
    case WM_NCCREATE:
      if (!st) SetPropA(hwnd, kTabProp, new TabState);
      return DefWindowProcA(hwnd, msg, wParam, lParam);
    case WM_NCDESTROY:
      RemovePropA(hwnd, kTabProp);
      delete st;
      return DefWindowProcA(hwnd, msg, wParam, lParam);
    case WM_GETDLGCODE:
      return DLGC_WANTARROWS;
    case WM_SETFONT:
      st->font = reinterpret_cast<HFONT>(wParam);
      if (LOWORD(lParam)) InvalidateRect(hwnd, nullptr, TRUE);
      return 0;
    case WM_GETFONT:
      return reinterpret_cast<LRESULT>(st->font);
    case WM_ENABLE:
    case WM_SETFOCUS:
    case WM_KILLFOCUS:
      InvalidateRect(hwnd, nullptr, TRUE);
      return DefWindowProcA(hwnd, msg, wParam, lParam);
    case WM_LBUTTONDOWN: {
      const int hit = HitTest(hwnd, st, POINT{GET_X_LPARAM(lParam), GET_Y_LPARAM(lParam)});
      if (hit < 0) return 0;
      if (GetFocus() != hwnd) SetFocus(hwnd);
      Choose(hwnd, hit);
      return 0;
    }
    case WM_KEYDOWN:
      if (wParam == VK_LEFT || wParam == VK_RIGHT) {
        if (count > 0) Choose(hwnd, std::clamp(st->cur + (wParam == VK_LEFT ? -1 : 1), 0, count - 1));
        return 0;
      }
      return DefWindowProcA(hwnd, msg, wParam, lParam);
    case WM_ERASEBKGND:
      return EraseWithButtonFace(hwnd, wParam);
    case WM_PAINT:
      return PaintControlWindow(hwnd, wParam, Paint);
    case TCM_GETITEMCOUNT:
      return count;
    case TCM_INSERTITEMA: {
      if (!lParam) return -1;
      const int at = std::clamp(static_cast<int>(wParam), 0, count);
      TabItem it;
      TakeItem(it, reinterpret_cast<const TCITEMA*>(lParam));
      st->items.insert(st->items.begin() + at, it);
      if (st->cur >= at) ++st->cur;
      // The first tab is selected on its own.
      if (st->cur < 0) st->cur = 0;
      InvalidateRect(hwnd, nullptr, TRUE);
      return at;
    }
    case TCM_SETITEMA:
    case TCM_GETITEMA: {
      const int i = static_cast<int>(wParam);
      if (i < 0 || i >= count || !lParam) return FALSE;
      if (msg == TCM_GETITEMA) {
        FillItem(st->items[static_cast<size_t>(i)], reinterpret_cast<TCITEMA*>(lParam));
      } else {
        TakeItem(st->items[static_cast<size_t>(i)], reinterpret_cast<const TCITEMA*>(lParam));
        InvalidateRect(hwnd, nullptr, TRUE);
      }
      return TRUE;
    }
    case TCM_DELETEITEM: {
      const int i = static_cast<int>(wParam);
      if (i < 0 || i >= count) return FALSE;
      st->items.erase(st->items.begin() + i);
      if (st->cur > i || st->cur >= count - 1) --st->cur;
      if (st->cur < 0 && count > 1) st->cur = 0;
      InvalidateRect(hwnd, nullptr, TRUE);
      return TRUE;
    }
    case TCM_DELETEALLITEMS:
      st->items.clear();
      st->cur = -1;
      InvalidateRect(hwnd, nullptr, TRUE);
      return TRUE;
    case TCM_GETITEMRECT: {
      const int i = static_cast<int>(wParam);
      if (i < 0 || i >= count || !lParam) return FALSE;
      *reinterpret_cast<RECT*>(lParam) = TabRects(hwnd, st)[static_cast<size_t>(i)];
      return TRUE;
    }
    case TCM_GETCURSEL:
    case TCM_GETCURFOCUS:
      return st->cur;
    case TCM_SETCURSEL:
    case TCM_SETCURFOCUS: {
      const int old = st->cur;
      const int i = static_cast<int>(wParam);
      // -1 leaves no tab selected.
      if (i < -1 || i >= count) return -1;
      st->cur = i;
      if (old != i) InvalidateRect(hwnd, nullptr, TRUE);
      return old;
    }
    case TCM_HITTEST: {
      auto* info = reinterpret_cast<TCHITTESTINFO*>(lParam);
      if (!info) return -1;
      const int hit = HitTest(hwnd, st, info->pt);
      info->flags = hit < 0 ? 1u : 6u;
      return hit;
    }
    case TCM_GETROWCOUNT:
      return count > 0 ? 1 : 0;
    case TCM_ADJUSTRECT: {
      auto* r = reinterpret_cast<RECT*>(lParam);
      if (!r) return 0;
      const int top = RowHeight(hwnd, st) + kInset;
      if (wParam) {
        // From a display rectangle to the window's.
        r->left -= kInset, r->top -= top, r->right += kInset, r->bottom += kInset;
      } else {
        r->left += kInset, r->top += top, r->right -= kInset, r->bottom -= kInset;
      }
      return 0;
    }
    default:
      return DefWindowProcA(hwnd, msg, wParam, lParam);
  }
}

// ---- TTabSheet ----

TTabSheet::TTabSheet(TComponent* owner) : TWinControl(owner) {
  SetAlign(alClient);
  SetVisible(false);
  SetControlStyle(ControlStyle() + TControlStyle{csAcceptsControls});
}

TTabSheet::~TTabSheet() {
  if (pageControl_) pageControl_->RemovePage(this);
}

void TTabSheet::SetPageControl(TPageControl* pc) {
  if (pageControl_ == pc) return;
  if (pageControl_) pageControl_->RemovePage(this);
  SetParent(pc);
  if (pc) pc->InsertPage(this);
}

int TTabSheet::PageIndex() const {
  if (!pageControl_) return -1;
  const auto& pages = pageControl_->pages_;
  return static_cast<int>(std::find(pages.begin(), pages.end(), this) - pages.begin());
}

int TTabSheet::TabIndex() const {
  if (!pageControl_ || !tabVisible_) return -1;
  int i = 0;
  for (TTabSheet* p : pageControl_->pages_) {
    if (p == this) return i;
    if (p->tabVisible_) ++i;
  }
  return -1;
}

void TTabSheet::SetTabVisible(bool v) {
  if (tabVisible_ == v) return;
  tabVisible_ = v;
  if (pageControl_) pageControl_->UpdateTabs();
}

void TTabSheet::Dispatch(TMessage& m) {
  if (m.Msg == CM_TEXTCHANGED && pageControl_) pageControl_->UpdateTabs();
  TWinControl::Dispatch(m);
}

// ---- TPageControl ----

TPageControl::TPageControl(TComponent* owner) : TWinControl(owner) {
  RegisterComCtrlClasses();
  SetBounds(0, 0, 289, 193);
  SetTabStop(true);
  SetControlStyle(ControlStyle() + TControlStyle{csAcceptsControls});
}

TPageControl::~TPageControl() {
  // The pages go with their parent; they must not come back to us.
  for (TTabSheet* p : pages_) p->pageControl_ = nullptr;
  pages_.clear();
  activePage_ = nullptr;
}

TTabSheet* TPageControl::Pages(int index) const {
  return index >= 0 && index < PageCount() ? pages_[static_cast<size_t>(index)] : nullptr;
}

void TPageControl::CreateParams(TCreateParams& p) {
  TWinControl::CreateParams(p);
  CreateSubClass(p, "SysTabControl32");
  p.Style |= WS_CLIPCHILDREN;
}

void TPageControl::CreateWnd() {
  TWinControl::CreateWnd();
  SendMessageA(Handle(), WM_SETFONT, reinterpret_cast<WPARAM>(Font()->Handle()), FALSE);
  UpdateTabs();
  Realign();
}

void TPageControl::InsertPage(TTabSheet* page) {
  pages_.push_back(page);
  page->pageControl_ = this;
  UpdateTabs();
  if (!activePage_) ShowPage(page);
}

void TPageControl::RemovePage(TTabSheet* page) {
  auto it = std::find(pages_.begin(), pages_.end(), page);
  if (it == pages_.end()) return;
  TTabSheet* next = page == activePage_ ? FindNextPage(page, true, false) : activePage_;
  if (next == page) next = nullptr;
  pages_.erase(it);
  page->pageControl_ = nullptr;
  if (page == activePage_) {
    activePage_ = nullptr;
    ShowPage(next);
  }
  UpdateTabs();
}

void TPageControl::UpdateTabs() {
  if (!HandleAllocated()) return;
  HWND h = Handle();
  SendMessageA(h, TCM_DELETEALLITEMS, 0, 0);
  for (TTabSheet* p : pages_) {
    if (!p->tabVisible_) continue;
    String text = p->Caption();
    TCITEMA item;
    item.mask = TCIF_TEXT | TCIF_PARAM;
    item.pszText = text.data();
    item.lParam = reinterpret_cast<LPARAM>(p);
    SendMessageA(h, TCM_INSERTITEMA, static_cast<WPARAM>(SendMessageA(h, TCM_GETITEMCOUNT, 0, 0)),
                 reinterpret_cast<LPARAM>(&item));
  }
  SendMessageA(h, TCM_SETCURSEL, static_cast<WPARAM>(activePage_ ? activePage_->TabIndex() : -1), 0);
  Invalidate();
}

void TPageControl::ShowPage(TTabSheet* page) {
  if (page == activePage_) return;
  TTabSheet* old = activePage_;
  activePage_ = page;
  if (page) {
    page->BringToFront();
    page->SetVisible(true);
    // A page whose tab is hidden shows with no tab selected.
    if (HandleAllocated()) SendMessageA(Handle(), TCM_SETCURSEL, static_cast<WPARAM>(page->TabIndex()), 0);
  }
  // The focus does not stay on a page going out of sight.
  if (old) {
    if (TCustomForm* form = GetParentForm())
      if (form->ActiveControl() && old->ContainsControl(form->ActiveControl()) && CanFocus()) SetFocus();
    old->SetVisible(false);
  }
}

void TPageControl::SetActivePage(TTabSheet* page) {
  if (page && page->pageControl_ != this) return;
  ShowPage(page);
}

void TPageControl::SetActivePageIndex(int index) { SetActivePage(Pages(index)); }

TTabSheet* TPageControl::FindNextPage(TTabSheet* current, bool goForward, bool checkTabVisible) const {
  if (pages_.empty()) return nullptr;
  const int n = PageCount();
  auto at = std::find(pages_.begin(), pages_.end(), current);
  int start = at == pages_.end() ? (goForward ? n - 1 : 0) : static_cast<int>(at - pages_.begin());
  int i = start;
  for (int k = 0; k < n; ++k) {
    i = (i + (goForward ? 1 : n - 1)) % n;
    TTabSheet* p = pages_[static_cast<size_t>(i)];
    if (!checkTabVisible || p->tabVisible_) return p;
  }
  return nullptr;
}

bool TPageControl::OwnsFocus() const {
  if (Focused()) return true;
  TCustomForm* form = GetParentForm();
  TWinControl* active = form ? form->ActiveControl() : nullptr;
  return active && activePage_ && activePage_->ContainsControl(active);
}

void TPageControl::SelectNextPage(bool goForward) {
  TTabSheet* next = FindNextPage(activePage_, goForward, true);
  if (!next || next == activePage_) return;
  bool allow = true;
  if (OnChanging) OnChanging(this, allow);
  if (!allow) return;
  ShowPage(next);
  if (OnChange) OnChange(this);
}

void TPageControl::AdjustClientRect(TRect& rect) const {
  TWinControl::AdjustClientRect(rect);
  if (!HandleAllocated()) return;
  SendMessageA(const_cast<TPageControl*>(this)->Handle(), TCM_ADJUSTRECT, FALSE, reinterpret_cast<LPARAM>(&rect));
}

void TPageControl::Dispatch(TMessage& m) {
  switch (m.Msg) {
    case CN_NOTIFY: {
      const auto* nm = reinterpret_cast<const NMTABHDR*>(m.LParam);
      if (nm && nm->code == static_cast<UINT>(TCN_SELCHANGING)) {
        bool allow = true;
        if (OnChanging) OnChanging(this, allow);
        m.Result = allow ? 0 : 1;
        return;
      }
      if (nm && nm->code == static_cast<UINT>(TCN_SELCHANGE)) {
        const int tab = static_cast<int>(SendMessageA(Handle(), TCM_GETCURSEL, 0, 0));
        TCITEMA item;
        item.mask = TCIF_PARAM;
        if (tab >= 0 && SendMessageA(Handle(), TCM_GETITEMA, static_cast<WPARAM>(tab), reinterpret_cast<LPARAM>(&item)))
          ShowPage(reinterpret_cast<TTabSheet*>(item.lParam));
        if (OnChange) OnChange(this);
        m.Result = 0;
        return;
      }
      break;
    }
    case CM_DIALOGKEY:
      // Ctrl+Tab and Ctrl+Shift+Tab turn the pages from anywhere on them.
      if (m.WParam == VK_TAB && GetKeyState(VK_CONTROL) < 0 && activePage_ && OwnsFocus()) {
        SelectNextPage(GetKeyState(VK_SHIFT) >= 0);
        m.Result = 1;
        return;
      }
      break;
    case CM_FONTCHANGED:
      if (HandleAllocated()) SendMessageA(Handle(), WM_SETFONT, reinterpret_cast<WPARAM>(Font()->Handle()), TRUE);
      Realign();
      break;
    default:
      break;
  }
  TWinControl::Dispatch(m);
}

}  // namespace forms
