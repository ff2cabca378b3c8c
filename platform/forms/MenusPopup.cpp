// The popup menu windows ("#32768") and the modal loop that runs them:
// one window per open level, keys and mouse taken from the thread's queue
// while the loop runs, the choice posted to the menus' window as WM_COMMAND.
#include <algorithm>
#include <cctype>

#include "platform/forms/Forms.h"
#include "platform/forms/Menus.h"
#include "platform/win/Api.h"

namespace forms {

using namespace win;

namespace {

constexpr int kFrame = 3;       // raised edge plus one pixel of menu colour
constexpr int kSeparator = 9;   // height of a "-" line
constexpr int kCheckColumn = 18;
constexpr int kArrowColumn = 18;
constexpr int kShortCutGap = 16;
constexpr UINT MSGF_MENU = 2;

struct Level {
  TMenuItem* parent = nullptr;
  HWND hwnd = nullptr;
  std::vector<TMenuItem*> items;
  std::vector<TRect> rects;  // client coordinates
  int selected = -1;
  int width = 0, height = 0;
};

class Tracker;
Tracker* g_tracker = nullptr;

bool Inside(const RECT& r, POINT p) { return p.x >= r.left && p.x < r.right && p.y >= r.top && p.y < r.bottom; }

bool Selectable(const TMenuItem* item) { return item->Visible() && !item->IsLine(); }

bool OwnerDrawn(const TMenuItem* item) {
  TMenu* menu = item->GetParentMenu();
  return (menu && menu->OwnerDraw()) || item->OnMeasureItem || item->OnDrawItem || item->OnAdvancedDrawItem;
}

class Tracker {
public:
  explicit Tracker(HWND owner) : owner_(owner) {}

  TMenuItem* Run(TMenuItem* root, int x, int y, TPopupAlignment alignment);
  void Paint(HWND hwnd);
  const Level* Deepest() const { return levels_.empty() ? nullptr : &levels_.back(); }

private:
  void Open(TMenuItem* parent, int x, int y, TPopupAlignment alignment);
  void CloseTo(size_t count);
  void Select(Level& level, int index);
  void Move(int delta);
  void Activate(size_t levelIndex, int index, bool fromKeyboard);
  void OnKey(UINT vk);
  void OnChar(char ch);
  bool OnMouse(const MSG& msg);
  void DrawItem(TCanvas* canvas, TMenuItem* item, const TRect& r, bool selected);

