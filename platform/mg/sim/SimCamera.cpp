#include "platform/mg/sim/SimCamera.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "platform/mg/CameraControlFacet.h"

namespace mg::sim {

namespace {

constexpr LONG kFlipCaps = VideoControlFlag_FlipHorizontal | VideoControlFlag_FlipVertical;

}  // namespace

std::vector<VideoCapability> CameraCapabilities() {
  static const GUID kSubtypes[] = {MEDIASUBTYPE_YUY2, MEDIASUBTYPE_RGB24, MEDIASUBTYPE_RGB32, MEDIASUBTYPE_I420,
                                   MEDIASUBTYPE_MJPG};
  static const int kSizes[][2] = {{160, 120}, {176, 144}, {320, 240}, {352, 288}, {640, 480}, {800, 600}, {1280, 720}};
  std::vector<VideoCapability> caps;
  // A benchmark asks for one size ("1280x720") so that whatever the
  // program picks, the camera delivers that.
  int w = 0, h = 0;
  if (const char* only = std::getenv("VORIX_SIM_CAMERA_SIZE");
      only && std::sscanf(only, "%dx%d", &w, &h) == 2 && w > 0 && h > 0 && w <= 4096 && h <= 4096) {
    for (const GUID& s : kSubtypes) caps.push_back({s, w, h});
    return caps;
  }
  for (const GUID& s : kSubtypes)
    for (auto& sz : kSizes) caps.push_back({s, sz[0], sz[1]});
  return caps;
}

SimCamera::SimCamera(std::shared_ptr<DevicePresence> presence, const CameraOptions& o)
    : SimVideoSource(CLSID_SimCamera, std::move(presence), CameraCapabilities(),
                     mg::MakeCaptureVideoType(o.subtype, o.width, o.height, o.interval), o.previewOnly ? "Preview" : "Capture",
                     o.previewOnly ? PIN_CATEGORY_PREVIEW : PIN_CATEGORY_CAPTURE) {
  for (int i = 0; i < 7; ++i) {
    cameraValues_[i] = CameraControlRange(i)->def;
    cameraFlags_[i] = CameraControl_Flags_Manual;
  }
  // Whole-program runs ask for something moving in front of the camera:
  // after a second of stillness a box crosses the picture back and forth
  // for about a minute.
  if (const char* motion = std::getenv("VORIX_SIM_CAMERA_MOTION"); motion && std::strcmp(motion, "box") == 0) {
    MotionScript script;
    script.SetBoxSize(60, 45).Still(30);
    // No two frames in a row show the box in the same place, also where
    // it turns back, so the motion never pauses.
    script.MoveBox(0, 0, 100, 75, 11);
    for (int i = 0; i < 100; ++i) script.MoveBox(90, 67, 0, 0, 10).MoveBox(10, 8, 100, 75, 10);
    SetMotionScript(std::move(script));
  }
}

void SimCamera::DrawScene(int64_t, const PictureSettings& settings, RgbImage& image) {
  DrawColourBars(image, settings);
}

std::shared_ptr<Object> SimCamera::QueryDelegate(const std::type_info& type) {
  if (type == typeid(IAMCameraControl))
    return std::make_shared<CameraControlFacet<SimCamera>>(std::static_pointer_cast<SimCamera>(shared_from_this()));
  return nullptr;
}

bool SimCamera::IsOurPin(const Pin* pin) const { return pin && pin == Output().get(); }

HRESULT SimCamera::GetCaps(Pin* pin, LONG* caps) {
  if (!caps) return E_POINTER;
  if (!IsOurPin(pin)) return E_INVALIDARG;
  *caps = kFlipCaps;
  return S_OK;
}

HRESULT SimCamera::SetMode(Pin* pin, LONG mode) {
  if (!IsOurPin(pin)) return E_INVALIDARG;
  if (mode & ~kFlipCaps) return E_INVALIDARG;
  std::lock_guard lock(settingsMutex_);
  videoMode_ = mode;
  settings_.flipHorizontal = (mode & VideoControlFlag_FlipHorizontal) != 0;
  settings_.flipVertical = (mode & VideoControlFlag_FlipVertical) != 0;
  return S_OK;
}

HRESULT SimCamera::GetMode(Pin* pin, LONG* mode) {
  if (!mode) return E_POINTER;
  if (!IsOurPin(pin)) return E_INVALIDARG;
  std::lock_guard lock(settingsMutex_);
  *mode = videoMode_;
  return S_OK;
}

HRESULT SimCamera::GetCurrentActualFrameRate(Pin* pin, int64_t* rate) {
  if (!rate) return E_POINTER;
  if (!IsOurPin(pin)) return E_INVALIDARG;
  if (State() == State_Stopped) return VFW_E_NOT_RUNNING;
  *rate = FramePeriod();
  return S_OK;
}

HRESULT SimCamera::GetPages(std::vector<PropertyPage>* pages) {
  const HRESULT hr = SimVideoSource::GetPages(pages);
  if (FAILED(hr)) return hr;
  static const char* kNames[7] = {"Pan", "Tilt", "Roll", "Zoom", "Exposure", "Iris", "Focus"};
  auto self = std::static_pointer_cast<SimCamera>(shared_from_this());
  PropertyPage camera;
  camera.title = "Camera Control";
  for (LONG p = 0; p < 7; ++p)
    camera.properties.push_back(ControlDescriptor<SimCamera>(
        self, kNames[p], *CameraControlRange(p),
        [p](SimCamera& c) {
          LONG v = 0, f = 0;
          c.GetCamera(p, &v, &f);
          return v;
        },
        [p](SimCamera& c, LONG v) { c.SetCamera(p, v, CameraControl_Flags_Manual); }));
  pages->push_back(std::move(camera));
  PropertyPage video;
  video.title = "Video Control";
  for (const auto& flip : {std::pair{"Flip Horizontal", VideoControlFlag_FlipHorizontal},
                           std::pair{"Flip Vertical", VideoControlFlag_FlipVertical}}) {
    const auto name = flip.first;
    const auto bit = flip.second;
    PropertyDescriptor d = ControlDescriptor<SimCamera>(
        self, name, ControlRange{0, 1, 1, 0, 0},
        [bit](SimCamera& c) {
          LONG m = 0;
          c.GetMode(c.Output().get(), &m);
          return (m & bit) ? 1 : 0;
        },
        [bit](SimCamera& c, LONG v) {
          LONG m = 0;
          c.GetMode(c.Output().get(), &m);
          c.SetMode(c.Output().get(), v ? (m | bit) : (m & ~bit));
        });
    d.kind = PropertyDescriptor::Kind::Bool;
    video.properties.push_back(std::move(d));
  }
  pages->push_back(std::move(video));
  return S_OK;
}

HRESULT SimCamera::GetCameraRange(LONG p, LONG* pMin, LONG* pMax, LONG* pStep, LONG* pDefault, LONG* pCaps) {
  const ControlRange* r = CameraControlRange(p);
  if (!r) return E_PROP_ID_UNSUPPORTED;
  if (!pMin || !pMax || !pStep || !pDefault || !pCaps) return E_POINTER;
  *pMin = r->min, *pMax = r->max, *pStep = r->step, *pDefault = r->def, *pCaps = r->caps;
  return S_OK;
}

HRESULT SimCamera::SetCamera(LONG p, LONG value, LONG flags) {
  const ControlRange* r = CameraControlRange(p);
  if (!r) return E_PROP_ID_UNSUPPORTED;
  if ((flags != CameraControl_Flags_Auto && flags != CameraControl_Flags_Manual) || (r->caps & flags) == 0)
    return E_INVALIDARG;
  if (flags == CameraControl_Flags_Manual && (value < r->min || value > r->max)) return E_INVALIDARG;
  std::lock_guard lock(settingsMutex_);
  cameraFlags_[p] = flags;
  cameraValues_[p] = flags == CameraControl_Flags_Auto ? r->def : value;
  settings_.pan = cameraValues_[CameraControl_Pan];
  settings_.tilt = cameraValues_[CameraControl_Tilt];
  settings_.zoom = cameraValues_[CameraControl_Zoom];
  settings_.exposure = cameraValues_[CameraControl_Exposure];
  return S_OK;
}

HRESULT SimCamera::GetCamera(LONG p, LONG* value, LONG* flags) {
  if (!CameraControlRange(p)) return E_PROP_ID_UNSUPPORTED;
  if (!value || !flags) return E_POINTER;
  std::lock_guard lock(settingsMutex_);
  *value = cameraValues_[p];
  *flags = cameraFlags_[p];
  return S_OK;
}

}  // namespace mg::sim
