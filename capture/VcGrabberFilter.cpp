// The component's grabber filter. One class serves the modes the engine
// uses: the main RGB grabber, which copies each frame into a DIB section
// the engine (and the application) may draw on before the frame goes on;
// the sample grabber; the pass-through stage; and the frame notifier.
// The pause grabbers and the DV data grabber belong to code that is not
// part of this build, so their modes are refused at Init.
#include <algorithm>
#include <cstring>

#include "capture/VcFrameGrab.h"
#include "platform/mg/Guids.h"
#include "platform/win/Dc.h"
#include "platform/win/GdiObject.h"
#include "platform/win/PenBrush.h"

namespace capture {

const mg::CLSID CLSID_VcFrameGrabber =
    mg::MakeGuid(0x5C2E61B4, 0x7A0D, 0x4F5E, 0x9B, 0x33, 0x1D, 0x42, 0x7E, 0x0A, 0x6C, 0x18);

String GrabberModeName(int32_t Mode) {
  switch (Mode) {
    case gm_Sample: return "GRB_Sample";
    case gm_Dummy: return "GRB_Dummy";
    case gm_Notify: return "GRB_Notify";
    case gm_Lock: return "GRB_Lock";
    case gm_LockAndShift: return "GRB_LockAndShift";
    case gm_DvData: return "GRB_DvData";
    case gm_Clear: return "GRB_Clear";
    case gm_RGB: return "GRB_RGB";
    default: return {};
  }
}

namespace {

int32_t Abs32(int32_t v) { return v < 0 ? -v : v; }

// The RGB subtypes the main grabber takes for each pixel format, best
// first; the intelligent connection puts a converter in front when the
// stream has none of them.
std::vector<mg::GUID> AcceptedSubtypes(int32_t Format) {
  switch (Format) {
    case fgf_RGB32: return {mg::MEDIASUBTYPE_RGB32};
    case fgf_RGB24: return {mg::MEDIASUBTYPE_RGB24};
    case fgf_RGB565: return {mg::MEDIASUBTYPE_RGB565};
    case fgf_RGB555: return {mg::MEDIASUBTYPE_RGB555};
    case fgf_RGB8: return {mg::MEDIASUBTYPE_RGB8};
    default: return {mg::MEDIASUBTYPE_RGB32, mg::MEDIASUBTYPE_RGB24};
  }
}

class TVcGrabberFilter : public mg::BaseFilter, public IVcGrabberControl {
public:
  TVcGrabberFilter() : BaseFilter(CLSID_VcFrameGrabber) {
    AddPin(std::make_shared<mg::Pin>(this, "Input", mg::PINDIR_INPUT));
    AddPin(std::make_shared<mg::Pin>(this, "Output", mg::PINDIR_OUTPUT));
  }
  ~TVcGrabberFilter() override { FreeDib(); }

  TGrabberBlock* Init(int32_t Mode) override {
    switch (Mode) {
      case gm_Sample:
      case gm_Dummy:
      case gm_Notify:
      case gm_RGB:
      case gm_LockAndShift:
        block_.Mode = Mode;
        return &block_;
      default:
        return nullptr;
    }
  }

  mg::HRESULT CheckMediaType(const mg::Pin& pin, const mg::AM_MEDIA_TYPE& mt) const override {
    if (pin.Direction() == mg::PINDIR_OUTPUT) {
      auto in = PinAt(0);
      if (!in->IsConnected()) return mg::VFW_E_NOT_CONNECTED;
      return in->CurrentType().Equals(mt) ? mg::S_OK : mg::S_FALSE;
    }
    if (block_.Mode != gm_RGB) return mg::S_OK;
    const mg::BITMAPINFOHEADER* bih = mt.BitmapHeader();
    if (mt.majortype != mg::MEDIATYPE_Video || !bih || bih->biWidth <= 0 || bih->biHeight == 0) return mg::S_FALSE;
    for (const mg::GUID& s : AcceptedSubtypes(block_.PixelFormat.load()))
      if (mt.subtype == s) return mg::S_OK;
    return mg::S_FALSE;
  }

  std::vector<mg::AM_MEDIA_TYPE> GetMediaTypes(const mg::Pin& pin) const override {
    auto in = PinAt(0);
    if (pin.Direction() == mg::PINDIR_OUTPUT && in->IsConnected()) return {in->CurrentType()};
    return {};
  }

  mg::HRESULT OnConnect(mg::Pin& pin) override {
    if (pin.Direction() == mg::PINDIR_INPUT) FreeDib();
    return mg::S_OK;
  }
  void OnDisconnect(mg::Pin& pin) override {
    if (pin.Direction() == mg::PINDIR_INPUT) FreeDib();
  }

  mg::HRESULT OnReceive(mg::Pin& pin, mg::MediaSample& sample) override {
    if (block_.Mode == gm_LockAndShift) return LockAndShift(sample);
    if (!block_.Streams[0] && !block_.Streams[1] && !block_.Streams[2]) return Pass(sample);
    switch (block_.Mode) {
      case gm_Sample:
        if (block_.SampleCallback) {
          const bool video = pin.CurrentType().majortype == mg::MEDIATYPE_Video;
          block_.SampleCallback(block_, video, sample, pin.CurrentType(), sample.StartTime(), sample.StopTime());
        }
        return Pass(sample);
      case gm_Notify:
        if (block_.FrameNotifyCallback) block_.FrameNotifyCallback(block_, sample, sample.StartTime());
        return Pass(sample);
      case gm_RGB:
        return GrabFrame(sample);
      default:
        return Pass(sample);
    }
  }

private:
  mg::HRESULT Pass(mg::MediaSample& sample) {
    auto out = PinAt(1);
    if (!out->IsConnected()) return mg::S_OK;
    return out->Deliver(sample);
  }

