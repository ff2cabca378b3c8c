#pragma once
// Video capture devices through V4L2: what a device node offers (formats,
// sizes and frame rates, controls, inputs, standards, a tuner) read once
// when it is opened, and the filters made from it: the capture filter with
// its stream config, proc amp, camera and video control, dropped-frame
// counts and analog decoder; and, for a card with several inputs or a
// tuner, a crossbar and a TV tuner upstream of it, as the graph builder
// expects to find them.
#include <atomic>
#include <cstdint>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "platform/mg/Filter.h"
#include "platform/mg/Scheduler.h"
#include "platform/mg/v4l2/V4l2Io.h"

namespace mg::v4l2 {

inline constexpr GUID CLSID_V4l2Capture = MakeGuid(0x5E1C0101, 0x7A3D, 0x4C21, 0x9B, 0x51, 0x56, 0x4F, 0x52, 0x49, 0x58, 0x02);
inline constexpr GUID CLSID_V4l2Crossbar = MakeGuid(0x5E1C0102, 0x7A3D, 0x4C21, 0x9B, 0x51, 0x56, 0x4F, 0x52, 0x49, 0x58, 0x02);
inline constexpr GUID CLSID_V4l2Tuner = MakeGuid(0x5E1C0103, 0x7A3D, 0x4C21, 0x9B, 0x51, 0x56, 0x4F, 0x52, 0x49, 0x58, 0x02);

// One frame format at one size, with the frame intervals (100 ns) the
// driver offers for it, shortest first.
struct FormatSize {
  GUID subtype;
  uint32_t fourcc = 0;
  int width = 0;
  int height = 0;
  std::vector<REFERENCE_TIME> intervals;
};

struct InputInfo {
  std::string name;
  bool tuner = false;
  bool sVideo = false;
  uint32_t audioset = 0;
};

struct AudioInputInfo {
  std::string name;
  uint32_t index = 0;
};

// What a device node answered when it was probed.
struct DeviceInfo {
  std::string path;
  std::string driver, card, busInfo;
  uint32_t capabilities = 0;  // the node's own (device_caps when given)
  std::vector<FormatSize> formats;
  std::vector<InputInfo> inputs;
  std::vector<AudioInputInfo> audioInputs;
  uint64_t standards = 0;  // V4L2 standard bits of every ENUMSTD entry
  bool hasTuner = false;
  uint32_t tunerIndex = 0;
  uint32_t tunerCapability = 0;
  uint32_t rangeLow = 0, rangeHigh = 0;
};

// Frame intervals outside this are driver noise and are not offered.
inline constexpr REFERENCE_TIME kShortestInterval = 10'000;      // 1000 frames a second
inline constexpr REFERENCE_TIME kLongestInterval = 100'000'000;  // one frame in 10 s
// Sizes outside 1..kLargestSide are not offered.
inline constexpr int kLargestSide = 16384;

// Whether the node is a video capture device, and its card name and bus.
bool QueryCaptureNode(V4l2Io& io, const std::string& path, DeviceInfo* info);
// The whole description of a capture node; false when it is none.
bool ProbeDevice(V4l2Io& io, const std::string& path, DeviceInfo* info);
// The media subtype of a V4L2 pixel format, GUID_NULL for one we do not carry.
GUID SubtypeOfFourcc(uint32_t fourcc);
// The analog-standard bits of V4L2 standard bits, and back.
LONG AnalogStandardsOf(uint64_t v4l2Std);
uint64_t V4l2StandardOf(LONG analogStandard);

// The open device node the filters of one device share. A node whose
// device went away answers every call with -ENODEV from then on.
class DeviceNode {
public:
  DeviceNode(std::shared_ptr<V4l2Io> io, int fd, std::shared_ptr<std::atomic<bool>> present);
  ~DeviceNode();
  DeviceNode(const DeviceNode&) = delete;
  DeviceNode& operator=(const DeviceNode&) = delete;
  int Ioctl(unsigned long request, void* arg);
  V4l2Io& Io() { return *io_; }
  int Fd() const { return fd_; }
  bool Present() const { return present_->load() && !gone_.load(); }
  void MarkGone() { gone_.store(true); }

private:
  std::shared_ptr<V4l2Io> io_;
  int fd_;
  std::shared_ptr<std::atomic<bool>> present_;
  std::atomic<bool> gone_{false};
};

class V4l2CaptureFilter;

class V4l2CapturePin : public ControlledOutputPin, public IAMStreamConfig {
public:
  explicit V4l2CapturePin(V4l2CaptureFilter* owner);
  HRESULT SetFormat(const AM_MEDIA_TYPE* pmt) override;
  HRESULT GetFormat(AM_MEDIA_TYPE* pmt) override;
  HRESULT GetNumberOfCapabilities(int* piCount, int* piSize) override;
  HRESULT GetStreamCaps(int iIndex, AM_MEDIA_TYPE* pmt, uint8_t* pSCC) override;

private:
  V4l2CaptureFilter* filter_;
};

class V4l2Crossbar;
class V4l2Tuner;

class V4l2CaptureFilter : public BaseFilter,
                          public StreamSource,
                          public IAMDroppedFrames,
                          public IAMVideoProcAmp,
                          public IAMVideoControl {
public:
  // The filter with its crossbar and tuner (when the device has them)
  // made and connected upstream; nullptr when the node cannot be opened.
  static std::shared_ptr<V4l2CaptureFilter> Create(std::shared_ptr<V4l2Io> io, const DeviceInfo& info,
                                                   std::shared_ptr<std::atomic<bool>> present);
  V4l2CaptureFilter(std::shared_ptr<DeviceNode> node, DeviceInfo info);
  ~V4l2CaptureFilter() override;

  const DeviceInfo& Info() const { return info_; }
  std::shared_ptr<Pin> Output() const { return PinAt(0); }
  std::shared_ptr<V4l2Crossbar> Crossbar() const { return crossbar_; }
  std::shared_ptr<V4l2Tuner> Tuner() const { return tuner_; }
  AM_MEDIA_TYPE CurrentFormat() const;
  HRESULT AcceptsFormat(const AM_MEDIA_TYPE& mt) const;
  // Sets the device to the type (format, size, frame interval).
  HRESULT ApplyFormat(const AM_MEDIA_TYPE& mt);
  void MarkFormatSet();

  // BaseFilter / StreamSource
  HRESULT Pause() override;
  HRESULT Stop() override;
  HRESULT PushOne(REFERENCE_TIME streamTime) override;
  REFERENCE_TIME FramePeriod() const override;
  HRESULT CheckMediaType(const Pin& pin, const AM_MEDIA_TYPE& mt) const override;
  std::vector<AM_MEDIA_TYPE> GetMediaTypes(const Pin& pin) const override;
  HRESULT OnConnect(Pin& pin) override;
  ALLOCATOR_PROPERTIES DecideBufferSize(const Pin& pin) const override;

  // IAMDroppedFrames: frames the driver skipped (sequence gaps), flagged
  // as bad, or that came short, and those the graph could not take.
  HRESULT GetNumDropped(LONG* plDropped) override;
  HRESULT GetNumNotDropped(LONG* plNotDropped) override;
  HRESULT GetDroppedInfo(LONG lSize, LONG* plArray, LONG* plNumCopied) override;
  HRESULT GetAverageFrameSize(LONG* plAverageSize) override;

  // IAMVideoProcAmp over the V4L2 picture controls.
  HRESULT GetRange(LONG Property, LONG* pMin, LONG* pMax, LONG* pSteppingDelta, LONG* pDefault,
                   LONG* pCapsFlags) override;
  HRESULT Set(LONG Property, LONG lValue, LONG Flags) override;
  HRESULT Get(LONG Property, LONG* lValue, LONG* Flags) override;

  // IAMVideoControl: horizontal and vertical flips.
  HRESULT GetCaps(Pin* pPin, LONG* pCapsFlags) override;
  HRESULT SetMode(Pin* pPin, LONG Mode) override;
  HRESULT GetMode(Pin* pPin, LONG* Mode) override;
  HRESULT GetCurrentActualFrameRate(Pin* pPin, int64_t* ActualFrameRate) override;

  // Camera control (also reachable as IAMCameraControl when the device has one).
  HRESULT GetCameraRange(LONG p, LONG* pMin, LONG* pMax, LONG* pStep, LONG* pDefault, LONG* pCaps);
  HRESULT SetCamera(LONG p, LONG value, LONG flags);
  HRESULT GetCamera(LONG p, LONG* value, LONG* flags);
  bool HasCameraControls();

  // The analog decoder (reachable as IAMAnalogVideoDecoder when the
  // device knows standards).
  HRESULT DecoderAvailableFormats(LONG* formats);
  HRESULT DecoderPutFormat(LONG format);
  HRESULT DecoderGetFormat(LONG* format);
  HRESULT DecoderHorizontalLocked(LONG* locked);
  HRESULT DecoderNumberOfLines(LONG* lines);
  void DecoderPutVcrLocking(LONG v) { vcrLocking_.store(v); }
  LONG DecoderVcrLocking() const { return vcrLocking_.load(); }
  void DecoderPutOutputEnable(LONG v) { outputEnable_.store(v); }
  LONG DecoderOutputEnable() const { return outputEnable_.load(); }

  std::shared_ptr<DeviceNode> Node() const { return node_; }

protected:
  std::shared_ptr<Object> QueryDelegate(const std::type_info& type) override;

private:
  struct Buffer {
    void* address = nullptr;
    size_t length = 0;
  };
  HRESULT StartStreaming();
  void StopStreaming();
  void ReportLost();
  // Copies a driver frame into `out` as the media type lays it out; the
  // bytes written, 0 when the frame is short or does not fit.
  uint32_t CopyFrame(const uint8_t* data, size_t used, uint8_t* out, size_t room) const;
  const FormatSize* FindFormat(const GUID& subtype, int width, int height) const;
  REFERENCE_TIME ActualInterval(REFERENCE_TIME wanted) const;

  std::shared_ptr<DeviceNode> node_;
  DeviceInfo info_;
  AM_MEDIA_TYPE current_;
  uint32_t bytesPerLine_ = 0;
  bool formatSet_ = false;
  std::shared_ptr<V4l2Crossbar> crossbar_;
  std::shared_ptr<V4l2Tuner> tuner_;
  LONG analogStandard_ = 0;
  std::atomic<int> cameraControls_{-1};  // unknown until asked
  // Kept for the decoder: drivers expose neither.
  std::atomic<LONG> vcrLocking_{0};
  std::atomic<LONG> outputEnable_{1};

  // streaming (streaming thread, and Pause/Stop)
  std::mutex streamMutex_;
  std::vector<Buffer> buffers_;
  bool streaming_ = false;
  bool haveSequence_ = false;
  uint32_t lastSequence_ = 0;
  bool lostSent_ = false;
  std::atomic<int64_t> delivered_{0};
  std::atomic<int64_t> dropped_{0};
  std::atomic<int64_t> bytes_{0};
  std::mutex dropMutex_;
  std::vector<LONG> dropIndexes_;
  int64_t frameIndex_ = 0;
};

// A crossbar made of the device's video inputs (ENUMINPUT) and audio
// inputs (ENUMAUDIO): output 0 feeds the decoder, output 1 (when there are
// audio inputs) the sound.
class V4l2Crossbar : public BaseFilter, public IAMCrossbar {
public:
  V4l2Crossbar(std::shared_ptr<DeviceNode> node, const DeviceInfo& info);
  std::shared_ptr<Pin> InputPin(size_t i) const { return PinAt(i); }
  std::shared_ptr<Pin> OutputPin(size_t i) const { return PinAt(inputCount_ + i); }
  // The input pin of the device's tuner input, or nullptr.
  std::shared_ptr<Pin> TunerInputPin() const;

