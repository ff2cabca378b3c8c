// The samples handed to the application: at once on the streaming thread,
// or kept by the engine and raised from the periodic work.
#include <cstring>

#include "capture/VcEngine.h"
#include "capture/VcFormats.h"
#include "capture/VcLog.h"
#include "capture/VidCap.h"
#include "platform/mg/Guids.h"

namespace capture {

namespace {

// The kind of a media type's format block, 7 for audio; the bitmap
// header's offset in the block (-1 none).
int32_t SampleKindOf(const mg::AM_MEDIA_TYPE& Type, int32_t& HeaderOffset) {
  HeaderOffset = -1;
  if (Type.majortype == mg::MEDIATYPE_Audio) return 7;
  int32_t kind = 8;
  if (Type.formattype == mg::FORMAT_VideoInfo) kind = 0;
  else if (Type.formattype == mg::FORMAT_VideoInfo2) kind = 1;
  else if (Type.formattype == mg::FORMAT_DvInfo) kind = 2;
  else if (Type.formattype == mg::FORMAT_MPEGVideo) kind = 3;
  else if (Type.formattype == mg::FORMAT_MPEG2Video) kind = 4;
  else if (Type.formattype == mg::FORMAT_MPEGStreams) kind = 5;
  else if (Type.formattype == mg::FORMAT_None) kind = 6;
  const int32_t offset = kind == 0 || kind == 3 ? 48 : kind == 1 || kind == 4 ? 72 : -1;
  if (offset >= 0 && Type.cbFormat() >= static_cast<uint32_t>(offset) + 40) HeaderOffset = offset;
  return kind;
}

}  // namespace

bool TVcEngine::InsertSampleGrabber(std::shared_ptr<mg::Pin>& Pin, bool Video) {
  return InsertFrameGrabber(Pin, gm_Sample, nullptr, Video ? Grab.VideoSampleGrabber : Grab.AudioSampleGrabber,
                            fgf_Default);
}

void TVcEngine::SampleCallback(bool IsVideo, mg::MediaSample& Sample, const mg::AM_MEDIA_TYPE& Type, int64_t Start,
                               int64_t Stop) {
  TVidCap* c = Owner;
  if (!c) return;
  const TOnSampleCapture& handler = IsVideo ? c->OnSampleCapture_Video : c->OnSampleCapture_Audio;
  if (!CanRaiseEventLight(handler)) return;
  TSampleData d;
  d.Data = Sample.GetPointer();
  if (!d.Data) return;
  d.BufferSize = Sample.GetSize();
  d.DataLength = Sample.GetActualDataLength();
  int32_t offset = -1;
  d.SampleKind = SampleKindOf(Type, offset);
  d.Format = const_cast<uint8_t*>(Type.pbFormat());
  d.BitmapInfoHeader = offset >= 0 ? const_cast<uint8_t*>(Type.pbFormat()) + offset : nullptr;
  d.StartTime = Start;
  d.StopTime = Stop;
  handler(c, d);
}

void TVcEngine::BufferedSampleCallback(bool IsVideo, mg::MediaSample& Sample, const mg::AM_MEDIA_TYPE& Type,
                                       int64_t Start, int64_t Stop) {
  TVidCap* c = Owner;
  if (!c || !(IsVideo ? c->OnSampleCapture_Video : c->OnSampleCapture_Audio)) return;
  TSampleRecord& r = IsVideo ? Grab.VideoSample : Grab.AudioSample;
  if (r.Delivering || !Sample.GetPointer()) return;
  r.Busy = true;
  // The event may have started between the test and the flag: then the
  // sample is dropped like any other that meets a delivery.
  if (r.Delivering) {
    r.Busy = false;
    return;
  }
  const size_t size = static_cast<size_t>(std::max<mg::LONG>(Sample.GetSize(), 0));
  if (r.Buffer.size() != size) r.Buffer.assign(size, 0);
  std::memcpy(r.Buffer.data(), Sample.GetPointer(), size);
  r.DataLength = std::min<int32_t>(Sample.GetActualDataLength(), static_cast<int32_t>(size));
  r.Kind = SampleKindOf(Type, r.HeaderOffset);
  r.Format = Type.format;
  r.StartTime = Start;
  r.StopTime = Stop;
  r.NewSample = true;
  r.Busy = false;
}

void TVcEngine::RaiseBufferedSample(TSampleRecord& r, bool Video) {
  if (r.Busy) return;
  r.Delivering = true;
  // A sample may have begun between the test and the flag; it is left for
  // the next pass.
  if (r.Busy) {
    r.Delivering = false;
    return;
  }
  r.NewSample = false;
  TVidCap* c = Owner;
  const TOnSampleCapture* handler = c ? (Video ? &c->OnSampleCapture_Video : &c->OnSampleCapture_Audio) : nullptr;
  if (handler && CanRaiseEvent(*handler)) {
    TSampleData d;
    d.Data = r.Buffer.data();
    d.BufferSize = static_cast<int32_t>(r.Buffer.size());
    d.DataLength = r.DataLength;
    d.SampleKind = r.Kind;
    d.Format = r.Format.empty() ? nullptr : r.Format.data();
    d.BitmapInfoHeader = r.HeaderOffset >= 0 ? r.Format.data() + r.HeaderOffset : nullptr;
    d.StartTime = r.StartTime;
    d.StopTime = r.StopTime;
    (*handler)(c, d);
  }
  r.Delivering = false;
}

void TVcEngine::ResetSampleRecord(TSampleRecord& r) {
  r.Buffer.clear();
  r.Buffer.shrink_to_fit();
  r.Format.clear();
  r.DataLength = 0;
  r.HeaderOffset = -1;
  r.Busy = false;
  r.Delivering = false;
  r.NewSample = false;
}

}  // namespace capture
