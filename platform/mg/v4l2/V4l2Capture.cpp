// The V4L2 capture filter: formats, streaming with mmap buffers, dropped
// frames, the picture and camera controls.
#include "platform/mg/v4l2/V4l2Capture.h"

#include <linux/videodev2.h>

#include <algorithm>
#include <cerrno>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <numeric>

#include "platform/mg/CameraControlFacet.h"
#include "platform/mg/Graph.h"
#include "platform/mg/sim/SimTv.h"
#include "platform/mg/sim/SimVideo.h"

namespace mg::v4l2 {

namespace {

constexpr uint32_t kBufferCount = 4;
// How long one wait for a frame lasts before the streaming thread looks
// whether it should stop.
constexpr int kFrameWaitMs = 500;
constexpr size_t kMaxDropRecords = 4096;

bool LostError(int err) { return err == -ENODEV || err == -ENXIO; }

// ---- controls ---------------------------------------------------------------------------------

enum class Scale { Raw, ArcSeconds, Exposure, ColorFx };

struct ControlMap {
  uint32_t id;      // 0: the device has no such control
  uint32_t autoId;  // the switch that makes it automatic, 0 for none
  Scale scale;
};

constexpr ControlMap kProcAmp[10] = {
    {V4L2_CID_BRIGHTNESS, 0, Scale::Raw},
    {V4L2_CID_CONTRAST, 0, Scale::Raw},
    {V4L2_CID_HUE, V4L2_CID_HUE_AUTO, Scale::Raw},
    {V4L2_CID_SATURATION, 0, Scale::Raw},
    {V4L2_CID_SHARPNESS, 0, Scale::Raw},
    {V4L2_CID_GAMMA, 0, Scale::Raw},
    {V4L2_CID_COLORFX, 0, Scale::ColorFx},
    {V4L2_CID_WHITE_BALANCE_TEMPERATURE, V4L2_CID_AUTO_WHITE_BALANCE, Scale::Raw},
    {V4L2_CID_BACKLIGHT_COMPENSATION, 0, Scale::Raw},
    {V4L2_CID_GAIN, V4L2_CID_AUTOGAIN, Scale::Raw},
};

constexpr ControlMap kCamera[7] = {
    {V4L2_CID_PAN_ABSOLUTE, 0, Scale::ArcSeconds},
    {V4L2_CID_TILT_ABSOLUTE, 0, Scale::ArcSeconds},
    {0, 0, Scale::Raw},  // V4L2 has no roll
    {V4L2_CID_ZOOM_ABSOLUTE, 0, Scale::Raw},
    {V4L2_CID_EXPOSURE_ABSOLUTE, V4L2_CID_EXPOSURE_AUTO, Scale::Exposure},
    {V4L2_CID_IRIS_ABSOLUTE, 0, Scale::Raw},
    {V4L2_CID_FOCUS_ABSOLUTE, V4L2_CID_FOCUS_AUTO, Scale::Raw},
};

struct Queried {
  bool ok = false;
  int32_t min = 0, max = 0, step = 1, def = 0;
};

Queried QueryControl(DeviceNode& node, uint32_t id) {
  Queried q;
  if (id == 0) return q;
  v4l2_queryctrl c{};
  c.id = id;
  if (node.Ioctl(VIDIOC_QUERYCTRL, &c) != 0 || (c.flags & V4L2_CTRL_FLAG_DISABLED) || c.id != id) return q;
  q.ok = c.maximum >= c.minimum;
  q.min = c.minimum;
  q.max = c.maximum;
  q.step = std::max(c.step, 1);
  q.def = std::clamp(c.default_value, c.minimum, c.maximum);
  return q;
}

bool ReadControl(DeviceNode& node, uint32_t id, int32_t* value) {
  v4l2_control c{};
  c.id = id;
  if (node.Ioctl(VIDIOC_G_CTRL, &c) != 0) return false;
  *value = c.value;
  return true;
}

bool WriteControl(DeviceNode& node, uint32_t id, int32_t value) {
  v4l2_control c{};
  c.id = id;
  c.value = value;
  return node.Ioctl(VIDIOC_S_CTRL, &c) == 0;
}

// Exposure is shown as log2 of seconds; V4L2 counts 100 microseconds.
LONG ToShown(Scale s, int64_t v) {
  switch (s) {
    case Scale::ArcSeconds:
      return static_cast<LONG>(std::lround(static_cast<double>(v) / 3600.0));
    case Scale::Exposure:
      return static_cast<LONG>(std::lround(std::log2(static_cast<double>(std::max<int64_t>(v, 1)) * 1e-4)));
    case Scale::ColorFx:
      return v == V4L2_COLORFX_NONE ? 1 : 0;
    default:
      return static_cast<LONG>(v);
  }
}

int64_t FromShown(Scale s, LONG v) {
  switch (s) {
    case Scale::ArcSeconds:
      return int64_t{v} * 3600;
    case Scale::Exposure:
      return std::llround(std::ldexp(1e4, std::clamp<LONG>(v, -30, 30)));
    case Scale::ColorFx:
      return v ? V4L2_COLORFX_NONE : V4L2_COLORFX_BW;
    default:
      return v;
  }
}

// The automatic setting of a switch: exposure's is a menu.
int32_t AutoValue(DeviceNode& node, uint32_t autoId, bool on) {
  if (autoId != V4L2_CID_EXPOSURE_AUTO) return on ? 1 : 0;
  if (!on) return V4L2_EXPOSURE_MANUAL;
  // Cameras with a fixed iris (most webcams) offer aperture priority only.
  v4l2_querymenu m{};
  m.id = autoId;
  m.index = V4L2_EXPOSURE_APERTURE_PRIORITY;
  return node.Ioctl(VIDIOC_QUERYMENU, &m) == 0 ? V4L2_EXPOSURE_APERTURE_PRIORITY : V4L2_EXPOSURE_AUTO;
}

bool IsAutoOn(uint32_t autoId, int32_t value) {
  return autoId == V4L2_CID_EXPOSURE_AUTO ? value != V4L2_EXPOSURE_MANUAL : value != 0;
}

HRESULT RangeOf(DeviceNode& node, const ControlMap& m, LONG* pMin, LONG* pMax, LONG* pStep, LONG* pDef, LONG* pCaps) {
  const Queried q = QueryControl(node, m.id);
  if (!q.ok) return sim::E_PROP_ID_UNSUPPORTED;
  if (!pMin || !pMax || !pStep || !pDef || !pCaps) return E_POINTER;
  if (m.scale == Scale::ColorFx) {
    *pMin = 0, *pMax = 1, *pStep = 1, *pDef = ToShown(m.scale, q.def);
  } else {
    *pMin = ToShown(m.scale, q.min);
    *pMax = ToShown(m.scale, q.max);
    *pDef = ToShown(m.scale, q.def);
    *pStep = m.scale == Scale::Raw ? q.step : std::max<LONG>(1, ToShown(m.scale, q.step));
    if (m.scale == Scale::Exposure) *pStep = 1;
  }
  *pCaps = VideoProcAmp_Flags_Manual | (QueryControl(node, m.autoId).ok ? VideoProcAmp_Flags_Auto : 0);
  return S_OK;
}

HRESULT SetControl(DeviceNode& node, const ControlMap& m, LONG value, LONG flags) {
  LONG lo, hi, step, def, caps;
  HRESULT hr = RangeOf(node, m, &lo, &hi, &step, &def, &caps);
  if (FAILED(hr)) return hr;
  if (flags != VideoProcAmp_Flags_Auto && flags != VideoProcAmp_Flags_Manual) return E_INVALIDARG;
  if ((caps & flags) == 0) return E_INVALIDARG;
  if (flags == VideoProcAmp_Flags_Auto) return WriteControl(node, m.autoId, AutoValue(node, m.autoId, true)) ? S_OK : E_FAIL;
  if (value < lo || value > hi) return E_INVALIDARG;
  if (m.autoId && (caps & VideoProcAmp_Flags_Auto) && !WriteControl(node, m.autoId, AutoValue(node, m.autoId, false)))
    return E_FAIL;
  const Queried q = QueryControl(node, m.id);
  const int64_t raw = std::clamp<int64_t>(FromShown(m.scale, value), q.min, q.max);
  return WriteControl(node, m.id, static_cast<int32_t>(raw)) ? S_OK : E_FAIL;
}

HRESULT GetControl(DeviceNode& node, const ControlMap& m, LONG* value, LONG* flags) {
  if (!QueryControl(node, m.id).ok) return sim::E_PROP_ID_UNSUPPORTED;
  if (!value || !flags) return E_POINTER;
  int32_t v = 0;
  if (!ReadControl(node, m.id, &v)) return E_FAIL;
  *value = ToShown(m.scale, v);
  int32_t a = 0;
  *flags = m.autoId && QueryControl(node, m.autoId).ok && ReadControl(node, m.autoId, &a) && IsAutoOn(m.autoId, a)
               ? VideoProcAmp_Flags_Auto
               : VideoProcAmp_Flags_Manual;
  return S_OK;
}

class DecoderFacet : public Object, public IAMAnalogVideoDecoder {
public:
  explicit DecoderFacet(std::weak_ptr<V4l2CaptureFilter> f) : f_(std::move(f)) {}
  HRESULT get_AvailableTVFormats(LONG* v) override { return Call([&](auto& f) { return f.DecoderAvailableFormats(v); }); }
  HRESULT put_TVFormat(LONG v) override { return Call([&](auto& f) { return f.DecoderPutFormat(v); }); }
  HRESULT get_TVFormat(LONG* v) override { return Call([&](auto& f) { return f.DecoderGetFormat(v); }); }
  HRESULT get_HorizontalLocked(LONG* v) override { return Call([&](auto& f) { return f.DecoderHorizontalLocked(v); }); }
  // Drivers expose neither VCR locking nor output enabling; the filter keeps both.
  HRESULT put_VCRHorizontalLocking(LONG v) override {
    return Call([&](auto& f) {
      f.DecoderPutVcrLocking(v);
      return S_OK;
    });
  }
  HRESULT get_VCRHorizontalLocking(LONG* v) override {
    if (!v) return E_POINTER;
    return Call([&](auto& f) {
      *v = f.DecoderVcrLocking();
      return S_OK;
    });
  }
  HRESULT get_NumberOfLines(LONG* v) override { return Call([&](auto& f) { return f.DecoderNumberOfLines(v); }); }
  HRESULT put_OutputEnable(LONG v) override {
    return Call([&](auto& f) {
      f.DecoderPutOutputEnable(v);
      return S_OK;
    });
  }
  HRESULT get_OutputEnable(LONG* v) override {
    if (!v) return E_POINTER;
    return Call([&](auto& f) {
      *v = f.DecoderOutputEnable();
      return S_OK;
    });
  }

private:
  template <class F>
  HRESULT Call(F f) {
    auto p = f_.lock();
    return p ? f(*p) : E_UNEXPECTED;
  }
  std::weak_ptr<V4l2CaptureFilter> f_;
};

}  // namespace

// ---- the shared node --------------------------------------------------------------------------

DeviceNode::DeviceNode(std::shared_ptr<V4l2Io> io, int fd, std::shared_ptr<std::atomic<bool>> present)
    : io_(std::move(io)), fd_(fd), present_(std::move(present)) {}

DeviceNode::~DeviceNode() { io_->Close(fd_); }

int DeviceNode::Ioctl(unsigned long request, void* arg) {
  if (!Present()) return -ENODEV;
  const int r = io_->Ioctl(fd_, request, arg);
  if (LostError(r)) gone_.store(true);
  return r;
}

// ---- the pin ------------------------------------------------------------------------------------

V4l2CapturePin::V4l2CapturePin(V4l2CaptureFilter* owner) : ControlledOutputPin(owner, "Capture"), filter_(owner) {
  SetCategory(PIN_CATEGORY_CAPTURE);
}

HRESULT V4l2CapturePin::SetFormat(const AM_MEDIA_TYPE* pmt) {
  if (!pmt) return E_POINTER;
  if (filter_->State() != State_Stopped) return VFW_E_NOT_STOPPED;
  return sim::SetFormatReconnecting(*this, *pmt, [this](const AM_MEDIA_TYPE& mt) {
    HRESULT hr = filter_->ApplyFormat(mt);
    if (SUCCEEDED(hr)) filter_->MarkFormatSet();
    return hr;
  });
}

HRESULT V4l2CapturePin::GetFormat(AM_MEDIA_TYPE* pmt) {
  if (!pmt) return E_POINTER;
  *pmt = filter_->CurrentFormat();
  return S_OK;
}

HRESULT V4l2CapturePin::GetNumberOfCapabilities(int* count, int* size) {
  if (!count || !size) return E_POINTER;
  *count = static_cast<int>(filter_->Info().formats.size());
  *size = sizeof(VIDEO_STREAM_CONFIG_CAPS);
  return S_OK;
}

HRESULT V4l2CapturePin::GetStreamCaps(int index, AM_MEDIA_TYPE* pmt, uint8_t* scc) {
  if (!pmt || !scc) return E_POINTER;
  const auto& formats = filter_->Info().formats;
  if (index < 0 || index >= static_cast<int>(formats.size())) return S_FALSE;
  const FormatSize& f = formats[static_cast<size_t>(index)];
  *pmt = mg::MakeCaptureVideoType(f.subtype, f.width, f.height, f.intervals.front());
  VIDEO_STREAM_CONFIG_CAPS v;
  v.guid = FORMAT_VideoInfo;
  v.InputSize = {f.width, f.height};
  v.MinCroppingSize = v.MaxCroppingSize = v.InputSize;
  v.CropGranularityX = v.CropGranularityY = 1;
  v.CropAlignX = v.CropAlignY = 1;
  v.MinOutputSize = v.MaxOutputSize = v.InputSize;
  v.OutputGranularityX = v.OutputGranularityY = 1;
  v.MinFrameInterval = f.intervals.front();
  v.MaxFrameInterval = f.intervals.back();
  const uint64_t frameBits = uint64_t{pmt->BitmapHeader()->biSizeImage} * 8u;
  v.MinBitsPerSecond = static_cast<int32_t>(std::min<uint64_t>(frameBits * 10'000'000u / uint64_t(v.MaxFrameInterval), INT32_MAX));
  v.MaxBitsPerSecond = static_cast<int32_t>(std::min<uint64_t>(frameBits * 10'000'000u / uint64_t(v.MinFrameInterval), INT32_MAX));
  std::memcpy(scc, &v, sizeof v);
  return S_OK;
}

// ---- the filter ---------------------------------------------------------------------------------

std::shared_ptr<V4l2CaptureFilter> V4l2CaptureFilter::Create(std::shared_ptr<V4l2Io> io, const DeviceInfo& info,
                                                             std::shared_ptr<std::atomic<bool>> present) {
  if (info.formats.empty() || (present && !present->load())) return nullptr;
  const int fd = io->Open(info.path);
  if (fd < 0) return nullptr;
  if (!present) present = std::make_shared<std::atomic<bool>>(true);
  auto node = std::make_shared<DeviceNode>(io, fd, std::move(present));
  auto filter = std::make_shared<V4l2CaptureFilter>(node, info);
  // A webcam's single camera input is no choice to offer.
  if (info.inputs.size() > 1 || info.hasTuner || !info.audioInputs.empty()) {
    filter->crossbar_ = std::make_shared<V4l2Crossbar>(node, info);
    filter->crossbar_->OutputPin(0)->Connect(filter->PinAt(1), nullptr);
    if (info.hasTuner) {
      filter->tuner_ = std::make_shared<V4l2Tuner>(node, info);
      if (auto in = filter->crossbar_->TunerInputPin()) filter->tuner_->Pins()[0]->Connect(in, nullptr);
    }
  }
  return filter;
}

V4l2CaptureFilter::V4l2CaptureFilter(std::shared_ptr<DeviceNode> node, DeviceInfo info)
    : BaseFilter(CLSID_V4l2Capture), node_(std::move(node)), info_(std::move(info)) {
  AddPin(std::make_shared<V4l2CapturePin>(this));
  if (info_.inputs.size() > 1 || info_.hasTuner || !info_.audioInputs.empty())
    AddPin(std::make_shared<Pin>(this, "Analog Video In", PINDIR_INPUT));
  // Start with what the device is set to, when we carry it.
  const FormatSize* start = &info_.formats.front();
  v4l2_format f{};
  f.type = V4L2_BUF_TYPE_VIDEO_CAPTURE;
  if (node_->Ioctl(VIDIOC_G_FMT, &f) == 0) {
    if (const FormatSize* cur = FindFormat(SubtypeOfFourcc(f.fmt.pix.pixelformat), static_cast<int>(f.fmt.pix.width),
                                           static_cast<int>(f.fmt.pix.height))) {
      start = cur;
      bytesPerLine_ = f.fmt.pix.bytesperline;
    }
  }
  current_ = mg::MakeCaptureVideoType(start->subtype, start->width, start->height, start->intervals.front());
}

V4l2CaptureFilter::~V4l2CaptureFilter() {
  StopStreaming();
  // The upstream filters hold pins of ours through their connections.
  if (crossbar_) {
    crossbar_->OutputPin(0)->Disconnect();
    if (tuner_) tuner_->Pins()[0]->Disconnect();
  }
}

std::shared_ptr<Object> V4l2CaptureFilter::QueryDelegate(const std::type_info& type) {
  auto self = std::static_pointer_cast<V4l2CaptureFilter>(shared_from_this());
  if (type == typeid(IAMCameraControl) && HasCameraControls()) return std::make_shared<CameraControlFacet<V4l2CaptureFilter>>(self);
  if (type == typeid(IAMAnalogVideoDecoder) && info_.standards != 0) return std::make_shared<DecoderFacet>(self);
  return nullptr;
}

const FormatSize* V4l2CaptureFilter::FindFormat(const GUID& subtype, int w, int h) const {
  for (const FormatSize& f : info_.formats)
    if (f.subtype == subtype && f.width == w && f.height == h) return &f;
  return nullptr;
}

AM_MEDIA_TYPE V4l2CaptureFilter::CurrentFormat() const {
  std::lock_guard lock(filterMutex_);
  return current_;
}

HRESULT V4l2CaptureFilter::AcceptsFormat(const AM_MEDIA_TYPE& mt) const {
  if (mt.majortype != MEDIATYPE_Video || mt.formattype != FORMAT_VideoInfo) return VFW_E_INVALIDMEDIATYPE;
  const auto* vih = mt.FormatAs<VIDEOINFOHEADER>();
  if (!vih) return VFW_E_INVALIDMEDIATYPE;
  const FormatSize* f = FindFormat(mt.subtype, vih->bmiHeader.biWidth, std::abs(vih->bmiHeader.biHeight));
  if (!f) return VFW_E_INVALIDMEDIATYPE;
  const REFERENCE_TIME t = vih->AvgTimePerFrame;
  // A rate asked for in whole frames a second may be off by rounding.
  if (t != 0 && (t < f->intervals.front() * 99 / 100 || t > f->intervals.back() * 101 / 100))
    return VFW_E_INVALIDMEDIATYPE;
  return S_OK;
}

HRESULT V4l2CaptureFilter::ApplyFormat(const AM_MEDIA_TYPE& mt) {
  HRESULT hr = AcceptsFormat(mt);
  if (FAILED(hr)) return hr;
  const auto* vih = mt.FormatAs<VIDEOINFOHEADER>();
  const int w = vih->bmiHeader.biWidth, h = std::abs(vih->bmiHeader.biHeight);
  const FormatSize* fs = FindFormat(mt.subtype, w, h);
  REFERENCE_TIME t = vih->AvgTimePerFrame;
  {
    std::lock_guard lock(filterMutex_);
    if (t == 0) t = current_.FormatAs<VIDEOINFOHEADER>()->AvgTimePerFrame;
  }
  t = std::clamp(t, fs->intervals.front(), fs->intervals.back());
  v4l2_format f{};
  f.type = V4L2_BUF_TYPE_VIDEO_CAPTURE;
  f.fmt.pix.pixelformat = fs->fourcc;
  f.fmt.pix.width = static_cast<uint32_t>(w);
  f.fmt.pix.height = static_cast<uint32_t>(h);
  f.fmt.pix.field = V4L2_FIELD_ANY;
  int r = node_->Ioctl(VIDIOC_S_FMT, &f);
  if (r == -EBUSY) return VFW_E_NOT_STOPPED;
  if (r != 0) return VFW_E_INVALIDMEDIATYPE;
  // A driver that adjusted the format gave us something else than asked.
  if (f.fmt.pix.pixelformat != fs->fourcc || f.fmt.pix.width != static_cast<uint32_t>(w) ||
      f.fmt.pix.height != static_cast<uint32_t>(h))
    return VFW_E_INVALIDMEDIATYPE;
  v4l2_streamparm p{};
  p.type = V4L2_BUF_TYPE_VIDEO_CAPTURE;
  const REFERENCE_TIME g = std::gcd(t, REFERENCE_TIME{10'000'000});
  p.parm.capture.timeperframe.numerator = static_cast<uint32_t>(t / g);
  p.parm.capture.timeperframe.denominator = static_cast<uint32_t>(10'000'000 / g);
  if (node_->Ioctl(VIDIOC_S_PARM, &p) == 0) {
    const auto& tpf = p.parm.capture.timeperframe;
    if (tpf.numerator && tpf.denominator) {
      const REFERENCE_TIME got = static_cast<REFERENCE_TIME>(uint64_t{tpf.numerator} * 10'000'000u / tpf.denominator);
      if (got >= kShortestInterval && got <= kLongestInterval) t = got;
    }
  }
  std::lock_guard lock(filterMutex_);
  current_ = mg::MakeCaptureVideoType(fs->subtype, w, h, t);
  bytesPerLine_ = f.fmt.pix.bytesperline;
  return S_OK;
}

void V4l2CaptureFilter::MarkFormatSet() {
  std::lock_guard lock(filterMutex_);
  formatSet_ = true;
}

HRESULT V4l2CaptureFilter::CheckMediaType(const Pin& pin, const AM_MEDIA_TYPE& mt) const {
  if (pin.Direction() == PINDIR_INPUT) return mt.majortype == MEDIATYPE_AnalogVideo ? S_OK : S_FALSE;
  if (AcceptsFormat(mt) != S_OK) return S_FALSE;
  std::lock_guard lock(filterMutex_);
  if (!formatSet_) return S_OK;
  const BITMAPINFOHEADER* a = mt.BitmapHeader();
  const BITMAPINFOHEADER* b = current_.BitmapHeader();
  return mt.subtype == current_.subtype && a->biWidth == b->biWidth && std::abs(a->biHeight) == std::abs(b->biHeight)
             ? S_OK
             : S_FALSE;
}

std::vector<AM_MEDIA_TYPE> V4l2CaptureFilter::GetMediaTypes(const Pin& pin) const {
  if (pin.Direction() == PINDIR_INPUT) {
    AM_MEDIA_TYPE mt;
    mt.majortype = MEDIATYPE_AnalogVideo;
    mt.subtype = sim::MEDIASUBTYPE_AnalogVideo_NTSC_M;
    mt.formattype = FORMAT_None;
    return {mt};
  }
  std::vector<AM_MEDIA_TYPE> list{CurrentFormat()};
  {
    std::lock_guard lock(filterMutex_);
    if (formatSet_) return list;
  }
  for (const FormatSize& f : info_.formats) {
    AM_MEDIA_TYPE mt = mg::MakeCaptureVideoType(f.subtype, f.width, f.height, f.intervals.front());
    if (!mt.Equals(list[0])) list.push_back(std::move(mt));
  }
  return list;
}

HRESULT V4l2CaptureFilter::OnConnect(Pin& pin) {
  if (&pin == Output().get()) return ApplyFormat(pin.CurrentType());
  return S_OK;
}

ALLOCATOR_PROPERTIES V4l2CaptureFilter::DecideBufferSize(const Pin& pin) const {
  ALLOCATOR_PROPERTIES p;
  p.cBuffers = static_cast<LONG>(kBufferCount);
  const BITMAPINFOHEADER* bih = pin.CurrentType().BitmapHeader();
  p.cbBuffer = bih ? static_cast<LONG>(std::max<uint32_t>(bih->biSizeImage, 1)) : 1;
  return p;
}

REFERENCE_TIME V4l2CaptureFilter::FramePeriod() const {
  std::lock_guard lock(filterMutex_);
  return current_.FormatAs<VIDEOINFOHEADER>()->AvgTimePerFrame;
}

HRESULT V4l2CaptureFilter::Pause() {
  if (State() == State_Stopped) {
    const HRESULT hr = StartStreaming();
    if (FAILED(hr)) return hr;
  }
  return BaseFilter::Pause();
}

HRESULT V4l2CaptureFilter::Stop() {
  const HRESULT hr = BaseFilter::Stop();
  StopStreaming();
  return hr;
}

HRESULT V4l2CaptureFilter::StartStreaming() {
  std::lock_guard lock(streamMutex_);
  if (streaming_) return S_OK;
  if (!node_->Present()) return VFW_E_NOT_CONNECTED;
  // The format on the device may be another program's since we set ours.
  const AM_MEDIA_TYPE mt = CurrentFormat();
  HRESULT hr = ApplyFormat(mt);
  if (FAILED(hr)) return hr;
  v4l2_requestbuffers req{};
  req.count = kBufferCount;
  req.type = V4L2_BUF_TYPE_VIDEO_CAPTURE;
  req.memory = V4L2_MEMORY_MMAP;
  if (node_->Ioctl(VIDIOC_REQBUFS, &req) != 0 || req.count == 0) return E_FAIL;
  auto fail = [&] {
    for (Buffer& b : buffers_) node_->Io().Unmap(b.address, b.length);
    buffers_.clear();
    v4l2_requestbuffers none{};
    none.type = V4L2_BUF_TYPE_VIDEO_CAPTURE;
    none.memory = V4L2_MEMORY_MMAP;
    node_->Ioctl(VIDIOC_REQBUFS, &none);
    return E_FAIL;
  };
  for (uint32_t i = 0; i < req.count; ++i) {
    v4l2_buffer b{};
    b.index = i;
    b.type = V4L2_BUF_TYPE_VIDEO_CAPTURE;
    b.memory = V4L2_MEMORY_MMAP;
    if (node_->Ioctl(VIDIOC_QUERYBUF, &b) != 0 || b.length == 0) return fail();
    void* p = node_->Io().Map(node_->Fd(), b.length, static_cast<long>(b.m.offset));
    if (!p) return fail();
    buffers_.push_back({p, b.length});
    if (node_->Ioctl(VIDIOC_QBUF, &b) != 0) return fail();
  }
  int type = V4L2_BUF_TYPE_VIDEO_CAPTURE;
  if (node_->Ioctl(VIDIOC_STREAMON, &type) != 0) return fail();
  streaming_ = true;
  haveSequence_ = false;
  frameIndex_ = 0;
  lostSent_ = false;
  delivered_.store(0);
  dropped_.store(0);
  bytes_.store(0);
  {
    std::lock_guard d(dropMutex_);
    dropIndexes_.clear();
  }
  return S_OK;
}

void V4l2CaptureFilter::StopStreaming() {
  std::lock_guard lock(streamMutex_);
  if (!streaming_) return;
  int type = V4L2_BUF_TYPE_VIDEO_CAPTURE;
  node_->Ioctl(VIDIOC_STREAMOFF, &type);
  for (Buffer& b : buffers_) node_->Io().Unmap(b.address, b.length);
  buffers_.clear();
  v4l2_requestbuffers none{};
  none.type = V4L2_BUF_TYPE_VIDEO_CAPTURE;
  none.memory = V4L2_MEMORY_MMAP;
  node_->Ioctl(VIDIOC_REQBUFS, &none);
  streaming_ = false;
}

void V4l2CaptureFilter::ReportLost() {
  node_->MarkGone();
  if (lostSent_) return;
  lostSent_ = true;
  NotifyEvent(EC_DEVICE_LOST, reinterpret_cast<intptr_t>(this), 0);
}

uint32_t V4l2CaptureFilter::CopyFrame(const uint8_t* data, size_t used, uint8_t* out, size_t room) const {
  const AM_MEDIA_TYPE mt = CurrentFormat();
  const BITMAPINFOHEADER* bih = mt.BitmapHeader();
  const size_t w = static_cast<size_t>(bih->biWidth), h = static_cast<size_t>(std::abs(bih->biHeight));
  if (mt.subtype == MEDIASUBTYPE_MJPG) {
    if (used == 0 || used > room) return 0;
    std::memcpy(out, data, used);
    return static_cast<uint32_t>(used);
  }
  const size_t need = FrameSize(mt.subtype, static_cast<int>(w), static_cast<int>(h));
  if (need == 0 || need > room) return 0;
  uint32_t bpl;
  {
    std::lock_guard lock(filterMutex_);
    bpl = bytesPerLine_;
  }
  if (mt.subtype == MEDIASUBTYPE_I420 || mt.subtype == MEDIASUBTYPE_YV12) {
    const size_t ys = std::max<size_t>(bpl, w), cs = ys / 2, cw = w / 2, ch = h / 2;
    if (used < ys * h + 2 * cs * ch) return 0;
    uint8_t* o = out;
    for (size_t y = 0; y < h; ++y, o += w) std::memcpy(o, data + y * ys, w);
    const uint8_t* c = data + ys * h;
    for (size_t plane = 0; plane < 2; ++plane, c += cs * ch)
      for (size_t y = 0; y < ch; ++y, o += cw) std::memcpy(o, c + y * cs, cw);
    return static_cast<uint32_t>(o - out);
  }
  const size_t row = w * static_cast<size_t>(BitsPerPixel(mt.subtype)) / 8;
  const size_t stride = std::max<size_t>(bpl, row);
  if (row == 0 || used < stride * (h - 1) + row) return 0;
  const bool packedYuv = mt.subtype == MEDIASUBTYPE_YUY2 || mt.subtype == MEDIASUBTYPE_UYVY;
  // Bitmaps are stored bottom-up with rows padded to four bytes; V4L2
  // sends top-down rows.
  const size_t dibRow = packedYuv ? row : (row + 3) & ~size_t{3};
  for (size_t y = 0; y < h; ++y) {
    uint8_t* dst = out + (packedYuv ? y : h - 1 - y) * dibRow;
    std::memcpy(dst, data + y * stride, row);
    if (dibRow > row) std::memset(dst + row, 0, dibRow - row);
  }
  return static_cast<uint32_t>(dibRow * h);
}

HRESULT V4l2CaptureFilter::PushOne(REFERENCE_TIME t) {
  if (State() == State_Stopped) return VFW_E_WRONG_STATE;
  auto out = Output();
  std::shared_ptr<MediaSample> sample;
  uint32_t used = 0;
  int64_t index = 0;
  {
    std::lock_guard lock(streamMutex_);
    if (!streaming_) return VFW_E_WRONG_STATE;
    if (!node_->Present()) {
      ReportLost();
      return S_FALSE;
    }
    const int ready = node_->Io().WaitFrame(node_->Fd(), kFrameWaitMs);
    if (ready == 0) return S_OK;
    v4l2_buffer b{};
    b.type = V4L2_BUF_TYPE_VIDEO_CAPTURE;
    b.memory = V4L2_MEMORY_MMAP;
    const int r = ready < 0 ? ready : node_->Ioctl(VIDIOC_DQBUF, &b);
    if (r == -EAGAIN) return S_OK;
    if (LostError(r) || !node_->Present()) {
      ReportLost();
      return S_FALSE;
    }
    if (r != 0) {
      dropped_.fetch_add(1);
      return S_OK;
    }
    // The driver numbers the frames it took; a gap is frames it lost.
    if (haveSequence_ && b.sequence > lastSequence_ + 1) {
      const uint32_t gap = b.sequence - lastSequence_ - 1;
      dropped_.fetch_add(gap);
      std::lock_guard d(dropMutex_);
      for (uint32_t i = 0; i < gap && dropIndexes_.size() < kMaxDropRecords; ++i)
        dropIndexes_.push_back(static_cast<LONG>(frameIndex_ + i));
      frameIndex_ += gap;
    }
    haveSequence_ = true;
    lastSequence_ = b.sequence;
    index = frameIndex_++;
    bool bad = b.index >= buffers_.size() || (b.flags & V4L2_BUF_FLAG_ERROR);
    if (!bad && out->IsConnected() && SUCCEEDED(out->Allocator().GetBuffer(sample))) {
      // A driver may claim more bytes than its buffer holds.
      const size_t length = std::min<size_t>(b.bytesused, buffers_[b.index].length);
      used = CopyFrame(static_cast<const uint8_t*>(buffers_[b.index].address), length, sample->GetPointer(),
                       static_cast<size_t>(sample->GetSize()));
    }
    if (b.index < buffers_.size() && node_->Ioctl(VIDIOC_QBUF, &b) != 0 && !node_->Present()) {
      ReportLost();
      return S_FALSE;
    }
    if (used == 0) {
      dropped_.fetch_add(1);
      std::lock_guard d(dropMutex_);
      if (dropIndexes_.size() < kMaxDropRecords) dropIndexes_.push_back(static_cast<LONG>(index));
      return S_OK;
    }
  }
  // Delivered without the stream lock: downstream may stop the graph.
  sample->SetActualDataLength(static_cast<LONG>(used));
  REFERENCE_TIME start = t, stop = t + FramePeriod();
  sample->SetTime(&start, &stop);
  const int64_t ms = index, me = index + 1;
  sample->SetMediaTime(&ms, &me);
  sample->SetSyncPoint(true);
  sample->SetDiscontinuity(index == 0);
  bytes_.fetch_add(used);
  const HRESULT hr = out->Deliver(*sample);
  if (hr == VFW_E_WRONG_STATE) return hr;
  if (FAILED(hr))
    dropped_.fetch_add(1);
  else
    delivered_.fetch_add(1);
  return S_OK;
}

HRESULT V4l2CaptureFilter::GetNumDropped(LONG* n) {
  if (!n) return E_POINTER;
  *n = static_cast<LONG>(dropped_.load());
  return S_OK;
}

HRESULT V4l2CaptureFilter::GetNumNotDropped(LONG* n) {
  if (!n) return E_POINTER;
  *n = static_cast<LONG>(delivered_.load());
  return S_OK;
}

HRESULT V4l2CaptureFilter::GetDroppedInfo(LONG size, LONG* array, LONG* copied) {
  if (!array || !copied) return E_POINTER;
  std::lock_guard d(dropMutex_);
  LONG n = 0;
  for (LONG i : dropIndexes_) {
    if (n >= size) break;
    array[n++] = i;
  }
  *copied = n;
  return S_OK;
}

HRESULT V4l2CaptureFilter::GetAverageFrameSize(LONG* size) {
  if (!size) return E_POINTER;
  const int64_t n = delivered_.load();
  *size = n > 0 ? static_cast<LONG>(bytes_.load() / n) : 0;
  return S_OK;
}

// ---- proc amp, camera and video control ----------------------------------------------------------

HRESULT V4l2CaptureFilter::GetRange(LONG p, LONG* pMin, LONG* pMax, LONG* pStep, LONG* pDef, LONG* pCaps) {
  if (p < 0 || p >= 10) return sim::E_PROP_ID_UNSUPPORTED;
  return RangeOf(*node_, kProcAmp[p], pMin, pMax, pStep, pDef, pCaps);
}

HRESULT V4l2CaptureFilter::Set(LONG p, LONG value, LONG flags) {
  if (p < 0 || p >= 10) return sim::E_PROP_ID_UNSUPPORTED;
  return SetControl(*node_, kProcAmp[p], value, flags);
}

HRESULT V4l2CaptureFilter::Get(LONG p, LONG* value, LONG* flags) {
  if (p < 0 || p >= 10) return sim::E_PROP_ID_UNSUPPORTED;
  return GetControl(*node_, kProcAmp[p], value, flags);
}

HRESULT V4l2CaptureFilter::GetCameraRange(LONG p, LONG* pMin, LONG* pMax, LONG* pStep, LONG* pDef, LONG* pCaps) {
  if (p < 0 || p >= 7) return sim::E_PROP_ID_UNSUPPORTED;
  return RangeOf(*node_, kCamera[p], pMin, pMax, pStep, pDef, pCaps);
}

HRESULT V4l2CaptureFilter::SetCamera(LONG p, LONG value, LONG flags) {
  if (p < 0 || p >= 7) return sim::E_PROP_ID_UNSUPPORTED;
  return SetControl(*node_, kCamera[p], value, flags);
}

HRESULT V4l2CaptureFilter::GetCamera(LONG p, LONG* value, LONG* flags) {
  if (p < 0 || p >= 7) return sim::E_PROP_ID_UNSUPPORTED;
  return GetControl(*node_, kCamera[p], value, flags);
}

bool V4l2CaptureFilter::HasCameraControls() {
  if (cameraControls_.load() < 0)
    cameraControls_.store(std::any_of(std::begin(kCamera), std::end(kCamera),
                                      [&](const ControlMap& m) { return QueryControl(*node_, m.id).ok; }));
  return cameraControls_.load() > 0;
}

HRESULT V4l2CaptureFilter::GetCaps(Pin* pin, LONG* caps) {
  if (!caps) return E_POINTER;
  if (pin != Output().get()) return E_INVALIDARG;
  *caps = (QueryControl(*node_, V4L2_CID_HFLIP).ok ? VideoControlFlag_FlipHorizontal : 0) |
          (QueryControl(*node_, V4L2_CID_VFLIP).ok ? VideoControlFlag_FlipVertical : 0);
  return S_OK;
}

HRESULT V4l2CaptureFilter::SetMode(Pin* pin, LONG mode) {
  LONG caps = 0;
  HRESULT hr = GetCaps(pin, &caps);
  if (FAILED(hr)) return hr;
  if (mode & ~caps) return E_INVALIDARG;
  if ((caps & VideoControlFlag_FlipHorizontal) &&
      !WriteControl(*node_, V4L2_CID_HFLIP, (mode & VideoControlFlag_FlipHorizontal) ? 1 : 0))
    return E_FAIL;
  if ((caps & VideoControlFlag_FlipVertical) &&
      !WriteControl(*node_, V4L2_CID_VFLIP, (mode & VideoControlFlag_FlipVertical) ? 1 : 0))
    return E_FAIL;
  return S_OK;
}

HRESULT V4l2CaptureFilter::GetMode(Pin* pin, LONG* mode) {
  if (!mode) return E_POINTER;
  LONG caps = 0;
  HRESULT hr = GetCaps(pin, &caps);
  if (FAILED(hr)) return hr;
  int32_t v = 0;
  *mode = 0;
  if ((caps & VideoControlFlag_FlipHorizontal) && ReadControl(*node_, V4L2_CID_HFLIP, &v) && v)
    *mode |= VideoControlFlag_FlipHorizontal;
  if ((caps & VideoControlFlag_FlipVertical) && ReadControl(*node_, V4L2_CID_VFLIP, &v) && v)
    *mode |= VideoControlFlag_FlipVertical;
  return S_OK;
}

HRESULT V4l2CaptureFilter::GetCurrentActualFrameRate(Pin* pin, int64_t* rate) {
  if (!rate) return E_POINTER;
  if (pin != Output().get()) return E_INVALIDARG;
  if (State() == State_Stopped) return VFW_E_NOT_RUNNING;
  *rate = FramePeriod();
  return S_OK;
}

}  // namespace mg::v4l2