  HRESULT get_PinCounts(LONG* OutputPinCount, LONG* InputPinCount) override;
  HRESULT CanRoute(LONG OutputPinIndex, LONG InputPinIndex) override;
  HRESULT Route(LONG OutputPinIndex, LONG InputPinIndex) override;
  HRESULT get_IsRoutedTo(LONG OutputPinIndex, LONG* InputPinIndex) override;
  HRESULT get_CrossbarPinInfo(BOOL IsInputPin, LONG PinIndex, LONG* PinIndexRelated, LONG* PhysicalType) override;
  HRESULT CheckMediaType(const Pin& pin, const AM_MEDIA_TYPE& mt) const override;
  std::vector<AM_MEDIA_TYPE> GetMediaTypes(const Pin& pin) const override;

private:
  struct Row {
    LONG physicalType;
    LONG related;
    uint32_t v4l2Index;  // input or audio index
    bool video;
  };
  std::shared_ptr<DeviceNode> node_;
  std::vector<Row> inputs_;
  std::vector<Row> outputs_;
  size_t inputCount_ = 0;
  size_t videoInputs_ = 0;
};

// The TV tuner: channels through the media graph's channel plans, tuned
// with S_FREQUENCY; the signal from G_TUNER; the sound's mode (mono,
// stereo, the two languages) as the tuner's audio mode.
class V4l2Tuner : public BaseFilter, public TvOnlyTuner, public IAMTVAudio {
public:
  V4l2Tuner(std::shared_ptr<DeviceNode> node, const DeviceInfo& info);
  HRESULT put_Channel(LONG lChannel, LONG lVideoSubChannel, LONG lAudioSubChannel) override;
  HRESULT get_Channel(LONG* plChannel, LONG* plVideoSubChannel, LONG* plAudioSubChannel) override;
  HRESULT ChannelMinMax(LONG* lChannelMin, LONG* lChannelMax) override;
  HRESULT put_CountryCode(LONG lCountryCode) override;
  HRESULT get_CountryCode(LONG* plCountryCode) override;
  HRESULT put_TuningSpace(LONG lTuningSpace) override;
  HRESULT get_TuningSpace(LONG* plTuningSpace) override;
  HRESULT SignalPresent(LONG* plSignalStrength) override;
  HRESULT get_AvailableTVFormats(LONG* lAnalogVideoStandard) override;
  HRESULT get_TVFormat(LONG* plAnalogVideoStandard) override;
  HRESULT AutoTune(LONG lChannel, LONG* plFoundSignal) override;
  HRESULT StoreAutoTune() override;
  HRESULT get_NumInputConnections(LONG* plNumInputConnections) override;
  HRESULT put_InputType(LONG lIndex, TunerInputType InputType) override;
  HRESULT get_InputType(LONG lIndex, TunerInputType* pInputType) override;
  HRESULT put_ConnectInput(LONG lIndex) override;
  HRESULT get_ConnectInput(LONG* plIndex) override;
  HRESULT get_VideoFrequency(LONG* lFreq) override;
  HRESULT get_AudioFrequency(LONG* lFreq) override;
  HRESULT GetHardwareSupportedTVAudioModes(LONG* plModes) override;
  HRESULT GetAvailableTVAudioModes(LONG* plModes) override;
  HRESULT get_TVAudioMode(LONG* plMode) override;
  HRESULT put_TVAudioMode(LONG lMode) override;
  HRESULT CheckMediaType(const Pin& pin, const AM_MEDIA_TYPE& mt) const override;
  std::vector<AM_MEDIA_TYPE> GetMediaTypes(const Pin& pin) const override;

  // Frequency in Hz the tuner is set to now (G_FREQUENCY), 0 when unknown.
  LONG TunedFrequency();

private:
  HRESULT TuneTo(LONG hz);
  std::shared_ptr<DeviceNode> node_;
  DeviceInfo info_;
  std::mutex mutex_;
  LONG channel_ = 0;
  LONG country_ = 1;
  LONG tuningSpace_ = 1;
  TunerInputType inputType_ = TunerInputCable;
  std::vector<std::pair<LONG, LONG>> found_;  // channel, frequency
};

}  // namespace mg::v4l2
