#pragma once
// The filters every graph may use: a source driven by a callback, the
// Smart Tee and the Infinite Pin Tee, the null renderer, the sample
// grabber, the colour space converter, the video renderer, and stand-ins
// for the AVI mux, the file writer and the ASF writer until the real ones
// register themselves over these class ids.
#include <atomic>
#include <cstdio>
#include <functional>
#include <memory>
#include <mutex>
#include <vector>

#include "platform/mg/Devices.h"
#include "platform/mg/Graph.h"

namespace mg {

// ---- a source driven by a callback ---------------------------------------------------

// Fills one sample's buffer for frame `index`; returns the bytes used, or
// a negative value to end the stream.
using FillFunction = std::function<long(uint8_t* buffer, long size, int64_t index)>;

class CallbackSource : public BaseFilter, public StreamSource, public IAMDroppedFrames {
public:
  // One output pin "Capture" of category `category` offering `type`.
  CallbackSource(const AM_MEDIA_TYPE& type, REFERENCE_TIME period, FillFunction fill,
                 const GUID& category = PIN_CATEGORY_CAPTURE);
  std::shared_ptr<Pin> Output() const { return PinAt(0); }
  // Frames made; frames that could not be delivered count as dropped.
  int64_t Frames() const { return frames_.load(); }

  HRESULT PushOne(REFERENCE_TIME streamTime) override;
  REFERENCE_TIME FramePeriod() const override { return period_; }
  // The first sample after a stop or pause is marked as a discontinuity.
  HRESULT Stop() override;
  HRESULT Pause() override;
  HRESULT CheckMediaType(const Pin& pin, const AM_MEDIA_TYPE& mt) const override;
  std::vector<AM_MEDIA_TYPE> GetMediaTypes(const Pin& pin) const override;

  HRESULT GetNumDropped(LONG* plDropped) override;
  HRESULT GetNumNotDropped(LONG* plNotDropped) override;
  HRESULT GetDroppedInfo(LONG lSize, LONG* plArray, LONG* plNumCopied) override;
  HRESULT GetAverageFrameSize(LONG* plAverageSize) override;

private:
  AM_MEDIA_TYPE type_;
  REFERENCE_TIME period_;
  FillFunction fill_;
  std::atomic<int64_t> frames_{0};
  std::atomic<int64_t> dropped_{0};
  std::atomic<int64_t> bytes_{0};
  std::atomic<bool> fresh_{true};
  bool ended_ = false;
};

// ---- tees ------------------------------------------------------------------------------

// Output 1 "Capture" gets every sample and offers stream control; output 2
// "Preview" gets the samples without their times, and drops a sample the
// capture branch made late (the stream time is already past its end).
class SmartTee : public BaseFilter {
public:
  SmartTee();
  std::shared_ptr<Pin> Input() const { return PinAt(0); }
  std::shared_ptr<Pin> CaptureOutput() const { return PinAt(1); }
  std::shared_ptr<Pin> PreviewOutput() const { return PinAt(2); }
  int64_t PreviewDropped() const { return previewDropped_.load(); }
  int64_t PreviewDelivered() const { return previewDelivered_.load(); }

  HRESULT CheckMediaType(const Pin& pin, const AM_MEDIA_TYPE& mt) const override;
  std::vector<AM_MEDIA_TYPE> GetMediaTypes(const Pin& pin) const override;
  HRESULT OnReceive(Pin& pin, MediaSample& sample) override;
  HRESULT OnEndOfStream(Pin& pin) override;

private:
  std::atomic<int64_t> previewDropped_{0};
  std::atomic<int64_t> previewDelivered_{0};
};

// Copies its input to every connected output; there is always one free
// output ("Output1", "Output2", ...).
class InfTee : public BaseFilter {
public:
  InfTee();
  std::shared_ptr<Pin> Input() const { return PinAt(0); }
  // The first output that is not connected.
  std::shared_ptr<Pin> FreeOutput() const;