  HWND owner_;
  std::vector<Level> levels_;
  bool done_ = false;
  TMenuItem* chosen_ = nullptr;
};

TFont* MenuFont() { return Screen->MenuFont(); }

void Tracker::Open(TMenuItem* parent, int x, int y, TPopupAlignment alignment) {
  parent->RethinkHotkeys();
  Level level;
  level.parent = parent;
  HDC dc = CreateCompatibleDC(nullptr);
  TCanvas canvas;
  canvas.SetHandle(dc);
  canvas.SetFont(MenuFont());
  const int textHeight = canvas.TextHeight("Wg");
  int width = 0, top = kFrame;
  std::vector<int> heights;
  for (int i = 0; i < parent->Count(); ++i) {
    TMenuItem* item = parent->Items(i);
    if (!item->Visible()) continue;
    int w = 0, h = kSeparator;
    if (!item->IsLine()) {
      h = std::max(textHeight + 4, 17);
      String text = StripHotkey(item->Caption());
      if (item->Default()) canvas.Font()->SetStyle(TFontStyles{fsBold});
      w = kCheckColumn + canvas.TextWidth(text) + kArrowColumn;
      if (item->ShortCut()) w += kShortCutGap + canvas.TextWidth(ShortCutToText(item->ShortCut()));
      canvas.Font()->SetStyle({});
    }
    if (TCustomImageList* images = parent->GetParentMenu() ? parent->GetParentMenu()->Images() : nullptr;
        images && !item->IsLine())
      h = std::max(h, images->Height() + 4);
    if (OwnerDrawn(item) && item->OnMeasureItem) item->OnMeasureItem(item, &canvas, w, h);
    level.items.push_back(item);
    heights.push_back(h);
    width = std::max(width, w);
  }
  canvas.SetHandle(nullptr);
  DeleteDC(dc);
  for (int h : heights) {
    level.rects.push_back(Rect(kFrame, top, kFrame + width, top + h));
    top += h;
  }
  level.width = width + 2 * kFrame;
  level.height = top + kFrame;

  // Kept on the work area: flipped to the other side of the point when it
  // would run off the right or bottom edge.
  RECT work;
  SystemParametersInfo(SPI_GETWORKAREA, 0, &work, 0);
  if (alignment == paRight) x -= level.width;
  else if (alignment == paCenter) x -= level.width / 2;
  if (x + level.width > work.right) x = std::max<int>(work.left, x - level.width);
  if (y + level.height > work.bottom) y = std::max<int>(work.top, work.bottom - level.height);
  x = std::max<int>(x, work.left);

  static bool registered = false;
  if (!registered) {
    WNDCLASSA wc;
    wc.style = CS_SAVEBITS;
    wc.lpfnWndProc = [](HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) -> LRESULT {
      if (msg == WM_PAINT) {
        if (g_tracker) g_tracker->Paint(hwnd);
        else ValidateRect(hwnd, nullptr);
        return 0;
      }
      if (msg == WM_ERASEBKGND || msg == WM_MOUSEACTIVATE) return msg == WM_MOUSEACTIVATE ? MA_NOACTIVATE : 1;
      return DefWindowProcA(hwnd, msg, wParam, lParam);
    };
    wc.hInstance = HInstance();
    wc.lpszClassName = "#32768";
    RegisterClassA(&wc);
    registered = true;
  }
  level.hwnd = CreateWindowExA(WS_EX_TOPMOST | WS_EX_TOOLWINDOW, "#32768", "", WS_POPUP, x, y, level.width,
                               level.height, owner_, nullptr, HInstance(), nullptr);
  levels_.push_back(std::move(level));
  ShowWindow(levels_.back().hwnd, SW_SHOWNOACTIVATE);
  UpdateWindow(levels_.back().hwnd);
}

void Tracker::CloseTo(size_t count) {
  while (levels_.size() > count) {
    DestroyWindow(levels_.back().hwnd);
    levels_.pop_back();
  }
  if (!levels_.empty()) SetCapture(levels_.front().hwnd);
}

void Tracker::Select(Level& level, int index) {
  if (level.selected == index) return;
  level.selected = index;
  if (index >= 0) {
    // The program's status line follows the item under the selection.
    TMenuItem* item = level.items[static_cast<size_t>(index)];
    Application->SetHint(GetLongHint(item->Hint()));
    const WORD flags = item->Count() > 0 ? 0x0010 /* MF_POPUP */ : 0;
    SendMessageA(owner_, WM_MENUSELECT, MAKEWPARAM(item->Command(), flags), 0);
  }
  InvalidateRect(level.hwnd, nullptr, TRUE);
  UpdateWindow(level.hwnd);
}

void Tracker::Move(int delta) {
  Level& level = levels_.back();
  const int n = static_cast<int>(level.items.size());
  if (n == 0) return;
  int i = level.selected;
  for (int step = 0; step < n; ++step) {
    i = i < 0 ? (delta > 0 ? 0 : n - 1) : (i + delta + n) % n;
    if (Selectable(level.items[static_cast<size_t>(i)])) {
      Select(level, i);
      return;
    }
  }
}

void Tracker::Activate(size_t levelIndex, int index, bool fromKeyboard) {
  CloseTo(levelIndex + 1);
  Level& level = levels_[levelIndex];
  Select(level, index);
  TMenuItem* item = level.items[static_cast<size_t>(index)];
  if (!Selectable(item)) return;
  if (item->Count() > 0) {
    if (!item->Enabled()) return;
    const TRect& r = level.rects[static_cast<size_t>(index)];
    POINT p{r.right, r.top - kFrame};
    ClientToScreen(level.hwnd, &p);
    Open(item, p.x, p.y, paLeft);
    if (fromKeyboard) Move(1);
    return;
  }
  if (!item->Enabled()) return;
  chosen_ = item;
  done_ = true;
}

void Tracker::OnKey(UINT vk) {
  Level& level = levels_.back();
  switch (vk) {
    case VK_DOWN: Move(1); break;
    case VK_UP: Move(-1); break;
    case VK_HOME:
      level.selected = -1;
      Move(1);
      break;
    case VK_END:
      level.selected = -1;
      Move(-1);
      break;
    case VK_RIGHT:
      if (level.selected >= 0 && level.items[static_cast<size_t>(level.selected)]->Count() > 0)
        Activate(levels_.size() - 1, level.selected, true);
      break;
    case VK_LEFT:
      if (levels_.size() > 1) CloseTo(levels_.size() - 1);
      break;
    case VK_ESCAPE:
      if (levels_.size() > 1) CloseTo(levels_.size() - 1);
      else done_ = true;
      break;
    case VK_RETURN:
      if (level.selected >= 0) Activate(levels_.size() - 1, level.selected, true);
      break;
    default: break;
  }
}

void Tracker::OnChar(char ch) {
  const char want = static_cast<char>(std::toupper(static_cast<unsigned char>(ch)));
  Level& level = levels_.back();
  std::vector<int> matches;
  for (size_t i = 0; i < level.items.size(); ++i)
    if (Selectable(level.items[i]) && GetHotkey(level.items[i]->Caption()) == want) matches.push_back(static_cast<int>(i));
  if (matches.empty()) return;
  if (matches.size() == 1) {
    Activate(levels_.size() - 1, matches[0], true);
    return;
  }
  // Several items share the letter: each press selects the next of them.
  auto next = std::upper_bound(matches.begin(), matches.end(), level.selected);
  Select(level, next == matches.end() ? matches[0] : *next);
}

bool Tracker::OnMouse(const MSG& msg) {
  POINT p{GET_X_LPARAM(msg.lParam), GET_Y_LPARAM(msg.lParam)};
  ClientToScreen(msg.hwnd, &p);
  for (size_t li = levels_.size(); li-- > 0;) {
    Level& level = levels_[li];
    RECT wr;
    GetWindowRect(level.hwnd, &wr);
    if (!Inside(wr, p)) continue;
    POINT c = p;
    ScreenToClient(level.hwnd, &c);
    int hit = -1;
    for (size_t i = 0; i < level.rects.size(); ++i)
      if (Inside(level.rects[i], c)) hit = static_cast<int>(i);
    if (msg.message == WM_MOUSEMOVE) {
      if (hit >= 0 && hit != level.selected) {
        CloseTo(li + 1);
        Select(level, hit);
        if (level.items[static_cast<size_t>(hit)]->Count() > 0) Activate(li, hit, false);
      }
    } else if ((msg.message == WM_LBUTTONUP || msg.message == WM_RBUTTONUP) && hit >= 0) {
      Activate(li, hit, false);
    }
    return true;
  }
  // A press outside every level closes the menu.
  if (msg.message == WM_LBUTTONDOWN || msg.message == WM_RBUTTONDOWN || msg.message == WM_MBUTTONDOWN) done_ = true;
  return true;
}

void Tracker::DrawItem(TCanvas* canvas, TMenuItem* item, const TRect& r, bool selected) {
  TOwnerDrawState state;
  if (selected) state.Include(odSelected);
  if (!item->Enabled()) state.Include(odDisabled).Include(odGrayed);
  if (item->Checked()) state.Include(odChecked);
  if (item->Default()) state.Include(odDefault);
  if (OwnerDrawn(item) && item->OnAdvancedDrawItem) {
    item->OnAdvancedDrawItem(item, canvas, r, state);
    return;
  }
  if (OwnerDrawn(item) && item->OnDrawItem) {
    item->OnDrawItem(item, canvas, r, selected);
    return;
  }
  HDC dc = canvas->Handle();
  if (item->IsLine()) {
    canvas->Brush()->SetColor(clMenu);
    canvas->FillRect(r);
    RECT line{r.left + 1, r.top + kSeparator / 2 - 1, r.right - 1, r.top + kSeparator / 2 + 1};
    DrawEdge(dc, &line, EDGE_ETCHED, BF_TOP);
    return;
  }
  const bool highlighted = selected;
  canvas->Brush()->SetColor(highlighted ? clHighlight : clMenu);
  canvas->FillRect(r);
  const TColor glyphColor = !item->Enabled() ? clBtnShadow : highlighted ? clHighlightText : clMenuText;
  // Glyphs are drawn in the text colour, so they follow the highlight.
  canvas->Pen()->SetColor(glyphColor);
  canvas->Brush()->SetColor(glyphColor);
  const int cx = r.left + kCheckColumn / 2, cy = (r.top + r.bottom) / 2;
  TMenu* menu = item->GetParentMenu();
  TCustomImageList* images = menu ? menu->Images() : nullptr;
  if (images && item->ImageIndex() >= 0 && item->ImageIndex() < images->Count()) {
    images->Draw(canvas, cx - images->Width() / 2, cy - images->Height() / 2, item->ImageIndex(), item->Enabled());
  } else if (item->Checked() && item->RadioItem()) {
    canvas->Ellipse(cx - 3, cy - 3, cx + 3, cy + 3);
  } else if (item->Checked()) {
    for (int i = 0; i < 3; ++i) {
      canvas->MoveTo(cx - 3, cy - 1 + i);
      canvas->LineTo(cx - 1, cy + 1 + i);
      canvas->LineTo(cx + 4, cy - 4 + i);
    }
  }
  if (item->Count() > 0) {
    const int ax = r.right - kArrowColumn / 2 - 2;
    canvas->Polygon({Point(ax, cy - 4), Point(ax + 4, cy), Point(ax, cy + 4)});
  }
  canvas->Brush()->SetStyle(bsClear);
  canvas->Font()->Assign(MenuFont());
  if (item->Default()) canvas->Font()->SetStyle(TFontStyles{fsBold});
  const int textHeight = canvas->TextHeight("Wg");
  const int ty = r.top + (r.bottom - r.top - textHeight) / 2;
  auto drawText = [&](int dx, TColor color, const TRect& box, const String& text, UINT align) {
    SetTextColor(dc, ColorToRGB(color));
    SetBkMode(dc, TRANSPARENT);
    RECT t{box.left + dx, ty + dx, box.right + dx, ty + textHeight + dx};
    DrawTextA(dc, text.c_str(), static_cast<int>(text.size()), &t, DT_SINGLELINE | align);
  };
  TRect textBox = Rect(r.left + kCheckColumn, r.top, r.right - kArrowColumn, r.bottom);
  const String shortcut = item->ShortCut() ? ShortCutToText(item->ShortCut()) : String();
  auto drawAll = [&](int dx, TColor color) {
    drawText(dx, color, textBox, item->Caption(), DT_LEFT);
    if (!shortcut.empty()) drawText(dx, color, textBox, shortcut, DT_RIGHT | DT_NOPREFIX);
  };
  if (!item->Enabled()) {
    // The classic engraved look, unless the highlight sits behind it.
    if (!highlighted) drawAll(1, clBtnHighlight);
    drawAll(0, clBtnShadow);
  } else {
    drawAll(0, highlighted ? clHighlightText : clMenuText);
  }
  canvas->Brush()->SetStyle(bsSolid);
  canvas->Font()->SetStyle({});
}

void Tracker::Paint(HWND hwnd) {
  PAINTSTRUCT ps;
  HDC dc = BeginPaint(hwnd, &ps);
  auto it = std::find_if(levels_.begin(), levels_.end(), [hwnd](const Level& l) { return l.hwnd == hwnd; });
  if (it != levels_.end()) {
    TCanvas canvas;
    canvas.SetHandle(dc);
    canvas.Font()->Assign(MenuFont());
    RECT frame{0, 0, it->width, it->height};
    canvas.Brush()->SetColor(clMenu);
    canvas.FillRect(frame);
    DrawEdge(dc, &frame, EDGE_RAISED, BF_RECT);
    for (size_t i = 0; i < it->items.size(); ++i)
      DrawItem(&canvas, it->items[i], it->rects[i], static_cast<int>(i) == it->selected);
    canvas.SetHandle(nullptr);
  }
  EndPaint(hwnd, &ps);
}

TMenuItem* Tracker::Run(TMenuItem* root, int x, int y, TPopupAlignment alignment) {
  Open(root, x, y, alignment);
  SetCapture(levels_.front().hwnd);
  while (!done_) {
    MSG msg;
    if (!PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) {
      SendMessageA(owner_, WM_ENTERIDLE, MSGF_MENU, reinterpret_cast<LPARAM>(levels_.back().hwnd));
      if (!done_ && !PeekMessageA(&msg, nullptr, 0, 0, PM_NOREMOVE)) WaitMessage();
      continue;
    }
    if (msg.message == WM_QUIT) {
      PostQuitMessage(static_cast<int>(msg.wParam));
      break;
    }
    if (msg.message == WM_KEYDOWN || msg.message == WM_SYSKEYDOWN) {
      if (msg.wParam == VK_MENU || msg.wParam == VK_F10) done_ = true;
      else {
        TranslateMessage(&msg);
        OnKey(static_cast<UINT>(msg.wParam));
      }
      continue;
    }
    if (msg.message == WM_CHAR || msg.message == WM_SYSCHAR) {
      OnChar(static_cast<char>(msg.wParam));
      continue;
    }
    if (msg.message == WM_KEYUP || msg.message == WM_SYSKEYUP) continue;
    if ((msg.message >= WM_MOUSEFIRST && msg.message <= WM_MOUSELAST) ||
        (msg.message >= WM_NCMOUSEMOVE && msg.message <= WM_NCMBUTTONDBLCLK)) {
      if (msg.message >= WM_NCMOUSEMOVE && msg.message <= WM_NCMBUTTONDBLCLK) {
        MSG m = msg;
        POINT p{GET_X_LPARAM(msg.lParam), GET_Y_LPARAM(msg.lParam)};
        ScreenToClient(msg.hwnd, &p);
        m.message = msg.message - WM_NCMOUSEMOVE + WM_MOUSEMOVE;
        m.lParam = MAKELPARAM(static_cast<WORD>(p.x), static_cast<WORD>(p.y));
        OnMouse(m);
      } else {
        OnMouse(msg);
      }
      continue;
    }
    TranslateMessage(&msg);
    DispatchMessageA(&msg);
  }
  ReleaseCapture();
  CloseTo(0);
  return chosen_;
}

}  // namespace

void TPopupMenu::Popup(int x, int y) {
  if (OnPopup) OnPopup(this);
  if (g_tracker) return;  // one menu at a time
  Tracker tracker(WindowHandle());
  g_tracker = &tracker;
  TMenuItem* chosen = nullptr;
  try {
    chosen = tracker.Run(Items(), x, y, Alignment());
  } catch (...) {
    g_tracker = nullptr;
    throw;
  }
  g_tracker = nullptr;
  if (chosen) PostMessageA(WindowHandle(), WM_COMMAND, chosen->Command(), 0);
}

HWND OpenMenuWindow() {
  const Level* l = g_tracker ? g_tracker->Deepest() : nullptr;
  return l ? l->hwnd : nullptr;
}

std::vector<TRect> OpenMenuItemRects() {
  const Level* l = g_tracker ? g_tracker->Deepest() : nullptr;
  return l ? l->rects : std::vector<TRect>{};
}

std::vector<TMenuItem*> OpenMenuItems() {
  const Level* l = g_tracker ? g_tracker->Deepest() : nullptr;
  return l ? l->items : std::vector<TMenuItem*>{};
}

int OpenMenuSelection() {
  const Level* l = g_tracker ? g_tracker->Deepest() : nullptr;
  return l ? l->selected : -1;
}

}  // namespace forms
