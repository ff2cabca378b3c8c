#pragma once
// Decoders: compressed video to bottom-up RGB24 or RGB32 bitmaps, and
// compressed audio to 16-bit PCM. The DV video decoder is the same filter
// under its own class id with the DV display resolutions (full, half,
// quarter, DC) and the studio-range switch.
#include <atomic>
#include <memory>
#include <mutex>
#include <set>

#include "platform/mg/Filter.h"

namespace mg::ff {

class FfVideoDecoder : public BaseFilter, public IIPDVDec, public IDVRGB219 {
public:
  // `dvOnly`: the DV video decoder, which takes DV and nothing else.
  FfVideoDecoder(const CLSID& clsid, bool dvOnly);
  ~FfVideoDecoder() override;
  std::shared_ptr<Pin> Input() const { return PinAt(0); }
  std::shared_ptr<Pin> Output() const { return PinAt(1); }
  int64_t FramesDecoded() const { return decoded_.load(); }
  int64_t Errors() const { return errors_.load(); }

  HRESULT get_IPDisplay(int* displayPix) override;
  HRESULT put_IPDisplay(int displayPix) override;
  HRESULT SetRGB219(BOOL bState) override;

  HRESULT CheckMediaType(const Pin& pin, const AM_MEDIA_TYPE& mt) const override;
  std::vector<AM_MEDIA_TYPE> GetMediaTypes(const Pin& pin) const override;
  HRESULT OnConnect(Pin& pin) override;
  HRESULT Pause() override;
  HRESULT Stop() override;
  HRESULT OnReceive(Pin& pin, MediaSample& sample) override;
  HRESULT OnEndOfStream(Pin& pin) override;

  struct Codec;

private:
  void OutputSize(int* w, int* h) const;
  HRESULT Decode(MediaSample& sample, std::vector<std::shared_ptr<MediaSample>>& out);
  HRESULT Emit(Codec& c, std::vector<std::shared_ptr<MediaSample>>& out);

  bool dvOnly_;
  std::atomic<int> resolution_{DVRESOLUTION_FULL};
  std::atomic<bool> rgb219_{false};
  std::mutex codecMutex_;
  std::unique_ptr<Codec> codec_;
  std::atomic<int64_t> decoded_{0};
  std::atomic<int64_t> errors_{0};
};

class FfAudioDecoder : public BaseFilter {
public:
  FfAudioDecoder();
  ~FfAudioDecoder() override;
  std::shared_ptr<Pin> Input() const { return PinAt(0); }
  std::shared_ptr<Pin> Output() const { return PinAt(1); }

  HRESULT CheckMediaType(const Pin& pin, const AM_MEDIA_TYPE& mt) const override;
  std::vector<AM_MEDIA_TYPE> GetMediaTypes(const Pin& pin) const override;
  ALLOCATOR_PROPERTIES DecideBufferSize(const Pin& pin) const override;
  HRESULT Pause() override;
  HRESULT Stop() override;
  HRESULT OnReceive(Pin& pin, MediaSample& sample) override;
  HRESULT OnEndOfStream(Pin& pin) override;

  struct Codec;

private:
  bool Decode(Codec& c, MediaSample& sample);
  HRESULT Emit(Codec& c, std::vector<std::shared_ptr<MediaSample>>& out);
  std::mutex codecMutex_;
  std::unique_ptr<Codec> codec_;
};

}  // namespace mg::ff