  // Paused: the sample is dropped. Otherwise its times move back by the
  // time spent paused, so the file shows no gap.
  mg::HRESULT LockAndShift(mg::MediaSample& sample) {
    mg::REFERENCE_TIME start = 0, stop = 0;
    const bool timed = sample.GetTime(&start, &stop) >= 0;
    if (timed) block_.LatestTime = start;
    if (block_.Paused) return mg::S_OK;
    const int64_t shift = block_.Shift;
    if (!timed || shift == 0) return Pass(sample);
    // The sample may go to other branches too: the shifted times go on a
    // copy of it.
    auto out = PinAt(1);
    if (!out->IsConnected()) return mg::S_OK;
    std::shared_ptr<mg::MediaSample> target;
    const mg::HRESULT hr = out->Allocator().GetBuffer(target);
    if (mg::FAILED(hr)) return hr;
    const size_t length = std::min(static_cast<size_t>(std::max<mg::LONG>(sample.GetActualDataLength(), 0)),
                                   static_cast<size_t>(target->GetSize()));
    std::memcpy(target->GetPointer(), sample.GetPointer(), length);
    target->CopyPropertiesFrom(sample);
    target->SetActualDataLength(static_cast<mg::LONG>(length));
    start -= shift;
    stop -= shift;
    target->SetTime(&start, &stop);
    return out->Deliver(*target);
  }

  bool EnsureDib() {
    if (dib_) return true;
    TDibInfo info;
    if (!DibInfoOfType(PinAt(0)->CurrentType(), info)) return false;
    dc_ = win::CreateCompatibleDC(nullptr);
    void* bits = nullptr;
    dib_ = win::CreateDIBSection(dc_, reinterpret_cast<const win::BITMAPINFO*>(&info), win::DIB_RGB_COLORS, &bits,
                                 nullptr, 0);
    if (!dib_ || !bits) {
      FreeDib();
      return false;
    }
    bits_ = static_cast<uint8_t*>(bits);
    win::GetObject(dib_, sizeof section_, &section_);
    const int32_t stride = ((info.header.biWidth * info.header.biBitCount + 31) / 32) * 4;
    dibSize_ = static_cast<size_t>(stride) * static_cast<size_t>(Abs32(info.header.biHeight));
    return true;
  }

  void FreeDib() {
    if (dc_ && oldBitmap_) win::SelectObject(dc_, oldBitmap_);
    if (dc_) win::DeleteDC(dc_);
    if (dib_) win::DeleteObject(dib_);
    dc_ = nullptr;
    dib_ = nullptr;
    oldBitmap_ = nullptr;
    bits_ = nullptr;
    dibSize_ = 0;
  }

  // The frame goes into the DIB, the callback may read and draw on it, and
  // what the DIB then holds is what the next filter gets.
  mg::HRESULT GrabFrame(mg::MediaSample& sample) {
    if (!EnsureDib()) return Pass(sample);
    // A sample larger than the picture the connection describes would run
    // past the DIB; only the picture's bytes are taken.
    const size_t length = std::min(static_cast<size_t>(std::max<mg::LONG>(sample.GetActualDataLength(), 0)), dibSize_);
    std::memcpy(bits_, sample.GetPointer(), length);
    if (block_.FrameCallback && block_.Deliver) {
      TGrabbedFrame frame;
      frame.StartTime = sample.StartTime();
      frame.StopTime = sample.StopTime();
      frame.Sample = &sample;
      frame.Length = static_cast<int32_t>(length);
      frame.Dib = dib_;
      frame.Dc = dc_;
      frame.Section = &section_;
      frame.Bits = bits_;
      block_.FrameCallback(block_, frame);
      win::GdiFlush();
    }
    auto out = PinAt(1);
    if (!out->IsConnected()) return mg::S_OK;
    std::shared_ptr<mg::MediaSample> target;
    const mg::HRESULT hr = out->Allocator().GetBuffer(target);
    if (mg::FAILED(hr)) return hr;
    const size_t copy = std::min(length, static_cast<size_t>(target->GetSize()));
    std::memcpy(target->GetPointer(), bits_, copy);
    target->CopyPropertiesFrom(sample);
    target->SetActualDataLength(static_cast<mg::LONG>(copy));
    return out->Deliver(*target);
  }

  TGrabberBlock block_;
  win::HDC dc_ = nullptr;
  win::HBITMAP dib_ = nullptr;
  win::HGDIOBJ oldBitmap_ = nullptr;
  uint8_t* bits_ = nullptr;
  size_t dibSize_ = 0;
  win::DIBSECTION section_{};
};

}  // namespace

bool DibInfoOfType(const mg::AM_MEDIA_TYPE& Type, TDibInfo& Info) {
  const mg::BITMAPINFOHEADER* bih = Type.BitmapHeader();
  if (!bih) return false;
  static_assert(sizeof(mg::BITMAPINFOHEADER) == sizeof(win::BITMAPINFOHEADER));
  std::memcpy(static_cast<void*>(&Info.header), bih, sizeof Info.header);
  if (Type.subtype == mg::MEDIASUBTYPE_RGB565) {
    Info.header.biCompression = win::BI_BITFIELDS;
    Info.masks[0] = 0xF800;
    Info.masks[1] = 0x07E0;
    Info.masks[2] = 0x001F;
  }
  return true;
}

std::shared_ptr<mg::BaseFilter> CreateGrabberFilter() { return std::make_shared<TVcGrabberFilter>(); }

}  // namespace capture
