// The "LISTBOX" and "COMBOBOX" window classes. A combo box owns a list
// window of the class "ComboLBox" (the list box's procedure) that keeps
// its items: a popup it drops on WM_LBUTTONDOWN, or for the simple style
// a child always shown; the drop-down style also has an "EDIT" child.
// Both windows can be subclassed on their own.
#include <algorithm>
#include <cstring>

#include "platform/forms/StdCtrls.h"
#include "platform/forms/StdCtrlsInternal.h"
#include "platform/win/Api.h"

namespace forms {

using namespace win;

namespace {

constexpr const char* kListProp = "VorixListState";
constexpr const char* kComboProp = "VorixComboState";

struct Item {
  String text;
  LPARAM data = 0;
  bool selected = false;
  int height = 0;  // measured by the owner of a variable-height list
};

struct ListState {
  std::vector<Item> items;
  int cur = -1;  // the selection of a single-selection list; the caret of a multiple one
  int top = 0;
  int itemHeight = 0;
  HFONT font = nullptr;
  HWND notify = nullptr;  // where notifications go: the parent, or the combo box
  bool combo = false;
  bool tracking = false;
};

ListState* ListOf(HWND h) { return static_cast<ListState*>(GetPropA(h, kListProp)); }
DWORD StyleOf(HWND h) { return static_cast<DWORD>(GetWindowLongA(h, GWL_STYLE)); }
bool Multi(HWND h) { return (StyleOf(h) & (LBS_MULTIPLESEL | LBS_EXTENDEDSEL)) != 0; }

HGDIOBJ FontOr(HFONT f) { return f ? static_cast<HGDIOBJ>(f) : GetStockObject(DEFAULT_GUI_FONT); }

int FontHeight(HWND h, HFONT font) {
  HDC dc = GetDC(h);
  HGDIOBJ old = SelectObject(dc, FontOr(font));
  TEXTMETRICW tm{};
  GetTextMetricsW(dc, &tm);
  SelectObject(dc, old);
  ReleaseDC(h, dc);
  return std::max<int>(1, tm.tmHeight);
}

int ItemHeight(HWND h, ListState* st) {
  if (st->itemHeight <= 0) st->itemHeight = FontHeight(h, st->font);
  return st->itemHeight;
}

bool OwnerDrawn(HWND h) { return (StyleOf(h) & (LBS_OWNERDRAWFIXED | LBS_OWNERDRAWVARIABLE)) != 0; }
bool Variable(HWND h) { return (StyleOf(h) & LBS_OWNERDRAWVARIABLE) != 0; }

int RowHeight(HWND h, ListState* st, int i) {
  if (Variable(h) && i >= 0 && i < static_cast<int>(st->items.size()) && st->items[static_cast<size_t>(i)].height > 0)
    return st->items[static_cast<size_t>(i)].height;
  return ItemHeight(h, st);
}

// The row's top edge in client coordinates (rows above the top are above 0).
int RowTop(HWND h, ListState* st, int i) {
  if (!Variable(h)) return (i - st->top) * ItemHeight(h, st);
  int y = 0;
  for (int k = st->top; k < i; ++k) y += RowHeight(h, st, k);
  for (int k = i; k < st->top; ++k) y -= RowHeight(h, st, k);
  return y;
}

RECT RowRect(HWND h, ListState* st, int i) {
  RECT c;
  GetClientRect(h, &c);
  const int y = RowTop(h, st, i);
  return RECT{0, y, c.right, y + RowHeight(h, st, i)};
}

// The row under a client y, which may lie past the last row.
int RowAt(HWND h, ListState* st, int y) {
  if (!Variable(h)) return st->top + (y < 0 ? -1 : y / ItemHeight(h, st));
  if (y < 0) return st->top - 1;
  int i = st->top, top = 0;
  while (i < static_cast<int>(st->items.size()) && top + RowHeight(h, st, i) <= y) top += RowHeight(h, st, i++);
  return i;
}

int VisibleCount(HWND h, ListState* st) {
  RECT r;
  GetClientRect(h, &r);
  if (!Variable(h)) return std::max(1, static_cast<int>(r.bottom) / ItemHeight(h, st));
  int n = 0, y = 0;
  for (int i = st->top; i < static_cast<int>(st->items.size()); ++i) {
    y += RowHeight(h, st, i);
    if (y > r.bottom) break;
    ++n;
  }
  return std::max(1, n);
}

// Owner drawing speaks for the list box itself, or for the combo box that
// owns the list, to that control's parent.
struct Owner {
  HWND control{};
  HWND parent{};
  UINT type = 0;
};

Owner OwnerOf(HWND h, ListState* st) {
  Owner o;
  o.control = st->combo ? st->notify : h;
  o.parent = o.control ? GetParent(o.control) : nullptr;
  o.type = st->combo ? ODT_COMBOBOX : ODT_LISTBOX;
  return o;
}

void Measure(HWND h, ListState* st, int i) {
  const Owner o = OwnerOf(h, st);
  if (!o.parent) return;
  MEASUREITEMSTRUCT mis;
  mis.CtlType = o.type;
  mis.CtlID = static_cast<UINT>(GetDlgCtrlID(o.control));
  mis.itemID = static_cast<UINT>(i);
  mis.itemHeight = static_cast<UINT>(ItemHeight(h, st));
  mis.itemData = static_cast<ULONG_PTR>(st->items[static_cast<size_t>(i)].data);
  SendMessageA(o.parent, WM_MEASUREITEM, mis.CtlID, reinterpret_cast<LPARAM>(&mis));
  if (ListState* again = ListOf(h); again && i < static_cast<int>(again->items.size()))
    again->items[static_cast<size_t>(i)].height = std::max(1, static_cast<int>(mis.itemHeight));
}

void DrawOwnerItem(HWND h, ListState* st, HDC dc, int i, const RECT& r, UINT state, UINT action) {
  const Owner o = OwnerOf(h, st);
  if (!o.parent) return;
  DRAWITEMSTRUCT dis;
  dis.CtlType = o.type;
  dis.CtlID = static_cast<UINT>(GetDlgCtrlID(o.control));
  dis.itemID = static_cast<UINT>(i);
  dis.itemAction = action;
  dis.itemState = state;
  dis.hwndItem = o.control;
  dis.hDC = dc;
  dis.rcItem = r;
  dis.itemData = i >= 0 && i < static_cast<int>(st->items.size())
                     ? static_cast<ULONG_PTR>(st->items[static_cast<size_t>(i)].data)
                     : 0;
  SendMessageA(o.parent, WM_DRAWITEM, dis.CtlID, reinterpret_cast<LPARAM>(&dis));
}

void NotifyFrom(HWND target, HWND from, int code) {
  if (!target) return;
  SendMessageA(target, WM_COMMAND, MAKEWPARAM(static_cast<WORD>(GetDlgCtrlID(from)), static_cast<WORD>(code)),
               reinterpret_cast<LPARAM>(from));
}

void ListNotify(HWND h, ListState* st, int code) {
  // A plain list box tells only with LBS_NOTIFY; a combo's list tells its
  // combo only of the release that chooses (the combo drives the keys).
  if (!st->combo && (StyleOf(h) & LBS_NOTIFY)) NotifyFrom(st->notify, h, code);
}

void UpdateListScroll(HWND h, ListState* st) {
  if (!(StyleOf(h) & WS_VSCROLL)) return;
  SCROLLINFO si;
  si.fMask = SIF_RANGE | SIF_PAGE | SIF_POS;
  si.nMin = 0;
  si.nMax = static_cast<int>(st->items.size()) - 1;
  si.nPage = static_cast<UINT>(VisibleCount(h, st));
  si.nPos = st->top;
  SetScrollInfo(h, SB_VERT, &si, TRUE);
}

void SetTop(HWND h, ListState* st, int top) {
  const int maxTop = std::max(0, static_cast<int>(st->items.size()) - VisibleCount(h, st));
  st->top = std::clamp(top, 0, maxTop);
  UpdateListScroll(h, st);
  InvalidateRect(h, nullptr, TRUE);
}

void EnsureVisible(HWND h, ListState* st, int index) {
  if (index < 0) return;
  const int visible = VisibleCount(h, st);
  if (index < st->top) SetTop(h, st, index);
  else if (index >= st->top + visible) SetTop(h, st, index - visible + 1);
}

int CompareText(const String& a, const String& b) {
  const size_t n = std::min(a.size(), b.size());
  for (size_t i = 0; i < n; ++i) {
    const int ca = std::tolower(static_cast<unsigned char>(a[i])), cb = std::tolower(static_cast<unsigned char>(b[i]));
    if (ca != cb) return ca - cb;
  }
  return static_cast<int>(a.size()) - static_cast<int>(b.size());
}

int Find(const ListState* st, int after, const char* s, bool exact) {
  const int n = static_cast<int>(st->items.size());
  if (n == 0 || !s) return -1;
  const String want(s);
  for (int k = 1; k <= n; ++k) {
    const int i = (after + k + n) % n;
    const String& t = st->items[static_cast<size_t>(i)].text;
    const bool hit = exact ? CompareText(t, want) == 0 : CompareText(t.substr(0, want.size()), want) == 0;
    if (hit) return i;
  }
  return -1;
}

void Select(HWND h, ListState* st, int index) {
  if (Multi(h)) {
    st->cur = index;
  } else {
    st->cur = index;
  }
  EnsureVisible(h, st, index);
  InvalidateRect(h, nullptr, TRUE);
}

void PaintList(HWND h, HDC dc) {
  ListState* st = ListOf(h);
  RECT client;
  GetClientRect(h, &client);
  const bool enabled = IsWindowEnabled(h);
  HBRUSH bg = nullptr;
  if (!st->combo && GetParent(h))
    bg = reinterpret_cast<HBRUSH>(SendMessageA(GetParent(h), WM_CTLCOLORLISTBOX, reinterpret_cast<WPARAM>(dc),
                                               reinterpret_cast<LPARAM>(h)));
  if (!bg) bg = GetSysColorBrush(COLOR_WINDOW);
  FillRect(dc, &client, bg);
  HGDIOBJ old = SelectObject(dc, FontOr(st->font));
  SetBkMode(dc, TRANSPARENT);
  const bool focused = GetFocus() == h || st->combo;
  const bool owner = OwnerDrawn(h);
  for (int i = st->top; i < static_cast<int>(st->items.size()); ++i) {
    const RECT r = RowRect(h, st, i);
    const int y = r.top, ih = r.bottom - r.top;
    if (y >= client.bottom) break;
    const bool sel = Multi(h) ? st->items[static_cast<size_t>(i)].selected : i == st->cur;
    if (owner) {
      UINT state = (sel ? ODS_SELECTED : 0) | (enabled ? 0 : ODS_DISABLED);
      if (i == st->cur && GetFocus() == h) state |= ODS_FOCUS;
      DrawOwnerItem(h, st, dc, i, r, state, ODA_DRAWENTIRE);
      st = ListOf(h);
      if (!st) return;
      continue;
    }
    if (sel) FillRect(dc, &r, GetSysColorBrush(COLOR_HIGHLIGHT));
    SetTextColor(dc, GetSysColor(!enabled ? COLOR_GRAYTEXT : sel ? COLOR_HIGHLIGHTTEXT : COLOR_WINDOWTEXT));
    RECT tr{2, y, client.right - 2, y + ih};
    const String& text = st->items[static_cast<size_t>(i)].text;
    DrawTextA(dc, text.c_str(), -1, &tr, DT_SINGLELINE | DT_VCENTER | DT_NOPREFIX);
    if (focused && i == st->cur && GetFocus() == h) DrawFocusRect(dc, &r);
  }
  SelectObject(dc, old);
}

int Insert(HWND h, ListState* st, int index, const char* text, bool sortable) {
  Item item;
  item.text = text ? text : "";
  int at = index < 0 ? static_cast<int>(st->items.size()) : index;
  if (at > static_cast<int>(st->items.size())) return LB_ERR;
  if (sortable && (StyleOf(h) & LBS_SORT)) {
    at = 0;
    while (at < static_cast<int>(st->items.size()) && CompareText(st->items[static_cast<size_t>(at)].text, item.text) <= 0)
      ++at;
  }
  st->items.insert(st->items.begin() + at, item);
  if (st->cur >= at) ++st->cur;
  if (Variable(h)) {
    Measure(h, st, at);
    st = ListOf(h);
    if (!st) return LB_ERR;
  }
  UpdateListScroll(h, st);
  InvalidateRect(h, nullptr, TRUE);
  return at;
}

LRESULT ListProc(HWND h, UINT msg, WPARAM wParam, LPARAM lParam) {
  ListState* st = ListOf(h);
  if (!st && msg != WM_NCCREATE) return DefWindowProcA(h, msg, wParam, lParam);
  const int count = st ? static_cast<int>(st->items.size()) : 0;
  auto valid = [&](WPARAM i) { return static_cast<int>(i) >= 0 && static_cast<int>(i) < count; };
  switch (msg) {
    case WM_NCCREATE: {
      st = new ListState;
      SetPropA(h, kListProp, st);
      const auto* cs = reinterpret_cast<const CREATESTRUCTA*>(lParam);
      st->combo = cs && cs->lpCreateParams == reinterpret_cast<void*>(1);
      st->notify = cs ? cs->hwndParent : nullptr;
      if (st->combo && !st->notify && cs) st->notify = GetWindow(h, GW_OWNER);
      return DefWindowProcA(h, msg, wParam, lParam);
    }
    case WM_NCDESTROY:
      RemovePropA(h, kListProp);
      delete st;
      return DefWindowProcA(h, msg, wParam, lParam);
    case WM_GETDLGCODE:
      return DLGC_WANTARROWS | DLGC_WANTCHARS;
    case WM_SETFONT:
      st->font = reinterpret_cast<HFONT>(wParam);
      st->itemHeight = 0;
      InvalidateRect(h, nullptr, TRUE);
      return 0;
    case WM_GETFONT:
      return reinterpret_cast<LRESULT>(st->font);
    case WM_SIZE:
      SetTop(h, st, st->top);
      return 0;
    case LB_ADDSTRING:
      return Insert(h, st, -1, reinterpret_cast<const char*>(lParam), true);
    case LB_INSERTSTRING:
      return Insert(h, st, static_cast<int>(static_cast<intptr_t>(wParam)), reinterpret_cast<const char*>(lParam),
                    false);
    case LB_DELETESTRING: {
      if (!valid(wParam)) return LB_ERR;
      const int i = static_cast<int>(wParam);
      st->items.erase(st->items.begin() + i);
      if (st->cur == i) st->cur = -1;
      else if (st->cur > i) --st->cur;
      SetTop(h, st, st->top);
      return static_cast<LRESULT>(st->items.size());
    }
    case LB_RESETCONTENT:
      st->items.clear();
      st->cur = -1;
      SetTop(h, st, 0);
      return 0;
    case LB_GETCOUNT:
      return count;
    case LB_SETCOUNT: {
      // Only a list without data of its own: its owner draws row i from i.
      if (!(StyleOf(h) & LBS_NODATA) || static_cast<intptr_t>(wParam) < 0) return LB_ERR;
      st->items.assign(wParam, Item{});
      if (st->cur >= static_cast<int>(wParam)) st->cur = -1;
      SetTop(h, st, st->top);
      return 0;
    }
    case LB_GETTEXT:
      if (!valid(wParam) || !lParam) return LB_ERR;
      std::strcpy(reinterpret_cast<char*>(lParam), st->items[wParam].text.c_str());
      return static_cast<LRESULT>(st->items[wParam].text.size());
    case LB_GETTEXTLEN:
      return valid(wParam) ? static_cast<LRESULT>(st->items[wParam].text.size()) : LB_ERR;
    case LB_GETITEMDATA:
      return valid(wParam) ? st->items[wParam].data : LB_ERR;
    case LB_SETITEMDATA:
      if (!valid(wParam)) return LB_ERR;
      st->items[wParam].data = lParam;
      return 0;
    case LB_GETCURSEL:
      if (Multi(h)) return st->cur;
      return st->cur;
    case LB_SETCURSEL: {
      if (Multi(h)) return LB_ERR;
      const int i = valid(wParam) ? static_cast<int>(wParam) : -1;
      Select(h, st, i);
      return i < 0 && static_cast<int>(static_cast<intptr_t>(wParam)) != -1 ? LB_ERR : i;
    }
    case LB_GETSEL:
      if (!valid(wParam)) return LB_ERR;
      return Multi(h) ? st->items[wParam].selected : static_cast<int>(wParam) == st->cur;
    case LB_SETSEL: {
      if (!Multi(h)) return LB_ERR;
      const int i = static_cast<int>(static_cast<intptr_t>(lParam));
      if (i == -1) {
        for (Item& it : st->items) it.selected = wParam != 0;
      } else if (valid(static_cast<WPARAM>(i))) {
        st->items[static_cast<size_t>(i)].selected = wParam != 0;
        st->cur = i;
      } else {
        return LB_ERR;
      }
      InvalidateRect(h, nullptr, TRUE);
      return 0;
    }
    case LB_SELITEMRANGE: {
      if (!Multi(h)) return LB_ERR;
      const int a = LOWORD(static_cast<uintptr_t>(lParam)), b = HIWORD(static_cast<uintptr_t>(lParam));
      for (int i = std::min(a, b); i <= std::max(a, b) && i < count; ++i) st->items[static_cast<size_t>(i)].selected = wParam != 0;
      InvalidateRect(h, nullptr, TRUE);
      return 0;
    }
    case LB_GETSELCOUNT: {
      if (!Multi(h)) return LB_ERR;
      return std::count_if(st->items.begin(), st->items.end(), [](const Item& it) { return it.selected; });
    }
    case LB_GETSELITEMS: {
      if (!Multi(h)) return LB_ERR;
      int* out = reinterpret_cast<int*>(lParam);
      int n = 0;
      for (int i = 0; i < count && n < static_cast<int>(wParam); ++i)
        if (st->items[static_cast<size_t>(i)].selected) out[n++] = i;
      return n;
    }
    case LB_GETTOPINDEX:
      return st->top;
    case LB_SETTOPINDEX:
      if (!valid(wParam) && wParam != 0) return LB_ERR;
      SetTop(h, st, static_cast<int>(wParam));
      return 0;
    case LB_GETCARETINDEX:
      return st->cur;
    case LB_SETCARETINDEX:
      if (!valid(wParam)) return LB_ERR;
      st->cur = static_cast<int>(wParam);
      EnsureVisible(h, st, st->cur);
      return 0;
    case LB_GETITEMHEIGHT:
      if (Variable(h) && count > 0) return valid(wParam) ? RowHeight(h, st, static_cast<int>(wParam)) : LB_ERR;
      return ItemHeight(h, st);
    case LB_SETITEMHEIGHT:
      if (LOWORD(static_cast<uintptr_t>(lParam)) == 0) return LB_ERR;
      if (Variable(h) && count > 0) {
        if (!valid(wParam)) return LB_ERR;
        st->items[wParam].height = LOWORD(static_cast<uintptr_t>(lParam));
        SetTop(h, st, st->top);
        return 0;
      }
      st->itemHeight = std::max(1, static_cast<int>(LOWORD(static_cast<uintptr_t>(lParam))));
      SetTop(h, st, st->top);
      return 0;
    case LB_GETITEMRECT: {
      if (!valid(wParam) || !lParam) return LB_ERR;
      *reinterpret_cast<RECT*>(lParam) = RowRect(h, st, static_cast<int>(wParam));
      return 0;
    }
    case LB_ITEMFROMPOINT: {
      const int y = GET_Y_LPARAM(lParam);
      const int i = RowAt(h, st, y);
      RECT c;
      GetClientRect(h, &c);
      const bool outside = y < 0 || y >= c.bottom || i >= count;
      return MAKELONG(static_cast<WORD>(std::clamp(i, 0, std::max(0, count - 1))), outside ? 1 : 0);
    }
    case LB_FINDSTRING:
    case LB_FINDSTRINGEXACT:
      return Find(st, static_cast<int>(static_cast<intptr_t>(wParam)), reinterpret_cast<const char*>(lParam),
                  msg == LB_FINDSTRINGEXACT);
    case LB_SELECTSTRING: {
      const int i = Find(st, static_cast<int>(static_cast<intptr_t>(wParam)), reinterpret_cast<const char*>(lParam), false);
      if (i >= 0 && !Multi(h)) Select(h, st, i);
      return i;
    }
    case LB_SETTABSTOPS:
    case LB_SETCOLUMNWIDTH:
      return TRUE;
    case WM_LBUTTONDOWN:
    case WM_LBUTTONDBLCLK:
    case WM_MOUSEMOVE: {
      if (msg == WM_MOUSEMOVE && !st->tracking && !st->combo) return 0;
      if (msg != WM_MOUSEMOVE && !st->combo && GetFocus() != h) SetFocus(h);
      st = ListOf(h);
      if (!st) return 0;
      const int y = GET_Y_LPARAM(lParam);
      const int i = RowAt(h, st, y);
      if (i < 0 || i >= static_cast<int>(st->items.size()) || y < 0) return 0;
      if (msg == WM_LBUTTONDBLCLK) {
        ListNotify(h, st, LBN_DBLCLK);
        return 0;
      }
      if (Multi(h) && msg == WM_LBUTTONDOWN) {
        st->items[static_cast<size_t>(i)].selected = !st->items[static_cast<size_t>(i)].selected;
        st->cur = i;
        InvalidateRect(h, nullptr, TRUE);
        ListNotify(h, st, LBN_SELCHANGE);
        return 0;
      }
      if (i != st->cur) {
        Select(h, st, i);
        // A dropped list follows the pointer; it tells its combo on release.
        if (!st->combo) ListNotify(h, st, LBN_SELCHANGE);
      }
      if (msg == WM_LBUTTONDOWN && !st->combo) {
        st->tracking = true;
        SetCapture(h);
      }
      return 0;
    }
    case WM_LBUTTONUP:
      if (st->combo) {
        // The combo hears the choice (LBN_SELCHANGE ends the drop).
        NotifyFrom(st->notify, h, LBN_SELCHANGE);
        return 0;
      }
      if (st->tracking) {
        st->tracking = false;
        if (GetCapture() == h) ReleaseCapture();
      }
      return 0;
    case WM_KEYDOWN: {
      if (count == 0) return 0;
      int i = st->cur;
      const int page = VisibleCount(h, st);
      switch (wParam) {
        case VK_UP: i = std::max(0, i - 1); break;
        case VK_DOWN: i = std::min(count - 1, i + 1); break;
        case VK_HOME: i = 0; break;
        case VK_END: i = count - 1; break;
        case VK_PRIOR: i = std::max(0, i - page + 1); break;
        case VK_NEXT: i = std::min(count - 1, std::max(0, i) + page - 1); break;
        case VK_SPACE:
          if (Multi(h) && valid(static_cast<WPARAM>(st->cur))) {
            st->items[static_cast<size_t>(st->cur)].selected = !st->items[static_cast<size_t>(st->cur)].selected;
            InvalidateRect(h, nullptr, TRUE);
            ListNotify(h, st, LBN_SELCHANGE);
          }
          return 0;
        default: return 0;
      }
      if (i == st->cur) return 0;
      Select(h, st, i);
      ListNotify(h, st, LBN_SELCHANGE);
      return 0;
    }
    case WM_CHAR: {
      // A typed letter moves to the next item starting with it.
      if (wParam < 0x20 || count == 0) return 0;
      const char s[2] = {static_cast<char>(wParam), 0};
      const int i = Find(st, st->cur, s, false);
      if (i >= 0 && i != st->cur) {
        Select(h, st, i);
        ListNotify(h, st, LBN_SELCHANGE);
      }
      return 0;
    }
    case WM_VSCROLL:
    case WM_MOUSEWHEEL: {
      int top = st->top;
      const int page = VisibleCount(h, st);
      if (msg == WM_MOUSEWHEEL) top -= 3 * static_cast<int16_t>(HIWORD(wParam)) / WHEEL_DELTA;
      else switch (LOWORD(wParam)) {
          case SB_LINEUP: --top; break;
          case SB_LINEDOWN: ++top; break;
          case SB_PAGEUP: top -= page; break;
          case SB_PAGEDOWN: top += page; break;
          case SB_THUMBTRACK:
          case SB_THUMBPOSITION: top = static_cast<int16_t>(HIWORD(wParam)); break;
          case SB_TOP: top = 0; break;
          case SB_BOTTOM: top = count; break;
          default: break;
        }
      SetTop(h, st, top);
      return 0;
    }
    case WM_SETFOCUS:
    case WM_KILLFOCUS:
      InvalidateRect(h, nullptr, TRUE);
      ListNotify(h, st, msg == WM_SETFOCUS ? LBN_SETFOCUS : LBN_KILLFOCUS);
      return 0;
    case WM_ERASEBKGND:
      return 1;
    case WM_PAINT: {
      if (wParam) {
        PaintList(h, reinterpret_cast<HDC>(wParam));
        return 0;
      }
      PAINTSTRUCT ps;
      HDC dc = BeginPaint(h, &ps);
      PaintList(h, dc);
      EndPaint(h, &ps);
      return 0;
    }
    default:
      return DefWindowProcA(h, msg, wParam, lParam);
  }
}

// ---- combo box ----

struct ComboState {
  HWND list = nullptr;
  HWND edit = nullptr;
  bool dropped = false;
  int droppedWidth = 0;
  bool syncing = false;  // the edit's text is being set to the selection
  HFONT font = nullptr;
  int selAtDrop = -1;
};

ComboState* ComboOf(HWND h) { return static_cast<ComboState*>(GetPropA(h, kComboProp)); }

constexpr const char* kEditNextProp = "VorixComboEditNext";

// The combo's edit hands the keys that move in the list to the combo.
LRESULT ComboEditProc(HWND h, UINT msg, WPARAM wParam, LPARAM lParam) {
  auto next = reinterpret_cast<WNDPROC>(GetPropA(h, kEditNextProp));
  HWND combo = GetParent(h);
  ComboState* cs = combo ? ComboOf(combo) : nullptr;
  if (cs && (msg == WM_KEYDOWN || msg == WM_SYSKEYDOWN)) {
    const bool listKey = wParam == VK_UP || wParam == VK_DOWN || wParam == VK_PRIOR || wParam == VK_NEXT ||
                         wParam == VK_F4;
    if ((listKey && (msg == WM_KEYDOWN || wParam != VK_F4)) ||
        (cs->dropped && (wParam == VK_RETURN || wParam == VK_ESCAPE))) {
      SendMessageA(combo, WM_KEYDOWN, wParam, lParam);
      return 0;
    }
  }
  if (msg == WM_NCDESTROY) RemovePropA(h, kEditNextProp);
  return next ? CallWindowProcA(next, h, msg, wParam, lParam) : DefWindowProcA(h, msg, wParam, lParam);
}
DWORD ComboType(HWND h) { return StyleOf(h) & 0x3; }

void ComboNotify(HWND h, int code) { NotifyFrom(GetParent(h), h, code); }

int ListCount(ComboState* cs) { return static_cast<int>(SendMessageA(cs->list, LB_GETCOUNT, 0, 0)); }
int ListSel(ComboState* cs) { return static_cast<int>(SendMessageA(cs->list, LB_GETCURSEL, 0, 0)); }

String ItemText(ComboState* cs, int i) {
  const LRESULT len = SendMessageA(cs->list, LB_GETTEXTLEN, static_cast<WPARAM>(i), 0);
  if (len < 0) return String();
  String s(static_cast<size_t>(len) + 1, '\0');
  SendMessageA(cs->list, LB_GETTEXT, static_cast<WPARAM>(i), reinterpret_cast<LPARAM>(s.data()));
  s.resize(static_cast<size_t>(len));
  return s;
}

// The combo's text follows its selection.
void SyncText(HWND h, ComboState* cs) {
  const int i = ListSel(cs);
  const String text = i >= 0 ? ItemText(cs, i) : String();
  if (cs->edit) {
    // Not an edit by the user: no CBN_EDITCHANGE.
    cs->syncing = true;
    SetWindowTextA(cs->edit, text.c_str());
    cs->syncing = false;
    SendMessageA(cs->edit, EM_SETSEL, 0, -1);
  } else {
    DefWindowProcA(h, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(text.c_str()));
  }
  InvalidateRect(h, nullptr, TRUE);
}

int ButtonWidth() { return GetSystemMetrics(SM_CXVSCROLL); }

void CloseUp(HWND h, ComboState* cs, bool accept) {
  if (!cs->dropped) return;
  cs->dropped = false;
  ShowWindow(cs->list, SW_HIDE);
  if (GetCapture() == h) ReleaseCapture();
  if (!accept && ListSel(cs) != cs->selAtDrop) {
    SendMessageA(cs->list, LB_SETCURSEL, static_cast<WPARAM>(cs->selAtDrop), 0);
  }
  InvalidateRect(h, nullptr, TRUE);
  ComboNotify(h, CBN_CLOSEUP);
  if (!IsWindow(h)) return;
  if (accept && ListSel(cs) != cs->selAtDrop) {
    SyncText(h, cs);
    ComboNotify(h, CBN_SELCHANGE);
  }
}

void DropDown(HWND h, ComboState* cs) {
  if (cs->dropped || ComboType(h) == CBS_SIMPLE) return;
  // Placed first at eight rows under the combo; whoever hears CBN_DROPDOWN
  // may size it again before it shows.
  RECT wr;
  GetWindowRect(h, &wr);
  const int ih = static_cast<int>(SendMessageA(cs->list, LB_GETITEMHEIGHT, 0, 0));
  const int rows = std::clamp(ListCount(cs), 1, 8);
  const int width = std::max<int>(cs->droppedWidth, wr.right - wr.left);
  SetWindowPos(cs->list, HWND_TOPMOST, wr.left, wr.bottom, width, rows * ih + 2, SWP_NOACTIVATE);
  ComboNotify(h, CBN_DROPDOWN);
  if (!IsWindow(h)) return;
  cs->selAtDrop = ListSel(cs);
  cs->dropped = true;
  SendMessageA(cs->list, LB_SETTOPINDEX, static_cast<WPARAM>(std::max(0, cs->selAtDrop)), 0);
  SetWindowPos(cs->list, HWND_TOPMOST, 0, 0, 0, 0, SWP_NOACTIVATE | SWP_NOMOVE | SWP_NOSIZE | SWP_SHOWWINDOW);
  SetCapture(h);
  InvalidateRect(h, nullptr, TRUE);
}

void PaintCombo(HWND h, HDC dc) {
  ComboState* cs = ComboOf(h);
  RECT r;
  GetClientRect(h, &r);
  const bool enabled = IsWindowEnabled(h);
  if (ComboType(h) == CBS_SIMPLE) {
    FillRect(dc, &r, GetSysColorBrush(COLOR_BTNFACE));
    return;
  }
  RECT button{r.right - ButtonWidth(), r.top, r.right, r.bottom};
  DrawFrameControl(dc, &button, DFC_SCROLL,
                   DFCS_SCROLLCOMBOBOX | (cs->dropped ? DFCS_PUSHED | DFCS_FLAT : 0) | (enabled ? 0 : DFCS_INACTIVE));
  if (cs->edit) return;
  RECT face{r.left, r.top, button.left, r.bottom};
  HBRUSH bg = reinterpret_cast<HBRUSH>(SendMessageA(GetParent(h), WM_CTLCOLORLISTBOX, reinterpret_cast<WPARAM>(dc),
                                                    reinterpret_cast<LPARAM>(h)));
  FillRect(dc, &face, bg ? bg : GetSysColorBrush(COLOR_WINDOW));
  const bool focused = GetFocus() == h;
  RECT sel{face.left + 1, face.top + 1, face.right - 1, face.bottom - 1};
  if (focused && !cs->dropped) FillRect(dc, &sel, GetSysColorBrush(COLOR_HIGHLIGHT));
  HGDIOBJ old = SelectObject(dc, FontOr(cs->font));
  SetBkMode(dc, TRANSPARENT);
  SetTextColor(dc, GetSysColor(!enabled ? COLOR_GRAYTEXT : focused && !cs->dropped ? COLOR_HIGHLIGHTTEXT
                                                                                    : COLOR_WINDOWTEXT));
  const int i = ListSel(cs);
  if (StyleOf(h) & (CBS_OWNERDRAWFIXED | CBS_OWNERDRAWVARIABLE)) {
    SelectObject(dc, old);
    DRAWITEMSTRUCT dis;
    dis.CtlType = ODT_COMBOBOX;
    dis.CtlID = static_cast<UINT>(GetDlgCtrlID(h));
    dis.itemID = static_cast<UINT>(i);
    dis.itemAction = ODA_DRAWENTIRE;
    dis.itemState = ODS_COMBOBOXEDIT | (focused && !cs->dropped ? ODS_SELECTED | ODS_FOCUS : 0) |
                    (enabled ? 0 : ODS_DISABLED);
    dis.hwndItem = h;
    dis.hDC = dc;
    dis.rcItem = sel;
    dis.itemData = i >= 0 ? static_cast<ULONG_PTR>(SendMessageA(cs->list, LB_GETITEMDATA, static_cast<WPARAM>(i), 0)) : 0;
    SendMessageA(GetParent(h), WM_DRAWITEM, dis.CtlID, reinterpret_cast<LPARAM>(&dis));
    return;
  }
  const String text = i >= 0 ? ItemText(cs, i) : String();
  RECT tr{sel.left + 2, sel.top, sel.right, sel.bottom};
  DrawTextA(dc, text.c_str(), -1, &tr, DT_SINGLELINE | DT_VCENTER | DT_NOPREFIX);
  if (focused && !cs->dropped) DrawFocusRect(dc, &sel);
  SelectObject(dc, old);
}

void LayoutCombo(HWND h, ComboState* cs) {
  RECT r;
  GetClientRect(h, &r);
  const int editH = FontHeight(h, cs->font) + 6;
  if (cs->edit) {
    const int right = ComboType(h) == CBS_SIMPLE ? r.right : r.right - ButtonWidth();
    MoveWindow(cs->edit, 1, 1, std::max(0, right - 2), std::max(0, std::min<int>(editH, r.bottom) - 2), TRUE);
  }
  if (ComboType(h) == CBS_SIMPLE) MoveWindow(cs->list, 0, editH, r.right, std::max<int>(0, r.bottom - editH), TRUE);
}

LRESULT ComboProc(HWND h, UINT msg, WPARAM wParam, LPARAM lParam) {
  ComboState* cs = ComboOf(h);
  if (!cs && msg != WM_NCCREATE) return DefWindowProcA(h, msg, wParam, lParam);
  // What the combo forwards to its list unchanged.
  static const std::pair<UINT, UINT> kToList[] = {
      {CB_ADDSTRING, LB_ADDSTRING},       {CB_INSERTSTRING, LB_INSERTSTRING}, {CB_DELETESTRING, LB_DELETESTRING},
      {CB_RESETCONTENT, LB_RESETCONTENT}, {CB_GETCOUNT, LB_GETCOUNT},         {CB_GETLBTEXT, LB_GETTEXT},
      {CB_GETLBTEXTLEN, LB_GETTEXTLEN},   {CB_GETCURSEL, LB_GETCURSEL},       {CB_GETITEMDATA, LB_GETITEMDATA},
      {CB_SETITEMDATA, LB_SETITEMDATA},   {CB_FINDSTRING, LB_FINDSTRING},     {CB_FINDSTRINGEXACT, LB_FINDSTRINGEXACT},
      {CB_GETTOPINDEX, LB_GETTOPINDEX},   {CB_SETTOPINDEX, LB_SETTOPINDEX}};
  for (const auto& [cb, lb] : kToList)
    if (msg == cb) return SendMessageA(cs->list, lb, wParam, lParam);
  switch (msg) {
    case WM_NCCREATE:
      SetPropA(h, kComboProp, new ComboState);
      return DefWindowProcA(h, msg, wParam, lParam);
    case WM_CREATE: {
      const DWORD style = StyleOf(h);
      const DWORD type = style & 0x3;
      // The combo's owner-draw bits are the list's own.
      const DWORD listSort = ((style & CBS_SORT) ? LBS_SORT : 0) |
                             (style & (CBS_OWNERDRAWFIXED | CBS_OWNERDRAWVARIABLE)) |
                             ((style & CBS_HASSTRINGS) ? LBS_HASSTRINGS : 0);
      if (type == CBS_SIMPLE) {
        cs->list = CreateWindowExA(WS_EX_CLIENTEDGE, "ComboLBox", "", WS_CHILD | WS_VISIBLE | WS_VSCROLL | listSort,
                                   0, 0, 10, 10, h, nullptr, nullptr, reinterpret_cast<void*>(1));
      } else {
        cs->list = CreateWindowExA(WS_EX_TOOLWINDOW, "ComboLBox", "", WS_POPUP | WS_BORDER | WS_VSCROLL | listSort, 0,
                                   0, 10, 10, h, nullptr, nullptr, reinterpret_cast<void*>(1));
      }
      if (ListState* ls = ListOf(cs->list)) ls->notify = h;
      if (type != CBS_DROPDOWNLIST)
        cs->edit = CreateWindowExA(0, "EDIT", "", WS_CHILD | WS_VISIBLE | ES_AUTOHSCROLL, 0, 0, 10, 10, h,
                                   reinterpret_cast<HMENU>(static_cast<uintptr_t>(1001)), nullptr, nullptr);
      if (cs->edit) {
        SetPropA(cs->edit, kEditNextProp, reinterpret_cast<HANDLE>(GetWindowLongA(cs->edit, GWL_WNDPROC)));
        SetWindowLongA(cs->edit, GWL_WNDPROC, reinterpret_cast<LONG_PTR>(&ComboEditProc));
      }
      LayoutCombo(h, cs);
      return 0;
    }
    case WM_DESTROY:
      if (cs->list && IsWindow(cs->list)) DestroyWindow(cs->list);
      cs->list = nullptr;
      return DefWindowProcA(h, msg, wParam, lParam);
    case WM_NCDESTROY:
      RemovePropA(h, kComboProp);
      delete cs;
      return DefWindowProcA(h, msg, wParam, lParam);
    case WM_SIZE:
      LayoutCombo(h, cs);
      return 0;
    case WM_SETFONT:
      cs->font = reinterpret_cast<HFONT>(wParam);
      SendMessageA(cs->list, WM_SETFONT, wParam, lParam);
      if (cs->edit) SendMessageA(cs->edit, WM_SETFONT, wParam, lParam);
      LayoutCombo(h, cs);
      InvalidateRect(h, nullptr, TRUE);
      return 0;
    case WM_GETFONT:
      return reinterpret_cast<LRESULT>(cs->font);
    case WM_GETDLGCODE:
      return DLGC_WANTARROWS | DLGC_WANTCHARS | (cs->dropped ? DLGC_WANTALLKEYS : 0);
    case WM_SETTEXT:
      if (cs->edit) return SendMessageA(cs->edit, WM_SETTEXT, wParam, lParam);
      {
        // A list-only combo shows an item: the text selects the one it names.
        const int i = static_cast<int>(SendMessageA(cs->list, LB_FINDSTRINGEXACT, static_cast<WPARAM>(-1), lParam));
        SendMessageA(cs->list, LB_SETCURSEL, static_cast<WPARAM>(i), 0);
        SyncText(h, cs);
        return i >= 0 ? TRUE : CB_ERR;
      }
    case WM_GETTEXT:
    case WM_GETTEXTLENGTH:
      if (cs->edit) return SendMessageA(cs->edit, msg, wParam, lParam);
      return DefWindowProcA(h, msg, wParam, lParam);
    case CB_SETCURSEL: {
      const LRESULT r = SendMessageA(cs->list, LB_SETCURSEL, wParam, 0);
      SyncText(h, cs);
      return r;
    }
    case CB_SELECTSTRING: {
      const LRESULT r = SendMessageA(cs->list, LB_SELECTSTRING, wParam, lParam);
      if (r >= 0) SyncText(h, cs);
      return r;
    }
    case CB_SHOWDROPDOWN:
      if (wParam) DropDown(h, cs);
      else CloseUp(h, cs, false);
      return TRUE;
    case CB_GETDROPPEDSTATE:
      return cs->dropped ? TRUE : FALSE;
    case CB_SETDROPPEDWIDTH:
      cs->droppedWidth = static_cast<int>(wParam);
      return cs->droppedWidth;
    case CB_GETDROPPEDWIDTH: {
      RECT wr;
      GetWindowRect(h, &wr);
      return std::max<int>(cs->droppedWidth, wr.right - wr.left);
    }
    case CB_GETITEMHEIGHT:
      return SendMessageA(cs->list, LB_GETITEMHEIGHT, static_cast<intptr_t>(wParam) < 0 ? 0 : wParam, 0);
    case CB_SETITEMHEIGHT:
      return SendMessageA(cs->list, LB_SETITEMHEIGHT, static_cast<intptr_t>(wParam) < 0 ? 0 : wParam, lParam);
    case CB_GETCOMBOBOXINFO: {
      auto* info = reinterpret_cast<COMBOBOXINFO*>(lParam);
      if (!info) return FALSE;
      RECT r;
      GetClientRect(h, &r);
      const bool simple = ComboType(h) == CBS_SIMPLE;
      info->hwndCombo = h;
      info->hwndItem = cs->edit;
      info->hwndList = cs->list;
      info->rcButton = simple ? RECT{0, 0, 0, 0} : RECT{r.right - ButtonWidth(), r.top, r.right, r.bottom};
      info->stateButton = simple ? STATE_SYSTEM_INVISIBLE : cs->dropped ? STATE_SYSTEM_PRESSED : 0;
      if (cs->edit) {
        GetWindowRect(cs->edit, &info->rcItem);
        MapWindowPoints(nullptr, h, reinterpret_cast<POINT*>(&info->rcItem), 2);
      } else {
        info->rcItem = RECT{r.left + 1, r.top + 1, info->rcButton.left - 1, r.bottom - 1};
      }
      return TRUE;
    }
    case CB_GETDROPPEDCONTROLRECT: {
      if (!lParam) return FALSE;
      GetWindowRect(cs->list, reinterpret_cast<RECT*>(lParam));
      return TRUE;
    }
    case CB_LIMITTEXT:
      if (cs->edit) SendMessageA(cs->edit, EM_LIMITTEXT, wParam, 0);
      return cs->edit ? TRUE : CB_ERR;
    case CB_GETEDITSEL:
      return cs->edit ? SendMessageA(cs->edit, EM_GETSEL, wParam, lParam) : CB_ERR;
    case CB_SETEDITSEL:
      if (!cs->edit) return CB_ERR;
      SendMessageA(cs->edit, EM_SETSEL, static_cast<WPARAM>(static_cast<int16_t>(LOWORD(static_cast<uintptr_t>(lParam)))),
                   static_cast<int16_t>(HIWORD(static_cast<uintptr_t>(lParam))));
      return TRUE;
    case WM_LBUTTONDOWN:
    case WM_LBUTTONDBLCLK: {
      if (cs->dropped) {
        // A press outside the dropped list (captured here) closes it.
        POINT p{GET_X_LPARAM(lParam), GET_Y_LPARAM(lParam)};
        ClientToScreen(h, &p);
        RECT lr;
        GetWindowRect(cs->list, &lr);
        if (p.x >= lr.left && p.x < lr.right && p.y >= lr.top && p.y < lr.bottom) {
          POINT lp = p;
          ScreenToClient(cs->list, &lp);
          SendMessageA(cs->list, WM_LBUTTONDOWN, wParam, MAKELPARAM(static_cast<WORD>(lp.x), static_cast<WORD>(lp.y)));
          return 0;
        }
        CloseUp(h, cs, false);
        return 0;
      }
      if (GetFocus() != h && !(cs->edit && GetFocus() == cs->edit)) SetFocus(cs->edit ? cs->edit : h);
      cs = ComboOf(h);
      if (!cs) return 0;
      RECT r;
      GetClientRect(h, &r);
      const bool onButton = GET_X_LPARAM(lParam) >= r.right - ButtonWidth();
      if (ComboType(h) == CBS_DROPDOWNLIST || onButton) DropDown(h, cs);
      return 0;
    }
    case WM_MOUSEMOVE:
    case WM_LBUTTONUP:
      if (cs->dropped) {
        POINT p{GET_X_LPARAM(lParam), GET_Y_LPARAM(lParam)};
        ClientToScreen(h, &p);
        RECT lr;
        GetWindowRect(cs->list, &lr);
        if (p.x >= lr.left && p.x < lr.right && p.y >= lr.top && p.y < lr.bottom) {
          POINT lp = p;
          ScreenToClient(cs->list, &lp);
          SendMessageA(cs->list, msg, wParam, MAKELPARAM(static_cast<WORD>(lp.x), static_cast<WORD>(lp.y)));
        }
      }
      return 0;
    case WM_COMMAND: {
      const HWND from = reinterpret_cast<HWND>(lParam);
      const int code = HIWORD(wParam);
      if (from == cs->list && code == LBN_SELCHANGE) {
        if (cs->dropped) {
          ComboNotify(h, CBN_SELENDOK);
          if (IsWindow(h)) CloseUp(h, cs, true);
        } else {
          SyncText(h, cs);
          ComboNotify(h, CBN_SELCHANGE);
        }
      } else if (from == cs->edit && code == EN_CHANGE && !cs->syncing) {
        ComboNotify(h, CBN_EDITUPDATE);
        if (IsWindow(h)) ComboNotify(h, CBN_EDITCHANGE);
      }
      return 0;
    }
    case WM_CAPTURECHANGED:
      if (cs->dropped && reinterpret_cast<HWND>(lParam) != h) CloseUp(h, cs, false);
      return 0;
    case WM_KEYDOWN: {
      const bool alt = GetKeyState(VK_MENU) < 0;
      if (wParam == VK_F4 || (alt && (wParam == VK_DOWN || wParam == VK_UP))) {
        if (cs->dropped) CloseUp(h, cs, true);
        else DropDown(h, cs);
        return 0;
      }
      if (cs->dropped && (wParam == VK_RETURN || wParam == VK_ESCAPE)) {
        CloseUp(h, cs, wParam == VK_RETURN);
        return 0;
      }
      if (wParam == VK_UP || wParam == VK_DOWN || wParam == VK_HOME || wParam == VK_END || wParam == VK_PRIOR ||
          wParam == VK_NEXT) {
        const int before = ListSel(cs);
        SendMessageA(cs->list, WM_KEYDOWN, wParam, lParam);
        if (!cs->dropped && ListSel(cs) != before) {
          SyncText(h, cs);
          ComboNotify(h, CBN_SELCHANGE);
        }
        return 0;
      }
      return 0;
    }
    case WM_CHAR:
      if (!cs->edit && wParam >= 0x20) {
        const int before = ListSel(cs);
        SendMessageA(cs->list, WM_CHAR, wParam, lParam);
        if (!cs->dropped && ListSel(cs) != before) {
          SyncText(h, cs);
          ComboNotify(h, CBN_SELCHANGE);
        }
      }
      return 0;
    case WM_SETFOCUS:
      if (cs->edit) SetFocus(cs->edit);
      InvalidateRect(h, nullptr, TRUE);
      ComboNotify(h, CBN_SETFOCUS);
      return 0;
    case WM_KILLFOCUS:
      if (cs->dropped) CloseUp(h, cs, false);
      InvalidateRect(h, nullptr, TRUE);
      ComboNotify(h, CBN_KILLFOCUS);
      return 0;
    case WM_ENABLE:
      if (cs->edit) EnableWindow(cs->edit, wParam ? TRUE : FALSE);
      InvalidateRect(h, nullptr, TRUE);
      return 0;
    case WM_ERASEBKGND:
      return 1;
    case WM_PAINT: {
      if (wParam) {
        PaintCombo(h, reinterpret_cast<HDC>(wParam));
        return 0;
      }
      PAINTSTRUCT ps;
      HDC dc = BeginPaint(h, &ps);
      PaintCombo(h, dc);
      EndPaint(h, &ps);
      return 0;
    }
    default:
      return DefWindowProcA(h, msg, wParam, lParam);
  }
}

}  // namespace

HWND ComboListWindow(HWND combo) {
  ComboState* cs = ComboOf(combo);
  return cs ? cs->list : nullptr;
}
HWND ComboEditWindow(HWND combo) {
  ComboState* cs = ComboOf(combo);
  return cs ? cs->edit : nullptr;
}

void RegisterListClasses() {
  // Those already there fail to register again, which is harmless.
  WNDCLASSA lc;
  lc.style = CS_DBLCLKS | CS_PARENTDC;
  lc.lpfnWndProc = &ListProc;
  lc.hCursor = LoadCursorA(nullptr, MAKEINTRESOURCEA(IDC_ARROW));
  lc.lpszClassName = "LISTBOX";
  RegisterClassA(&lc);
  lc.lpszClassName = "ComboLBox";
  lc.style = CS_DBLCLKS | CS_SAVEBITS;
  RegisterClassA(&lc);
  WNDCLASSA cc;
  cc.style = CS_DBLCLKS | CS_PARENTDC | CS_HREDRAW | CS_VREDRAW;
  cc.lpfnWndProc = &ComboProc;
  cc.hCursor = LoadCursorA(nullptr, MAKEINTRESOURCEA(IDC_ARROW));
  cc.lpszClassName = "COMBOBOX";
  RegisterClassA(&cc);
}

}  // namespace forms
