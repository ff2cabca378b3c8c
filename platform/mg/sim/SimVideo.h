#pragma once
// The common part of the simulated video devices: an output pin that offers
// its formats through IAMStreamConfig, the proc amp, scripted dropped
// frames, the moving-box script, and the path from a rendered picture to
// the delivered bytes. A device only says what its picture shows.
#include <atomic>
#include <functional>
#include <memory>
#include <mutex>
#include <set>
#include <vector>

#include "platform/mg/Filter.h"
#include "platform/mg/Scheduler.h"
#include "platform/mg/sim/SimCompose.h"
#include "platform/mg/sim/SimPicture.h"

namespace mg::sim {

inline constexpr HRESULT E_PROP_ID_UNSUPPORTED = MakeHr(0x80070490);

// Whether the hardware behind a filter is still plugged in. Shared by the
// device list and every filter made for the device.
struct DevicePresence {
  std::atomic<bool> present{true};
};

// The range a control reports; caps are the Auto/Manual flags it takes.
//   proc amp: brightness -64..64 (0), contrast 0..100 (50), hue -180..180
//   (0), saturation 0..200 (100), sharpness 0..10 (0), gamma 100..300
//   (100), colour enable 0..1 (1), white balance 2800..6500 step 10 (4600,
//   auto), backlight compensation 0..2 (0), gain 0..100 (0, auto);
//   camera: pan, tilt, roll -180..180 (0), zoom 100..400 (100), exposure
//   -13..-1 (-6, auto), iris 0..10 (5), focus 0..250 step 5 (0, auto).
// Sharpness, backlight compensation, roll, iris and focus are kept but do
// not change the picture; an automatic control settles on its default.
struct ControlRange {
  LONG min, max, step, def, caps;
};
// Proc amp properties 0..9 and camera control properties 0..6 of the
// simulated devices; nullptr outside.
const ControlRange* ProcAmpRange(LONG property);
const ControlRange* CameraControlRange(LONG property);

struct VideoCapability {
  GUID subtype;
  int width;
  int height;
};

// An Int setting of a property page bound to a control of `owner`; the
// page holds the owner weakly, so a page outliving its filter does nothing.
template <class T>
PropertyDescriptor ControlDescriptor(const std::shared_ptr<T>& owner, std::string name, const ControlRange& r,
                                     std::function<LONG(T&)> get, std::function<void(T&, LONG)> set) {
  PropertyDescriptor d;
  d.name = std::move(name);
  d.kind = PropertyDescriptor::Kind::Int;
  d.min = r.min, d.max = r.max, d.step = r.step, d.def = r.def;
  std::weak_ptr<T> weak = owner;
  d.get = [weak, get] {
    auto o = weak.lock();
    return o ? static_cast<int>(get(*o)) : 0;
  };
  d.set = [weak, set](int v) {
    if (auto o = weak.lock()) set(*o, v);
  };
  return d;
}

// Frame intervals the simulated video devices take: 5 to 30 frames a second.
inline constexpr REFERENCE_TIME kMinFrameInterval = 333'333;
inline constexpr REFERENCE_TIME kMaxFrameInterval = 2'000'000;

// IAMStreamConfig::SetFormat's rule for a pin: `apply` checks and takes
// the type; a connected pin is then reconnected with it through its graph.
HRESULT SetFormatReconnecting(Pin& pin, const AM_MEDIA_TYPE& mt,
                              const std::function<HRESULT(const AM_MEDIA_TYPE&)>& apply);


class SimVideoSource;

class SimVideoPin : public ControlledOutputPin, public IAMStreamConfig {
public:
  SimVideoPin(SimVideoSource* owner, std::string name, const GUID& category);
  HRESULT SetFormat(const AM_MEDIA_TYPE* pmt) override;
  HRESULT GetFormat(AM_MEDIA_TYPE* pmt) override;
  HRESULT GetNumberOfCapabilities(int* piCount, int* piSize) override;
  HRESULT GetStreamCaps(int iIndex, AM_MEDIA_TYPE* pmt, uint8_t* pSCC) override;

private:
  SimVideoSource* source_;
};

class SimVideoSource : public BaseFilter,
                       public StreamSource,
                       public IAMDroppedFrames,
                       public IAMVideoProcAmp,
                       public ISpecifyPropertyPages {
public:
  SimVideoSource(const CLSID& clsid, std::shared_ptr<DevicePresence> presence, std::vector<VideoCapability> caps,
                 const AM_MEDIA_TYPE& initial, const std::string& pinName, const GUID& category);

  std::shared_ptr<Pin> Output() const { return PinAt(0); }
  const std::vector<VideoCapability>& Capabilities() const { return caps_; }
  AM_MEDIA_TYPE CurrentFormat() const;
  // S_OK when the type is one of ours; sets it as the current format.
  HRESULT ApplyFormat(const AM_MEDIA_TYPE& mt);
  HRESULT AcceptsFormat(const AM_MEDIA_TYPE& mt) const;
  // After IAMStreamConfig::SetFormat the pin offers and takes only the
  // format set, as capture pins do.
  void MarkFormatSet();

  // Frames with these indexes are counted as dropped and not delivered.
  void DropFrames(const std::vector<int64_t>& indexes);
  void SetMotionScript(MotionScript script);
  // Whether the frame number is written in the top-left corner (default on).
  void SetShowFrameNumber(bool show);
  PictureSettings Settings() const;
  // The picture of frame `index` as delivered, before conversion.
  RgbImage RenderPicture(int64_t index);

  // BaseFilter / StreamSource
  HRESULT PushOne(REFERENCE_TIME streamTime) override;
  REFERENCE_TIME FramePeriod() const override;
  HRESULT CheckMediaType(const Pin& pin, const AM_MEDIA_TYPE& mt) const override;
  std::vector<AM_MEDIA_TYPE> GetMediaTypes(const Pin& pin) const override;
  HRESULT OnConnect(Pin& pin) override;
  HRESULT Stop() override;

  // IAMDroppedFrames
  HRESULT GetNumDropped(LONG* plDropped) override;
  HRESULT GetNumNotDropped(LONG* plNotDropped) override;
  HRESULT GetDroppedInfo(LONG lSize, LONG* plArray, LONG* plNumCopied) override;
  HRESULT GetAverageFrameSize(LONG* plAverageSize) override;

  // IAMVideoProcAmp
  HRESULT GetRange(LONG Property, LONG* pMin, LONG* pMax, LONG* pSteppingDelta, LONG* pDefault,
                   LONG* pCapsFlags) override;
  HRESULT Set(LONG Property, LONG lValue, LONG Flags) override;
  HRESULT Get(LONG Property, LONG* lValue, LONG* Flags) override;

  // ISpecifyPropertyPages: the proc amp (and what a device adds).
  HRESULT GetPages(std::vector<PropertyPage>* pPages) override;

protected:
  // Draws what the device sees for frame `index` (bars, a channel, snow).
  virtual void DrawScene(int64_t index, const PictureSettings& settings, RgbImage& image) = 0;
  // The text written under the frame number, if any.
  virtual std::string Caption() const { return {}; }
  // Whether DrawScene draws the same picture for every frame index (for
  // the same settings and size), so frames are composed over a cached one.
  virtual bool StillScene() const { return false; }

  mutable std::mutex settingsMutex_;
  PictureSettings settings_;
  LONG procAmpValues_[10];
  LONG procAmpFlags_[10];
  void SyncProcAmp();  // settings_ from the proc amp values (lock held)

private:
  std::shared_ptr<DevicePresence> presence_;
  std::vector<VideoCapability> caps_;
  AM_MEDIA_TYPE current_;
  bool formatSet_ = false;
  std::set<int64_t> drops_;
  MotionScript script_;
  bool showFrameNumber_ = true;
  std::unique_ptr<MjpegEncoder> mjpeg_;
  FrameComposer composer_;  // streaming thread only
  std::atomic<int64_t> frames_{0};
  std::atomic<int64_t> dropped_{0};
  std::atomic<int64_t> bytes_{0};
  bool lostSent_ = false;
};

}  // namespace mg::sim
