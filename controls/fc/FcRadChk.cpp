#include "controls/fc/FcRadChk.h"

#include <algorithm>

#include "controls/fc/FcGrafx.h"
#include "platform/forms/Forms.h"
#include "platform/rtl/StringUtils.h"
#include "platform/win/Api.h"

namespace controls {

using forms::TBitmap;
using forms::TMessage;

// ---- glyph button ----

TFcCustomGlyphButton::TFcCustomGlyphButton(forms::TComponent* owner)
    : TFcCustomButton(owner), customGlyphs_(std::make_unique<TBitmap>()), background_(std::make_unique<TBitmap>()) {
  customGlyphs_->OnChange = [this](forms::TObject* s) { CustomGlyphsChanged(s); };
}

TFcCustomGlyphButton::~TFcCustomGlyphButton() {
  AttachFrameController(this, frameController_, nullptr);
}

void TFcCustomGlyphButton::CustomGlyphsChanged(forms::TObject*) {
  SetUseCustomGlyphs(!customGlyphs_->Empty());
  // The cell size follows the strip even when the switch did not change.
  if (useCustomGlyphs_) {
    glyphWidth_ = customGlyphs_->Width() / std::max(1, stateCount_);
    glyphHeight_ = customGlyphs_->Height();
  }
  backgroundStale_ = true;
  Invalidate();
}

void TFcCustomGlyphButton::SetCustomGlyphs(TBitmap* v) {
  if (v) customGlyphs_->Assign(v);
  else customGlyphs_->SetSize(0, 0);
  CustomGlyphsChanged(customGlyphs_.get());
}

void TFcCustomGlyphButton::SetUseCustomGlyphs(bool v) {
  if (useCustomGlyphs_ == v) return;
  useCustomGlyphs_ = v;
  if (v) {
    glyphWidth_ = customGlyphs_->Width() / std::max(1, stateCount_);
    glyphHeight_ = customGlyphs_->Height();
  } else {
    glyphWidth_ = glyphHeight_ = 13;
  }
  Invalidate();
}

#define FC_GLYPH_SETTER(Name, Type, field) \
  void TFcCustomGlyphButton::Set##Name(Type v) { \
    if (field == v) return;                      \
    field = v;                                   \
    Invalidate();                                \
  }
FC_GLYPH_SETTER(Alignment, forms::TAlignment, alignment_)
FC_GLYPH_SETTER(FillColor, TColor, fillColor_)
FC_GLYPH_SETTER(FocusColor, TColor, focusColor_)
FC_GLYPH_SETTER(FrameColor, TColor, frameColor_)
FC_GLYPH_SETTER(DisabledColor, TColor, disabledColor_)
FC_GLYPH_SETTER(ReadOnly, bool, readOnly_)
FC_GLYPH_SETTER(ReadOnlyColor, TColor, readOnlyColor_)
FC_GLYPH_SETTER(ReadOnlyColorOnFocus, bool, readOnlyColorOnFocus_)
FC_GLYPH_SETTER(TransparentColor, TColor, transparentColor_)
FC_GLYPH_SETTER(WinMaskColor, TColor, winMaskColor_)
FC_GLYPH_SETTER(HotTrackStyle, TFcButtonHotTrackStyle, hotTrackStyle_)
#undef FC_GLYPH_SETTER

void TFcCustomGlyphButton::SetFrameController(TFcFrameController* v) {
  if (frameController_ == v) return;
  AttachFrameController(this, frameController_, v);
  Invalidate();
}

void TFcCustomGlyphButton::Notification(forms::TComponent* component, forms::TOperation operation) {
  TFcCustomButton::Notification(component, operation);
  if (operation == forms::opRemove && component == frameController_) frameController_ = nullptr;
}

void TFcCustomGlyphButton::UpdateFrameControllerSettings(TFcFrameControllerProperty p) {
  TFcFrameController* fc = frameController_;
  if (!fc || !fc->FrameVisible()) return;
  auto wanted = [&](TFcFrameControllerProperty q) { return (p == q || p == fcpAll) && notifications_.Contains(q); };
  SetHotTrack(true);
  if (wanted(fcpColor)) fillColor_ = fc->Color();
  if (wanted(fcpFrameColor)) frameColor_ = fc->FrameColor();
  if (wanted(fcpFocusColor)) focusColor_ = fc->FocusColor();
  if (wanted(fcpDisabledColor)) disabledColor_ = fc->DisabledColor();
  if (wanted(fcpReadOnlyColor)) readOnlyColor_ = fc->ReadOnlyColor();
  if (wanted(fcpReadOnlyColorOnFocus)) readOnlyColorOnFocus_ = fc->ReadOnlyColorOnFocus();
  if (wanted(fcpFrameHotTrack)) hotTrackStyle_ = fc->FrameHotTrack() ? htsFrame : htsInterior;
  if (wanted(fcpFrameHotColor) && hotTrackStyle_ == htsFrame) SetHotTrackColor(fc->FrameHotColor());
  Invalidate();
}

