#include "platform/mg/sim/SimVideo.h"

#include "platform/mg/Graph.h"

#include <algorithm>
#include <cstdlib>
#include <cstring>

namespace mg::sim {

namespace {

constexpr LONG kManual = VideoProcAmp_Flags_Manual;
constexpr LONG kBoth = VideoProcAmp_Flags_Auto | VideoProcAmp_Flags_Manual;

// Sharpness and backlight compensation are kept but do not change the picture.
constexpr ControlRange kProcAmp[10] = {
    {-64, 64, 1, 0, kManual},       // brightness
    {0, 100, 1, 50, kManual},       // contrast
    {-180, 180, 1, 0, kManual},     // hue
    {0, 200, 1, 100, kManual},      // saturation
    {0, 10, 1, 0, kManual},         // sharpness
    {100, 300, 1, 100, kManual},    // gamma
    {0, 1, 1, 1, kManual},          // colour enable
    {2800, 6500, 10, 4600, kBoth},  // white balance
    {0, 2, 1, 0, kManual},          // backlight compensation
    {0, 100, 1, 0, kBoth},          // gain
};
// Roll, iris and focus are kept but do not change the picture.
constexpr ControlRange kCamera[7] = {
    {-180, 180, 1, 0, kManual},  // pan
    {-180, 180, 1, 0, kManual},  // tilt
    {-180, 180, 1, 0, kManual},  // roll
    {100, 400, 1, 100, kManual}, // zoom
    {-13, -1, 1, -6, kBoth},     // exposure
    {0, 10, 1, 5, kManual},      // iris
    {0, 250, 5, 0, kBoth},       // focus
};

const BITMAPINFOHEADER* HeaderOf(const AM_MEDIA_TYPE& mt) {
  if (mt.formattype != FORMAT_VideoInfo) return nullptr;
  return mt.BitmapHeader();
}

}  // namespace

const ControlRange* ProcAmpRange(LONG p) { return p >= 0 && p < 10 ? &kProcAmp[p] : nullptr; }
const ControlRange* CameraControlRange(LONG p) { return p >= 0 && p < 7 ? &kCamera[p] : nullptr; }

HRESULT SetFormatReconnecting(Pin& pin, const AM_MEDIA_TYPE& mt,
                              const std::function<HRESULT(const AM_MEDIA_TYPE&)>& apply) {
  if (!pin.IsConnected()) return apply(mt);
  if (mt.Equals(pin.CurrentType())) return S_OK;
  // A connected pin changes its format by reconnecting, when the other
  // side takes the new type.
  auto other = pin.ConnectedTo();
  FilterGraph* graph = pin.OwnerFilter() ? pin.OwnerFilter()->Graph() : nullptr;
  if (!graph) return VFW_E_NOT_IN_GRAPH;
  if (other->QueryAccept(mt) != S_OK) return VFW_E_INVALIDMEDIATYPE;
  const AM_MEDIA_TYPE old = pin.CurrentType();
  HRESULT hr = apply(mt);
  if (FAILED(hr)) return hr;
  hr = graph->ReconnectEx(std::static_pointer_cast<Pin>(pin.shared_from_this()), &mt);
  if (FAILED(hr)) apply(old);
  return hr;
}

// ---- the pin --------------------------------------------------------------------------------------

SimVideoPin::SimVideoPin(SimVideoSource* owner, std::string name, const GUID& category)
    : ControlledOutputPin(owner, std::move(name)), source_(owner) {
  SetCategory(category);
}

HRESULT SimVideoPin::SetFormat(const AM_MEDIA_TYPE* pmt) {
  if (!pmt) return E_POINTER;
  if (source_->State() != State_Stopped) return VFW_E_NOT_STOPPED;
  return SetFormatReconnecting(*this, *pmt, [this](const AM_MEDIA_TYPE& mt) {
    HRESULT hr = source_->AcceptsFormat(mt);
    if (SUCCEEDED(hr)) hr = source_->ApplyFormat(mt);
    if (SUCCEEDED(hr)) source_->MarkFormatSet();
    return hr;
  });
}

HRESULT SimVideoPin::GetFormat(AM_MEDIA_TYPE* pmt) {
  if (!pmt) return E_POINTER;
  *pmt = source_->CurrentFormat();
  return S_OK;
}

HRESULT SimVideoPin::GetNumberOfCapabilities(int* count, int* size) {
  if (!count || !size) return E_POINTER;
  *count = static_cast<int>(source_->Capabilities().size());
  *size = sizeof(VIDEO_STREAM_CONFIG_CAPS);
  return S_OK;
}

HRESULT SimVideoPin::GetStreamCaps(int index, AM_MEDIA_TYPE* pmt, uint8_t* scc) {
  if (!pmt || !scc) return E_POINTER;
  const auto& caps = source_->Capabilities();
  if (index < 0 || index >= static_cast<int>(caps.size())) return S_FALSE;
  const VideoCapability& c = caps[static_cast<size_t>(index)];
  *pmt = mg::MakeCaptureVideoType(c.subtype, c.width, c.height, kMinFrameInterval);
  VIDEO_STREAM_CONFIG_CAPS v;
  v.guid = FORMAT_VideoInfo;
  v.InputSize = {c.width, c.height};
  v.MinCroppingSize = v.MaxCroppingSize = v.InputSize;
  v.CropGranularityX = v.CropGranularityY = 1;
  v.CropAlignX = v.CropAlignY = 1;
  v.MinOutputSize = v.MaxOutputSize = v.InputSize;
  v.OutputGranularityX = v.OutputGranularityY = 1;
  v.MinFrameInterval = kMinFrameInterval;
  v.MaxFrameInterval = kMaxFrameInterval;
  const uint32_t frameBits = pmt->format.size() >= sizeof(VIDEOINFOHEADER)
                                 ? pmt->FormatAs<VIDEOINFOHEADER>()->bmiHeader.biSizeImage * 8u
                                 : 0u;
  v.MinBitsPerSecond = static_cast<int32_t>(frameBits * 5u);
  v.MaxBitsPerSecond = static_cast<int32_t>(std::min<uint64_t>(uint64_t{frameBits} * 30u, INT32_MAX));
  std::memcpy(scc, &v, sizeof v);
  return S_OK;
}

// ---- the filter -----------------------------------------------------------------------------------

SimVideoSource::SimVideoSource(const CLSID& clsid, std::shared_ptr<DevicePresence> presence,
                               std::vector<VideoCapability> caps, const AM_MEDIA_TYPE& initial,
                               const std::string& pinName, const GUID& category)
    : BaseFilter(clsid), presence_(std::move(presence)), caps_(std::move(caps)), current_(initial) {
  for (int i = 0; i < 10; ++i) {
    procAmpValues_[i] = kProcAmp[i].def;
    procAmpFlags_[i] = VideoProcAmp_Flags_Manual;
  }
  AddPin(std::make_shared<SimVideoPin>(this, pinName, category));
}

AM_MEDIA_TYPE SimVideoSource::CurrentFormat() const {
  std::lock_guard lock(filterMutex_);
  return current_;
}

HRESULT SimVideoSource::AcceptsFormat(const AM_MEDIA_TYPE& mt) const {
  if (mt.majortype != MEDIATYPE_Video) return VFW_E_INVALIDMEDIATYPE;
  const BITMAPINFOHEADER* bih = HeaderOf(mt);
  if (!bih) return VFW_E_INVALIDMEDIATYPE;
  const int w = bih->biWidth, h = std::abs(bih->biHeight);
  const bool known = std::any_of(caps_.begin(), caps_.end(), [&](const VideoCapability& c) {
    return c.subtype == mt.subtype && c.width == w && c.height == h;
  });
  if (!known) return VFW_E_INVALIDMEDIATYPE;
  const REFERENCE_TIME t = mt.FormatAs<VIDEOINFOHEADER>()->AvgTimePerFrame;
  if (t != 0 && (t < kMinFrameInterval || t > kMaxFrameInterval)) return VFW_E_INVALIDMEDIATYPE;
  return S_OK;
}

HRESULT SimVideoSource::ApplyFormat(const AM_MEDIA_TYPE& mt) {
  const HRESULT hr = AcceptsFormat(mt);
  if (FAILED(hr)) return hr;
  const BITMAPINFOHEADER* bih = HeaderOf(mt);
  REFERENCE_TIME t = mt.FormatAs<VIDEOINFOHEADER>()->AvgTimePerFrame;
  std::lock_guard lock(filterMutex_);
  if (t == 0) t = current_.FormatAs<VIDEOINFOHEADER>()->AvgTimePerFrame;
  current_ = mg::MakeCaptureVideoType(mt.subtype, bih->biWidth, std::abs(bih->biHeight), t);
  return S_OK;
}

HRESULT SimVideoSource::CheckMediaType(const Pin& pin, const AM_MEDIA_TYPE& mt) const {
  if (pin.Direction() != PINDIR_OUTPUT) return S_FALSE;
  if (AcceptsFormat(mt) != S_OK) return S_FALSE;
  // Once a format was asked for, the pin connects with that one only.
  std::lock_guard lock(filterMutex_);
  if (!formatSet_) return S_OK;
  const BITMAPINFOHEADER* a = HeaderOf(mt);
  const BITMAPINFOHEADER* b = HeaderOf(current_);
  return mt.subtype == current_.subtype && a->biWidth == b->biWidth && std::abs(a->biHeight) == std::abs(b->biHeight)
             ? S_OK
             : S_FALSE;
}

void SimVideoSource::MarkFormatSet() {
  std::lock_guard lock(filterMutex_);
  formatSet_ = true;
}

std::vector<AM_MEDIA_TYPE> SimVideoSource::GetMediaTypes(const Pin& pin) const {
  if (pin.Direction() != PINDIR_OUTPUT) return {};
  std::vector<AM_MEDIA_TYPE> list{CurrentFormat()};
  {
    std::lock_guard lock(filterMutex_);
    if (formatSet_) return list;
  }
  const REFERENCE_TIME t = list[0].FormatAs<VIDEOINFOHEADER>()->AvgTimePerFrame;
  for (const VideoCapability& c : caps_) {
    AM_MEDIA_TYPE mt = mg::MakeCaptureVideoType(c.subtype, c.width, c.height, t);
    if (!mt.Equals(list[0])) list.push_back(std::move(mt));
  }
  return list;
}

HRESULT SimVideoSource::OnConnect(Pin& pin) {
  if (&pin == Output().get()) return ApplyFormat(pin.CurrentType());
  return S_OK;
}

HRESULT SimVideoSource::Stop() {
  const HRESULT hr = BaseFilter::Stop();
  frames_.store(0);
  return hr;
}

REFERENCE_TIME SimVideoSource::FramePeriod() const {
  std::lock_guard lock(filterMutex_);
  return current_.FormatAs<VIDEOINFOHEADER>()->AvgTimePerFrame;
}

void SimVideoSource::DropFrames(const std::vector<int64_t>& indexes) {
  std::lock_guard lock(settingsMutex_);
  drops_.insert(indexes.begin(), indexes.end());
}

void SimVideoSource::SetMotionScript(MotionScript script) {
  std::lock_guard lock(settingsMutex_);
  script_ = std::move(script);
}

void SimVideoSource::SetShowFrameNumber(bool show) {
  std::lock_guard lock(settingsMutex_);
  showFrameNumber_ = show;
}

PictureSettings SimVideoSource::Settings() const {
  std::lock_guard lock(settingsMutex_);
  return settings_;
}

RgbImage SimVideoSource::RenderPicture(int64_t index) {
  const AM_MEDIA_TYPE mt = CurrentFormat();
  const BITMAPINFOHEADER* bih = mt.BitmapHeader();
  RgbImage img(bih->biWidth, std::abs(bih->biHeight));
  PictureSettings s;
  MotionScript script;
  bool number;
  {
    std::lock_guard lock(settingsMutex_);
    s = settings_;
    script = script_;
    number = showFrameNumber_;
  }
  DrawScene(index, s, img);
  const int scale = CaptionScale(img.height);
  int y = scale * 2;
  if (number) {
    DrawText(img, scale * 2, y, std::to_string(index), scale, Rgb(0, 0, 0), Rgb(255, 255, 255));
    y += scale * 10;
  }
  const std::string caption = Caption();
  if (!caption.empty()) DrawText(img, scale * 2, y, caption, scale, Rgb(255, 255, 255), Rgb(0, 0, 0));
  script.Draw(img, index);
  ApplyPictureSettings(img, s);
  return img;
}

HRESULT SimVideoSource::PushOne(REFERENCE_TIME t) {
  auto out = Output();
  if (State() == State_Stopped) return VFW_E_WRONG_STATE;
  if (!presence_->present.load()) {
    if (!lostSent_) {
      lostSent_ = true;
      NotifyEvent(EC_DEVICE_LOST, reinterpret_cast<intptr_t>(this), 0);
    }
    return S_FALSE;
  }
  const int64_t index = frames_.fetch_add(1);
  bool drop;
  {
    std::lock_guard lock(settingsMutex_);
    drop = drops_.count(index) > 0;
  }
  if (drop || !out->IsConnected()) {
    dropped_.fetch_add(1);
    return S_OK;
  }
  std::shared_ptr<MediaSample> sample;
  HRESULT hr = out->Allocator().GetBuffer(sample);
  if (FAILED(hr)) {
    dropped_.fetch_add(1);
    return hr;
  }
  const AM_MEDIA_TYPE mt = CurrentFormat();
  uint8_t* const buffer = sample->GetPointer();
  const uint32_t room = static_cast<uint32_t>(sample->GetSize());
  const bool mjpg = mt.subtype == MEDIASUBTYPE_MJPG;
  RgbImage rendered;
  const RgbImage* img = &rendered;
  uint32_t used = 0;
  if (StillScene()) {
    FrameComposer::Layers layers;
    layers.width = mt.BitmapHeader()->biWidth;
    layers.height = std::abs(mt.BitmapHeader()->biHeight);
    layers.subtype = mt.subtype;
    {
      std::lock_guard lock(settingsMutex_);
      layers.settings = settings_;
      layers.script = script_;
      layers.number = showFrameNumber_;
    }
    layers.caption = Caption();
    const PictureSettings& s = layers.settings;
    used = composer_.Compose(index, layers, [&](RgbImage& image) { DrawScene(index, s, image); },
                             mjpg ? nullptr : buffer, room);
    img = &composer_.Picture();
  } else {
    rendered = RenderPicture(index);
    if (!mjpg) used = ConvertPicture(rendered, mt.subtype, buffer, room);
  }
  if (mjpg) {
    if (!mjpeg_ || mjpeg_->Width() != img->width || mjpeg_->Height() != img->height)
      mjpeg_ = std::make_unique<MjpegEncoder>(img->width, img->height);
    used = mjpeg_->Encode(*img, buffer, room);
  }
  if (used == 0) {
    dropped_.fetch_add(1);
    return S_OK;
  }
  sample->SetActualDataLength(static_cast<LONG>(used));
  const REFERENCE_TIME period = FramePeriod();
  REFERENCE_TIME start = t, stop = t + period;
  sample->SetTime(&start, &stop);
  const int64_t mediaStart = index, mediaStop = index + 1;
  sample->SetMediaTime(&mediaStart, &mediaStop);
  sample->SetSyncPoint(true);
  sample->SetDiscontinuity(index == 0);
  bytes_.fetch_add(used);
  hr = out->Deliver(*sample);
  if (hr == VFW_E_WRONG_STATE) return hr;
  if (FAILED(hr)) dropped_.fetch_add(1);
  return S_OK;
}

HRESULT SimVideoSource::GetNumDropped(LONG* n) {
  if (!n) return E_POINTER;
  *n = static_cast<LONG>(dropped_.load());
  return S_OK;
}

HRESULT SimVideoSource::GetNumNotDropped(LONG* n) {
  if (!n) return E_POINTER;
  *n = static_cast<LONG>(frames_.load() - dropped_.load());
  return S_OK;
}

HRESULT SimVideoSource::GetDroppedInfo(LONG size, LONG* array, LONG* copied) {
  if (!array || !copied) return E_POINTER;
  std::lock_guard lock(settingsMutex_);
  LONG n = 0;
  const int64_t made = frames_.load();
  for (int64_t i : drops_) {
    if (n >= size || i >= made) break;
    array[n++] = static_cast<LONG>(i);
  }
  *copied = n;
  return S_OK;
}

HRESULT SimVideoSource::GetAverageFrameSize(LONG* size) {
  if (!size) return E_POINTER;
  const int64_t n = frames_.load() - dropped_.load();
  *size = n > 0 ? static_cast<LONG>(bytes_.load() / n) : 0;
  return S_OK;
}

// ---- proc amp -------------------------------------------------------------------------------------

HRESULT SimVideoSource::GetRange(LONG p, LONG* pMin, LONG* pMax, LONG* pStep, LONG* pDefault, LONG* pCaps) {
  const ControlRange* r = ProcAmpRange(p);
  if (!r) return E_PROP_ID_UNSUPPORTED;
  if (!pMin || !pMax || !pStep || !pDefault || !pCaps) return E_POINTER;
  *pMin = r->min, *pMax = r->max, *pStep = r->step, *pDefault = r->def, *pCaps = r->caps;
  return S_OK;
}

HRESULT SimVideoSource::Set(LONG p, LONG value, LONG flags) {
  const ControlRange* r = ProcAmpRange(p);
  if (!r) return E_PROP_ID_UNSUPPORTED;
  if (flags != VideoProcAmp_Flags_Auto && flags != VideoProcAmp_Flags_Manual) return E_INVALIDARG;
  if ((r->caps & flags) == 0) return E_INVALIDARG;
  if (flags == VideoProcAmp_Flags_Manual && (value < r->min || value > r->max)) return E_INVALIDARG;
  std::lock_guard lock(settingsMutex_);
  procAmpFlags_[p] = flags;
  // Automatic control settles on the default.
  procAmpValues_[p] = flags == VideoProcAmp_Flags_Auto ? r->def : value;
  SyncProcAmp();
  return S_OK;
}

HRESULT SimVideoSource::Get(LONG p, LONG* value, LONG* flags) {
  if (!ProcAmpRange(p)) return E_PROP_ID_UNSUPPORTED;
  if (!value || !flags) return E_POINTER;
  std::lock_guard lock(settingsMutex_);
  *value = procAmpValues_[p];
  *flags = procAmpFlags_[p];
  return S_OK;
}

HRESULT SimVideoSource::GetPages(std::vector<PropertyPage>* pages) {
  if (!pages) return E_POINTER;
  static const char* kNames[10] = {"Brightness", "Contrast",   "Hue",          "Saturation",
                                   "Sharpness",  "Gamma",      "ColorEnable",  "WhiteBalance",
                                   "BacklightCompensation", "Gain"};
  auto self = std::static_pointer_cast<SimVideoSource>(shared_from_this());
  PropertyPage page;
  page.title = "Video Proc Amp";
  for (LONG p = 0; p < 10; ++p)
    page.properties.push_back(ControlDescriptor<SimVideoSource>(
        self, kNames[p], *ProcAmpRange(p),
        [p](SimVideoSource& s) {
          LONG v = 0, f = 0;
          s.Get(p, &v, &f);
          return v;
        },
        [p](SimVideoSource& s, LONG v) { s.Set(p, v, VideoProcAmp_Flags_Manual); }));
  pages->push_back(std::move(page));
  return S_OK;
}

void SimVideoSource::SyncProcAmp() {
  settings_.brightness = procAmpValues_[VideoProcAmp_Brightness];
  settings_.contrast = procAmpValues_[VideoProcAmp_Contrast];
  settings_.hue = procAmpValues_[VideoProcAmp_Hue];
  settings_.saturation = procAmpValues_[VideoProcAmp_Saturation];
  settings_.gamma = procAmpValues_[VideoProcAmp_Gamma];
  settings_.colorEnable = procAmpValues_[VideoProcAmp_ColorEnable];
  settings_.whiteBalance = procAmpValues_[VideoProcAmp_WhiteBalance];
  settings_.gain = procAmpValues_[VideoProcAmp_Gain];
}

}  // namespace mg::sim