  HRESULT CheckMediaType(const Pin& pin, const AM_MEDIA_TYPE& mt) const override;
  std::vector<AM_MEDIA_TYPE> GetMediaTypes(const Pin& pin) const override;
  HRESULT OnConnect(Pin& pin) override;
  HRESULT OnReceive(Pin& pin, MediaSample& sample) override;
  HRESULT OnEndOfStream(Pin& pin) override;

private:
  int nextIndex_ = 1;
};

// ---- renderers ---------------------------------------------------------------------------

class NullRenderer : public BaseFilter {
public:
  NullRenderer();
  std::shared_ptr<Pin> Input() const { return PinAt(0); }
  int64_t Samples() const { return samples_.load(); }
  REFERENCE_TIME LastStart() const { return lastStart_.load(); }
  HRESULT OnReceive(Pin& pin, MediaSample& sample) override;

private:
  std::atomic<int64_t> samples_{0};
  std::atomic<REFERENCE_TIME> lastStart_{-1};
};

// Shows video: for now it keeps the last frame, counts frames and keeps
// its window settings as data.
class VideoRenderer : public BaseFilter,
                      public IVideoWindow,
                      public IBasicVideo,
                      public IQualProp,
                      public IDirectDrawVideo,
                      public IOverlay,
                      public FrameStepTarget {
public:
  explicit VideoRenderer(const CLSID& clsid = CLSID_VideoRenderer);
  std::shared_ptr<Pin> Input() const { return PinAt(0); }
  int64_t FramesDrawn() const { return drawn_.load(); }
  // A copy of the last frame's bytes and its start time.
  std::vector<uint8_t> LastFrame(REFERENCE_TIME* start = nullptr) const;

  HRESULT CheckMediaType(const Pin& pin, const AM_MEDIA_TYPE& mt) const override;
  std::vector<AM_MEDIA_TYPE> GetMediaTypes(const Pin& pin) const override;
  HRESULT OnConnect(Pin& pin) override;
  HRESULT OnReceive(Pin& pin, MediaSample& sample) override;
  void BeginStep(DWORD frames) override;
  void CancelStep() override;

  // IVideoWindow
  HRESULT put_Caption(const std::string& caption) override;
  HRESULT get_Caption(std::string* caption) override;
  HRESULT put_WindowStyle(LONG style) override;
  HRESULT get_WindowStyle(LONG* style) override;
  HRESULT put_WindowStyleEx(LONG style) override;
  HRESULT get_WindowStyleEx(LONG* style) override;
  HRESULT put_AutoShow(LONG autoShow) override;
  HRESULT get_AutoShow(LONG* autoShow) override;
  HRESULT put_WindowState(LONG state) override;
  HRESULT get_WindowState(LONG* state) override;
  HRESULT put_Visible(LONG visible) override;
  HRESULT get_Visible(LONG* visible) override;
  HRESULT put_Left(LONG v) override;
  HRESULT get_Left(LONG* v) override;
  HRESULT put_Top(LONG v) override;
  HRESULT get_Top(LONG* v) override;
  HRESULT put_Width(LONG v) override;
  HRESULT get_Width(LONG* v) override;
  HRESULT put_Height(LONG v) override;
  HRESULT get_Height(LONG* v) override;
  HRESULT put_Owner(win::HWND owner) override;
  HRESULT get_Owner(win::HWND* owner) override;
  HRESULT put_MessageDrain(win::HWND drain) override;
  HRESULT get_MessageDrain(win::HWND* drain) override;
  HRESULT put_BorderColor(LONG color) override;
  HRESULT get_BorderColor(LONG* color) override;
  HRESULT put_FullScreenMode(LONG mode) override;
  HRESULT get_FullScreenMode(LONG* mode) override;
  HRESULT SetWindowForeground(LONG focus) override;
  HRESULT SetWindowPosition(LONG left, LONG top, LONG width, LONG height) override;
  HRESULT GetWindowPosition(LONG* left, LONG* top, LONG* width, LONG* height) override;
  HRESULT HideCursor(LONG hide) override;
  HRESULT IsCursorHidden(LONG* hidden) override;
  // IBasicVideo
  HRESULT get_AvgTimePerFrame(REFERENCE_TIME* t) override;
  HRESULT get_VideoWidth(LONG* w) override;
  HRESULT get_VideoHeight(LONG* h) override;
  HRESULT SetSourcePosition(LONG left, LONG top, LONG width, LONG height) override;
  HRESULT GetSourcePosition(LONG* left, LONG* top, LONG* width, LONG* height) override;
  HRESULT SetDefaultSourcePosition() override;
  HRESULT SetDestinationPosition(LONG left, LONG top, LONG width, LONG height) override;
  HRESULT GetDestinationPosition(LONG* left, LONG* top, LONG* width, LONG* height) override;
  HRESULT SetDefaultDestinationPosition() override;
  HRESULT GetVideoSize(LONG* width, LONG* height) override;
  HRESULT GetCurrentImage(LONG* pBufferSize, uint8_t* pDIBImage) override;
  // IQualProp
  HRESULT get_FramesDroppedInRenderer(int* pcFrames) override;
  HRESULT get_FramesDrawn(int* pcFramesDrawn) override;
  HRESULT get_AvgFrameRate(int* piAvgFrameRate) override;
  HRESULT get_Jitter(int* iJitter) override;
  HRESULT get_AvgSyncOffset(int* piAvg) override;
  HRESULT get_DevSyncOffset(int* piDev) override;
  // IDirectDrawVideo and IOverlay: accepted and kept.
  HRESULT SetSwitches(DWORD switches) override;
  HRESULT GetSwitches(DWORD* switches) override;
  HRESULT GetColorKey(COLORKEY* key) override;
  HRESULT SetColorKey(COLORKEY* key) override;

private:
  struct WindowData {
    std::string caption = "ActiveMovie Window";
    LONG style = 0, styleEx = 0, autoShow = OATRUE, state = 0, visible = OAFALSE;
    win::RECT position{0, 0, 0, 0};
    win::HWND owner = nullptr, drain = nullptr;
    LONG borderColor = 0, fullScreen = OAFALSE, cursorHidden = OAFALSE;
    win::RECT source{0, 0, 0, 0}, destination{0, 0, 0, 0};
    DWORD switches = 0;
    bool hasKey = false;
    COLORKEY key;
  };
  mutable std::mutex dataMutex_;
  WindowData window_;
  std::vector<uint8_t> last_;
  REFERENCE_TIME lastStart_ = 0;
  BITMAPINFOHEADER header_;
  REFERENCE_TIME avgTimePerFrame_ = 0;
  std::atomic<int64_t> drawn_{0};
  std::atomic<int64_t> notDrawn_{0};
  std::atomic<int64_t> stepLeft_{0};
};

// ---- the sample grabber ------------------------------------------------------------------

class ISampleGrabberCB {
public:
  virtual ~ISampleGrabberCB() = default;
  // SampleTime is the sample's start in seconds.
  virtual HRESULT SampleCB(double SampleTime, MediaSample* pSample) = 0;
  virtual HRESULT BufferCB(double SampleTime, uint8_t* pBuffer, LONG BufferLen) = 0;
};

class ISampleGrabber {
public:
  virtual ~ISampleGrabber() = default;
  // After one sample the grabber ends the stream and refuses the rest.
  virtual HRESULT SetOneShot(BOOL OneShot) = 0;
  // The type the input accepts; null fields are wildcards.
  virtual HRESULT SetMediaType(const AM_MEDIA_TYPE* pType) = 0;
  virtual HRESULT GetConnectedMediaType(AM_MEDIA_TYPE* pType) = 0;
  virtual HRESULT SetBufferSamples(BOOL BufferThem) = 0;
  // With a null buffer, the size needed; E_OUTOFMEMORY when *pBufferSize
  // is too small; VFW_E_WRONG_STATE before the first buffered sample.
  virtual HRESULT GetCurrentBuffer(LONG* pBufferSize, uint8_t* pBuffer) = 0;
  virtual HRESULT GetCurrentSample(MediaSample** ppSample) = 0;
  // WhichMethodToCallback: 0 SampleCB, 1 BufferCB.
  virtual HRESULT SetCallback(std::shared_ptr<ISampleGrabberCB> pCallback, LONG WhichMethodToCallback) = 0;
};

class SampleGrabber : public BaseFilter, public ISampleGrabber {
public:
  SampleGrabber();
  std::shared_ptr<Pin> Input() const { return PinAt(0); }
  std::shared_ptr<Pin> Output() const { return PinAt(1); }
  int64_t Samples() const { return samples_.load(); }

