// The "EDIT" window class, single- and multi-line. The text is kept as
// ANSI bytes with "\r\n" line breaks; a multi-line edit without horizontal
// scrolling wraps its lines at the formatting rectangle, and the line
// numbers the EM_ messages use are those of the wrapped lines. The
// parent chooses the colours through WM_CTLCOLOREDIT (WM_CTLCOLORSTATIC
// when read-only or disabled).
#include <algorithm>
#include <cstring>

#include "platform/forms/StdCtrls.h"
#include "platform/forms/StdCtrlsInternal.h"
#include "platform/win/Api.h"

namespace forms {

using namespace win;

namespace {

constexpr const char* kEditProp = "VorixEditState";
constexpr int kDefaultLimit = 32767;

struct Line {
  int start = 0;
  int len = 0;
};

struct EditState {
  String text;
  int anchor = 0, caret = 0;
  int limit = kDefaultLimit;
  bool modified = false;
  char password = 0;
  HFONT font = nullptr;
  RECT fmt{};
  bool customRect = false;
  int leftMargin = 1, rightMargin = 1;
  int firstLine = 0;
  int xOffset = 0;
  String undoText;
  int undoCaret = 0;
  bool canUndo = false;
  bool tracking = false;
  bool focused = false;
};

EditState* StateOf(HWND hwnd) { return static_cast<EditState*>(GetPropA(hwnd, kEditProp)); }
DWORD StyleOf(HWND hwnd) { return static_cast<DWORD>(GetWindowLongA(hwnd, GWL_STYLE)); }
bool IsMulti(HWND hwnd) { return (StyleOf(hwnd) & ES_MULTILINE) != 0; }
bool Wraps(HWND hwnd) {
  const DWORD s = StyleOf(hwnd);
  return (s & ES_MULTILINE) && !(s & ES_AUTOHSCROLL) && !(s & WS_HSCROLL);
}

void Notify(HWND hwnd, WORD code) {
  HWND parent = GetParent(hwnd);
  if (!parent) return;
  SendMessageA(parent, WM_COMMAND, MAKEWPARAM(static_cast<WORD>(GetDlgCtrlID(hwnd)), code),
               reinterpret_cast<LPARAM>(hwnd));
}

// A DC on the window holding its font, for measuring.
class Measure {
public:
  explicit Measure(HWND hwnd) : hwnd_(hwnd), dc_(GetDC(hwnd)) {
    EditState* st = StateOf(hwnd);
    old_ = SelectObject(dc_, st->font ? static_cast<HGDIOBJ>(st->font) : GetStockObject(DEFAULT_GUI_FONT));
  }
  ~Measure() {
    SelectObject(dc_, old_);
    ReleaseDC(hwnd_, dc_);
  }
  Measure(const Measure&) = delete;
  Measure& operator=(const Measure&) = delete;
  HDC dc() const { return dc_; }
  int Width(const String& s, int start, int len) const {
    if (len <= 0) return 0;
    SIZE sz{};
    GetTextExtentPoint32A(dc_, s.c_str() + start, len, &sz);
    return sz.cx;
  }
  int LineHeight() const {
    TEXTMETRICW tm{};
    GetTextMetricsW(dc_, &tm);
    return std::max<int>(1, tm.tmHeight);
  }

private:
  HWND hwnd_;
  HDC dc_;
  HGDIOBJ old_;
};

// What is shown: the text, or as many password characters.
String Shown(HWND hwnd, const EditState* st) {
  if (st->password && !IsMulti(hwnd)) return String(st->text.size(), st->password);
  return st->text;
}

void DefaultRect(HWND hwnd, EditState* st) {
  if (st->customRect) return;
  RECT r;
  GetClientRect(hwnd, &r);
  st->fmt = RECT{r.left + st->leftMargin, r.top + (IsMulti(hwnd) ? 0 : 1), r.right - st->rightMargin, r.bottom};
  if (st->fmt.right < st->fmt.left) st->fmt.right = st->fmt.left;
}

std::vector<Line> Layout(HWND hwnd, const EditState* st, const Measure& m) {
  std::vector<Line> lines;
  const String& t = st->text;
  if (!IsMulti(hwnd)) {
    lines.push_back({0, static_cast<int>(t.size())});
    return lines;
  }
  const bool wrap = Wraps(hwnd);
  const int width = st->fmt.right - st->fmt.left;
  int pos = 0;
  const int n = static_cast<int>(t.size());
  while (true) {
    int end = pos;
    while (end < n && t[static_cast<size_t>(end)] != '\n') ++end;
    int lineEnd = end;
    if (lineEnd > pos && t[static_cast<size_t>(lineEnd - 1)] == '\r') --lineEnd;
    int s = pos;
    if (wrap && width > 0) {
      while (m.Width(t, s, lineEnd - s) > width) {
        // The longest piece that fits, broken after a blank where one is.
        int fit = s + 1;
        while (fit < lineEnd && m.Width(t, s, fit + 1 - s) <= width) ++fit;
        int brk = fit;
        for (int i = fit; i > s; --i)
          if (t[static_cast<size_t>(i - 1)] == ' ') {
            brk = i;
            break;
          }
        lines.push_back({s, brk - s});
        s = brk;
      }
    }
    lines.push_back({s, lineEnd - s});
    if (end >= n) break;
    pos = end + 1;
  }
  return lines;
}

int LineOf(const std::vector<Line>& lines, int index) {
  for (size_t i = lines.size(); i-- > 0;)
    if (lines[i].start <= index) return static_cast<int>(i);
  return 0;
}

int AlignShift(HWND hwnd, const EditState* st, int lineWidth) {
  const DWORD s = StyleOf(hwnd);
  const int room = st->fmt.right - st->fmt.left - lineWidth;
  if (room <= 0) return 0;
  if (s & ES_RIGHT) return room;
  if (s & ES_CENTER) return room / 2;
  return 0;
}

POINT PosFromChar(HWND hwnd, const EditState* st, const Measure& m, const std::vector<Line>& lines, int index) {
  const String shown = Shown(hwnd, st);
  const int li = LineOf(lines, index);
  const Line& l = lines[static_cast<size_t>(li)];
  const int inLine = std::min(index - l.start, l.len);
  const int x = st->fmt.left - st->xOffset + AlignShift(hwnd, st, m.Width(shown, l.start, l.len)) +
                m.Width(shown, l.start, inLine);
  const int y = st->fmt.top + (li - st->firstLine) * m.LineHeight();
  return POINT{x, y};
}

int CharFromPos(HWND hwnd, const EditState* st, const Measure& m, const std::vector<Line>& lines, POINT p) {
  const String shown = Shown(hwnd, st);
  int li = st->firstLine + (p.y - st->fmt.top) / m.LineHeight();
  if (p.y < st->fmt.top) li = st->firstLine - 1;
  li = std::clamp(li, 0, static_cast<int>(lines.size()) - 1);
  const Line& l = lines[static_cast<size_t>(li)];
  const int x0 = st->fmt.left - st->xOffset + AlignShift(hwnd, st, m.Width(shown, l.start, l.len));
  int best = 0, bestDist = 1 << 30;
  for (int i = 0; i <= l.len; ++i) {
    const int d = std::abs(x0 + m.Width(shown, l.start, i) - p.x);
    if (d < bestDist) best = i, bestDist = d;
  }
  return l.start + best;
}

void UpdateScrollBars(HWND hwnd, const EditState* st, const std::vector<Line>& lines, const Measure& m) {
  if (!(StyleOf(hwnd) & WS_VSCROLL)) return;
  SCROLLINFO si;
  si.fMask = SIF_RANGE | SIF_PAGE | SIF_POS | SIF_DISABLENOSCROLL;
  si.nMin = 0;
  si.nMax = static_cast<int>(lines.size()) - 1;
  si.nPage = static_cast<UINT>(std::max(1, static_cast<int>(st->fmt.bottom - st->fmt.top) / m.LineHeight()));
  si.nPos = st->firstLine;
  SetScrollInfo(hwnd, SB_VERT, &si, TRUE);
}

void ScrollCaret(HWND hwnd, EditState* st) {
  Measure m(hwnd);
  const auto lines = Layout(hwnd, st, m);
  const int lh = m.LineHeight();
  if (IsMulti(hwnd)) {
    const int visible = std::max(1, static_cast<int>(st->fmt.bottom - st->fmt.top) / lh);
    const int li = LineOf(lines, st->caret);
    if (li < st->firstLine) st->firstLine = li;
    if (li >= st->firstLine + visible) st->firstLine = li - visible + 1;
    st->firstLine = std::clamp(st->firstLine, 0, std::max(0, static_cast<int>(lines.size()) - 1));
  }
  if (!Wraps(hwnd)) {
    const POINT p = PosFromChar(hwnd, st, m, lines, st->caret);
    const int width = st->fmt.right - st->fmt.left;
    if (p.x < st->fmt.left) st->xOffset -= st->fmt.left - p.x + width / 4;
    if (p.x >= st->fmt.right) st->xOffset += p.x - st->fmt.right + 1 + width / 4;
    st->xOffset = std::max(0, st->xOffset);
  }
  UpdateScrollBars(hwnd, st, lines, m);
}

void Changed(HWND hwnd, EditState* st, bool notify) {
  // The window keeps the text too, for those who read it without asking.
  DefWindowProcA(hwnd, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(st->text.c_str()));
  ScrollCaret(hwnd, st);
  InvalidateRect(hwnd, nullptr, TRUE);
  if (notify) {
    Notify(hwnd, EN_UPDATE);
    if (IsWindow(hwnd)) Notify(hwnd, EN_CHANGE);
  }
}

int SelMin(const EditState* st) { return std::min(st->anchor, st->caret); }
int SelMax(const EditState* st) { return std::max(st->anchor, st->caret); }

String Filtered(HWND hwnd, const String& s) {
  const DWORD style = StyleOf(hwnd);
  String out;
  for (size_t i = 0; i < s.size(); ++i) {
    char c = s[i];
    if (!IsMulti(hwnd) && (c == '\r' || c == '\n')) {
      // A single line takes only the first line of what it is given.
      break;
    }
    if (style & ES_UPPERCASE) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    if (style & ES_LOWERCASE) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    out += c;
  }
  return out;
}

// Replaces the selection; answers false when nothing could go in.
bool ReplaceSel(HWND hwnd, EditState* st, const String& what, bool canUndo, bool notify) {
  String s = Filtered(hwnd, what);
  const int a = SelMin(st), b = SelMax(st);
  const int room = st->limit - (static_cast<int>(st->text.size()) - (b - a));
  bool truncated = false;
  if (static_cast<int>(s.size()) > std::max(0, room)) {
    s.resize(static_cast<size_t>(std::max(0, room)));
    truncated = true;
  }
  if (s.empty() && a == b) {
    if (truncated) Notify(hwnd, EN_MAXTEXT);
    return false;
  }
  if (canUndo) {
    st->undoText = st->text;
    st->undoCaret = st->caret;
    st->canUndo = true;
  }
  st->text.replace(static_cast<size_t>(a), static_cast<size_t>(b - a), s);
  st->caret = st->anchor = a + static_cast<int>(s.size());
  st->modified = true;
  Changed(hwnd, st, notify);
  if (truncated && IsWindow(hwnd)) Notify(hwnd, EN_MAXTEXT);
  return true;
}

bool ReadOnly(HWND hwnd) { return (StyleOf(hwnd) & ES_READONLY) != 0; }

void Copy(HWND hwnd, EditState* st) {
  if (SelMin(st) == SelMax(st) || (st->password && !IsMulti(hwnd))) return;
  const String s = st->text.substr(static_cast<size_t>(SelMin(st)), static_cast<size_t>(SelMax(st) - SelMin(st)));
  if (!OpenClipboard(hwnd)) return;
  EmptyClipboard();
  HGLOBAL mem = GlobalAlloc(GMEM_MOVEABLE, s.size() + 1);
  if (mem) {
    std::memcpy(GlobalLock(mem), s.c_str(), s.size() + 1);
    GlobalUnlock(mem);
    SetClipboardData(CF_TEXT, mem);
  }
  CloseClipboard();
}

void Paste(HWND hwnd, EditState* st) {
  if (ReadOnly(hwnd) || !OpenClipboard(hwnd)) return;
  String s;
  if (HANDLE mem = GetClipboardData(CF_TEXT)) {
    const char* p = static_cast<const char*>(GlobalLock(mem));
    if (p) s.assign(p, strnlen(p, GlobalSize(mem)));
    GlobalUnlock(mem);
  }
  CloseClipboard();
  ReplaceSel(hwnd, st, s, true, true);
}

void Clear(HWND hwnd, EditState* st) {
  if (!ReadOnly(hwnd) && SelMin(st) != SelMax(st)) ReplaceSel(hwnd, st, "", true, true);
}

void UndoEdit(HWND hwnd, EditState* st) {
  if (!st->canUndo || ReadOnly(hwnd)) return;
  // Undoing swaps, so a second undo redoes.
  std::swap(st->text, st->undoText);
  std::swap(st->caret, st->undoCaret);
  st->caret = std::min(st->caret, static_cast<int>(st->text.size()));
  st->anchor = st->caret;
  st->modified = true;
  Changed(hwnd, st, true);
}

bool IsWordChar(char c) { return c != ' ' && c != '\t' && c != '\r' && c != '\n'; }

int PrevWord(const String& t, int i) {
  while (i > 0 && !IsWordChar(t[static_cast<size_t>(i - 1)])) --i;
  while (i > 0 && IsWordChar(t[static_cast<size_t>(i - 1)])) --i;
  return i;
}
int NextWord(const String& t, int i) {
  const int n = static_cast<int>(t.size());
  while (i < n && IsWordChar(t[static_cast<size_t>(i)])) ++i;
  while (i < n && !IsWordChar(t[static_cast<size_t>(i)])) ++i;
  return i;
}
// One step left or right, a line break being one step.
int StepLeft(const String& t, int i) {
  if (i >= 2 && t.compare(static_cast<size_t>(i - 2), 2, "\r\n") == 0) return i - 2;
  return std::max(0, i - 1);
}
int StepRight(const String& t, int i) {
  const int n = static_cast<int>(t.size());
  if (i + 2 <= n && t.compare(static_cast<size_t>(i), 2, "\r\n") == 0) return i + 2;
  return std::min(n, i + 1);
}

void KeyDown(HWND hwnd, EditState* st, WPARAM vk) {
  const bool shift = GetKeyState(VK_SHIFT) < 0, ctrl = GetKeyState(VK_CONTROL) < 0;
  const String& t = st->text;
  const int n = static_cast<int>(t.size());
  int caret = st->caret;
  bool move = true;
  Measure m(hwnd);
  const auto lines = Layout(hwnd, st, m);
  const int li = LineOf(lines, caret);
  auto lineMove = [&](int delta) {
    const int target = std::clamp(li + delta, 0, static_cast<int>(lines.size()) - 1);
    POINT p = PosFromChar(hwnd, st, m, lines, caret);
    p.y = st->fmt.top + (target - st->firstLine) * m.LineHeight();
    // Past the visible lines the hit test clamps; keep the line asked for.
    const Line& l = lines[static_cast<size_t>(target)];
    EditState probe = *st;
    probe.firstLine = target;
    p.y = st->fmt.top;
    return std::clamp(CharFromPos(hwnd, &probe, m, lines, p), l.start, l.start + l.len);
  };
  const int page = std::max(1, static_cast<int>(st->fmt.bottom - st->fmt.top) / m.LineHeight());
  switch (vk) {
    case VK_LEFT:
      if (!shift && SelMin(st) != SelMax(st)) caret = SelMin(st);
      else caret = ctrl ? PrevWord(t, caret) : StepLeft(t, caret);
      break;
    case VK_RIGHT:
      if (!shift && SelMin(st) != SelMax(st)) caret = SelMax(st);
      else caret = ctrl ? NextWord(t, caret) : StepRight(t, caret);
      break;
    case VK_HOME:
      caret = ctrl ? 0 : lines[static_cast<size_t>(li)].start;
      break;
    case VK_END:
      caret = ctrl ? n : lines[static_cast<size_t>(li)].start + lines[static_cast<size_t>(li)].len;
      break;
    case VK_UP:
      if (!IsMulti(hwnd)) caret = StepLeft(t, caret);
      else caret = lineMove(-1);
      break;
    case VK_DOWN:
      if (!IsMulti(hwnd)) caret = StepRight(t, caret);
      else caret = lineMove(1);
      break;
    case VK_PRIOR:
      if (IsMulti(hwnd)) caret = lineMove(-page);
      break;
    case VK_NEXT:
      if (IsMulti(hwnd)) caret = lineMove(page);
      break;
    case VK_DELETE:
      move = false;
      if (shift) {
        Copy(hwnd, st);
        Clear(hwnd, st);
      } else if (!ReadOnly(hwnd)) {
        if (SelMin(st) == SelMax(st)) st->caret = StepRight(t, st->caret);
        Clear(hwnd, st);
      }
      break;
    case VK_INSERT:
      move = false;
      if (ctrl) Copy(hwnd, st);
      else if (shift) Paste(hwnd, st);
      break;
    default:
      move = false;
      break;
  }
  if (!move) return;
  st->caret = caret;
  if (!shift) st->anchor = caret;
  ScrollCaret(hwnd, st);
  InvalidateRect(hwnd, nullptr, TRUE);
}

void Char(HWND hwnd, EditState* st, WPARAM ch) {
  switch (ch) {
    case 0x01:  // Ctrl+A
      st->anchor = 0;
      st->caret = static_cast<int>(st->text.size());
      ScrollCaret(hwnd, st);
      InvalidateRect(hwnd, nullptr, TRUE);
      return;
    case 0x03:
      Copy(hwnd, st);
      return;
    case 0x16:
      Paste(hwnd, st);
      return;
    case 0x18:
      if (ReadOnly(hwnd)) return;
      Copy(hwnd, st);
      Clear(hwnd, st);
      return;
    case 0x1A:
      UndoEdit(hwnd, st);
      return;
    case 0x08:
      if (ReadOnly(hwnd)) return;
      if (SelMin(st) == SelMax(st)) {
        if (st->caret == 0) return;
        st->anchor = StepLeft(st->text, st->caret);
      }
      ReplaceSel(hwnd, st, "", true, true);
      return;
    default:
      break;
  }
  if (ReadOnly(hwnd)) return;
  if (ch == '\r' || ch == '\n') {
    if (IsMulti(hwnd)) ReplaceSel(hwnd, st, "\r\n", true, true);
    return;
  }
  if (ch == '\t') {
    if (IsMulti(hwnd)) ReplaceSel(hwnd, st, "\t", true, true);
    return;
  }
  if (ch < 0x20 || ch > 0xFF) return;
  if ((StyleOf(hwnd) & ES_NUMBER) && (ch < '0' || ch > '9')) {
    MessageBeep(0);
    return;
  }
  ReplaceSel(hwnd, st, String(1, static_cast<char>(ch)), true, true);
}

void Paint(HWND hwnd, HDC dc) {
  EditState* st = StateOf(hwnd);
  RECT client;
  GetClientRect(hwnd, &client);
  const bool enabled = IsWindowEnabled(hwnd);
  const bool staticLook = ReadOnly(hwnd) || !enabled;
  HGDIOBJ oldFont = SelectObject(dc, st->font ? static_cast<HGDIOBJ>(st->font) : GetStockObject(DEFAULT_GUI_FONT));
  SetTextColor(dc, GetSysColor(enabled ? COLOR_WINDOWTEXT : COLOR_GRAYTEXT));
  SetBkColor(dc, GetSysColor(staticLook ? COLOR_BTNFACE : COLOR_WINDOW));
  HBRUSH brush = nullptr;
  if (HWND parent = GetParent(hwnd))
    brush = reinterpret_cast<HBRUSH>(SendMessageA(parent, staticLook ? WM_CTLCOLORSTATIC : WM_CTLCOLOREDIT,
                                                  reinterpret_cast<WPARAM>(dc), reinterpret_cast<LPARAM>(hwnd)));
  if (!brush) brush = GetSysColorBrush(staticLook ? COLOR_BTNFACE : COLOR_WINDOW);
  if (!enabled) SetTextColor(dc, GetSysColor(COLOR_GRAYTEXT));
  FillRect(dc, &client, brush);
  SetBkMode(dc, TRANSPARENT);

  Measure m(hwnd);
  const auto lines = Layout(hwnd, st, m);
  const int lh = m.LineHeight();
  const String shown = Shown(hwnd, st);
  const bool showSel = st->focused || (StyleOf(hwnd) & ES_NOHIDESEL);
  const int a = SelMin(st), b = SelMax(st);
  const COLORREF textColour = GetTextColor(dc);
  for (int li = st->firstLine; li < static_cast<int>(lines.size()); ++li) {
    const int y = st->fmt.top + (li - st->firstLine) * lh;
    if (y >= st->fmt.bottom) break;
    const Line& l = lines[static_cast<size_t>(li)];
    const int x0 = st->fmt.left - st->xOffset + AlignShift(hwnd, st, m.Width(shown, l.start, l.len));
    RECT clip{st->fmt.left, std::max<int>(y, st->fmt.top), st->fmt.right, std::min<int>(y + lh, st->fmt.bottom)};
    ExtTextOutA(dc, x0, y, ETO_CLIPPED, &clip, shown.c_str() + l.start, static_cast<UINT>(l.len), nullptr);
    const int s0 = std::max(a, l.start), s1 = std::min(b, l.start + l.len);
    if (showSel && s0 < s1) {
      RECT hl{x0 + m.Width(shown, l.start, s0 - l.start), y, x0 + m.Width(shown, l.start, s1 - l.start), y + lh};
      hl.left = std::max(hl.left, clip.left), hl.right = std::min(hl.right, clip.right);
      hl.top = clip.top, hl.bottom = clip.bottom;
      FillRect(dc, &hl, GetSysColorBrush(COLOR_HIGHLIGHT));
      SetTextColor(dc, GetSysColor(COLOR_HIGHLIGHTTEXT));
      ExtTextOutA(dc, x0 + m.Width(shown, l.start, s0 - l.start), y, ETO_CLIPPED, &hl, shown.c_str() + s0,
                  static_cast<UINT>(s1 - s0), nullptr);
      SetTextColor(dc, textColour);
    }
  }
  // Every change of text, selection or scroll repaints, so the caret
  // follows from here; the window system blinks it.
  if (st->focused) {
    const POINT p = PosFromChar(hwnd, st, m, lines, st->caret);
    SetCaretPos(p.x, p.y);
  }
  SelectObject(dc, oldFont);
}

void SetSel(HWND hwnd, EditState* st, int start, int end) {
  const int n = static_cast<int>(st->text.size());
  if (start == -1) {
    st->anchor = st->caret;
  } else {
    if (end < 0 || end > n) end = n;
    start = std::clamp(start, 0, n);
    st->anchor = start;
    st->caret = end;
  }
  InvalidateRect(hwnd, nullptr, TRUE);
}

}  // namespace

LRESULT EditProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) {
  EditState* st = StateOf(hwnd);
  if (!st && msg != WM_NCCREATE) return DefWindowProcA(hwnd, msg, wParam, lParam);
  switch (msg) {
    case WM_NCCREATE: {
      if (!st) {
        st = new EditState;
        SetPropA(hwnd, kEditProp, st);
      }
      const auto* cs = reinterpret_cast<const CREATESTRUCTA*>(lParam);
      if (cs && cs->lpszName) st->text = Filtered(hwnd, cs->lpszName);
      if (cs && (cs->style & ES_PASSWORD)) st->password = '*';
      return DefWindowProcA(hwnd, msg, wParam, lParam);
    }
    case WM_CREATE:
      DefaultRect(hwnd, st);
      return 0;
    case WM_NCDESTROY:
      RemovePropA(hwnd, kEditProp);
      delete st;
      return DefWindowProcA(hwnd, msg, wParam, lParam);
    case WM_SIZE:
      DefaultRect(hwnd, st);
      ScrollCaret(hwnd, st);
      InvalidateRect(hwnd, nullptr, TRUE);
      return 0;
    case WM_GETDLGCODE: {
      LRESULT code = DLGC_WANTCHARS | DLGC_HASSETSEL | DLGC_WANTARROWS;
      if (IsMulti(hwnd)) code |= DLGC_WANTALLKEYS;
      return code;
    }
    case WM_SETFONT:
      st->font = reinterpret_cast<HFONT>(wParam);
      ScrollCaret(hwnd, st);
      if (LOWORD(lParam)) InvalidateRect(hwnd, nullptr, TRUE);
      return 0;
    case WM_GETFONT:
      return reinterpret_cast<LRESULT>(st->font);
    case WM_SETTEXT: {
      st->text = Filtered(hwnd, lParam ? reinterpret_cast<const char*>(lParam) : "");
      st->anchor = st->caret = 0;
      st->firstLine = 0;
      st->xOffset = 0;
      st->modified = false;
      st->canUndo = false;
      // A single-line edit tells of text set from outside; a multi-line
      // one does not.
      Changed(hwnd, st, !IsMulti(hwnd));
      return TRUE;
    }
    case WM_GETTEXT: {
      if (wParam == 0 || !lParam) return 0;
      const size_t n = std::min(st->text.size(), static_cast<size_t>(wParam) - 1);
      std::memcpy(reinterpret_cast<char*>(lParam), st->text.data(), n);
      reinterpret_cast<char*>(lParam)[n] = '\0';
      return static_cast<LRESULT>(n);
    }
    case WM_GETTEXTLENGTH:
      return static_cast<LRESULT>(st->text.size());
    case WM_ENABLE:
    case WM_STYLECHANGED:
      InvalidateRect(hwnd, nullptr, TRUE);
      return 0;
    case WM_SETFOCUS: {
      st->focused = true;
      Measure m(hwnd);
      CreateCaret(hwnd, nullptr, 1, m.LineHeight());
      const POINT p = PosFromChar(hwnd, st, m, Layout(hwnd, st, m), st->caret);
      SetCaretPos(p.x, p.y);
      ShowCaret(hwnd);
      InvalidateRect(hwnd, nullptr, TRUE);
      Notify(hwnd, EN_SETFOCUS);
      return 0;
    }
    case WM_KILLFOCUS:
      st->focused = false;
      DestroyCaret();
      InvalidateRect(hwnd, nullptr, TRUE);
      Notify(hwnd, EN_KILLFOCUS);
      return 0;
    case WM_LBUTTONDOWN:
    case WM_LBUTTONDBLCLK: {
      if (GetFocus() != hwnd) SetFocus(hwnd);
      st = StateOf(hwnd);
      if (!st) return 0;
      Measure m(hwnd);
      const auto lines = Layout(hwnd, st, m);
      const int at = CharFromPos(hwnd, st, m, lines, POINT{GET_X_LPARAM(lParam), GET_Y_LPARAM(lParam)});
      if (msg == WM_LBUTTONDBLCLK) {
        st->anchor = PrevWord(st->text, StepRight(st->text, at));
        if (st->anchor > at) st->anchor = at;
        int e = at;
        while (e < static_cast<int>(st->text.size()) && IsWordChar(st->text[static_cast<size_t>(e)])) ++e;
        st->caret = e;
      } else {
        st->caret = at;
        if (!(wParam & MK_SHIFT)) st->anchor = at;
        st->tracking = true;
        SetCapture(hwnd);
      }
      InvalidateRect(hwnd, nullptr, TRUE);
      return 0;
    }
    case WM_MOUSEMOVE:
      if (st->tracking && GetCapture() == hwnd) {
        Measure m(hwnd);
        const auto lines = Layout(hwnd, st, m);
        const int at = CharFromPos(hwnd, st, m, lines, POINT{GET_X_LPARAM(lParam), GET_Y_LPARAM(lParam)});
        if (at != st->caret) {
          st->caret = at;
          ScrollCaret(hwnd, st);
          InvalidateRect(hwnd, nullptr, TRUE);
        }
      }
      return 0;
    case WM_LBUTTONUP:
      if (st->tracking) {
        st->tracking = false;
        if (GetCapture() == hwnd) ReleaseCapture();
      }
      return 0;
    case WM_CAPTURECHANGED:
      st->tracking = false;
      return 0;
    case WM_KEYDOWN:
      KeyDown(hwnd, st, wParam);
      return 0;
    case WM_CHAR:
      Char(hwnd, st, wParam);
      return 0;
    case WM_CUT:
      if (!ReadOnly(hwnd)) {
        Copy(hwnd, st);
        Clear(hwnd, st);
      }
      return 0;
    case WM_COPY:
      Copy(hwnd, st);
      return 0;
    case WM_PASTE:
      Paste(hwnd, st);
      return 0;
    case WM_CLEAR:
      Clear(hwnd, st);
      return 0;
    case WM_UNDO:
    case EM_UNDO:
      if (!st->canUndo) return FALSE;
      UndoEdit(hwnd, st);
      return TRUE;
    case EM_CANUNDO:
      return st->canUndo ? TRUE : FALSE;
    case EM_EMPTYUNDOBUFFER:
      st->canUndo = false;
      return 0;
    case EM_GETSEL: {
      const DWORD a = static_cast<DWORD>(SelMin(st)), b = static_cast<DWORD>(SelMax(st));
      if (wParam) *reinterpret_cast<DWORD*>(wParam) = a;
      if (lParam) *reinterpret_cast<DWORD*>(lParam) = b;
      return static_cast<LRESULT>(MAKELONG(static_cast<WORD>(std::min<DWORD>(a, 0xFFFF)),
                                           static_cast<WORD>(std::min<DWORD>(b, 0xFFFF))));
    }
    case EM_SETSEL:
      SetSel(hwnd, st, static_cast<int>(static_cast<intptr_t>(wParam)), static_cast<int>(lParam));
      return 0;
    case EM_REPLACESEL:
      ReplaceSel(hwnd, st, lParam ? reinterpret_cast<const char*>(lParam) : "", wParam != 0, true);
      return 0;
    case EM_SCROLLCARET:
      ScrollCaret(hwnd, st);
      InvalidateRect(hwnd, nullptr, TRUE);
      return TRUE;
    case EM_GETMODIFY:
      return st->modified ? TRUE : FALSE;
    case EM_SETMODIFY:
      st->modified = wParam != 0;
      return 0;
    case EM_SETLIMITTEXT:
      st->limit = wParam == 0 ? 0x7FFFFFFE : static_cast<int>(std::min<WPARAM>(wParam, 0x7FFFFFFE));
      return 0;
    case EM_GETLIMITTEXT:
      return st->limit;
    case EM_SETREADONLY: {
      const DWORD style = StyleOf(hwnd);
      SetWindowLongA(hwnd, GWL_STYLE, static_cast<LONG_PTR>(wParam ? (style | ES_READONLY) : (style & ~ES_READONLY)));
      InvalidateRect(hwnd, nullptr, TRUE);
      return TRUE;
    }
    case EM_SETPASSWORDCHAR: {
      if (IsMulti(hwnd)) return 0;
      st->password = static_cast<char>(wParam);
      const DWORD style = StyleOf(hwnd);
      SetWindowLongA(hwnd, GWL_STYLE, static_cast<LONG_PTR>(wParam ? (style | ES_PASSWORD) : (style & ~ES_PASSWORD)));
      ScrollCaret(hwnd, st);
      InvalidateRect(hwnd, nullptr, TRUE);
      return 0;
    }
    case EM_GETPASSWORDCHAR:
      return static_cast<unsigned char>(st->password);
    case EM_GETLINECOUNT:
    case EM_LINEINDEX:
    case EM_LINELENGTH:
    case EM_LINEFROMCHAR:
    case EM_GETLINE:
    case EM_POSFROMCHAR:
    case EM_CHARFROMPOS:
    case EM_GETFIRSTVISIBLELINE: {
      Measure m(hwnd);
      const auto lines = Layout(hwnd, st, m);
      const int count = static_cast<int>(lines.size());
      const int n = static_cast<int>(st->text.size());
      switch (msg) {
        case EM_GETLINECOUNT:
          return count;
        case EM_GETFIRSTVISIBLELINE:
          return IsMulti(hwnd) ? st->firstLine : 0;
        case EM_LINEINDEX: {
          int li = static_cast<int>(static_cast<intptr_t>(wParam));
          if (li < 0) li = LineOf(lines, st->caret);
          return li < count ? lines[static_cast<size_t>(li)].start : -1;
        }
        case EM_LINELENGTH: {
          const int index = static_cast<int>(static_cast<intptr_t>(wParam));
          if (index < 0) {
            // The characters of the selected lines that are not selected.
            const Line& first = lines[static_cast<size_t>(LineOf(lines, SelMin(st)))];
            const Line& last = lines[static_cast<size_t>(LineOf(lines, SelMax(st)))];
            return (SelMin(st) - first.start) + (last.start + last.len - SelMax(st));
          }
          if (index > n) return 0;
          return lines[static_cast<size_t>(LineOf(lines, index))].len;
        }
        case EM_LINEFROMCHAR: {
          int index = static_cast<int>(static_cast<intptr_t>(wParam));
          if (index < 0) index = SelMin(st);
          return LineOf(lines, std::min(index, n));
        }
        case EM_GETLINE: {
          const int li = static_cast<int>(wParam);
          if (li < 0 || li >= count || !lParam) return 0;
          char* buf = reinterpret_cast<char*>(lParam);
          WORD size;
          std::memcpy(&size, buf, sizeof size);
          const Line& l = lines[static_cast<size_t>(li)];
          const int copied = std::min<int>(l.len, size);
          std::memcpy(buf, st->text.data() + l.start, static_cast<size_t>(copied));
          return copied;
        }
        case EM_POSFROMCHAR: {
          const int index = static_cast<int>(wParam);
          if (index < 0 || index > n) return -1;
          const POINT p = PosFromChar(hwnd, st, m, lines, index);
          return static_cast<LRESULT>(MAKELONG(static_cast<WORD>(p.x), static_cast<WORD>(p.y)));
        }
        case EM_CHARFROMPOS: {
          const POINT p{GET_X_LPARAM(lParam), GET_Y_LPARAM(lParam)};
          const int at = CharFromPos(hwnd, st, m, lines, p);
          return static_cast<LRESULT>(MAKELONG(static_cast<WORD>(at), static_cast<WORD>(LineOf(lines, at))));
        }
        default:
          return 0;
      }
    }
    case EM_LINESCROLL:
      if (IsMulti(hwnd)) {
        Measure m(hwnd);
        const auto lines = Layout(hwnd, st, m);
        st->firstLine = std::clamp(st->firstLine + static_cast<int>(lParam), 0, static_cast<int>(lines.size()) - 1);
        if (!Wraps(hwnd)) st->xOffset = std::max(0, st->xOffset + static_cast<int>(static_cast<intptr_t>(wParam)) *
                                                                   m.Width("0", 0, 1));
        UpdateScrollBars(hwnd, st, lines, m);
        InvalidateRect(hwnd, nullptr, TRUE);
        return TRUE;
      }
      return FALSE;
    case WM_VSCROLL:
    case WM_MOUSEWHEEL: {
      if (!IsMulti(hwnd)) return 0;
      Measure m(hwnd);
      const auto lines = Layout(hwnd, st, m);
      const int page = std::max(1, static_cast<int>(st->fmt.bottom - st->fmt.top) / m.LineHeight());
      int first = st->firstLine;
      if (msg == WM_MOUSEWHEEL) {
        first -= 3 * static_cast<int16_t>(HIWORD(wParam)) / WHEEL_DELTA;
      } else {
        switch (LOWORD(wParam)) {
          case SB_LINEUP: --first; break;
          case SB_LINEDOWN: ++first; break;
          case SB_PAGEUP: first -= page; break;
          case SB_PAGEDOWN: first += page; break;
          case SB_THUMBTRACK:
          case SB_THUMBPOSITION: first = static_cast<int16_t>(HIWORD(wParam)); break;
          case SB_TOP: first = 0; break;
          case SB_BOTTOM: first = static_cast<int>(lines.size()); break;
          default: break;
        }
      }
      st->firstLine = std::clamp(first, 0, std::max(0, static_cast<int>(lines.size()) - page));
      UpdateScrollBars(hwnd, st, lines, m);
      InvalidateRect(hwnd, nullptr, TRUE);
      return 0;
    }
    case EM_GETRECT:
      if (lParam) *reinterpret_cast<RECT*>(lParam) = st->fmt;
      return 0;
    case EM_SETRECT:
    case EM_SETRECTNP:
      if (lParam) {
        st->fmt = *reinterpret_cast<const RECT*>(lParam);
        st->customRect = true;
      } else {
        st->customRect = false;
        DefaultRect(hwnd, st);
      }
      ScrollCaret(hwnd, st);
      if (msg == EM_SETRECT) InvalidateRect(hwnd, nullptr, TRUE);
      return 0;
    case EM_SETMARGINS:
      if (wParam & EC_LEFTMARGIN) st->leftMargin = LOWORD(static_cast<uintptr_t>(lParam));
      if (wParam & EC_RIGHTMARGIN) st->rightMargin = HIWORD(static_cast<uintptr_t>(lParam));
      DefaultRect(hwnd, st);
      InvalidateRect(hwnd, nullptr, TRUE);
      return 0;
    case EM_GETMARGINS:
      return static_cast<LRESULT>(MAKELONG(static_cast<WORD>(st->leftMargin), static_cast<WORD>(st->rightMargin)));
    case WM_ERASEBKGND:
      return 1;
    case WM_PAINT:
      return PaintControlWindow(hwnd, wParam, Paint);
    default:
      return DefWindowProcA(hwnd, msg, wParam, lParam);
  }
}

}  // namespace forms
