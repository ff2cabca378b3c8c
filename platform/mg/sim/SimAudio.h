#pragma once
// The sine-tone sound card. Each input plays its own tone, so a test can
// tell from the samples which input was recorded and at what level and
// balance. The five-input card counts as a sound card (more than four
// inputs); the four-input variant does not.
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

#include "platform/mg/Filter.h"
#include "platform/mg/Scheduler.h"
#include "platform/mg/sim/SimVideo.h"

namespace mg::sim {

inline constexpr GUID CLSID_SimAudio = MakeGuid(0x5E1C0002, 0x7A3D, 0x4C21, 0x9B, 0x51, 0x56, 0x4F, 0x52, 0x49, 0x58, 0x01);

struct AudioOptions {
  bool fourInputs = false;
  // The format the card starts with; 44.1 kHz 16-bit stereo PCM unless set
  // (a non-PCM format delivers silence of that format).
  std::optional<AM_MEDIA_TYPE> initial;
};

// The inputs and their tones in Hz: Line 440, Microphone 880, CD 1320, Aux 1760, Video 2200.
struct AudioInputSpec {
  const char* name;
  double frequency;
};
const std::vector<AudioInputSpec>& AudioInputs();
// The PCM formats the card offers: 8000..48000 Hz x 8/16 bits x mono/stereo.
std::vector<AM_MEDIA_TYPE> AudioFormats();
// The stream-config answers over those formats, for every audio capture pin.
HRESULT AudioFormatCount(int* count, int* size);
HRESULT AudioFormatCaps(int index, AM_MEDIA_TYPE* pmt, uint8_t* scc);

// Mixer settings as kept by an input pin and by the card itself.
struct MixerSettings {
  bool enable = false;
  bool mono = false;
  double level = 1.0;
  double pan = 0.0;
  bool loudness = false;
  double treble = 0.0;
  double bass = 0.0;
};

// Implements IAMAudioInputMixer over a MixerSettings guarded by a mutex.
class MixerControl : public IAMAudioInputMixer {
public:
  HRESULT put_Enable(BOOL fEnable) override;
  HRESULT get_Enable(BOOL* pfEnable) override;
  HRESULT put_Mono(BOOL fMono) override;
  HRESULT get_Mono(BOOL* pfMono) override;
  HRESULT put_MixLevel(double Level) override;
  HRESULT get_MixLevel(double* pLevel) override;
  HRESULT put_Pan(double Pan) override;
  HRESULT get_Pan(double* pPan) override;
  HRESULT put_Loudness(BOOL fLoudness) override;
  HRESULT get_Loudness(BOOL* pfLoudness) override;
  HRESULT put_Treble(double Treble) override;
  HRESULT get_Treble(double* pTreble) override;
  HRESULT put_Bass(double Bass) override;
  HRESULT get_Bass(double* pBass) override;

  MixerSettings Snapshot() const;
  void SetEnabledQuietly(bool enable);

protected:
  // Called after put_Enable(TRUE) so the card can make the input exclusive.
  virtual void OnEnabled() {}

private:
  mutable std::mutex mutex_;
  MixerSettings s_;
};

class SimAudioCard;

class SimAudioInputPin : public Pin, public MixerControl {
public:
  SimAudioInputPin(SimAudioCard* card, std::string name, double frequency);
  double Frequency() const { return frequency_; }

protected:
  void OnEnabled() override;

private:
  SimAudioCard* card_;
  double frequency_;
};

class SimAudioOutputPin : public ControlledOutputPin, public IAMStreamConfig {
public:
  explicit SimAudioOutputPin(SimAudioCard* card);
  HRESULT SetFormat(const AM_MEDIA_TYPE* pmt) override;
  HRESULT GetFormat(AM_MEDIA_TYPE* pmt) override;
  HRESULT GetNumberOfCapabilities(int* piCount, int* piSize) override;
  HRESULT GetStreamCaps(int iIndex, AM_MEDIA_TYPE* pmt, uint8_t* pSCC) override;

private:
  SimAudioCard* card_;
};

class SimAudioCard : public BaseFilter, public StreamSource, public MixerControl, public ISpecifyPropertyPages {
public:
  // Samples per buffer: a tenth of a second.
  static constexpr REFERENCE_TIME kBufferPeriod = UNITS / 10;

  SimAudioCard(std::shared_ptr<DevicePresence> presence, const AudioOptions& options);

  std::shared_ptr<Pin> Output() const;
  std::vector<std::shared_ptr<SimAudioInputPin>> InputPins() const;
  AM_MEDIA_TYPE CurrentFormat() const;
  HRESULT ApplyFormat(const AM_MEDIA_TYPE& mt);
  // Writes buffer `index` of the current format; returns the bytes.
  uint32_t RenderBuffer(int64_t index, uint8_t* out, uint32_t room) const;
  // Makes `pin` the only enabled input (the card records one input at a time).
  void SelectOnly(const SimAudioInputPin* pin);

  HRESULT PushOne(REFERENCE_TIME streamTime) override;
  REFERENCE_TIME FramePeriod() const override { return kBufferPeriod; }
  HRESULT CheckMediaType(const Pin& pin, const AM_MEDIA_TYPE& mt) const override;
  std::vector<AM_MEDIA_TYPE> GetMediaTypes(const Pin& pin) const override;
  HRESULT OnConnect(Pin& pin) override;
  ALLOCATOR_PROPERTIES DecideBufferSize(const Pin& pin) const override;
  HRESULT Stop() override;
  // The recorded input and its level in percent.
  HRESULT GetPages(std::vector<PropertyPage>* pPages) override;

private:
  std::shared_ptr<DevicePresence> presence_;
  AM_MEDIA_TYPE current_;
  AM_MEDIA_TYPE configured_;
  std::atomic<int64_t> buffers_{0};
  bool lostSent_ = false;
};

}  // namespace mg::sim
