#pragma once
// The simulated TV card: a capture filter with an analog video decoder,
// fed through a video crossbar (tuner, two composite and an S-Video input,
// and the matching audio inputs) with an audio crossbar and the TV audio
// filter further up, and a tuner whose configured channels carry a signal.
// The card keeps its upstream filters connected to its own input, so the
// capture graph builder finds them upstream of the capture filter as on a
// real card.
#include <memory>
#include <mutex>
#include <set>
#include <string>
#include <vector>

#include "platform/mg/TvChannels.h"
#include "platform/mg/sim/SimVideo.h"

namespace mg::sim {

inline constexpr GUID CLSID_SimTvCapture = MakeGuid(0x5E1C0003, 0x7A3D, 0x4C21, 0x9B, 0x51, 0x56, 0x4F, 0x52, 0x49, 0x58, 0x01);
inline constexpr GUID CLSID_SimTvTuner = MakeGuid(0x5E1C0004, 0x7A3D, 0x4C21, 0x9B, 0x51, 0x56, 0x4F, 0x52, 0x49, 0x58, 0x01);
inline constexpr GUID CLSID_SimCrossbar = MakeGuid(0x5E1C0005, 0x7A3D, 0x4C21, 0x9B, 0x51, 0x56, 0x4F, 0x52, 0x49, 0x58, 0x01);
inline constexpr GUID CLSID_SimTvAudio = MakeGuid(0x5E1C0006, 0x7A3D, 0x4C21, 0x9B, 0x51, 0x56, 0x4F, 0x52, 0x49, 0x58, 0x01);
inline constexpr GUID MEDIASUBTYPE_AnalogVideo_NTSC_M =
    MakeGuid(0x0482DDE2, 0x7817, 0x11CF, 0x8A, 0x03, 0x00, 0xAA, 0x00, 0x6E, 0xCB, 0x65);

// TV audio modes.
inline constexpr LONG AMTVAUDIO_MODE_MONO = 0x0001;
inline constexpr LONG AMTVAUDIO_MODE_STEREO = 0x0002;
inline constexpr LONG AMTVAUDIO_MODE_LANG_A = 0x0010;
inline constexpr LONG AMTVAUDIO_MODE_LANG_B = 0x0020;
inline constexpr LONG AMTVAUDIO_MODE_LANG_C = 0x0040;

// Standards the decoder and tuner offer.
inline constexpr LONG kSimTvFormats = AnalogVideo_NTSC_M | AnalogVideo_PAL_B | AnalogVideo_SECAM_L;

struct TvOptions {
  // Channels that carry a signal; the others show snow.
  std::set<LONG> signalChannels = {3, 4, 10, 21, 35};
  // The channel range the tuner reports and accepts.
  LONG minChannel = 2;
  LONG maxChannel = 69;
};

// The tuner takes its frequencies from the media graph's channel plans.
using mg::TvChannelFrequency;
// The registry key (under HKEY_LOCAL_MACHINE) of a tuning space and input type.
std::string AutoTuneKey(LONG tuningSpace, TunerInputType input);

// What the card's filters share: tuning, routing and the decoder's standard.
struct TvState {
  std::mutex mutex;
  TvOptions options;
  LONG channel = 3;
  LONG country = 1;
  LONG tuningSpace = 1;
  TunerInputType inputType = TunerInputCable;
  LONG tvFormat = AnalogVideo_NTSC_M;
  LONG videoInput = 0;  // the video crossbar input routed to the decoder, -1 none
  LONG audioMode = AMTVAUDIO_MODE_STEREO;
  std::set<LONG> autoTuned;
};

// A crossbar with a fixed pin table. Video inputs route to video outputs
// and audio inputs to audio outputs.
class SimCrossbar : public BaseFilter, public IAMCrossbar, public ISpecifyPropertyPages {
public:
  struct PinSpec {
    std::string name;
    LONG physicalType;
    LONG related;
  };
  SimCrossbar(std::vector<PinSpec> inputs, std::vector<PinSpec> outputs, std::vector<LONG> initialRoutes,
              std::shared_ptr<TvState> state, bool drivesPicture);

  std::shared_ptr<Pin> InputPin(size_t i) const { return PinAt(i); }
  std::shared_ptr<Pin> OutputPin(size_t i) const { return PinAt(inputs_.size() + i); }