forms::TPoint TFcCustomGlyphButton::GlyphPosition() const {
  const bool rtl = UseRightToLeftReading();
  const int x = rtl == (alignment_ == forms::taRightJustify) ? Width() - glyphWidth_ : 0;
  int y = 2;
  if (AlignmentVertical() == avCenter) y = (Height() - glyphHeight_) / 2;
  else if (AlignmentVertical() == avBottom) y = Height() - glyphHeight_ - 2;
  return forms::Point(x, y);
}

TRect TFcCustomGlyphButton::HotTrackRect() {
  const forms::TPoint p = GlyphPosition();
  return forms::Bounds(p.x, p.y, glyphWidth_, glyphHeight_);
}

void TFcCustomGlyphButton::ShowPressedChange() {
  // Only the glyph shows the pressed look.
  if (!HandleAllocated()) return;
  const TRect r = HotTrackRect();
  win::InvalidateRect(Handle(), &r, win::FALSE);
}

void TFcCustomGlyphButton::PaintParentImage(win::HDC dc) { CopyParentImage(this, dc, true); }

void TFcCustomGlyphButton::CopyGlyphCell(TBitmap* strip, int index, TBitmap* dest) {
  const TRect to{0, 0, glyphWidth_, glyphHeight_};
  dest->Canvas()->CopyRect(to, strip->Canvas(), TRect{glyphWidth_ * index, 0, glyphWidth_ * (index + 1), glyphHeight_});
}

void TFcCustomGlyphButton::ComposeGlyph(forms::TCanvas* canvas) {
  const int gw = glyphWidth_, gh = glyphHeight_;
  if (gw <= 0 || gh <= 0) return;
  const forms::TPoint at = GlyphPosition();
  const TRect r{0, 0, gw, gh};
  auto glyph = std::make_unique<TBitmap>();
  auto under = std::make_unique<TBitmap>();
  glyph->SetSize(gw, gh);
  under->SetSize(gw, gh);
  if (Transparent()) {
    // Themes are off: the glyph goes over what lies beneath, keyed.
    under->Canvas()->CopyRect(r, canvas, forms::Bounds(at.x, at.y, gw, gh));
    DrawGlyph(glyph.get());
    DrawTransparentStretched(under->Canvas(), glyph.get(), r, r, transparentColor_);
  } else {
    DrawGlyph(glyph.get());
    under->Canvas()->Brush()->SetColor(Color());
    under->Canvas()->BrushCopy(r, glyph.get(), r, transparentColor_);
  }
  TBitmap* result = under.get();
  std::unique_ptr<TBitmap> masked;
  if (useCustomGlyphs_) {
    masked = std::make_unique<TBitmap>();
    masked->SetSize(gw, gh);
    masked->Canvas()->Brush()->SetColor(forms::clWindow);
    masked->Canvas()->BrushCopy(r, under.get(), r, winMaskColor_);
    result = masked.get();
  }
  if (Transparent()) TransparentGlyphHook(result);
  canvas->Draw(at.x, at.y, result);
}

