#pragma once
// Sound capture through ALSA: every card's capture PCM is an audio capture
// device ("@alsa:hw:N,M", opened through plughw so every PCM format of the
// stream config is taken), its mixer's capture sources are the filter's
// input pins with the input mixer (enable, level and balance on the capture
// volume, mono by copying the channels in the filter).
#include <atomic>
#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "platform/mg/Devices.h"
#include "platform/mg/Filter.h"
#include "platform/mg/Scheduler.h"

namespace mg::alsa {

inline constexpr GUID CLSID_AlsaCapture = MakeGuid(0x5E1C0201, 0x7A3D, 0x4C21, 0x9B, 0x51, 0x56, 0x4F, 0x52, 0x49, 0x58, 0x02);

struct CaptureCard {
  std::string pcm;    // what snd_pcm_open is given ("plughw:0,0", or a configured PCM)
  std::string id;     // the device's name in display names ("hw:0,0")
  std::string name;   // what the user sees
  std::string mixer;  // the control device of its mixer ("hw:0"), empty for none
};

// The capture PCMs of the sound cards present now.
std::vector<CaptureCard> ListCaptureCards();

class AlsaCaptureFilter;

// One capture source of the card's mixer.
class AlsaInputPin : public Pin, public IAMAudioInputMixer {
public:
  AlsaInputPin(AlsaCaptureFilter* owner, std::string name, int source);
  HRESULT put_Enable(BOOL fEnable) override;
  HRESULT get_Enable(BOOL* pfEnable) override;
  HRESULT put_Mono(BOOL fMono) override;
  HRESULT get_Mono(BOOL* pfMono) override;
  HRESULT put_MixLevel(double Level) override;
  HRESULT get_MixLevel(double* pLevel) override;
  HRESULT put_Pan(double Pan) override;
  HRESULT get_Pan(double* pPan) override;
  HRESULT put_Loudness(BOOL) override { return E_NOTIMPL; }
  HRESULT get_Loudness(BOOL*) override { return E_NOTIMPL; }
  HRESULT put_Treble(double) override { return E_NOTIMPL; }
  HRESULT get_Treble(double*) override { return E_NOTIMPL; }
  HRESULT put_Bass(double) override { return E_NOTIMPL; }
  HRESULT get_Bass(double*) override { return E_NOTIMPL; }

private:
  AlsaCaptureFilter* filter_;
  int source_;
};

class AlsaOutputPin : public ControlledOutputPin, public IAMStreamConfig {
public:
  explicit AlsaOutputPin(AlsaCaptureFilter* owner);
  HRESULT SetFormat(const AM_MEDIA_TYPE* pmt) override;
  HRESULT GetFormat(AM_MEDIA_TYPE* pmt) override;
  HRESULT GetNumberOfCapabilities(int* piCount, int* piSize) override;
  HRESULT GetStreamCaps(int iIndex, AM_MEDIA_TYPE* pmt, uint8_t* pSCC) override;

private:
  AlsaCaptureFilter* filter_;
};

class AlsaMixer;

class AlsaCaptureFilter : public BaseFilter, public StreamSource {
public:
  // Buffers of a tenth of a second.
  static constexpr REFERENCE_TIME kBufferPeriod = UNITS / 10;

  AlsaCaptureFilter(CaptureCard card, std::shared_ptr<std::atomic<bool>> present);
  ~AlsaCaptureFilter() override;

  std::shared_ptr<Pin> Output() const { return PinAt(0); }
  std::vector<std::shared_ptr<AlsaInputPin>> InputPins() const;
  AM_MEDIA_TYPE CurrentFormat() const;
  HRESULT ApplyFormat(const AM_MEDIA_TYPE& mt);
  AlsaMixer* Mixer() { return mixer_.get(); }
  void SetMono(bool mono) { mono_.store(mono); }
  bool Mono() const { return mono_.load(); }

  HRESULT Pause() override;
  HRESULT Stop() override;
  HRESULT PushOne(REFERENCE_TIME streamTime) override;
  REFERENCE_TIME FramePeriod() const override { return kBufferPeriod; }
  HRESULT CheckMediaType(const Pin& pin, const AM_MEDIA_TYPE& mt) const override;
  std::vector<AM_MEDIA_TYPE> GetMediaTypes(const Pin& pin) const override;
  HRESULT OnConnect(Pin& pin) override;
  ALLOCATOR_PROPERTIES DecideBufferSize(const Pin& pin) const override;

  // Buffers the card overran (the graph did not read in time).
  int64_t Overruns() const { return overruns_.load(); }

private:
  HRESULT OpenPcm();
  void ClosePcm();
  void ReportLost();

  CaptureCard card_;
  std::shared_ptr<std::atomic<bool>> present_;
  std::unique_ptr<AlsaMixer> mixer_;
  AM_MEDIA_TYPE current_;
  std::atomic<bool> mono_{false};
  std::mutex pcmMutex_;
  void* pcm_ = nullptr;  // snd_pcm_t*
  bool lostSent_ = false;
  int64_t buffers_ = 0;
  std::atomic<int64_t> overruns_{0};
};

class AlsaDeviceProvider : public DeviceProvider {
public:
  using Lister = std::function<std::vector<CaptureCard>()>;
  explicit AlsaDeviceProvider(Lister lister = ListCaptureCards);
  std::vector<std::shared_ptr<Moniker>> Enumerate(const GUID& category) override;
  bool AnyDevice();
  // A sound card went away: its capture filters stop and report the loss.
  void CardRemoved(int cardNumber);

private:
  std::shared_ptr<std::atomic<bool>> PresenceOf(const std::string& id);
  Lister lister_;
  std::mutex mutex_;
  std::map<std::string, std::shared_ptr<std::atomic<bool>>> presence_;
};

}  // namespace mg::alsa
