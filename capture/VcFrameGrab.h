#pragma once
// The component's frame grabbers and what the engine keeps of the frames
// they deliver: the grabber filter with its control block, the three frame
// records handed from the streaming thread to the periodic work, the
// snapshot and burst requests, and the frame-time arithmetic.
#include <atomic>
#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <vector>

#include "capture/VcTypes.h"
#include "platform/forms/Graphics.h"
#include "platform/mg/Filter.h"
#include "platform/mg/MediaType.h"
#include "platform/win/Bitmap.h"

namespace capture {

class TVcEngine;

// The modes a grabber is made in; the mode's name plus a random number
// names the filter in the graph.
enum TGrabberMode : int32_t {
  gm_Sample = 0,
  gm_Dummy = 1,
  gm_Notify = 2,
  gm_Lock = 3,
  gm_LockAndShift = 4,
  gm_DvData = 5,
  gm_Clear = 6,
  gm_RGB = 8
};
// "GRB_Sample" .. "GRB_RGB"; empty for a mode without a name.
String GrabberModeName(int32_t Mode);
// The control block of a grabber speaks this version; any other means the
// grabber and the engine do not belong together.
inline constexpr int32_t kGrabberBlockVersion = 7035;

// One frame as the main grabber hands it to the frame callback: the
// sample, the bytes of it copied into the grabber's DIB section (whatever
// is drawn there goes on with the frame), and a memory DC for making
// pictures compatible with it. The section is kept out of any DC, so the
// drawing code can select it where it draws.
struct TGrabbedFrame {
  int64_t StartTime = 0;
  int64_t StopTime = 0;
  mg::MediaSample* Sample = nullptr;
  int32_t Length = 0;
  win::HBITMAP Dib = nullptr;
  win::HDC Dc = nullptr;
  win::DIBSECTION* Section = nullptr;
  uint8_t* Bits = nullptr;
};

// The DV recording date a DV stream carries with a frame.
struct TDVDateRecord {
  bool Valid = false;
  int32_t Year = 0, Month = 0, Day = 0, Hour = 0, Minute = 0, Second = 0;
};

// The picture adjustments a grabber applies; copied into the block with
// every frame so that changes apply without a new graph.
struct TGrabberProcessing {
  int32_t Brightness = 0, Contrast = 0, Saturation = 0, Hue = 0;
  bool GrayScale = false, InvertColors = false, Deinterlace = false, FlipHorizontal = false, FlipVertical = false;
};

struct TGrabberBlock {
  int32_t Version = kGrabberBlockVersion;
  int32_t Mode = 0;
  // The three stream switches; a grabber passes nothing while all are off.
  std::atomic<bool> Streams[3] = {false, false, false};
  // Frames reach the frame callback only while this is on.
  std::atomic<bool> Deliver{false};
  TVcEngine* Engine = nullptr;
  std::function<void(TGrabberBlock&, TGrabbedFrame&)> FrameCallback;
  std::function<void(TGrabberBlock&, mg::MediaSample&, int64_t StartTime)> FrameNotifyCallback;
  std::function<void(TGrabberBlock&, TDVDateRecord&)> DVDateCallback;
  std::function<void(TGrabberBlock&, bool IsVideo, mg::MediaSample&, const mg::AM_MEDIA_TYPE&, int64_t, int64_t)>
      SampleCallback;
  TGrabberProcessing Processing;
  std::atomic<int32_t> PixelFormat{fgf_Default};
  // A lock-and-shift grabber drops samples while paused and moves every
  // later one back by the time spent paused; it notes the start time of
  // the latest sample it saw.
  std::atomic<bool> Paused{false};
  std::atomic<int64_t> Shift{0};
  std::atomic<int64_t> LatestTime{0};
};

// The control interface a grabber answers for; Init gives the block of
// the mode asked, or null for a mode this grabber does not serve.
class IVcGrabberControl {
public:
  virtual ~IVcGrabberControl() = default;
  virtual TGrabberBlock* Init(int32_t Mode) = 0;
};

extern const mg::CLSID CLSID_VcFrameGrabber;

// The header (and the 5-6-5 masks) a DIB section of a video type needs.
struct TDibInfo {
  win::BITMAPINFOHEADER header;
  win::DWORD masks[3] = {0, 0, 0};
};
bool DibInfoOfType(const mg::AM_MEDIA_TYPE& Type, TDibInfo& Info);

// Makes a grabber filter, as the component's filter library does.
std::shared_ptr<mg::BaseFilter> CreateGrabberFilter();

// One frame as the engine keeps it: the picture (when one was wanted) and
// the frame's numbers and times.
struct TFrameRecord {
  std::unique_ptr<forms::TBitmap> Bitmap;
  TFrameData Data;
  TFrameInfo Info;
  int32_t RawFrameCount = 0;
  int64_t SampleTime = 0;
  int64_t PlayerTime = 0;
  // Takes over the other record; its bitmap moves and the source forgets it.
  void TakeFrom(TFrameRecord& Other);
  void FreeBitmap();
};

// A sample kept for the periodic work's event: the engine's copy of its
// bytes and of the connection's format block. Busy (the streaming thread
// writes) and Delivering (the event runs) keep the two sides apart.
struct TSampleRecord {
  std::vector<uint8_t> Buffer;
  int32_t DataLength = 0;
  int32_t Kind = 0;
  std::vector<uint8_t> Format;
  int32_t HeaderOffset = -1;
  int64_t StartTime = 0;
  int64_t StopTime = 0;
  std::atomic<bool> Busy{false};
  std::atomic<bool> Delivering{false};
  std::atomic<bool> NewSample{false};
};

// The frame grabbers of a graph and the per-run frame state.
struct TFrameGrabState {
  // The grabbers in their slots; the main one is what snapshots need.
  std::shared_ptr<mg::BaseFilter> MainGrabber;
  std::shared_ptr<mg::BaseFilter> ExtraGrabber;
  std::shared_ptr<mg::BaseFilter> NotifyGrabber;
  std::shared_ptr<mg::BaseFilter> DummyGrabber;
  std::shared_ptr<mg::BaseFilter> VideoSampleGrabber;
  std::shared_ptr<mg::BaseFilter> AudioSampleGrabber;
  TSampleRecord VideoSample, AudioSample;
  // The main grabber's connection type, read when the graph was built.
  mg::AM_MEDIA_TYPE GrabberType;
  bool HaveGrabberType = false;
  // Working (streaming thread), pending (under the frame lock) and current
  // (periodic work) records.
  TFrameRecord Working, Pending, Current;
  std::atomic<bool> NewFramePublished{false};
  std::atomic<bool> CallbackBusy{false};
  // Snapshot requests: the explicit one from CaptureFrameTo and the burst
  // one the frame callback marks.
  std::atomic<bool> CaptureRequested{false};
  std::atomic<bool> BurstCaptureRequested{false};
  // The burst counters and BurstMode itself change on both threads; this
  // keeps the count and the switch-off in step with the setter.
  std::mutex BurstLock;
  int32_t BurstRemaining = 0;
  int32_t BurstCountdown = 0;
  int32_t BurstInterval = 0;
  int32_t FirstRawFrame = 0;
  int64_t PausedDuration = 0;
  bool RecordingPaused = false;
  int64_t LastRecordedFrameTime = 0;
  uint32_t LastNotifyTick = 0;
  // In a multiplexed slave: it wants a frame, the frame the master left,
  // and that the frame is there. The master writes only while the slave
  // waits; the slave takes the frame and clears the ready flag.
  std::atomic<bool> SlaveWaiting{false};
  std::vector<uint8_t> SlaveFrame;
  std::atomic<bool> SlaveFrameReady{false};
  // Set while a DC overlay event runs, with its device context.
  std::atomic<bool> DCOverlayRunning{false};
  win::HDC DCOverlayDc = nullptr;
  // The lock-and-shift grabbers of a recording that can pause, and the
  // stream time its pause began.
  std::shared_ptr<mg::BaseFilter> VideoLockShift;
  std::shared_ptr<mg::BaseFilter> AudioLockShift;
  int64_t PauseStart = 0;
};

// The frame-time split of a record's frame time into its parts.
void SplitFrameTimeParts(TFrameInfo& Info);

}  // namespace capture