void TFcCustomGlyphButton::Paint() {
  if (ComponentState().Contains(forms::csDestroying)) return;
  const int w = Width(), h = Height();
  if (w <= 0 || h <= 0) return;
  auto work = std::make_unique<TBitmap>();
  work->SetSize(w, h);
  forms::TCanvas* wc = work->Canvas();
  wc->Font()->Assign(Font());
  wc->Brush()->SetColor(Color());
  if (backgroundStale_) {
    background_->SetSize(w, h);
    if (Transparent()) {
      // The erase that came before this paint drew the parent's image here.
      win::BitBlt(background_->Canvas()->Handle(), 0, 0, w, h, Canvas()->Handle(), 0, 0, win::SRCCOPY);
    } else {
      background_->Canvas()->Brush()->SetColor(Color());
      background_->Canvas()->FillRect(TRect{0, 0, w, h});
    }
    backgroundStale_ = false;
  }
  win::BitBlt(wc->Handle(), 0, 0, w, h, background_->Canvas()->Handle(), 0, 0, win::SRCCOPY);
  ComposeGlyph(wc);

  const bool glyphRight = GlyphPosition().x > 0;
  TRect r = ClientRect();
  r = TRect{r.left + 1, r.top + 1, r.right - 1, r.bottom - 1};
  if (glyphRight) r.right -= glyphWidth_ + 4;
  else r.left += glyphWidth_ + 4;
  win::UINT format = win::DT_EXPANDTABS | win::DT_WORDBREAK;
  if (UseRightToLeftReading()) format |= win::DT_RIGHT;
  DrawCaption(wc, r, format);
  r = TRect{r.left - 1, r.top - 1, r.right + 1, r.bottom + 1};
  const forms::String caption = Caption();
  if (Focused() && !caption.empty()) {
    wc->Font()->Assign(Font());
    const int fw = std::min(static_cast<int>(r.right - r.left), wc->TextWidth(rtl::Trim(caption)) + 3);
    if (UseRightToLeftReading()) r.left = r.right - fw;
    else r.right = r.left + fw;
    PaintDottedFocusFrame(wc, r);
  }
  win::BitBlt(Canvas()->Handle(), 0, 0, w, h, wc->Handle(), 0, 0, win::SRCCOPY);
}

void TFcCustomGlyphButton::MouseDown(forms::TMouseButton button, forms::TShiftState shift, int x, int y) {
  usingMouse_ = true;
  TFcCustomButton::MouseDown(button, shift, x, y);
}

void TFcCustomGlyphButton::MouseUp(forms::TMouseButton button, forms::TShiftState shift, int x, int y) {
  TFcCustomButton::MouseUp(button, shift, x, y);
  usingMouse_ = false;
}

void TFcCustomGlyphButton::Dispatch(TMessage& m) {
  switch (m.Msg) {
    case win::WM_ERASEBKGND:
      TFcCustomButton::Dispatch(m);
      backgroundStale_ = true;
      return;
    case win::WM_SIZE:
      TFcCustomButton::Dispatch(m);
      backgroundStale_ = true;
      return;
    case forms::CM_ENABLEDCHANGED:
    case forms::CM_COLORCHANGED:
    case forms::CM_PARENTCOLORCHANGED:
      TFcCustomButton::Dispatch(m);
      backgroundStale_ = true;
      Invalidate();
      return;
    default:
      TFcCustomButton::Dispatch(m);
  }
}

// ---- checked action link ----

TFcCheckedActionLink::TFcCheckedActionLink(TFcCustomCheckBox* client) : TActionLink(client), box_(client) {}

bool TFcCheckedActionLink::IsCheckedLinked() const {
  auto* action = dynamic_cast<forms::TCustomAction*>(Action());
  return action && box_->Checked() == action->Checked();
}

void TFcCheckedActionLink::SetChecked(bool value) { box_->SetCheckedFromAction(value); }

// ---- check box ----

TFcCustomCheckBox::TFcCustomCheckBox(forms::TComponent* owner) : TFcCustomGlyphButton(owner) {
  SetAlignmentVertical(avTop);
  stateCount_ = 9;
}

TFcCustomCheckBox::~TFcCustomCheckBox() { checkedLink_.reset(); }

void TFcCustomCheckBox::SetState(TCheckBoxState v) {
  if (state_ == v) return;
  state_ = v;
  Repaint();
  if (!ClicksDisabled()) Click();
}

void TFcCustomCheckBox::SetCheckedFromAction(bool v) {
  const bool was = ClicksDisabled();
  SetClicksDisabled(true);
  try {
    SetChecked(v);
  } catch (...) {
    SetClicksDisabled(was);
    throw;
  }
  SetClicksDisabled(was);
}

void TFcCustomCheckBox::SetAction(forms::TBasicAction* action) {
  TControl::SetAction(action);
  if (!action) {
    checkedLink_.reset();
    return;
  }
  if (!checkedLink_) checkedLink_ = std::make_unique<TFcCheckedActionLink>(this);
  // Linking hands over the action's Checked at once; a box checked already
  // stays checked when the link first takes hold.
  const bool wasChecked = Checked();
  checkedLink_->SetAction(action);
  if (wasChecked) SetCheckedFromAction(true);
}

