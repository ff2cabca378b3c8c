#pragma once
// The test-pattern camera: colour bars with the frame number, a scripted
// moving box, and every picture and camera control changing the pixels.
#include <string>

#include "platform/mg/sim/SimVideo.h"

namespace mg::sim {

inline constexpr GUID CLSID_SimCamera = MakeGuid(0x5E1C0001, 0x7A3D, 0x4C21, 0x9B, 0x51, 0x56, 0x4F, 0x52, 0x49, 0x58, 0x01);

struct CameraOptions {
  // Only a preview-category pin "Preview" instead of the capture pin "Capture".
  bool previewOnly = false;
  GUID subtype = MEDIASUBTYPE_YUY2;
  int width = 320;
  int height = 240;
  REFERENCE_TIME interval = kMinFrameInterval;
};

// Formats YUY2, RGB24, RGB32, I420 and MJPG at these sizes.
std::vector<VideoCapability> CameraCapabilities();

class SimCamera : public SimVideoSource, public IAMVideoControl {
public:
  SimCamera(std::shared_ptr<DevicePresence> presence, const CameraOptions& options);

  // IAMVideoControl: horizontal and vertical flips.
  HRESULT GetCaps(Pin* pPin, LONG* pCapsFlags) override;
  HRESULT SetMode(Pin* pPin, LONG Mode) override;
  HRESULT GetMode(Pin* pPin, LONG* Mode) override;
  HRESULT GetCurrentActualFrameRate(Pin* pPin, int64_t* ActualFrameRate) override;

  // Camera control, also reachable as IAMCameraControl.
  HRESULT GetCameraRange(LONG p, LONG* pMin, LONG* pMax, LONG* pStep, LONG* pDefault, LONG* pCaps);
  HRESULT SetCamera(LONG p, LONG value, LONG flags);
  HRESULT GetCamera(LONG p, LONG* value, LONG* flags);

  // The proc amp page, then camera control and video control.
  HRESULT GetPages(std::vector<PropertyPage>* pPages) override;

protected:
  void DrawScene(int64_t index, const PictureSettings& settings, RgbImage& image) override;
  bool StillScene() const override { return true; }
  std::shared_ptr<Object> QueryDelegate(const std::type_info& type) override;

private:
  bool IsOurPin(const Pin* pin) const;
  LONG cameraValues_[7];
  LONG cameraFlags_[7];
  LONG videoMode_ = 0;
};

}  // namespace mg::sim
