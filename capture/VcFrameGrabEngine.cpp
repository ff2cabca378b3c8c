// The engine's side of the frame grabbers: making and inserting them, the
// callbacks on the streaming thread, the frame records and their hand-over
// to the periodic work, frame numbers and times, the burst rule and the
// per-frame step.
#include <algorithm>
#include <cmath>
#include <cstring>

#include "capture/VcEngine.h"
#include "capture/VcGraphHelpers.h"
#include "capture/VcLog.h"
#include "capture/VidCap.h"
#include "platform/mg/Guids.h"
#include "platform/mg/SystemFilters.h"
#include "platform/rtl/Clock.h"
#include "platform/win/Dc.h"
#include "platform/win/PenBrush.h"

namespace capture {

// ---- records ---------------------------------------------------------------------

void TFrameRecord::TakeFrom(TFrameRecord& Other) {
  Bitmap = std::move(Other.Bitmap);
  Data = Other.Data;
  Info = Other.Info;
  RawFrameCount = Other.RawFrameCount;
  SampleTime = Other.SampleTime;
  PlayerTime = Other.PlayerTime;
  Other.Data.Bitmap = nullptr;
  Other.Data.DIBSection = win::DIBSECTION{};
}

void TFrameRecord::FreeBitmap() {
  Bitmap.reset();
  Data.Bitmap = nullptr;
  Data.DIBSection = win::DIBSECTION{};
}

// Signed 64-bit division truncates toward zero, so a negative time (a
// frame stamped before the base) splits into negative parts.
void SplitFrameTimeParts(TFrameInfo& i) {
  i.TotalHundredths = i.FrameTime / 100'000;
  i.TotalSeconds = i.TotalHundredths / 100;
  i.Hundredths = static_cast<int32_t>(i.TotalHundredths % 100);
  i.TotalMinutes = static_cast<int32_t>(i.TotalSeconds / 60);
  i.Seconds = static_cast<int32_t>(i.TotalSeconds % 60);
  i.Hours = i.TotalMinutes / 60;
  i.Minutes = i.TotalMinutes % 60;
}

// ---- grabbers in the graph ----------------------------------------------------------

bool TVcEngine::CreateFrameGrabber(std::shared_ptr<mg::BaseFilter>& Slot, int32_t Mode,
                                   TFrameGrabberRGBFormat Format) {
  if (Slot && FilterGraph) FilterGraph->RemoveFilter(Slot);
  Slot.reset();
  auto fail = [&] {
    if (Slot && FilterGraph) FilterGraph->RemoveFilter(Slot);
    Slot.reset();
    ReportIf(true, SEV_ERROR, "insert grabber filter", e_failed);
    return false;
  };
  if (!FilterGraph) return fail();
  std::shared_ptr<mg::BaseFilter> filter;
  if (!CreateLocalFilterOrReport(GrabberModeName(Mode), filter,
                                 Mode == gm_RGB ? "CreateLocalGrabberInstance" : "CreateLocalGrabberInstanceNoModify"))
    return fail();
  auto control = mg::QueryInterface<IVcGrabberControl>(filter);
  TGrabberBlock* block = control ? control->Init(Mode) : nullptr;
  if (!block) return fail();
  for (auto& s : block->Streams) s = true;
  block->Deliver = true;
  if (block->Version != kGrabberBlockVersion) {
    ReportIf(true, SEV_ERROR, "TVidCap Dx filter obsolete", e_TVidCap_Filter_obsolete);
    return false;
  }
  block->Engine = this;
  if (MultiplexedRole == mr_MultiplexedMaster && (State == es_Preview || State == es_Recording))
    block->FrameCallback = [this](TGrabberBlock& b, TGrabbedFrame& f) { MasterFrameCallback(b, f); };
  else
    block->FrameCallback = [this](TGrabberBlock& b, TGrabbedFrame& f) { FrameCallback(b, f); };
  block->FrameNotifyCallback = [this](TGrabberBlock&, mg::MediaSample& s, int64_t t) { FrameNotifyCallback(s, t); };
  block->DVDateCallback = [this](TGrabberBlock&, TDVDateRecord& d) { DVDateCallback(d); };
  if (SampleCaptureAsyncEvent)
    block->SampleCallback = [this](TGrabberBlock&, bool v, mg::MediaSample& s, const mg::AM_MEDIA_TYPE& t, int64_t a,
                                   int64_t b) { BufferedSampleCallback(v, s, t, a, b); };
  else
    block->SampleCallback = [this](TGrabberBlock&, bool v, mg::MediaSample& s, const mg::AM_MEDIA_TYPE& t, int64_t a,
                                   int64_t b) { SampleCallback(v, s, t, a, b); };
  block->PixelFormat = Format;
  Slot = filter;
  if (!AddFilterToGraph(filter, UniqueFilterName(GrabberModeName(Mode)))) return fail();
  return true;
}

bool TVcEngine::InsertFrameGrabber(std::shared_ptr<mg::Pin>& Pin, int32_t Mode, const mg::AM_MEDIA_TYPE* MediaType,
                                   std::shared_ptr<mg::BaseFilter>& Slot, TFrameGrabberRGBFormat Format) {
  if (!Pin) return false;
  if (Mode == gm_RGB && !Latched.MotionDetector_Enabled) {
    UpdateProcessingFlags();
    if ((ColorProcessing || GeometryProcessing) &&
        (Format == fgf_RGB565 || Format == fgf_RGB555 || Format == fgf_RGB8)) {
      // The adjustments work on 24-bit frames; a first grabber makes them
      // and only the second, in the asked format, delivers.
      if (!InsertFrameGrabber(Pin, gm_RGB, MediaType, Grab.ExtraGrabber, fgf_RGB24)) return false;
      if (auto control = mg::QueryInterface<IVcGrabberControl>(Grab.ExtraGrabber))
        if (TGrabberBlock* b = control->Init(gm_RGB)) b->Deliver = false;
      MediaType = nullptr;
    }
  }
  auto fail = [&] {
    if (Slot && FilterGraph) FilterGraph->RemoveFilter(Slot);
    Slot.reset();
    ReportIf(true, SEV_ERROR, "insert grabber filter", e_failed);
    return false;
  };
  if (!CreateFrameGrabber(Slot, Mode, Format)) return false;
  std::shared_ptr<mg::Pin> input = FirstFreePin(Slot, mg::PINDIR_INPUT);
  std::shared_ptr<mg::Pin> output = FirstFreePin(Slot, mg::PINDIR_OUTPUT);
  if (!input || !output) return fail();
  bool connected = false;
  if (MediaType)
    connected = FilterGraph->ConnectDirect(Pin, input, MediaType) >= 0;
  else
    connected = ConnectPins(Pin, input);
  if (!connected) return fail();
  Pin = output;
  if (Mode == gm_RGB && SampleCapture_Video == sc_AfterOnDraw) return InsertSampleGrabber(Pin, true);
  return true;
}

bool TVcEngine::InsertTeeFrameGrabber(const mg::CLSID* Intermediate, std::shared_ptr<mg::Pin>& Pin) {
  if (!Pin) return false;
  std::shared_ptr<mg::BaseFilter> tee;
  std::shared_ptr<mg::Pin> input;
  if (!AddFilterGetInput(*this, mg::CLSID_InfTee, "Inf Tee Vid", tee, input) || !ConnectPins(Pin, input)) {
    if (tee) FilterGraph->RemoveFilter(tee);
    return false;
  }
  std::shared_ptr<mg::Pin> branch = FirstFreePin(tee, mg::PINDIR_OUTPUT);
  if (Intermediate && !InsertFilterInline(*Intermediate, "Interm Filter", branch, &mg::MEDIATYPE_Video)) return false;
  if (!InsertFrameGrabber(branch, gm_RGB, nullptr, Grab.MainGrabber, EffectivePixelFormat)) return false;
  if (!TerminateWithNullRenderer(branch, false)) return false;
  Pin = FirstFreePin(tee, mg::PINDIR_OUTPUT);
  return Pin != nullptr;
}

bool TVcEngine::InsertMainFrameGrabber(std::shared_ptr<mg::Pin>& Pin) {
  if (Latched.FrameGrabber == fg_Disabled) return true;
  if (Latched.FrameGrabber == fg_CaptureStream) return InsertTeeFrameGrabber(nullptr, Pin);
  return InsertFrameGrabber(Pin, gm_RGB, nullptr, Grab.MainGrabber, EffectivePixelFormat);
}

void TVcEngine::ReadGrabberMediaType() {
  Grab.HaveGrabberType = false;
  if (!Grab.MainGrabber) return;
  std::shared_ptr<mg::Pin> input;
  for (const auto& p : Grab.MainGrabber->Pins())
    if (p->Direction() == mg::PINDIR_INPUT && p->IsConnected()) input = p;
  if (input && input->ConnectionMediaType(&Grab.GrabberType) >= 0 && Grab.GrabberType.BitmapHeader())
    Grab.HaveGrabberType = true;
}

void TVcEngine::ClearFrameGrab() {
  {
    std::lock_guard lock(FrameLock);
    Grab.Working.FreeBitmap();
    Grab.Pending.FreeBitmap();
    Grab.Working = TFrameRecord{};
    Grab.Pending = TFrameRecord{};
  }
  Grab.Current.FreeBitmap();
  Grab.Current = TFrameRecord{};
  PreviousFrame.FreeBitmap();
  PreviousFrame = TFrameRecord{};
  Grab.NewFramePublished = false;
  Grab.CaptureRequested = false;
  Grab.BurstCaptureRequested = false;
  Grab.FirstRawFrame = 0;
  Grab.PausedDuration = 0;
  Grab.RecordingPaused = false;
  Grab.LastRecordedFrameTime = 0;
  Grab.LastNotifyTick = 0;
  Periodic.DroppedFrames.reset();
  Grab.MainGrabber.reset();
  Grab.ExtraGrabber.reset();
  Grab.NotifyGrabber.reset();
  Grab.DummyGrabber.reset();
  Grab.VideoSampleGrabber.reset();
  Grab.VideoLockShift.reset();
  Grab.AudioLockShift.reset();
  Grab.PauseStart = 0;
  for (auto& location : Sel.ThirdPartyFilters)
    for (TThirdPartyFilter& f : location) f.Filter.reset();
  Grab.AudioSampleGrabber.reset();
  ResetSampleRecord(Grab.VideoSample);
  ResetSampleRecord(Grab.AudioSample);
  Grab.HaveGrabberType = false;
}

// ---- frame numbers and times ---------------------------------------------------------

void TVcEngine::UpdateFrameRecord(TFrameRecord& Record, int64_t SampleTime) {
  // The clip player's frames are counted by the player itself.
  const int64_t t = SampleTime;
  if (FrameTimeBase == -1) {
    FrameTimeBase = t;
    Grab.FirstRawFrame = Record.RawFrameCount;
  }
  if (!Grab.RecordingPaused) {
    ++Record.RawFrameCount;
    Record.SampleTime = Grab.PausedDuration > 0 ? t - Grab.PausedDuration : t;
  }
  SplitFrameTime(Record);
}

void TVcEngine::SplitFrameTime(TFrameRecord& Record) {
  TFrameInfo& i = Record.Info;
  if (State == es_PlayerOpen) {
    i.FrameNumber = Record.RawFrameCount;
    i.FrameTime = Record.SampleTime;
  } else {
    i.FrameNumber = Record.RawFrameCount - Grab.FirstRawFrame;
    i.FrameTime = Record.SampleTime - FrameTimeBase;
    if (State == es_Recording) Grab.LastRecordedFrameTime = i.FrameTime;
  }
  SplitFrameTimeParts(i);
}

// ---- callbacks on the streaming thread ---------------------------------------------

bool TVcEngine::ApplyBurstRule() {
  std::lock_guard lock(Grab.BurstLock);
  if (!BurstMode) return false;
  bool due = false;
  if (Grab.BurstInterval == 0) {
    due = true;
  } else if (Grab.BurstCountdown == 0) {
    due = true;
    Grab.BurstCountdown = Grab.BurstInterval;
  } else {
    --Grab.BurstCountdown;
  }
  if (!due) return false;
  if (BurstCount <= 0) {
    Grab.BurstCaptureRequested = true;
  } else if (Grab.BurstRemaining == 0) {
    BurstMode = false;
  } else {
    --Grab.BurstRemaining;
    Grab.BurstCaptureRequested = true;
  }
  return true;
}

namespace {

// A copy of the grabber's frame as a bitmap of its own, from the grabber's
// connection type; null when no DIB section could be made.
std::unique_ptr<forms::TBitmap> CopyFrame(const mg::AM_MEDIA_TYPE& Type, const TGrabbedFrame& Frame) {
  TDibInfo info;
  if (!DibInfoOfType(Type, info)) return nullptr;
  void* bits = nullptr;
  win::HBITMAP dib = win::CreateDIBSection(Frame.Dc, reinterpret_cast<const win::BITMAPINFO*>(&info),
                                           win::DIB_RGB_COLORS, &bits, nullptr, 0);
  if (!dib || !bits) {
    if (dib) win::DeleteObject(dib);
    return nullptr;
  }
  win::DIBSECTION section{};
  win::GetObject(dib, sizeof section, &section);
  const size_t size = static_cast<size_t>(section.dsBm.bmWidthBytes) * static_cast<size_t>(section.dsBm.bmHeight);
  std::memcpy(bits, Frame.Bits, std::min(size, static_cast<size_t>(std::max(Frame.Length, 0))));
  auto bitmap = std::make_unique<forms::TBitmap>();
  bitmap->SetHandle(dib);
  return bitmap;
}

// Each frame takes the picture adjustments in force when it arrives.
void TakePictureAdjustments(const TVcEngine& e, TGrabberProcessing& p) {
  p.Brightness = e.VideoProcessing_Brightness;
  p.Contrast = e.VideoProcessing_Contrast;
  p.Saturation = e.VideoProcessing_Saturation;
  p.Hue = e.VideoProcessing_Hue;
  p.GrayScale = e.VideoProcessing_GrayScale;
  p.InvertColors = e.VideoProcessing_InvertColors;
  p.FlipHorizontal = e.VideoProcessing_FlipHorizontal;
  p.FlipVertical = e.VideoProcessing_FlipVertical;
}

}  // namespace

void TVcEngine::FrameCallback(TGrabberBlock& Block, TGrabbedFrame& Frame) {
  if (Destroying || !GraphActive || !Frame.Dib || !Frame.Section) return;
  Grab.CallbackBusy = true;
  struct Clear {
    std::atomic<bool>& flag;
    ~Clear() { flag = false; }
  } clear{Grab.CallbackBusy};
  TakePictureAdjustments(*this, Block.Processing);

  TFrameRecord& working = Grab.Working;
  UpdateFrameRecord(working, Frame.StartTime);
  // Switching the detector on or off applies from the next frame.
  const bool motion = MotionActive;
  const bool wanted = !Grab.NewFramePublished && Block.Deliver;
  bool capture = false;
  if (wanted) {
    const bool burstDue = ApplyBurstRule();
    capture = burstDue || motion || Grab.CaptureRequested || Grab.BurstCaptureRequested || State == es_PlayerOpen;
  }
  // Snapshots carry the overlays unless the clean frame is wanted (for
  // them, or for the motion detector, which must not see the text).
  const bool overlaysAfterCopy = Latched.FrameCaptureWithoutOverlay || motion;
  if (!overlaysAfterCopy) RaiseOverlays(working.Info, Frame.Dib, *Frame.Section);
  if (wanted) {
    if ((motion || capture) && Grab.HaveGrabberType) {
      working.Bitmap = CopyFrame(Grab.GrabberType, Frame);
      if (working.Bitmap) {
        working.Data.Bitmap = working.Bitmap.get();
        win::GetObject(working.Bitmap->Handle(), sizeof working.Data.DIBSection, &working.Data.DIBSection);
        working.Data.FrameNumber = working.Info.FrameNumber;
        working.Data.FrameTime = working.Info.FrameTime;
      }
    }
    std::lock_guard lock(FrameLock);
    Grab.Pending.FreeBitmap();
    Grab.Pending.TakeFrom(working);
  }
  if (overlaysAfterCopy) RaiseOverlays(working.Info, Frame.Dib, *Frame.Section);
  win::GdiFlush();
  if (State == es_Reencoding) return;
  if (wanted && GraphActive) {
    Grab.NewFramePublished = true;
    Periodic.NewFrame = true;
  }
}

namespace {

// A multiplexer card sends solid blue (0, 0, 192) on a channel without
// signal; nine probes across the picture tell such a frame. Rows are
// addressed with the section's true stride, so widths whose rows are
// padded probe the pixels they mean.
bool IsNoSignalFrame(const win::DIBSECTION& s, const uint8_t* bits) {
  const int32_t bpp = s.dsBm.bmBitsPixel / 8;
  const int32_t w = s.dsBm.bmWidth, h = s.dsBm.bmHeight < 0 ? -s.dsBm.bmHeight : s.dsBm.bmHeight;
  if ((bpp != 3 && bpp != 4) || w < 20 || h < 20 || !bits) return false;
  const size_t stride = static_cast<size_t>(s.dsBm.bmWidthBytes);
  for (int32_t row : {h - 10, h - h / 2, 10})
    for (int32_t col : {10, w / 2, w - 10}) {
      const uint8_t* p = bits + static_cast<size_t>(row) * stride + static_cast<size_t>(col) * bpp;
      if (p[0] != 192 || p[1] != 0 || p[2] != 0) return false;
    }
  return true;
}

}  // namespace

void TVcEngine::MasterFrameCallback(TGrabberBlock& Block, TGrabbedFrame& Frame) {
  if (Destroying || !Grab.MainGrabber || !GraphActive || !Frame.Section) return;
  TakePictureAdjustments(*this, Block.Processing);
  UpdateFrameRecord(Grab.Working, Frame.StartTime);
  const uint8_t* data = Frame.Sample && Frame.Sample->GetActualDataLength() > 0 ? Frame.Sample->GetPointer() : nullptr;
  int32_t channel = data ? data[0] : 0;
  if (channel > 3) channel = 0;
  if (IsNoSignalFrame(*Frame.Section, Frame.Bits)) return;
  TVcEngine* slave = Slave[channel];
  if (!slave || !slave->Grab.SlaveWaiting) return;
  slave->Grab.SlaveWaiting = false;
  slave->Grab.SlaveFrame.assign(Frame.Bits, Frame.Bits + std::max(Frame.Length, 0));
  slave->Grab.SlaveFrameReady = true;
}

void TVcEngine::FrameNotifyCallback(mg::MediaSample&, int64_t StartTime) {
  const uint32_t now = rtl::GetTickCount();
  if (now - Grab.LastNotifyTick <= 66) return;
  Grab.LastNotifyTick = now;
  std::lock_guard lock(FrameLock);
  UpdateFrameRecord(Grab.Pending, StartTime);
  Grab.NewFramePublished = true;
  Periodic.NewFrame = true;
}

void TVcEngine::DVDateCallback(TDVDateRecord& Date) {
  TFrameRecord& record = Latched.FrameGrabber == fg_Disabled ? Grab.Current : Grab.Working;
  TFrameInfo& i = record.Info;
  i.DVDateValid = Date.Valid;
  i.DVYear = Date.Year;
  i.DVMonth = Date.Month;
  i.DVDay = Date.Day;
  i.DVHour = Date.Hour;
  i.DVMinute = Date.Minute;
  i.DVSecond = Date.Second;
  static const int32_t kDays[] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
  const bool leap = (Date.Year % 4 == 0 && Date.Year % 100 != 0) || Date.Year % 400 == 0;
  bool ok = Date.Year >= 1 && Date.Year <= 9999 && Date.Month >= 1 && Date.Month <= 12 && Date.Day >= 1;
  if (ok) ok = Date.Day <= kDays[Date.Month - 1] + (Date.Month == 2 && leap ? 1 : 0);
  if (!ok) {
    i.DVDateValid = false;
    i.DVYear = i.DVMonth = i.DVDay = i.DVHour = i.DVMinute = i.DVSecond = 0;
    Date.Valid = false;
  }
}

// ---- the periodic work's side ------------------------------------------------------

bool TVcEngine::TakePendingFrame() {
  std::lock_guard lock(FrameLock);
  if (!Grab.NewFramePublished) return false;
  Grab.Current.FreeBitmap();
  Grab.Current.TakeFrom(Grab.Pending);
  Grab.NewFramePublished = false;
  const int32_t dropped = CurrentFrameInfo.DroppedFrames;
  CurrentFrameInfo = Grab.Current.Info;
  CurrentFrameInfo.DroppedFrames = dropped;
  Grab.Current.Info.DroppedFrames = dropped;
  return true;
}

void TVcEngine::ProcessFrame() {
  if (Grab.Current.Bitmap) {
    if (Grab.CaptureRequested.exchange(false)) {
      TakeSnapshot(Sel.SnapshotDest, Sel.SnapshotFileName, true);
    } else if (Grab.BurstCaptureRequested.exchange(false)) {
      bool finish;
      {
        std::lock_guard lock(Grab.BurstLock);
        finish = BurstMode;
      }
      TakeSnapshot(BurstType, String(), finish);
    }
    if (MotionActive && MotionDetector) MotionStep();
  }
  if (Grab.VideoSample.NewSample) RaiseBufferedSample(Grab.VideoSample, true);
  if (Grab.AudioSample.NewSample) RaiseBufferedSample(Grab.AudioSample, false);
}

}  // namespace capture