  HRESULT get_PinCounts(LONG* OutputPinCount, LONG* InputPinCount) override;
  HRESULT CanRoute(LONG OutputPinIndex, LONG InputPinIndex) override;
  HRESULT Route(LONG OutputPinIndex, LONG InputPinIndex) override;
  HRESULT get_IsRoutedTo(LONG OutputPinIndex, LONG* InputPinIndex) override;
  HRESULT get_CrossbarPinInfo(BOOL IsInputPin, LONG PinIndex, LONG* PinIndexRelated, LONG* PhysicalType) override;
  // One choice per output: the input routed to it.
  HRESULT GetPages(std::vector<PropertyPage>* pPages) override;
  HRESULT CheckMediaType(const Pin& pin, const AM_MEDIA_TYPE& mt) const override;
  std::vector<AM_MEDIA_TYPE> GetMediaTypes(const Pin& pin) const override;

private:
  std::vector<PinSpec> inputs_, outputs_;
  std::vector<LONG> routes_;
  std::shared_ptr<TvState> state_;
  bool drivesPicture_;
};

class SimTvTuner : public BaseFilter, public TvOnlyTuner, public ISpecifyPropertyPages {
public:
  explicit SimTvTuner(std::shared_ptr<TvState> state);
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
  // Channel, country and input type.
  HRESULT GetPages(std::vector<PropertyPage>* pPages) override;
  HRESULT CheckMediaType(const Pin& pin, const AM_MEDIA_TYPE& mt) const override;
  std::vector<AM_MEDIA_TYPE> GetMediaTypes(const Pin& pin) const override;

private:
  LONG FrequencyLocked() const;
  std::shared_ptr<TvState> state_;
};

class SimTvAudio : public BaseFilter, public IAMTVAudio {
public:
  explicit SimTvAudio(std::shared_ptr<TvState> state);
  HRESULT GetHardwareSupportedTVAudioModes(LONG* plModes) override;
  HRESULT GetAvailableTVAudioModes(LONG* plModes) override;
  HRESULT get_TVAudioMode(LONG* plMode) override;
  HRESULT put_TVAudioMode(LONG lMode) override;
  HRESULT CheckMediaType(const Pin& pin, const AM_MEDIA_TYPE& mt) const override;
  std::vector<AM_MEDIA_TYPE> GetMediaTypes(const Pin& pin) const override;

private:
  std::shared_ptr<TvState> state_;
};

class SimTvCapture : public SimVideoSource, public IAMAnalogVideoDecoder {
public:
  // The card with its upstream filters made and connected.
  static std::shared_ptr<SimTvCapture> Create(std::shared_ptr<DevicePresence> presence, const TvOptions& options);
  SimTvCapture(std::shared_ptr<DevicePresence> presence, std::shared_ptr<TvState> state);
  ~SimTvCapture() override;

  std::shared_ptr<Pin> AnalogInput() const { return PinAt(1); }
  std::shared_ptr<SimCrossbar> VideoCrossbar() const { return videoCrossbar_; }
  std::shared_ptr<SimCrossbar> AudioCrossbar() const { return audioCrossbar_; }
  std::shared_ptr<SimTvTuner> Tuner() const { return tuner_; }
  std::shared_ptr<SimTvAudio> TvAudio() const { return tvAudio_; }
  // Whether the decoder sees a picture it can lock to now.
  bool Locked() const;

  HRESULT get_AvailableTVFormats(LONG* lAnalogVideoStandard) override;
  HRESULT put_TVFormat(LONG lAnalogVideoStandard) override;
  HRESULT get_TVFormat(LONG* plAnalogVideoStandard) override;
  HRESULT get_HorizontalLocked(LONG* plLocked) override;
  HRESULT put_VCRHorizontalLocking(LONG lVCRHorizontalLocking) override;
  HRESULT get_VCRHorizontalLocking(LONG* plVCRHorizontalLocking) override;
  HRESULT get_NumberOfLines(LONG* plNumberOfLines) override;
  HRESULT put_OutputEnable(LONG lOutputEnable) override;
  HRESULT get_OutputEnable(LONG* plOutputEnable) override;

  HRESULT CheckMediaType(const Pin& pin, const AM_MEDIA_TYPE& mt) const override;
  std::vector<AM_MEDIA_TYPE> GetMediaTypes(const Pin& pin) const override;

protected:
  void DrawScene(int64_t index, const PictureSettings& settings, RgbImage& image) override;
  std::string Caption() const override;

private:
  std::shared_ptr<TvState> state_;
  std::shared_ptr<SimCrossbar> videoCrossbar_, audioCrossbar_;
  std::shared_ptr<SimTvTuner> tuner_;
  std::shared_ptr<SimTvAudio> tvAudio_;
  LONG vcrLocking_ = 0;
  LONG outputEnable_ = 1;
};

}  // namespace mg::sim
