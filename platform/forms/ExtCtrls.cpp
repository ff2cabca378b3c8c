#include "platform/forms/ExtCtrls.h"

#include <algorithm>

#include "platform/forms/StdCtrlsInternal.h"
#include "platform/win/Api.h"

namespace forms {

using namespace win;

namespace {

// One bevel, a pixel layer per unit of width; the rectangle shrinks past it.
void DrawBevel(HDC dc, RECT& r, TBevelCut cut, int width) {
  if (cut == bvNone) return;
  for (int i = 0; i < width; ++i) {
    if (cut == bvSpace)
      InflateRectBy(r, -1, -1);
    else
      DrawEdge(dc, &r, cut == bvRaised ? BDR_RAISEDINNER : BDR_SUNKENOUTER, BF_RECT | BF_ADJUST);
  }
}

}  // namespace

// ---- TCustomPanel ----

TCustomPanel::TCustomPanel(TComponent* owner) : TCustomControl(owner) {
  SetControlStyle(TControlStyle{csAcceptsControls, csCaptureMouse, csClickEvents, csSetCaption, csOpaque,
                                csDoubleClicks, csReplicatable});
  SetBounds(0, 0, 185, 41);
}

void TCustomPanel::CreateParams(TCreateParams& p) {
  TCustomControl::CreateParams(p);
  if (borderStyle_ == bsSingle) p.ExStyle |= WS_EX_CLIENTEDGE;
}

void TCustomPanel::Changed() {
  Realign();
  Invalidate();
}

void TCustomPanel::SetBevelOuter(TBevelCut v) {
  if (bevelOuter_ == v) return;
  bevelOuter_ = v;
  Changed();
}
void TCustomPanel::SetBevelInner(TBevelCut v) {
  if (bevelInner_ == v) return;
  bevelInner_ = v;
  Changed();
}
void TCustomPanel::SetBevelWidth(TBevelWidth v) {
  if (bevelWidth_ == v || v < 1) return;
  bevelWidth_ = v;
  Changed();
}
void TCustomPanel::SetBorderWidth(int v) {
  if (borderWidth_ == v || v < 0) return;
  borderWidth_ = v;
  Changed();
}
void TCustomPanel::SetBorderStyle(TBorderStyle v) {
  if (borderStyle_ == v) return;
  borderStyle_ = v;
  RecreateWnd();
}
void TCustomPanel::SetAlignment(TAlignment v) {
  if (alignment_ == v) return;
  alignment_ = v;
  Invalidate();
}

void TCustomPanel::AdjustClientRect(TRect& r) const {
  TCustomControl::AdjustClientRect(r);
  int inset = borderWidth_;
  if (bevelOuter_ != bvNone) inset += bevelWidth_;
  if (bevelInner_ != bvNone) inset += bevelWidth_;
  InflateRectBy(r, -inset, -inset);
}

void TCustomPanel::Paint() {
  TCanvas* c = Canvas();
  TRect r = ClientRect();
  c->Brush()->SetColor(Color());
  c->Brush()->SetStyle(bsSolid);
  c->FillRect(r);
  HDC dc = c->Handle();
  DrawBevel(dc, r, bevelOuter_, bevelWidth_);
  InflateRectBy(r, -borderWidth_, -borderWidth_);
  DrawBevel(dc, r, bevelInner_, bevelWidth_);
  const String text = Caption();
  if (text.empty()) return;
  c->Font()->Assign(Font());
  dc = c->Handle();
  SetBkMode(dc, TRANSPARENT);
  SetTextColor(dc, ColorToRGB(Font()->Color()));
  UINT flags = DT_SINGLELINE | DT_VCENTER | DT_EXPANDTABS;
  if (alignment_ == taCenter) flags |= DT_CENTER;
  else if (alignment_ == taRightJustify) flags |= DT_RIGHT;
  DrawStdText(dc, text, r, flags, Enabled());
}

void TCustomPanel::Dispatch(TMessage& m) {
  if (m.Msg == CM_TEXTCHANGED) Invalidate();
  TCustomControl::Dispatch(m);
}

// ---- TBevel ----

TBevel::TBevel(TComponent* owner) : TGraphicControl(owner) {
  SetControlStyle(TControlStyle{csReplicatable});
  SetBounds(0, 0, 50, 50);
}

void TBevel::SetShape(TBevelShape v) {
  if (shape_ == v) return;
  shape_ = v;
  Invalidate();
}
void TBevel::SetStyle(TBevelStyle v) {
  if (style_ == v) return;
  style_ = v;
  Invalidate();
}

void TBevel::Paint() {
  HDC dc = Canvas()->Handle();
  RECT r = ClientRect();
  const UINT line = style_ == bsLowered ? EDGE_ETCHED : EDGE_BUMP;
  switch (shape_) {
    case bsBox:
      DrawEdge(dc, &r, style_ == bsLowered ? BDR_SUNKENOUTER : BDR_RAISEDINNER, BF_RECT);
      break;
    case bsFrame:
      DrawEdge(dc, &r, line, BF_RECT);
      break;
    case bsTopLine:
      r.bottom = std::min<int>(r.bottom, r.top + 2);
      DrawEdge(dc, &r, line, BF_TOP);
      break;
    case bsBottomLine:
      r.top = std::max<int>(r.top, r.bottom - 2);
      DrawEdge(dc, &r, line, BF_TOP);
      break;
    case bsLeftLine:
      r.right = std::min<int>(r.right, r.left + 2);
      DrawEdge(dc, &r, line, BF_LEFT);
      break;
    case bsRightLine:
      r.left = std::max<int>(r.left, r.right - 2);
      DrawEdge(dc, &r, line, BF_LEFT);
      break;
    case bsSpacer:
      break;
  }
}

// ---- TImage ----

TImage::TImage(TComponent* owner) : TGraphicControl(owner), picture_(std::make_unique<TPicture>()) {
  SetControlStyle(TControlStyle{csCaptureMouse, csClickEvents, csReplicatable, csDoubleClicks});
  SetBounds(0, 0, 105, 105);
  picture_->OnChange = [this](TObject* sender) { PictureChanged(sender); };
}

TImage::~TImage() { picture_->OnChange = nullptr; }

void TImage::SetStretch(bool v) {
  if (stretch_ == v) return;
  stretch_ = v;
  Invalidate();
}
void TImage::SetProportional(bool v) {
  if (proportional_ == v) return;
  proportional_ = v;
  Invalidate();
}
void TImage::SetCenter(bool v) {
  if (center_ == v) return;
  center_ = v;
  Invalidate();
}
void TImage::SetTransparent(bool v) {
  if (transparent_ == v) return;
  transparent_ = v;
  PictureChanged(this);
}
void TImage::SetAutoSize(bool v) {
  if (autoSize_ == v) return;
  autoSize_ = v;
  PictureChanged(this);
}

void TImage::PictureChanged(TObject*) {
  TGraphic* g = picture_->Graphic();
  if (g && !g->Empty()) {
    if (g->Transparent() != transparent_) {
      // Setting it reports a change back here; the value then already agrees.
      g->SetTransparent(transparent_);
    }
    if (autoSize_) SetBounds(Left(), Top(), g->Width(), g->Height());
  }
  Invalidate();
}

TRect TImage::DestRect() const {
  int w = picture_->Width(), h = picture_->Height();
  const int cw = ClientWidth(), ch = ClientHeight();
  if (stretch_ || (proportional_ && (w > cw || h > ch))) {
    if (proportional_ && w > 0 && h > 0) {
      // Fit the longer side, keeping the picture's shape.
      if (static_cast<int64_t>(cw) * h > static_cast<int64_t>(ch) * w) {
        w = static_cast<int>(static_cast<int64_t>(ch) * w / h);
        h = ch;
      } else {
        h = static_cast<int>(static_cast<int64_t>(cw) * h / w);
        w = cw;
      }
    } else {
      w = cw;
      h = ch;
    }
  }
  int x = 0, y = 0;
  if (center_) {
    x = (cw - w) / 2;
    y = (ch - h) / 2;
  }
  return Bounds(x, y, w, h);
}

void TImage::Paint() {
  TGraphic* g = picture_->Graphic();
  if (!g || g->Empty()) return;
  Canvas()->StretchDraw(DestRect(), g);
}

// ---- TCustomRadioGroup ----

TCustomRadioGroup::TCustomRadioGroup(TComponent* owner)
    : TGroupBox(owner), items_(std::make_unique<rtl::TStringList>()) {
  items_->OnChange = [this](rtl::TStrings*) { UpdateButtons(); };
}

TCustomRadioGroup::~TCustomRadioGroup() { items_->OnChange = nullptr; }

void TCustomRadioGroup::UpdateButtons() {
  updating_ = true;
  while (buttons_.size() > static_cast<size_t>(items_->Count())) {
    delete buttons_.back();
    buttons_.pop_back();
  }
  while (buttons_.size() < static_cast<size_t>(items_->Count())) {
    auto* b = new TRadioButton(this);
    b->SetParent(this);
    b->OnClick = [this](TObject* sender) { ButtonClick(sender); };
    buttons_.push_back(b);
  }
  for (size_t i = 0; i < buttons_.size(); ++i) {
    buttons_[i]->SetCaption(items_->Get(static_cast<int32_t>(i)));
    buttons_[i]->SetEnabled(Enabled());
  }
  if (itemIndex_ >= static_cast<int>(buttons_.size())) itemIndex_ = -1;
  for (size_t i = 0; i < buttons_.size(); ++i) buttons_[i]->SetChecked(static_cast<int>(i) == itemIndex_);
  updating_ = false;
  ArrangeButtons();
}

void TCustomRadioGroup::ArrangeButtons() {
  if (buttons_.empty()) return;
  const int cols = std::max(1, columns_);
  const int rows = (static_cast<int>(buttons_.size()) + cols - 1) / cols;
  const int top = FontTextHeight(Font()) + 2;
  const int width = (Width() - 10) / cols;
  const int height = std::max(1, (Height() - top - 4) / rows);
  for (size_t i = 0; i < buttons_.size(); ++i) {
    const int col = static_cast<int>(i) / rows, row = static_cast<int>(i) % rows;
    buttons_[i]->SetBounds(8 + col * width, top + row * height + (height - 17) / 2, width - 4, 17);
  }
}

void TCustomRadioGroup::SetColumns(int v) {
  v = std::clamp(v, 1, 16);
  if (columns_ == v) return;
  columns_ = v;
  ArrangeButtons();
}

void TCustomRadioGroup::SetItemIndex(int index) {
  index = std::clamp(index, -1, static_cast<int>(buttons_.size()) - 1);
  if (itemIndex_ == index) return;
  if (itemIndex_ >= 0) buttons_[static_cast<size_t>(itemIndex_)]->SetChecked(false);
  itemIndex_ = index;
  if (itemIndex_ >= 0) buttons_[static_cast<size_t>(itemIndex_)]->SetChecked(true);
}

void TCustomRadioGroup::ButtonClick(TObject* sender) {
  if (updating_) return;
  const auto it = std::find(buttons_.begin(), buttons_.end(), sender);
  if (it == buttons_.end()) return;
  itemIndex_ = static_cast<int>(it - buttons_.begin());
  Click();
}

void TCustomRadioGroup::Dispatch(TMessage& m) {
  switch (m.Msg) {
    case WM_SIZE:
      TGroupBox::Dispatch(m);
      ArrangeButtons();
      return;
    case CM_ENABLEDCHANGED:
      for (TRadioButton* b : buttons_) b->SetEnabled(Enabled());
      break;
    case CM_FONTCHANGED:
      TGroupBox::Dispatch(m);
      ArrangeButtons();
      return;
    default:
      break;
  }
  TGroupBox::Dispatch(m);
}

}  // namespace forms