void TFcCustomCheckBox::Toggle() {
  if (UsingMouse() && ReadOnly()) return;
  switch (state_) {
    case cbUnchecked: SetState(AllowGrayed() ? cbGrayed : cbChecked); break;
    case cbChecked: SetState(cbUnchecked); break;
    case cbGrayed: SetState(cbChecked); break;
  }
}

void TFcCustomCheckBox::DrawGlyph(TBitmap* glyph) {
  const TRect r{0, 0, GlyphWidth(), GlyphHeight()};
  if (UseCustomGlyphs()) {
    int cell;
    if (Enabled()) cell = static_cast<int>(state_) + (ShowingPressed() ? 3 : 0);
    else cell = 6 + static_cast<int>(state_);
    CopyGlyphCell(CustomGlyphs(), cell, glyph);
    return;
  }
  if (HotTrack()) {
    TColor c1, c2;
    if (HotTrackColorType() == htctActual) {
      c2 = HotTrackColor();
      c1 = MixColors(forms::clWhite, HotTrackColor(), 190);
    } else {
      c1 = ComplementaryColor(HotTrackColor(), 180);
      c2 = DarkenColor(c1, 30);
    }
    int look = 0;
    if (!Enabled()) look = 3;
    else if (ShowingPressed()) look = 1;
    else if (MouseOverButton()) look = 2;
    TCheckGlyphColors colors;
    colors.frame = FrameColor();
    colors.mark = HighlightColor();
    colors.fill = FillColor();
    colors.focus = FocusColor();
    colors.disabled = DisabledColor();
    colors.hot1 = c1;
    colors.hot2 = c2;
    colors.readOnly = ReadOnly();
    colors.readOnlyColorOnFocus = ReadOnlyColorOnFocus();
    colors.readOnlyColor = ReadOnlyColor();
    PaintCheckGlyph(glyph->Canvas(), r, state_, look, Focused(), HotTrackStyle(), colors);
    return;
  }
  win::UINT flags = win::DFCS_BUTTONCHECK;
  if (state_ == cbChecked) flags |= win::DFCS_CHECKED;
  if (state_ == cbGrayed) flags |= win::DFCS_CHECKED | win::DFCS_BUTTON3STATE;
  if (ShowingPressed()) flags |= win::DFCS_PUSHED;
  if (!Enabled()) flags |= win::DFCS_INACTIVE;
  win::RECT fr = r;
  win::DrawFrameControl(glyph->Canvas()->Handle(), &fr, win::DFC_BUTTON, flags);
}

void TFcCustomCheckBox::KeyDown(uint16_t& key, forms::TShiftState shift) {
  if (key == win::VK_RETURN && TabOnEnter()) {
    key = 0;
    win::PostMessageA(Handle(), win::WM_KEYDOWN, win::VK_TAB, 0);
    return;
  }
  TFcCustomGlyphButton::KeyDown(key, shift);
  if (ReadOnly()) return;
  if (key == win::VK_ESCAPE) {
    keyToggle_ = false;
    SetPressedLook(false);
    Repaint();
  } else if (key == win::VK_SPACE) {
    keyToggle_ = true;
    SetPressedLook(true);
    Repaint();
  }
}

void TFcCustomCheckBox::KeyUp(uint16_t& key, forms::TShiftState shift) {
  TFcCustomGlyphButton::KeyUp(key, shift);
  if (ReadOnly() || key != win::VK_SPACE) return;
  SetPressedLook(false);
  if (keyToggle_) {
    keyToggle_ = false;
    Toggle();
  }
  Repaint();
}

void TFcCustomCheckBox::Dispatch(TMessage& m) {
  switch (m.Msg) {
    case win::BM_GETCHECK:
      m.Result = static_cast<win::LRESULT>(state_);
      return;
    case forms::CM_DIALOGCHAR:
      if (forms::IsAccel(m.WParam, Caption()) && CanFocus()) {
        SetFocus();
        if (Focused() && !ReadOnly()) {
          Toggle();
          Repaint();
        }
        m.Result = 1;
        return;
      }
      break;
    case forms::CM_EXIT:
      TFcCustomGlyphButton::Dispatch(m);
      SetPressedLook(false);
      Repaint();
      return;
    default:
      break;
  }
  TFcCustomGlyphButton::Dispatch(m);
}

TFcCheckBox::TFcCheckBox(forms::TComponent* owner) : TFcCustomCheckBox(owner) { SetParentColor(true); }

}  // namespace controls
