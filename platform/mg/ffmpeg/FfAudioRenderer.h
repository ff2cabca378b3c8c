#pragma once
// The audio renderer: 16-bit PCM to ALSA's "default" device, with the
// basic-audio volume (hundredths of a decibel, -10000 is silence) and
// balance. Without a sound device (build machines, servers) it renders to
// nothing, silently, and still counts what it was given.
#include <atomic>
#include <mutex>
#include <vector>

#include "platform/mg/Filter.h"

namespace mg::ff {

class AudioRenderer : public BaseFilter, public IBasicAudio {
public:
  AudioRenderer();
  ~AudioRenderer() override;
  std::shared_ptr<Pin> Input() const { return PinAt(0); }

  // Makes every renderer created afterwards skip the device (tests).
  static void ForceNullOutput(bool on);
  // True when the current run plays to nothing.
  bool IsNullOutput() const { return null_.load(); }
  int64_t BytesRendered() const { return bytes_.load(); }
  // The last buffer as it went to the device, volume applied.
  std::vector<int16_t> LastBuffer() const;

  HRESULT put_Volume(LONG lVolume) override;
  HRESULT get_Volume(LONG* plVolume) override;
  HRESULT put_Balance(LONG lBalance) override;
  HRESULT get_Balance(LONG* plBalance) override;

  HRESULT CheckMediaType(const Pin& pin, const AM_MEDIA_TYPE& mt) const override;
  HRESULT Pause() override;
  HRESULT Stop() override;
  HRESULT OnReceive(Pin& pin, MediaSample& sample) override;
  HRESULT OnEndOfStream(Pin& pin) override;
  bool IsRenderer() const override { return true; }

private:
  void Close();

  std::atomic<LONG> volume_{0};
  std::atomic<LONG> balance_{0};
  std::atomic<bool> null_{true};
  std::atomic<int64_t> bytes_{0};
  mutable std::mutex deviceMutex_;
  void* pcm_ = nullptr;  // the ALSA handle, kept opaque here
  int channels_ = 2;
  int bits_ = 16;
  std::vector<int16_t> last_;
};

}  // namespace mg::ff
