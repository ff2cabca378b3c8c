// The bitmap overlay of the capture modes. The handler runs on the media
// graph's streaming thread while the settings dialog may put another
// picture in place on the GUI thread; it holds its own reference to the
// picture and takes the placement under the record's lock, so a picture
// being replaced is never read half-way.
#include <cmath>
#include <memory>

#include "app/Globals.h"
#include "app/MainUnit.h"

namespace app {

void TfrmMain::VidCapFrameOverlayUsingDC(forms::TObject*, const capture::TFrameInfo&, win::HDC Dc) {
  TGlobalVars& g = GlobalVars();
  std::shared_ptr<forms::TBitmap> picture;
  int32_t left = 0, top = 0, size = 100;
  bool transparent = true;
  {
    std::lock_guard lock(g.SharedLock);
    if (!g.EnableOverlay || !g.OverlayBitmap) return;
    picture = g.OverlayBitmap;
    left = g.BitmapOverlayLeft;
    top = g.BitmapOverlayTop;
    size = g.BitmapOverlaySize;
    transparent = g.BitmapOverlayTransparent;
  }
  const auto w = static_cast<int32_t>(std::nearbyint(static_cast<double>(picture->Width() * size) / 100.0));
  const auto h = static_cast<int32_t>(std::nearbyint(static_cast<double>(picture->Height() * size) / 100.0));
  forms::TCanvas canvas;
  canvas.SetHandle(Dc);
  canvas.Lock();
  forms::TBitmap copy;
  copy.Assign(picture.get());
  copy.SetTransparent(transparent);
  copy.Canvas()->Lock();
  if (size == 100)
    canvas.Draw(left, top, &copy);
  else
    canvas.StretchDraw(forms::Rect(left, top, left + w, top + h), &copy);
  copy.Canvas()->Unlock();
  canvas.Unlock();
  canvas.SetHandle(nullptr);
}

}  // namespace app
