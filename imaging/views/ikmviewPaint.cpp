// The thumbnail view's geometry and pixels: where cells go, how the view
// scrolls, what a point hits, and how the whole view and each cell paint.
#include <algorithm>
#include <cmath>
#include <cstdlib>

#include "imaging/core/ikutils.h"
#include "imaging/core/ikutilsBitmap.h"
#include "imaging/core/ikutilsImageList.h"
#include "imaging/core/ikutilsSupport.h"
#include "imaging/core/imgkitprocGeometry.h"
#include "imaging/views/ikmview.h"
#include "imaging/views/ikutilsPalette.h"
#include "imaging/views/imgkitprocShadow.h"
#include "platform/forms/ControlMessages.h"
#include "platform/rtl/Text.h"
#include "platform/win/Blit.h"
#include "platform/win/Dc.h"
#include "platform/win/MessageIds.h"
#include "platform/win/Paint.h"

namespace imaging {

using namespace forms;

namespace {
using Guard = std::lock_guard<std::recursive_mutex>;

constexpr int32_t kKeepDistance = 15;

bool HorizontalAllowed(TScrollStyle s) { return s == ssHorizontal || s == ssBoth; }
bool VerticalAllowed(TScrollStyle s) { return s == ssVertical || s == ssBoth; }

}  // namespace

rtl::WideString FitCaptionToWidth(TCanvas* canvas, const rtl::WideString& text, int32_t width, uint8_t ellipsisAt) {
  auto fits = [&](const rtl::WideString& s) { return canvas->TextWidth(rtl::WideToAnsi(s)) <= width; };
  if (fits(text)) return text;
  const bool atEnd = ellipsisAt == 0;
  rtl::WideString base = text, result = text;
  size_t cut = atEnd ? 2 : 1;
  while (base.size() >= 2 && cut < base.size()) {
    base = atEnd ? base.substr(0, base.size() - cut) : base.substr(cut);
    result = atEnd ? base + u"..." : u"..." + base;
    if (fits(result)) break;
    cut = 1;
  }
  return result;
}

// ---------------------------------------------------------------- layout

int32_t TImgKitMView::ColumnCount() {
  if (GridWidth() != -1) return std::max(GridWidth(), 0);
  const int32_t step = HorizBorder() + ThumbWidth();
  if (step <= 0) return 0;
  return std::max((ClientWidth() - HorizBorder()) / step, 0);
}

int32_t TImgKitMView::CellToIndex(int32_t row, int32_t column) { return column + row * ColumnCount(); }

void TImgKitMView::ArrangeCells() {
  const int32_t columns = ColumnCount();
  int32_t c = 0, r = 0;
  contentWidth_ = 0;
  contentHeight_ = 0;
  for (auto& slot : slots_) {
    int32_t x = c * (ThumbWidth() + HorizBorder());
    int32_t y = r * (ThumbHeight() + VertBorder());
    if (DisplayMode() == mdGrid) {
      x += HorizBorder();
      y += VertBorder();
    }
    slot->CellX = x;
    slot->CellY = y;
    slot->Row = r;
    slot->Column = c;
    contentWidth_ = std::max(contentWidth_, x);
    contentHeight_ = std::max(contentHeight_, y);
    ++c;
    if (DisplayMode() == mdSingle) {
      c = 0;
      r = 0;
    } else if (c == columns) {
      c = 0;
      ++r;
    }
  }
  contentWidth_ += ThumbWidth() + HorizBorder();
  contentHeight_ += ThumbHeight() + VertBorder();
}

void TImgKitMView::GetMaxView(int32_t& maxX, int32_t& maxY) {
  maxX = std::max(contentWidth_ - ClientWidth(), 0);
  maxY = std::max(contentHeight_ - ClientHeight(), 0);
}

void TImgKitMView::SetUpScrollBar(int bar, int32_t max, int32_t clientSize, int32_t origin, double& scale) {
  const win::HWND h = Handle();
  const bool flat = FlatScrollBars();
  if (max < 1) {
    IKShowScrollBar(h, bar, false, flat);
    return;
  }
  scale = (static_cast<double>(clientSize) + max - 1) / 65536.0;
  IKSetScrollRange(h, bar, 0, 65535, flat, false);
  IKSetScrollPage(h, bar, static_cast<int>(std::trunc(clientSize / scale)), flat, true);
  IKSetScrollPos(h, bar, static_cast<int>(std::trunc(origin / scale)), flat, false);
  IKEnableScrollBar(h, bar, win::ESB_ENABLE_BOTH, flat);
  IKShowScrollBar(h, bar, true, flat);
}

void TImgKitMView::ArrangeLayout() {
  {
    Guard lock(IKGlobalLock());
    ArrangeCells();
  }
  UpdateVisibleArea();
  // Scroll bars belong to the window; a view without one has only cells.
  if (!HandleAllocated() || !HasParentWindow()) return;
  for (int iteration = 0; iteration < 9; ++iteration) {
    const int32_t cw = ClientWidth(), ch = ClientHeight();
    int32_t maxX = 0, maxY = 0;
    GetMaxView(maxX, maxY);
    if (viewX_ > maxX || viewY_ > maxY) {
      viewX_ = std::min(viewX_, maxX);
      viewY_ = std::min(viewY_, maxY);
      DoViewChange(0);
    }
    try {
      if (HorizontalAllowed(ScrollBars())) SetUpScrollBar(win::SB_HORZ, maxX, cw, viewX_, scaleX_);
      if (VerticalAllowed(ScrollBars())) SetUpScrollBar(win::SB_VERT, maxY, ch, viewY_, scaleY_);
    } catch (const std::exception&) {
      // A bar that cannot be set up leaves the view usable without it.
    }
    if (ClientWidth() == cw && ClientHeight() == ch) break;
  }
  UpdateVisibleArea();
}

void TImgKitMView::SetScrollBars(TScrollStyle value) {
  scrollBars_ = value;
  if (!HasParentWindow() || !HandleAllocated()) return;
  // Every bar goes first; the layout pass brings back the allowed ones that
  // are needed. A bar the new value forbids would otherwise stay on screen
  // with nothing to drive it.
  IKShowScrollBar(Handle(), win::SB_HORZ, false, FlatScrollBars());
  IKShowScrollBar(Handle(), win::SB_VERT, false, FlatScrollBars());
  UpdateEx(false);
}

void TImgKitMView::SetFlatScrollBars(bool value) {
  if (value == flatScrollBars_) return;
  flatScrollBars_ = value;
  if (!HandleAllocated()) return;
  if (value) {
    win::SetScrollRange(Handle(), win::SB_HORZ, 0, 65535, false);
    win::SetScrollRange(Handle(), win::SB_VERT, 0, 65535, false);
    IKShowScrollBar(Handle(), win::SB_HORZ, false, true);
    IKShowScrollBar(Handle(), win::SB_VERT, false, true);
  }
}

void TImgKitMView::SetDisplayMode(TIKMDisplayMode value) {
  if (playing_) {
    savedDisplayMode_ = value;
    return;
  }
  displayMode_ = value;
  Update();
}

void TImgKitMView::SetWallPaper(TPicture* picture) {
  if (!wallPaper_) wallPaper_ = std::make_unique<TPicture>();
  wallPaper_->Assign(picture);
  Update();
}

void TImgKitMView::SetViewX(int32_t value) {
  int32_t maxX = 0, maxY = 0;
  GetMaxView(maxX, maxY);
  value = std::clamp(value, 0, maxX);
  if (value == viewX_) return;
  viewX_ = value;
  UpdateVisibleArea();
  if (HandleAllocated()) {
    Invalidate();
    if (HorizontalAllowed(ScrollBars()))
      IKSetScrollPos(Handle(), win::SB_HORZ, static_cast<int>(std::trunc(viewX_ / scaleX_)), FlatScrollBars(), true);
  }
}

void TImgKitMView::SetViewY(int32_t value) {
  int32_t maxX = 0, maxY = 0;
  GetMaxView(maxX, maxY);
  value = std::clamp(value, 0, maxY);
  if (value == viewY_) return;
  viewY_ = value;
  UpdateVisibleArea();
  if (HandleAllocated()) {
    Invalidate();
    if (VerticalAllowed(ScrollBars()))
      IKSetScrollPos(Handle(), win::SB_VERT, static_cast<int>(std::trunc(viewY_ / scaleY_)), FlatScrollBars(), true);
  }
}

void TImgKitMView::SetViewXY(int32_t x, int32_t y) {
  SetViewX(x);
  SetViewY(y);
}

void TImgKitMView::DoViewChange(int32_t change) {
  if (OnViewChange && userInteraction_) OnViewChange(this, change);
}

void TImgKitMView::HandleScroll(int bar, int code) {
  const bool horizontal = bar == win::SB_HORZ;
  const int32_t origin = horizontal ? viewX_ : viewY_;
  const double scale = horizontal ? scaleX_ : scaleY_;
  int32_t maxX = 0, maxY = 0;
  GetMaxView(maxX, maxY);
  const int32_t line = horizontal ? ThumbWidth() + HorizBorder() : ThumbHeight() + VertBorder();
  const int32_t page = horizontal ? ClientWidth() : ClientHeight();
  int32_t target = origin;
  switch (code) {
    case win::SB_LINEUP:
      target = origin - line;
      break;
    case win::SB_LINEDOWN:
      target = origin + line;
      break;
    case win::SB_PAGEUP:
      target = origin - page;
      break;
    case win::SB_PAGEDOWN:
      target = origin + page;
      break;
    case win::SB_THUMBPOSITION:
    case win::SB_THUMBTRACK: {
      win::SCROLLINFO info;
      info.fMask = win::SIF_TRACKPOS;
      win::GetScrollInfo(Handle(), bar, &info);
      target = static_cast<int32_t>(std::trunc(info.nTrackPos * scale));
      break;
    }
    case win::SB_TOP:
      target = 0;
      break;
    case win::SB_BOTTOM:
      target = horizontal ? maxX : maxY;
      break;
    default:
      break;
  }
  if (horizontal)
    SetViewX(target);
  else
    SetViewY(target);
  DoViewChange(0);
}

void TImgKitMView::HandleWheel(int delta) {
  userInteraction_ = true;
  const int32_t row = ThumbHeight() + VertBorder();
  SetViewY(delta > 0 ? viewY_ - row : viewY_ + row);
  DoViewChange(0);
  userInteraction_ = false;
}

// ---------------------------------------------------------------- hit tests

int32_t TImgKitMView::ImageAtPos(int32_t x, int32_t y) {
  const int32_t rowStep = VertBorder() + ThumbHeight(), colStep = HorizBorder() + ThumbWidth();
  if (rowStep <= 0 || colStep <= 0) return -1;
  const int32_t row = (y + viewY_) / rowStep;
  const int32_t column = (x + viewX_) / colStep;
  const int32_t index = CellToIndex(row, column);
  if (index < 0 || index >= GetImageCount()) return -1;
  const TIKMViewSlot* slot = slots_[index].get();
  const int32_t left = slot->CellX - viewX_, top = slot->CellY - viewY_;
  const int32_t right = left + ThumbWidth() - 1, bottom = top + ThumbHeight() - 1;
  if (x < left || x > right || y < top || y > bottom) return -1;
  return index;
}

bool TImgKitMView::IsCellVisible(int32_t index) {
  if (!IndexInRange(index)) return false;
  const TIKMViewSlot* slot = slots_[index].get();
  const int32_t left = slot->CellX - viewX_, top = slot->CellY - viewY_;
  return RectsOverlap(left, top, left + ThumbWidth() - 1, top + ThumbHeight() - 1, 0, 0, ClientWidth() - 1,
                      ClientHeight() - 1);
}

int32_t TImgKitMView::IsImageVisible(int32_t index) {
  if (!IndexInRange(index)) return 0;
  const TIKMViewSlot* slot = slots_[index].get();
  const int32_t left = slot->CellX - viewX_, top = slot->CellY - viewY_;
  return ClassifySegmentInRect(0, 0, ClientWidth() - 1, ClientHeight() - 1, left, top, left + ThumbWidth() - 1,
                               top + ThumbHeight() - 1);
}

// ---------------------------------------------------------------- messages

void TImgKitMView::WndProc(TMessage& message) {
  switch (message.Msg) {
    case win::WM_ERASEBKGND:
      // Every pixel comes from the back buffer; erasing first would flicker.
      message.Result = 0;
      return;
    case win::WM_GETDLGCODE:
      message.Result = win::DLGC_WANTARROWS;
      return;
    case win::WM_HSCROLL:
    case win::WM_VSCROLL:
      HandleScroll(message.Msg == win::WM_HSCROLL ? win::SB_HORZ : win::SB_VERT, win::LOWORD(message.WParam));
      message.Result = 0;
      return;
    case win::WM_TIMER:
      if (message.WParam == 1) {
        PlayStep();
        message.Result = 0;
        return;
      }
      break;
    case win::WM_LBUTTONDBLCLK:
      // The second press of a double click keeps what the first selected.
      doubleClick_ = true;
      break;
    case IKMSG_UPDATE:
      // A background load stored a thumbnail; its paint happens here.
      Invalidate();
      message.Result = 0;
      return;
    default:
      break;
  }
  TIKView::WndProc(message);
  switch (message.Msg) {
    case win::WM_MOUSEWHEEL:
      HandleWheel(static_cast<int16_t>(win::HIWORD(message.WParam)));
      break;
    case win::WM_SIZE:
      UpdateEx(false);
      break;
    case win::WM_SETFOCUS:
    case win::WM_KILLFOCUS:
      // The selection frame is wider while the view has the focus.
      Invalidate();
      break;
    default:
      break;
  }
}

// ---------------------------------------------------------------- painting

void TImgKitMView::Paint() {
  const int32_t cw = ClientWidth(), ch = ClientHeight();
  if (paintLock_ > 0 || cw <= 0 || ch <= 0) return;
  paintWindow_ = Handle();
  if (!backBuffer_) {
    backBuffer_ = std::make_unique<TBitmap>();
    backBuffer_->SetPixelFormat(pf24bit);
  }
  if (backBuffer_->Width() != cw || backBuffer_->Height() != ch) backBuffer_->SetSize(cw, ch);
  PaintAll(backBuffer_.get());
  const win::HDC screen = Canvas()->Handle();
  if (win::GetDeviceCaps(screen, win::BITSPIXEL) >= 24 || IsRemoteSession()) {
    win::BitBlt(screen, 0, 0, cw, ch, backBuffer_->Canvas()->Handle(), 0, 0, win::SRCCOPY);
  } else {
    win::SetStretchBltMode(screen, win::HALFTONE);
    win::StretchBlt(screen, 0, 0, cw, ch, backBuffer_->Canvas()->Handle(), 0, 0, cw, ch, win::SRCCOPY);
  }
}

void TImgKitMView::PaintAll(TBitmap* dest) {
  TCanvas* canvas = dest->Canvas();
  const int32_t cw = ClientWidth(), ch = ClientHeight();
  TIKBackgroundParams background;
  background.Background = Background();
  background.Style = BackgroundStyle;
  PaintViewBackground(canvas, dest, background, 0, 0, cw, ch);
  DrawWallPaper(canvas, wallPaper_.get(), WallPaperStyle(), cw, ch);

  // Loader completions store into slots under the global lock; holding it
  // over the pass keeps every slot steady while it is looked at and drawn.
  Guard lock(IKGlobalLock());
  UpdateVisibleArea();
  bool previous = false;
  for (;;) {
    const int32_t count = GetImageCount();
    const int32_t n = (DisplayMode() == mdSingle && count > 0) ? 1 : count;
    int32_t first = 0;
    if (playing_ || DisplayMode() == mdSingle) {
      playIndex_ = std::clamp(playIndex_, 0, std::max(count - 1, 0));
      first = playIndex_;
    }
    previous = allShown_;
    allShown_ = true;
    int32_t f = -1, l = count - 1;
    bool restart = false;
    for (int32_t k = 0; k < n; ++k) {
      const int32_t i = (first + k) % count;
      if (OnDrawProgress && n > 1) OnDrawProgress(this, static_cast<int32_t>(std::trunc(k * 100.0 / n)), i);
      if (IsCellVisible(i)) {
        if (f == -1) f = i;
        TIKMViewSlot* slot = slots_[i].get();
        if (!slot->Image && !slot->Cache) {
          previous = false;
          if (i == selectedImage_ || ThreadPoolSize <= 0 || !QueueLoad(i)) {
            const bool ok = LoadSlotImage(i);
            if (!ok && RemoveCorrupted() && IndexInRange(i)) {
              DeleteSlot(i);
              ArrangeCells();
              restart = true;
              break;
            }
          }
        }
        if (!IndexInRange(i)) continue;
        slot = slots_[i].get();
        const bool selected = i == selectedImage_ || (EnableMultiSelect() && IsImageSelected(i));
        if (!slot->Image && !slot->Cache) allShown_ = false;
        PaintCell(dest, *slot, i, selected && VisibleSelection() && DisplayMode() == mdGrid);
      } else if (f != -1 && l == count - 1) {
        l = i - 1;
      }
    }
    if (restart) continue;
    ReleaseFarImages(f, l);
    break;
  }
  if (OnDrawProgress && GetImageCount() > 1 && DisplayMode() != mdSingle) OnDrawProgress(this, 100, 0);
  if (allShown_ && !previous && OnAllDisplayed) OnAllDisplayed(this);
}

void TImgKitMView::ReleaseFarImages(int32_t first, int32_t last) {
  if (first == -1) return;
  for (int32_t i = 0; i < GetImageCount(); ++i) {
    if (i >= first - kKeepDistance && i <= last + kKeepDistance) continue;
    TIKMViewSlot* slot = slots_[i].get();
    const bool reloadable =
        slot->HasFileName || (slot->ImageID >= 0 && (OnImageIDRequest || OnImageIDRequestEx));
    // The current slot's image may be lent out; it stays.
    if (!reloadable || !slot->Image || (i == selectedImage_ && currentBitmap_)) continue;
    ilist_->Delete(slot->Image);
    slot->Image = nullptr;
  }
}

void TImgKitMView::CellBackgroundParams(TIKBackgroundParams& p, TIKMViewSlot& slot, bool selected) {
  p.Style = ThumbnailsBackgroundStyle;
  if (selected && SelectionStyle() == ikssACD)
    p.Background = clHighlight;
  else if (DrawImageBackground())
    p.Background = slot.Background;
  else
    p.Background = ThumbnailsBackground();
}

void TImgKitMView::DrawCellPicture(TBitmap* dest, TIKMViewSlot& slot, int32_t x, int32_t y, int32_t cw, int32_t ah,
                                   int32_t tg, TRect& picture) {
  picture = Rect(x, y + tg, x, y + tg);
  if (!slot.Cache && slot.Image) {
    const int32_t sw = ilist_->GetImageWidth(slot.Image), sh = ilist_->GetImageHeight(slot.Image);
    if (sw < 1 || sh <= 0) return;
    TIKBitmap source;
    ilist_->CopyToBitmap(slot.Image, &source);
    int32_t w = 0, h = 0;
    FitSizeKeepingAspect(sw, sh, cw, ah, w, h);
    const int32_t px = x + std::abs(cw - w) / 2, py = y + std::abs(ah - h) / 2 + tg;
    picture = Rect(px, py, px + w, py + h);
    const bool mono = source.PixelFormat() == ikMono1;
    const TResampleFilter filter = (mono && (w < sw || h < sh)) ? rfFastLinear : rfNone;
    TIKBitmap target;
    target.SetLocation(ikMemory);
    target.Allocate(w, h, filter == rfFastLinear ? ikRGB24 : source.PixelFormat());
    ResampleImage(&source, &target, filter, {}, nullptr);
    if (SoftShadow().Enabled) {
      TIKBitmap work;
      work.SetLocation(ikMemory);
      work.Assign(&target);
      if (work.PixelFormat() != ikRGB24) work.ConvertPixelFormat(ikRGB24);
      AddSoftShadow(&work, SoftShadow().OffsetX, SoftShadow().OffsetY, this, nullptr, nullptr, 0, true,
                    SoftShadow().Radius);
      target.Allocate(w, h, ikRGB24);
      ResampleImage(&work, &target, rfNone, {}, nullptr);
      const int32_t vw = work.Width(), vh = work.Height();
      const double sx = static_cast<double>(w) / vw, sy = static_cast<double>(h) / vh;
      const int32_t dx = (vw - w) / 2, dy = (vh - h) / 2;
      slot.DrawnRect = Rect(static_cast<int32_t>(std::trunc(dx * sx)), static_cast<int32_t>(std::trunc(dy * sy)),
                            static_cast<int32_t>(std::trunc((w + dx) * sx)) + 1,
                            static_cast<int32_t>(std::trunc((h + dy) * sy)) + 1);
    } else {
      slot.DrawnRect = Rect(0, 0, w, h);
    }
    target.RenderToTBitmapEx(dest, nullptr, nullptr, px, py, w, h, 0, 0, w, h, EnableAlphaChannel, false, 255, filter,
                             true, 0);
    if (DisplayCacheEnabled()) {
      slot.Cache = icache_->AddImage(&target);
      if (slot.Cache) {
        icache_->SetOriginalWidth(slot.Cache, ilist_->GetOriginalWidth(slot.Image));
        icache_->SetOriginalHeight(slot.Cache, ilist_->GetOriginalHeight(slot.Image));
      }
    }
  } else if (slot.Cache) {
    const int32_t w = icache_->GetImageWidth(slot.Cache), h = icache_->GetImageHeight(slot.Cache);
    const int32_t px = x + std::abs(cw - w) / 2, py = y + std::abs(ah - h) / 2 + tg;
    picture = Rect(px, py, px + w, py + h);
    TIKBitmap copy;
    icache_->CopyToBitmap(slot.Cache, &copy);
    if (w > 0 && h > 0) copy.RenderToTBitmapEx(dest, nullptr, nullptr, px, py, w, h, 0, 0, w, h, true, false, 255, rfNone, true, 0);
  }
}

void TImgKitMView::DrawCaptions(TCanvas* canvas, TIKMViewSlot& slot, int32_t x, int32_t y, int32_t cw, int32_t ch,
                                int32_t bg, int32_t ih, bool selected, int32_t& bh) {
  bh = 0;
  auto prepare = [&](TIKMText& text) {
    canvas->SetFont(text.Font());
    canvas->Brush()->SetStyle(text.BackgroundStyle);
    if (selected && SelectionStyle() == ikssACD) {
      canvas->Font()->SetColor(clHighlightText);
      if (text.BackgroundStyle == bsSolid) canvas->Brush()->SetColor(clHighlight);
    } else if (text.BackgroundStyle == bsSolid) {
      canvas->Brush()->SetColor(text.Background);
    }
    return rtl::WideToAnsi(FitCaptionToWidth(canvas, text.Caption(), cw, text.EllipsisAt));
  };
  auto fillStrip = [&](TIKMText& text, const TRect& strip) {
    if (text.BackgroundStyle != bsSolid) return;
    canvas->FillRect(strip);
  };
  if (!slot.TopText->Caption().empty()) {
    const String s = prepare(*slot.TopText);
    canvas->TextOut(x + (cw - canvas->TextWidth(s)) / 2, y, s);
  }
  if (!slot.InfoText->Caption().empty()) {
    const String s = prepare(*slot.InfoText);
    if (Style() == ikmsFlat) fillStrip(*slot.InfoText, Rect(x, y + ch - bg - ih, x + cw, y + ch - bg));
    canvas->Brush()->SetStyle(slot.InfoText->BackgroundStyle);
    canvas->TextOut(x + (cw - canvas->TextWidth(s)) / 2, y + ch - bg - ih, s);
  }
  if (!slot.BottomText->Caption().empty()) {
    const String s = prepare(*slot.BottomText);
    const int32_t th = canvas->TextHeight(s);
    fillStrip(*slot.BottomText, Rect(x, y + ch - th - 1, x + cw, y + ch));
    canvas->Brush()->SetStyle(slot.BottomText->BackgroundStyle);
    canvas->TextOut(x + (cw - (canvas->TextWidth(s) + 2)) / 2 + 1, y + ch - th - 1, s);
    bh = th + 3;
  }
}

void TImgKitMView::PaintCell(TBitmap* dest, TIKMViewSlot& slot, int32_t index, bool selected) {
  Guard lock(IKGlobalLock());
  TCanvas* canvas = dest->Canvas();
  int32_t x = slot.CellX - viewX_, y = slot.CellY - viewY_;
  int32_t cw = ThumbWidth(), ch = ThumbHeight();
  const int32_t tg = UpperGap(), bg = BottomGap();
  if (OnBeforeImageDraw) OnBeforeImageDraw(this, index, x, y, canvas);
  if (OnBeforeImageDrawEx) {
    TRect r = Rect(0, 0, cw, ch);
    OnBeforeImageDrawEx(this, index, x, y, dest, r);
    cw = r.right - r.left;
    ch = r.bottom - r.top;
    x += r.left;
    y += r.top;
  }
  int32_t ih = 0;
  if (!slot.InfoText->Caption().empty()) {
    canvas->SetFont(slot.InfoText->Font());
    ih = canvas->TextHeight(rtl::WideToAnsi(slot.InfoText->Caption()));
  }
  const int32_t ah = ch - bg - tg - ih;

  TIKBackgroundParams cell;
  CellBackgroundParams(cell, slot, selected);
  if (FillCellBackground()) PaintViewBackground(canvas, dest, cell, x, y, cw, ch);

  TRect picture{};
  DrawCellPicture(dest, slot, x, y, cw, ah, tg, picture);
  const bool hasPicture = slot.Image || slot.Cache;
  const int32_t px = picture.left, py = picture.top, w = picture.right - picture.left, h = picture.bottom - picture.top;
  if (hasPicture) {
    if (ThumbnailsInternalBorder()) {
      canvas->Pen()->SetColor(ThumbnailsInternalBorderColor());
      canvas->Pen()->SetWidth(1);
      canvas->Pen()->SetStyle(psSolid);
      canvas->Brush()->SetStyle(bsClear);
      canvas->Rectangle(slot.DrawnRect.left + px, slot.DrawnRect.top + py, slot.DrawnRect.right + px,
                        slot.DrawnRect.bottom + py);
    }
    if (FillCellBackground()) {
      canvas->Brush()->SetStyle(bsSolid);
      canvas->Brush()->SetColor(cell.Background);
      canvas->FillRect(Rect(x, y, px, y + ch));
      canvas->FillRect(Rect(px + w, y, x + cw, y + ch));
      canvas->FillRect(Rect(px, y, px + w, py));
      canvas->FillRect(Rect(px, py + h, px + w, y + ch));
    }
  }

  int32_t bh = 0;
  DrawCaptions(canvas, slot, x, y, cw, ch, bg, ih, selected, bh);

  if (Style() == ikmsACD) {
    const TColor gray = static_cast<TColor>(win::RGB(128, 128, 128));
    if (hasPicture && w > 0 && h > 0) Draw3DRect(canvas, px, py, px + w - 1, py + h - 1, clWhite, gray);
    if (tg + bg > 0 || ih > 0) Draw3DRect(canvas, x, y, x + cw - 1, y + ch - bh - 1, clBlack, clWhite);
    if (!slot.BottomText->Caption().empty()) Draw3DRect(canvas, x, y + ch - bh + 2, x + cw - 1, y + ch - 1, clWhite, gray);
  }
  if (OnImageDraw) OnImageDraw(this, index, x, y, canvas);

  auto frames = [&](TColor color, int32_t count) {
    canvas->Pen()->SetColor(color);
    canvas->Pen()->SetWidth(1);
    canvas->Pen()->SetStyle(psSolid);
    canvas->Brush()->SetStyle(bsClear);
    for (int32_t i = 1; i <= count; ++i) canvas->Rectangle(x - i, y - i, x + cw + i, y + ch + i);
  };
  if (ThumbnailsBorderWidth() > 0) frames(ThumbnailsBorderColor(), ThumbnailsBorderWidth());
  if (selected && SelectionStyle() != ikssACD && !OnBeforeImageDrawEx)
    frames(SelectionColor(), Focused() ? SelectionWidth() : 1);
}

}  // namespace imaging
