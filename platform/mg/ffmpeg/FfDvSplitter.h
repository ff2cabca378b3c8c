#pragma once
// The DV splitter: takes interleaved DV (a camcorder's DIF frames) and
// gives the DV video frames on "DVVidOut0" and the 16-bit PCM sound they
// carry on "AudOut00". Each frame is taken apart by libavformat's DV
// demuxer. Asked to, it drops every second video frame.
#include <atomic>
#include <mutex>

#include "platform/mg/Filter.h"

namespace mg::ff {

class FfDvSplitter : public BaseFilter, public IDVSplitter {
public:
  FfDvSplitter();
  ~FfDvSplitter() override;
  std::shared_ptr<Pin> Input() const { return PinAt(0); }
  std::shared_ptr<Pin> VideoOutput() const { return PinAt(1); }
  std::shared_ptr<Pin> AudioOutput() const { return PinAt(2); }

  HRESULT DiscardAlternateVideoFrames(int nDiscard) override;

  HRESULT CheckMediaType(const Pin& pin, const AM_MEDIA_TYPE& mt) const override;
  std::vector<AM_MEDIA_TYPE> GetMediaTypes(const Pin& pin) const override;
  ALLOCATOR_PROPERTIES DecideBufferSize(const Pin& pin) const override;
  HRESULT Pause() override;
  HRESULT OnReceive(Pin& pin, MediaSample& sample) override;
  HRESULT OnEndOfStream(Pin& pin) override;

private:
  bool Pal() const;
  int AudioRate() const;

  std::atomic<bool> discard_{false};
  std::mutex splitMutex_;
  int64_t frames_ = 0;
};

}  // namespace mg::ff
