// Snapshots: the frame the per-frame step holds, scaled and with the
// overlays as chosen, handed to the application as a bitmap or written to
// a BMP or JPEG file; the explicit request and the burst switch.
#include <cmath>

#include "capture/VcEngine.h"
#include "capture/VcFormats.h"
#include "capture/VcLog.h"
#include "capture/VidCap.h"
#include "platform/forms/Jpeg.h"
#include "platform/rtl/Files.h"
#include "platform/rtl/StringUtils.h"
#include "platform/win/PenBrush.h"

namespace capture {

namespace {

bool SaveBitmapFile(forms::TBitmap& Bitmap, const String& FileName) {
  if (FileName.empty()) return false;
  try {
    Bitmap.SaveToFile(FileName);
    return true;
  } catch (...) {
    return false;
  }
}

bool SaveJpegFile(forms::TJPEGImage& Jpeg, const String& FileName) {
  if (FileName.empty()) return false;
  try {
    Jpeg.SaveToFile(FileName);
    return true;
  } catch (...) {
    return false;
  }
}

}  // namespace

String TVcEngine::PrepareSnapshotFileName(const String& FileName, const String& Extension) {
  const String full = rtl::ExpandFileName(FileName);
  const size_t slash = full.rfind('/');
  const String folder = slash == String::npos ? String() : full.substr(0, slash);
  if (!folder.empty() && !ForceFolders(folder)) {
    ReportIf(true, SEV_ERROR, "cannot create directory: " + folder, e_failed_to_create_directory);
    return {};
  }
  const size_t dot = FileName.rfind('.');
  const size_t lastSlash = FileName.rfind('/');
  if (dot == String::npos || (lastSlash != String::npos && lastSlash > dot)) return FileName + "." + Extension;
  if (rtl::CompareText(FileName.substr(dot + 1), Extension) != 0) return FileName.substr(0, dot + 1) + Extension;
  return FileName;
}

bool TVcEngine::TakeSnapshot(TFrameCaptureDest Dest, const String& FileName, bool Finish) {
  forms::TBitmap* frame = Grab.Current.Bitmap.get();
  if (!Grab.MainGrabber || !frame) return false;
  auto snap = std::make_unique<forms::TBitmap>();
  const int32_t zoom = FrameCaptureZoomSize;
  if (zoom == 100) {
    snap->Assign(frame);
  } else {
    // Scaled from the frame's own size: a picture turned by the grabber or
    // sent by another source keeps its proportions.
    const auto w = static_cast<int>(std::nearbyint(frame->Width() * zoom / 100.0));
    const auto h = static_cast<int>(std::nearbyint(frame->Height() * zoom / 100.0));
    snap->SetPixelFormat(forms::pf24bit);
    snap->SetSize(w, h);
    snap->Canvas()->StretchDraw(forms::TRect{0, 0, w, h}, frame);
  }
  TFrameData data;
  data.Bitmap = snap.get();
  data.FrameNumber = Grab.Current.Data.FrameNumber;
  data.FrameTime = Grab.Current.Data.FrameTime;
  const bool haveSection = win::GetObject(snap->Handle(), sizeof data.DIBSection, &data.DIBSection) ==
                           static_cast<int>(sizeof data.DIBSection);
  if (haveSection && !Latched.FrameCaptureWithoutOverlay && MotionActive) {
    // The frame was copied before its overlays for the motion detector.
    TFrameInfo info = Grab.Current.Info;
    win::HBITMAP handle = snap->ReleaseHandle();
    RaiseOverlays(info, handle, data.DIBSection);
    snap->SetHandle(handle);
    data.Bitmap = snap.get();
  }
  if (!Finish) return false;
  bool ok = false;
  String name;
  if (Dest == fc_TBitmap) {
    ok = true;
  } else {
    const bool jpeg = Dest == fc_JpegFile;
    const String ext = jpeg ? "jpg" : "bmp";
    if (FileName.empty()) {
      int32_t key = -1;
      MakeAutoFileName(jpeg ? 1 : 0, ext, name, key);
    } else {
      name = PrepareSnapshotFileName(FileName, ext);
    }
    if (jpeg) {
      forms::TJPEGImage image;
      image.Assign(snap.get());
      image.SetPerformance(JPEGPerformance);
      image.SetCompressionQuality(JPEGQuality);
      if (JPEGProgressiveDisplay) {
        image.SetProgressiveDisplay(true);
        image.SetProgressiveEncoding(true);
      }
      ok = SaveJpegFile(image, name);
    } else {
      ok = SaveBitmapFile(*snap, name);
    }
  }
  TVidCap* c = Owner;
  if (c && CanRaiseEvent(c->OnFrameCaptureCompleted)) c->OnFrameCaptureCompleted(c, data, Dest, name, ok);
  return ok;
}

}  // namespace capture