  HRESULT SetOneShot(BOOL OneShot) override;
  HRESULT SetMediaType(const AM_MEDIA_TYPE* pType) override;
  HRESULT GetConnectedMediaType(AM_MEDIA_TYPE* pType) override;
  HRESULT SetBufferSamples(BOOL BufferThem) override;
  HRESULT GetCurrentBuffer(LONG* pBufferSize, uint8_t* pBuffer) override;
  HRESULT GetCurrentSample(MediaSample** ppSample) override;
  HRESULT SetCallback(std::shared_ptr<ISampleGrabberCB> pCallback, LONG WhichMethodToCallback) override;

  HRESULT CheckMediaType(const Pin& pin, const AM_MEDIA_TYPE& mt) const override;
  std::vector<AM_MEDIA_TYPE> GetMediaTypes(const Pin& pin) const override;
  HRESULT OnReceive(Pin& pin, MediaSample& sample) override;
  HRESULT OnEndOfStream(Pin& pin) override;
  HRESULT Run(REFERENCE_TIME tStart) override;
  bool IsRenderer() const override;

private:
  mutable std::mutex grabMutex_;
  AM_MEDIA_TYPE wanted_;
  bool oneShot_ = false;
  bool shotTaken_ = false;
  bool buffer_ = false;
  bool hasBuffer_ = false;
  std::vector<uint8_t> buffered_;
  std::shared_ptr<ISampleGrabberCB> callback_;
  LONG method_ = 0;
  std::atomic<int64_t> samples_{0};
};

// ---- colour space converter -----------------------------------------------------------------

// Converts uncompressed video (YUV or RGB) to RGB32, RGB24, RGB565 or
// RGB555 of the same size, turning top-down input into bottom-up bitmaps.
class ColorSpaceConverter : public BaseFilter {
public:
  ColorSpaceConverter();
  ~ColorSpaceConverter() override;
  std::shared_ptr<Pin> Input() const { return PinAt(0); }
  std::shared_ptr<Pin> Output() const { return PinAt(1); }

