// TEdit and TMemo over the "EDIT" window class.
#include <algorithm>

#include "platform/forms/StdCtrls.h"
#include "platform/forms/StdCtrlsInternal.h"
#include "platform/win/Api.h"

namespace forms {

using namespace win;

TCustomEdit::TCustomEdit(TComponent* owner) : TWinControl(owner) {
  RegisterStdControlClasses();
  SetControlStyle(TControlStyle{csClickEvents, csSetCaption, csDoubleClicks, csFixedHeight});
  SetBounds(0, 0, 121, 21);
  SetTabStop(true);
  SetColor(clWindow);
}

TCustomEdit::~TCustomEdit() {
  BeginDestruction();
  DestroyHandle();
  if (brush_) DeleteObject(brush_);
}

void TCustomEdit::CreateParams(TCreateParams& p) {
  TWinControl::CreateParams(p);
  CreateSubClass(p, "EDIT");
  p.Style |= ES_AUTOHSCROLL | ES_AUTOVSCROLL;
  if (readOnly_) p.Style |= ES_READONLY;
  if (!hideSelection_) p.Style |= ES_NOHIDESEL;
  if (charCase_ == ecUpperCase) p.Style |= ES_UPPERCASE;
  if (charCase_ == ecLowerCase) p.Style |= ES_LOWERCASE;
  if (borderStyle_ == bsSingle) p.ExStyle |= WS_EX_CLIENTEDGE;
  p.WindowClass.style &= ~(CS_HREDRAW | CS_VREDRAW);
}

void TCustomEdit::SendFont() {
  if (HandleAllocated()) SendMessageA(Handle(), WM_SETFONT, reinterpret_cast<WPARAM>(Font()->Handle()), TRUE);
}

void TCustomEdit::CreateWnd() {
  creating_ = true;
  try {
    TWinControl::CreateWnd();
  } catch (...) {
    creating_ = false;
    throw;
  }
  creating_ = false;
  HWND h = Handle();
  SendFont();
  SendMessageA(h, EM_LIMITTEXT, static_cast<WPARAM>(maxLength_), 0);
  if (passwordChar_) SendMessageA(h, EM_SETPASSWORDCHAR, static_cast<unsigned char>(passwordChar_), 0);
  SendMessageA(h, EM_SETMODIFY, modified_ ? TRUE : FALSE, 0);
  SendMessageA(h, EM_SETSEL, static_cast<WPARAM>(selStart_), selStart_ + selLength_);
}

void TCustomEdit::DestroyWnd() {
  if (HandleAllocated()) {
    modified_ = Modified();
    selStart_ = SelStart();
    selLength_ = SelLength();
  }
  TWinControl::DestroyWnd();
}

void TCustomEdit::SetReadOnly(bool v) {
  if (readOnly_ == v) return;
  readOnly_ = v;
  if (HandleAllocated()) SendMessageA(Handle(), EM_SETREADONLY, v ? TRUE : FALSE, 0);
}

void TCustomEdit::SetMaxLength(int v) {
  if (maxLength_ == v) return;
  maxLength_ = v;
  if (HandleAllocated()) SendMessageA(Handle(), EM_LIMITTEXT, static_cast<WPARAM>(v), 0);
}

void TCustomEdit::SetPasswordChar(char c) {
  if (passwordChar_ == c) return;
  passwordChar_ = c;
  if (HandleAllocated()) SendMessageA(Handle(), EM_SETPASSWORDCHAR, static_cast<unsigned char>(c), 0);
  Invalidate();
}

void TCustomEdit::SetBorderStyle(TBorderStyle s) {
  if (borderStyle_ == s) return;
  borderStyle_ = s;
  RecreateWnd();
}

void TCustomEdit::SetCharCase(TEditCharCase c) {
  if (charCase_ == c) return;
  charCase_ = c;
  RecreateWnd();
}

void TCustomEdit::SetHideSelection(bool v) {
  if (hideSelection_ == v) return;
  hideSelection_ = v;
  RecreateWnd();
}

bool TCustomEdit::Modified() const {
  auto* self = const_cast<TCustomEdit*>(this);
  if (HandleAllocated()) return SendMessageA(self->Handle(), EM_GETMODIFY, 0, 0) != 0;
  return modified_;
}

void TCustomEdit::SetModified(bool v) {
  modified_ = v;
  if (HandleAllocated()) SendMessageA(Handle(), EM_SETMODIFY, v ? TRUE : FALSE, 0);
}

int TCustomEdit::SelStart() {
  if (!HandleAllocated()) return selStart_;
  DWORD a = 0, b = 0;
  SendMessageA(Handle(), EM_GETSEL, reinterpret_cast<WPARAM>(&a), reinterpret_cast<LPARAM>(&b));
  return static_cast<int>(a);
}

int TCustomEdit::SelLength() {
  if (!HandleAllocated()) return selLength_;
  DWORD a = 0, b = 0;
  SendMessageA(Handle(), EM_GETSEL, reinterpret_cast<WPARAM>(&a), reinterpret_cast<LPARAM>(&b));
  return static_cast<int>(b - a);
}

void TCustomEdit::SetSelStart(int v) {
  selStart_ = v;
  selLength_ = 0;
  if (HandleAllocated()) SendMessageA(Handle(), EM_SETSEL, static_cast<WPARAM>(v), v);
}

void TCustomEdit::SetSelLength(int v) {
  const int start = SelStart();
  selLength_ = v;
  if (HandleAllocated()) SendMessageA(Handle(), EM_SETSEL, static_cast<WPARAM>(start), start + v);
}

String TCustomEdit::SelText() {
  const String t = Text();
  const int a = std::clamp(SelStart(), 0, static_cast<int>(t.size()));
  const int n = std::clamp(SelLength(), 0, static_cast<int>(t.size()) - a);
  return t.substr(static_cast<size_t>(a), static_cast<size_t>(n));
}

void TCustomEdit::SetSelText(const String& s) {
  HandleNeeded();
  SendMessageA(Handle(), EM_REPLACESEL, 0, reinterpret_cast<LPARAM>(s.c_str()));
}

void TCustomEdit::SelectAll() {
  if (HandleAllocated()) SendMessageA(Handle(), EM_SETSEL, 0, -1);
  else selStart_ = 0, selLength_ = static_cast<int>(Text().size());
}

void TCustomEdit::ClearSelection() {
  if (HandleAllocated()) SendMessageA(Handle(), WM_CLEAR, 0, 0);
}
void TCustomEdit::CutToClipboard() {
  if (HandleAllocated()) SendMessageA(Handle(), WM_CUT, 0, 0);
}
void TCustomEdit::CopyToClipboard() {
  if (HandleAllocated()) SendMessageA(Handle(), WM_COPY, 0, 0);
}
void TCustomEdit::PasteFromClipboard() {
  if (HandleAllocated()) SendMessageA(Handle(), WM_PASTE, 0, 0);
}
void TCustomEdit::Undo() {
  if (HandleAllocated()) SendMessageA(Handle(), WM_UNDO, 0, 0);
}
bool TCustomEdit::CanUndo() { return HandleAllocated() && SendMessageA(Handle(), EM_CANUNDO, 0, 0) != 0; }

void TCustomEdit::Change() {
  if (OnChange) OnChange(this);
}

void TCustomEdit::Dispatch(TMessage& m) {
  switch (m.Msg) {
    case CN_COMMAND:
      if (HIWORD(m.WParam) == EN_CHANGE && !creating_) Change();
      return;
    case CN_CTLCOLOREDIT:
    case CN_CTLCOLORSTATIC: {
      HDC dc = reinterpret_cast<HDC>(m.WParam);
      if (!brush_ || brushColor_ != Color()) {
        if (brush_) DeleteObject(brush_);
        brushColor_ = Color();
        brush_ = CreateSolidBrush(ColorToRGB(brushColor_));
      }
      SetTextColor(dc, Enabled() ? ColorToRGB(Font()->Color()) : GetSysColor(COLOR_GRAYTEXT));
      SetBkColor(dc, ColorToRGB(Color()));
      m.Result = reinterpret_cast<LRESULT>(brush_);
      return;
    }
    case CM_TEXTCHANGED:
      TWinControl::Dispatch(m);
      // With a window a single line tells of the change itself.
      if (!HandleAllocated() || (GetWindowLongA(Handle(), GWL_STYLE) & ES_MULTILINE)) Change();
      return;
    case CM_FONTCHANGED:
      SendFont();
      break;
    case CM_COLORCHANGED:
      Invalidate();
      break;
    case CM_ENTER:
      if (autoSelect_ && !controlState_.Contains(csLButtonDown) &&
          !(GetWindowLongA(Handle(), GWL_STYLE) & ES_MULTILINE))
        SelectAll();
      break;
    default:
      break;
  }
  TWinControl::Dispatch(m);
}

// ---- TMemo ----

TMemo::TMemo(TComponent* owner) : TCustomEdit(owner), lines_(std::make_unique<TMemoStrings>(this)) {
  SetBounds(0, 0, 185, 89);
  SetAutoSelect(false);
  controlStyle_.Exclude(csFixedHeight);
}

TMemo::~TMemo() {
  BeginDestruction();
  DestroyHandle();
}

void TMemo::CreateParams(TCreateParams& p) {
  TCustomEdit::CreateParams(p);
  p.Style &= ~(ES_AUTOHSCROLL | ES_AUTOVSCROLL);
  p.Style |= ES_MULTILINE | ES_AUTOVSCROLL;
  if (!wordWrap_) p.Style |= ES_AUTOHSCROLL;
  if (scrollBars_ == ssVertical || scrollBars_ == ssBoth) p.Style |= WS_VSCROLL;
  if ((scrollBars_ == ssHorizontal || scrollBars_ == ssBoth) && !wordWrap_) p.Style |= WS_HSCROLL;
  if (alignment_ == taRightJustify) p.Style |= ES_RIGHT;
  if (alignment_ == taCenter) p.Style |= ES_CENTER;
}

void TMemo::SetScrollBars(TScrollStyle s) {
  if (scrollBars_ == s) return;
  scrollBars_ = s;
  RecreateWnd();
}
void TMemo::SetWordWrap(bool v) {
  if (wordWrap_ == v) return;
  wordWrap_ = v;
  RecreateWnd();
}
void TMemo::SetAlignment(TAlignment a) {
  if (alignment_ == a) return;
  alignment_ = a;
  RecreateWnd();
}

TPoint TMemo::CaretPos() {
  HWND h = Handle();
  DWORD a = 0, b = 0;
  SendMessageA(h, EM_GETSEL, reinterpret_cast<WPARAM>(&a), reinterpret_cast<LPARAM>(&b));
  // The caret is at the end of the selection the user made.
  const int caret = static_cast<int>(b);
  const int line = static_cast<int>(SendMessageA(h, EM_LINEFROMCHAR, static_cast<WPARAM>(caret), 0));
  const int start = static_cast<int>(SendMessageA(h, EM_LINEINDEX, static_cast<WPARAM>(line), 0));
  return Point(caret - start, line);
}

void TMemo::Dispatch(TMessage& m) {
  switch (m.Msg) {
    case WM_GETDLGCODE:
      TCustomEdit::Dispatch(m);
      if (wantTabs_) m.Result |= DLGC_WANTTAB;
      else m.Result &= ~DLGC_WANTTAB;
      if (!wantReturns_) m.Result &= ~DLGC_WANTALLKEYS;
      return;
    case WM_CHAR:
      if ((m.WParam == '\t' && !wantTabs_) || (m.WParam == '\r' && !wantReturns_)) return;
      break;
    default:
      break;
  }
  TCustomEdit::Dispatch(m);
}

// ---- TMemoStrings ----

std::vector<String> TMemoStrings::Split() const {
  std::vector<String> lines;
  const String t = memo_->Text();
  size_t pos = 0;
  while (pos < t.size()) {
    size_t end = t.find('\n', pos);
    if (end == String::npos) end = t.size();
    size_t lineEnd = end;
    if (lineEnd > pos && t[lineEnd - 1] == '\r') --lineEnd;
    lines.push_back(t.substr(pos, lineEnd - pos));
    pos = end + 1;
  }
  return lines;
}

void TMemoStrings::Join(const std::vector<String>& lines) {
  String t;
  for (const String& l : lines) t += l + "\r\n";
  memo_->SetText(t);
}

int32_t TMemoStrings::Count() const { return static_cast<int32_t>(Split().size()); }

String TMemoStrings::Get(int32_t index) const {
  const auto lines = Split();
  if (index < 0 || index >= static_cast<int32_t>(lines.size()))
    throw rtl::EListError("List index out of bounds (" + std::to_string(index) + ")");
  return lines[static_cast<size_t>(index)];
}

void TMemoStrings::Put(int32_t index, const String& s) {
  auto lines = Split();
  if (index < 0 || index >= static_cast<int32_t>(lines.size()))
    throw rtl::EListError("List index out of bounds (" + std::to_string(index) + ")");
  lines[static_cast<size_t>(index)] = s;
  Join(lines);
}

void TMemoStrings::Insert(int32_t index, const String& s) {
  auto lines = Split();
  if (index < 0 || index > static_cast<int32_t>(lines.size()))
    throw rtl::EListError("List index out of bounds (" + std::to_string(index) + ")");
  lines.insert(lines.begin() + index, s);
  Join(lines);
}

void TMemoStrings::Delete(int32_t index) {
  auto lines = Split();
  if (index < 0 || index >= static_cast<int32_t>(lines.size()))
    throw rtl::EListError("List index out of bounds (" + std::to_string(index) + ")");
  lines.erase(lines.begin() + index);
  Join(lines);
}

void TMemoStrings::Clear() { memo_->SetText(""); }

void TMemoStrings::SetText(const String& text) { memo_->SetText(text); }

}  // namespace forms
