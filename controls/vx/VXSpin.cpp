#include "controls/vx/VXSpin.h"

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstdio>

#include "platform/forms/Forms.h"
#include "platform/rtl/Format.h"
#include "platform/rtl/Resources.h"
#include "platform/rtl/Streams.h"
#include "platform/rtl/StringUtils.h"
#include "platform/win/Api.h"

using namespace forms;
using namespace win;

namespace controls {

extern const rtl::ResourceTable controlsResources;

namespace {

constexpr uint32_t kFirstRepeat = 400;
constexpr uint32_t kNextRepeats = 100;

void LoadResourceBitmap(TBitmap* bitmap, const char* name) {
  const rtl::ResourceEntry& entry = rtl::GetResource(controlsResources, name);
  rtl::TMemoryStream stream;
  stream.Write(entry.Data, static_cast<int64_t>(entry.Size));
  stream.Seek(0, rtl::soBeginning);
  bitmap->LoadFromStream(&stream);
}

int RoundEven(double v) { return static_cast<int>(std::nearbyint(v)); }

bool LeftButtonDown() { return GetKeyState(static_cast<int>(VK_LBUTTON)) < 0; }

// Every platform this runs on has the new-style controls.
constexpr bool kNewStyleControls = true;

}  // namespace

int DefaultSpinButtonWidth() { return std::min(GetSystemMetrics(SM_CXVSCROLL), 15); }

// ---- TVxSpinButton ----

TVxSpinButton::TVxSpinButton(TComponent* owner)
    : TGraphicControl(owner), upGlyph_(std::make_unique<TBitmap>()), downGlyph_(std::make_unique<TBitmap>()) {
  for (auto& face : faces_) face = std::make_unique<TBitmap>();
  LoadResourceBitmap(upGlyph_.get(), "VXSPINUP");
  LoadResourceBitmap(downGlyph_.get(), "VXSPINDOWN");
  upGlyph_->OnChange = [this](TObject* s) { GlyphChanged(s); };
  downGlyph_->OnChange = [this](TObject* s) { GlyphChanged(s); };
  SetBounds(0, 0, 20, 20);
}

TVxSpinButton::~TVxSpinButton() {
  repeatTimer_.reset();
  upGlyph_->OnChange = nullptr;
  downGlyph_->OnChange = nullptr;
}

void TVxSpinButton::GlyphChanged(TObject*) {
  rebuild_ = true;
  Invalidate();
}

void TVxSpinButton::SetFocusControl(TWinControl* c) {
  if (focusControl_ == c) return;
  if (focusControl_) focusControl_->RemoveFreeNotification(this);
  focusControl_ = c;
  if (c) c->FreeNotification(this);
}

void TVxSpinButton::Notification(TComponent* component, TOperation operation) {
  TGraphicControl::Notification(component, operation);
  if (operation == opRemove && component == focusControl_) focusControl_ = nullptr;
}

TVxSpinButton::THalf TVxSpinButton::HalfAt(int x, int y) const {
  const double w = Width(), h = Height();
  if (w <= 0) return shUpper;
  return y > h - (h / w) * x ? shLower : shUpper;
}

void TVxSpinButton::DrawFace(TBitmap* face, THalf state) {
  const int w = Width(), h = Height();
  face->SetSize(w, h);
  TCanvas* c = face->Canvas();
  auto line = [c](TColor color, std::initializer_list<TPoint> points) {
    c->Pen()->SetColor(color);
    c->Polyline(std::vector<TPoint>(points));
  };
  c->Brush()->SetStyle(bsSolid);
  c->Brush()->SetColor(clBtnFace);
  c->Pen()->SetWidth(1);
  c->Pen()->SetColor(clWindowFrame);
  c->Rectangle(0, 0, w, h);
  c->MoveTo(-1, h);
  c->LineTo(w, -1);
  const bool upper = state == shUpper, lower = state == shLower;
  line(upper ? clBtnShadow : clBtnHighlight, {Point(1, h - 4), Point(1, 1), Point(w - 3, 1)});
  if (!upper) line(clBtnShadow, {Point(1, h - 3), Point(w - 2, 0)});
  line(lower ? clBtnHighlight : clBtnShadow, {Point(2, h - 2), Point(w - 2, h - 2), Point(w - 2, 1)});
  line(lower ? clBtnShadow : clBtnHighlight, {Point(2, h - 2), Point(w - 1, 1)});

  c->Brush()->SetColor(clBtnFace);
  const int k = upper ? 2 : 1;
  const int uw = upGlyph_->Width(), uh = upGlyph_->Height();
  if (uw > 0 && uh > 0) {
    const int x = RoundEven(w / 4.0 - uw / 2.0) + k, y = RoundEven(h / 4.0 - uh / 2.0) + k;
    c->BrushCopy(Bounds(x, y, uw, uh), upGlyph_.get(), Rect(0, 0, uw, uh), upGlyph_->TransparentColor());
  }
  const int dw = downGlyph_->Width(), dh = downGlyph_->Height();
  if (dw > 0 && dh > 0) {
    const int x = RoundEven(3.0 * w / 4.0 - dw / 2.0) - 1, y = RoundEven(3.0 * h / 4.0 - dh / 2.0) - 1;
    c->BrushCopy(Bounds(x, y, dw, dh), downGlyph_.get(), Rect(0, 0, dw, dh), downGlyph_->TransparentColor());
  }
  if (lower) line(clBtnShadow, {Point(3, h - 2), Point(w - 1, 2)});
}

void TVxSpinButton::RebuildFaces() {
  DrawFace(faces_[shNone].get(), shNone);
  DrawFace(faces_[shUpper].get(), shUpper);
  DrawFace(faces_[shLower].get(), shLower);
  rebuild_ = false;
}

void TVxSpinButton::Paint() {
  if (!Enabled() && !ComponentState().Contains(csDesigning)) dragging_ = false;
  if (rebuild_ || faces_[shNone]->Width() != Width() || faces_[shNone]->Height() != Height()) RebuildFaces();
  Canvas()->Draw(0, 0, faces_[pressed_].get());
}

void TVxSpinButton::ClickHalf(THalf half) {
  if (half == shUpper && OnTopClick) OnTopClick(this);
  if (half == shLower && OnBottomClick) OnBottomClick(this);
  // A click handler that took long may find the button already released.
  if (!LeftButtonDown()) pressed_ = shNone;
}

void TVxSpinButton::RepeatTick(TObject*) {
  repeatTimer_->SetInterval(kNextRepeats);
  if (pressed_ == shNone || !MouseCapture()) return;
  try {
    ClickHalf(pressed_);
  } catch (...) {
    repeatTimer_->SetEnabled(false);
    throw;
  }
}

void TVxSpinButton::MouseDown(TMouseButton button, TShiftState shift, int x, int y) {
  TGraphicControl::MouseDown(button, shift, x, y);
  if (button != mbLeft || !Enabled()) return;
  if (focusControl_ && focusControl_->TabStop() && focusControl_->CanFocus() &&
      focusControl_->Handle() != GetFocus())
    focusControl_->SetFocus();
  if (pressed_ == shNone) {
    downHalf_ = shNone;
    pressed_ = HalfAt(x, y);
    const THalf half = pressed_;
    ClickHalf(half);
    if (half != downHalf_) {
      downHalf_ = half;
      Repaint();
    }
  }
  if (!repeatTimer_) repeatTimer_ = std::make_unique<TTimer>(nullptr);
  repeatTimer_->SetEnabled(false);
  repeatTimer_->OnTimer = [this](TObject* s) { RepeatTick(s); };
  repeatTimer_->SetInterval(kFirstRepeat);
  repeatTimer_->SetEnabled(true);
  dragging_ = true;
}

void TVxSpinButton::MouseMove(TShiftState shift, int x, int y) {
  TGraphicControl::MouseMove(shift, x, y);
  if (!dragging_) return;
  THalf now = shNone;
  if (x >= 0 && x <= Width() && y >= 0 && y <= Height()) {
    const THalf under = HalfAt(x, y);
    now = under == downHalf_ ? downHalf_ : shNone;
  }
  if (now != pressed_) {
    pressed_ = now;
    Repaint();
  }
}

void TVxSpinButton::MouseUp(TMouseButton button, TShiftState shift, int x, int y) {
  TGraphicControl::MouseUp(button, shift, x, y);
  dragging_ = false;
  if (x >= 0 && x <= Width() && y >= 0 && y <= Height()) {
    pressed_ = shNone;
    downHalf_ = shNone;
    Repaint();
  }
}

void TVxSpinButton::Dispatch(TMessage& m) {
  if (m.Msg == CM_ENABLEDCHANGED) {
    TGraphicControl::Dispatch(m);
    rebuild_ = true;
    Invalidate();
    return;
  }
  TGraphicControl::Dispatch(m);
}

// ---- TVxUpDown ----

TVxUpDown::TVxUpDown(TComponent* owner) : TUpDown(owner) {
  SetOrientation(udVertical);
  SetMin(-1);
  SetMax(1);
  SetPosition(0);
}

TVxUpDown::~TVxUpDown() { OnClick = nullptr; }

void TVxUpDown::SetBounds(int left, int top, int, int height) {
  TUpDown::SetBounds(left, top, DefaultSpinButtonWidth(), height);
}

void TVxUpDown::Dispatch(TMessage& m) {
  if (m.Msg != CN_HSCROLL && m.Msg != CN_VSCROLL) {
    TUpDown::Dispatch(m);
    return;
  }
  m.Result = 0;
  if (LOWORD(m.WParam) != SB_THUMBPOSITION || changing_) return;
  changing_ = true;
  const int position = static_cast<int16_t>(HIWORD(m.WParam));
  try {
    if (position > 0 && OnClick) OnClick(this, btNext);
    if (position < 0 && OnClick) OnClick(this, btPrev);
  } catch (...) {
    changing_ = false;
    throw;
  }
  SendMessageA(Handle(), UDM_SETPOS, 0, 0);
  changing_ = false;
}

// ---- TVxSpinEdit ----

TVxSpinEdit::TVxSpinEdit(TComponent* owner) : TCustomEdit(owner) {
  SetText("0");
  TControlStyle style = ControlStyle();
  style.Exclude(csSetCaption);
  SetControlStyle(style);
  RebuildSpinButton();
}

TVxSpinEdit::~TVxSpinEdit() {
  changing_ = true;
  OnTopClick = nullptr;
  OnBottomClick = nullptr;
  OnChange = nullptr;
}

namespace {

// Rounds halves to even into a whole number; a value past the 64-bit range
// (a float text such as "1e300" turned into an integer edit) saturates
// instead of overflowing the conversion.
int64_t RoundToInt64(double v) {
  const double r = std::nearbyint(v);
  if (std::isnan(r)) return 0;
  if (r >= 9223372036854775808.0) return INT64_MAX;
  if (r < -9223372036854775808.0) return INT64_MIN;
  return static_cast<int64_t>(r);
}

}  // namespace

double TVxSpinEdit::ClampValue(double v) const {
  if (maxValue_ == minValue_) return v;
  // Minimum first: with the limits crossed (minimum above maximum) a value
  // below the minimum still gets the minimum and any other the maximum.
  if (v < minValue_) return minValue_;
  if (v > maxValue_) return maxValue_;
  return v;
}

double TVxSpinEdit::Value() const {
  const String text = Text();
  switch (valueType_) {
    case vtFloat: {
      double v = 0;
      if (rtl::TryStrToFloat(text, v)) return v;
      return minValue_;
    }
    case vtHex: {
      const String t = rtl::Trim(text);
      int64_t v = 0;
      bool ok = !t.empty() && t.size() <= 16;
      for (char ch : t) {
        int d = -1;
        if (ch >= '0' && ch <= '9') d = ch - '0';
        if (ch >= 'a' && ch <= 'f') d = ch - 'a' + 10;
        if (ch >= 'A' && ch <= 'F') d = ch - 'A' + 10;
        if (d < 0) ok = false;
        if (!ok) break;
        v = v * 16 + d;
      }
      // Eight digits wrap to a negative 32-bit number, as "$FFFFFFFF" reads.
      if (ok && t.size() <= 8) return static_cast<double>(static_cast<int32_t>(static_cast<uint32_t>(v)));
      if (ok) return static_cast<double>(v);
      return std::trunc(minValue_);
    }
    case vtInteger:
    default: {
      int64_t v = 0;
      if (rtl::TryStrToInt64(rtl::Trim(text), v)) return static_cast<double>(v);
      return std::trunc(minValue_);
    }
  }
}

void TVxSpinEdit::SetValue(double v) {
  v = ClampValue(v);
  String text;
  switch (valueType_) {
    case vtFloat:
      text = rtl::FloatToStrF(v, rtl::ffFixed, 15, decimal_);
      break;
    case vtHex: {
      char buf[24];
      std::snprintf(buf, sizeof buf, "%X", static_cast<uint32_t>(RoundToInt64(v)));
      text = buf;
      break;
    }
    case vtInteger:
    default:
      text = rtl::IntToStr(RoundToInt64(v));
      break;
  }
  SetText(text);
}

void TVxSpinEdit::SetValueType(TValueType v) {
  if (v == valueType_) return;
  const double value = Value();
  valueType_ = v;
  SetValue(value);
  if (v != vtFloat) {
    increment_ = std::nearbyint(increment_);
    if (increment_ == 0) increment_ = 1;
  }
}

void TVxSpinEdit::SetDecimal(uint8_t v) {
  if (v == decimal_) return;
  decimal_ = v;
  SetValue(Value());
}

void TVxSpinEdit::SetButtonKind(TSpinButtonKind v) {
  const TSpinButtonKind old = buttonKind_;
  buttonKind_ = v;
  const TSpinButtonKind effective = kNewStyleControls ? v : bkDiagonal;
  effectiveKind_ = effective;
  if (old != effective) {
    RebuildSpinButton();
    PlaceSpinButton();
    UpdateEditRect();
  }
}

void TVxSpinEdit::SetArrowKeys(bool v) {
  arrowKeys_ = v;
  PlaceSpinButton();
}

void TVxSpinEdit::SetAlignment(TAlignment v) {
  if (v == alignment_) return;
  alignment_ = v;
  if (HandleAllocated()) RecreateWnd();
}

int TVxSpinEdit::MinEditHeight() {
  HDC dc = GetDC(nullptr);
  HGDIOBJ old = SelectObject(dc, Font()->Handle());
  TEXTMETRICW tm{};
  GetTextMetrics(dc, &tm);
  SelectObject(dc, old);
  ReleaseDC(nullptr, dc);
  return 4 * GetSystemMetrics(SM_CYBORDER) + tm.tmHeight + 1;
}

void TVxSpinEdit::RebuildSpinButton() {
  if (ComponentState().Contains(csDestroying)) return;
  delete button_;
  button_ = nullptr;
  delete holder_;
  holder_ = nullptr;
  delete upDown_;
  upDown_ = nullptr;
  if (effectiveKind_ == bkStandard) {
    upDown_ = new TVxUpDown(this);
    upDown_->SetParent(this);
    upDown_->SetBounds(0, 0, DefaultSpinButtonWidth(), Height());
    upDown_->SetAlign(alRight);
    upDown_->OnClick = [this](TObject* sender, TUDBtnType button) {
      if (TabStop() && CanFocus()) SetFocus();
      if (button == btNext)
        StepUp(sender);
      else
        StepDown(sender);
    };
  } else {
    holder_ = new TWinControl(this);
    holder_->SetParent(this);
    holder_->SetBounds(0, 0, Height(), Height());
    button_ = new TVxSpinButton(this);
    button_->SetParent(holder_);
    button_->SetFocusControl(this);
    button_->OnTopClick = [this](TObject* s) { StepUp(s); };
    button_->OnBottomClick = [this](TObject* s) { StepDown(s); };
    button_->SetBounds(0, 0, Height(), Height());
  }
}

void TVxSpinEdit::PlaceSpinButton() {
  if (upDown_) {
    upDown_->SetWidth(DefaultSpinButtonWidth());
    upDown_->SetAlign(alRight);
    return;
  }
  if (!button_ || !holder_) return;
  const int h = Height(), w = Width();
  if (kNewStyleControls && BorderStyle() == bsSingle)
    holder_->SetBounds(w - h - 1, -1, h - 3, h - 3);
  else
    holder_->SetBounds(w - h, 0, h, h);
  button_->SetBounds(0, 0, holder_->Width(), holder_->Height());
}

void TVxSpinEdit::UpdateEditRect() {
  if (!HandleAllocated()) return;
  int b = DefaultSpinButtonWidth();
  if (upDown_)
    b = upDown_->Width();
  else if (button_)
    b = button_->Width();
  RECT r = Rect(0, 0, ClientWidth() - b - 2, ClientHeight() + 1);
  SendMessageA(Handle(), EM_SETRECTNP, 0, reinterpret_cast<LPARAM>(&r));
}

void TVxSpinEdit::CreateParams(TCreateParams& p) {
  TCustomEdit::CreateParams(p);
  static constexpr DWORD kAlign[] = {ES_LEFT, ES_RIGHT, ES_CENTER};
  p.Style |= ES_MULTILINE | WS_CLIPCHILDREN | kAlign[alignment_];
}

void TVxSpinEdit::CreateWnd() {
  TCustomEdit::CreateWnd();
  UpdateEditRect();
}

bool TVxSpinEdit::AcceptsChar(char key) {
  const auto k = static_cast<unsigned char>(key);
  bool allowed = key == '+' || key == '-' || (key >= '0' && key <= '9');
  const String text = Text();
  if (valueType_ == vtFloat) {
    const char sep = rtl::FormatSettings().DecimalSeparator;
    if (key == sep && text.find(sep) == String::npos) allowed = true;
    if ((key == 'E' || key == 'e') && rtl::UpperCase(text).find('E') == String::npos) allowed = true;
  }
  if (valueType_ == vtHex && ((key >= 'A' && key <= 'F') || (key >= 'a' && key <= 'f'))) allowed = true;
  bool result = allowed || k < 32;
  if (!editorEnabled_ && (k >= 32 || k == 8)) result = false;
  return result;
}

void TVxSpinEdit::Step(double delta, const TNotifyEvent& after) {
  if (ReadOnly()) {
    MessageBeep(0);
    return;
  }
  changing_ = true;
  const String old = Text();
  try {
    SetValue(Value() + delta);
  } catch (...) {
    changing_ = false;
    throw;
  }
  changing_ = false;
  if (!rtl::SameText(Text(), old)) {
    SetModified(true);
    TCustomEdit::Change();
  }
  if (after) after(this);
}

void TVxSpinEdit::StepUp(TObject*) { Step(increment_, OnTopClick); }
void TVxSpinEdit::StepDown(TObject*) { Step(-increment_, OnBottomClick); }

void TVxSpinEdit::KeyDown(uint16_t& key, TShiftState shift) {
  TCustomEdit::KeyDown(key, shift);
  if (!arrowKeys_) return;
  if (key == VK_UP) {
    StepUp(this);
    key = 0;
  } else if (key == VK_DOWN) {
    StepDown(this);
    key = 0;
  }
}

void TVxSpinEdit::KeyPress(char& key) {
  if (!AcceptsChar(key)) {
    key = 0;
    MessageBeep(0);
  }
  if (key == 0) return;
  TCustomEdit::KeyPress(key);
  if (key == '\r' || key == '\x1b') {
    // A multi-line edit keeps Enter and Escape from the form; hand them on
    // so default and cancel buttons still work.
    if (TCustomForm* form = GetParentForm()) form->Perform(CM_DIALOGKEY, static_cast<WPARAM>(key), 0);
    if (key == '\r') key = 0;
  }
}

void TVxSpinEdit::Change() {
  if (!changing_) TCustomEdit::Change();
}

void TVxSpinEdit::Dispatch(TMessage& m) {
  switch (m.Msg) {
    case WM_CUT:
    case WM_PASTE:
      if (editorEnabled_ && !ReadOnly()) TCustomEdit::Dispatch(m);
      return;
    case CM_ENTER:
      if (AutoSelect() && !LeftButtonDown()) SelectAll();
      TCustomEdit::Dispatch(m);
      return;
    case CM_EXIT: {
      TCustomEdit::Dispatch(m);
      const double v = Value();
      if (ClampValue(v) != v) SetValue(v);
      return;
    }
    case CM_ENABLEDCHANGED:
      TCustomEdit::Dispatch(m);
      if (upDown_) {
        upDown_->SetEnabled(Enabled());
        PlaceSpinButton();
      }
      if (button_) button_->SetEnabled(Enabled());
      return;
    case CM_BIDIMODECHANGED:
    case CM_FONTCHANGED:
    case CM_CTL3DCHANGED:
      TCustomEdit::Dispatch(m);
      PlaceSpinButton();
      UpdateEditRect();
      return;
    case WM_SIZE: {
      TCustomEdit::Dispatch(m);
      const int least = MinEditHeight();
      if (Height() < least) {
        SetHeight(least);
      } else {
        PlaceSpinButton();
        UpdateEditRect();
      }
      return;
    }
    default:
      break;
  }
  TCustomEdit::Dispatch(m);
}

}  // namespace controls