  HRESULT CheckMediaType(const Pin& pin, const AM_MEDIA_TYPE& mt) const override;
  std::vector<AM_MEDIA_TYPE> GetMediaTypes(const Pin& pin) const override;
  HRESULT OnConnect(Pin& pin) override;
  void OnDisconnect(Pin& pin) override;
  HRESULT OnReceive(Pin& pin, MediaSample& sample) override;
  HRESULT OnEndOfStream(Pin& pin) override;

  struct Converter;

private:
  std::unique_ptr<Converter> converter_;  // used on the streaming thread only
};

// ---- file output stand-ins -------------------------------------------------------------------

// The AVI mux until the real one registers: inputs with stream control
// (always one free), one stream output, and its settings kept as data.
class AviMuxStandIn : public BaseFilter, public IConfigAviMux, public IConfigInterleaving {
public:
  AviMuxStandIn();
  std::shared_ptr<Pin> Output() const { return PinAt(0); }
  int64_t SamplesIn() const { return samples_.load(); }

  HRESULT SetMasterStream(LONG iStream) override;
  HRESULT GetMasterStream(LONG* pStream) override;
  HRESULT SetOutputCompatibilityIndex(BOOL fOldIndex) override;
  HRESULT GetOutputCompatibilityIndex(BOOL* pfOldIndex) override;
  HRESULT put_Mode(InterleavingMode mode) override;
  HRESULT get_Mode(InterleavingMode* pMode) override;
  HRESULT put_Interleaving(const REFERENCE_TIME* prtInterleave, const REFERENCE_TIME* prtPreroll) override;
  HRESULT get_Interleaving(REFERENCE_TIME* prtInterleave, REFERENCE_TIME* prtPreroll) override;

  HRESULT CheckMediaType(const Pin& pin, const AM_MEDIA_TYPE& mt) const override;
  std::vector<AM_MEDIA_TYPE> GetMediaTypes(const Pin& pin) const override;
  HRESULT OnConnect(Pin& pin) override;
  HRESULT OnReceive(Pin& pin, MediaSample& sample) override;
  HRESULT OnEndOfStream(Pin& pin) override;

private:
  std::mutex settingsMutex_;
  LONG master_ = -1;
  BOOL oldIndex_ = 1;
  InterleavingMode mode_ = INTERLEAVE_CAPTURE;
  REFERENCE_TIME interleave_ = UNITS, preroll_ = 0;
  int nextIndex_ = 1;
  std::atomic<int64_t> samples_{0};
};

// Writes the bytes it receives, in order, to its file.
class FileWriter : public BaseFilter, public IFileSinkFilter {
public:
  FileWriter();
  ~FileWriter() override;
  HRESULT SetFileName(const std::string& pszFileName, const AM_MEDIA_TYPE* pmt) override;
  HRESULT GetCurFile(std::string* ppszFileName, AM_MEDIA_TYPE* pmt) override;
  HRESULT CheckMediaType(const Pin& pin, const AM_MEDIA_TYPE& mt) const override;
  HRESULT Pause() override;
  HRESULT Stop() override;
  HRESULT OnReceive(Pin& pin, MediaSample& sample) override;

private:
  std::mutex fileMutex_;
  std::string path_;
  std::FILE* file_ = nullptr;
};

// The ASF writer until the real one registers: an audio and a video input
// and a file name.
class AsfWriterStandIn : public BaseFilter, public IFileSinkFilter {
public:
  AsfWriterStandIn();
  HRESULT CheckMediaType(const Pin& pin, const AM_MEDIA_TYPE& mt) const override;
  HRESULT SetFileName(const std::string& pszFileName, const AM_MEDIA_TYPE* pmt) override;
  HRESULT GetCurFile(std::string* ppszFileName, AM_MEDIA_TYPE* pmt) override;

private:
  std::mutex fileMutex_;
  std::string path_;
};

}  // namespace mg
