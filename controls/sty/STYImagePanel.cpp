#include "controls/sty/STYImagePanel.h"

#include "controls/sty/STYPublic.h"
#include "platform/rtl/StringUtils.h"
#include "platform/win/Api.h"

namespace controls {

using namespace forms;

TstyCustomPanel::TstyCustomPanel(TComponent* owner) : TCustomPanel(owner), picture_(std::make_unique<TPicture>()) {
  picture_->OnChange = [this](TObject* sender) { PictureChanged(sender); };
  SetBevelInner(bvNone);
  SetBevelOuter(bvNone);
  Invalidate();
}

TstyCustomPanel::~TstyCustomPanel() { picture_->OnChange = nullptr; }

void TstyCustomPanel::SetPicture(TPicture* picture) {
  picture_->Assign(picture);
  UpdateBackground();
  Invalidate();
}

void TstyCustomPanel::SetDrawStyle(TstyDrawStyle style) {
  drawStyle_ = style;
  UpdateBackground();
  Invalidate();
}

void TstyCustomPanel::SetAutoSize(bool autoSize) {
  autoSize_ = autoSize;
  if (HasGraphic()) ApplyAutoSize();
}

void TstyCustomPanel::SetTransparent(bool transparent) {
  transparent_ = transparent;
  if (HasGraphic()) picture_->Graphic()->SetTransparent(transparent_);
  Invalidate();
}

void TstyCustomPanel::ApplyAutoSize() {
  if (!autoSize_) return;
  const TAlign a = Align();
  if (a != alTop && a != alBottom && a != alClient) SetWidth(picture_->Width());
  if (a != alLeft && a != alRight && a != alClient) SetHeight(picture_->Height());
}

void TstyCustomPanel::PictureChanged(TObject*) {
  if (HasGraphic()) {
    ApplyAutoSize();
    // Setting the flag notifies the picture again; it is already in step
    // then, so the second round changes nothing.
    if (picture_->Graphic()->Transparent() != transparent_) picture_->Graphic()->SetTransparent(transparent_);
  }
  UpdateBackground();
  Invalidate();
}

void TstyCustomPanel::UpdateBackground() {
  Canvas()->Brush()->SetColor(Color());
  if (ParentWindow()) Canvas()->FillRect(ClientRect());
}

void TstyCustomPanel::Paint() {
  const int w = Width(), h = Height();
  TBitmap buffer;
  buffer.SetHeight(h);
  buffer.SetWidth(w);
  TCanvas* c = buffer.Canvas();
  const TRect client = Rect(0, 0, w, h);
  if (transparent_) {
    DrawParentBackground(c, this);
  } else {
    // Filled whether or not a picture follows: a picture smaller than the
    // panel would otherwise leave whatever the fresh bitmap held around it.
    c->Brush()->SetColor(Color());
    c->FillRect(client);
  }
  if (TGraphic* g = picture_->Graphic()) {
    switch (drawStyle_) {
      case styStretch:
        c->StretchDraw(client, g);
        break;
      case styTile:
        TilePicture(c, g, client);
        break;
      case styNormal:
        c->Draw(0, 0, g);
        break;
    }
  }
  c->Brush()->SetStyle(bsClear);
  String caption = Caption();
  if (!rtl::Trim(caption).empty()) {
    c->SetFont(Font());
    win::UINT flags = win::DT_SINGLELINE | win::DT_VCENTER;
    switch (Alignment()) {
      case taLeftJustify: flags |= win::DT_LEFT; break;
      case taRightJustify: flags |= win::DT_RIGHT; break;
      case taCenter: flags |= win::DT_CENTER; break;
    }
    TRect r = client;
    c->RequiredState(TCanvasStates{csHandleValid, csFontValid, csBrushValid});
    win::DrawTextA(c->Handle(), caption.c_str(), static_cast<int>(caption.size()), &r, flags);
  }
  win::BitBlt(Canvas()->Handle(), 0, 0, w, h, c->Handle(), 0, 0, win::SRCCOPY);
}

void TstyCustomPanel::Dispatch(TMessage& m) {
  switch (m.Msg) {
    case CM_TEXTCHANGED:
      TextChanged();
      Invalidate();
      return;
    case win::WM_ERASEBKGND:
      m.Result = 1;
      return;
    default:
      TCustomPanel::Dispatch(m);
  }
}

void TstyCustomPanel::Resize() {
  TCustomPanel::Resize();
  Invalidate();
}

}  // namespace controls
