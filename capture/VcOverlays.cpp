// What is drawn onto every frame of the main grabber: the shape, the text
// built from the parsed template, and the application's own drawing through
// the three overlay events. Runs on the streaming thread (and on the
// periodic work's thread for snapshots).
#include <cmath>
#include <cstdio>

#include "capture/VcEngine.h"
#include "capture/VcProperties.h"
#include "capture/VidCap.h"
#include "platform/forms/Shape.h"
#include "platform/rtl/Clock.h"
#include "platform/rtl/DateUtils.h"
#include "platform/win/Dc.h"
#include "platform/win/Font.h"
#include "platform/win/GdiObject.h"
#include "platform/win/Shapes.h"

namespace capture {

namespace {

String Printf(const char* format, auto... args) {
  char buf[64];
  std::snprintf(buf, sizeof buf, format, args...);
  return buf;
}

}  // namespace

bool DVDateTime(const TFrameInfo& Info, rtl::TDateTime& Value) {
  if (!Info.DVDateValid || Info.DVHour < 0 || Info.DVHour > 23 || Info.DVMinute < 0 || Info.DVMinute > 59 ||
      Info.DVSecond < 0 || Info.DVSecond > 59)
    return false;
  rtl::TDateTime date = 0;
  if (!rtl::TryEncodeDate(Info.DVYear, Info.DVMonth, Info.DVDay, date)) return false;
  Value = date + (Info.DVHour * 3'600'000.0 + Info.DVMinute * 60'000.0 + Info.DVSecond * 1'000.0) / 86'400'000.0;
  return true;
}

void DrawShape(win::HDC Dc, forms::TControl* Control) {
  auto* shape = dynamic_cast<forms::TShape*>(Control);
  if (!shape || !shape->Enabled()) return;
  win::HGDIOBJ oldBrush = win::SelectObject(Dc, shape->Brush()->Handle());
  win::HGDIOBJ oldPen = win::SelectObject(Dc, shape->Pen()->Handle());
  const int pw = shape->Pen()->Width();
  int x = shape->Left(), y = shape->Top();
  int w = shape->Width(), h = shape->Height();
  if (pw != 0) {
    w = w - pw + 1;
    h = h - pw + 1;
  }
  const int s = std::min(w, h);
  const forms::TShapeType type = shape->Shape();
  if (type == forms::stSquare || type == forms::stRoundSquare || type == forms::stCircle) {
    x += (w - s) / 2;
    y += (h - s) / 2;
    w = h = s;
  }
  switch (type) {
    case forms::stRectangle:
    case forms::stSquare: win::Rectangle(Dc, x, y, x + w, y + h); break;
    case forms::stRoundRect:
    case forms::stRoundSquare: win::RoundRect(Dc, x, y, x + w, y + h, s / 4, s / 4); break;
    case forms::stEllipse:
    case forms::stCircle: win::Ellipse(Dc, x, y, x + w, y + h); break;
  }
  win::SelectObject(Dc, oldPen);
  win::SelectObject(Dc, oldBrush);
}

bool TVcEngine::BuildOverlayText(const TFrameInfo& Info, String& Text) {
  TOverlayTemplate* t = nullptr;
  {
    std::lock_guard lock(Sel.OverlayLock);
    t = &Sel.Overlay[Sel.CurrentOverlay.load()];
    if (t->Writing) return false;
    t->Reading = true;
  }
  Text.clear();
  const int32_t count = t->Count;
  for (int32_t i = 0; i < count; ++i) {
    const TOverlaySegment& s = t->Segments[i];
    switch (s.Kind) {
      case 0: Text += s.Text; break;
      case 1:
        if (Info.DVTimecodeValid)
          Text += Printf("%.2u:%.2u:%.2u:%.2u", static_cast<unsigned>(Info.DVTimecodeHours),
                         static_cast<unsigned>(Info.DVTimecodeMinutes), static_cast<unsigned>(Info.DVTimecodeSeconds),
                         static_cast<unsigned>(Info.DVTimecodeFrames));
        break;
      case 2: Text += std::to_string(Info.FrameNumber); break;
      case 3: Text += std::to_string(Info.FrameTime); break;
      case 4: Text += Printf("%lld.%.2d", static_cast<long long>(Info.TotalSeconds), Info.Hundredths); break;
      case 5: Text += Printf("%.2d:%.2d:%.2d %.2d", Info.Hours, Info.Minutes, Info.Seconds, Info.Hundredths); break;
      case 6: Text += rtl::FormatDateTime(s.Text, rtl::Now()); break;
      case 7: {
        rtl::TDateTime dv = 0;
        if (DVDateTime(Info, dv)) Text += rtl::FormatDateTime(s.Text, dv);
        break;
      }
      default:
        if (s.Kind >= 8 && s.Kind <= 17) Text += Sel.CustomText[s.Kind - 8];
        break;
    }
  }
  std::lock_guard lock(Sel.OverlayLock);
  t->Reading = false;
  return true;
}

void TVcEngine::DrawOverlays(const TFrameInfo& Info, win::HBITMAP Dib) {
  win::HDC dc = win::CreateCompatibleDC(nullptr);
  if (!dc) return;
  win::HGDIOBJ oldBitmap = win::SelectObject(dc, Dib);
  if (oldBitmap) {
    if (ShapeOverlayEnabled && ShapeOverlay) DrawShape(dc, ShapeOverlay);
    String text;
    if (TextOverlay_Enabled && BuildOverlayText(Info, text)) {
      win::RECT r{TextOverlay_Left, TextOverlay_Top, TextOverlay_Right, 2147483647};
      const int oldMode = win::SetBkMode(dc, TextOverlay_Transparent ? win::TRANSPARENT : win::OPAQUE);
      const win::COLORREF oldBk = win::SetBkColor(dc, forms::ColorToRGB(TextOverlay_BkColor));
      forms::TFont* font = Sel.TextOverlayFont.get();
      const win::COLORREF oldText = win::SetTextColor(dc, forms::ColorToRGB(font ? font->Color() : forms::clWhite));
      win::HGDIOBJ oldFont = font ? win::SelectObject(dc, font->Handle()) : nullptr;
      win::UINT flags = win::DT_NOCLIP | win::DT_WORDBREAK;
      if (TextOverlay_Align == tf_Center) flags |= win::DT_CENTER;
      if (TextOverlay_Align == tf_Right) flags |= win::DT_RIGHT;
      win::DrawText(dc, text.c_str(), static_cast<int>(text.size()), &r, flags);
      if (oldFont) win::SelectObject(dc, oldFont);
      win::SetTextColor(dc, oldText);
      win::SetBkColor(dc, oldBk);
      win::SetBkMode(dc, oldMode);
    }
  }
  TVidCap* c = Owner;
  if (c && CanRaiseEvent(c->OnFrameOverlayUsingDC())) {
    Grab.DCOverlayDc = dc;
    Grab.DCOverlayRunning = true;
    c->OnFrameOverlayUsingDC()(c, Info, dc);
    Grab.DCOverlayRunning = false;
    Grab.DCOverlayDc = nullptr;
  }
  if (oldBitmap) win::SelectObject(dc, oldBitmap);
  win::DeleteDC(dc);
  win::GdiFlush();
}

void TVcEngine::RaiseOverlays(const TFrameInfo& Info, win::HBITMAP Dib, win::DIBSECTION& Section) {
  if (Destroying) return;
  if (Sel.OverlayActive) DrawOverlays(Info, Dib);
  TVidCap* c = Owner;
  if (!c) return;
  if (CanRaiseEvent(c->OnFrameOverlayUsingDIB)) c->OnFrameOverlayUsingDIB(c, Info, &Section);
  if (CanRaiseEvent(c->OnFrameOverlayUsingVIDEOHDR)) {
    TVideoHdr hdr;
    hdr.lpData = static_cast<uint8_t*>(Section.dsBm.bmBits);
    hdr.dwBufferLength = hdr.dwBytesUsed = Section.dsBmih.biSizeImage;
    hdr.dwTimeCaptured =
        Info.FrameTime < 0 ? 0 : static_cast<uint32_t>(std::nearbyint(static_cast<double>(Info.FrameTime) / 10'000.0));
    c->OnFrameOverlayUsingVIDEOHDR(c, Info, hdr);
  }
}

}  // namespace capture
